// The uninstall record as the registration step leaves it, and the uninstall step that takes it back, on a sandbox
// prefix with Delphi 13 and the simulated compiler: install then uninstall leaves the hives and EnvOptions.proj as
// they were, key by key and value by value, except what the user changed meanwhile; a reinstall updates the
// installation in place; a second uninstall finds nothing; the refusals touch nothing.
#include "installer/uninstall_step.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/kq_reg_manager.h"
#include "ideservices/ide_installation.h"
#include "ideservices/ide_library_paths.h"
#include "installer/package_registration.h"
#include "installer/payload_extractor.h"
#include "installer/uninstall_record.h"
#include "installer/wizard_window.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "tests/ideservices/ide_tool_sandbox.h"
#include "tests/installer/payload_sandbox.h"
#include "tests/installer/uninstall_bench.h"
#include "tests/installer/window_recorder.h"

namespace tarvix {

using enum TIdeBDSPlatform;
namespace {

namespace fs = std::filesystem;
using platform::RegRoot;
using platform::RegValue;

const std::string& Destination = test::UninstallDestination;
const std::string& Installer = test::UninstallInstaller;
const std::string& InstallerBytes = test::UninstallInstallerBytes;
const std::string KnownPackages = "SOFTWARE\\Embarcadero\\BDS\\37.0\\Known Packages";
const std::string LibraryKey = "SOFTWARE\\Embarcadero\\BDS\\37.0\\Library\\Win32";
const std::string EntryKey = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TarvixComps D37";

// Every key of a root with its values, as the backend holds them: key path → value name → value.
using Hive = std::map<std::string, std::map<std::string, RegValue>>;

void ReadTree(RegRoot root, const std::string& path, Hive& hive)
{
    auto key = platform::current().registry().openKey(root, path, platform::KeyAccess::Read, false);
    if (!key)
        return;
    auto& values = hive[path];
    for (const std::string& name : key->valueNames())
        values[name] = key->value(name).value_or(RegValue{});
    for (const std::string& sub : key->subKeyNames())
        ReadTree(root, path.empty() ? sub : path + "\\" + sub, hive);
}

// The properties of an options file, each with the condition of its group: "<condition>|<name>" → text. The
// install rewrites the file in the evaluator's layout (no XML declaration, a byte-order mark), so the file is
// compared property by property.
std::map<std::string, std::string> Properties(const std::string& xml)
{
    std::map<std::string, std::string> properties;
    std::string condition;
    std::size_t start = 0;
    while (start < xml.size()) {
        std::size_t end = xml.find('\n', start);
        if (end == std::string::npos)
            end = xml.size();
        std::string line = xml.substr(start, end - start);
        start = end + 1;
        const std::size_t open = line.find('<');
        if (open == std::string::npos)
            continue;
        line.erase(0, open);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.starts_with("<PropertyGroup")) {
            const std::size_t quote = line.find('"');
            condition = quote == std::string::npos ? "" : line.substr(quote);
            continue;
        }
        const std::size_t close = line.find('>');
        const std::size_t text = line.find("</");
        if (line[1] == '/' || line[1] == '?' || close == std::string::npos || text == std::string::npos)
            continue;
        const std::string name = line.substr(1, close - 1);
        EXPECT_EQ(properties.count(condition + "|" + name), 0u) << name;
        properties[condition + "|" + name] = line.substr(close + 1, text - close - 1);
    }
    return properties;
}

struct Snapshot {
    Hive machine;
    Hive user;
    std::map<std::string, std::string> envOptions;
};

// The differences between two hives, one line each: "+key", "-key", "+key\name", "-key\name", "~key\name".
std::vector<std::string> Differences(const Hive& before, const Hive& after)
{
    std::vector<std::string> lines;
    for (const auto& [key, values] : before) {
        const auto now = after.find(key);
        if (now == after.end()) {
            lines.push_back("-" + key);
            continue;
        }
        for (const auto& [name, value] : values) {
            const auto other = now->second.find(name);
            if (other == now->second.end())
                lines.push_back("-" + key + "\\" + name);
            else if (other->second != value)
                lines.push_back("~" + key + "\\" + name);
        }
        for (const auto& [name, value] : now->second)
            if (!values.contains(name))
                lines.push_back("+" + key + "\\" + name);
    }
    for (const auto& [key, values] : after)
        if (!before.contains(key))
            lines.push_back("+" + key);
    return lines;
}

// The hives and the options file of `after` as in `before`, key by key and value by value.
void ExpectAsBefore(const Snapshot& before, const Snapshot& after)
{
    EXPECT_EQ(Differences(before.machine, after.machine), std::vector<std::string>{});
    EXPECT_EQ(Differences(before.user, after.user), std::vector<std::string>{});
    EXPECT_EQ(after.envOptions, before.envOptions);
}

// The sandbox is made (and made the current system) before the run writes the installer into it.
struct WithSandbox {
    test::IdeSandbox sandbox_;
};

// The IDE in a sandbox prefix and the registration and uninstall run on it.
class UninstallBench : private WithSandbox, public test::RegistrationRun {
public:
    UninstallBench() : ide_(&sandbox_.install(Delphi13())) {}

