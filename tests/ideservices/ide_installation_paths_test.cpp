// Library paths, output folders and environment variables of installations found on sandbox prefixes: where
// each release keeps them, what adding a folder writes, and the installer's own sequence on the demo's Delphi 13.
#include "ideservices/ide_installation.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <tuple>

#include "ideservices/ide_errors.h"
#include "ideservices/ide_installations.h"
#include "ideservices/ide_library_paths.h"
#include "tests/support/sandbox_system.h"

using namespace tarvix;
using enum TIdeBorRADToolKind;
using enum TIdeBorPersonality;
using enum TIdeBDSPlatform;
using enum TCommandLineTool;
using platform::RegRoot;
using tools::IdeSetup;
using tools::RegisteredIde;
namespace KeyAccess = platform::KeyAccess;

namespace {

constexpr const char* kDestination = "C:\\Morvane\\TarvixComps\\D37";
constexpr const char* kUnknownPlatform = "This installation cannot generate binaries for an unknown platform";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr const char* kWin32Group = "<PropertyGroup Condition=\"'$(Platform)'=='Win32'\">";

// A sandbox prefix with IDEs registered in it and found by the enumeration, as the installer finds them.
class IdeSandbox {
public:
    tools::PrefixBuilder& prefix() { return sandbox_.builder(); }
    const RegisteredIde& ide() const { return ide_; }

    // Registers the IDE and returns the installation the enumeration made for it. Raises when it is not listed.
    TIdeBorRADToolInstallation& install(const IdeSetup& setup)
    {
        ide_ = prefix().registerIde(setup);
        all_ = std::make_unique<TIdeBorRADToolInstallations>();
        TIdeBorRADToolInstallation* found = nullptr;
        all_->Iterate([&](TIdeBorRADToolInstallation& i) {
            if (i.RootDir() == ide_.rootDir)
                found = &i;
            return found == nullptr;
        });
        if (!found)
            throw std::runtime_error("the IDE in " + ide_.rootDir + " was not listed");
        return *found;
    }
    TIdeBDSInstallation& installBds(const IdeSetup& setup)
    {
        return dynamic_cast<TIdeBDSInstallation&>(install(setup));
    }

    // A value of the IDE's per-user key (HKEY_CURRENT_USER\<key>\<section>); nullopt when missing.
    std::optional<std::string> userValue(std::string_view section, std::string_view name)
    {
        std::string path = ide_.machineKey;
        if (!section.empty())
            path += "\\" + std::string(section);
        auto key = platform::current().registry().openKey(RegRoot::CurrentUser, path, KeyAccess::Read, false);
        return key ? key->readString(name) : std::nullopt;
    }
    bool userKeyExists(std::string_view section)
    {
        return platform::current().registry().keyExists(RegRoot::CurrentUser,
                                                        ide_.machineKey + "\\" + std::string(section));
    }
    void setUserValue(std::string_view section, std::string_view name, std::string_view value)
    {
        prefix().setString(RegRoot::CurrentUser, ide_.machineKey + "\\" + std::string(section), name, value);
    }

    // Every value below the IDE's per-user key: "Section\Sub|Name" = value.
    std::map<std::string, platform::RegValue> userSnapshot()
    {
        std::map<std::string, platform::RegValue> values;
        collect(ide_.machineKey, "", values);
        return values;
    }

    std::string read(std::string_view windowsPath) { return platform::current().files().readFile(windowsPath); }
    bool exists(std::string_view windowsPath) { return platform::current().files().fileExists(windowsPath); }

private:
    void collect(const std::string& path, const std::string& relative, std::map<std::string, platform::RegValue>& out)
    {
        auto key = platform::current().registry().openKey(RegRoot::CurrentUser, path, KeyAccess::Read, false);
        if (!key)
            return;
        for (const std::string& name : key->valueNames())
            out[relative + "|" + name] = key->value(name).value();
        for (const std::string& sub : key->subKeyNames())
            collect(path + "\\" + sub, relative.empty() ? sub : relative + "\\" + sub, out);
    }

