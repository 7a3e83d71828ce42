// Discovery against the real wine: Delphi 13 registered in a wineboot-made prefix with `wine reg add` in the
// 32-bit view, as the IDE's own 32-bit installer does, is found with its identity.
#include "ideservices/ide_installations.h"

#include <gtest/gtest.h>

#include "platform/system.h"
#include "platform/wine/wine_prefix.h"
#include "tests/support/real_wine_prefix.h"
#include "tests/support/temp_dir.h"
#include "tools/prefix_builder.h"

namespace fs = std::filesystem;
using namespace tarvix;
using enum TIdeBorRADToolEdition;
using enum TCommandLineTool;

namespace {

TEST(DiscoveryInterop, FindsDelphi13RegisteredByWineRegAdd)
{
    test::TempDir temp;
    const fs::path dir = temp / "prefix";
    test::copyRealWinePrefix(dir);

    // The files of the installation and of the user's first start.
    tools::PrefixBuilder files = tools::PrefixBuilder::open(dir);
    const std::string root = files.programFiles32Folder() + "\\Embarcadero\\Studio\\37.0";
    const std::string common = files.commonDocumentsFolder() + "\\Embarcadero\\Studio\\37.0";
    files.writeFile(root + "\\bin\\bds.exe", "IDE placeholder\r\n");
    files.writeFile(root + "\\bin\\dcc32.exe", "compiler placeholder\r\n");
    files.writeFile(root + "\\bin\\rsvars.bat", tools::rsvarsText(root, common, 37));
    const std::string envOptions = files.appDataFolder() + "\\Embarcadero\\BDS\\37.0\\EnvOptions.proj";
    files.writeFile(envOptions, tools::envOptionsText(37));

    // The registry, written by wine itself.
    const std::string key = "HKLM\\SOFTWARE\\Embarcadero\\BDS\\37.0";
    const std::vector<std::vector<std::string>> adds = {
        {key, "/v", "RootDir", "/d", root + "\\"},
        {key, "/v", "App", "/d", root + "\\bin\\bds.exe"},
        {key, "/v", "Edition", "/d", "Architect"},
        {key, "/v", "ProductVersion", "/d", "37.0.57242.3601"},
        {key + "\\Personalities", "/v", "Delphi.Win32", "/d", "Delphi"},
    };
    for (size_t i = 0; i < adds.size(); ++i) {
        std::vector<std::string> args = {"reg", "add"};
        args.insert(args.end(), adds[i].begin(), adds[i].end());
        args.insert(args.end(), {"/f", "/reg:32"});
        const auto run = test::runWine(dir, args, i + 1 == adds.size());
        ASSERT_EQ(run.exitCode, 0) << run.output;
    }

    platform::WinePrefix system(dir);
    platform::ScopedCurrentSystem current(system);
    TIdeBorRADToolInstallations all;
    ASSERT_EQ(all.Count(), 1);
    const auto& d = *all.Installations(0);
    EXPECT_EQ(d.Name(), "RAD Studio 13");
    EXPECT_EQ(d.IDEVersionNumberStr(), "d37");
    EXPECT_EQ(d.IDEPackageVersionNumber(), 37);
    EXPECT_EQ(d.RootDir(), root);
    EXPECT_EQ(d.IdeExeFileName(), root + "\\bin\\bds.exe");
    EXPECT_EQ(d.Description(), "RAD Studio 13 Architect");
    EXPECT_EQ(d.Edition(), deARC);
    EXPECT_TRUE(d.CommandLineTools().Contains(clDcc32));
    EXPECT_EQ(static_cast<const TIdeBDSInstallation&>(d).EnvOptionsFileName(), envOptions);
    EXPECT_TRUE(system.registry().keyExists(platform::RegRoot::CurrentUser, "Software\\Embarcadero\\BDS\\37.0"))
        << "the per-user key is made";
}

} // namespace