    void Install(const std::string& destination = Destination) { RegistrationRun::Install(*ide_, destination); }

    Snapshot Take()
    {
        Snapshot snapshot;
        ReadTree(RegRoot::LocalMachine, "", snapshot.machine);
        ReadTree(RegRoot::CurrentUser, "", snapshot.user);
        snapshot.envOptions = Properties(sandbox_.read(EnvOptions()));
        return snapshot;
    }

    std::string EnvOptions() const { return dynamic_cast<TIdeBDSInstallation&>(*ide_).EnvOptionsFileName(); }
    std::string Bpl() const { return ide_->GetBPLOutputPath(bpWin32) + "\\TarvixLib370.bpl"; }
    std::string Dcp() const { return ide_->GetDCPOutputPath(bpWin32) + "\\TarvixLib370.dcp"; }
    std::optional<std::string> UserString(const std::string& key, const std::string& name) const
    {
        auto k = platform::current().registry().openKey(RegRoot::CurrentUser, key, platform::KeyAccess::Read, false);
        return k ? k->readString(name) : std::nullopt;
    }
    void SetUserString(const std::string& key, const std::string& name, const std::string& value)
    {
        platform::current()
            .registry()
            .openKey(RegRoot::CurrentUser, key, platform::KeyAccess::AllAccess, true)
            ->writeString(name, value);
    }
    bool Exists(const std::string& path) { return sandbox_.exists(path); }
    bool FolderExists(const std::string& path) { return platform::current().files().directoryExists(path); }

    TIdeBorRADToolInstallation& Ide() { return *ide_; }
    test::IdeSandbox& Sandbox() { return sandbox_; }

private:
    static tools::IdeSetup Delphi13()
    {
        tools::IdeSetup setup = tools::IdeSetup::delphi13();
        setup.dcc32Host = fs::path(TARVIX_SIM_DCC32_HOST);
        return setup;
    }

    TIdeBorRADToolInstallation* ide_;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(UninstallRecordOfTheRegistration, NamesWhatTheInstallAddedAndTheListEntryPointsAtTheUninstaller)
{
    UninstallBench bench;
    const std::string searchBefore = bench.Ide().GetRawLibrarySearchPath(bpWin32);
    bench.Install();

    const std::optional<TRegistroDesinstalacao> record = LerRegistro(Destination);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->Version, 37);
    EXPECT_EQ(record->PastaDestino, Destination);
    EXPECT_EQ(record->ChaveIde, "\\SOFTWARE\\Embarcadero\\BDS\\37.0");
    EXPECT_EQ(record->ChaveEntrada, "TarvixComps D37");

