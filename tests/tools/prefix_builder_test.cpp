// The sandbox prefix builder: the minimal prefix as the platform layer reads it, and IDEs registered where their
// installers put them.
#include "tools/prefix_builder.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <fstream>
#include <map>
#include <sstream>

#include "platform/errors.h"
#include "platform/wine/wine_prefix.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace tarvix;
using namespace tarvix::tools;
namespace KeyAccess = platform::KeyAccess;
using platform::RegRoot;

namespace {

std::string readHost(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::optional<std::string> readString(PrefixBuilder& prefix, RegRoot root, std::string_view key, std::string_view name,
                                      uint32_t view = 0)
{
    auto k = prefix.registry().openKey(root, key, KeyAccess::Read | view, false);
    if (!k)
        return std::nullopt;
    return k->readString(name);
}

// "@SET NAME=value" lines of rsvars.bat as a map.
std::map<std::string, std::string> rsvarsVariables(const std::string& text)
{
    std::map<std::string, std::string> vars;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        EXPECT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r') << "lines end in CR LF";
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        EXPECT_EQ(line.rfind("@SET ", 0), 0u) << line;
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            vars[line.substr(5, eq - 5)] = line.substr(eq + 1);
    }
    return vars;
}

class PrefixBuilderTest : public ::testing::Test {
protected:
    PrefixBuilder make(std::string arch = "win64")
    {
        PrefixOptions options;
        options.userName = "ana";
        options.arch = std::move(arch);
        return PrefixBuilder::create(temp_ / "prefix", options);
    }
    test::TempDir temp_;
};

TEST_F(PrefixBuilderTest, MinimalPrefixHasDrivesFoldersAndTheKeysTheInstallerReads)
{
    PrefixBuilder prefix = make();
    const fs::path dir = temp_ / "prefix";
    EXPECT_EQ(fs::read_symlink(dir / "dosdevices" / "c:"), fs::path("../drive_c"));
    EXPECT_EQ(fs::read_symlink(dir / "dosdevices" / "z:"), fs::path("/"));
    for (const char* hive : {"system.reg", "user.reg", "userdef.reg"})
        EXPECT_NE(readHost(dir / hive).find("#arch=win64\n"), std::string::npos) << hive;
    EXPECT_EQ(prefix.arch(), "win64");
    EXPECT_FALSE(prefix.madeByWine());

    EXPECT_EQ(prefix.userName(), "ana");
    EXPECT_EQ(prefix.appDataFolder(), "C:\\users\\ana\\AppData\\Roaming");
    EXPECT_EQ(prefix.documentsFolder(), "C:\\users\\ana\\Documents");
    EXPECT_EQ(prefix.commonDocumentsFolder(), "C:\\users\\Public\\Documents");
    EXPECT_EQ(prefix.programFiles32Folder(), "C:\\Program Files (x86)");
    EXPECT_EQ(prefix.tempFolder(), "C:\\users\\ana\\Temp");

    // What the shell and the IDE services read, through the registry layer.
    const std::string shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    EXPECT_EQ(readString(prefix, RegRoot::CurrentUser, shellFolders, "AppData"), "C:\\users\\ana\\AppData\\Roaming");
    EXPECT_EQ(readString(prefix, RegRoot::CurrentUser, shellFolders, "Personal"), "C:\\users\\ana\\Documents");
    EXPECT_EQ(readString(prefix, RegRoot::LocalMachine, shellFolders, "Common Documents"),
              "C:\\users\\Public\\Documents");
    EXPECT_EQ(readString(prefix, RegRoot::LocalMachine, shellFolders, "Common AppData"), "C:\\ProgramData");
    EXPECT_EQ(readString(prefix, RegRoot::CurrentUser, "Environment", "TEMP"), "C:\\users\\ana\\Temp");
    EXPECT_EQ(readString(prefix, RegRoot::CurrentUser, "Environment", "TMP"), "C:\\users\\ana\\Temp");
    EXPECT_EQ(readString(prefix, RegRoot::CurrentUser, "Volatile Environment", "USERPROFILE"), "C:\\users\\ana");
    EXPECT_EQ(readString(prefix, RegRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Nls\\Codepage", "ACP"),
              "1252");
    EXPECT_EQ(readString(prefix, RegRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Nls\\Codepage", "OEMCP"),
              "437");
    EXPECT_EQ(
        readString(prefix, RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"),
        "C:\\Program Files");
    EXPECT_EQ(readString(prefix, RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                         "ProgramFilesDir (x86)"),
              "C:\\Program Files (x86)");
    EXPECT_TRUE(readString(prefix, RegRoot::LocalMachine,
                           "System\\CurrentControlSet\\Control\\Session Manager\\Environment", "PATH"));
    EXPECT_TRUE(prefix.registry().keyExists(RegRoot::Users, ".Default\\" + shellFolders));

    // Every folder the registry names exists, through the prefix's drives.
    auto& files = prefix.files();
    for (const std::string& folder :
         {prefix.appDataFolder(), prefix.documentsFolder(), prefix.commonDocumentsFolder(),
          prefix.programFiles32Folder(), prefix.tempFolder(), std::string("C:\\Program Files"),
          std::string("C:\\windows\\system32"), std::string("C:\\users\\ana\\AppData\\Local")})
        EXPECT_TRUE(files.directoryExists(folder)) << folder;
    EXPECT_TRUE(files.fileExists(std::string(PrefixBuilder::dotNetFrameworkFolder) + "\\MSBuild.exe"));
    EXPECT_EQ(prefix.hostPath("C:\\USERS\\ana\\temp"), dir / "drive_c" / "users" / "ana" / "Temp");
    EXPECT_EQ(files.toWindowsPath((dir / "drive_c" / "windows").string()), "C:\\windows");
}

TEST_F(PrefixBuilderTest, MinimalPrefixLoadsAsTheSystemTheInstallerWorksOn)
{
    PrefixBuilder built = make();
    built.registerIde(IdeSetup::delphi13());
    platform::WinePrefix system(temp_ / "prefix");
    platform::Shell& shell = system.shell();
    EXPECT_EQ(shell.appDataFolder(), "C:\\users\\ana\\AppData\\Roaming");
    EXPECT_EQ(shell.commonDocumentsFolder(), "C:\\users\\Public\\Documents");
    EXPECT_EQ(shell.programFiles32Folder(), "C:\\Program Files (x86)");
    EXPECT_EQ(shell.desktopFolder(), "C:\\users\\ana\\Desktop");
    EXPECT_EQ(shell.windowsFolder(), "C:\\windows");
    EXPECT_EQ(shell.tempFolder(), "C:\\users\\ana\\Temp\\");
    EXPECT_EQ(shell.ansiCodePage(), 1252u);
    EXPECT_EQ(shell.oemCodePage(), 437u);
    EXPECT_EQ(shell.environmentVariable("USERPROFILE"), "C:\\users\\ana");
    EXPECT_EQ(shell.environmentVariable("ComSpec"), "C:\\windows\\system32\\cmd.exe");
    EXPECT_EQ(shell.dotNetFrameworkFolders(),
              std::vector<std::string>{std::string(PrefixBuilder::dotNetFrameworkFolder)});
    EXPECT_EQ(system.files().drives(), (std::vector<std::string>{"C:", "Z:"}));
    EXPECT_EQ(system.files().toHostPath("Z:\\etc"), "/etc");
    EXPECT_TRUE(system.files().fileExists("C:\\Program Files (x86)\\Embarcadero\\Studio\\37.0\\bin\\bds.exe"));
    platform::ScopedRegistryView32 view;
    EXPECT_TRUE(system.registry().keyExists(RegRoot::LocalMachine, "\\SOFTWARE\\Embarcadero\\BDS\\37.0"));
}

TEST_F(PrefixBuilderTest, Win32PrefixHasOneProgramFilesFolderAndNoRedirection)
{
    PrefixBuilder prefix = make("win32");
    EXPECT_EQ(prefix.arch(), "win32");
    EXPECT_EQ(prefix.programFiles32Folder(), "C:\\Program Files");
    EXPECT_FALSE(fs::exists(temp_ / "prefix" / "drive_c" / "Program Files (x86)"));

    const RegisteredIde ide = prefix.registerIde(IdeSetup::delphi13());
    EXPECT_EQ(ide.rootDir, "C:\\Program Files\\Embarcadero\\Studio\\37.0");
    const std::string system = readHost(temp_ / "prefix" / "system.reg");
    EXPECT_NE(system.find("[Software\\\\Embarcadero\\\\BDS\\\\37.0]"), std::string::npos);
    EXPECT_EQ(system.find("Wow6432Node"), std::string::npos);
}

TEST_F(PrefixBuilderTest, RefusesWhatItCannotMakeOrOpen)
{
    temp_.write("busy/file.txt", "x");
    EXPECT_THROW(PrefixBuilder::create(temp_ / "busy"), PrefixBuildError);
    temp_.write("plain", "x");
    EXPECT_THROW(PrefixBuilder::create(temp_ / "plain"), PrefixBuildError);
    PrefixOptions badArch;
    badArch.arch = "arm";
    EXPECT_THROW(PrefixBuilder::create(temp_ / "a", badArch), PrefixBuildError);
    PrefixOptions badUser;
    badUser.userName = "a/b";
    EXPECT_THROW(PrefixBuilder::create(temp_ / "b", badUser), PrefixBuildError);
    EXPECT_THROW(PrefixBuilder::open(temp_ / "busy"), PrefixBuildError);

    // An empty folder is fine, and a made prefix opens again with the same folders.
    fs::create_directories(temp_ / "empty");
    PrefixOptions options;
    options.userName = "bo";
    PrefixBuilder made = PrefixBuilder::create(temp_ / "empty", options);
    PrefixBuilder again = PrefixBuilder::open(temp_ / "empty");
    EXPECT_EQ(again.userName(), "bo");
    EXPECT_EQ(again.appDataFolder(), made.appDataFolder());
}

TEST_F(PrefixBuilderTest, Delphi13IsRegisteredWhereItsInstallerAndFirstStartPutIt)
{
    PrefixBuilder prefix = make();
    const RegisteredIde ide = prefix.registerIde(IdeSetup::delphi13());
    const std::string root = "C:\\Program Files (x86)\\Embarcadero\\Studio\\37.0";
    EXPECT_EQ(ide.rootDir, root);
    EXPECT_EQ(ide.binDir, root + "\\bin");
    EXPECT_EQ(ide.appFile, root + "\\bin\\bds.exe");
    EXPECT_EQ(ide.envOptionsFile, "C:\\users\\ana\\AppData\\Roaming\\Embarcadero\\BDS\\37.0\\EnvOptions.proj");
    EXPECT_EQ(ide.environmentProjFile, "C:\\users\\ana\\AppData\\Roaming\\Embarcadero\\BDS\\37.0\\environment.proj");
    EXPECT_EQ(ide.commonDir, "C:\\users\\Public\\Documents\\Embarcadero\\Studio\\37.0");
    EXPECT_EQ(ide.userDir, "C:\\users\\ana\\Documents\\Embarcadero\\Studio\\37.0");

    // HKEY_LOCAL_MACHINE in the 32-bit view: Wow6432Node on the disk, invisible to the 64-bit view.
    const std::string key = "SOFTWARE\\Embarcadero\\BDS\\37.0";
    EXPECT_NE(readHost(temp_ / "prefix" / "system.reg").find("[Software\\\\Wow6432Node\\\\Embarcadero\\\\BDS\\\\37.0]"),
              std::string::npos);
    EXPECT_FALSE(prefix.registry().keyExists(RegRoot::LocalMachine, key));
    EXPECT_EQ(readString(prefix, RegRoot::LocalMachine, key, "RootDir", KeyAccess::Wow64_32Key), root + "\\");
    EXPECT_EQ(readString(prefix, RegRoot::LocalMachine, key, "App", KeyAccess::Wow64_32Key), ide.appFile);
    EXPECT_EQ(readString(prefix, RegRoot::LocalMachine, key, "Edition", KeyAccess::Wow64_32Key), "Professional");
    EXPECT_EQ(
        readString(prefix, RegRoot::LocalMachine, key + "\\Personalities", "Delphi.Win32", KeyAccess::Wow64_32Key),
        "Delphi");
    {
        platform::ScopedRegistryView32 view;
        EXPECT_TRUE(prefix.registry().keyExists(RegRoot::LocalMachine, "\\SOFTWARE\\Embarcadero\\BDS\\37.0"));
    }

    // HKEY_CURRENT_USER: the same path, shared by both views.
    const std::string win32 = key + "\\Library\\Win32";
    for (const char* name :
         {"Search Path", "Browsing Path", "Debug DCU Path", "Package DPL Output", "Package DCP Output"})
        EXPECT_TRUE(readString(prefix, RegRoot::CurrentUser, win32, name)) << name;
    EXPECT_EQ(readString(prefix, RegRoot::CurrentUser, win32, "Package DCP Output"), "$(BDSCOMMONDIR)\\Dcp");
    EXPECT_EQ(readString(prefix, RegRoot::CurrentUser, key + "\\Library\\Win64", "Package DCP Output"),
              "$(BDSCOMMONDIR)\\Dcp\\$(Platform)");
    EXPECT_EQ(readString(prefix, RegRoot::CurrentUser, key + "\\Personalities", "Delphi.Win32"), "Delphi");
    EXPECT_TRUE(prefix.registry().keyExists(RegRoot::CurrentUser, key + "\\Known Packages"));
    EXPECT_FALSE(prefix.registry().keyExists(RegRoot::CurrentUser, key + "\\Globals"));

    // Files.
    auto& files = prefix.files();
    for (const std::string& file : {ide.appFile, ide.rsvarsFile, ide.dcc32File, ide.binDir + "\\dcc64.exe",
                                    ide.envOptionsFile, ide.environmentProjFile})
        EXPECT_TRUE(files.fileExists(file)) << file;
    for (const std::string& folder : {root + "\\lib\\Win32\\release", root + "\\lib\\Win32\\debug",
                                      ide.commonDir + "\\Bpl", ide.commonDir + "\\Dcp", ide.userDir})
        EXPECT_TRUE(files.directoryExists(folder)) << folder;
    EXPECT_NE(files.readFile(ide.appFile).substr(0, 2), "MZ") << "a placeholder must not pass for a PE image";

    const auto vars = rsvarsVariables(files.readFile(ide.rsvarsFile));
    EXPECT_EQ(vars.at("BDS"), root);
    EXPECT_EQ(vars.at("BDSINCLUDE"), root + "\\include");
    EXPECT_EQ(vars.at("BDSCOMMONDIR"), ide.commonDir);
    EXPECT_EQ(vars.at("FrameworkDir"), PrefixBuilder::dotNetFrameworkFolder);
    for (const char* name : {"FrameworkVersion", "FrameworkSDKDir", "PATH", "LANGDIR", "PLATFORM", "PlatformSDK"})
        EXPECT_TRUE(vars.count(name)) << name;
    EXPECT_NE(vars.at("PATH").find(root + "\\bin;"), std::string::npos);
    EXPECT_NE(vars.at("PATH").find("%PATH%"), std::string::npos);

    // EnvOptions.proj: an MSBuild project with an unconditional group and one group per platform.
    pugi::xml_document doc;
    const std::string envText = files.readFile(ide.envOptionsFile);
    ASSERT_TRUE(doc.load_string(envText.c_str())) << envText;
    const auto projectNode = doc.child("Project");
    EXPECT_STREQ(projectNode.attribute("xmlns").value(), "http://schemas.microsoft.com/developer/msbuild/2003");
    std::vector<std::string> conditions;
    for (auto group : projectNode.children("PropertyGroup"))
        conditions.push_back(group.attribute("Condition").value());
    ASSERT_GE(conditions.size(), 3u);
    EXPECT_EQ(conditions[0], "");
    EXPECT_EQ(conditions[1], "'$(Platform)'=='Win32'");
    EXPECT_EQ(conditions[2], "'$(Platform)'=='Win64'");
    const auto win32Group = projectNode.find_child_by_attribute("PropertyGroup", "Condition", "'$(Platform)'=='Win32'");
    for (const char* name :
         {"DelphiLibraryPath", "DelphiBrowsingPath", "DelphiDebugDCUPath", "DelphiDLLOutputPath", "DelphiDCPOutput"})
        EXPECT_TRUE(win32Group.child(name)) << name;
    const std::string libraryPath = win32Group.child("DelphiLibraryPath").text().get();
    for (const char* reference : {"$(BDSLIB)", "$(BDS)\\", "$(BDSUSERDIR)", "$(BDSCOMMONDIR)"})
        EXPECT_NE(libraryPath.find(reference), std::string::npos) << reference;
    EXPECT_NE(envText.find("\r\n"), std::string::npos);

    // environment.proj defines what those references name.
    pugi::xml_document environment;
    ASSERT_TRUE(environment.load_string(files.readFile(ide.environmentProjFile).c_str()));
    const auto props = environment.child("Project").child("PropertyGroup");
    EXPECT_EQ(std::string(props.child("BDS").text().get()), root);
    EXPECT_EQ(std::string(props.child("BDSLIB").text().get()), root + "\\lib");
    EXPECT_EQ(std::string(props.child("BDSCOMMONDIR").text().get()), ide.commonDir);
    EXPECT_EQ(std::string(props.child("BDSUSERDIR").text().get()), ide.userDir);
}

TEST_F(PrefixBuilderTest, LeavesOutWhatTheSpecOmits)
{
    PrefixBuilder prefix = make();
    IdeSetup setup = IdeSetup::delphi13();
    setup.appRelative.clear();
    setup.rsvars = false;
    setup.envOptions = false;
    setup.environmentProj = false;
    setup.userSettings = false;
    setup.personalities.clear();
    const RegisteredIde ide = prefix.registerIde(setup);
    EXPECT_TRUE(ide.appFile.empty());
    EXPECT_TRUE(ide.rsvarsFile.empty());
    EXPECT_TRUE(ide.envOptionsFile.empty());
    const std::string key = "SOFTWARE\\Embarcadero\\BDS\\37.0";
    EXPECT_TRUE(readString(prefix, RegRoot::LocalMachine, key, "RootDir", KeyAccess::Wow64_32Key));
    EXPECT_FALSE(readString(prefix, RegRoot::LocalMachine, key, "App", KeyAccess::Wow64_32Key));
    EXPECT_FALSE(prefix.registry().keyExists(RegRoot::LocalMachine, key + "\\Personalities", KeyAccess::Wow64_32Key));
    EXPECT_FALSE(prefix.registry().keyExists(RegRoot::CurrentUser, key));
    EXPECT_FALSE(prefix.files().fileExists(ide.binDir + "\\bds.exe"));
    EXPECT_FALSE(prefix.files().fileExists(ide.binDir + "\\rsvars.bat"));
    EXPECT_FALSE(prefix.files().directoryExists(prefix.appDataFolder() + "\\Embarcadero"));

    // "App" naming a file that is not there.
    IdeSetup missing = IdeSetup::bds("Embarcadero", "36.0");
    missing.createApp = false;
    const RegisteredIde noApp = prefix.registerIde(missing);
    EXPECT_EQ(readString(prefix, RegRoot::LocalMachine, missing.machineKey, "App", KeyAccess::Wow64_32Key),
              noApp.appFile);
    EXPECT_FALSE(prefix.files().fileExists(noApp.appFile));
}

TEST_F(PrefixBuilderTest, OtherIdesAndVersionKeys)
{
    PrefixBuilder prefix = make();
    struct Case {
        IdeSetup setup;
        std::string key; // under HKLM, 32-bit view
        std::string rootDir;
        std::string userLibraryKey; // HKCU key holding "Search Path"
        bool envOptions;
    };
    const std::string pf = "C:\\Program Files (x86)\\";
    const std::vector<Case> cases = {
        {IdeSetup::delphi7(), "SOFTWARE\\Borland\\Delphi\\7.0", pf + "Borland\\Delphi7",
         "SOFTWARE\\Borland\\Delphi\\7.0\\Library", false},
        {IdeSetup::cppBuilder6(), "SOFTWARE\\Borland\\C++Builder\\6.0", pf + "Borland\\CBuilder6",
         "SOFTWARE\\Borland\\C++Builder\\6.0\\Library", false},
        {IdeSetup::bds("Borland", "4.0"), "SOFTWARE\\Borland\\BDS\\4.0", pf + "Borland\\BDS\\4.0",
         "SOFTWARE\\Borland\\BDS\\4.0\\Library", false},
        {IdeSetup::bds("CodeGear", "5.0"), "SOFTWARE\\CodeGear\\BDS\\5.0", pf + "CodeGear\\RAD Studio\\5.0",
         "SOFTWARE\\CodeGear\\BDS\\5.0\\Library", true},
        {IdeSetup::bds("Embarcadero", "23.0"), "SOFTWARE\\Embarcadero\\BDS\\23.0", pf + "Embarcadero\\Studio\\23.0",
         "SOFTWARE\\Embarcadero\\BDS\\23.0\\Library\\Win32", true},
        {IdeSetup::bds("Embarcadero", "37.5"), "SOFTWARE\\Embarcadero\\BDS\\37.5", pf + "Embarcadero\\Studio\\37.5",
         "SOFTWARE\\Embarcadero\\BDS\\37.5\\Library\\Win32", true},
        {IdeSetup::bds("Embarcadero", "Backup"), "SOFTWARE\\Embarcadero\\BDS\\Backup",
         pf + "Embarcadero\\Studio\\Backup", "SOFTWARE\\Embarcadero\\BDS\\Backup\\Library", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const RegisteredIde ide = prefix.registerIde(c.setup);
        EXPECT_EQ(ide.rootDir, c.rootDir);
        EXPECT_EQ(readString(prefix, RegRoot::LocalMachine, c.key, "RootDir", KeyAccess::Wow64_32Key),
                  c.rootDir + "\\");
        EXPECT_TRUE(prefix.files().fileExists(ide.appFile));
        EXPECT_TRUE(readString(prefix, RegRoot::CurrentUser, c.userLibraryKey, "Search Path"));
        EXPECT_EQ(!ide.envOptionsFile.empty(), c.envOptions);
        EXPECT_EQ(!ide.rsvarsFile.empty(), c.envOptions);
        if (c.envOptions) {
            EXPECT_TRUE(prefix.files().fileExists(ide.envOptionsFile));
        }
    }
    // The per-user folders follow the release: RAD Studio 2007 (BDS 5) kept them under Borland.
    EXPECT_TRUE(prefix.files().fileExists(prefix.appDataFolder() + "\\Borland\\BDS\\5.0\\EnvOptions.proj"));
    EXPECT_TRUE(
        readString(prefix, RegRoot::CurrentUser, "SOFTWARE\\Borland\\Delphi\\7.0\\Debugging", "Debug DCUs Path"));
    EXPECT_TRUE(prefix.files().fileExists(pf + "Borland\\CBuilder6\\bin\\bpr2mak.exe"));
    EXPECT_TRUE(prefix.files().fileExists(pf + "Borland\\Delphi7\\bin\\delphi32.exe"));
}

TEST_F(PrefixBuilderTest, WritesGlobalsPersonalitiesToolsAndTheHostCompiler)
{
    PrefixBuilder prefix = make();
    const fs::path compiler = temp_.write("fake-dcc32.sh", "#!/bin/sh\necho compiled\n");
    IdeSetup setup = IdeSetup::delphi13();
    setup.rootDir = "C:\\IDE\\";
    setup.userGlobals = {{"Edition", "Architect"}};
    setup.machineGlobals = {{"UpdatePackInstalled", "2"}};
    setup.personalities = {{"Delphi.Win32", "Delphi"}, {"BCB", "C++Builder"}};
    setup.bin64Files = {"bcc64x.exe"};
    setup.dcc32Host = compiler;
    setup.userEnvironmentVariables = {{"MYLIB", "C:\\MyLib"}};
    setup.envOptionsText = "<Project/>";
    const RegisteredIde ide = prefix.registerIde(setup);

    const std::string key = "SOFTWARE\\Embarcadero\\BDS\\37.0";
    EXPECT_EQ(ide.rootDir, "C:\\IDE");
    EXPECT_EQ(readString(prefix, RegRoot::LocalMachine, key, "RootDir", KeyAccess::Wow64_32Key), "C:\\IDE\\");
    EXPECT_EQ(readString(prefix, RegRoot::CurrentUser, key + "\\Globals", "Edition"), "Architect");
    EXPECT_EQ(
        readString(prefix, RegRoot::LocalMachine, key + "\\Globals", "UpdatePackInstalled", KeyAccess::Wow64_32Key),
        "2");
    EXPECT_EQ(readString(prefix, RegRoot::CurrentUser, key + "\\Personalities", "BCB"), "C++Builder");
    EXPECT_EQ(readString(prefix, RegRoot::CurrentUser, key + "\\Environment Variables", "MYLIB"), "C:\\MyLib");
    EXPECT_TRUE(prefix.files().fileExists("C:\\IDE\\bin64\\bcc64x.exe"));
    EXPECT_EQ(prefix.files().readFile(ide.envOptionsFile), "<Project/>");

    ASSERT_EQ(ide.dcc32File, "C:\\IDE\\bin\\dcc32.exe");
    const fs::path installed = prefix.hostPath(ide.dcc32File);
    EXPECT_EQ(readHost(installed), "#!/bin/sh\necho compiled\n");
    EXPECT_NE(fs::status(installed).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST(PrefixBuilderTexts, EnvOptionsFollowTheRelease)
{
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(envOptionsText(5).c_str()));
    EXPECT_TRUE(doc.child("Project").child("PropertyGroup").child("Win32LibraryPath"));
    EXPECT_FALSE(doc.child("Project").child("PropertyGroup").next_sibling("PropertyGroup"));

    ASSERT_TRUE(doc.load_string(envOptionsText(8).c_str()));
    const auto xe = doc.child("Project").child("PropertyGroup");
    EXPECT_TRUE(xe.child("DelphiLibraryPath"));
    EXPECT_EQ(std::string(xe.child("DelphiDCPOutput").text().get()), "$(BDSCOMMONDIR)\\Dcp");

    const std::string text = rsvarsText("C:\\IDE", "C:\\Common", 9);
    EXPECT_NE(text.find("@SET PATH=%FrameworkDir%;%FrameworkSDKDir%;C:\\IDE\\bin;C:\\IDE\\bin64;%PATH%\r\n"),
              std::string::npos);
}

} // namespace
