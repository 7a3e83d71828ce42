// The whole wizard run against a copy of a prefix made by the real `wine wineboot -i`, with the Windows build of
// the simulated compiler as the IDE's bin\dcc32.exe: the compile really goes through `wine`, its OEM output comes
// back into the log intact, the wineserver that run started is gone before the registration writes the hives, and
// wine's own reg.exe reads back what the registration wrote.
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/frm_main.h"
#include "platform/host_process.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/wine/wine_environment.h"
#include "platform/wine/wine_prefix.h"
#include "platform/wine/wineserver_lock.h"
#include "tests/installer/wizard_bench.h"
#include "tests/support/real_wine_prefix.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

const std::string Destination = "C:\\Morvane\\TarvixComps\\D37";
const std::string UnitWithAccents = "KqA\xC3\xA7\xC3\xBA"
                                    "car"; // "KqAçúcar": ç and ú differ between 1252 and 437
const char* const LibraryValues[] = {"Search Path", "Browsing Path", "Debug DCU Path"};

// The values of one key as `wine reg query KEY [options]` lists them (name → data); empty when wine does not find
// the key. Its lines are "    <name>    <type>    <data>". The wineserver stays up between queries; the last one
// waits for it to go.
std::map<std::string, std::string> WineValues(const fs::path& prefix, const std::string& key,
                                              const std::vector<std::string>& options = {}, bool last = false)
{
    std::vector<std::string> command{"reg", "query", key};
    command.insert(command.end(), options.begin(), options.end());
    const test::WineRun run = test::runWine(prefix, command, last);
    std::map<std::string, std::string> values;
    if (run.exitCode != 0)
        return values;
    std::stringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("    ", 0) != 0)
            continue;
        const auto type = line.find("    REG_", 4);
        if (type == std::string::npos)
            continue;
        const auto data = line.find("    ", type + 4);
        values[line.substr(4, type - 4)] = data == std::string::npos ? std::string() : line.substr(data + 4);
    }
    return values;
}

// A copy of the shared wine-made prefix with Delphi 13 registered in it, whose bin\dcc32.exe is `compiler`, made
// the current system; and the small edition (plus a unit whose name needs the code pages) packed into an
// installer. The pump, the waits and the control lookups are wizard_bench.h's.
class RealPrefixBench {
public:
    explicit RealPrefixBench(const fs::path& compiler)
    {
        test::qtApplication();
        test::copyRealWinePrefix(PrefixDir());
        {
            tools::PrefixBuilder builder = tools::PrefixBuilder::open(PrefixDir());
            tools::IdeSetup setup = tools::IdeSetup::delphi13();
            setup.dcc32Host = compiler;
            ide_ = builder.registerIde(setup);
        }
        system_ = std::make_unique<platform::WinePrefix>(PrefixDir());
        scope_ = std::make_unique<platform::ScopedCurrentSystem>(*system_);

        test::Edition edition = test::SmallEdition();
        edition.emplace_back(UnitWithAccents + ".dcu", "sugar unit");
        installer_ = test::PackEdition(
            temp_, edition,
            pack::DescriptorValues{37, "Edição de Teste", false, "|KqAlpha|KqBeta|" + UnitWithAccents + "|", ""});
    }

    // A failed check may leave a wineserver behind; it must be gone before the folder is removed.
    ~RealPrefixBench()
    {
        if (platform::wine::wineserverRunning(PrefixDir()))
            platform::wine::waitForWineserver(PrefixDir());
    }

    RealPrefixBench(const RealPrefixBench&) = delete;
    RealPrefixBench& operator=(const RealPrefixBench&) = delete;

    fs::path PrefixDir() const { return temp_ / "prefix"; }
    const tools::RegisteredIde& Ide() const { return ide_; }
    std::string InstallerPath() const { return system_->files().toWindowsPath(installer_.string()); }
    fs::path Host(const std::string& windowsPath) const { return system_->files().toHostPath(windowsPath); }

private:
    test::TempDir temp_;
    fs::path installer_;
    tools::RegisteredIde ide_;
    std::unique_ptr<platform::WinePrefix> system_;
    std::unique_ptr<platform::ScopedCurrentSystem> scope_;
    test::ShiftPump pump_;
    test::ScopedMessagePump pumpScope_{pump_};
};

// The per-user library paths as the hives hold them before the run, read through our own backend.
std::map<std::string, std::string> LibraryPathsBefore()
{
    std::map<std::string, std::string> values;
    auto key = platform::current().registry().openKey(platform::RegRoot::CurrentUser,
                                                      "SOFTWARE\\Embarcadero\\BDS\\37.0\\Library\\Win32",
                                                      platform::KeyAccess::Read, false);
    if (key)
        for (const char* name : LibraryValues)
            if (auto value = key->readString(name))
                values[name] = *value;
    return values;
}

