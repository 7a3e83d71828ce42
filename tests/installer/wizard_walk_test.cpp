// One whole run, from start-up to "Fechar": the sample edition of the library packed into an installer, a sandbox
// prefix with a simulated Delphi 13 whose compiler is the simulated one, the pages walked with the buttons; then the
// destination folder, the built package, the registration in the IDE, its library paths and the remembered
// destination checked, and a second run over the first.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "components/ex_notebook.h"
#include "components/kq_gauge.h"
#include "components/kq_reg_manager.h"
#include "ideservices/ide_installation.h"
#include "ideservices/ide_installations.h"
#include "installer/frm_main.h"
#include "installer/uninstall_record.h"
#include "platform/ascii_case.h"
#include "platform/registry.h"
#include "platform/windows_path.h"
#include "tests/installer/wizard_bench.h"

namespace tarvix {

using enum TIdeBDSPlatform;
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
        if (platform::equalsIgnoringAsciiCase(name.extension().string(), ".dcr") &&
            std::find(units.begin(), units.end(), name.stem().string()) != units.end())
            resources.push_back(name.stem().string());
    }
    std::sort(resources.begin(), resources.end(), [](const std::string& a, const std::string& b) {
        return platform::asciiLowerCase(a) < platform::asciiLowerCase(b);
    });

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

// The registry values and paths the installer writes, read back the way the IDE reads them.
struct Registered {
    std::map<std::string, std::string> knownPackages;
    std::map<std::string, std::string> library;    // HKCU\...\37.0\Library\Win32
    std::map<std::string, std::string> envOptions; // the three path properties, raw
    std::string remembered;                        // "Caminho D37"
    bool cacheKey = false;                         // Package Cache\TarvixLib370.bpl
};

const char* const IdeKey = "SOFTWARE\\Embarcadero\\BDS\\37.0";

std::map<std::string, std::string> Values(const std::string& key)
{
    std::map<std::string, std::string> values;
    auto k = platform::current().registry().openKey(
        platform::RegRoot::CurrentUser, key, platform::KeyAccess::Read | platform::KeyAccess::Wow64_32Key, false);
    if (k)
        for (const std::string& name : k->valueNames())
            values[name] = k->value(name)->asString();
    return values;
}

Registered ReadRegistered()
{
    Registered r;
    r.knownPackages = Values(std::string(IdeKey) + "\\Known Packages");
    r.library = Values(std::string(IdeKey) + "\\Library\\Win32");
    r.cacheKey = platform::current().registry().keyExists(platform::RegRoot::CurrentUser,
                                                          std::string(IdeKey) + "\\Package Cache\\TarvixLib370.bpl",
                                                          platform::KeyAccess::Read | platform::KeyAccess::Wow64_32Key);
    TIdeBorRADToolInstallations installations;
    auto* ide = dynamic_cast<TIdeBDSInstallation*>(installations.Installations(0));
    for (const char* name : {"DelphiLibraryPath", "DelphiBrowsingPath", "DelphiDebugDCUPath"})
        r.envOptions[name] = ide->ReadEnvOption(name, bpWin32, true);
    TKqRegManager reg;
    reg.SetRootKey(HKeyLocalMachine);
    reg.SetKey(ChaveTarvixComps);
    r.remembered = reg.ReadString("", "Caminho D37", "");
    return r;
}

int Occurrences(const std::string& list, const std::string& folder)
{
    int n = 0;
    std::stringstream in(list);
    for (std::string item; std::getline(in, item, ';');)
        if (platform::equalsIgnoringAsciiCase(item, folder) ||
            platform::equalsIgnoringAsciiCase(item, platform::includeTrailingBackslash(folder)))
            ++n;
    return n;
}

std::vector<std::string> LogLines(QWidget& window)
{
    std::vector<std::string> lines;
    for (const QString& line : test::Control<QPlainTextEdit>(window, "MemRegistro")->toPlainText().split(u'\n'))
        lines.push_back(line.toStdString());
    return lines;
}