    test::SandboxSystem sandbox_;
    RegisteredIde ide_;
    std::unique_ptr<TIdeBorRADToolInstallations> all_;
};

// The EnvOptions.proj text after a save: the writer puts a byte-order mark and drops the XML declaration.
std::string AsSaved(std::string_view text)
{
    const std::size_t end = text.find("\r\n");
    return std::string(kUtf8Mark) + std::string(text.substr(end + 2));
}

// The text with the element Name inside the group that starts with GroupStart changed to NewText.
std::string WithElementText(std::string text, std::string_view groupStart, const std::string& name,
                            const std::string& newText)
{
    const std::size_t group = text.find(groupStart);
    const std::size_t open = text.find("<" + name + ">", group);
    const std::size_t close = text.find("</" + name + ">", open);
    if (group == std::string::npos || open == std::string::npos || close == std::string::npos)
        throw std::runtime_error("no element " + name);
    const std::size_t from = open + name.size() + 2;
    return text.replace(from, close - from, newText);
}

// An EnvOptions.proj with one unconditional group and a Win32 group holding the given properties.
std::string EnvOptionsWith(const tools::NameValues& win32, const tools::NameValues& general = {{"AutoSave", "1"}})
{
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                       "<Project xmlns=\"http://schemas.microsoft.com/developer/msbuild/2003\">\r\n"
                       "  <PropertyGroup>\r\n";
    for (const auto& [name, value] : general)
        text += "    <" + name + ">" + value + "</" + name + ">\r\n";
    text += "  </PropertyGroup>\r\n  " + std::string(kWin32Group) + "\r\n";
    for (const auto& [name, value] : win32)
        text += "    <" + name + ">" + value + "</" + name + ">\r\n";
    text += "  </PropertyGroup>\r\n</Project>\r\n";
    return text;
}

// --- The installer's sequence on the demo's Delphi 13 -------------------------------------------------------------

TEST(DemoPrefixLibraryPaths, AreReadAndExtendedInTheRegistryAndInEnvOptions)
{
    IdeSandbox s;
    s.prefix().registerIde(IdeSetup::delphi7());                     // another IDE on the machine stays untouched
    TIdeBorRADToolInstallation& d = s.install(IdeSetup::delphi13()); // what tarvix-demo-prefix registers
    ASSERT_EQ(d.IDEVersionNumberStr(), "d37");
    const std::string root = d.RootDir();
    const std::string common = "C:\\users\\Public\\Documents\\Embarcadero\\Studio\\37.0";
    const std::string userDir = "C:\\users\\ana\\Documents\\Embarcadero\\Studio\\37.0";
    const std::string envOptions = "C:\\users\\ana\\AppData\\Roaming\\Embarcadero\\BDS\\37.0\\EnvOptions.proj";
    s.prefix().makeFolder(kDestination);

    // What the compile step reads.
    EXPECT_EQ(d.GetLibFolderName(bpWin32), root + "\\lib\\Win32\\release\\");
    const std::string searchBefore = root + "\\lib\\Win32\\release;" + userDir + "\\Imports;" + root + "\\Imports;" +
                                     common + "\\Dcp;" + root + "\\include";
    EXPECT_EQ(d.GetLibrarySearchPath(bpWin32), searchBefore);
    EXPECT_EQ(d.GetBPLOutputPath(bpWin32), common + "\\Bpl");
    EXPECT_EQ(d.GetDCPOutputPath(bpWin32), common + "\\Dcp");

    const std::string fileBefore = s.read(envOptions);
    auto registryBefore = s.userSnapshot();
    std::map<std::string, platform::RegValue> otherIdeBefore;
    {
        auto delphi7 = platform::current().registry().openKey(
            RegRoot::CurrentUser, "SOFTWARE\\Borland\\Delphi\\7.0\\Library", KeyAccess::Read, false);
        ASSERT_NE(delphi7, nullptr);
        for (const auto& name : delphi7->valueNames())
            otherIdeBefore[name] = *delphi7->value(name);
    }

    // What the registration step writes.
    EXPECT_TRUE(d.AddToLibraryBrowsingPath(kDestination, bpWin32));
    EXPECT_TRUE(d.AddToLibrarySearchPath(kDestination, bpWin32));
    EXPECT_TRUE(d.AddToDebugDCUPath(kDestination, bpWin32));

    // Exactly the three registry values changed, each to the file's raw text with the folder appended.
    const std::string rawSearch = "$(BDSLIB)\\$(Platform)\\release;$(BDSUSERDIR)\\Imports;$(BDS)\\Imports;"
                                  "$(BDSCOMMONDIR)\\Dcp;$(BDS)\\include";
    const std::string rawBrowsing = "$(BDS)\\OCX\\Servers;$(BDS)\\SOURCE\\VCL;$(BDS)\\source\\rtl\\common;"
                                    "$(BDS)\\SOURCE\\RTL\\SYS;$(BDS)\\source\\rtl\\win;$(BDS)\\source\\ToolsAPI";
    const std::string rawDebug = "$(BDSLIB)\\$(Platform)\\debug";
    const std::string tail = std::string(";") + kDestination;
    const std::map<std::string, std::string> expectedChanges = {
        {"Library\\Win32|Browsing Path", rawBrowsing + tail},
        {"Library\\Win32|Debug DCU Path", rawDebug + tail},
        {"Library\\Win32|Search Path", rawSearch + tail},
    };
    const auto registryAfter = s.userSnapshot();
    std::map<std::string, std::string> changes;
    for (const auto& [name, value] : registryAfter) {
        const auto before = registryBefore.find(name);
        if (before == registryBefore.end() || !(before->second == value)) {
            EXPECT_EQ(value.type, platform::RegType::Sz) << name;
            changes[name] = value.asString();
        }
    }
    EXPECT_EQ(changes, expectedChanges);
    EXPECT_EQ(registryAfter.size(), registryBefore.size()) << "no value removed or added";
    {
        auto delphi7 = platform::current().registry().openKey(
            RegRoot::CurrentUser, "SOFTWARE\\Borland\\Delphi\\7.0\\Library", KeyAccess::Read, false);
        std::map<std::string, platform::RegValue> otherIdeAfter;
        for (const auto& name : delphi7->valueNames())
            otherIdeAfter[name] = *delphi7->value(name);
        EXPECT_EQ(otherIdeAfter, otherIdeBefore);
    }

    // The file: the three properties of the Win32 group and nothing else.
    std::string expected = AsSaved(fileBefore);
    expected = WithElementText(expected, kWin32Group, "DelphiLibraryPath", rawSearch + tail);
    expected = WithElementText(expected, kWin32Group, "DelphiBrowsingPath", rawBrowsing + tail);
    expected = WithElementText(expected, kWin32Group, "DelphiDebugDCUPath", rawDebug + tail);
    EXPECT_EQ(s.read(envOptions), expected);
    EXPECT_FALSE(s.exists(envOptions + ".bak"));

    // Read back, evaluated; a second installation over the first adds nothing.
    EXPECT_EQ(d.GetLibrarySearchPath(bpWin32), searchBefore + tail);
    EXPECT_EQ(d.GetDebugDCUPath(bpWin32), root + "\\lib\\Win32\\debug" + tail);
    EXPECT_TRUE(d.AddToLibrarySearchPath("c:\\morvane\\tarvixcomps\\d37", bpWin32));
    EXPECT_EQ(d.GetRawLibrarySearchPath(bpWin32), rawSearch + tail);
}

// --- Where each release keeps its paths ---------------------------------------------------------------------------

struct Release {
    const char* what;
    std::function<IdeSetup()> setup;
    const char* section;      // registry section of "Search Path" and "Browsing Path"
    const char* debugSection; // and of the debug DCU path
    const char* debugValue;
    std::vector<const char*>
        properties; // search, browsing and debug properties of EnvOptions.proj; none: registry only
};

const std::vector<Release>& Releases()
{
    static const std::vector<Release> releases = {
        {"Delphi 7", [] { return IdeSetup::delphi7(); }, "Library", "Debugging", "Debug DCUs Path", {}},
        {"C++Builder 6", [] { return IdeSetup::cppBuilder6(); }, "Library", "Debugging", "Debug DCUs Path", {}},
        {"BDS 2 (Delphi 8)",
         [] { return IdeSetup::bds("Borland", "2.0"); },
         "Library",
         "Library",
         "Debug DCU Path",
         {}},
        {"BDS 4 (2006)", [] { return IdeSetup::bds("Borland", "4.0"); }, "Library", "Library", "Debug DCU Path", {}},
        {"BDS 5 (2007)",
         [] { return IdeSetup::bds("Borland", "5.0"); },
         "Library",
         "Library",
         "Debug DCU Path",
         {"Win32LibraryPath", "Win32BrowsingPath", "Win32DebugDCUPath"}},
        {"BDS 7 (2010)",
         [] { return IdeSetup::bds("CodeGear", "7.0"); },
         "Library",
         "Library",
         "Debug DCU Path",
         {"Win32LibraryPath", "Win32BrowsingPath", "Win32DebugDCUPath"}},
        {"BDS 8 (XE)",
         [] { return IdeSetup::bds("Embarcadero", "8.0"); },
         "Library",
         "Library",
         "Debug DCU Path",
         {"DelphiLibraryPath", "DelphiBrowsingPath", "DelphiDebugDCUPath"}},
        {"BDS 9 (XE2)",
         [] { return IdeSetup::bds("Embarcadero", "9.0"); },
         "Library\\Win32",
         "Library\\Win32",
         "Debug DCU Path",
         {"DelphiLibraryPath", "DelphiBrowsingPath", "DelphiDebugDCUPath"}},
        {"BDS 37 (13)",
         [] { return IdeSetup::delphi13(); },
         "Library\\Win32",
         "Library\\Win32",
         "Debug DCU Path",
         {"DelphiLibraryPath", "DelphiBrowsingPath", "DelphiDebugDCUPath"}},
    };
    return releases;
}

TEST(ReleasePaths, AddingAFolderWritesTheStoresOfTheRelease)
{
    for (const Release& r : Releases()) {
        SCOPED_TRACE(r.what);
        IdeSandbox s;
        TIdeBorRADToolInstallation& d = s.install(r.setup());
        s.prefix().makeFolder(kDestination);
        const bool inFile = !r.properties.empty();
        const std::string search = d.GetRawLibrarySearchPath(bpWin32);
        const std::string browsing = d.GetRawLibraryBrowsingPath(bpWin32);
        const std::string debug = d.GetRawDebugDCUPath(bpWin32);
        ASSERT_FALSE(search.empty());
        ASSERT_FALSE(browsing.empty());
        ASSERT_FALSE(debug.empty());
        if (inFile) {
            auto& bds = dynamic_cast<TIdeBDSInstallation&>(d);
            EXPECT_EQ(search, bds.ReadEnvOption(r.properties[0], bpWin32, true)) << "the file is read first";
        } else {
            EXPECT_EQ(search, s.userValue(r.section, "Search Path"));
            EXPECT_EQ(debug, s.userValue(r.debugSection, r.debugValue));
        }

        ASSERT_TRUE(d.AddToLibrarySearchPath(kDestination, bpWin32));
        ASSERT_TRUE(d.AddToLibraryBrowsingPath(kDestination, bpWin32));
        ASSERT_TRUE(d.AddToDebugDCUPath(kDestination, bpWin32));
        const std::string tail = std::string(";") + kDestination;
        EXPECT_EQ(s.userValue(r.section, "Search Path"), search + tail);
        EXPECT_EQ(s.userValue(r.section, "Browsing Path"), browsing + tail);
        EXPECT_EQ(s.userValue(r.debugSection, r.debugValue), debug + tail);
        EXPECT_EQ(d.GetRawLibrarySearchPath(bpWin32), search + tail);
        EXPECT_EQ(d.GetRawLibraryBrowsingPath(bpWin32), browsing + tail);
        EXPECT_EQ(d.GetRawDebugDCUPath(bpWin32), debug + tail);
        if (inFile) {
            auto& bds = dynamic_cast<TIdeBDSInstallation&>(d);
            EXPECT_EQ(bds.ReadEnvOption(r.properties[0], bpWin32, true), search + tail);
            EXPECT_EQ(bds.ReadEnvOption(r.properties[1], bpWin32, true), browsing + tail);
            EXPECT_EQ(bds.ReadEnvOption(r.properties[2], bpWin32, true), debug + tail);
            EXPECT_FALSE(s.exists(s.ide().envOptionsFile + ".bak"));
        } else if (d.RadToolKind() == brBorlandDevStudio) {
            EXPECT_FALSE(s.exists(s.ide().userDataDir + "\\EnvOptions.proj"));
        }
        if (std::string_view(r.section) == "Library") {
            EXPECT_FALSE(s.userKeyExists("Library\\Win32")) << "releases without platforms have one section";
        }
    }
}

TEST(ReleasePaths, OutputFoldersAndEvaluatedPathsByRelease)
{
    struct Case {
        const char* what;
        std::function<IdeSetup()> setup;
        // From the registered IDE's folders: BPL output, DCP output, evaluated search path.
        std::function<std::array<std::string, 3>(const RegisteredIde&)> expected;
    };
    const std::string docs = "C:\\users\\ana\\Documents";
    const std::string publicDocs = "C:\\users\\Public\\Documents";
    const std::vector<Case> cases = {
        {"Delphi 7", [] { return IdeSetup::delphi7(); },
         [](const RegisteredIde& i) {
             return std::array<std::string, 3>{
                 i.rootDir + "\\Projects\\Bpl", i.rootDir + "\\Projects\\Bpl",
                 "$(DELPHI)\\Lib;$(DELPHI)\\Bin;$(DELPHI)\\Imports;$(DELPHI)\\Projects\\Bpl"};
         }},
        {"C++Builder 6", [] { return IdeSetup::cppBuilder6(); },
         [](const RegisteredIde& i) {
             return std::array<std::string, 3>{i.rootDir + "\\Projects\\Bpl", i.rootDir + "\\Projects\\Bpl",
                                               "$(BCB)\\Lib;$(BCB)\\Bin;$(BCB)\\Imports;$(BCB)\\Projects\\Bpl"};
         }},
        {"BDS 2 (Delphi 8)", [] { return IdeSetup::bds("Borland", "2.0"); },
         [&](const RegisteredIde& i) {
             return std::array<std::string, 3>{docs + "\\Borland Studio Projects\\bpl", i.rootDir + "\\lib",
                                               "$(BDS)\\lib;$(BDS)\\Imports;$(BDS)\\Lib\\Indy10;$(BDSCOMMONDIR)\\Dcp"};
         }},
        {"BDS 4 (2006)", [] { return IdeSetup::bds("Borland", "4.0"); },
         [&](const RegisteredIde&) {
             return std::array<std::string, 3>{publicDocs + "\\Borland Studio Projects\\Bpl",
                                               publicDocs + "\\Borland Studio Projects\\Dcp",
                                               "$(BDS)\\lib;$(BDS)\\Imports;$(BDS)\\Lib\\Indy10;$(BDSCOMMONDIR)\\Dcp"};
         }},
        {"BDS 5 (2007)", [] { return IdeSetup::bds("Borland", "5.0"); },
         [&](const RegisteredIde& i) {
             return std::array<std::string, 3>{i.commonDir + "\\Bpl", i.commonDir + "\\Dcp",
                                               i.rootDir + "\\lib;" + i.rootDir + "\\Imports;" + i.commonDir + "\\Dcp"};
         }},
        {"BDS 8 (XE)", [] { return IdeSetup::bds("Embarcadero", "8.0"); },
         [&](const RegisteredIde& i) {
             return std::array<std::string, 3>{i.commonDir + "\\Bpl", i.commonDir + "\\Dcp",
                                               i.rootDir + "\\lib\\release;" + i.userDir + "\\Imports;" + i.rootDir +
                                                   "\\Imports;" + i.commonDir + "\\Dcp;" + i.rootDir + "\\include"};
         }},
        {"BDS 37 (13)", [] { return IdeSetup::delphi13(); },
         [&](const RegisteredIde& i) {
             return std::array<std::string, 3>{i.commonDir + "\\Bpl", i.commonDir + "\\Dcp",
                                               i.rootDir + "\\lib\\Win32\\release;" + i.userDir + "\\Imports;" +
                                                   i.rootDir + "\\Imports;" + i.commonDir + "\\Dcp;" + i.rootDir +
                                                   "\\include"};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IdeSandbox s;
        TIdeBorRADToolInstallation& d = s.install(c.setup());
        const auto expected = c.expected(s.ide());
        EXPECT_EQ(d.GetBPLOutputPath(bpWin32), expected[0]);
        EXPECT_EQ(d.GetDCPOutputPath(bpWin32), expected[1]);
        EXPECT_EQ(d.GetLibrarySearchPath(bpWin32), expected[2]);
    }
}

TEST(ReleasePaths, BplOutputPrefersTheCppBuilderFolderAndEachPlatformHasItsOwn)
{
    struct Case {
        const char* what;
        tools::NameValues win32;
        const char* bpl;
        const char* dcp;
    };
    const std::vector<Case> cases = {
        {"both",
         {{"CBuilderBPLOutputPath", "C:\\Cpp\\Bpl"},
          {"DelphiDLLOutputPath", "C:\\D\\Bpl"},
          {"DelphiDCPOutput", "C:\\D\\Dcp"}},
         "C:\\Cpp\\Bpl",
         "C:\\D\\Dcp"},
        {"Delphi only",
         {{"DelphiDLLOutputPath", "$(BDS)\\Bpl\\$(Platform)"}, {"DelphiDCPOutput", "$(BDS)\\Dcp"}},
         "<root>\\Bpl\\Win32",
         "<root>\\Dcp"},
        {"an empty C++ folder counts as none",
         {{"CBuilderBPLOutputPath", ""}, {"DelphiDLLOutputPath", "C:\\D\\Bpl"}},
         "C:\\D\\Bpl",
         ""},
        {"neither: empty, no registry fallback", {}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IdeSandbox s;
        IdeSetup setup = IdeSetup::delphi13();
        setup.envOptionsText = EnvOptionsWith(c.win32);
        TIdeBorRADToolInstallation& d = s.install(setup);
        auto withRoot = [&](std::string text) {
            const auto at = text.find("<root>");
            return at == std::string::npos ? text : text.replace(at, 6, s.ide().rootDir);
        };
        EXPECT_EQ(d.GetBPLOutputPath(bpWin32), withRoot(c.bpl));
        EXPECT_EQ(d.GetDCPOutputPath(bpWin32), withRoot(c.dcp));
    }
    // The generated file's Win64 group names the platform's own folders.
    IdeSandbox s;
    TIdeBorRADToolInstallation& d = s.install(IdeSetup::delphi13());
    EXPECT_EQ(d.GetBPLOutputPath(bpWin64), s.ide().commonDir + "\\Bpl\\Win64");
    EXPECT_EQ(d.GetDCPOutputPath(bpWin64), s.ide().commonDir + "\\Dcp\\Win64");
}

TEST(ReleasePaths, LibFoldersUnderTheRoot)
{
    struct Case {
        const char* what;
        std::function<IdeSetup()> setup;
        TIdeBDSPlatform platform;
        const char* lib;
        const char* debug;
    };
    const std::vector<Case> cases = {
        {"Delphi 13, Win32", [] { return IdeSetup::delphi13(); }, bpWin32, "C:\\IDE\\lib\\Win32\\release\\",
         "C:\\IDE\\lib\\Win32\\debug\\"},
        {"Delphi 13, Win64", [] { return IdeSetup::delphi13(); }, bpWin64, "C:\\IDE\\lib\\Win64\\release\\",
         "C:\\IDE\\lib\\Win64\\debug\\"},
        {"Delphi 13, Linux64", [] { return IdeSetup::delphi13(); }, bpLinux64, "C:\\IDE\\lib\\Linux64\\release\\",
         "C:\\IDE\\lib\\Linux64\\debug\\"},
        {"BDS 8", [] { return IdeSetup::bds("Embarcadero", "8.0"); }, bpWin32, "C:\\IDE\\lib\\Win32\\release\\",
         "C:\\IDE\\lib\\Win32\\debug\\"},
        {"BDS 7", [] { return IdeSetup::bds("CodeGear", "7.0"); }, bpWin32, "C:\\IDE\\lib\\", "C:\\IDE\\lib\\debug\\"},
        {"Delphi 7", [] { return IdeSetup::delphi7(); }, bpWin32, "C:\\IDE\\lib\\", "C:\\IDE\\lib\\debug\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IdeSandbox s;
        IdeSetup setup = c.setup();
        setup.rootDir = "C:\\IDE\\";
        TIdeBorRADToolInstallation& d = s.install(setup);
        EXPECT_EQ(d.GetLibFolderName(c.platform), c.lib);
        EXPECT_EQ(d.GetLibDebugFolderName(c.platform), c.debug);
        EXPECT_EQ(d.GetObjFolderName(c.platform), "") << "no obj folder yet";
        s.prefix().makeFolder(std::string(c.lib) + "obj");
        EXPECT_EQ(d.GetObjFolderName(c.platform), std::string(c.lib) + "obj\\");
        EXPECT_THROW(d.GetLibFolderName(bpOSX32), EIdeBorRADException);
    }
}

// --- Delphi 13: the cases around adding ---------------------------------------------------------------------------

class Delphi13Paths : public ::testing::Test {
protected:
    TIdeBDSInstallation& install(IdeSetup setup = IdeSetup::delphi13()) { return s_.installBds(setup); }
    std::string envOptions() { return s_.read(s_.ide().envOptionsFile); }
    IdeSandbox s_;
};

TEST_F(Delphi13Paths, AFolderPresentInAnotherCaseLeavesTheTextButRewritesBothStores)
{
    IdeSetup setup = IdeSetup::delphi13();
    setup.envOptionsText = EnvOptionsWith({{"DelphiLibraryPath", "$(BDSLIB)\\$(Platform)\\release;c:\\lib"}});
    TIdeBDSInstallation& d = install(setup);
    s_.prefix().makeFolder("C:\\Lib");
    s_.setUserValue("Library\\Win32", "Search Path", "stale");
    const std::string before = envOptions();

    EXPECT_TRUE(d.AddToLibrarySearchPath("C:\\Lib", bpWin32));
    EXPECT_EQ(s_.userValue("Library\\Win32", "Search Path"), "$(BDSLIB)\\$(Platform)\\release;c:\\lib");
    EXPECT_EQ(envOptions(), AsSaved(before)) << "rewritten by the writer, with the same property text";
}

TEST_F(Delphi13Paths, OfTwoFoldersOnlyTheMissingOneIsAppended)
{
    IdeSetup setup = IdeSetup::delphi13();
    setup.envOptionsText = EnvOptionsWith({{"DelphiBrowsingPath", "$(BDS)\\source;C:\\B"}});
    TIdeBDSInstallation& d = install(setup);
    EXPECT_TRUE(d.AddToLibraryBrowsingPath("C:\\A;C:\\B", bpWin32));
    EXPECT_EQ(d.GetRawLibraryBrowsingPath(bpWin32), "$(BDS)\\source;C:\\B;C:\\A");
    EXPECT_EQ(s_.userValue("Library\\Win32", "Browsing Path"), "$(BDS)\\source;C:\\B;C:\\A");
}

TEST(RegistryFallback, WithoutThePropertyTheRegistryStandsInAndTheSetterCreatesTheElement)
{
    // BDS 8 has no platforms: its registry copy is the one section the setter writes too.
    const std::vector<std::tuple<const char*, std::function<IdeSetup()>, const char*>> releases = {
        {"BDS 37 (13)", [] { return IdeSetup::delphi13(); }, "Library\\Win32"},
        {"BDS 8 (XE)", [] { return IdeSetup::bds("Embarcadero", "8.0"); }, "Library"},
    };
    for (const auto& [what, makeSpec, section] : releases) {
        SCOPED_TRACE(what);
        IdeSandbox s;
        IdeSetup setup = makeSpec();
        setup.envOptionsText = EnvOptionsWith({{"DelphiDCPOutput", "C:\\Dcp"}});
        TIdeBorRADToolInstallation& d = s.install(setup);
        s.setUserValue(section, "Search Path", "$(BDS)\\lib;C:\\Reg");
        const std::string before = s.read(s.ide().envOptionsFile);

        EXPECT_EQ(d.GetRawLibrarySearchPath(bpWin32), "$(BDS)\\lib;C:\\Reg");
        EXPECT_EQ(d.GetLibrarySearchPath(bpWin32), "$(BDS)\\lib;C:\\Reg") << "a registry value is returned as stored";
        EXPECT_TRUE(d.AddToLibrarySearchPath(kDestination, bpWin32));

        const std::string merged = std::string("$(BDS)\\lib;C:\\Reg;") + kDestination;
        EXPECT_EQ(s.userValue(section, "Search Path"), merged);
        std::string expected = AsSaved(before);
        const std::string firstGroupEnd = "    <AutoSave>1</AutoSave>\r\n";
        expected.insert(expected.find(firstGroupEnd) + firstGroupEnd.size(),
                        "    <DelphiLibraryPath>" + merged + "</DelphiLibraryPath>\r\n");
        EXPECT_EQ(s.read(s.ide().envOptionsFile), expected) << "a new element in the first property group";
        EXPECT_EQ(d.GetRawLibrarySearchPath(bpWin32), merged);
        EXPECT_EQ(d.GetLibrarySearchPath(bpWin32), s.ide().rootDir + "\\lib;C:\\Reg;" + kDestination);
    }
}

TEST_F(Delphi13Paths, AnEmptyFolderAddsNothingAndWritesNothing)
{
    TIdeBDSInstallation& d = install();
    const std::string file = envOptions();
    const auto registry = s_.userSnapshot();
    EXPECT_FALSE(d.AddToLibrarySearchPath("", bpWin32));
    EXPECT_FALSE(d.AddToLibraryBrowsingPath("", bpWin32));
    EXPECT_FALSE(d.AddToDebugDCUPath("", bpWin32));
    EXPECT_EQ(envOptions(), file);
    EXPECT_EQ(s_.userSnapshot(), registry);
}

TEST_F(Delphi13Paths, APlatformWithoutItsPersonalityRaisesBeforeAnythingIsWritten)
{
    IdeSetup setup = IdeSetup::delphi13();
    setup.binFiles = {"dcc32.exe"}; // no dcc64.exe: no bpDelphi64, and no C++ personality
    TIdeBDSInstallation& d = install(setup);
    ASSERT_FALSE(d.Personalities().Contains(bpDelphi64));
    const std::string file = envOptions();
    const auto registry = s_.userSnapshot();
    const std::vector<std::pair<const char*, std::function<void()>>> calls = {
        {"AddToLibrarySearchPath", [&] { d.AddToLibrarySearchPath(kDestination, bpWin64); }},
        {"AddToLibraryBrowsingPath", [&] { d.AddToLibraryBrowsingPath(kDestination, bpWin64); }},
        {"AddToDebugDCUPath", [&] { d.AddToDebugDCUPath(kDestination, bpWin64); }},
        {"AddToLibrarySearchPath with no folder", [&] { d.AddToLibrarySearchPath("", bpWin64); }},
        {"SetRawLibrarySearchPath", [&] { d.SetRawLibrarySearchPath(bpWin64, "x"); }},
        {"GetRawLibrarySearchPath", [&] { d.GetRawLibrarySearchPath(bpWin64); }},
        {"GetBPLOutputPath", [&] { d.GetBPLOutputPath(bpWin64); }},
        {"GetDCPOutputPath", [&] { d.GetDCPOutputPath(bpWin64); }},
        {"GetLibFolderName", [&] { d.GetLibFolderName(bpWin64); }},
        {"GetObjFolderName", [&] { d.GetObjFolderName(bpWin64x); }},
        {"AddToLibraryBrowsingPath for Win32c", [&] { d.AddToLibraryBrowsingPath(kDestination, bpWin32c); }},
    };
    for (const auto& [what, call] : calls) {
        try {
            call();
            ADD_FAILURE() << what << " did not raise";
        } catch (const EIdeBorRADException& e) {
            EXPECT_STREQ(e.what(), kUnknownPlatform) << what;
        }
    }
    EXPECT_EQ(envOptions(), file);
    EXPECT_EQ(s_.userSnapshot(), registry);
    EXPECT_TRUE(d.AddToLibrarySearchPath(kDestination, bpWin32)) << "Win32 is there";
}

TEST_F(Delphi13Paths, TheBrowsingPathIsRepeatedForTheCppCompilersPlatforms)
{
    IdeSetup setup = IdeSetup::delphi13();
    setup.personalities = {{"Delphi.Win32", "Delphi"}, {"BCB", "C++Builder"}};
    setup.binFiles.push_back("bcc32c.exe");
    setup.bin64Files = {"bcc64x.exe"};
    TIdeBDSInstallation& d = install(setup);
    ASSERT_TRUE(d.CommandLineTools().Contains(clBcc32c));
    ASSERT_TRUE(d.CommandLineTools().Contains(clBcc64x));

    // Win32c shares Win32's name: the repeat finds the folder there and writes the same text again.
    const std::string win32 = d.GetRawLibraryBrowsingPath(bpWin32);
    EXPECT_TRUE(d.AddToLibraryBrowsingPath(kDestination, bpWin32));
    EXPECT_EQ(d.GetRawLibraryBrowsingPath(bpWin32), win32 + ";" + kDestination);
    EXPECT_EQ(s_.userValue("Library\\Win32", "Browsing Path"), win32 + ";" + kDestination);

    // Win64x gets the folders of its own platform.
    const std::string win64 = d.GetRawLibraryBrowsingPath(bpWin64);
    EXPECT_TRUE(d.AddToLibraryBrowsingPath("C:\\Comps\\Win64\\Release;C:\\Comps\\Win64x\\Release", bpWin64));
    EXPECT_EQ(d.GetRawLibraryBrowsingPath(bpWin64), win64 + ";C:\\Comps\\Win64\\Release;C:\\Comps\\Win64x\\Release");
    EXPECT_EQ(s_.userValue("Library\\Win64x", "Browsing Path"), "C:\\Comps\\win64x\\Release");
    EXPECT_EQ(d.ReadEnvOption("DelphiBrowsingPath", bpWin64x, true), "C:\\Comps\\win64x\\Release");
    // The search and debug paths are not repeated.
    EXPECT_TRUE(d.AddToLibrarySearchPath("C:\\Comps\\Win64\\Release", bpWin64));
    EXPECT_FALSE(s_.userValue("Library\\Win64x", "Search Path").has_value());
}

TEST_F(Delphi13Paths, RemovingFoldersIsNotSupported)
{
    TIdeBDSInstallation& d = install();
    try {
        d.RemoveFromLibrarySearchPath(kDestination, bpWin32);
        ADD_FAILURE();
    } catch (const EIdeBorRADException& e) {
        EXPECT_STREQ(e.what(), "RemoveFromLibrarySearchPath is not supported by this installation");
    }
    EXPECT_THROW(d.RemoveFromLibraryBrowsingPath(kDestination, bpWin32), EIdeBorRADException);
    EXPECT_THROW(d.RemoveFromDebugDCUPath(kDestination, bpWin32), EIdeBorRADException);
}

// --- ReadEnvOption and WriteEnvOption -----------------------------------------------------------------------------

TEST(EnvOptionOfInstallation, ReadsEvaluatedAndRawValuesForThePlatform)
{
    IdeSandbox s;
    TIdeBDSInstallation& d = s.installBds(IdeSetup::delphi13());
    EXPECT_EQ(d.ReadEnvOption("DelphiDebugDCUPath", bpWin32, true), "$(BDSLIB)\\$(Platform)\\debug");
    EXPECT_EQ(d.ReadEnvOption("DelphiDebugDCUPath", bpWin32), s.ide().rootDir + "\\lib\\Win32\\debug");
    EXPECT_EQ(d.ReadEnvOption("DelphiDebugDCUPath", bpLinux64), s.ide().rootDir + "\\lib\\Linux64\\debug");
    EXPECT_EQ(d.ReadEnvOption("BDSCOMMONDIR", bpWin32), s.ide().commonDir) << "from environment.proj";
    EXPECT_EQ(d.ReadEnvOption("BDSCOMMONDIR", bpWin32, true), "");
    EXPECT_EQ(d.ReadEnvOption("NoSuchProperty", bpWin32), "");

    d.WriteEnvOption("DelphiDebugDCUPath", "C:\\Debug", bpLinux64);
    EXPECT_EQ(d.ReadEnvOption("DelphiDebugDCUPath", bpLinux64), "C:\\Debug");
    EXPECT_EQ(d.ReadEnvOption("DelphiDebugDCUPath", bpWin32, true), "$(BDSLIB)\\$(Platform)\\debug");
    EXPECT_FALSE(s.exists(s.ide().envOptionsFile + ".bak"));
}

TEST(EnvOptionOfInstallation, BdsXeHasNoPlatformProperty)
{
    IdeSandbox s;
    IdeSetup setup = IdeSetup::bds("Embarcadero", "8.0");
    setup.envOptionsText = EnvOptionsWith({{"DelphiLibraryPath", "C:\\ForWin32"}}, {{"DelphiLibraryPath", "C:\\All"}});
    TIdeBDSInstallation& d = s.installBds(setup);
    EXPECT_FALSE(d.SupportsPlatform());
    EXPECT_EQ(d.ReadEnvOption("DelphiLibraryPath", bpWin32), "C:\\All");
    EXPECT_EQ(d.GetLibrarySearchPath(bpWin32), "C:\\All");
}

TEST(EnvOptionOfInstallation, ReleasesBeforeBds5HaveNoMsBuildFile)
{
    IdeSandbox s;
    TIdeBDSInstallation& d = s.installBds(IdeSetup::bds("Borland", "4.0"));
    const std::string message = "Query of RsVars for Borland Developer Studio 4 reported the following error "
                                "\"MSBuild is not supported by this IDE\"";
    try {
        d.ReadEnvOption("DelphiLibraryPath", bpWin32, false);
        ADD_FAILURE();
    } catch (const EIdeBorRADException& e) {
        EXPECT_EQ(e.what(), message);
    }
    try {
        d.WriteEnvOption("DelphiLibraryPath", "x", bpWin32);
        ADD_FAILURE();
    } catch (const EIdeBorRADException& e) {
        EXPECT_EQ(e.what(), message);
    }
}

// --- Environment variables and SubstitutePath ---------------------------------------------------------------------

// Host variables of the test process, which the prefix's process environment includes.
class HostVariables {
public:
    void set(const char* name, const char* value)
    {
        ::setenv(name, value, 1);
        names_.push_back(name);
    }
    ~HostVariables()
    {
        for (const char* name : names_)
            ::unsetenv(name);
    }

private:
    std::vector<const char*> names_;
};

TEST(EnvironmentVariables, Delphi13ReadsRsvarsThenPutsTheProcessAndUserVariablesBack)
{
    HostVariables host;
    host.set("TARVIX_LP_BASE", "C:\\Base");
    host.set("TARVIX_LP_TOOLS", "%TARVIX_LP_BASE%\\tools");
    IdeSandbox s;
    IdeSetup setup = IdeSetup::delphi13();
    setup.userEnvironmentVariables = {{"TARVIXLIB", "$(BDS)\\tarvix"}, {"LANGDIR", "PT"}, {"TARVIX_LP_NONE", ""}};
    TIdeBDSInstallation& d = s.installBds(setup);
    // rsvars.bat names another common folder; the shell's folder is set aside first and put back over it.
    s.prefix().writeFile(s.ide().rsvarsFile, "@SET BDS=" + s.ide().rootDir +
                                                 "\r\n@SET BDSCOMMONDIR=C:\\Elsewhere\r\n@SET LANGDIR=EN\r\n"
                                                 "@SET FrameworkSDKDir=\r\nREM set NOT_SET=1\r\n");
    const TIdeNameValueList& vars = d.EnvironmentVariables();

    EXPECT_EQ(VariableValue(vars, "BDS"), s.ide().rootDir);
    EXPECT_EQ(VariableValue(vars, "BDSCOMMONDIR"), "C:\\users\\Public\\Documents\\Embarcadero\\Studio\\37.0");
    EXPECT_EQ(VariableValue(vars, "LANGDIR"), "PT") << "the user's variable wins over rsvars.bat";
    EXPECT_EQ(VariableValue(vars, "TARVIXLIB"), s.ide().rootDir + "\\tarvix") << "expanded against rsvars.bat";
    EXPECT_EQ(IndexOfVariable(vars, "TARVIX_LP_NONE"), -1) << "an empty user variable is no variable";
    ASSERT_GE(IndexOfVariable(vars, "FrameworkSDKDir"), 0);
    EXPECT_EQ(VariableValue(vars, "FrameworkSDKDir"), "");
    EXPECT_EQ(IndexOfVariable(vars, "NOT_SET"), -1);
    EXPECT_EQ(VariableValue(vars, "TARVIX_LP_TOOLS"), "C:\\Base\\tools") << "process values are expanded";
    for (const auto& [name, value] : vars)
        EXPECT_FALSE(name.empty());
    EXPECT_EQ(IndexOfVariable(vars, "BDS"), 0) << "rsvars.bat's variables come first";

    // Built once: later changes are not seen.
    s.setUserValue("Environment Variables", "LANGDIR", "DE");
    EXPECT_EQ(&d.EnvironmentVariables(), &vars);
    EXPECT_EQ(VariableValue(d.EnvironmentVariables(), "LANGDIR"), "PT");
}

TEST(EnvironmentVariables, WithoutACommonDocumentsFolderTheProcessNamesBdsCommonDir)
{
    for (const bool processHasIt : {true, false}) {
        SCOPED_TRACE(processHasIt);
        HostVariables host;
        if (processHasIt)
            host.set("BDSCOMMONDIR", "C:\\FromProcess");
        IdeSandbox s;
        TIdeBDSInstallation& d = s.installBds(IdeSetup::delphi13());
        for (const char* key : {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"}) {
            auto k = s.prefix().registry().openKey(RegRoot::LocalMachine, key, KeyAccess::AllAccess, false);
            if (k)
                k->deleteValue("Common Documents");
        }
        ASSERT_EQ(platform::current().shell().commonDocumentsFolder(), "");
        EXPECT_EQ(VariableValue(d.EnvironmentVariables(), "BDSCOMMONDIR"),
                  processHasIt ? "C:\\FromProcess" : s.ide().commonDir)
            << "else rsvars.bat's value stays";
    }
}

TEST(EnvironmentVariables, OtherReleasesAndClasses)
{
    HostVariables host;
    host.set("TARVIX_LP_BASE", "C:\\Base");
    struct Case {
        const char* what;
        std::function<IdeSetup()> setup;
        std::function<TIdeNameValueList(const RegisteredIde&)> expected; // variables that must have these values
        std::vector<const char*> absent;
    };
    const std::vector<Case> cases = {
        {"Delphi 7: DELPHI, and the user's variables (from version 6)",
         [] {
             IdeSetup setup = IdeSetup::delphi7();
             setup.userEnvironmentVariables = {{"MINE", "$(TARVIX_LP_BASE)\\mine"}};
             return setup;
         },
         [](const RegisteredIde& i) {
             return TIdeNameValueList{{"DELPHI", i.rootDir}, {"MINE", "C:\\Base\\mine"}};
         },
         {"BDS", "BCB"}},
        {"Delphi 5: no user variables",
         [] {
             IdeSetup setup = IdeSetup::delphi("5.0");
             setup.userEnvironmentVariables = {{"MINE", "x"}};
             return setup;
         },
         [](const RegisteredIde& i) {
             return TIdeNameValueList{{"DELPHI", i.rootDir}};
         },
         {"MINE"}},
        {"C++Builder 6: BCB",
         [] { return IdeSetup::cppBuilder6(); },
         [](const RegisteredIde& i) {
             return TIdeNameValueList{{"BCB", i.rootDir}};
         },
         {"DELPHI"}},
        {"BDS 4: BDS and the project folders",
         [] { return IdeSetup::bds("Borland", "4.0"); },
         [](const RegisteredIde& i) {
             return TIdeNameValueList{{"BDS", i.rootDir},
                                      {"BDSPROJECTSDIR", "C:\\users\\ana\\Documents\\Borland Studio Projects"},
                                      {"BDSCOMMONDIR", "C:\\users\\Public\\Documents\\Borland Studio Projects"}};
         },
         {"DELPHI"}},
        {"BDS 7: rsvars.bat, BDSCOMMONDIR under RAD Studio",
         [] {
             IdeSetup setup = IdeSetup::bds("CodeGear", "7.0");
             setup.userEnvironmentVariables = {{"MINE", "$(BDS)\\mine"}};
             return setup;
         },
         [](const RegisteredIde& i) {
             return TIdeNameValueList{{"BDS", i.rootDir},
                                      {"BDSCOMMONDIR", "C:\\users\\Public\\Documents\\RAD Studio\\7.0"},
                                      {"MINE", i.rootDir + "\\mine"}};
         },
         {"DELPHI"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IdeSandbox s;
        TIdeBorRADToolInstallation& d = s.install(c.setup());
        const TIdeNameValueList& vars = d.EnvironmentVariables();
        for (const auto& [name, value] : c.expected(s.ide()))
            EXPECT_EQ(VariableValue(vars, name), value) << name;
        for (const char* name : c.absent)
            EXPECT_EQ(IndexOfVariable(vars, name), -1) << name;
        EXPECT_EQ(VariableValue(vars, "TARVIX_LP_BASE"), "C:\\Base");
    }
    // A BDS 4 keeps what the process has.
    host.set("BDS", "C:\\FromProcess");
    IdeSandbox s;
    EXPECT_EQ(VariableValue(s.install(IdeSetup::bds("Borland", "4.0")).EnvironmentVariables(), "BDS"),
              "C:\\FromProcess");
}

TEST(EnvironmentVariables, SubstitutePathUsesThemAndCollapsesTheDoubledBackslash)
{
    IdeSandbox s;
    IdeSetup setup = IdeSetup::delphi13();
    setup.userEnvironmentVariables = {{"BDS", "C:\\IDE\\"}};
    TIdeBorRADToolInstallation& d = s.install(setup);
    EXPECT_EQ(d.SubstitutePath("$(BDS)\\bin"), "C:\\IDE\\bin");
    EXPECT_EQ(d.SubstitutePath("$(BDSCOMMONDIR)\\Bpl;$(bdsinclude)"),
              "C:\\users\\Public\\Documents\\Embarcadero\\Studio\\37.0\\Bpl;" + s.ide().rootDir + "\\include");
    EXPECT_EQ(d.SubstitutePath("$(Unknown)\\x"), "$(Unknown)\\x");
    EXPECT_EQ(d.SubstitutePath("C:\\a\\\\b"), "C:\\a\\b");

    std::vector<std::string> list = {"old"};
    d.ExtractPaths("a;;$(BDS)", list);
    EXPECT_EQ(list, (std::vector<std::string>{"a", "", "$(BDS)"}));
}

} // namespace