TEST(RegistrationInterop, TheWizardCompilesThroughWineAndWineReadsTheRegistration)
{
    const fs::path compiler = TARVIX_SIM_DCC32_PE;
    if (compiler.empty() || !fs::is_regular_file(compiler))
        GTEST_SKIP() << "dcc32.exe was not built: the mingw-w64 cross compiler x86_64-w64-mingw32-g++-posix (Debian "
                        "package g++-mingw-w64-x86-64) was not found when the build was configured";
    if (!tools::wineAvailable())
        GTEST_SKIP() << "wine is not installed";

    RealPrefixBench bench(compiler);
    const std::map<std::string, std::string> libraryBefore = LibraryPathsBefore();
    ASSERT_EQ(libraryBefore.size(), std::size(LibraryValues)) << "the IDE's first start leaves the three paths";

    TFrmMain window(bench.InstallerPath());
    window.show();
    ASSERT_TRUE(test::WaitFor([&] { return window.Iniciada(); }));
    auto* next = test::Control<QPushButton>(window, "BtnAvancar");
    auto* cancel = test::Control<QPushButton>(window, "BtnCancelar");
    ASSERT_EQ(window.PastaDestino(), Destination);
    test::WalkToTheConfirmationPage(window);
    {
        // Wine starts slowly, and nothing is answered while the compiler runs.
        test::ModalDialogHelper answers(std::chrono::seconds(120));
        answers.pressButton("&OK");
        next->click(); // the copy runs inside this click, the compile and the registration inside the copy
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].title, "Informação");
        EXPECT_TRUE(answers.seen()[0].text.contains("A instalação dos componentes foi concluída com sucesso!"))
            << answers.seen()[0].text.toStdString();
    }
    EXPECT_EQ(cancel->text(), "Fechar");

    // The compiler's output, read from wine's pipe in the OEM code page, reaches the log as the text it was.
    std::vector<std::string> log;
    std::string text;
    for (const QString& line : test::Control<QPlainTextEdit>(window, "MemRegistro")->toPlainText().split(u'\n')) {
        log.push_back(line.toStdString());
        text += log.back() + "\n";
    }
    const auto logged = [&](const std::string& line) { return std::find(log.begin(), log.end(), line) != log.end(); };
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.rfind("Tarvix simulated Delphi compiler", 0) == 0;
    })) << text;
    EXPECT_TRUE(logged("Compiling " + UnitWithAccents + " (" + Destination + "\\" + UnitWithAccents + ".dcu)")) << text;
    EXPECT_TRUE(logged("Compilation success")) << text;
    EXPECT_TRUE(logged("Registration ok")) << text;

    cancel->click();
    EXPECT_TRUE(window.Fechada());

    // The compiler's wineserver had gone before the hives were written, so wine reads what the registration wrote.
    const fs::path prefix = bench.PrefixDir();
    EXPECT_FALSE(platform::wine::wineserverRunning(prefix));
    const std::string bpl = bench.Ide().commonDir + "\\Bpl\\TarvixLib370.bpl";
    const std::string dcp = bench.Ide().commonDir + "\\Dcp\\TarvixLib370.dcp";
    const auto known = WineValues(prefix, "HKCU\\Software\\Embarcadero\\BDS\\37.0\\Known Packages");
    ASSERT_TRUE(known.count(bpl)) << "no Known Packages value " << bpl;
    EXPECT_EQ(known.at(bpl), "'Tarvix Library - Components'");
    const auto library = WineValues(prefix, "HKCU\\Software\\Embarcadero\\BDS\\37.0\\Library\\Win32");
    for (const char* name : LibraryValues) {
        ASSERT_TRUE(library.count(name)) << name;
        EXPECT_EQ(library.at(name), libraryBefore.at(name) + ";" + Destination) << name;
    }
    // The registry manager opens its key without a view flag, and the thread's 32-bit view mode is off outside
    // the IDE discovery: the value lands in the native (64-bit) view of this win64 prefix, not under Wow6432Node.
    const auto remembered =
        WineValues(prefix, "HKLM\\Software\\Morvane\\TarvixComps", {"/v", "Caminho D37", "/reg:64"}, true);
    EXPECT_EQ(remembered.count("Caminho D37") ? remembered.at("Caminho D37") : "(missing)", Destination);

    EXPECT_TRUE(fs::is_regular_file(bench.Host(bpl))) << bpl;
    EXPECT_TRUE(fs::is_regular_file(bench.Host(dcp))) << dcp;
}

} // namespace
} // namespace tarvix
