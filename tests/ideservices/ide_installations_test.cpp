// Discovery of the installed IDEs on sandbox prefixes: IDEs registered the way their installers do, found (or
// passed over) by the enumeration, with the identity each one reads.
#include "ideservices/ide_installations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "ideservices/ide_errors.h"
#include "platform/ascii_case.h"
#include "platform/errors.h"
#include "tests/support/sandbox_system.h"

using namespace tarvix;
using enum TIdeBorRADToolKind;
using enum TIdeBorRADToolEdition;
using enum TIdeBorPersonality;
using enum TIdeBDSPlatform;
using enum TCommandLineTool;
using enum TIdeCompilerSettingsFormat;
using platform::RegRoot;
using tools::IdeSetup;
using tools::RegisteredIde;
namespace KeyAccess = platform::KeyAccess;

namespace {

class DiscoveryTest : public ::testing::Test {
protected:
    tools::PrefixBuilder& prefix() { return sandbox_.builder(); }
    RegisteredIde add(const IdeSetup& setup) { return prefix().registerIde(setup); }

    // Enumerates and returns the installations' names in discovery order.
    std::vector<std::string> names(const TIdeBorRADToolInstallations& all)
    {
        std::vector<std::string> result;
        all.Iterate([&](TIdeBorRADToolInstallation& i) {
            result.push_back(i.Name());
            return true;
        });
        return result;
    }

