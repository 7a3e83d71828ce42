// The MSBuild evaluator on files of a sandbox Wine prefix: reserved properties, imports, Exists, registry
// properties, encodings read from disk, and rewriting EnvOptions.proj with its ".bak" copy.
#include "ideservices/ide_errors.h"
#include "ideservices/ide_file_backup.h"
#include "ideservices/ide_msbuild_env_options.h"
#include "ideservices/ide_msbuild_parser.h"
#include "platform/errors.h"
#include "platform/system.h"
#include "platform/wine/wine_prefix.h"
#include "tests/ideservices/msbuild_test_util.h"
#include "tests/platform/sandbox_prefix.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tarvix {
namespace {

const char* const kFramework = "C:\\windows\\Microsoft.NET\\Framework\\";
const char* const kUserDir = "users\\ana\\AppData\\Roaming\\Embarcadero\\BDS\\37.0\\";

std::string Host(std::string_view windowsBelowC)
{
    std::string r(windowsBelowC);
    for (char& c : r)
        if (c == '\\')
            c = '/';
    return r;
}

class MsBuildFiles : public ::testing::Test {
protected:
    MsBuildFiles() : System((Prepare(), Prefix.path())), Scope(System) {}

    void Prepare()
    {
        Prefix.writeHive("system.reg", "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1700000000\n"
                                       "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n"
                                       "\"ProgramFilesDir (x86)\"=\"C:\\\\Program Files (x86)\"\n");
        // Three runtimes; the oldest has no MSBuild.exe.
        Prefix.mkdirC("windows/Microsoft.NET/Framework/v2.0.50727");
        Prefix.writeC("windows/Microsoft.NET/Framework/v3.5/MSBuild.exe", "MZ");
        Prefix.writeC("windows/Microsoft.NET/Framework/v4.0.30319/MSBuild.exe", "MZ");
    }

    // Writes a file below C:\ and returns its Windows path.
    std::string WriteC(std::string_view belowC, std::string_view bytes)
    {
        Prefix.writeC(Host(belowC), bytes);
        return "C:\\" + std::string(belowC);
    }
    std::string ReadC(std::string_view belowC) { return Prefix.readC(Host(belowC)); }
    bool ExistsC(std::string_view belowC) { return std::filesystem::exists(Prefix.driveC() / Host(belowC)); }

