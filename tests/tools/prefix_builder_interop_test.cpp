// The sandbox prefix builder against the real wine: wine makes the prefix or reads the one the builder wrote, and
// `wine reg query` finds the IDE where the IDE's own 32-bit installer would have put it.
#include "tools/prefix_builder.h"

#include <gtest/gtest.h>

#include "tests/support/real_wine_prefix.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace tarvix;
using namespace tarvix::tools;

namespace {

// The data column of one `wine reg query KEY /v NAME` answer, or "" when wine found no such value. The
// wineserver stays up between queries (they only read); the last one of a test waits for it to go.
std::string regQuery(const fs::path& prefix, const std::vector<std::string>& args, bool last = false)
{
    std::vector<std::string> command = {"reg", "query"};
    command.insert(command.end(), args.begin(), args.end());
    const test::WineRun run = test::runWine(prefix, command, last);
    if (run.exitCode != 0)
        return "";
    for (const char* type : {"REG_SZ    ", "REG_EXPAND_SZ    "}) {
        const auto at = run.output.find(type);
        if (at != std::string::npos) {
            const auto start = at + std::string(type).size();
            return run.output.substr(start, run.output.find('\n', start) - start);
        }
    }
    return "";
}

void expectWineSeesDelphi13(const fs::path& dir, const RegisteredIde& ide, bool last = true)
{
    EXPECT_EQ(regQuery(dir, {"HKLM\\Software\\Wow6432Node\\Embarcadero\\BDS\\37.0", "/v", "RootDir"}),
              ide.rootDir + "\\");
    EXPECT_EQ(regQuery(dir, {"HKLM\\Software\\Embarcadero\\BDS\\37.0", "/v", "App", "/reg:32"}), ide.appFile);
    EXPECT_EQ(regQuery(dir, {"HKLM\\Software\\Embarcadero\\BDS\\37.0", "/v", "App", "/reg:64"}), "")
        << "a 32-bit installer's key is not in the 64-bit view";
    EXPECT_EQ(regQuery(dir, {"HKLM\\Software\\Embarcadero\\BDS\\37.0\\Personalities", "/v", "Delphi.Win32", "/reg:32"}),
              "Delphi");
    EXPECT_EQ(
        regQuery(dir, {"HKCU\\Software\\Embarcadero\\BDS\\37.0\\Library\\Win32", "/v", "Package DCP Output"}, last),
        "$(BDSCOMMONDIR)\\Dcp");
}

TEST(PrefixBuilderInterop, WineMakesThePrefixAndSeesTheRegisteredIde)
{
    test::TempDir temp;
    PrefixOptions options;
    options.mode = PrefixMode::RealWine;
    PrefixBuilder prefix = PrefixBuilder::create(temp / "prefix", options);
    EXPECT_TRUE(prefix.madeByWine());
    EXPECT_EQ(prefix.arch(), "win64");
    EXPECT_FALSE(prefix.userName().empty());
    EXPECT_EQ(prefix.appDataFolder(), "C:\\users\\" + prefix.userName() + "\\AppData\\Roaming");
    // Nothing the tests write may reach the host's home folder through wine's links.
    EXPECT_FALSE(fs::is_symlink(prefix.hostPath(prefix.documentsFolder())));
    EXPECT_TRUE(prefix.files().fileExists(std::string(PrefixBuilder::dotNetFrameworkFolder) + "\\MSBuild.exe"));

    const RegisteredIde ide = prefix.registerIde(IdeSetup::delphi13());
    expectWineSeesDelphi13(temp / "prefix", ide);
    EXPECT_TRUE(fs::is_regular_file(prefix.hostPath(ide.envOptionsFile)));
}

TEST(PrefixBuilderInterop, WineLoadsTheMinimalPrefix)
{
    test::TempDir temp;
    PrefixOptions options;
    options.mode = PrefixMode::Minimal;
    PrefixBuilder prefix = PrefixBuilder::create(temp / "prefix", options);
    const RegisteredIde ide = prefix.registerIde(IdeSetup::delphi13());
    expectWineSeesDelphi13(temp / "prefix", ide, false);
    EXPECT_EQ(regQuery(temp / "prefix", {"HKLM\\System\\CurrentControlSet\\Control\\Nls\\Codepage", "/v", "ACP"}, true),
              "1252");
}

TEST(PrefixBuilderInterop, OpensACopyOfTheSharedWinePrefix)
{
    test::TempDir temp;
    test::copyRealWinePrefix(temp / "prefix");
    PrefixBuilder prefix = PrefixBuilder::open(temp / "prefix");
    EXPECT_TRUE(prefix.madeByWine());
    for (const auto& entry : fs::directory_iterator(temp / "prefix" / "drive_c" / "users" / prefix.userName()))
        EXPECT_FALSE(entry.is_symlink()) << entry.path() << " still leads out of the prefix";
    const RegisteredIde ide = prefix.registerIde(IdeSetup::delphi13());
    expectWineSeesDelphi13(temp / "prefix", ide);
}

} // namespace
