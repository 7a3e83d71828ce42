// The main window on the offscreen platform: its form description, the start-up sequence, the pages and their
// buttons, the close confirmation, and failures that close the window by themselves.
#include "installer/frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "components/ex_notebook.h"
#include "components/ex_select_folder.h"
#include "components/kq_color.h"
#include "components/kq_datetime.h"
#include "components/kq_gauge.h"
#include "components/kq_lib_functions.h"
#include "components/kq_msg_dlg.h"
#include "components/kq_panel.h"
#include "components/kq_reg_manager.h"
#include "installer/file_deployment.h"
#include "installer/frm_aguardar.h"
#include "installer/installation_report.h"
#include "tests/installer/wizard_bench.h"
#include "tools/report_receiver.h"

namespace tarvix {
namespace {

using test::Control;
using test::ModalDialogHelper;
using test::WaitFor;
using test::WizardBench;

const char* const Pages[] = {"NpgBemVindo", "NpgContrato", "NpgCaminho", "NpgConfirmar", "NpgCopiar", "NpgRegistrar"};

class Wizard {
public:
    explicit Wizard(WizardBench& bench) : bench_(bench), window_(bench.InstallerPath()) {}

    TFrmMain& Window() { return window_; }
    QPushButton* Next() { return Control<QPushButton>(window_, "BtnAvancar"); }
    QPushButton* Back() { return Control<QPushButton>(window_, "BtnVoltar"); }
    QPushButton* Cancel() { return Control<QPushButton>(window_, "BtnCancelar"); }
    QPushButton* Change() { return Control<QPushButton>(window_, "BtnAlterar"); }
    QCheckBox* Agreement() { return Control<QCheckBox>(window_, "ChxContrato"); }
    QString Header() { return Control<QLabel>(window_, "LabAviso")->text(); }
    QString Folder() { return Control<QLabel>(window_, "LabCaminho")->text(); }
    QString Page()
    {
        TExNotebookPage* page = Control<TExNotebook>(window_, "NoteEtapas")->ActivePage();
        return page ? page->objectName() : QString();
    }