    test::SandboxPrefix Prefix;
    platform::WinePrefix System;
    platform::ScopedCurrentSystem Scope;
};

TEST_F(MsBuildFiles, InitSetsReservedAndEnvironmentProperties)
{
    const std::string file = WriteC(std::string(kUserDir) + "EnvOptions.proj", test::MsBuildProject(""));
    ::setenv("TARVIX_MSBUILD_ROOT", "C:\\IDE", 1);
    ::setenv("TARVIX_MSBUILD_BIN", "%TARVIX_MSBUILD_ROOT%\\bin", 1);
    TIdeMsBuildParser parser(file);
    parser.Init();
    ::unsetenv("TARVIX_MSBUILD_ROOT");
    ::unsetenv("TARVIX_MSBUILD_BIN");
    const TIdeMsBuildPropertyList& r = parser.Properties().ReservedProperties();
    const std::string dir = "C:\\users\\ana\\AppData\\Roaming\\Embarcadero\\BDS\\37.0";
    EXPECT_EQ(r.Values("MSBuildProjectDirectory"), dir);
    EXPECT_EQ(r.Values("MSBuildProjectFile"), "EnvOptions.proj");
    EXPECT_EQ(r.Values("MSBuildProjectExtension"), ".proj");
    EXPECT_EQ(r.Values("MSBuildProjectFullPath"), file);
    EXPECT_EQ(r.Values("MSBuildProjectName"), "EnvOptions");
    EXPECT_EQ(r.Values("MSBuildToolsVersion"), "v3.5");
    EXPECT_EQ(r.Values("MSBuildBinPath"), std::string(kFramework) + "v3.5");
    EXPECT_EQ(r.Values("MSBuildToolsPath"), std::string(kFramework) + "v3.5");
    EXPECT_EQ(r.Values("MSBuildStartupDirectory"), dir);
    EXPECT_EQ(r.Values("MSBuildNodeCount"), "1");
    EXPECT_EQ(r.Values("MSBuildLastTaskResult"), "true");
    EXPECT_EQ(r.Values("MSBuildProgramFiles32"), "C:\\Program Files (x86)");
    EXPECT_EQ(r.Values("MSBuildProjectDirectoryNoRoot"), "users\\ana\\AppData\\Roaming\\Embarcadero\\BDS\\37.0");
    EXPECT_EQ(r.Values("MSBuildThisFile"), "EnvOptions.proj");
    EXPECT_EQ(r.Values("MSBuildThisFileDirectory"), dir);
    EXPECT_EQ(parser.DotNetVersion(), "v3.5");

    // The process environment, values expanded, the per-drive folders left out.
    const TIdeMsBuildPropertyList& env = parser.Properties().EnvironmentProperties();
    EXPECT_EQ(env.Values("TARVIX_MSBUILD_BIN"), "C:\\IDE\\bin");
    EXPECT_EQ(env.Values("SystemRoot"), "C:\\windows");
    for (int i = 0; i < env.Count(); ++i)
        EXPECT_FALSE(env.Names(i).empty());

    // A working folder, when set, is the startup folder.
    parser.SetWorkingDirectory("D:\\work\\");
    parser.InitReservedProperties();
    EXPECT_EQ(r.Values("MSBuildStartupDirectory"), "D:\\work");
}

TEST_F(MsBuildFiles, WithoutMsBuildExeTheReservedPropertiesCannotBeSet)
{
    const std::string file = WriteC("p.proj", test::MsBuildProject(""));
    std::filesystem::remove(Prefix.driveC() / "windows/Microsoft.NET/Framework/v3.5/MSBuild.exe");
    std::filesystem::remove(Prefix.driveC() / "windows/Microsoft.NET/Framework/v4.0.30319/MSBuild.exe");
    Prefix.mkdirC("windows/Microsoft.NET/Framework/v4.0.30319/MSBuild.exe"); // a folder of that name is no program
    TIdeMsBuildParser parser(file);
    try {
        parser.Init();
        FAIL();
    } catch (const EIdeMsBuildError& e) {
        EXPECT_STREQ(e.what(), "Unable to locate MSBuild.exe");
    }
    std::filesystem::remove_all(Prefix.driveC() / "windows/Microsoft.NET");
    EXPECT_THROW(parser.InitReservedProperties(), EIdeMsBuildError);
}

TEST_F(MsBuildFiles, ImportsResolveAgainstTheirOwnFileAndSeeTheirOwnThisFile)
{
    const std::string main = WriteC("proj\\app\\Main.proj", test::MsBuildProject(R"x(
  <PropertyGroup><Before>$(MSBuildThisFile)</Before></PropertyGroup>
  <Import Project="..\common\.\Shared.props"/>
  <PropertyGroup><After>$(MSBuildThisFile)|$(MSBuildThisFileDirectory)</After></PropertyGroup>)x"));
    WriteC("proj\\common\\Shared.props", test::MsBuildProject(R"x(
  <PropertyGroup><InShared>$(MSBuildThisFile)|$(MSBuildThisFileDirectory)|$(MSBuildProjectFile)</InShared></PropertyGroup>
  <ImportGroup Condition="Exists('deeper\Inner.targets')"><Import Project="deeper\Inner.targets"/></ImportGroup>
  <PropertyGroup><BackInShared>$(MSBuildThisFile)</BackInShared></PropertyGroup>)x"));
    WriteC("proj\\common\\deeper\\Inner.targets",
           test::MsBuildProject("<PropertyGroup><InInner>$(MSBuildThisFileDirectory)</InInner></PropertyGroup>"));

    TIdeMsBuildParser parser(main);
    parser.Init();
    parser.Parse();
    const TIdeMsBuildProperties& p = parser.Properties();
    EXPECT_EQ(p.Values("Before"), "Main.proj");
    EXPECT_EQ(p.Values("InShared"), "Shared.props|C:\\proj\\common|Main.proj");
    EXPECT_EQ(p.Values("InInner"), "C:\\proj\\common\\deeper");
    EXPECT_EQ(p.Values("BackInShared"), "Shared.props");
    EXPECT_EQ(p.Values("After"), "Main.proj|C:\\proj\\app");
    EXPECT_EQ(parser.CurrentFileName(), main);
}

TEST_F(MsBuildFiles, AMissingImportRaisesTheFileError)
{
    const std::string main = WriteC("proj\\Main.proj", test::MsBuildProject("<Import Project=\"Missing.props\"/>"));
    TIdeMsBuildParser parser(main);
    try {
        parser.Parse();
        FAIL();
    } catch (const platform::FileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"C:\\proj\\Missing.props\".", 0), 0u) << e.what();
    }
    EXPECT_THROW(TIdeMsBuildParser("C:\\proj\\Nowhere.proj"), platform::FileError);
}

TEST_F(MsBuildFiles, ExistsLooksRelativeToTheFileBeingEvaluated)
{
    WriteC("proj\\lib\\unit.dcu", "x");
    const std::string main = WriteC("proj\\Main.proj", test::MsBuildProject(""));
    TIdeMsBuildParser parser(main);
    struct Case {
        const char* condition;
        bool expected;
    };
    for (const Case& c : {Case{"Exists('lib')", true}, Case{"Exists('lib\\')", true},
                          Case{"Exists('lib\\unit.dcu')", true}, Case{"Exists('LIB\\UNIT.DCU')", true},
                          Case{"Exists('C:\\proj\\lib\\unit.dcu')", true}, Case{"Exists('lib\\other.dcu')", false},
                          Case{"!Exists('..\\proj\\lib')", false}, Case{"Exists('D:\\nothing')", false}})
        EXPECT_EQ(parser.ParseCondition(c.condition), c.expected) << c.condition;
}

TEST_F(MsBuildFiles, RegistryPropertiesAreReadFromTheRegistry)
{
    Prefix.writeHive("system.reg",
                     "[Software\\\\Embarcadero\\\\BDS\\\\37.0] 1700000000\n"
                     "@=\"default text\"\n"
                     "\"RootDir\"=\"C:\\\\Program Files (x86)\\\\Embarcadero\\\\Studio\\\\37.0\\\\\"\n"
                     "\"Count\"=dword:0000001f\n",
                     "win32");
    const std::string main = WriteC("p.proj", test::MsBuildProject(""));
    TIdeMsBuildParser parser(main);
    EXPECT_EQ(parser.EvaluateString("$(registry:HKEY_LOCAL_MACHINE\\Software\\Embarcadero\\BDS\\37.0@RootDir)bin"),
              "C:\\Program Files (x86)\\Embarcadero\\Studio\\37.0\\bin");
    EXPECT_EQ(parser.EvaluateString("[$(registry:HKLM\\Software\\Embarcadero\\BDS\\37.0)]"), "[default text]");
    EXPECT_EQ(parser.EvaluateString("$(registry:HKEY_LOCAL_MACHINE\\Software\\Embarcadero\\BDS\\37.0@Count)"), "31");
    try {
        parser.EvaluateString("$(registry:HKEY_LOCAL_MACHINE\\Software\\Embarcadero\\BDS\\37.0@Missing)");
        FAIL();
    } catch (const EIdeMsBuildError& e) {
        EXPECT_STREQ(e.what(), "Unable to evaluate registry property root=\"HKEY_LOCAL_MACHINE\" "
                               "path=\"Software\\Embarcadero\\BDS\\37.0\" name=\"Missing\"");
    }
    EXPECT_THROW(parser.EvaluateString("$(registry:HKEY_CURRENT_USER\\Software\\Nothing@X)"), EIdeMsBuildError);
}

TEST_F(MsBuildFiles, AnAnsiFileIsReadInTheSystemCodePageAndWrittenBackSo)
{
    const std::string bytes = "<Project><PropertyGroup><P>S\xE3o Paulo</P></PropertyGroup></Project>";
    const std::string file = WriteC("ansi.proj", bytes);
    TIdeMsBuildParser parser(file);
    parser.Parse();
    EXPECT_EQ(parser.Properties().Values("P"), "S\xC3\xA3o Paulo");
    EXPECT_EQ(parser.ReadCodePage(), 1252u);
    parser.Save();
    EXPECT_EQ(ReadC("ansi.proj"),
              "<Project>\r\n  <PropertyGroup>\r\n    <P>S\xE3o Paulo</P>\r\n  </PropertyGroup>\r\n</Project>\r\n");
}

// --- Save with backup ---

TEST_F(MsBuildFiles, SaveWithBackupReplacesTheFileAndRemovesTheCopy)
{
    const std::string file = WriteC("opts\\EnvOptions.proj", "old");
    WriteC("opts\\EnvOptions.proj.bak", "stale copy of an earlier run");
    std::string seenBak;
    SaveWithBackup(file, [&] {
        seenBak = ReadC("opts\\EnvOptions.proj.bak");
        EXPECT_FALSE(ExistsC("opts\\EnvOptions.proj"));
        platform::current().files().writeFile(file, "new");
    });
    EXPECT_EQ(seenBak, "old");
    EXPECT_EQ(ReadC("opts\\EnvOptions.proj"), "new");
    EXPECT_FALSE(ExistsC("opts\\EnvOptions.proj.bak"));
}

TEST_F(MsBuildFiles, AFailedSaveLeavesTheOldFileAndNoCopy)
{
    const std::string old = test::MsBuildProject("<PropertyGroup><P>old</P></PropertyGroup>");
    const std::string file = WriteC("opts\\EnvOptions.proj", old);
    EXPECT_THROW(SaveWithBackup(file,
                                [&] {
                                    platform::current().files().writeFile(file, "half");
                                    throw std::runtime_error("disk full");
                                }),
                 std::runtime_error);
    EXPECT_EQ(ReadC("opts\\EnvOptions.proj"), old);
    EXPECT_FALSE(ExistsC("opts\\EnvOptions.proj.bak"));

    // The same with the parser's own save failing: a code page the system cannot write.
    TIdeMsBuildParser parser(file, TIdeXmlEncoding::seUTF8);
    parser.SetSaveCodePage(99999);
    EXPECT_THROW(SaveWithBackup(file, [&] { parser.Save(); }), platform::PlatformError);
    EXPECT_EQ(ReadC("opts\\EnvOptions.proj"), old);
    EXPECT_FALSE(ExistsC("opts\\EnvOptions.proj.bak"));
}

TEST_F(MsBuildFiles, NothingIsWrittenWhenThePreviousFileCannotBeSetAside)
{
    const std::string file = WriteC("opts\\EnvOptions.proj", "old");
    Prefix.mkdirC("opts/EnvOptions.proj.bak/in the way"); // a folder where the copy should go
    bool saved = false;
    EXPECT_THROW(SaveWithBackup(file, [&] { saved = true; }), EIdeBorRADException);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadC("opts\\EnvOptions.proj"), "old");
}

