// Errors that no step of the wizard handles reach the application's top-level error box with their text: one
// raised while the main window is created ends the run in order, one raised by the IDE services during the
// registration leaves the wizard unfinished and the application going on. The application object is the
// installer's own, as in the built program.
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "components/ex_notebook.h"
#include "installer/application.h"
#include "installer/executar_instalador.h"
#include "installer/frm_main.h"
#include "tests/installer/installer_application.h"
#include "tests/installer/wizard_bench.h"

namespace tarvix {
namespace {

// A click as the user makes it: through the application's event delivery, where the top-level handler sits.
void ClickThroughTheEventLoop(QPushButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

TEST(TopLevelErrors, AHiveThatCannotBeParsedIsShownAndTheInstallerEndsInOrder)
{
    test::InstallerApplication();
    test::WizardBench bench;
    const std::filesystem::path userReg = bench.PrefixDir() / "user.reg";
    const std::string broken = "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
                               "\n[Software\\\\Broken] 1700000000\n\"Value\"=\"never closed\n";
    std::ofstream(userReg, std::ios::binary | std::ios::trunc) << broken;

    test::ModalDialogHelper answers;
    answers.pressKey(Qt::Key_Return, Qt::NoModifier, [](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
    });
    const int result = ExecutarInstalador(bench.InstallerPath());

    EXPECT_EQ(result, 1);
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "Tarvix Library");
    const std::string text = answers.seen()[0].text.toStdString();
    EXPECT_NE(text.find("user.reg"), std::string::npos) << text;
    EXPECT_NE(text.find("line 5"), std::string::npos) << text;
    // The hive is left as it was.
    std::ifstream in(userReg, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), broken);
}

TEST(TopLevelErrors, AMissingCompilerIsShownAndTheWizardStaysUnfinished)
{
    test::InstallerApplication();
    test::WizardBench::Options options;
    options.compiler = std::nullopt;
    options.adjustIde = [](tools::IdeSetup& ide) { std::erase(ide.binFiles, "dcc32.exe"); };
    test::WizardBench bench(options);

    TFrmMain window(bench.InstallerPath());
    window.show();
    ASSERT_TRUE(test::WaitFor([&] { return window.Iniciada(); }));
    auto* next = test::Control<QPushButton>(window, "BtnAvancar");
    auto* cancel = test::Control<QPushButton>(window, "BtnCancelar");
    test::WalkToTheConfirmationPage(window);

    test::ModalDialogHelper answers;
    answers.pressKey(Qt::Key_Return, Qt::NoModifier, [](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
    });
    ClickThroughTheEventLoop(next); // "&Instalar": the copy, then the registration, which raises
    ASSERT_TRUE(test::WaitFor([&] { return !answers.seen().empty(); }));
    EXPECT_EQ(answers.seen()[0].text.toStdString(), "dcc32.exe not found");

    // Nothing was reported as finished: Cancel keeps its caption, and closing asks.
    auto* notebook = test::Control<TExNotebook>(window, "NoteEtapas");
    EXPECT_EQ(notebook->ActivePage()->objectName(), "NpgRegistrar");
    EXPECT_EQ(cancel->text(), "&Cancelar");
    EXPECT_FALSE(window.Estado().Finalizado);
    answers.pressButton("&Sim");
    cancel->click();
    EXPECT_EQ(answers.seen().size(), 2u);
    EXPECT_EQ(answers.seen()[1].title, "Confirmação");
    EXPECT_TRUE(window.Fechada());
}

} // namespace
} // namespace tarvix