    test::SandboxSystem sandbox_;
};

TEST_F(DiscoveryTest, FindsDelphi13AsRadStudio13)
{
    const RegisteredIde ide = add(IdeSetup::delphi13());
    TIdeBorRADToolInstallations all;
    EXPECT_FALSE(platform::Registry::threadView32()) << "the 32-bit view is switched off again";
    ASSERT_EQ(all.Count(), 1);
    TIdeBorRADToolInstallation& d = *all.Installations(0);
    ASSERT_NE(dynamic_cast<TIdeBDSInstallation*>(&d), nullptr);
    auto& bds = static_cast<TIdeBDSInstallation&>(d);

    EXPECT_EQ(d.RadToolKind(), brBorlandDevStudio);
    EXPECT_EQ(d.IDEVersionNumber(), 37);
    EXPECT_EQ(d.IDEVersionNumberStr(), "d37");
    EXPECT_EQ(d.IDEPackageVersionNumber(), 37);
    EXPECT_EQ(d.PackageVersionNumber(), 37);
    EXPECT_EQ(d.IDEPackageVersionNumberStr(), "370");
    EXPECT_EQ(d.PackageVersionNumberStr(), "370");
    EXPECT_FLOAT_EQ(d.DCCVersion(), 37.0f);
    EXPECT_EQ(d.Name(), "RAD Studio 13");
    EXPECT_EQ(d.RadToolName(), "RAD Studio");
    EXPECT_EQ(d.Description(), "RAD Studio 13 Professional");
    EXPECT_EQ(d.Edition(), dePRO);
    EXPECT_EQ(d.InstalledUpdatePack(), 0);

    EXPECT_EQ(d.ConfigDataLocation(), "\\SOFTWARE\\Embarcadero\\BDS\\37.0");
    EXPECT_EQ(d.RootKey(), RegRoot::CurrentUser);
    EXPECT_EQ(d.RootDir(), ide.rootDir);
    EXPECT_EQ(d.BinFolderName(), ide.rootDir + "\\bin\\");
    EXPECT_EQ(d.IdeExeFileName(), ide.appFile);
    EXPECT_EQ(d.GlobalValue("ProductVersion"), "37.0.57242.3601");
    EXPECT_TRUE(d.Valid());
    EXPECT_EQ(bds.EnvOptionsFileName(), ide.envOptionsFile);
    EXPECT_EQ(bds.EnvironmentProjFileName(), ide.environmentProjFile);
    EXPECT_EQ(d.PackageSourceFileExtension(), ".dpk");
    EXPECT_EQ(d.ProjectSourceFileExtension(), ".dpr");

    EXPECT_EQ(d.CommandLineTools(),
              (TCommandLineTools{clDcc32, clDcc64, clDccLinux64, clDccArm64, clDccOSX64, clDcciOS64}));
    EXPECT_EQ(d.Personalities(), (TIdeBorPersonalities{bpDelphi32, bpDelphi64, bpDelphiLinux64, bpDelphiAndroid64,
                                                       bpDelphiOSX64, bpDelphiiOSDevice64}));
    EXPECT_TRUE(d.SupportsNoConfig());
    EXPECT_TRUE(d.SupportsPlatform());
    EXPECT_TRUE(d.SupportsLibSuffix());
    EXPECT_FALSE(d.LongPathBug());
    EXPECT_EQ(d.CompilerSettingsFormat(), csfMsBuild);
    EXPECT_FALSE(d.IsDcc64());
    EXPECT_FALSE(d.MapCreate());

    EXPECT_EQ(all.GetBDSInstallationFromVersion(37), &d);
    EXPECT_EQ(all.GetDelphiInstallationFromVersion(37), &d) << "a BDS installation matches by package version";
    EXPECT_EQ(all.GetBCBInstallationFromVersion(37), &d);
    EXPECT_TRUE(all.GetBDSVersionInstalled(37));
    EXPECT_FALSE(all.GetBDSVersionInstalled(23));
    EXPECT_FALSE(all.GetDelphiVersionInstalled(7));
    EXPECT_THROW(all.Installations(1), std::out_of_range);
}

// What decides whether a registered BDS 37 is listed: each case on a prefix of its own.
TEST(DiscoveryListing, ListsOnlyCompleteInstallationsWithAKnownPersonality)
{
    struct Case {
        const char* what;
        std::function<void(IdeSetup&)> change;
        bool listed;
    };
    const std::vector<Case> cases = {
        {"complete", [](IdeSetup&) {}, true},
        {"no EnvOptions.proj (never started by this user)", [](IdeSetup& s) { s.envOptions = false; }, false},
        {"no environment.proj", [](IdeSetup& s) { s.environmentProj = false; }, true},
        {"no rsvars.bat", [](IdeSetup& s) { s.rsvars = false; }, false},
        {"no App value", [](IdeSetup& s) { s.appRelative.clear(); }, false},
        {"App names a missing file", [](IdeSetup& s) { s.createApp = false; }, false},
        {"empty RootDir",
         [](IdeSetup& s) {
             s.machineGlobals = {{"RootDir", ""}};
         },
         false},
        {"no personalities", [](IdeSetup& s) { s.personalities.clear(); }, false},
        {"only an unknown personality",
         [](IdeSetup& s) {
             s.personalities = {{"Delphi.NET", "Delphi"}};
         },
         false},
        {"BCB only",
         [](IdeSetup& s) {
             s.personalities = {{"BCB", "C++Builder"}};
         },
         true},
        {"Delphi8 only",
         [](IdeSetup& s) {
             s.personalities = {{"Delphi8", "Delphi"}};
         },
         true},
        {"C#Builder only",
         [](IdeSetup& s) {
             s.personalities = {{"C#Builder", "C#"}};
         },
         true},
        {"personality in other case",
         [](IdeSetup& s) {
             s.personalities = {{"DELPHI.win32", "Delphi"}};
         },
         true},
        {"no per-user settings", [](IdeSetup& s) { s.userSettings = false; }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::SandboxSystem sandbox;
        IdeSetup setup = IdeSetup::delphi13();
        c.change(setup);
        sandbox.builder().registerIde(setup);
        TIdeBorRADToolInstallations all;
        EXPECT_EQ(all.Count(), c.listed ? 1 : 0);
    }
}

// The five roots, in their order, and the identity each kind reads.
TEST_F(DiscoveryTest, ScansTheFiveRootsInOrder)
{
    IdeSetup bds5Delphi = IdeSetup::bds("CodeGear", "5.0");
    IdeSetup bds5Both = IdeSetup::bds("Borland", "5.0");
    bds5Both.personalities = {{"Delphi.Win32", "Delphi"}, {"BCB", "C++Builder"}};
    for (const IdeSetup& setup : {IdeSetup::bds("Embarcadero", "37.0"), bds5Delphi, bds5Both,
                                  IdeSetup::bds("Borland", "4.0"), IdeSetup::cppBuilder6(), IdeSetup::delphi7()})
        add(setup);
    TIdeBorRADToolInstallations all;
    EXPECT_EQ(names(all), (std::vector<std::string>{"Delphi 7", "C++Builder 6", "Borland Developer Studio 2006",
                                                    "RAD Studio 2007", "Delphi 2007", "RAD Studio 13"}));

    struct Expected {
        TIdeBorRADToolKind kind;
        const char* str;
        int ide, package;
        float dcc;
        TIdeBorPersonalities personalities;
    };
    const std::vector<Expected> expected = {
        {brDelphi, "d7", 7, 7, 15.0f, {bpDelphi32}},
        {brCppBuilder, "c6", 6, 6, 14.0f, {bpBCBuilder32, bpDelphi32}},
        {brBorlandDevStudio, "d10", 10, 10, 18.0f, {bpDelphi32}},
        {brBorlandDevStudio, "d11", 11, 10, 18.5f, {bpDelphi32, bpBCBuilder32}},
        {brBorlandDevStudio, "d11", 11, 10, 18.5f, {bpDelphi32}},
        {brBorlandDevStudio, "d37", 37, 37, 37.0f, {bpDelphi32}},
    };
    ASSERT_EQ(all.Count(), static_cast<int>(expected.size()));
    for (int i = 0; i < all.Count(); ++i) {
        const auto& d = *all.Installations(i);
        const auto& e = expected[static_cast<size_t>(i)];
        SCOPED_TRACE(d.Name());
        EXPECT_EQ(d.RadToolKind(), e.kind);
        EXPECT_EQ(d.IDEVersionNumberStr(), e.str);
        EXPECT_EQ(d.IDEPackageVersionNumber(), e.ide);
        EXPECT_EQ(d.PackageVersionNumber(), e.package);
        EXPECT_FLOAT_EQ(d.DCCVersion(), e.dcc);
        EXPECT_EQ(d.Personalities(), e.personalities);
    }
    EXPECT_EQ(all.Installations(0)->ConfigDataLocation(), "\\SOFTWARE\\Borland\\Delphi\\7.0");
    EXPECT_EQ(all.Installations(1)->ConfigDataLocation(), "\\SOFTWARE\\Borland\\C++Builder\\6.0");
    EXPECT_EQ(all.Installations(3)->ConfigDataLocation(), "\\SOFTWARE\\Borland\\BDS\\5.0");
    EXPECT_EQ(all.Installations(4)->ConfigDataLocation(), "\\SOFTWARE\\CodeGear\\BDS\\5.0");
    EXPECT_EQ(all.Installations(1)->PackageSourceFileExtension(), ".bpk");
    EXPECT_EQ(all.Installations(1)->ProjectSourceFileExtension(), ".bpr");
    EXPECT_EQ(all.Installations(1)->CommandLineTools(),
              (TCommandLineTools{clAsm, clBcc32, clDcc32, clMake, clProj2Mak}));
    // "Version"="PRO" of the older products is a three-letter code spelled out in the description.
    EXPECT_EQ(all.Installations(0)->Description(), "Delphi 7 Professional");

    EXPECT_EQ(all.GetDelphiInstallationFromVersion(7), all.Installations(0));
    EXPECT_EQ(all.GetBCBInstallationFromVersion(6), all.Installations(1));
    EXPECT_EQ(all.GetBDSInstallationFromVersion(4), all.Installations(2));
    EXPECT_EQ(all.GetDelphiInstallationFromVersion(10), all.Installations(2)) << "BDS 4's packages are version 10";
    EXPECT_EQ(all.GetBDSInstallationFromVersion(5), all.Installations(3)) << "the first of two";
    EXPECT_EQ(all.GetBDSInstallationFromVersion(7), nullptr) << "Delphi 7 is not a BDS installation";
    EXPECT_EQ(all.GetBCBInstallationFromVersion(7), nullptr);

    int visited = 0;
    EXPECT_FALSE(all.Iterate([&](TIdeBorRADToolInstallation&) { return ++visited < 2; }));
    EXPECT_EQ(visited, 2);
}

TEST_F(DiscoveryTest, AnEmptyMachineHasNoInstallations)
{
    TIdeBorRADToolInstallations all;
    EXPECT_EQ(all.Count(), 0);
    int calls = 0;
    EXPECT_TRUE(all.Iterate([&](TIdeBorRADToolInstallation&) { return ++calls, false; }));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(all.GetBDSInstallationFromVersion(37), nullptr);
}

// Version key names: only digits and dots are version keys; the number is read with "." as the decimal point and
// a fractional part gives 0.
TEST_F(DiscoveryTest, VersionKeyNames)
{
    for (const char* key : {"37.5", "Backup", "37.0 old", "1.2.3", "8"})
        add(IdeSetup::bds("Embarcadero", key));
    add(IdeSetup::delphi("7.00"));
    TIdeBorRADToolInstallations all;
    std::map<std::string, const TIdeBorRADToolInstallation*> byKey;
    for (int i = 0; i < all.Count(); ++i)
        byKey[all.Installations(i)->ConfigDataLocation()] = all.Installations(i);
    ASSERT_EQ(byKey.size(), 4u) << "Backup and \"37.0 old\" are not version keys";

    const auto* fractional = byKey.at("\\SOFTWARE\\Embarcadero\\BDS\\37.5");
    EXPECT_EQ(fractional->IDEVersionNumber(), 0);
    EXPECT_EQ(fractional->IDEVersionNumberStr(), "d6");
    EXPECT_EQ(fractional->IDEPackageVersionNumber(), 0);
    EXPECT_EQ(fractional->IDEPackageVersionNumberStr(), "");
    EXPECT_FLOAT_EQ(fractional->DCCVersion(), 0.0f);
    EXPECT_EQ(fractional->Name(), "Borland Developer Studio ***0***");

    // Not a decimal number although made of digits and dots: read as 0 instead of failing the whole scan.
    EXPECT_EQ(byKey.at("\\SOFTWARE\\Embarcadero\\BDS\\1.2.3")->IDEVersionNumber(), 0);

    const auto* plain = byKey.at("\\SOFTWARE\\Embarcadero\\BDS\\8");
    EXPECT_EQ(plain->IDEVersionNumber(), 8);
    EXPECT_EQ(plain->IDEVersionNumberStr(), "d15");
    EXPECT_EQ(plain->Name(), "RAD Studio XE");

    const auto* d7 = byKey.at("\\SOFTWARE\\Borland\\Delphi\\7.00");
    EXPECT_EQ(d7->IDEVersionNumberStr(), "d7");
    EXPECT_FLOAT_EQ(d7->DCCVersion(), 15.0f);
}

// The BDS version table behind the short version strings, names and package numbers.
TEST_F(DiscoveryTest, BdsReleasesAcrossTheVersionTable)
{
    struct Row {
        const char* key;
        const char* str;
        const char* name;
        int ide, package;
        float dcc;
    };
    const std::vector<Row> rows = {
        {"1.0", "cs1", "C#Builder 1.0", 1, 1, 0.0f},
        {"2.0", "d8", "Delphi 8", 8, 7, 15.0f},
        {"3.0", "d9", "Delphi 2005", 9, 9, 17.0f},
        {"6.0", "d12", "RAD Studio 2009", 12, 12, 20.0f},
        {"7.0", "d14", "RAD Studio 2010", 14, 14, 21.0f},
        {"12.0", "d19", "RAD Studio XE5", 19, 19, 26.0f},
        {"13.0", "d19", "Borland Developer Studio ***13***", 0, 0, 0.0f},
        {"14.0", "d20", "RAD Studio XE6", 20, 20, 27.0f},
        {"23.0", "d29", "RAD Studio 12", 29, 29, 36.0f},
        {"36.0", "d42", "Borland Developer Studio ***36***", 0, 0, 0.0f},
        {"38.0", "d38", "Borland Developer Studio ***38***", 0, 0, 0.0f},
    };
    for (const auto& row : rows) {
        IdeSetup setup = IdeSetup::bds("Embarcadero", row.key);
        setup.personalities = {{"Delphi.Win32", "Delphi"}, {"C#Builder", "C#Builder"}};
        add(setup);
    }
    TIdeBorRADToolInstallations all;
    ASSERT_EQ(all.Count(), static_cast<int>(rows.size()));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        const auto* d = all.GetBDSInstallationFromVersion(std::stoi(row.key));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->IDEVersionNumberStr(), row.str);
        EXPECT_EQ(d->Name(), row.name);
        EXPECT_EQ(d->IDEPackageVersionNumber(), row.ide);
        EXPECT_EQ(d->PackageVersionNumber(), row.package);
        EXPECT_FLOAT_EQ(d->DCCVersion(), row.dcc);
    }
}