// Walks a started window from the welcome page through the copy and the registration, answering the outcome's
// message; returns what the boxes said.
std::vector<test::ModalDialogSeen> WalkToTheEnd(TFrmMain& window)
{
    auto* next = test::Control<QPushButton>(window, "BtnAvancar");
    test::WalkToTheConfirmationPage(window);
    test::ModalDialogHelper answers(std::chrono::seconds(60));
    answers.pressButton("&OK");
    next->click(); // the copy runs inside this click, the registration inside the copy
    return answers.seen();
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
    options.reportUrl = "";
    const pack::Listing packed = pack::Pack(options);
    bench.UseInstaller(options.output);

    // A cache entry of an earlier build of the package, which the registration has to remove.
    {
        auto cache = platform::current().registry().openKey(
            platform::RegRoot::CurrentUser, std::string(IdeKey) + "\\Package Cache\\TarvixLib370.bpl\\Units",
            platform::KeyAccess::AllAccess | platform::KeyAccess::Wow64_32Key, true);
        cache->writeString("KqAbout", "stale");
    }
    const Registered before = ReadRegistered();
    ASSERT_TRUE(before.cacheKey);

    TFrmMain window(bench.InstallerPath());
    window.show();
    ASSERT_TRUE(test::WaitFor([&] { return window.Iniciada(); }));
    auto* next = test::Control<QPushButton>(window, "BtnAvancar");
    auto* cancel = test::Control<QPushButton>(window, "BtnCancelar");
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
    // The copy of 165 files takes a few seconds before the outcome's box comes up.
    test::ModalDialogHelper answers(std::chrono::seconds(60));
    answers.pressButton("&OK");
    next->click(); // the copy runs inside this click, the registration inside the copy

    EXPECT_EQ(page(), "NpgRegistrar");
    EXPECT_EQ(test::Control<QLabel>(window, "LabAviso")->text(), "Registrar o package no Delphi.");
    auto* gauge = test::Control<TKqGauge>(window, "ProgBar1");
    EXPECT_EQ(gauge->MaxValue(), static_cast<int>(packed.records.size()));
    EXPECT_EQ(gauge->Progress(), gauge->MaxValue());

    // Every file of the edition is in the destination with its bytes; the package source is rewritten.
    const fs::path dest = bench.Host(destination);
    // Beside them, and nothing else: the uninstall record and the uninstaller.
    std::set<std::string> expected = {std::string(NomeRegistroDesinstalacao), std::string(NomeDesinstalador)};
    for (const auto& entry : fs::directory_iterator(edition / "files")) {
        const std::string name = entry.path().filename().string();
        expected.insert(name);
        if (name == "TarvixLib370.dpk")
            continue;
        EXPECT_EQ(ReadBytes(dest / name), ReadBytes(entry.path())) << name;
    }
    std::set<std::string> installed;
    for (const auto& entry : fs::directory_iterator(dest))
        installed.insert(entry.path().filename().string());
    EXPECT_EQ(installed, expected);

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

    // The compile-and-register step told the user it succeeded, and left "Fechar".
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "Informação");
    EXPECT_TRUE(answers.seen()[0].text.contains("A instalação dos componentes foi concluída com sucesso!"));
    EXPECT_EQ(cancel->text(), "Fechar");
    EXPECT_FALSE(next->isEnabled());
    EXPECT_TRUE(window.Estado().Finalizado);

    // The log: the services' progress lines around the compiler's command line and output, without its W1057
    // warning and its lone-CR progress counter.
    const std::string bplFolder = "C:\\users\\Public\\Documents\\Embarcadero\\Studio\\37.0\\Bpl";
    const std::string dcpFolder = "C:\\users\\Public\\Documents\\Embarcadero\\Studio\\37.0\\Dcp";
    const std::string bpl = bplFolder + "\\TarvixLib370.bpl";
    const std::vector<std::string> log = LogLines(window);
    ASSERT_GE(log.size(), 12u);
    EXPECT_EQ(log[0], "Installing package C:\\Morvane\\TarvixComps\\D37\\TarvixLib370.dpk");
    EXPECT_EQ(log[1], "Compiling package C:\\Morvane\\TarvixComps\\D37\\TarvixLib370.dpk");
    EXPECT_EQ(log[2].rfind("\"C:\\Program Files (x86)\\Embarcadero\\Studio\\37.0\\bin\\dcc32.exe\" "
                           "\"C:\\Morvane\\TarvixComps\\D37\\TarvixLib370.dpk\" --no-config -B -$O- -$W+ -$Y- "
                           "-M -Q -H- -W- -NS\"Winapi;System.Win;",
                           0),
              0u)
        << log[2];
    EXPECT_NE(log[2].find(" -U\"C:\\Morvane\\TarvixComps\\D37\" "), std::string::npos);
    EXPECT_NE(log[2].find(" -NO\"C:\\Morvane\\TarvixComps\\D37\" -LE\"" + bplFolder + "\" -LN\"" + dcpFolder + "\""),
              std::string::npos)
        << log[2];
    EXPECT_EQ(log[3].rfind("Tarvix simulated Delphi compiler", 0), 0u);
    const std::vector<std::string> tail(log.end() - 7, log.end());
    EXPECT_NE(tail[0].find(" lines, "), std::string::npos) << tail[0];
    EXPECT_NE(tail[0].find(" bytes code, "), std::string::npos) << tail[0];
    EXPECT_EQ(std::vector<std::string>(tail.begin() + 1, tail.end()),
              (std::vector<std::string>{"Compilation success", "Cleaning package cache for TarvixLib370.bpl",
                                        "Cleaning ok", "Registering package " + bpl, "Registration ok",
                                        "Installation of package finished"}));
    for (const std::string& line : log) {
        EXPECT_EQ(line.find("W1057"), std::string::npos) << line;
        EXPECT_EQ(line.find(" lines\r"), std::string::npos) << line;
    }

    // The package was built into the IDE's folders and registered; its stale cache entry is gone.
    EXPECT_TRUE(fs::is_regular_file(bench.Host(bpl)));
    EXPECT_TRUE(fs::is_regular_file(bench.Host(dcpFolder + "\\TarvixLib370.dcp")));
    const Registered after = ReadRegistered();
    EXPECT_FALSE(after.cacheKey);
    std::map<std::string, std::string> known = before.knownPackages;
    known[bpl] = "'Tarvix Library - Components'";
    EXPECT_EQ(after.knownPackages, known);
    // The destination appended once to the three library paths, in the registry and in EnvOptions.proj.
    for (const char* name : {"Search Path", "Browsing Path", "Debug DCU Path"}) {
        EXPECT_EQ(after.library.at(name), before.library.at(name) + ";" + destination) << name;
    }
    for (const char* name : {"DelphiLibraryPath", "DelphiBrowsingPath", "DelphiDebugDCUPath"}) {
        EXPECT_EQ(after.envOptions.at(name), before.envOptions.at(name) + ";" + destination) << name;
    }
    EXPECT_EQ(after.remembered, destination);

    // "Fechar" closes without a question and deletes the work folder.
    const fs::path work = bench.Host(window.Estado().PastaTemp);
    cancel->click();
    EXPECT_TRUE(window.Fechada());
    EXPECT_FALSE(fs::exists(work));
    EXPECT_EQ(answers.seen().size(), 1u);

    // A second run proposes the remembered folder and writes no path twice.
    TFrmMain again(bench.InstallerPath());
    again.show();
    ASSERT_TRUE(test::WaitFor([&] { return again.Iniciada(); }));
    EXPECT_EQ(again.PastaDestino(), destination);
    EXPECT_FALSE(test::Control<QPushButton>(again, "BtnAlterar")->isEnabled());
    const auto seen = WalkToTheEnd(again);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "Informação");
    const Registered second = ReadRegistered();
    EXPECT_EQ(second.knownPackages, known);
    for (const auto& [name, value] : second.library)
        EXPECT_EQ(value, after.library.at(name)) << name;
    for (const auto& [name, value] : second.envOptions)
        EXPECT_EQ(value, after.envOptions.at(name)) << name;
    EXPECT_EQ(Occurrences(second.library.at("Search Path"), destination), 1);
    test::Control<QPushButton>(again, "BtnCancelar")->click();
    EXPECT_TRUE(again.Fechada());
}

} // namespace
} // namespace tarvix
