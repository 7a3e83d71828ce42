// The unattended runs on sandbox prefixes: the plain text of the messages, the paths of the command line, the
// very silent installation against the wizard's own run of the same installer, every exit code caused for real,
// the log file, the real tarvix-setup without a display or a Qt platform plugin, and an installation taken back
// out by the command line with the prefix's hives and EnvOptions.proj left as they were (but for what the user
// changed meanwhile).
#include "installer/unattended_run.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "components/kq_gauge.h"
#include "components/kq_reg_manager.h"
#include "installer/frm_main.h"
#include "installer/silent_window.h"
#include "platform/ascii_case.h"
#include "platform/host_process.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/wine/wine_hive.h"
#include "platform/wine/wine_prefix.h"
#include "tests/installer/wizard_bench.h"
#include "tools/report_receiver.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

const char* const Destination = "C:\\Morvane\\TarvixComps\\D37";
const char* const IdeKey = "SOFTWARE\\Embarcadero\\BDS\\37.0";

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool Contains(const std::string& text, std::string_view part)
{
    return text.find(part) != std::string::npos;
}

// Every key and value of a prefix's three hives, read from the files: "user.reg|software\...\key" for a key and
// "...|:name" for a value (names in lower case, as the registry matches them), the value as its type and its
// text. Key times are left out; the prefix's own host path is written as "<prefix>", so that two prefixes can be
// compared.
using HiveDump = std::map<std::string, std::string>;

void DumpKey(const platform::wine::WineHive& hive, const platform::wine::WineHive::Node* key, const std::string& path,
             const std::string& prefix, HiveDump& dump)
{
    dump[path] = "key";
    for (const std::string& name : hive.valueNames(key)) {
        const platform::RegValue value = *hive.value(key, name);
        std::string text;
        if (value.type == platform::RegType::Sz || value.type == platform::RegType::ExpandSz) {
            text = value.asString();
        } else if (value.type == platform::RegType::MultiSz) {
            for (const std::string& s : value.asMultiString())
                text += s + "|";
        } else {
            for (const char c : value.data)
                text += std::to_string(static_cast<unsigned char>(c)) + ",";
        }
        for (std::size_t at; (at = text.find(prefix)) != std::string::npos;)
            text.replace(at, prefix.size(), "<prefix>");
        dump[path + "|:" + platform::asciiLowerCase(name)] = std::to_string(value.type) + ":" + text;
    }
    for (const std::string& name : hive.subKeyNames(key))
        DumpKey(hive, hive.child(key, name), path + "\\" + platform::asciiLowerCase(name), prefix, dump);
}

HiveDump DumpHives(const fs::path& prefix)
{
    HiveDump dump;
    for (const char* file : {"system.reg", "user.reg", "userdef.reg"}) {
        const platform::wine::WineHive hive = platform::wine::WineHive::parse(ReadBytes(prefix / file), file);
        DumpKey(hive, hive.root(), file, prefix.string(), dump);
    }
    return dump;
}

// The differences of two dumps, one line each, for a readable failure.
std::string Differences(const HiveDump& expected, const HiveDump& actual)
{
    std::string text;
    for (const auto& [key, value] : expected) {
        const auto it = actual.find(key);
        if (it == actual.end())
            text += "missing " + key + " = " + value + "\n";
        else if (it->second != value)
            text += "changed " + key + ": " + value + " -> " + it->second + "\n";
    }
    for (const auto& [key, value] : actual)
        if (!expected.contains(key))
            text += "added " + key + " = " + value + "\n";
    return text;
}

fs::path EnvOptionsFile(const fs::path& prefix)
{
    for (const auto& entry : fs::recursive_directory_iterator(prefix / "drive_c"))
        if (entry.path().filename() == "EnvOptions.proj")
            return entry.path();
    return {};
}