// Capabilities by kind and version.
TEST_F(DiscoveryTest, CapabilityFlags)
{
    for (const IdeSetup& setup :
         {IdeSetup::delphi("5.0"), IdeSetup::delphi7(), IdeSetup::bds("Borland", "2.0"),
          IdeSetup::bds("Borland", "3.0"), IdeSetup::bds("Borland", "4.0"), IdeSetup::bds("Embarcadero", "8.0"),
          IdeSetup::bds("Embarcadero", "9.0"), IdeSetup::delphi13()})
        add(setup);
    TIdeBorRADToolInstallations all;
    struct Flags {
        bool noConfig, platform, libSuffix, longPathBug;
        TIdeCompilerSettingsFormat format;
    };
    const std::map<std::string, Flags> expected = {
        {"Delphi 5", {false, false, false, true, csfDOF}},
        {"Delphi 7", {false, false, true, true, csfDOF}},
        {"Delphi 8", {false, false, true, true, csfBDSProj}},
        {"Delphi 2005", {false, false, true, false, csfBDSProj}},
        {"Borland Developer Studio 2006", {true, false, true, false, csfBDSProj}},
        {"RAD Studio XE", {true, false, true, false, csfMsBuild}},
        {"RAD Studio XE2", {true, true, true, false, csfMsBuild}},
        {"RAD Studio 13", {true, true, true, false, csfMsBuild}},
    };
    ASSERT_EQ(all.Count(), static_cast<int>(expected.size()));
    all.Iterate([&](TIdeBorRADToolInstallation& d) {
        SCOPED_TRACE(d.Name());
        const Flags& f = expected.at(d.Name());
        EXPECT_EQ(d.SupportsNoConfig(), f.noConfig);
        EXPECT_EQ(d.SupportsPlatform(), f.platform);
        EXPECT_EQ(d.SupportsLibSuffix(), f.libSuffix);
        EXPECT_EQ(d.LongPathBug(), f.longPathBug);
        EXPECT_EQ(d.CompilerSettingsFormat(), f.format);
        return true;
    });
}