    // The copied files with their sizes after the rewrite, the compile's BPL and DCP outside the destination, and
    // the uninstaller; not the record itself.
    std::map<std::string, uint64_t> files;
    for (const TArquivoInstalado& file : record->Arquivos)
        files[file.Caminho] = file.Tamanho;
    const std::map<std::string, uint64_t> expected = {
        {Destination + "\\TarvixLib370.dpk", bench.Sandbox().read(Destination + "\\TarvixLib370.dpk").size()},
        {Destination + "\\KqAlpha.dcu", 10},
        {Destination + "\\desinstalar.exe", InstallerBytes.size()},
        {bench.Bpl(), bench.Sandbox().read(bench.Bpl()).size()},
        {bench.Dcp(), bench.Sandbox().read(bench.Dcp()).size()},
    };
    EXPECT_EQ(files, expected);
    EXPECT_EQ(bench.Sandbox().read(Destination + "\\desinstalar.exe"), InstallerBytes);

    // The values: Known Packages (new), the three paths in the registry and in EnvOptions.proj, the remembered
    // destination (new); the folders added are the destination alone.
    std::map<std::string, const TValorAlterado*> values;
    for (const TValorAlterado& value : record->Valores)
        values[value.Local == TLocalValor::OpcoesIde ? "env:" + value.Nome : value.Chave + "\\" + value.Nome] = &value;
    ASSERT_EQ(values.size(), 8u);
    const TValorAlterado* known = values.at(KnownPackages + "\\" + bench.Bpl());
    EXPECT_FALSE(known->Existia);
    EXPECT_EQ(known->Depois, "'Tarvix'");
    const TValorAlterado* search = values.at("env:DelphiLibraryPath");
    EXPECT_EQ(search->Antes, searchBefore);
    EXPECT_EQ(search->Depois, searchBefore + ";" + Destination);
    EXPECT_EQ(search->PastasAdicionadas, std::vector<std::string>{Destination});
    for (const char* name : {"Search Path", "Browsing Path", "Debug DCU Path"})
        EXPECT_EQ(values.at(LibraryKey + "\\" + name)->PastasAdicionadas, std::vector<std::string>{Destination})
            << name;
    const TValorAlterado* remembered = values.at("SOFTWARE\\Morvane\\TarvixComps\\Caminho D37");
    EXPECT_FALSE(remembered->Existia);
    EXPECT_EQ(remembered->Depois, Destination);
    // The keys the install made: the remembered destination's, and the list entry's parents where the prefix had
    // none.
    std::vector<std::string> keys;
    for (const TChaveCriada& key : record->Chaves)
        keys.push_back(key.Caminho);
    EXPECT_TRUE(Contains(keys, "SOFTWARE\\Morvane")) << testing::PrintToString(keys);
    EXPECT_TRUE(Contains(keys, "SOFTWARE\\Morvane\\TarvixComps"));

    // The list entry, in the 32-bit view of this win64 prefix.
    auto entry =
        platform::current().registry().openKey(RegRoot::LocalMachine, EntryKey, platform::KeyAccess::Read, false);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->readString("DisplayName"), "Edição de Teste para Delphi 13 - Florence");
    EXPECT_EQ(entry->readString("Publisher"), "Morvane");
    EXPECT_EQ(entry->readString("InstallLocation"), Destination);
    EXPECT_EQ(entry->readString("UninstallString"), "\"C:\\Tarvix\\D37\\desinstalar.exe\" /UNINSTALL");
    EXPECT_EQ(entry->readString("QuietUninstallString"),
              "\"C:\\Tarvix\\D37\\desinstalar.exe\" /UNINSTALL /VERYSILENT /SUPPRESSMSGBOXES");
    EXPECT_FALSE(entry->readString("DisplayVersion").value_or("").empty());
    uint64_t total = 0;
    for (const auto& [path, size] : expected)
        total += size;
    EXPECT_EQ(entry->value("EstimatedSize"), RegValue::dword(static_cast<uint32_t>((total + 1023) / 1024)));
    EXPECT_EQ(entry->value("NoModify"), RegValue::dword(1));
    EXPECT_EQ(entry->value("NoRepair"), RegValue::dword(1));
}