TEST_F(MsBuildFiles, ANewFileIsWrittenWithoutCopyAndRemovedWhenTheSaveFails)
{
    const std::string file = "C:\\opts\\New.proj";
    Prefix.mkdirC("opts");
    SaveWithBackup(file, [&] { platform::current().files().writeFile(file, "first"); });
    EXPECT_EQ(ReadC("opts\\New.proj"), "first");
    EXPECT_FALSE(ExistsC("opts\\New.proj.bak"));

    const std::string other = "C:\\opts\\Other.proj";
    EXPECT_THROW(SaveWithBackup(other,
                                [&] {
                                    platform::current().files().writeFile(other, "half");
                                    throw std::runtime_error("failed");
                                }),
                 std::runtime_error);
    EXPECT_FALSE(ExistsC("opts\\Other.proj"));
}

// --- Reading and writing options the way the installation does ---

const std::string kEnvOptions =
    test::MsBuildProject("<PropertyGroup><AutoSave>1</AutoSave></PropertyGroup>"
                         "<PropertyGroup Condition=\"'$(Platform)'=='Win32'\">"
                         "<DelphiLibraryPath>$(BDSLIB)\\$(Platform)\\release;$(BDS)\\Imports</DelphiLibraryPath>"
                         "<DelphiDCPOutput>$(BDSCOMMONDIR)\\Dcp</DelphiDCPOutput></PropertyGroup>"
                         "<PropertyGroup Condition=\"'$(Platform)'=='Win64'\">"
                         "<DelphiLibraryPath>$(BDSLIB)\\$(Platform)\\release</DelphiLibraryPath></PropertyGroup>");