// Globals: per-user values before machine values, the "Globals" subkey before the version key.
TEST_F(DiscoveryTest, PerUserGlobalsOverrideMachineValues)
{
    IdeSetup setup = IdeSetup::delphi13();
    setup.rootDir = "C:\\IDE\\";
    setup.userGlobals = {{"Edition", "Architect"}};
    setup.machineGlobals = {{"ProductVersion", "from machine Globals"}, {"UpdatePackInstalled", "3"}};
    const RegisteredIde ide = add(setup);
    const std::string key = "SOFTWARE\\Embarcadero\\BDS\\37.0";
    prefix().setString(RegRoot::CurrentUser, key, "ProductVersion", "from the user's key");
    prefix().setString(RegRoot::CurrentUser, key, "InstallLanguage", "DE");
    prefix().setString(RegRoot::CurrentUser, key + "\\Globals", "InstallLanguage", "FR");

    TIdeBorRADToolInstallations all;
    ASSERT_EQ(all.Count(), 1);
    const auto& d = *all.Installations(0);
    EXPECT_EQ(d.EditionStr(), "Architect");
    EXPECT_EQ(d.Edition(), deARC);
    EXPECT_EQ(d.GlobalValue("productversion"), "from the user's key");
    EXPECT_EQ(d.GlobalValue("InstallLanguage"), "FR");
    EXPECT_EQ(d.InstalledUpdatePack(), 3);
    EXPECT_EQ(d.Description(), "RAD Studio 13 Architect Update Pack #3");
    // A trailing backslash of RootDir is dropped; the bin folder keeps one.
    EXPECT_EQ(d.RootDir(), "C:\\IDE");
    EXPECT_EQ(d.BinFolderName(), "C:\\IDE\\bin\\");
    EXPECT_EQ(ide.rootDir, "C:\\IDE");

    // Every pair is kept, in the order the four keys were read.
    std::vector<std::string> editions;
    for (const auto& [name, value] : d.Globals())
        if (name == "Edition")
            editions.push_back(value);
    EXPECT_EQ(editions, (std::vector<std::string>{"Architect", "Professional"}));
}