    // Shows the window and waits for its start-up sequence.
    void Start()
    {
        window_.show();
        ASSERT_TRUE(WaitFor([&] { return window_.Iniciada(); }));
    }
    // Walks from the welcome page to `page` with the buttons, ticking the agreement on the way.
    void WalkTo(const char* page)
    {
        for (const char* p : Pages) {
            if (Page() == QLatin1String(page))
                return;
            if (QLatin1String(p) == QLatin1String("NpgContrato") && !Agreement()->isChecked())
                Agreement()->click();
            Next()->click();
        }
    }
    std::filesystem::path WorkFolder() { return bench_.Host(window_.Estado().PastaTemp); }

private:
    WizardBench& bench_;
    TFrmMain window_;
};

// The destination remembered in the registry for version 37; empty when none.
std::string RememberedFolder()
{
    TKqRegManager reg;
    reg.SetRootKey(HKeyLocalMachine);
    reg.SetKey(ChaveTarvixComps);
    return reg.ReadString("", "Caminho D37", "");
}

// ---------------------------------------------------------------------------------------------------------------
// The form description

TEST(MainWindowForm, ControlsSitWhereTheFormPutsThem)
{
    WizardBench bench;
    Wizard wizard(bench);
    TFrmMain& w = wizard.Window();
    w.show();
    // Every page laid out once, as it is when shown; the work that the copy and registration pages start when
    // they become active is no part of the layout.
    auto* notebook = Control<TExNotebook>(w, "NoteEtapas");
    notebook->OnChange = nullptr;
    for (int i = notebook->PageCount() - 1; i >= 0; --i)
        notebook->SetActivePageIndex(i);
    QApplication::processEvents();

    EXPECT_EQ(w.windowTitle(), "Tarvix Library");
    EXPECT_EQ(w.minimumSize(), QSize(630, 458));
    EXPECT_EQ(w.maximumSize(), QSize(630, 458));
    EXPECT_EQ(w.size(), QSize(630, 458));

    struct Place {
        const char* name;
        QRect rect; // in window coordinates; an empty size checks the position only
    };
    // Controls of the folder page: the page begins at y 78.
    const Place places[] = {
        {"PanFundo", {0, 0, 630, 458}},
        {"PanImagem", {0, 0, 630, 75}},
        {"ImgBase", {0, 0, 630, 75}},
        {"LabInfo", {24, 18, 0, 0}},
        {"LabAviso", {34, 37, 0, 0}},
        {"ImgLogo", {381, 12, 240, 50}},
        {"PanTeste", {0, 75, 630, 3}},
        {"NoteEtapas", {0, 78, 630, 335}},
        {"PanSeparador", {0, 413, 630, 1}},
        {"BtnVoltar", {350, 425, 85, 23}},
        {"BtnAvancar", {441, 425, 85, 23}},
        {"BtnCancelar", {532, 425, 85, 23}},
        {"LabPasta", {30, 78 + 143, 0, 0}},
        {"LabCaminho", {30, 78 + 168, 479, 0}},
        {"BtnAlterar", {515, 78 + 165, 85, 23}},
    };
    for (const Place& p : places) {
        QWidget* c = Control<QWidget>(w, p.name);
        ASSERT_NE(c, nullptr);
        const QPoint at = c->mapTo(&w, QPoint(0, 0));
        EXPECT_EQ(at, p.rect.topLeft()) << p.name;
        if (p.rect.width() > 0) {
            EXPECT_EQ(c->width(), p.rect.width()) << p.name;
        }
        if (p.rect.height() > 0) {
            EXPECT_EQ(c->height(), p.rect.height()) << p.name;
        }
    }
    // Each page fills the notebook and keeps its controls 30 pixels inside its edges.
    for (const char* name : Pages) {
        auto* page = Control<TExNotebookPage>(w, name);
        EXPECT_EQ(page->BorderWidth(), 30) << name;
        EXPECT_EQ(page->geometry(), QRect(0, 0, 630, 335)) << name;
    }
    auto* gauge = Control<TKqGauge>(w, "ProgBar1");
    EXPECT_EQ(gauge->mapTo(&w, QPoint(0, 0)).x(), 30);
    EXPECT_EQ(gauge->width(), 570);
    EXPECT_EQ(gauge->height(), 19);
    EXPECT_EQ(Control<QWidget>(w, "PanArquivo")->height(), 19);
    EXPECT_EQ(Control<QWidget>(w, "LabCopiar")->height(), 60);
    EXPECT_EQ(Control<QWidget>(w, "LabArquivoTitulo")->width(), 52) << "the bold caption does not push the path";
}

// The window behaves as a Windows dialog does: a dialog border without minimise or maximise box, Enter presses
// the focused button (Next has the focus after the start-up), and the log scrolls vertically only.
TEST(MainWindowForm, ADialogAsWindowsUsersKnowIt)
{
    WizardBench bench;
    Wizard wizard(bench);
    TFrmMain& w = wizard.Window();
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);
    auto* log = Control<QPlainTextEdit>(w, "MemRegistro");
    EXPECT_EQ(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(log->lineWrapMode(), QPlainTextEdit::NoWrap);

    wizard.Start();
    ASSERT_EQ(QApplication::focusWidget(), wizard.Next());
    QTest::keyClick(wizard.Next(), Qt::Key_Return);
    EXPECT_EQ(wizard.Page(), "NpgContrato");
    wizard.Back()->setFocus();
    QTest::keyClick(wizard.Back(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(wizard.Page(), "NpgBemVindo");
}

TEST(MainWindowForm, TextsFontsColoursAndPictures)
{
    WizardBench bench;
    Wizard wizard(bench);
    TFrmMain& w = wizard.Window();

    const std::pair<const char*, QString> texts[] = {
        {"LabInfo", "Instalador"},
        {"LabAviso", "......."},
        {"BtnVoltar", "&Voltar"},
        {"BtnAvancar", "&Avançar"},
        {"BtnCancelar", "&Cancelar"},
        {"LabVersao", "\n\nPackage: %s para %s.\n\n"},
        {"LabContrato", "Leia atentamente o Contrato de Licença de Uso abaixo. Para prosseguir é necessário aceitar "
                        "os termos desse Contrato."},
        {"ChxContrato", "Sim, concordo e aceito todos os termos e condições desse Contrato"},
        {"LabPasta", "Pasta de destino:"},
        {"LabCaminho", "C:\\"},
        {"BtnAlterar", "A&lterar..."},
        {"LabCopiar", "Aguarde enquanto o instalador copia os arquivos dos componentes.\n\n\n"},
        {"LabArquivoTitulo", "Arquivo:"},
        {"LabArquivo", "..."},
        {"LabRegistrar", "Informações de log de registro dos componentes no Delphi."},
    };
    for (const auto& [name, text] : texts)
        EXPECT_EQ(Control<QWidget>(w, name)->property("text").toString(), text) << name;
    EXPECT_TRUE(Control<QLabel>(w, "LabBemVindo")->text().startsWith("Bem-vindo ao programa de instalação"));
    EXPECT_TRUE(Control<QLabel>(w, "LabBemVindo")
                    ->text()
                    .endsWith("\n\nÉ extremamente recomendado que todas as instâncias do Delphi sejam encerradas "
                              "antes de continuar o processo de instalação."));
    EXPECT_EQ(Control<QLabel>(w, "LabCaminhoInfo")->text().count("\n\n"), 2);
    EXPECT_TRUE(Control<QLabel>(w, "LabConfirmar")
                    ->text()
                    .startsWith("O assistente está pronto para iniciar a instalação.\n\nCaso queira rever"));
    // The copyright line got the current year in its placeholder.
    EXPECT_EQ(Control<QLabel>(w, "LabCopyright")->text(),
              QString("Copyright © %1 Morvane. Todos os direitos reservados.").arg(Year(Now())));

    EXPECT_EQ(w.font().family(), "Segoe UI");
    EXPECT_EQ(w.font().pointSize(), 9);
    const QFont info = Control<QLabel>(w, "LabInfo")->font();
    EXPECT_EQ(info.family(), "Tahoma");
    EXPECT_EQ(info.pointSize(), 8);
    EXPECT_TRUE(info.bold());
    const QFont versao = Control<QLabel>(w, "LabVersao")->font();
    EXPECT_EQ(versao.pointSize(), 10);
    EXPECT_TRUE(versao.bold());
    EXPECT_TRUE(Control<QLabel>(w, "LabCopyright")->font().bold());
    EXPECT_TRUE(Control<QLabel>(w, "LabPasta")->font().bold());
    EXPECT_EQ(Control<TKqGauge>(w, "ProgBar1")->font().family(), "Tahoma");

    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(245, 245, 245));
    EXPECT_EQ(Control<QWidget>(w, "PanSeparador")->palette().color(QPalette::Window), QColor(154, 154, 154));
    EXPECT_EQ(Control<QLabel>(w, "LabInfo")->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(Control<QLabel>(w, "LabAviso")->palette().color(QPalette::WindowText), QColor(Qt::white));
    auto* gauge = Control<TKqGauge>(w, "ProgBar1");
    EXPECT_EQ(gauge->GaugeStyle(), TKqGauge::gsBar);
    EXPECT_EQ(gauge->BorderStyle(), TKqGauge::bsSingle);
    EXPECT_EQ(gauge->BevelStyle(), TKqGauge::bvNone);
    EXPECT_EQ(gauge->BoxColor(), RGBColor(0, 159, 0));
    EXPECT_FALSE(gauge->ShowPercent());
    EXPECT_EQ(gauge->Progress(), 0);

    auto* contrato = Control<QPlainTextEdit>(w, "MemContrato");
    EXPECT_TRUE(contrato->isReadOnly());
    EXPECT_EQ(contrato->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(contrato->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_TRUE(contrato->toPlainText().startsWith("CONTRATO DE LICENÇA DE USO DE SOFTWARE"));
    EXPECT_EQ(contrato->palette().color(QPalette::Base), QColor(Qt::white));
    auto* registro = Control<QPlainTextEdit>(w, "MemRegistro");
    EXPECT_TRUE(registro->isReadOnly());
    EXPECT_EQ(registro->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(registro->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    // The message dialog of the window.
    auto* msg = w.findChild<TKqMsgDlg*>("MsgDlg1");
    ASSERT_NE(msg, nullptr);
    EXPECT_EQ(msg->BtnWidth(), 85);
    EXPECT_EQ(msg->BtnHeight(), 23);
    EXPECT_EQ(msg->ButtonFont().family(), "Segoe UI");
    EXPECT_EQ(msg->MessageFont().family(), "Segoe UI");
    EXPECT_EQ(msg->Color(), RGBColor(245, 245, 245));

    // The folder dialog of the change button.
    auto* folders = w.findChild<TExSelectFolder*>("SelPasta1");
    ASSERT_NE(folders, nullptr);
    EXPECT_EQ(folders->Root(), "rfDesktop");
    EXPECT_EQ(folders->Font().family(), "Segoe UI");
    EXPECT_EQ(folders->Font().pointSize(), 9);
    EXPECT_EQ(folders->Caption(), "Caminho:");
    EXPECT_EQ(folders->Title(), "Selecionar Pasta");
    EXPECT_TRUE(folders->NewFolderVisible());
    EXPECT_EQ(folders->NewFolderCaption(), "Criar Pasta");

    const QPixmap base = Control<QLabel>(w, "ImgBase")->pixmap();
    EXPECT_EQ(base.size(), QSize(630, 75));
    const QImage logo = Control<QLabel>(w, "ImgLogo")->pixmap().toImage();
    EXPECT_EQ(logo.size(), QSize(240, 50));
    EXPECT_TRUE(logo.hasAlphaChannel());
    EXPECT_EQ(qAlpha(logo.pixel(0, 0)), 0);

    // The strip under the header shows the background, not the red of the form description.
    w.show();
    QApplication::processEvents();
    const QImage shot = w.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(5, 76)), QColor(245, 245, 245));
    EXPECT_EQ(QColor(shot.pixel(5, 413)), QColor(154, 154, 154));
}

TEST(MainWindowForm, TheDestinationLabelStaysOnOneLine)
{
    WizardBench bench;
    Wizard wizard(bench);
    TFrmMain& w = wizard.Window();
    wizard.Start();
    wizard.WalkTo("NpgCaminho");
    auto* label = Control<QLabel>(w, "LabCaminho");
    const int height = label->height();
    label->setText(QString("C:\\") + QString("Pasta muito longa\\").repeated(12) + "D37");
    QApplication::processEvents();
    EXPECT_FALSE(label->wordWrap());
    EXPECT_EQ(label->height(), height);
    EXPECT_EQ(label->width(), 479);
    EXPECT_GT(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << label->text().toStdString();
}

// ---------------------------------------------------------------------------------------------------------------
// Start-up and pages

TEST(MainWindow, StartUpPreparesTheWelcomePage)
{
    WizardBench bench;
    Wizard wizard(bench);
    wizard.Start();
    TFrmMain& w = wizard.Window();

    EXPECT_EQ(wizard.Page(), "NpgBemVindo");
    EXPECT_EQ(wizard.Header(), "Apresentação da Tarvix Library");
    EXPECT_FALSE(wizard.Back()->isEnabled());
    EXPECT_TRUE(wizard.Next()->isEnabled());
    EXPECT_EQ(wizard.Window().focusWidget(), wizard.Next());
    EXPECT_EQ(Control<QLabel>(w, "LabVersao")->text(), "\n\nPackage: Edição de Teste para Delphi 13 - Florence.\n\n");
    EXPECT_EQ(Control<QLabel>(w, "LabVersao")->textFormat(), Qt::PlainText);
    // No remembered folder: the default one, and the change button stays enabled.
    EXPECT_EQ(wizard.Folder(), "C:\\Morvane\\TarvixComps\\D37");
    EXPECT_TRUE(wizard.Change()->isEnabled());
    EXPECT_FALSE(wizard.Agreement()->isChecked());

    // The payload was unpacked and the descriptor read.
    const TWizardState& state = w.Estado();
    EXPECT_EQ(state.Version, 37);
    EXPECT_EQ(state.Files, "|KqAlpha|KqBeta|");
    EXPECT_EQ(state.IndiceDelphi, 0);
    EXPECT_FALSE(state.Finalizado);
    EXPECT_EQ(state.ListaArquivos.size(), 6u);
    EXPECT_TRUE(std::filesystem::is_regular_file(wizard.WorkFolder() / "KqAlpha.dcu"));
}

TEST(MainWindow, ARememberedFolderIsShownAndShiftUnlocksItsChange)
{
    WizardBench bench;
    {
        TKqRegManager reg;
        reg.SetRootKey(HKeyLocalMachine);
        reg.SetKey(ChaveTarvixComps);
        reg.WriteString("", "Caminho D37", "D:\\Componentes\\Tarvix");
    }
    Wizard wizard(bench);
    wizard.Start();
    EXPECT_EQ(wizard.Folder(), "D:\\Componentes\\Tarvix");
    EXPECT_FALSE(wizard.Change()->isEnabled());

    wizard.WalkTo("NpgCaminho");
    EXPECT_EQ(wizard.Header(), "Definir a pasta de destino da instalação");
    EXPECT_FALSE(wizard.Change()->isEnabled());

    // Back, and in again with Shift held down: the button unlocks ...
    wizard.Back()->click();
    bench.Pump().shift = true;
    wizard.Next()->click();
    bench.Pump().shift = false;
    EXPECT_EQ(wizard.Page(), "NpgCaminho");
    EXPECT_TRUE(wizard.Change()->isEnabled());
    // ... and stays unlocked when moving back and forth.
    wizard.Back()->click();
    wizard.Next()->click();
    EXPECT_TRUE(wizard.Change()->isEnabled());
    wizard.Next()->click();
    wizard.Back()->click();
    EXPECT_TRUE(wizard.Change()->isEnabled());
}

TEST(MainWindow, TheChangeButtonTakesTheFolderChosenInTheFolderDialog)
{
    WizardBench bench;
    ASSERT_TRUE(bench.System().files().forceDirectories("C:\\Componentes\\Tarvix"));
    Wizard wizard(bench);
    wizard.Start();
    wizard.WalkTo("NpgCaminho");
    ModalDialogHelper answers;

    // The proposed folder does not exist yet: the dialog opens on C:\. The folder typed there is taken.
    QString preset;
    answers.pressButton("BtnOk", [&](QWidget* dialog) {
        auto* edit = Control<QLineEdit>(*dialog, "EdtCaminho");
        preset = edit->text();
        edit->setText("C:\\Componentes\\Tarvix");
    });
    wizard.Change()->click();
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "Selecionar Pasta");
    EXPECT_EQ(preset, "C:\\");
    EXPECT_EQ(wizard.Folder(), "C:\\Componentes\\Tarvix");
    EXPECT_EQ(wizard.Window().focusWidget(), wizard.Next());

    // Now the destination exists: the dialog opens on it, and Cancel changes nothing.
    answers.pressButton("BtnCancelar",
                        [&](QWidget* dialog) { preset = Control<QLineEdit>(*dialog, "EdtCaminho")->text(); });
    wizard.Back()->setFocus();
    wizard.Change()->click();
    ASSERT_EQ(answers.seen().size(), 2u);
    EXPECT_EQ(preset, "C:\\Componentes\\Tarvix");
    EXPECT_EQ(wizard.Folder(), "C:\\Componentes\\Tarvix");
    EXPECT_EQ(wizard.Window().focusWidget(), wizard.Back());

    // The copy goes to the chosen folder, and the package is built there.
    answers.pressButton("&OK");
    wizard.Next()->click();
    wizard.Next()->click();
    EXPECT_EQ(wizard.Page(), "NpgRegistrar");
    EXPECT_TRUE(std::filesystem::is_regular_file(bench.Host("C:\\Componentes\\Tarvix\\KqAlpha.dcu")));
    ASSERT_EQ(answers.seen().size(), 3u);
    EXPECT_EQ(answers.seen()[2].title, "Informação");
    EXPECT_EQ(RememberedFolder(), "C:\\Componentes\\Tarvix");
    wizard.Window().close();
    EXPECT_TRUE(wizard.Window().Fechada());
}

TEST(MainWindow, TheAgreementBoxDecidesNextAndIsKeptAcrossBack)
{
    WizardBench bench;
    Wizard wizard(bench);
    wizard.Start();
    wizard.Next()->click();
    EXPECT_EQ(wizard.Page(), "NpgContrato");
    EXPECT_EQ(wizard.Header(), "Ler e aceitar o Contrato de Licença");
    EXPECT_TRUE(wizard.Back()->isEnabled());
    EXPECT_FALSE(wizard.Next()->isEnabled());
    wizard.Next()->click(); // a disabled button does nothing
    EXPECT_EQ(wizard.Page(), "NpgContrato");

    wizard.Agreement()->click();
    EXPECT_TRUE(wizard.Next()->isEnabled());
    wizard.Back()->click();
    EXPECT_EQ(wizard.Page(), "NpgBemVindo");
    EXPECT_FALSE(wizard.Back()->isEnabled());
    wizard.Next()->click();
    EXPECT_TRUE(wizard.Agreement()->isChecked());
    EXPECT_TRUE(wizard.Next()->isEnabled());

    wizard.Agreement()->click();
    EXPECT_FALSE(wizard.Next()->isEnabled());
}

TEST(MainWindow, NextReadsInstalarOnTheConfirmationPageOnly)
{
    WizardBench bench;
    Wizard wizard(bench);
    wizard.Start();
    wizard.WalkTo("NpgConfirmar");
    EXPECT_EQ(wizard.Header(), "Confirmar a instalação dos componentes");
    EXPECT_EQ(wizard.Next()->text(), "&Instalar");
    EXPECT_TRUE(wizard.Back()->isEnabled());
    wizard.Back()->click();
    EXPECT_EQ(wizard.Page(), "NpgCaminho");
    EXPECT_EQ(wizard.Next()->text(), "&Avançar");
    wizard.Back()->click();
    EXPECT_EQ(wizard.Page(), "NpgContrato");
}

TEST(MainWindow, ARunningIdeIsWarnedAboutOnceAndTheWizardGoesOn)
{
    WizardBench bench;
    test::RunningIde ide(bench.Temp().path(), bench.PrefixDir());
    Wizard wizard(bench);
    ModalDialogHelper answers;
    // The warning comes after the welcome page has been prepared.
    QString headerDuringWarning;
    answers.pressButton("&OK", [&](QWidget*) { headerDuringWarning = wizard.Header(); });
    wizard.Start();
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "Atenção");
    EXPECT_TRUE(answers.seen()[0].text.contains("É recomendável que você <b>encerre o Delphi<b> antes de continuar."))
        << answers.seen()[0].text.toStdString();
    EXPECT_EQ(headerDuringWarning, "Apresentação da Tarvix Library");
    wizard.WalkTo("NpgConfirmar");
    EXPECT_EQ(wizard.Page(), "NpgConfirmar");
    EXPECT_EQ(answers.seen().size(), 1u);
}

// ---------------------------------------------------------------------------------------------------------------
// Closing

TEST(MainWindow, EscapeAsksBeforeCancellingOnThePagesBeforeTheCopy)
{
    WizardBench bench;
    Wizard wizard(bench);
    wizard.Start();
    TFrmMain& w = wizard.Window();
    ModalDialogHelper answers;
    for (const char* page : {"NpgBemVindo", "NpgContrato", "NpgCaminho", "NpgConfirmar"}) {
        wizard.WalkTo(page);
        answers.pressButton("&Não");
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w, Qt::Key_Escape);
        EXPECT_TRUE(w.isVisible()) << page;
        EXPECT_EQ(wizard.Page(), page);
    }
    ASSERT_EQ(answers.seen().size(), 4u);
    for (const auto& seen : answers.seen()) {
        EXPECT_EQ(seen.title, "Confirmação");
        EXPECT_TRUE(seen.text.contains("A instalação não foi concluída. Tem certeza que deseja cancelar?"));
    }
    // Yes closes the window and deletes the work folder.
    const auto work = wizard.WorkFolder();
    ASSERT_TRUE(std::filesystem::exists(work));
    answers.pressButton("&Sim");
    wizard.Cancel()->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.Fechada());
    EXPECT_FALSE(std::filesystem::exists(work));
    // Looking for a remembered folder created nothing: a cancelled wizard leaves the registry as it found it.
    for (const uint32_t view : {platform::KeyAccess::Wow64_64Key, platform::KeyAccess::Wow64_32Key})
        EXPECT_FALSE(bench.System().registry().keyExists(platform::RegRoot::LocalMachine, "SOFTWARE\\Morvane",
                                                         platform::KeyAccess::Read | view))
            << view;
}

TEST(MainWindow, StartUpFailuresCloseTheWindowWithoutAQuestion)
{
    struct Case {
        const char* what;
        WizardBench::Options options;
        bool damagePayload;
        QString message;
    };
    WizardBench::Options noIde;
    noIde.delphi13 = false;
    WizardBench::Options unknownVersion;
    unknownVersion.version = 30;
    const Case cases[] = {
        {"a damaged payload",
         {},
         true,
         "Não foi possível extrair os arquivos de instalação.||<b>Mensagem de erro:<b>|Não foi possível extrair o "
         "conteúdo do arquivo <b>comps.pkg<b>."},
        {"no Delphi 13 installed", noIde, false,
         "O <b>Delphi 13 - Florence<b> parece não estar corretamente instalado neste computador."},
        {"a version that is not installed and has no name", unknownVersion, false,
         "O <b><b> parece não estar corretamente instalado neste computador."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WizardBench bench(c.options);
        if (c.damagePayload) {
            // The last record claims more data than the archive holds.
            std::fstream f(bench.InstallerHostPath(), std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(std::string("MZ stand-in for the setup program").size() + 1);
            const char huge[4] = {'\x7f', '\x7f', '\x7f', '\x7f'};
            f.write(huge, 4);
        }
        ModalDialogHelper answers;
        answers.pressButton("&OK");
        Wizard wizard(bench);
        wizard.Start();
        // The posted close runs with the next events; no question comes (the helper would report it).
        EXPECT_TRUE(WaitFor([&] { return !wizard.Window().isVisible(); }));
        EXPECT_TRUE(wizard.Window().Fechada());
        EXPECT_TRUE(wizard.Window().Estado().Finalizado);
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].title, "Erro");
        QString text = c.message;
        text.replace("|", "\r");
        EXPECT_TRUE(answers.seen()[0].text.contains(text)) << answers.seen()[0].text.toStdString();
        // The work folder went with the window.
        if (!wizard.Window().Estado().PastaTemp.empty()) {
            EXPECT_FALSE(std::filesystem::exists(wizard.WorkFolder()));
        }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// The copy

TEST(FileLabel, APathIsShortenedToTheWidthOfTheLabelInItsFont)
{
    test::qtApplication();
    QLabel label;
    label.setFont(test::testFont(12));
    const QFontMetrics metrics(label.font());
    const auto measure = [&](std::string_view text) {
        return metrics.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    };
    const std::string path = "C:\\Morvane\\TarvixComps\\D37\\KqAlpha.dcu";
    const std::string steps[] = {path,
                                 "C:\\...\\TarvixComps\\D37\\KqAlpha.dcu",
                                 "C:\\...\\D37\\KqAlpha.dcu",
                                 "C:\\...\\KqAlpha.dcu",
                                 "...\\KqAlpha.dcu",
                                 "KqAlpha.dcu"};
    for (const std::string& step : steps) {
        // A label exactly as wide as the step, and one a pixel narrower than the step before it.
        label.setFixedWidth(measure(step));
        EXPECT_EQ(EncurtarCaminho(path, label.width(), measure), step);
    }
    for (std::size_t i = 1; i < std::size(steps); ++i) {
        label.setFixedWidth(measure(steps[i - 1]) - 1);
        EXPECT_EQ(EncurtarCaminho(path, label.width(), measure), steps[i]) << i;
    }
    label.setFixedWidth(5);
    EXPECT_EQ(EncurtarCaminho(path, label.width(), measure), "KqAlpha.dcu");
}

// An edition with enough files that a close can arrive while they are copied (30 ms each).
test::Edition LargerEdition(int units)
{
    test::Edition edition = test::SmallEdition();
    for (int i = 0; i < units; ++i)
        edition.push_back({"KqExtra" + std::to_string(i) + ".dcu", "extra unit " + std::to_string(i)});
    return edition;
}

TEST(MainWindow, InstalarCopiesTheFilesRewritesThePackageAndRegistersIt)
{
    WizardBench bench;
    Wizard wizard(bench);
    wizard.Start();
    wizard.WalkTo("NpgConfirmar");
    // The file label is narrowed, so that the paths it shows have to be shortened.
    auto* label = Control<QLabel>(wizard.Window(), "LabArquivo");
    label->setMinimumWidth(0);
    std::vector<QString> shown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (shown.empty() || shown.back() != label->text())
            shown.push_back(label->text());
    });
    watch.start(1);
    ModalDialogHelper answers;
    answers.pressButton("&OK");
    wizard.Next()->click(); // runs the copy inside the click, and the registration inside the copy
    watch.stop();

    EXPECT_EQ(wizard.Page(), "NpgRegistrar");
    EXPECT_EQ(wizard.Header(), "Registrar o package no Delphi.");
    EXPECT_FALSE(wizard.Back()->isEnabled());
    EXPECT_FALSE(wizard.Next()->isEnabled());
    EXPECT_TRUE(wizard.Cancel()->isEnabled());
    auto* gauge = Control<TKqGauge>(wizard.Window(), "ProgBar1");
    EXPECT_EQ(gauge->MaxValue(), 6);
    EXPECT_EQ(gauge->Progress(), 6);
    // The label shows the last file's path, shortened to its width when needed.
    const QString last = label->text();
    EXPECT_TRUE(last.endsWith("KqBeta.dfm")) << last.toStdString();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(last),
              std::max(label->width(), label->fontMetrics().horizontalAdvance("KqBeta.dfm")));

    const auto dest = bench.Host("C:\\Morvane\\TarvixComps\\D37");
    for (const auto& [name, bytes] : test::SmallEdition()) {
        if (name == "TarvixLib370.dpk")
            continue;
        std::ifstream in(dest / name, std::ios::binary);
        const std::string copied((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(copied, bytes) << name;
    }
    std::ifstream in(dest / "TarvixLib370.dpk", std::ios::binary);
    const std::string dpk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(dpk, "package TarvixLib370;\r\n\r\n{$R *.res}\r\n{$R 'KqAlpha.dcr'}\r\n"
                   "{$DESCRIPTION 'Tarvix Library - Components'}\r\n\r\nrequires\r\n  rtl,\r\n  vcl;\r\n\r\n"
                   "contains\r\n  KqAlpha,\r\n  KqBeta;\r\n\r\nend.\r\n");

    // The registration step has built and registered the package and said so; the wizard is finished, so
    // "Fechar" closes without a question.
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "Informação");
    EXPECT_TRUE(answers.seen()[0].text.contains("A instalação dos componentes foi concluída com sucesso!"));
    EXPECT_EQ(wizard.Cancel()->text(), "Fechar");
    EXPECT_TRUE(wizard.Window().Estado().Finalizado);
    wizard.Cancel()->click();
    EXPECT_EQ(answers.seen().size(), 1u);
    EXPECT_TRUE(wizard.Window().Fechada());
}

TEST(MainWindow, ClosingDuringTheCopyStopsItBeforeTheNextFile)
{
    WizardBench bench(WizardBench::Options{}, LargerEdition(40));
    Wizard wizard(bench);
    wizard.Start();
    wizard.WalkTo("NpgConfirmar");
    const auto work = wizard.WorkFolder();

    ModalDialogHelper answers;
    answers.pressButton("&Sim");
    // Cancel arrives while the copy runs (the copy processes messages between files).
    QTimer::singleShot(300, wizard.Cancel(), &QPushButton::click);
    wizard.Next()->click();

    EXPECT_TRUE(wizard.Window().Fechada());
    EXPECT_FALSE(wizard.Window().isVisible());
    EXPECT_EQ(answers.seen().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(work));
    // Neither the rest of the files, nor the package rewriting, nor the registration page.
    EXPECT_EQ(wizard.Page(), "NpgCopiar");
    const auto dest = bench.Host("C:\\Morvane\\TarvixComps\\D37");
    int copied = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dest)) {
        (void)entry;
        ++copied;
    }
    EXPECT_GT(copied, 0);
    EXPECT_LT(copied, 46);
    std::ifstream in(dest / "TarvixLib370.dpk", std::ios::binary);
    const std::string dpk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(dpk, test::PackageSourceOfTheEdition);
}

TEST(MainWindow, ACopyFailureIsShownAndClosesTheWindowWithoutAQuestion)
{
    WizardBench bench;
    Wizard wizard(bench);
    wizard.Start();
    wizard.WalkTo("NpgConfirmar");
    // A folder where a file of the edition has to go.
    std::filesystem::create_directories(bench.Host("C:\\Morvane\\TarvixComps\\D37") / "KqBeta.dcu");

    ModalDialogHelper answers;
    answers.pressButton("&OK");
    wizard.Next()->click();
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "Erro");
    EXPECT_TRUE(answers.seen()[0].text.contains(
        "Não foi possível extrair os arquivos de instalação.\r\r<b>Mensagem de erro:<b>\rCannot create file "
        "\"C:\\Morvane\\TarvixComps\\D37\\KqBeta.dcu\"."))
        << answers.seen()[0].text.toStdString();
    EXPECT_TRUE(wizard.Window().Estado().Finalizado);
    EXPECT_NE(wizard.Page(), "NpgRegistrar");
    EXPECT_TRUE(WaitFor([&] { return wizard.Window().Fechada(); }));
    EXPECT_EQ(answers.seen().size(), 1u);
}