// environment.proj, which the IDE writes beside it, defines the IDE's variables.
const std::string kEnvironmentProj =
    test::MsBuildProject("<PropertyGroup><BDSLIB>$(BDS)\\lib</BDSLIB>"
                         "<BDSCOMMONDIR>C:\\users\\Public\\Documents\\Embarcadero\\Studio\\37.0</BDSCOMMONDIR>"
                         "<DelphiBrowsingPath>$(BDS)\\source\\rtl</DelphiBrowsingPath></PropertyGroup>");

class EnvOptions : public MsBuildFiles {
protected:
    EnvOptions()
    {
        // The installer's own process knows BDS from elsewhere; the installation's value is the one to use.
        ::setenv("BDS", "C:\\Elsewhere", 1);
        ::setenv("TARVIX_MSBUILD_KEEP", "host", 1);
        File.EnvOptionsFileName = WriteC(std::string(kUserDir) + "EnvOptions.proj", kEnvOptions);
        File.EnvironmentProjFileName = WriteC(std::string(kUserDir) + "environment.proj", kEnvironmentProj);
        File.EnvironmentVariables = {{"BDS", "C:\\IDE"},
                                     {"BDSLIB", "C:\\IDE\\lib"},
                                     {"BDSCOMMONDIR", "C:\\users\\Public\\Documents\\Embarcadero\\Studio\\37.0"}};
        File.PlatformName = "Win32";
    }
    ~EnvOptions() override
    {
        ::unsetenv("BDS");
        ::unsetenv("TARVIX_MSBUILD_KEEP");
    }
    TIdeEnvOptionsFile File;
};