// Edition codes and the description's edition text.
TEST_F(DiscoveryTest, EditionsAndDescriptions)
{
    add(IdeSetup::delphi13());
    add(IdeSetup::delphi("4.0"));
    add(IdeSetup::delphi("5.0"));
    add(IdeSetup::delphi("6.0"));
    struct Case {
        std::string key;
        tools::NameValues values; // machine values replacing the edition ones
        TIdeBorRADToolEdition edition;
        std::string description;
    };
    const std::string bds = "SOFTWARE\\Embarcadero\\BDS\\37.0";
    const std::vector<Case> cases = {
        {bds, {{"Edition", "STD"}}, deSTD, "RAD Studio 13 Personal"},
        {bds, {{"Edition", "PRO"}}, dePRO, "RAD Studio 13 Professional"},
        {bds, {{"Edition", "CSS"}}, deCSS, "RAD Studio 13 Enterprise"},
        {bds, {{"Edition", "ARC"}}, deARC, "RAD Studio 13 Architect"},
        {bds, {{"Edition", "Enterprise"}}, deSTD, "RAD Studio 13 Enterprise"},
        {bds, {{"Edition", "pro+"}}, dePRO, "RAD Studio 13 pro+"},
        {bds, {{"Edition", "ENT"}}, deSTD, "RAD Studio 13 Personal"},
        {bds, {{"Edition", ""}, {"Version", "ARC"}}, deARC, "RAD Studio 13 Architect"},
        {bds, {{"Edition", "PRO"}, {"UpdatePackInstalled", "x"}}, dePRO, "RAD Studio 13 Professional"},
        {"SOFTWARE\\Borland\\Delphi\\4.0", {{"Version", "CSS"}}, deCSS, "Delphi 4 Client/Server"},
        {"SOFTWARE\\Borland\\Delphi\\4.0", {{"Version", "STD"}}, deSTD, "Delphi 4 Standard"},
        {"SOFTWARE\\Borland\\Delphi\\5.0",
         {{"Version", "CSS"}, {"Update #1", "x"}},
         deCSS,
         "Delphi 5 Enterprise Update Pack #1"},
        {"SOFTWARE\\Borland\\Delphi\\5.0", {{"Version", "STD"}}, deSTD, "Delphi 5 Standard"},
        {"SOFTWARE\\Borland\\Delphi\\6.0",
         {{"Version", "STD"}, {"Update #2", "x"}, {"Update #10", "x"}},
         deSTD,
         "Delphi 6 Personal Update Pack #2"},
        {"SOFTWARE\\Borland\\Delphi\\6.0",
         {{"Version", "PRO"}, {"Update #", "x"}, {"Update #x", "x"}},
         dePRO,
         "Delphi 6 Professional"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        // Each case replaces the edition values the builder or the case before wrote.
        {
            auto key = sandbox_.system().registry().openKey(RegRoot::LocalMachine, c.key,
                                                            KeyAccess::AllAccess | KeyAccess::Wow64_32Key, false);
            ASSERT_NE(key, nullptr);
            for (const char* name : {"Edition", "Version", "UpdatePackInstalled", "Update #1", "Update #2",
                                     "Update #10", "Update #", "Update #x"})
                key->deleteValue(name);
        }
        prefix().setValues(RegRoot::LocalMachine, c.key, c.values, true);
        TIdeBorRADToolInstallations all;
        const std::string location = "\\" + c.key;
        const TIdeBorRADToolInstallation* found = nullptr;
        all.Iterate([&](TIdeBorRADToolInstallation& d) {
            if (d.ConfigDataLocation() == location)
                found = &d;
            return true;
        });
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->Edition(), c.edition);
        EXPECT_EQ(found->Description(), c.description);
    }
}

