// The list entry and the uninstall against a copy of a prefix made by the real `wine wineboot -i`: wine's own
// program list shows the installation after the install and not after the uninstall, and wine's reg.exe finds
// the values gone.
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ideservices/ide_installations.h"
#include "installer/uninstall_record.h"
#include "platform/system.h"
#include "platform/wine/wine_prefix.h"
#include "platform/wine/wineserver_lock.h"
#include "tests/installer/uninstall_bench.h"
#include "tests/support/real_wine_prefix.h"
#include "tests/support/temp_dir.h"
#include "tools/prefix_builder.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

const std::string DisplayName = "Tarvix Library Interop para Delphi 13 - Florence";
const std::string EntryKey = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TarvixComps D37";

// What `wine reg query KEY [options]` lists of a key (name → data), and whether wine found the key. Its lines
// are "    <name>    <type>    <data>".
struct WineKey {
    bool found = false;
    std::map<std::string, std::string> values;
};

WineKey QueryKey(const fs::path& prefix, const std::string& key, const std::vector<std::string>& options = {})
{
    std::vector<std::string> command{"reg", "query", key};
    command.insert(command.end(), options.begin(), options.end());
    const test::WineRun run = test::runWine(prefix, command, true);
    WineKey result;
    result.found = run.exitCode == 0;
    std::stringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        const auto type = line.find("    REG_", 4);
        if (line.rfind("    ", 0) != 0 || type == std::string::npos)
            continue;
        const auto data = line.find("    ", type + 4);
        result.values[line.substr(4, type - 4)] = data == std::string::npos ? std::string() : line.substr(data + 4);
    }
    return result;
}

// The display names wine's uninstaller lists: its lines are "<key>|||<display name>".
std::vector<std::string> ListedPrograms(const fs::path& prefix)
{
    const test::WineRun run = test::runWine(prefix, {"uninstaller", "--list"}, true);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    std::vector<std::string> names;
    std::stringstream lines(run.output);
    for (std::string line; std::getline(lines, line);)
        if (const auto bar = line.find("|||"); bar != std::string::npos)
            names.push_back(line.substr(bar + 3));
    return names;
}

bool Listed(const fs::path& prefix)
{
    const std::vector<std::string> names = ListedPrograms(prefix);
    return std::find(names.begin(), names.end(), DisplayName) != names.end();
}

// The prefix is made current for one phase at a time: wine runs in between and its wineserver rewrites the hives
// when it exits, so each phase reads them afresh.
class Phase {
public:
    explicit Phase(const fs::path& prefix) : system_(prefix), scope_(system_) {}

private:
    platform::WinePrefix system_;
    platform::ScopedCurrentSystem scope_;
};

TEST(UninstallInterop, WinesProgramListShowsTheInstallationUntilItIsUninstalled)
{
    if (!tools::wineAvailable())
        GTEST_SKIP() << "wine is not installed";
    test::TempDir temp;
    const fs::path prefix = temp / "prefix";
    test::copyRealWinePrefix(prefix);
    tools::RegisteredIde ide;
    {
        tools::PrefixBuilder builder = tools::PrefixBuilder::open(prefix);
        tools::IdeSetup setup = tools::IdeSetup::delphi13();
        setup.dcc32Host = fs::path(TARVIX_SIM_DCC32_HOST);
        ide = builder.registerIde(setup);
    }
    ASSERT_FALSE(Listed(prefix));
    const WineKey libraryBefore = QueryKey(prefix, "HKCU\\Software\\Embarcadero\\BDS\\37.0\\Library\\Win32");

    {
        Phase phase(prefix);
        TIdeBorRADToolInstallations installations;
        TIdeBorRADToolInstallation* delphi = nullptr;
        for (int i = 0; i < installations.Count(); ++i)
            if (installations.Installations(i)->RootDir() == ide.rootDir)
                delphi = installations.Installations(i);
        ASSERT_NE(delphi, nullptr);
        test::RegistrationRun run("Tarvix Library Interop");
        run.Install(*delphi);
    }
    EXPECT_FALSE(platform::wine::wineserverRunning(prefix));

    EXPECT_TRUE(Listed(prefix)) << testing::PrintToString(ListedPrograms(prefix));
    const WineKey entry = QueryKey(prefix, EntryKey, {"/reg:32"});
    ASSERT_TRUE(entry.found);
    EXPECT_EQ(entry.values.at("DisplayName"), DisplayName);
    EXPECT_EQ(entry.values.at("InstallLocation"), test::UninstallDestination);
    EXPECT_EQ(entry.values.at("UninstallString"), "\"C:\\Tarvix\\D37\\desinstalar.exe\" /UNINSTALL");
    EXPECT_EQ(entry.values.at("NoModify"), "0x1");
    const std::string bpl = ide.commonDir + "\\Bpl\\TarvixLib370.bpl";
    EXPECT_TRUE(QueryKey(prefix, "HKCU\\Software\\Embarcadero\\BDS\\37.0\\Known Packages").values.contains(bpl));

    {
        Phase phase(prefix);
        test::RegistrationRun run("Tarvix Library Interop");
        EXPECT_EQ(run.Uninstall(), TCodigoSaida::Sucesso) << testing::PrintToString(run.window.boxes.back().markup);
    }
    EXPECT_FALSE(Listed(prefix));
    EXPECT_FALSE(QueryKey(prefix, EntryKey, {"/reg:32"}).found);
    EXPECT_FALSE(QueryKey(prefix, "HKLM\\Software\\Morvane\\TarvixComps", {"/reg:64"}).found);
    EXPECT_FALSE(QueryKey(prefix, "HKCU\\Software\\Embarcadero\\BDS\\37.0\\Known Packages").values.contains(bpl));
    EXPECT_EQ(QueryKey(prefix, "HKCU\\Software\\Embarcadero\\BDS\\37.0\\Library\\Win32").values, libraryBefore.values);
}

} // namespace
} // namespace tarvix