TEST_F(EnvOptions, ReadGivesEvaluatedAndRawValuesForThePlatform)
{
    // BDS is in the process environment too; the installation's value replaces it.
    EXPECT_EQ(ReadMsBuildEnvOption(File, "DelphiLibraryPath", false), "C:\\IDE\\lib\\Win32\\release;C:\\IDE\\Imports");
    EXPECT_EQ(ReadMsBuildEnvOption(File, "DelphiLibraryPath", true), "$(BDSLIB)\\$(Platform)\\release;$(BDS)\\Imports");
    EXPECT_EQ(ReadMsBuildEnvOption(File, "DelphiDCPOutput", false),
              "C:\\users\\Public\\Documents\\Embarcadero\\Studio\\37.0\\Dcp");
    File.PlatformName = "Win64";
    EXPECT_EQ(ReadMsBuildEnvOption(File, "DelphiLibraryPath", false), "C:\\IDE\\lib\\Win64\\release");
    // Without a platform the conditional groups do not apply.
    File.PlatformName = "";
    EXPECT_EQ(ReadMsBuildEnvOption(File, "DelphiLibraryPath", false), "");
}

TEST_F(EnvOptions, ReadMergesOnlyVariablesTheProcessHas)
{
    File.EnvironmentVariables.push_back({"OnlyInInstallation", "x"});
    File.EnvironmentVariables.push_back({"TARVIX_MSBUILD_KEEP", ""});
    WriteC(std::string(kUserDir) + "environment.proj",
           test::MsBuildProject("<PropertyGroup><Probe>[$(OnlyInInstallation)][$(TARVIX_MSBUILD_KEEP)]</Probe>"
                                "</PropertyGroup>"));
    EXPECT_EQ(ReadMsBuildEnvOption(File, "Probe", false), "[][host]");
}