// Command-line tools found in the bin folder, and the personalities they and the per-user settings give.
TEST_F(DiscoveryTest, ToolsAndPersonalities)
{
    IdeSetup all = IdeSetup::delphi13();
    all.binFiles = {"tasm32.exe",      "bcc32.exe",   "bcc32c.exe",    "bcc64.exe",      "dcc32.exe",
                    "dcc64.exe",       "dccosx.exe",  "dccosx64.exe",  "dccios32.exe",   "dcciosarm.exe",
                    "dcciosarm64.exe", "dccaarm.exe", "dccaarm64.exe", "dcclinux64.exe", "dccil.exe",
                    "make.exe",        "bpr2mak.exe", "BCC64X.EXE"};
    all.bin64Files = {"bcc64x.exe"};
    all.personalities = {
        {"Delphi.Win32", "Delphi"}, {"BCB", "C++Builder"}, {"Delphi.NET", "Delphi.NET"}, {"C#Builder", "C#Builder"}};
    add(all);

    IdeSetup noBcb = IdeSetup::bds("CodeGear", "6.0");
    noBcb.binFiles = all.binFiles;
    noBcb.bin64Files = all.bin64Files;
    noBcb.personalities = {{"Delphi.Win32", "Delphi"}, {"Delphi8", "Delphi"}};
    add(noBcb);

    // Personalities registered for the machine but not yet mirrored for the user: only the compilers count.
    IdeSetup notStarted = IdeSetup::bds("Borland", "4.0");
    notStarted.userSettings = false;
    notStarted.personalities = {{"BCB", "C++Builder"}};
    notStarted.binFiles = {"bcc32.exe", "bcc64.exe", "dcc32.exe"};
    add(notStarted);

    TIdeBorRADToolInstallations found;
    ASSERT_EQ(found.Count(), 3);
    const auto* bds4 = found.Installations(0);
    const auto* bds6 = found.Installations(1);
    const auto* bds37 = found.Installations(2);

    const TCommandLineTools everything = {clAsm,      clBcc32,    clBcc32c,   clBcc64,    clBcc64x,
                                          clDcc32,    clDcc64,    clDccOSX32, clDccOSX64, clDcciOSSimulator,
                                          clDcciOS32, clDcciOS64, clDccArm32, clDccArm64, clDccLinux64,
                                          clDccIL,    clMake,     clProj2Mak};
    EXPECT_EQ(bds37->CommandLineTools(), everything);
    EXPECT_EQ(bds37->Personalities(),
              (TIdeBorPersonalities{bpDelphi32, bpDelphi64, bpDelphiOSX32, bpDelphiOSX64, bpDelphiAndroid32,
                                    bpDelphiAndroid64, bpDelphiiOSDevice32, bpDelphiiOSDevice64, bpDelphiiOSSimulator,
                                    bpDelphiLinux64, bpBCBuilder32, bpBCBuilder64, bpDelphiNet32, bpDelphiNet64,
                                    bpCSBuilder32}));

    // Without C++Builder the C++ compilers other than bcc32 do not count.
    EXPECT_EQ(bds6->CommandLineTools(), (everything - TCommandLineTools{clBcc32c, clBcc64, clBcc64x}));
    EXPECT_FALSE(bds6->Personalities().Contains(bpBCBuilder64));
    EXPECT_TRUE(bds6->Personalities().Contains(bpDelphiNet64));

    EXPECT_EQ(bds4->CommandLineTools(), (TCommandLineTools{clBcc32, clDcc32}));
    EXPECT_EQ(bds4->Personalities(), TIdeBorPersonalities{bpDelphi32});
}