TEST(UninstallRecordOfTheRegistration, AFailedCompileWritesNoRecordAndNoEntry)
{
    UninstallBench bench;
    platform::current().files().forceDirectories(Destination);
    bench.Sandbox().prefix().writeFile(Destination + "\\TarvixLib370.dpk",
                                       "package TarvixLib370;\r\ncontains\r\n  KqMissing;\r\nend.\r\n");
    TWizardState state;
    state.Version = 37;
    state.ArquivoInstalador = Installer;
    TKqRegManager RegMan;
    RegMan.SetRootKey(HKeyLocalMachine);
    RegMan.SetKey(ChaveTarvixComps);
    RegMan.Loaded();
    TPaginaRegistro pagina;
    pagina.PastaDestino = [] { return Destination; };
    pagina.AdicionarLinha = [](const std::string&) {};
    pagina.Concluir = [] {};
    test::WindowRecorder window;
    TEtapaRegistro step(state, window, std::move(pagina), bench.Ide(), RegMan);
    step.RegistrarPackage();

    ASSERT_EQ(window.boxes.at(0).kind, "error");
    EXPECT_FALSE(bench.Exists(Destination + "\\desinstalar.dat"));
    EXPECT_FALSE(bench.Exists(Destination + "\\desinstalar.exe"));
    EXPECT_TRUE(EntradasDaPasta(Destination).empty());
}