TEST_F(EnvOptions, APropertyOfEnvironmentProjHasAValueButNoRawText)
{
    EXPECT_EQ(ReadMsBuildEnvOption(File, "DelphiBrowsingPath", false), "C:\\IDE\\source\\rtl");
    EXPECT_EQ(ReadMsBuildEnvOption(File, "DelphiBrowsingPath", true), "");
    File.EnvironmentProjFileName = "C:\\nowhere\\environment.proj"; // a missing environment.proj is not imported
    EXPECT_EQ(ReadMsBuildEnvOption(File, "DelphiBrowsingPath", false), "");
}

TEST_F(EnvOptions, WriteChangesTheActiveElementAndRewritesTheFile)
{
    WriteMsBuildEnvOption(File, "DelphiLibraryPath",
                          "$(BDSLIB)\\$(Platform)\\release;$(BDS)\\Imports;C:\\Morvane\\TarvixComps\\D37");
    WriteMsBuildEnvOption(File, "DelphiBrowsingPath", "$(BDS)\\source\\rtl;C:\\Morvane\\TarvixComps\\D37");
    const std::string expected =
        "<Project xmlns=\"http://schemas.microsoft.com/developer/msbuild/2003\">\r\n"
        "  <PropertyGroup>\r\n"
        "    <AutoSave>1</AutoSave>\r\n"
        "    <DelphiBrowsingPath>$(BDS)\\source\\rtl;C:\\Morvane\\TarvixComps\\D37</DelphiBrowsingPath>\r\n"
        "  </PropertyGroup>\r\n"
        "  <PropertyGroup Condition=\"'$(Platform)'=='Win32'\">\r\n"
        "    <DelphiLibraryPath>$(BDSLIB)\\$(Platform)\\release;$(BDS)\\Imports;C:\\Morvane\\TarvixComps\\D37"
        "</DelphiLibraryPath>\r\n"
        "    <DelphiDCPOutput>$(BDSCOMMONDIR)\\Dcp</DelphiDCPOutput>\r\n"
        "  </PropertyGroup>\r\n"
        "  <PropertyGroup Condition=\"'$(Platform)'=='Win64'\">\r\n"
        "    <DelphiLibraryPath>$(BDSLIB)\\$(Platform)\\release</DelphiLibraryPath>\r\n"
        "  </PropertyGroup>\r\n"
        "</Project>\r\n";
    // The file had neither mark nor declaration: it was read, and is written, in the ANSI code page.
    EXPECT_EQ(ReadC(std::string(kUserDir) + "EnvOptions.proj"), expected);
    EXPECT_FALSE(ExistsC(std::string(kUserDir) + "EnvOptions.proj.bak"));
    EXPECT_EQ(ReadMsBuildEnvOption(File, "DelphiBrowsingPath", false),
              "C:\\IDE\\source\\rtl;C:\\Morvane\\TarvixComps\\D37");
}

} // namespace
} // namespace tarvix