// bcc64x.exe counts only in bin64, beside the bin folder.
TEST_F(DiscoveryTest, Bcc64xIsLookedUpInBin64)
{
    IdeSetup setup = IdeSetup::delphi13();
    setup.personalities = {{"BCB", "C++Builder"}};
    setup.binFiles = {"dcc32.exe", "bcc64x.exe"};
    add(setup);
    TIdeBorRADToolInstallations all;
    ASSERT_EQ(all.Count(), 1);
    EXPECT_FALSE(all.Installations(0)->CommandLineTools().Contains(clBcc64x));
    EXPECT_FALSE(all.Installations(0)->Personalities().Contains(bpBCBuilder64));
}

TEST_F(DiscoveryTest, ConstructionCreatesThePerUserKey)
{
    IdeSetup setup = IdeSetup::delphi13();
    setup.userSettings = false;
    add(setup);
    const std::string key = "SOFTWARE\\Embarcadero\\BDS\\37.0";
    auto& registry = sandbox_.system().registry();
    ASSERT_FALSE(registry.keyExists(RegRoot::CurrentUser, key));
    TIdeBorRADToolInstallations all;
    ASSERT_EQ(all.Count(), 1);
    auto created = registry.openKey(RegRoot::CurrentUser, key, KeyAccess::Read, false);
    ASSERT_NE(created, nullptr);
    EXPECT_TRUE(created->valueNames().empty());
    EXPECT_TRUE(created->subKeyNames().empty());

    // An installation that is not listed has been constructed all the same.
    IdeSetup invalid = IdeSetup::bds("Embarcadero", "36.0");
    invalid.userSettings = false;
    invalid.createApp = false;
    add(invalid);
    TIdeBorRADToolInstallations again;
    EXPECT_EQ(again.Count(), 1);
    EXPECT_TRUE(registry.keyExists(RegRoot::CurrentUser, "SOFTWARE\\Embarcadero\\BDS\\36.0"));
}

TEST_F(DiscoveryTest, EnvOptionsFileNameFollowsTheRelease)
{
    const std::string appData = "C:\\users\\ana\\AppData\\Roaming\\";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"5.0", appData + "Borland\\BDS\\5.0\\EnvOptions.proj"},
        {"6.0", appData + "CodeGear\\BDS\\6.0\\EnvOptions.proj"},
        {"7.0", appData + "CodeGear\\BDS\\7.0\\EnvOptions.proj"},
        {"8.0", appData + "Embarcadero\\BDS\\8.0\\EnvOptions.proj"},
        {"37.0", appData + "Embarcadero\\BDS\\37.0\\EnvOptions.proj"},
    };
    for (const auto& [version, file] : cases) {
        auto d = TIdeBDSInstallation::Create("\\SOFTWARE\\Embarcadero\\BDS\\" + version);
        EXPECT_EQ(d->EnvOptionsFileName(), file);
        EXPECT_EQ(d->EnvironmentProjFileName(), file.substr(0, file.rfind('\\')) + "\\environment.proj");
    }
    auto old = TIdeBDSInstallation::Create("\\SOFTWARE\\Borland\\BDS\\4.0");
    try {
        old->EnvOptionsFileName();
        FAIL() << "BDS 4 has no EnvOptions.proj";
    } catch (const EIdeBorRADException& e) {
        EXPECT_STREQ(e.what(), "MSBuild is not supported by this IDE");
    }

    // For another root the application-data folder is that root's shell folder value.
    prefix().setString(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                       "AppData", "D:\\Shared\\AppData");
    auto machine = TIdeBDSInstallation::Create("\\SOFTWARE\\Embarcadero\\BDS\\37.0", RegRoot::LocalMachine);
    EXPECT_EQ(machine->RootKey(), RegRoot::LocalMachine);
    EXPECT_EQ(machine->EnvOptionsFileName(), "D:\\Shared\\AppData\\Embarcadero\\BDS\\37.0\\EnvOptions.proj");
}