// The uninstaller is a copy of the file the payload came from: the unpacking remembers it, and only when it
// succeeded.
TEST(UninstallRecordOfTheRegistration, TheUnpackingRemembersTheInstallersFile)
{
    const std::string descriptor = "[SETUP]\r\nVersion=37\r\nPackage=Teste\r\n";
    const struct {
        const char* name;
        std::string bytes;
        bool unpacked;
    } cases[] = {
        {"an installer", test::Container(test::Record("KqAlpha.dcu", "alpha"), descriptor), true},
        {"a file without a payload", "MZ nothing appended", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::PayloadSandbox sandbox;
        const std::string installer = sandbox.writeC("Setup/tarvix-setup.exe", c.bytes);
        TWizardState state;
        test::WindowRecorder window;
        TSorteioPasta sorteio([] { return 5; });
        EXPECT_EQ(ExtrairInstalacao(state, window, sorteio, installer), c.unpacked);
        EXPECT_EQ(state.ArquivoInstalador, c.unpacked ? installer : "");
        ApagarPastaTemp(state);
    }
}

TEST(Uninstall, TakesTheInstallationBackToTheHivesAndOptionsFileAsTheyWere)
{
    UninstallBench bench;
    const Snapshot before = bench.Take();
    bench.Install();
    const Snapshot installed = bench.Take();
    EXPECT_FALSE(Differences(before.user, installed.user).empty());
    EXPECT_FALSE(Differences(before.machine, installed.machine).empty());
    EXPECT_NE(installed.envOptions, before.envOptions);

    EXPECT_EQ(bench.Uninstall(), TCodigoSaida::Sucesso);
    ExpectAsBefore(before, bench.Take());
    EXPECT_FALSE(bench.Exists(bench.EnvOptions() + ".bak"));
    EXPECT_FALSE(bench.FolderExists(Destination));
    EXPECT_FALSE(bench.Exists(bench.Bpl()));
    EXPECT_FALSE(bench.Exists(bench.Dcp()));
    EXPECT_EQ(bench.window.boxes.size(), 1u);
    EXPECT_EQ(bench.window.boxes.at(0).markup, MsgDesinstalacaoConcluida);
    // The log says what went.
    EXPECT_TRUE(Contains(bench.log, "Removido: C:\\Tarvix\\D37\\KqAlpha.dcu"));
    EXPECT_TRUE(Contains(bench.log, "Removido da lista de programas instalados: TarvixComps D37"));
    EXPECT_TRUE(Contains(bench.log, "Pasta removida: C:\\Tarvix\\D37"));
}

TEST(Uninstall, WhatTheUserChangedMeanwhileSurvives)
{
    UninstallBench bench;
    const Snapshot before = bench.Take();
    const std::string searchBefore = bench.Ide().GetRawLibrarySearchPath(bpWin32);
    bench.Install();
    // A folder added to the search path by hand (registry and options file), another package's Known Packages
    // value, a file of the user's in the destination, and a unit of the installation edited.
    bench.Ide().SetRawLibrarySearchPath(bpWin32, bench.Ide().GetRawLibrarySearchPath(bpWin32) + ";C:\\Mine");
    bench.SetUserString(KnownPackages, "C:\\Other\\Other.bpl", "Other");
    bench.Sandbox().prefix().writeFile(Destination + "\\notas.txt", "my notes");
    bench.Sandbox().prefix().writeFile(Destination + "\\KqAlpha.dcu", "alpha unit, rebuilt");

    EXPECT_EQ(bench.Uninstall(), TCodigoSaida::Sucesso);
    const Snapshot after = bench.Take();
    EXPECT_EQ(Differences(before.machine, after.machine), std::vector<std::string>{});
    EXPECT_EQ(Differences(before.user, after.user),
              (std::vector<std::string>{"+Software\\Embarcadero\\BDS\\37.0\\Known Packages\\C:\\Other\\Other.bpl",
                                        "~Software\\Embarcadero\\BDS\\37.0\\Library\\Win32\\Search Path"}));
    EXPECT_EQ(bench.UserString(LibraryKey, "Search Path"), searchBefore + ";C:\\Mine");
    EXPECT_EQ(bench.Ide().GetRawLibrarySearchPath(bpWin32), searchBefore + ";C:\\Mine");
    auto changed = before.envOptions;
    changed["\"'$(Platform)'=='Win32'\">|DelphiLibraryPath"] = searchBefore + ";C:\\Mine";
    EXPECT_EQ(after.envOptions, changed);
    // The folder stays for the user's files; the installation's other files are gone.
    EXPECT_EQ(bench.Sandbox().read(Destination + "\\notas.txt"), "my notes");
    EXPECT_TRUE(bench.Exists(Destination + "\\KqAlpha.dcu"));
    EXPECT_FALSE(bench.Exists(Destination + "\\TarvixLib370.dpk"));
    EXPECT_FALSE(bench.Exists(Destination + "\\desinstalar.exe"));
    EXPECT_FALSE(bench.Exists(Destination + "\\desinstalar.dat"));
    EXPECT_TRUE(Contains(bench.log, "Mantido (alterado depois da instalação): C:\\Tarvix\\D37\\KqAlpha.dcu"));
}

TEST(Uninstall, ASecondUninstallFindsNothingToDo)
{
    UninstallBench bench;
    const Snapshot before = bench.Take();
    bench.Install();
    bench.window.answer = 6;
    ASSERT_EQ(bench.Uninstall(Destination, false), TCodigoSaida::Sucesso);

    EXPECT_EQ(bench.Uninstall(Destination, false), TCodigoSaida::Sucesso);
    ASSERT_EQ(bench.window.boxes.size(), 1u);
    EXPECT_EQ(bench.window.boxes[0].kind, "information");
    EXPECT_EQ(bench.window.boxes[0].markup,
              "Nenhuma instalação dos componentes foi encontrada em|<b>C:\\Tarvix\\D37<b>.");
    EXPECT_EQ(bench.log, std::vector<std::string>{"Nada a remover em C:\\Tarvix\\D37"});
    ExpectAsBefore(before, bench.Take());
    // Without a folder (the front end found none to look in) nothing is removed either.
    EXPECT_EQ(bench.Uninstall(""), TCodigoSaida::Sucesso);
    ASSERT_EQ(bench.window.boxes.size(), 1u);
    EXPECT_EQ(bench.window.boxes[0].markup, MsgNenhumaInstalacao);
}

TEST(Uninstall, AReinstallUpdatesTheInstallationInPlace)
{
    UninstallBench bench;
    const Snapshot before = bench.Take();
    const std::string searchBefore = bench.Ide().GetRawLibrarySearchPath(bpWin32);
    bench.Install();
    const TRegistroDesinstalacao first = *LerRegistro(Destination);
    bench.Install();

    // One Known Packages value, the destination once in each path, and a record that still leads back to the
    // state before the first install.
    int known = 0;
    auto key =
        platform::current().registry().openKey(RegRoot::CurrentUser, KnownPackages, platform::KeyAccess::Read, false);
    for (const std::string& name : key->valueNames())
        known += name.find("TarvixLib370") != std::string::npos;
    EXPECT_EQ(known, 1);
    EXPECT_EQ(bench.Ide().GetRawLibrarySearchPath(bpWin32), searchBefore + ";" + Destination);
    EXPECT_EQ(bench.UserString(LibraryKey, "Search Path"), searchBefore + ";" + Destination);
    EXPECT_EQ(*LerRegistro(Destination), first);

    EXPECT_EQ(bench.Uninstall(), TCodigoSaida::Sucesso);
    ExpectAsBefore(before, bench.Take());
    EXPECT_FALSE(bench.FolderExists(Destination));
}

TEST(Uninstall, AFolderAddedByHandBetweenTwoInstallsSurvivesTheUninstall)
{
    UninstallBench bench;
    const Snapshot before = bench.Take();
    const std::string searchBefore = bench.Ide().GetRawLibrarySearchPath(bpWin32);
    bench.Install();
    bench.Ide().SetRawLibrarySearchPath(bpWin32, bench.Ide().GetRawLibrarySearchPath(bpWin32) + ";C:\\Mine");
    bench.Install();
    EXPECT_EQ(bench.Ide().GetRawLibrarySearchPath(bpWin32), searchBefore + ";" + Destination + ";C:\\Mine");

    EXPECT_EQ(bench.Uninstall(), TCodigoSaida::Sucesso);
    EXPECT_EQ(bench.Ide().GetRawLibrarySearchPath(bpWin32), searchBefore + ";C:\\Mine");
    EXPECT_EQ(bench.UserString(LibraryKey, "Search Path"), searchBefore + ";C:\\Mine");
    const Snapshot after = bench.Take();
    EXPECT_EQ(Differences(before.machine, after.machine), std::vector<std::string>{});
    EXPECT_EQ(Differences(before.user, after.user),
              std::vector<std::string>{"~Software\\Embarcadero\\BDS\\37.0\\Library\\Win32\\Search Path"});
}

TEST(Uninstall, AnInstallationMovedToAnotherFolderIsTakenOverByTheNewRecord)
{
    UninstallBench bench;
    const Snapshot before = bench.Take();
    const std::string earlier = "C:\\Tarvix\\Antiga";
    bench.Install(earlier);
    bench.Install();

    // One installation: the new record names the earlier folder's files and values, the earlier record is gone,
    // and the list entry points at the new folder.
    EXPECT_FALSE(bench.Exists(earlier + "\\desinstalar.dat"));
    const TRegistroDesinstalacao record = *LerRegistro(Destination);
    EXPECT_EQ(record.PastasAnteriores, std::vector<std::string>{earlier});
    EXPECT_TRUE(std::any_of(record.Arquivos.begin(), record.Arquivos.end(),
                            [&](const TArquivoInstalado& file) { return file.Caminho == earlier + "\\KqAlpha.dcu"; }));
    EXPECT_EQ(EntradasDaPasta(Destination), std::vector<std::string>{"TarvixComps D37"});
    EXPECT_EQ(EntradasDaPasta(earlier), std::vector<std::string>{});

    EXPECT_EQ(bench.Uninstall(), TCodigoSaida::Sucesso);
    ExpectAsBefore(before, bench.Take());
    EXPECT_FALSE(bench.FolderExists(earlier));
    EXPECT_FALSE(bench.FolderExists(Destination));
}

// Each refusal shows its message and touches nothing: the installation stays whole.
TEST(Uninstall, RefusalsTouchNothing)
{
    struct Case {
        const char* name;
        std::function<void(UninstallBench&)> arrange;
        bool silent;
        TCodigoSaida code;
        std::string kind;
        std::string markup;
    };
    const std::string record = Destination + "\\desinstalar.dat";
    const std::vector<Case> cases = {
        {"a record cut short",
         [&](UninstallBench& b) {
             const std::string text = b.Sandbox().read(record);
             b.Sandbox().prefix().writeFile(record, text.substr(0, text.size() / 2));
         },
         true, TCodigoSaida::NaoIniciou, "error",
         "O registro de desinstalação em|<b>C:\\Tarvix\\D37<b>|está danificado e não pode ser lido.||Nada foi "
         "removido.||<b>Mensagem de erro:<b>|not an uninstall record, or cut short"},
        {"a record edited",
         [&](UninstallBench& b) {
             std::string text = b.Sandbox().read(record);
             text.replace(text.find("KqAlpha"), 7, "KqOmega");
             b.Sandbox().prefix().writeFile(record, text);
         },
         true, TCodigoSaida::NaoIniciou, "error",
         "O registro de desinstalação em|<b>C:\\Tarvix\\D37<b>|está danificado e não pode ser lido.||Nada foi "
         "removido.||<b>Mensagem de erro:<b>|checksum mismatch"},
        {"no record, the installation still listed",
         [&](UninstallBench&) { platform::current().files().deleteFile(record); }, true, TCodigoSaida::NaoIniciou,
         "error", "Não foi encontrado o registro de desinstalação em|<b>C:\\Tarvix\\D37<b>.||Nada foi removido."},
        {"the IDE running", [](UninstallBench& b) { b.ideRunning = true; }, false, TCodigoSaida::IdeAberta, "error",
         std::string(MsgIdeEmExecucao)},
        {"the question answered no", [](UninstallBench& b) { b.window.answer = 7; }, false, TCodigoSaida::Cancelada,
         "confirmation",
         "Deseja remover os componentes instalados em|<b>C:\\Tarvix\\D37<b>?||Os arquivos, os caminhos de biblioteca "
         "e o registro do package no Delphi serão removidos."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UninstallBench bench;
        bench.Install();
        c.arrange(bench);
        const Snapshot installed = bench.Take();
        EXPECT_EQ(bench.Uninstall(Destination, c.silent), c.code);
        ASSERT_EQ(bench.window.boxes.size(), 1u);
        EXPECT_EQ(bench.window.boxes[0].kind, c.kind);
        EXPECT_EQ(bench.window.boxes[0].markup, c.markup);
        ExpectAsBefore(installed, bench.Take());
        EXPECT_TRUE(bench.Exists(Destination + "\\KqAlpha.dcu"));
        EXPECT_TRUE(bench.Exists(bench.Bpl()));
    }
}

TEST(Uninstall, AFailureWhileRemovingKeepsTheRecordForTheNextRun)
{
    UninstallBench bench;
    const Snapshot before = bench.Take();
    bench.Install();
    const std::string options = bench.Sandbox().read(bench.EnvOptions());
    bench.Sandbox().prefix().writeFile(bench.EnvOptions(), "<Project");

    EXPECT_EQ(bench.Uninstall(), TCodigoSaida::Falhou);
    ASSERT_EQ(bench.window.boxes.size(), 1u);
    EXPECT_EQ(bench.window.boxes[0].kind, "error");
    EXPECT_TRUE(bench.window.boxes[0].markup.starts_with(
        "Ocorreu um erro e não foi possível concluir a remoção dos componentes de|<b>C:\\Tarvix\\D37<b>."));
    EXPECT_TRUE(bench.Exists(Destination + "\\desinstalar.dat"));

    // With the options file readable again the next run takes back the rest, and nothing twice.
    bench.Sandbox().prefix().writeFile(bench.EnvOptions(), options);
    EXPECT_EQ(bench.Uninstall(), TCodigoSaida::Sucesso);
    ExpectAsBefore(before, bench.Take());
    EXPECT_FALSE(bench.FolderExists(Destination));
}

} // namespace
} // namespace tarvix