TEST(MainWindow, AFailedCompileIsShownRegistersNothingAndLeavesFechar)
{
    // A compiler that reports a missing unit the way the IDE's does.
    test::TempDir tools;
    const auto compiler =
        tools.write("dcc32.sh", "#!/bin/sh\n"
                                "printf '%s(10) Fatal: F1026 File not found: \\047KqGamma.dcu\\047\\r\\n' \"$1\"\n"
                                "exit 1\n");
    std::filesystem::permissions(compiler, std::filesystem::perms::owner_all);
    WizardBench::Options options;
    options.compiler = compiler;
    WizardBench bench(options);
    Wizard wizard(bench);
    wizard.Start();
    wizard.WalkTo("NpgConfirmar");

    ModalDialogHelper answers;
    answers.pressButton("&OK");
    wizard.Next()->click();
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "Erro");
    EXPECT_TRUE(answers.seen()[0].text.contains("<b>TarvixLib370.dpk<b>")) << answers.seen()[0].text.toStdString();
    const QString log = Control<QPlainTextEdit>(wizard.Window(), "MemRegistro")->toPlainText();
    EXPECT_TRUE(
        log.contains("C:\\Morvane\\TarvixComps\\D37\\TarvixLib370.dpk(10) Fatal: F1026 File not found: 'KqGamma.dcu'\n"
                     "Compilation failure\nInstallation of package finished"))
        << log.toStdString();

    // Nothing is registered, nothing remembered; the wizard is finished all the same.
    EXPECT_EQ(RememberedFolder(), "");
    auto known = platform::current().registry().openKey(
        platform::RegRoot::CurrentUser, "SOFTWARE\\Embarcadero\\BDS\\37.0\\Known Packages",
        platform::KeyAccess::Read | platform::KeyAccess::Wow64_32Key, false);
    ASSERT_NE(known, nullptr);
    for (const std::string& name : known->valueNames())
        EXPECT_EQ(name.find("TarvixLib"), std::string::npos) << name;
    EXPECT_EQ(wizard.Cancel()->text(), "Fechar");
    EXPECT_TRUE(wizard.Window().Estado().Finalizado);
    wizard.Cancel()->click();
    EXPECT_EQ(answers.seen().size(), 1u);
    EXPECT_TRUE(wizard.Window().Fechada());
}