// The properties of an options file, "<condition>|<name>" → value, one per line as the IDE writes them; the file's
// layout (declaration, byte-order mark) is not compared.
std::map<std::string, std::string> EnvOptions(const fs::path& file)
{
    static const std::regex group(R"re(<PropertyGroup(?: Condition="([^"]*)")?>)re");
    static const std::regex property(R"(^\s*<(\w+)>(.*)</\1>)");
    std::map<std::string, std::string> properties;
    std::string condition;
    for (const std::string& line : Lines(ReadBytes(file))) {
        std::smatch m;
        if (std::regex_search(line, m, group))
            condition = m[1];
        else if (std::regex_search(line, m, property))
            properties[condition + "|" + m[1].str()] = m[2];
    }
    return properties;
}

// The files of a folder, name → bytes.
std::map<std::string, std::string> Files(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    if (fs::exists(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            files[entry.path().filename().string()] = ReadBytes(entry.path());
    return files;
}

struct Outcome {
    int code = -1;
    std::string errors; // what went to standard error
};

Outcome VerySilent(const std::vector<std::string>& arguments, const std::string& installer)
{
    std::ostringstream errors;
    const int code = ExecutarMuitoSilencioso(LerLinhaComando(arguments), errors, installer);
    return {code, errors.str()};
}

void SetString(platform::RegRoot root, const std::string& key, const std::string& name, const std::string& value)
{
    platform::current()
        .registry()
        .openKey(root, key, platform::KeyAccess::AllAccess | platform::KeyAccess::Wow64_32Key, true)
        ->setValue(name, platform::RegValue::string(value));
}

std::string GetString(platform::RegRoot root, const std::string& key, const std::string& name)
{
    auto k = platform::current().registry().openKey(
        root, key, platform::KeyAccess::Read | platform::KeyAccess::Wow64_32Key, false);
    if (!k)
        return {};
    const std::optional<platform::RegValue> value = k->value(name);
    return value ? value->asString() : std::string();
}

// The remembered destination, read and written as the installer does (reading creates nothing).
void OnTheRememberedKey(const std::function<void(TKqRegManager&)>& use)
{
    TKqRegManager reg;
    reg.SetRootKey(HKeyLocalMachine);
    reg.SetKey(ChaveTarvixComps);
    reg.SetAutoCreate(false);
    reg.Loaded();
    use(reg);
}

std::string Remembered()
{
    std::string value;
    OnTheRememberedKey([&](TKqRegManager& reg) { value = reg.ReadString("", "Caminho D37", ""); });
    return value;
}

// ---------------------------------------------------------------------------------------------------------------

TEST(UnattendedText, TheMarkupIsRemovedAsTheDialogReadsIt)
{
    struct Case {
        std::string markup;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {""}},
        {"plain", {"plain"}},
        {"É recomendável que você <b>encerre o Delphi<b> antes.", {"É recomendável que você encerre o Delphi antes."}},
        {"a|b", {"a", "b"}},
        {"a||<b>Mensagem:<b>|x", {"a", "", "Mensagem:", "x"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"<i>i<i><u>u<u><r>r<r><c>c", {"iurc"}},
        // A colour tag goes whether its name is known or not, when it closes within 30 characters ...
        {"<c:clNavy>navy<c> <c:$00FF0000>x <c:nonsense>y", {"navy x y"}},
        // ... otherwise only its "<" goes.
        {"<c:" + std::string(31, 'n') + ">z", {"c:" + std::string(31, 'n') + ">z"}},
        // Anything that is not a tag stays as it stands.
        {"a < b <x> <B>", {"a < b <x> <B>"}},
        {"end|", {"end", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.markup);
        EXPECT_EQ(LinhasSemMarcacao(c.markup), c.lines);
    }
}

TEST(UnattendedText, TheTextWindowWritesPlainTextAndGivesTheDefaultAnswers)
{
    test::TempDir temp;
    RunLog log;
    log.openFile(temp / "run.log");
    std::ostringstream errors;
    TextWindow window(errors, log);

    EXPECT_EQ(window.MsgError("Falhou:|<b>x<b>"), 1);
    EXPECT_EQ(window.MsgWarning("w"), 1);
    EXPECT_EQ(window.MsgInformation("i"), 1);
    EXPECT_EQ(window.MsgConfirmation("Tem certeza?"), 6);
    EXPECT_FALSE(window.closeRequested());
    window.PostClose();
    EXPECT_TRUE(window.closeRequested());
    log.line("last");

    const std::string expected = "Erro: Falhou:\nx\nAviso: w\nInformação: i\nConfirmação: Tem certeza?\n";
    EXPECT_EQ(errors.str(), expected);
    EXPECT_EQ(temp.read("run.log"), expected + "last\n");
}

TEST(UnattendedText, ALogFileIsReplacedAndOneThatCannotBeMadeIsSaid)
{
    test::TempDir temp;
    temp.write("old.log", "an earlier run\n");
    {
        RunLog log;
        log.openFile(temp / "old.log");
        log.line("new");
        // Flushed as it goes: readable while the log is still open.
        EXPECT_EQ(temp.read("old.log"), "new\n");
    }
    RunLog log;
    EXPECT_THROW(log.openFile(temp / "no such folder" / "x.log"), std::runtime_error);
    EXPECT_FALSE(log.hasFile());
    log.line("goes nowhere"); // and does not fail
}

TEST(UnattendedPaths, TheCommandLinesFoldersAndLogFileMapThroughThePrefix)
{
    test::WizardBench bench;
    const fs::path drive = bench.PrefixDir() / "drive_c";
    struct Case {
        std::string value;
        std::string folder;
    };
    const Case cases[] = {
        {"C:\\Tarvix\\D37", "C:\\Tarvix\\D37"},
        {"C:\\Tarvix\\D37\\", "C:\\Tarvix\\D37"},
        {"c:/Tarvix/D37", "c:\\Tarvix\\D37"},
        {"C:\\", "C:\\"},
        {"D:", "D:"},
        {"\\\\server\\share\\", "\\\\server\\share"},
        // A host path inside the prefix's drive C: comes back through C:, one outside it through Z:.
        {(drive / "Tarvix" / "D37").string(), "C:\\Tarvix\\D37"},
        {(drive / "Tarvix" / "x" / ".." / "D37").string() + "/", "C:\\Tarvix\\D37"},
        {"/opt/tarvix", "Z:\\opt\\tarvix"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(PastaDaLinhaComando(c.value), c.folder);
    }
    // A relative host path is taken against the current folder.
    EXPECT_EQ(PastaDaLinhaComando("tarvix"),
              bench.System().files().toWindowsPath((fs::current_path() / "tarvix").string()));

    EXPECT_EQ(ArquivoLogDaLinhaComando("install.log"), fs::path("install.log"));
    EXPECT_EQ(ArquivoLogDaLinhaComando("C:\\logs\\install.log"), drive / "logs" / "install.log");
}

// ---------------------------------------------------------------------------------------------------------------

// What an installation left in a prefix: the hives and the destination's files.
struct Installed {
    HiveDump hives;
    std::map<std::string, std::string> files;
};

Installed Snapshot(const test::WizardBench& bench)
{
    return {DumpHives(bench.PrefixDir()), Files(bench.Host(Destination))};
}

TEST(VerySilentRun, InstallsWhatTheWizardInstallsAndLogsTheRun)
{
    Installed byWizard;
    {
        test::WizardBench bench;
        TFrmMain window(bench.InstallerPath());
        window.show();
        ASSERT_TRUE(test::WaitFor([&] { return window.Iniciada(); }));
        test::WalkToTheConfirmationPage(window);
        test::ModalDialogHelper answers(std::chrono::seconds(60));
        answers.pressButton("&OK");
        test::Control<QPushButton>(window, "BtnAvancar")->click();
        ASSERT_EQ(answers.seen().size(), 1u);
        ASSERT_TRUE(answers.seen()[0].text.contains("concluída com sucesso"));
        window.close();
        byWizard = Snapshot(bench);
    }

    test::WizardBench bench;
    const HiveDump before = DumpHives(bench.PrefixDir());
    const fs::path log = bench.Temp() / "install.log";
    const Outcome run = VerySilent({"/VERYSILENT", "/SUPPRESSMSGBOXES", "/ACCEPTLICENSE", "/LOG=" + log.string()},
                                   bench.InstallerPath());
    EXPECT_EQ(run.code, 0) << run.errors;
    EXPECT_EQ(run.errors, "Informação: A instalação dos componentes foi concluída com sucesso!\n");

    Installed bySilence = Snapshot(bench);
    EXPECT_EQ(Differences(byWizard.hives, bySilence.hives), "");
    EXPECT_NE(Differences(before, bySilence.hives), "") << "the installation wrote the registry";
    // The uninstall records agree but for the keys the wizard's proposal of the destination creates before the
    // registration runs (its registry manager creates the key it reads), which the very silent run leaves to the
    // registration, so that its record names them among what it added.
    ASSERT_TRUE(byWizard.files.contains("desinstalar.dat"));
    ASSERT_TRUE(bySilence.files.contains("desinstalar.dat"));
    byWizard.files.erase("desinstalar.dat");
    bySilence.files.erase("desinstalar.dat");
    EXPECT_EQ(bySilence.files, byWizard.files);
    EXPECT_TRUE(bySilence.files.contains("KqAlpha.dcu"));
    EXPECT_EQ(Remembered(), Destination);

    // The log: the destination, every copied file, the registration log, the outcome's message and code.
    const std::vector<std::string> lines = Lines(ReadBytes(log));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.front(), "Pasta de destino: C:\\Morvane\\TarvixComps\\D37");
    for (const char* file : {"TarvixLib370.dpk", "KqAlpha.dcu", "KqAlpha.dcr", "KqBeta.dcu", "KqBeta.dfm"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), LinhaCopia(std::string(Destination) + "\\" + file)),
                  lines.end())
            << file;
    const auto has = [&](std::string_view part) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return Contains(l, part); });
    };
    EXPECT_TRUE(has("Compiling KqAlpha"));
    EXPECT_TRUE(has("Registration ok"));
    EXPECT_FALSE(has("W1057")) << "the registration log filters as the wizard's page does";
    EXPECT_EQ(lines[lines.size() - 2], "Informação: A instalação dos componentes foi concluída com sucesso!");
    EXPECT_EQ(lines.back(), "Instalação concluída (código de saída 0)");
}

