// The uninstall record's text (every field survives, a damaged text is told apart), its file in the destination,
// and the entry in the list of installed programs on win32 and win64 prefixes.
#include "installer/uninstall_record.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/system.h"
#include "tests/support/sandbox_system.h"

namespace tarvix {
namespace {

using platform::RegRoot;
using platform::RegValue;

TRegistroDesinstalacao SampleRecord()
{
    TRegistroDesinstalacao record;
    record.Version = 37;
    record.PastaDestino = "C:\\Tarvix\\Ação|D37";
    record.ChaveIde = "\\SOFTWARE\\Embarcadero\\BDS\\37.0";
    record.ChaveEntrada = "TarvixComps D37";
    record.Arquivos = {{"C:\\Tarvix\\Ação|D37\\KqAlpha.dcu", 10}, {"C:\\Bpl\\TarvixLib370.bpl", 5'000'000'000ull}};
    TValorAlterado path;
    path.Chave = "SOFTWARE\\Embarcadero\\BDS\\37.0\\Library\\Win32";
    path.Nome = "Search Path";
    path.Vista32 = true;
    path.Existia = true;
    path.Lista = true;
    path.Antes = "$(BDSLIB)\\$(Platform)\\release;100%;a|b";
    path.Depois = path.Antes + ";C:\\Tarvix\\Ação|D37";
    path.PastasAdicionadas = {"C:\\Tarvix\\Ação|D37", ""};
    TValorAlterado option;
    option.Local = TLocalValor::OpcoesIde;
    option.Nome = "DelphiLibraryPath";
    option.Antes = "line\r\nbreak\ttab";
    option.Depois = "";
    TValorAlterado remembered;
    remembered.Raiz = RegRoot::LocalMachine;
    remembered.Chave = "SOFTWARE\\Morvane\\TarvixComps";
    remembered.Nome = "Caminho D37";
    remembered.Depois = "C:\\Tarvix\\Ação|D37";
    record.Valores = {path, option, remembered};
    record.Chaves = {{RegRoot::LocalMachine, false, "SOFTWARE\\Morvane"},
                     {RegRoot::LocalMachine, true, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}};
    record.PastasAnteriores = {"C:\\Morvane\\TarvixComps\\D37"};
    return record;
}

TEST(UninstallRecordText, EveryFieldComesBackAsWritten)
{
    const std::vector<TRegistroDesinstalacao> records = {SampleRecord(), [] {
                                                             TRegistroDesinstalacao bare;
                                                             bare.Version = 12;
                                                             bare.PastaDestino = "D:\\X";
                                                             return bare;
                                                         }()};
    for (const TRegistroDesinstalacao& record : records) {
        const std::string text = TextoRegistro(record);
        EXPECT_EQ(LerTextoRegistro(text), record) << text;
        // One item a line: the separators and line ends inside the fields are escaped.
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
                  6 + static_cast<long>(record.Arquivos.size() + record.Valores.size() + record.Chaves.size() +
                                        record.PastasAnteriores.size()));
    }
}

TEST(UninstallRecordText, ADamagedTextIsRecognised)
{
    const std::string good = TextoRegistro(SampleRecord());
    std::string edited = good;
    edited[good.find("KqAlpha")] = 'k';
    std::string otherLayout = good;
    otherLayout.replace(0, otherLayout.find('\r'), "TarvixDesinstalacao 2");
    const struct {
        const char* name;
        std::string text;
        std::string message;
    } cases[] = {
        {"empty", "", "not an uninstall record, or cut short"},
        {"cut before the checksum", good.substr(0, good.find("Soma=")), "not an uninstall record, or cut short"},
        {"cut inside the checksum", good.substr(0, good.size() - 5), "checksum mismatch"},
        {"cut in the middle", good.substr(0, good.size() / 2), "not an uninstall record, or cut short"},
        {"one character changed", edited, "checksum mismatch"},
        {"another layout", otherLayout, "not an uninstall record, or cut short"},
        {"text after the checksum", good + "Arquivo=1|C:\\x\r\n", "checksum mismatch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            LerTextoRegistro(c.text);
            ADD_FAILURE() << "read";
        } catch (const ERegistroDanificado& e) {
            EXPECT_EQ(e.what(), c.message);
        }
    }
}

TEST(UninstallRecordFile, IsWrittenWholeIntoTheDestinationAndReadBack)
{
    test::SandboxSystem sandbox;
    platform::FileSystem& files = platform::current().files();
    TRegistroDesinstalacao record = SampleRecord();
    record.PastaDestino = "C:\\Tarvix\\D37";
    EXPECT_EQ(LerRegistro(record.PastaDestino), std::nullopt); // no folder
    files.forceDirectories(record.PastaDestino);
    EXPECT_EQ(LerRegistro(record.PastaDestino), std::nullopt); // no record
    EXPECT_EQ(LerRegistro(""), std::nullopt);

    GravarRegistro(record);
    EXPECT_EQ(LerRegistro("c:\\tarvix\\d37\\"), record);
    record.Arquivos.pop_back();
    GravarRegistro(record);
    EXPECT_EQ(LerRegistro(record.PastaDestino), record);
    // Nothing beside it: the temporary file of the atomic write is gone.
    const auto entries = files.enumerate(record.PastaDestino, "*");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, NomeRegistroDesinstalacao);

    files.writeFile(ArquivoRegistro(record.PastaDestino), "TarvixDesinstalacao 1\r\nVersao=37\r\n");
    EXPECT_THROW(LerRegistro(record.PastaDestino), ERegistroDanificado);
}

TEST(InstalledProgramsEntry, LivesInThe32BitViewWithItsValues)
{
    const struct {
        const char* arch;
        std::string stored;
    } cases[] = {
        {"win64", "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TarvixComps D37"},
        {"win32", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TarvixComps D37"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arch);
        tools::PrefixOptions options = test::SandboxSystem::defaultOptions();
        options.arch = c.arch;
        test::SandboxSystem sandbox(options);
        TEntradaProgramas entry;
        entry.DisplayName = "Tarvix Library para Delphi 13 - Florence";
        entry.DisplayVersion = "1.2.3";
        entry.InstallLocation = "C:\\Tarvix\\D37";
        entry.Desinstalador = "C:\\Tarvix\\D37\\desinstalar.exe";
        entry.EstimatedSize = 2150;
        GravarEntradaProgramas(NomeEntradaProgramas(37), entry);

        auto key =
            platform::current().registry().openKey(RegRoot::LocalMachine, c.stored, platform::KeyAccess::Read, false);
        ASSERT_NE(key, nullptr);
        const std::vector<std::pair<std::string, RegValue>> expected = {
            {"DisplayName", RegValue::string(entry.DisplayName)},
            {"DisplayVersion", RegValue::string("1.2.3")},
            {"Publisher", RegValue::string("Morvane")},
            {"InstallLocation", RegValue::string("C:\\Tarvix\\D37")},
            {"UninstallString", RegValue::string("\"C:\\Tarvix\\D37\\desinstalar.exe\" /UNINSTALL")},
            {"QuietUninstallString",
             RegValue::string("\"C:\\Tarvix\\D37\\desinstalar.exe\" /UNINSTALL /VERYSILENT /SUPPRESSMSGBOXES")},
            {"EstimatedSize", RegValue::dword(2150)},
            {"NoModify", RegValue::dword(1)},
            {"NoRepair", RegValue::dword(1)},
        };
        for (const auto& [name, value] : expected)
            EXPECT_EQ(key->value(name), value) << name;
        EXPECT_EQ(key->valueNames().size(), expected.size());
    }
}

TEST(InstalledProgramsEntry, IsFoundByItsFolder)
{
    test::SandboxSystem sandbox;
    platform::current().files().forceDirectories("C:\\Tarvix\\D37");
    TEntradaProgramas entry;
    entry.InstallLocation = "C:\\Tarvix\\D37";
    GravarEntradaProgramas("TarvixComps D37", entry);
    entry.InstallLocation = "C:\\Tarvix\\D36";
    GravarEntradaProgramas("TarvixComps D36", entry);
    const std::vector<std::string> mine = {"TarvixComps D37"};
    EXPECT_EQ(EntradasDaPasta("C:\\Tarvix\\D37"), mine);
    EXPECT_EQ(EntradasDaPasta("c:\\TARVIX\\d37\\"), mine);
    EXPECT_EQ(EntradasDaPasta("C:\\Tarvix"), std::vector<std::string>{});
    EXPECT_EQ(EntradasDaPasta(""), std::vector<std::string>{});
}

} // namespace
} // namespace tarvix