// Calls back whenever a widget of the given name is shown anywhere in the application.
class ShowWatch : public QObject {
public:
    ShowWatch(QString name, std::function<void(QWidget*)> shown) : name_(std::move(name)), shown_(std::move(shown))
    {
        qApp->installEventFilter(this);
    }
    ~ShowWatch() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->objectName() == name_)
            if (auto* widget = qobject_cast<QWidget*>(watched))
                shown_(widget);
        return false;
    }

private:
    QString name_;
    std::function<void(QWidget*)> shown_;
};

// The report goes out once, at the end of the registration step and before its outcome is shown, with the log as
// the user sees it, under the wait overlay over the main window; a failed installation reports erro=1.
TEST(MainWindow, TheReportIsPostedOnceUnderTheWaitOverlayBeforeTheOutcome)
{
    test::TempDir tools;
    const auto failing = tools.write("dcc32.sh", "#!/bin/sh\necho 'Fatal: F1026 File not found'\nexit 1\n");
    std::filesystem::permissions(failing, std::filesystem::perms::owner_all);
    struct Case {
        const char* name;
        std::optional<std::filesystem::path> compiler; // unset: the simulated compiler
        const char* erro;
        const char* outcome;
    };
    const Case cases[] = {
        {"installed", std::nullopt, "erro=0", "Informação"},
        {"compile failed", failing, "erro=1", "Erro"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tools::ReportReceiver receiver(tools::ReceiverOptions{});
        WizardBench::Options options;
        if (c.compiler)
            options.compiler = c.compiler;
        options.reportUrl = receiver.url();
        WizardBench bench(options);
        Wizard wizard(bench);
        wizard.Start();
        wizard.WalkTo("NpgConfirmar");

        // Seen from inside the step: the overlay's panel in the window with its message, and whether the outcome
        // was still to come.
        std::vector<std::string> seen;
        ShowWatch watch("PanFundo", [&](QWidget* panel) {
            auto* message = panel->findChild<QLabel*>(QStringLiteral("LabMsg"));
            seen.push_back(std::string(panel->parentWidget() == &wizard.Window() ? "in the window" : "elsewhere") +
                           ": " + (message ? message->text().toStdString() : std::string()) + ", requests " +
                           std::to_string(receiver.requests().size()));
        });
        ModalDialogHelper answers;
        answers.pressButton("&OK");
        wizard.Next()->click();

        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].title, c.outcome);
        EXPECT_EQ(seen, std::vector<std::string>{"in the window: Finalizando..., requests 0"});
        EXPECT_EQ(FrmAguardar, nullptr) << "the overlay is gone again";
        const std::vector<tools::ReceivedRequest> requests = receiver.requests();
        ASSERT_EQ(requests.size(), 1u) << "the receiver answers OK: one post";
        QString log = Control<QPlainTextEdit>(wizard.Window(), "MemRegistro")->toPlainText();
        const std::string msg =
            CodificarFormulario(log.replace(u'\n', QStringLiteral("\r\n")).replace(u'\'', u'"').toStdString());
        EXPECT_EQ(requests[0].body, std::string("versao=37&fonte=0&") + c.erro + "&msg=" + msg + "&recurso=Net");
        EXPECT_THAT(requests[0].body, testing::HasSubstr("%0D%0A")) << "the log has several lines";
    }
}

} // namespace
} // namespace tarvix