// One failing very silent run per exit code, each caused for real.
TEST(VerySilentRun, EachFailureEndsWithItsExitCodeAndSaysWhy)
{
    test::TempDir tools;
    const fs::path failing = tools.write("dcc32.sh", "#!/bin/sh\necho 'Fatal: F1026 File not found'\nexit 1\n");
    fs::permissions(failing, fs::perms::owner_all);

    struct Case {
        const char* name;
        test::WizardBench::Options options;
        std::function<void(test::WizardBench&)> prepare; // after the bench exists, before the run
        std::vector<std::string> arguments;
        int code;
        std::string said;    // on standard error and in the log
        bool nothingWritten; // the hives and the destination as they were
    };
    test::WizardBench::Options noIde;
    noIde.delphi13 = false;
    test::WizardBench::Options failingCompile;
    failingCompile.compiler = failing;
    const std::vector<std::string> unattended = {"/VERYSILENT", "/SUPPRESSMSGBOXES", "/ACCEPTLICENSE"};
    std::unique_ptr<test::RunningIde> ide;

    const Case cases[] = {
        {"licence not accepted", {}, {}, {"/VERYSILENT"}, 2, "/ACCEPTLICENSE para aceitá-lo. Nada foi gravado.", true},
        {"damaged payload",
         {},
         [](test::WizardBench& bench) {
             // The trailer's sizes promise more than the file holds.
             std::fstream f(bench.InstallerHostPath(), std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(-8, std::ios::end);
             f.write("\x7f\xff\xff\xff\x7f\xff\xff\xff", 8);
         },
         unattended,
         1,
         "Não foi possível extrair os arquivos de instalação.",
         true},
        {"no Delphi 13 in the prefix", noIde, {}, unattended, 1, "parece não estar corretamente instalado", true},
        {"the IDE runs",
         {},
         [&ide](test::WizardBench& bench) {
             ide = std::make_unique<test::RunningIde>(bench.Temp().path(), bench.PrefixDir());
         },
         unattended,
         7,
         "Delphi 13 - Florence está aberto",
         true},
        {"the compile fails",
         failingCompile,
         {},
         unattended,
         4,
         "Ocorreu um erro e não foi possível concluir a instalação.",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WizardBench bench(c.options);
        if (c.prepare)
            c.prepare(bench);
        const HiveDump before = DumpHives(bench.PrefixDir());
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back("/LOG=" + (bench.Temp() / "run.log").string());

        const Outcome run = VerySilent(arguments, bench.InstallerPath());
        ide.reset();
        EXPECT_EQ(run.code, c.code) << run.errors;
        EXPECT_TRUE(Contains(run.errors, c.said)) << run.errors;
        EXPECT_FALSE(Contains(run.errors, "<b>")) << run.errors;
        const std::string log = ReadBytes(bench.Temp() / "run.log");
        EXPECT_TRUE(Contains(log, c.said)) << log;
        EXPECT_TRUE(log.ends_with("(código de saída " + std::to_string(c.code) + ")\n")) << log;
        if (c.nothingWritten) {
            EXPECT_EQ(Differences(before, DumpHives(bench.PrefixDir())), "");
            EXPECT_FALSE(fs::exists(bench.Host(Destination)));
        } else {
            EXPECT_TRUE(Contains(log, "Fatal: F1026 File not found")) << "the log says which step failed";
            EXPECT_EQ(Remembered(), "");
        }
    }
}

TEST(VerySilentRun, ALogFileThatCannotBeMadeStopsTheRunBeforeAnythingIsWritten)
{
    test::WizardBench bench;
    const HiveDump before = DumpHives(bench.PrefixDir());
    const Outcome run = VerySilent(
        {"/VERYSILENT", "/ACCEPTLICENSE", "/LOG=" + (bench.Temp() / "none" / "x.log").string()}, bench.InstallerPath());
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(Contains(run.errors, "cannot create the log file")) << run.errors;
    EXPECT_EQ(Differences(before, DumpHives(bench.PrefixDir())), "");
    EXPECT_FALSE(fs::exists(bench.Host(Destination)));
}

TEST(UnattendedInstall, ACancelBeforeTheCopyWritesNothingAndOneDuringItStopsTheCopy)
{
    struct Case {
        const char* name;
        std::size_t cancelAfterFiles; // cancelled once this many files were shown; 0: from the start
        TCodigoSaida code;
        std::size_t filesLeft;
    };
    const Case cases[] = {
        {"before anything was written", 0, TCodigoSaida::Cancelada, 0},
        // The copy stops before the file it was about to copy.
        {"while copying", 2, TCodigoSaida::Interrompida, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WizardBench bench;
        RunLog log;
        std::ostringstream errors;
        TextWindow window(errors, log);
        std::size_t shown = 0;
        TPaginaAutomatica pagina;
        pagina.MostrarArquivo = [&](const std::string&) { ++shown; };
        pagina.Cancelada = [&] { return shown >= c.cancelAfterFiles; };
        const TLinhaComando options = LerLinhaComando({"/VERYSILENT", "/ACCEPTLICENSE"});

        EXPECT_EQ(InstalarSemAssistente(options, window, log, pagina, bench.InstallerPath()), c.code) << errors.str();
        EXPECT_EQ(Files(bench.Host(Destination)).size(), c.filesLeft);
        EXPECT_EQ(Remembered(), "");
        EXPECT_TRUE(Contains(errors.str(), "A instalação foi cancelada")) << errors.str();
    }
}

TEST(UnattendedInstall, TheDirOptionChoosesTheDestinationOverTheRememberedOne)
{
    test::WizardBench bench;
    OnTheRememberedKey([](TKqRegManager& reg) {
        reg.SetAutoCreate(true);
        reg.WriteString("", "Caminho D37", "C:\\Remembered");
    });
    const fs::path chosen = bench.PrefixDir() / "drive_c" / "Chosen Folder";
    const Outcome run =
        VerySilent({"/VERYSILENT", "/ACCEPTLICENSE", "/NOREPORT", "/DIR=" + chosen.string()}, bench.InstallerPath());
    EXPECT_EQ(run.code, 0) << run.errors;
    EXPECT_TRUE(fs::exists(chosen / "KqAlpha.dcu"));
    EXPECT_FALSE(fs::exists(bench.Host("C:\\Remembered")));
    EXPECT_EQ(Remembered(), "C:\\Chosen Folder");
}

TEST(UnattendedInstall, TheReportIsSentWithTheRegistrationLogUnlessNoReportIsGiven)
{
    struct Case {
        const char* name;
        bool noReport;
        std::size_t posts;
    };
    const Case cases[] = {{"reported", false, 1}, {"/NOREPORT", true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tools::ReportReceiver receiver(tools::ReceiverOptions{});
        test::WizardBench::Options options;
        options.reportUrl = receiver.url();
        test::WizardBench bench(options);
        std::vector<std::string> arguments = {"/VERYSILENT", "/ACCEPTLICENSE"};
        if (c.noReport)
            arguments.push_back("/NOREPORT");

        EXPECT_EQ(VerySilent(arguments, bench.InstallerPath()).code, 0);
        const std::vector<tools::ReceivedRequest> requests = receiver.requests();
        ASSERT_EQ(requests.size(), c.posts);
        if (c.posts) {
            EXPECT_TRUE(Contains(requests[0].body, "erro=0")) << requests[0].body;
            // The registration log, lines joined by CR LF as the wizard's page sends it.
            EXPECT_TRUE(Contains(requests[0].body, "Compilation+success%0D%0A")) << requests[0].body;
        }
    }
}

// ---------------------------------------------------------------------------------------------------------------

TEST(SilentWindow, ShowsTheCopyAndTheLogThenClosesWithTheExitCode)
{
    test::WizardBench bench;
    RunLog log;
    TFrmSilenciosa window(LerLinhaComando({"/SILENT", "/ACCEPTLICENSE", "/NOREPORT"}), log, bench.InstallerPath());
    // Without /SUPPRESSMSGBOXES the outcome is a box of the message dialog.
    test::ModalDialogHelper answers(std::chrono::seconds(60));
    answers.pressButton("&OK");
    window.show();
    ASSERT_TRUE(test::WaitFor([&] { return window.Concluida(); }, 60000));
    EXPECT_EQ(window.Codigo(), TCodigoSaida::Sucesso);
    EXPECT_FALSE(window.isVisible()) << "it closes by itself";
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "Informação");

    auto* gauge = test::Control<TKqGauge>(window, "ProgBar1");
    EXPECT_EQ(gauge->MaxValue(), 6);
    EXPECT_EQ(gauge->Progress(), 6);
    EXPECT_TRUE(test::Control<QLabel>(window, "LabArquivo")->text().endsWith("KqBeta.dfm"));
    const std::string shown = test::Control<QPlainTextEdit>(window, "MemLog")->toPlainText().toStdString();
    EXPECT_TRUE(Contains(shown, LinhaCopia(std::string(Destination) + "\\KqAlpha.dcu"))) << shown;
    EXPECT_TRUE(Contains(shown, "Registration ok")) << shown;
    EXPECT_TRUE(shown.ends_with("Instalação concluída (código de saída 0)")) << shown;
    EXPECT_TRUE(fs::exists(bench.Host(std::string(Destination) + "\\KqBeta.dfm")));
}

TEST(SilentWindow, ClosingItBeforeTheCopyCancelsWithoutWritingAnything)
{
    test::WizardBench bench;
    const HiveDump before = DumpHives(bench.PrefixDir());
    RunLog log;
    TFrmSilenciosa window(LerLinhaComando({"/SILENT", "/SUPPRESSMSGBOXES", "/ACCEPTLICENSE"}), log,
                          bench.InstallerPath());
    window.show();
    window.close(); // before the run has started: the close box is Cancel
    EXPECT_TRUE(window.Cancelada());
    ASSERT_TRUE(test::WaitFor([&] { return window.Concluida(); }, 60000));
    EXPECT_EQ(window.Codigo(), TCodigoSaida::Cancelada);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(fs::exists(bench.Host(Destination)));
    EXPECT_EQ(Differences(before, DumpHives(bench.PrefixDir())), "");
}

TEST(SilentWindow, AWindowedUninstallAsksInTheWizardsStyle)
{
    test::WizardBench bench;
    ASSERT_EQ(VerySilent({"/VERYSILENT", "/ACCEPTLICENSE", "/NOREPORT"}, bench.InstallerPath()).code, 0);
    struct Case {
        const char* answer;
        TCodigoSaida code;
        bool removed;
    };
    const Case cases[] = {{"&Não", TCodigoSaida::Cancelada, false}, {"&Sim", TCodigoSaida::Sucesso, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        RunLog log;
        TFrmSilenciosa window(LerLinhaComando({"/UNINSTALL"}), log, bench.InstallerPath());
        test::ModalDialogHelper answers(std::chrono::seconds(60));
        answers.pressButton(c.answer);
        if (c.removed)
            answers.pressButton("&OK");
        window.show();
        ASSERT_TRUE(test::WaitFor([&] { return window.Concluida(); }, 60000));
        EXPECT_EQ(window.Codigo(), c.code);
        ASSERT_FALSE(answers.seen().empty());
        EXPECT_EQ(answers.seen()[0].title, "Confirmação");
        EXPECT_EQ(fs::exists(bench.Host(std::string(Destination) + "\\KqAlpha.dcu")), !c.removed);
    }
}

TEST(WizardWithOptions, TheDirTheLogAndTheSuppressedBoxes)
{
    test::WizardBench bench;
    const fs::path log = bench.Temp() / "wizard.log";
    RunLog runLog;
    runLog.openFile(log);
    TFrmMain window(bench.InstallerPath());
    window.UsarLinhaComando(LerLinhaComando({"/SUPPRESSMSGBOXES", "/DIR=C:\\Escolhida", "/NOREPORT"}), runLog);
    window.show();
    ASSERT_TRUE(test::WaitFor([&] { return window.Iniciada(); }));
    EXPECT_EQ(window.PastaDestino(), "C:\\Escolhida");
    test::WalkToTheConfirmationPage(window);
    test::ModalDialogHelper answers(std::chrono::seconds(5));
    test::Control<QPushButton>(window, "BtnAvancar")->click();
    EXPECT_TRUE(answers.seen().empty()) << "the outcome took its default answer without a box";
    EXPECT_TRUE(window.Estado().Finalizado);
    EXPECT_TRUE(fs::exists(bench.Host("C:\\Escolhida\\KqAlpha.dcu")));

    const std::string text = ReadBytes(log);
    EXPECT_TRUE(Contains(text, LinhaCopia("C:\\Escolhida\\KqAlpha.dcu") + "\n")) << text;
    EXPECT_TRUE(Contains(text, "Registration ok\n")) << text;
    EXPECT_TRUE(text.ends_with("Informação: A instalação dos componentes foi concluída com sucesso!\n"
                               "Instalação concluída (código de saída 0)\n"))
        << text;
    window.close();
}

// ---------------------------------------------------------------------------------------------------------------

// The prefix as it stood before the installation, kept apart in a copy; the user's changes made meanwhile are
// made there too, so that the copy is what the uninstall has to leave.
TEST(UnattendedUninstall, TakesBackExactlyWhatTheInstallationAddedAndKeepsTheUsersChanges)
{
    test::WizardBench bench;
    const std::string knownPackages = std::string(IdeKey) + "\\Known Packages";
    const std::string library = std::string(IdeKey) + "\\Library\\Win32";
    // Another package's entry from before the installation.
    SetString(platform::RegRoot::CurrentUser, knownPackages, "C:\\Other\\Alien.bpl", "Alien Components");
    const fs::path expected = bench.Temp() / "expected-prefix";
    fs::copy(bench.PrefixDir(), expected, fs::copy_options::recursive | fs::copy_options::copy_symlinks);

    const std::vector<std::string> install = {"/VERYSILENT", "/SUPPRESSMSGBOXES", "/ACCEPTLICENSE", "/NOREPORT"};
    const Outcome installed = VerySilent(install, bench.InstallerPath());
    ASSERT_EQ(installed.code, 0) << installed.errors;
    ASSERT_TRUE(Contains(GetString(platform::RegRoot::CurrentUser, library, "Search Path"), Destination));

    // Meanwhile the user adds a folder to the search path by hand, another package, and a file of their own.
    const auto userChanges = [&] {
        SetString(platform::RegRoot::CurrentUser, library, "Search Path",
                  GetString(platform::RegRoot::CurrentUser, library, "Search Path") + ";C:\\Mine\\Lib");
        SetString(platform::RegRoot::CurrentUser, knownPackages, "C:\\Other\\Second.bpl", "Second Components");
    };
    userChanges();
    bench.System().files().writeFile(std::string(Destination) + "\\notas.txt", "my notes");
    {
        platform::WinePrefix before(expected);
        platform::ScopedCurrentSystem scope(before);
        userChanges();
    }

    const std::vector<std::string> uninstall = {"/UNINSTALL", "/VERYSILENT", "/SUPPRESSMSGBOXES",
                                                "/LOG=" + (bench.Temp() / "uninstall.log").string()};
    const Outcome removed = VerySilent(uninstall, bench.InstallerPath());
    EXPECT_EQ(removed.code, 0) << removed.errors;
    EXPECT_EQ(Differences(DumpHives(expected), DumpHives(bench.PrefixDir())), "");
    const std::map<std::string, std::string> envOptions = EnvOptions(EnvOptionsFile(bench.PrefixDir()));
    EXPECT_EQ(envOptions, EnvOptions(EnvOptionsFile(expected)));
    EXPECT_TRUE(envOptions.contains("'$(Platform)'=='Win32'|DelphiLibraryPath"));
    // The user's file keeps the folder.
    EXPECT_EQ(Files(bench.Host(Destination)), (std::map<std::string, std::string>{{"notas.txt", "my notes"}}));
    const std::string log = ReadBytes(bench.Temp() / "uninstall.log");
    EXPECT_TRUE(Contains(log, "KqAlpha.dcu")) << log;
    EXPECT_TRUE(log.ends_with("Desinstalação concluída (código de saída 0)\n")) << log;

    // A second uninstall finds nothing to do.
    const Outcome again = VerySilent(uninstall, bench.InstallerPath());
    EXPECT_EQ(again.code, 0) << again.errors;
    EXPECT_EQ(Differences(DumpHives(expected), DumpHives(bench.PrefixDir())), "");
}

TEST(UnattendedUninstall, RefusesWhileTheIdeRunsAndReportsADamagedRecord)
{
    test::WizardBench bench;
    ASSERT_EQ(VerySilent({"/VERYSILENT", "/ACCEPTLICENSE", "/NOREPORT"}, bench.InstallerPath()).code, 0);
    const HiveDump installed = DumpHives(bench.PrefixDir());
    const std::vector<std::string> uninstall = {"/UNINSTALL", "/VERYSILENT", "/DIR=" + std::string(Destination)};
    {
        test::RunningIde ide(bench.Temp().path(), bench.PrefixDir());
        const Outcome refused = VerySilent(uninstall, bench.InstallerPath());
        EXPECT_EQ(refused.code, 7) << refused.errors;
    }
    EXPECT_EQ(Differences(installed, DumpHives(bench.PrefixDir())), "");

    const fs::path record = bench.Host(std::string(Destination) + "\\desinstalar.dat");
    ASSERT_TRUE(fs::exists(record));
    const std::string text = ReadBytes(record);
    std::ofstream(record, std::ios::binary | std::ios::trunc) << text.substr(0, text.size() / 2);
    const Outcome damaged = VerySilent(uninstall, bench.InstallerPath());
    EXPECT_EQ(damaged.code, 1) << damaged.errors;
    EXPECT_TRUE(Contains(damaged.errors, "danificado")) << damaged.errors;
    EXPECT_EQ(Differences(installed, DumpHives(bench.PrefixDir())), "");
    EXPECT_TRUE(fs::exists(bench.Host(std::string(Destination) + "\\KqAlpha.dcu")));
}

// ---------------------------------------------------------------------------------------------------------------

struct Process {
    int code = -1;
    std::string out;
    std::string err;
};

// The real installer, without a display and with a Qt platform plugin that does not exist: whatever would load
// the window library's platform fails.
Process RunSetup(const test::WizardBench& bench, const fs::path& program, const std::vector<std::string>& arguments,
                 const std::function<void(int)>& started = {})
{
    platform::HostProcessSpec spec;
    spec.argv = {program.string()};
    spec.argv.insert(spec.argv.end(), arguments.begin(), arguments.end());
    spec.environment = platform::withEnvironment(platform::currentEnvironment(),
                                                 {"WINEPREFIX=" + bench.PrefixDir().string(), "DISPLAY",
                                                  "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=nonexistent-plugin"});
    spec.workingDirectory = bench.Temp().path().string();
    Process p;
    spec.onOutput = [&](std::string_view s) { p.out += s; };
    spec.onError = [&](std::string_view s) { p.err += s; };
    if (started)
        spec.beforeStart = started;
    p.code = static_cast<int>(platform::runHostProcess(spec).exitCode);
    return p;
}

// The small edition packed onto the real tarvix-setup.
fs::path PackOntoTheRealSetup(const test::WizardBench& bench, const fs::path& edition = {})
{
    pack::PackOptions options;
    options.executable = TARVIX_SETUP_EXE;
    options.folder = edition.empty() ? bench.Temp() / "edition" : edition / "files";
    options.orderFile = edition.empty() ? bench.Temp() / "order.txt" : edition / "order.txt";
    if (edition.empty())
        options.descriptor = pack::DescriptorValues{37, "Edição de Teste", false, "|KqAlpha|KqBeta|", ""};
    else
        options.descriptorFile = edition / "instalar.inf";
    options.reportUrl = "";
    options.output = bench.Temp() / "tarvix-setup-packed";
    pack::Pack(options);
    return options.output;
}

TEST(RealSetup, InstallsWithoutADisplayOrAQtPlatformAndItsUninstallerTakesItBack)
{
    test::WizardBench bench;
    const HiveDump before = DumpHives(bench.PrefixDir());
    const fs::path setup = PackOntoTheRealSetup(bench);

    const Process installed =
        RunSetup(bench, setup, {"/VERYSILENT", "/SUPPRESSMSGBOXES", "/ACCEPTLICENSE", "/LOG=install.log"});
    EXPECT_EQ(installed.code, 0) << installed.err;
    EXPECT_EQ(installed.err, "Informação: A instalação dos componentes foi concluída com sucesso!\n");
    EXPECT_TRUE(fs::exists(bench.Host(std::string(Destination) + "\\KqAlpha.dcu")));
    EXPECT_TRUE(ReadBytes(bench.Temp() / "install.log").ends_with("Instalação concluída (código de saída 0)\n"));

    // The uninstaller the installation left in the destination finds its record beside itself.
    const fs::path uninstaller = bench.Host(std::string(Destination) + "\\desinstalar.exe");
    ASSERT_TRUE(fs::exists(uninstaller));
    const Process removed = RunSetup(bench, uninstaller, {"/UNINSTALL", "/VERYSILENT", "/SUPPRESSMSGBOXES"});
    EXPECT_EQ(removed.code, 0) << removed.err;
    EXPECT_EQ(Differences(before, DumpHives(bench.PrefixDir())), "");
    EXPECT_FALSE(fs::exists(bench.Host(Destination)));
}

TEST(RealSetup, TheUsageAndABadCommandLine)
{
    test::WizardBench bench;
    const HiveDump before = DumpHives(bench.PrefixDir());
    const fs::path setup = PackOntoTheRealSetup(bench);
    struct Case {
        std::vector<std::string> arguments;
        int code;
        bool usageOnOutput;
        std::string error;
    };
    const Case cases[] = {
        {{"/HELP"}, 0, true, ""},
        {{"-?"}, 0, true, ""},
        {{"/VERYSILENT", "/ACCEPTLICENSE", "/FOO"}, 1, false, "unknown option /FOO"},
        {{"/VERYSILENT", "/DIR"}, 1, false, "needs a value"},
        // Refused before any window could open, so no platform plugin is missed either.
        {{"/SILENT=yes"}, 1, false, "takes no value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        const Process p = RunSetup(bench, setup, c.arguments);
        EXPECT_EQ(p.code, c.code) << p.err;
        EXPECT_EQ(Contains(p.out, "Usage: tarvix-setup-packed [options]"), c.usageOnOutput) << p.out;
        if (!c.usageOnOutput) {
            EXPECT_TRUE(Contains(p.err, c.error)) << p.err;
            EXPECT_TRUE(Contains(p.err, "Exit codes:")) << p.err;
        }
    }
    EXPECT_EQ(Differences(before, DumpHives(bench.PrefixDir())), "");
    EXPECT_FALSE(fs::exists(bench.Host(Destination)));
}

TEST(RealSetup, AnInterruptWhileCopyingEndsWithCodeFive)
{
    const fs::path edition = fs::path(TARVIX_BINARY_DIR) / "sample-edition";
    ASSERT_TRUE(fs::exists(edition / "instalar.inf")) << "the build makes the sample edition";
    test::WizardBench bench;
    const fs::path setup = PackOntoTheRealSetup(bench, edition);
    const fs::path log = bench.Temp() / "install.log";

    // Once the log shows the copy under way (the sample edition's 165 files take seconds), the run is
    // interrupted as Ctrl+C does it.
    std::atomic<int> pid{0};
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        while (!done) {
            if (pid != 0 && Contains(ReadBytes(log), "Copiando ")) {
                kill(pid, SIGINT);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const Process p =
        RunSetup(bench, setup, {"/VERYSILENT", "/ACCEPTLICENSE", "/LOG=" + log.string()}, [&](int id) { pid = id; });
    done = true;
    interrupter.join();
    EXPECT_EQ(p.code, 5) << p.err;
    EXPECT_TRUE(Contains(p.err, "cancelada durante a cópia")) << p.err;
    EXPECT_TRUE(ReadBytes(log).ends_with("Instalação interrompida pelo usuário (código de saída 5)\n"));
    // The child wrote the hives: read them from the files, not through this process's view of the prefix.
    EXPECT_FALSE(DumpHives(bench.PrefixDir()).contains("system.reg\\software\\morvane\\tarvixcomps|:caminho d37"));
}

} // namespace
} // namespace tarvix