// Errors of the registry routines and of the classes.
TEST_F(DiscoveryTest, Errors)
{
    add(IdeSetup::delphi13());
    try {
        TIdeBDSInstallation::Create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Embarcadero\\BDS\\37.0");
        FAIL() << "a key of another root";
    } catch (const EIdeRegistryError& e) {
        EXPECT_STREQ(e.what(), "\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Embarcadero\\BDS\\37.0\" does not match RootKey");
    }
    try {
        TIdeBDSInstallation::Create("HKEY_CURRENT_USER\\SOFTWARE\\Embarcadero\\BDS\\37.0");
        FAIL() << "the machine-wide reads name another root";
    } catch (const EIdeRegistryError& e) {
        EXPECT_STREQ(e.what(),
                     "\"HKEY_CURRENT_USER\\SOFTWARE\\Embarcadero\\BDS\\37.0\\Globals\" does not match RootKey");
    }
    try {
        TIdeBorRADToolInstallation::Create("\\SOFTWARE\\Embarcadero\\BDS\\37.0");
        FAIL() << "the base class has no identity";
    } catch (const EAbstractError& e) {
        EXPECT_STREQ(e.what(), "Abstract Error");
    }

    TIdeBorRADToolInstallations all;
    ASSERT_EQ(all.Count(), 1);
    auto& d = *all.Installations(0);
    try {
        d.GetVclIncludeDir(bpWin32);
        FAIL() << "no body yet";
    } catch (const EIdeBorRADException& e) {
        EXPECT_STREQ(e.what(), "GetVclIncludeDir is not supported by this installation");
    }
    // A package source that is not there: the file error of the reader.
    EXPECT_THROW(d.InstallPackage("C:\\P.dpk", "C:\\Bpl", "C:\\Dcp"), platform::FileError);
}

TEST_F(DiscoveryTest, OutputCallbackIsStored)
{
    add(IdeSetup::delphi13());
    TIdeBorRADToolInstallations all;
    auto& d = *all.Installations(0);
    EXPECT_FALSE(d.OutputCallback());
    std::vector<std::string> lines;
    d.SetOutputCallback([&](const std::string& line) { lines.push_back(line); });
    d.OutputCallback()("Compiling package");
    EXPECT_EQ(lines, std::vector<std::string>{"Compiling package"});
}

// A registry whose one key exists but cannot be opened (access denied), as a key with a restrictive ACL is on
// Windows; everything else goes to the sandbox prefix.
class DenyingRegistry : public platform::Registry {
public:
    DenyingRegistry(platform::Registry& inner, RegRoot root, std::string path)
        : inner_(inner),
          root_(root),
          path_(std::move(path))
    {}
    std::unique_ptr<platform::RegistryKey> openKey(RegRoot root, std::string_view path, uint32_t access, bool create,
                                                   uint32_t* error) override
    {
        if (root == root_ && platform::equalsIgnoringAsciiCase(path, path_)) {
            if (error)
                *error = 5;
            return nullptr;
        }
        return inner_.openKey(root, path, access, create, error);
    }
    bool keyExists(RegRoot root, std::string_view path, uint32_t access) override
    {
        return inner_.keyExists(root, path, access);
    }
    bool deleteKey(RegRoot root, std::string_view path, uint32_t access) override
    {
        return inner_.deleteKey(root, path, access);
    }

private:
    platform::Registry& inner_;
    RegRoot root_;
    std::string path_;
};

class DenyingSystem : public platform::System {
public:
    DenyingSystem(platform::System& inner, RegRoot root, std::string path)
        : inner_(inner),
          registry_(inner.registry(), root, std::move(path))
    {}
    platform::Registry& registry() override { return registry_; }
    platform::FileSystem& files() override { return inner_.files(); }
    platform::Shell& shell() override { return inner_.shell(); }
    platform::Processes& processes() override { return inner_.processes(); }
    std::string description() const override { return inner_.description(); }

private:
    platform::System& inner_;
    DenyingRegistry registry_;
};

// A key that exists but cannot be read ends the enumeration with EIdeRegistryError, and the thread's registry
// view is what it was before.
TEST_F(DiscoveryTest, AnUnreadableKeyEndsTheEnumerationAndRestoresTheView)
{
    add(IdeSetup::delphi7());
    add(IdeSetup::delphi13());
    struct Case {
        RegRoot root;
        std::string path;
        std::string message;
    };
    const std::vector<Case> cases = {
        // Read by the scan itself (the personality test).
        {RegRoot::LocalMachine, "SOFTWARE\\Embarcadero\\BDS\\37.0\\Personalities",
         "Unable to open key \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Embarcadero\\BDS\\37.0\\Personalities\" for read"},
        // Read while an installation is constructed.
        {RegRoot::CurrentUser, "SOFTWARE\\Borland\\Delphi\\7.0",
         "Unable to open key \"HKEY_CURRENT_USER\\SOFTWARE\\Borland\\Delphi\\7.0\" for read"},
    };
    for (const auto& c : cases) {
        for (const bool before : {false, true}) {
            SCOPED_TRACE(c.path + (before ? ", view mode on before" : ""));
            DenyingSystem denying(sandbox_.system(), c.root, c.path);
            platform::ScopedCurrentSystem current(denying);
            platform::Registry::setThreadView32(before);
            try {
                TIdeBorRADToolInstallations all;
                ADD_FAILURE() << "the enumeration went on";
            } catch (const EIdeRegistryError& e) {
                EXPECT_EQ(e.what(), c.message);
            }
            EXPECT_EQ(platform::Registry::threadView32(), before);
            platform::Registry::setThreadView32(false);
        }
    }
}

} // namespace
