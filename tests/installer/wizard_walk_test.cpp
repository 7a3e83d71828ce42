// One whole run: the sample edition of the library packed into an installer, a sandbox prefix with a simulated
// Delphi 13, the pages walked with the buttons, and the destination folder checked afterwards.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "components/ex_notebook.h"
#include "components/kq_gauge.h"
#include "installer/frm_main.h"
#include "tests/installer/wizard_bench.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The package source the installer has to leave in the destination, worked out from the edition's files and its
// descriptor: the resources of the listed units after the generic resource line, sorted by name without regard
// to case, and the listed units present as the contains clause, in the list's order.
std::string ExpectedPackage(const fs::path& edition, const std::string& files)
{
    std::vector<std::string> units;
    std::stringstream list(files);
    for (std::string unit; std::getline(list, unit, '|');)
        if (!unit.empty())
            units.push_back(unit);

    std::vector<std::string> resources;
    for (const auto& entry : fs::directory_iterator(edition / "files")) {
        const fs::path name = entry.path().filename();
        if (Lower(name.extension().string()) == ".dcr" &&
            std::find(units.begin(), units.end(), name.stem().string()) != units.end())
            resources.push_back(name.stem().string());
    }
    std::sort(resources.begin(), resources.end(),
              [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });

    std::string resourceLines = "{$R *.res}";
    for (const std::string& r : resources)
        resourceLines += "\r\n{$R '" + r + ".dcr'}";
    std::string clause = "contains";
    for (const std::string& u : units) {
        if (fs::exists(edition / "files" / (u + ".pas")))
            clause += "\r\n  " + u + " in '" + u + ".pas',";
        else if (fs::exists(edition / "files" / (u + ".dcu")))
            clause += "\r\n  " + u + ",";
    }
    if (clause.back() == ',')
        clause.back() = ';';

    std::string text = ReadBytes(edition / "files" / "TarvixLib370.dpk");
    text.replace(text.find("{$R *.res}"), 10, resourceLines);
    text.replace(text.find("contains"), 8, clause);
    return text;
}

TEST(WizardWalk, TheSampleEditionIsInstalledIntoTheSandboxPrefix)
{
    const fs::path edition = fs::path(TARVIX_BINARY_DIR) / "sample-edition";
    ASSERT_TRUE(fs::exists(edition / "instalar.inf")) << "the build makes the sample edition";

    test::WizardBench bench;
    pack::PackOptions options;
    options.executable = bench.Temp() / "setup.exe";
    options.folder = edition / "files";
    options.orderFile = edition / "order.txt";
    options.descriptorFile = edition / "instalar.inf";
    options.output = bench.Temp() / "sample-installer.exe";
    const pack::Listing packed = pack::Pack(options);
    bench.UseInstaller(options.output);

    TFrmMain window(bench.InstallerPath());
    window.show();
    ASSERT_TRUE(test::WaitFor([&] { return window.Iniciada(); }));
    auto* next = test::Control<QPushButton>(window, "BtnAvancar");
    auto* notebook = test::Control<TExNotebook>(window, "NoteEtapas");
    const auto page = [&] { return notebook->ActivePage()->objectName(); };

    EXPECT_EQ(page(), "NpgBemVindo");
    EXPECT_EQ(test::Control<QLabel>(window, "LabVersao")->text(),
              "\n\nPackage: Tarvix Library Sample Edition para Delphi 13 - Florence.\n\n");
    next->click();
    EXPECT_EQ(page(), "NpgContrato");
    test::Control<QCheckBox>(window, "ChxContrato")->click();
    next->click();
    EXPECT_EQ(page(), "NpgCaminho");
    const std::string destination = window.PastaDestino();
    EXPECT_EQ(destination, "C:\\Morvane\\TarvixComps\\D37");
    next->click();
    EXPECT_EQ(page(), "NpgConfirmar");
    EXPECT_EQ(next->text(), "&Instalar");
    next->click(); // the copy runs inside this click and ends on the registration page

    EXPECT_EQ(page(), "NpgRegistrar");
    EXPECT_EQ(test::Control<QLabel>(window, "LabAviso")->text(), "Registrar o package no Delphi.");
    auto* gauge = test::Control<TKqGauge>(window, "ProgBar1");
    EXPECT_EQ(gauge->MaxValue(), static_cast<int>(packed.records.size()));
    EXPECT_EQ(gauge->Progress(), gauge->MaxValue());

    // Every file of the edition is in the destination with its bytes; the package source is rewritten.
    const fs::path dest = bench.Host(destination);
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(edition / "files")) {
        const std::string name = entry.path().filename().string();
        ++count;
        if (name == "TarvixLib370.dpk")
            continue;
        EXPECT_EQ(ReadBytes(dest / name), ReadBytes(entry.path())) << name;
    }
    std::size_t installed = 0;
    for (const auto& entry : fs::directory_iterator(dest)) {
        (void)entry;
        ++installed;
    }
    EXPECT_EQ(installed, count);

    const std::string inf = ReadBytes(edition / "instalar.inf");
    const std::size_t at = inf.find("Files=") + 6;
    const std::string files = inf.substr(at, inf.find_first_of("\r\n", at) - at);
    const std::string dpk = ReadBytes(dest / "TarvixLib370.dpk");
    EXPECT_EQ(dpk, ExpectedPackage(edition, files));
    // A few landmarks, independent of the derivation above.
    EXPECT_NE(dpk.find("{$R *.res}\r\n{$R 'KqAnimate.dcr'}\r\n{$R 'KqArrowBtn.dcr'}\r\n"), std::string::npos);
    EXPECT_NE(dpk.find("\r\ncontains\r\n  KqAbout,\r\n  KqAnimate,\r\n"), std::string::npos);
    EXPECT_NE(dpk.find("  KqTreeView;\r\n\r\nend.\r\n"), std::string::npos);
    EXPECT_EQ(dpk.find("{$R *.res}"), dpk.rfind("{$R *.res}"));

    // The wizard is not finished (the registration step comes later): closing asks, and Yes deletes the work
    // folder.
    const fs::path work = bench.Host(window.Estado().PastaTemp);
    test::ModalDialogHelper answers;
    answers.pressButton("&Sim");
    window.close();
    EXPECT_TRUE(window.Fechada());
    EXPECT_FALSE(fs::exists(work));
}

} // namespace
} // namespace tarvix
