// The drivers of the IDE's command-line tools: the Delphi compiler's default and path options, the command line
// a run is given (checked both in the log's first line and in what the tool received), the output lines of a real
// child, the collected output, the build of a package in its own folder with an earlier .cfg set aside, the
// options of a package's project file, and the drivers an installation makes for the tools of its bin folder.
#include "ideservices/ide_command_line_tools.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>

#include "ideservices/ide_errors.h"
#include "platform/ascii_case.h"
#include "platform/windows_path.h"
#include "tests/ideservices/ide_tool_sandbox.h"

using namespace tarvix;
using enum TCommandLineTool;
using enum TIdeCompilerSettingsFormat;
using platform::RegRoot;
using test::IdeSandbox;
using test::ScriptedTool;
using testing::ElementsAre;
using testing::ElementsAreArray;
using tools::IdeSetup;
using Lines = std::vector<std::string>;

namespace {

constexpr const char* kLib = "C:\\IDE\\lib\\Win32\\release\\";
constexpr const char* kLibDebug = "C:\\IDE\\lib\\Win32\\debug\\";
constexpr const char* kToolExe = "C:\\Tools\\dcc32.exe";
constexpr const char* kPackage = "C:\\Pkg\\Pkg.dpk";

// A driver built the way an installation builds it, with the folders of a BDS 37 unless a case changes them.
struct DriverSetup {
    std::string bin = "C:\\Tools\\";
    bool longPathBug = false;
    float version = 37.0f;
    TIdeCompilerSettingsFormat format = csfMsBuild;
    bool noConfig = true;
    bool platform = true;
    std::string dcpSearchPath = "C:\\IDE\\Dcp";
    std::string lib = kLib;
    std::string libDebug = kLibDebug;
    std::string cpp;
};

std::unique_ptr<TIdeDCC32> MakeDriver(const DriverSetup& s = {})
{
    return std::make_unique<TIdeDCC32>(s.bin, s.longPathBug, s.version, s.format, s.noConfig, s.platform,
                                       s.dcpSearchPath, s.lib, s.libDebug, s.cpp);
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// Restores the process's current folder when it goes.
class CurrentFolderGuard {
public:
    ~CurrentFolderGuard() { platform::current().files().setCurrentDirectory(saved_); }

private:
    std::string saved_ = platform::current().files().currentDirectory();
};

// A sandbox prefix with the scripted tool as C:\Tools\dcc32.exe.
class ScriptedDriverTest : public ::testing::Test {
protected:
    ScriptedDriverTest() { s_.prefix().installHostFile(tool_.script(), kToolExe); }

    // Runs the driver on the package with a callback; returns the lines the callback got.
    Lines run(TIdeDCC32& driver, bool* result = nullptr)
    {
        Lines lines;
        driver.SetOutputCallback([&](const std::string& line) { lines.push_back(line); });
        tool_.reset();
        const bool ok = driver.Execute(Quoted(kPackage));
        if (result)
            *result = ok;
        return lines;
    }

    IdeSandbox s_;
    ScriptedTool tool_{s_.temp("tool")};
};

// --- Options --------------------------------------------------------------------------------------------------------

TEST(DefaultOptions, FollowTheCompilersFlagsAndFolders)
{
    test::SandboxSystem sandbox;
    const std::string release = "-U\"C:\\IDE\\lib\\Win32\\release\"";
    const std::string debug = "-U\"C:\\IDE\\lib\\Win32\\debug\"";
    struct Case {
        const char* what;
        bool noConfig;
        bool debug;
        std::string cpp;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"release", true, false, "", {"--no-config", release}},
        {"debug: the debug folder first", true, true, "", {"--no-config", debug, release}},
        {"with an obj folder: its units and the C++ run-time package",
         true,
         false,
         "C:\\IDE\\lib\\Win32\\release\\obj\\",
         {"--no-config", release, "-U\"C:\\IDE\\lib\\Win32\\release\\obj\"", "-LUrtl"}},
        {"a compiler without --no-config", false, false, "", {release}},
        {"everything", true, true, "C:\\Obj\\", {"--no-config", debug, release, "-U\"C:\\Obj\"", "-LUrtl"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DriverSetup setup;
        setup.noConfig = c.noConfig;
        setup.cpp = c.cpp;
        auto driver = MakeDriver(setup);
        if (!c.debug) {
            EXPECT_EQ(driver->Options(), c.expected) << "the constructor sets the release defaults";
        }
        driver->Options().push_back("-B");
        driver->SetDefaultOptions(c.debug);
        EXPECT_EQ(driver->Options(), c.expected);
    }
}

TEST(AddPathOption, AddsAQuotedFolderOnceIgnoringCase)
{
    test::SandboxSystem sandbox;
    struct Case {
        const char* what;
        Lines initial;
        std::vector<std::pair<std::string, std::string>> calls; // option, path
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"the same folder again in other letter case", {}, {{"U", "C:\\X\\"}, {"U", "c:\\x\\"}}, {"-U\"C:\\X\""}},
        {"with and without the trailing backslash", {}, {{"U", "C:\\X"}, {"U", "C:\\X\\"}}, {"-U\"C:\\X\""}},
        {"the whole entry compares, the option's letter too", {}, {{"U", "C:\\X"}, {"u", "c:\\X"}}, {"-U\"C:\\X\""}},
        {"an entry the list holds already", {"-U\"C:\\X\""}, {{"U", "c:\\x\\"}}, {"-U\"C:\\X\""}},
        {"another option for the same folder", {}, {{"U", "C:\\X"}, {"I", "C:\\X"}}, {"-U\"C:\\X\"", "-I\"C:\\X\""}},
        {"a list that starts with a folder already there",
         {},
         {{"U", "C:\\A"}, {"U", "C:\\A;C:\\B"}},
         {"-U\"C:\\A\"", "-U\"C:\\A;C:\\B\""}},
        {"only the last backslash of a list goes", {}, {{"U", "C:\\A\\;C:\\B\\"}}, {"-U\"C:\\A\\;C:\\B\""}},
        {"only one backslash goes", {}, {{"LE", "C:\\Bpl\\\\"}}, {"-LE\"C:\\Bpl\\\""}},
        {"an empty path", {}, {{"U", ""}, {"U", "\\"}}, {"-U\"\""}},
        {"a drive root loses its backslash too", {}, {{"LN", "C:\\"}}, {"-LN\"C:\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto driver = MakeDriver();
        driver->Options() = c.initial;
        for (const auto& [option, path] : c.calls)
            driver->AddPathOption(option, path);
        EXPECT_EQ(driver->Options(), c.expected);
    }
}

TEST(AddPathOption, WithTheLongPathBugEachFolderIsSpelledAsStored)
{
    // There are no short names on Linux: the long form stands in, and a missing folder keeps its spelling.
    IdeSandbox s;
    s.prefix().makeFolder("C:\\Tarvix\\Long Folder Name");
    DriverSetup setup;
    setup.longPathBug = true;
    auto driver = MakeDriver(setup);
    driver->Options().clear();
    driver->AddPathOption("U", "c:\\tarvix\\long folder name;;c:\\missing\\folder\\");
    driver->AddPathOption("I", "c:\\TARVIX\\long folder name\\");
    EXPECT_EQ(driver->Options(),
              (Lines{"-U\"C:\\Tarvix\\Long Folder Name;;c:\\missing\\folder\"", "-I\"C:\\Tarvix\\Long Folder Name\""}));
}

TEST(PathOptions, PrefixLengthByOptionAndCompilerVersion)
{
    struct Case {
        std::string option;
        float version;
        int length;
    };
    std::vector<Case> cases = {
        {"-E", 37, 2},         {"-EC:\\Exe", 37, 2}, {"-eC:\\Exe", 37, 2}, {"-I", 37, 2},     {"-O", 37, 2},
        {"-R", 37, 2},         {"-U", 37, 2},        {"-uC:\\A", 15, 2},   {"-LE", 37, 3},    {"-leC:\\Bpl", 37, 3},
        {"-LN", 37, 3},        {"-lN", 15, 3},       {"-LU", 37, 0},       {"-LUrtl", 37, 0}, {"-L", 37, 0},
        {"-LX", 37, 0},        {"-NB", 37, 3},       {"-nb", 37, 3},       {"-NH", 37, 3},    {"-NO", 15, 3},
        {"-no", 37, 3},        {"-NS", 22, 2},       {"-NSVcl", 23, 3},    {"-ns", 37, 3},    {"-NU", 23, 2},
        {"-NU", 24, 3},        {"-NX", 23, 2},       {"-nx", 24, 3},       {"-NU", 37, 3},    {"-NA", 37, 2},
        {"-NC:\\Dcu", 15, 2},  {"-N.\\dcu", 37, 2},  {"-N", 37, 0}, // names no folder: passed as it stands
        {"-B", 37, 0},         {"-$O-", 37, 0},      {"-M", 37, 0},        {"-Q", 37, 0},     {"--no-config", 37, 0},
        {"-DDEBUG", 37, 0},    {"-GD", 37, 0},       {"-JL", 37, 0},       {"-", 37, 0},      {"", 37, 0},
        {"U\"C:\\A\"", 37, 0}, {"/UC:\\A", 37, 0},
    };
    for (char digit = '0'; digit <= '9'; ++digit)
        cases.push_back({std::string("-N") + digit + "C:\\Out", 37, 3});
    for (const Case& c : cases) {
        DriverSetup setup;
        setup.version = c.version;
        const auto driver = MakeDriver(setup);
        EXPECT_EQ(driver->PathOptionPrefixLength(c.option), c.length) << c.option << " at version " << c.version;
    }
}

// --- The command line of a run ----------------------------------------------------------------------------------------

TEST_F(ScriptedDriverTest, PathOptionsArePassedInTheCompilersForm)
{
    struct Case {
        const char* what;
        float version;
        Lines options;
        std::string tail; // of the command line, after the package
        Lines arguments;  // that the tool received after the package
    };
    const std::vector<Case> cases = {
        {"a namespace list from version 23", 37, {"-NSData.Win;Vcl"}, " -NS\"Data.Win;Vcl\"", {"-NSData.Win;Vcl"}},
        {"a namespace list before version 23", 22, {"-NSData.Win;Vcl"}, " -N\"SData.Win;Vcl\"", {"-NSData.Win;Vcl"}},
        {"a unit output folder before version 24", 23, {"-NU.\\dcu"}, " -N\"U.\\dcu\"", {"-NU.\\dcu"}},
        {"a unit output folder from version 24", 24, {"-NU.\\dcu"}, " -NU\".\\dcu\"", {"-NU.\\dcu"}},
        {"a quoted folder passes unchanged", 37, {"-U\"C:\\A\""}, " -U\"C:\\A\"", {"-UC:\\A"}},
        {"an empty quoted folder passes unchanged", 37, {"-U\"\""}, " -U\"\"", {"-U"}},
        {"single quotes become double ones", 37, {"-U'C:\\A;C:\\B'"}, " -U\"C:\\A;C:\\B\"", {"-UC:\\A;C:\\B"}},
        {"a bare folder gets quotes", 37, {"-LEC:\\Out Bpl"}, " -LE\"C:\\Out Bpl\"", {"-LEC:\\Out Bpl"}},
        {"mismatched quotes stay", 37, {"-U\"C:\\A'"}, " -U\"\"C:\\A'\"", {"-UC:\\A'"}},
        {"other options as they stand",
         37,
         {"-B", "-$O-", "--no-config", "-LUrtl", "-N"},
         " -B -$O- --no-config -LUrtl -N",
         {"-B", "-$O-", "--no-config", "-LUrtl", "-N"}},
        {"an empty option is a space", 37, {"-B", ""}, " -B ", {"-B"}},
        {"in list order",
         37,
         {"-B", "-U\"C:\\A\"", "-Q", "-nsVcl"},
         " -B -U\"C:\\A\" -Q -ns\"Vcl\"",
         {"-B", "-UC:\\A", "-Q", "-nsVcl"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DriverSetup setup;
        setup.version = c.version;
        auto driver = MakeDriver(setup);
        driver->Options() = c.options;
        const Lines lines = run(*driver);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], std::string(kToolExe) + " " + Quoted(kPackage) + c.tail);
        Lines expected = {kPackage};
        expected.insert(expected.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(tool_.arguments(), expected);
        EXPECT_EQ(driver->Options(), c.options) << "the list itself is left as it was";
    }
}

TEST_F(ScriptedDriverTest, WithTheLongPathBugFoldersArePassedRelativeToTheCurrentFolder)
{
    CurrentFolderGuard guard;
    s_.prefix().makeFolder("C:\\Work\\Lib");
    ASSERT_TRUE(platform::current().files().setCurrentDirectory("c:\\work"));
    DriverSetup setup;
    setup.longPathBug = true;
    auto driver = MakeDriver(setup);
    driver->Options() = {"-U\"C:\\Work\\Lib;C:\\Other;Sub;..\\Up\\Dcu;C:\\Work;Z:\\tmp\"", "-LEC:\\Work\\Bpl", "-B",
                         "-I\"C:\\Work\\Lib;;C:\\Other\"", "-U\"\""};
    const Lines lines = run(*driver);
    ASSERT_FALSE(lines.empty());
    // An empty element names no folder, not the current one.
    EXPECT_EQ(lines[0], std::string(kToolExe) + " " + Quoted(kPackage) +
                            " -U\"Lib;..\\Other;Sub;..\\Up\\Dcu;.;Z:\\tmp\" -LE\"Bpl\" -B -I\"Lib;;..\\Other\" -U\"\"");
}

TEST_F(ScriptedDriverTest, AFolderWithASpaceQuotesTheExecutable)
{
    s_.prefix().installHostFile(tool_.script(), "C:\\Program Files\\Tools\\dcc32.exe");
    DriverSetup setup;
    setup.bin = "C:\\Program Files\\Tools\\";
    auto driver = MakeDriver(setup);
    driver->Options() = {"-B"};
    const Lines lines = run(*driver);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "\"C:\\Program Files\\Tools\\dcc32.exe\" \"C:\\Pkg\\Pkg.dpk\" -B");
    EXPECT_EQ(tool_.arguments(), (Lines{kPackage, "-B"}));
}

// The installer's handler: its own options instead of the driver's.
TEST(OnBeforeExecute, AHandlerThatReplacesTheOptionsGivesTheWholeCommandLine)
{
    IdeSandbox s;
    ScriptedTool tool(s.temp("tool"));
    tool.setOutput("Compiling\r\n");
    IdeSetup setup = IdeSetup::delphi13();
    setup.dcc32Host = tool.script();
    TIdeBorRADToolInstallation& d = s.install(setup);
    const std::string package = "C:\\Morvane\\TarvixComps\\D37\\TarvixLib370.dpk";
    s.prefix().writeFile(package, "package TarvixLib370;\r\nend.\r\n");

    TIdeDCC32& dcc = d.DCC32();
    Lines lines;
    dcc.SetOutputCallback([&](const std::string& line) { lines.push_back(line); });
    Lines seenBefore;
    std::optional<std::size_t> linesWhenAfter;
    dcc.OnBeforeExecute = [&](TIdeBorlandCommandLineTool& Sender) {
        EXPECT_EQ(&Sender, &dcc);
        seenBefore = Sender.Options();
        Sender.Options().clear();
        Sender.Options().push_back("-B");
    };
    dcc.OnAfterExecute = [&](TIdeBorlandCommandLineTool& Sender) {
        EXPECT_EQ(Sender.Options(), Lines{"-B"});
        linesWhenAfter = lines.size();
    };

    EXPECT_TRUE(dcc.MakePackage(package, s.ide().commonDir + "\\Bpl", s.ide().commonDir + "\\Dcp", "", false));
    const std::string commandLine = "\"" + s.ide().rootDir + "\\bin\\dcc32.exe\" \"" + package + "\" -B";
    EXPECT_THAT(lines, ElementsAre(commandLine, "Compiling"));
    EXPECT_EQ(tool.arguments(), (Lines{package, "-B"}));
    EXPECT_EQ(linesWhenAfter, 2u) << "OnAfterExecute runs after the output";
    // The handler saw the build's own options, which none of survive.
    EXPECT_THAT(seenBefore, testing::Contains("-LN\"" + s.ide().commonDir + "\\Dcp\""));
    EXPECT_EQ(dcc.Options(), Lines{"-B"});
}

// --- Output -------------------------------------------------------------------------------------------------------

TEST_F(ScriptedDriverTest, OutputLinesOfARealChild)
{
    std::string progress;
    for (int i = 1; i <= 50; ++i)
        progress += std::to_string(i * 10) + " lines\r";
    std::string many;
    Lines manyLines;
    for (int i = 0; i < 1000; ++i) {
        manyLines.push_back("line " + std::to_string(i));
        many += manyLines.back() + (i % 2 ? "\r\n" : "\n");
    }
    const std::string x254(254, 'x');
    struct Case {
        const char* what;
        std::string output;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"CR LF and LF", "Line1\r\nLine2\n", {"Line1", "Line2"}},
        {"a progress counter on lone CRs shows only as the line that ends it", progress + "Done\r\n", {"Done"}},
        {"a progress line between two lines", "First\r\n50%\rSecond\n", {"First", "Second"}},
        {"the last line without a break comes after the end", "First\r\nLast", {"First", "Last"}},
        {"a progress line at the very end is left out", "First\r\n50%\r", {"First"}},
        {"CR ending one 255-byte read, LF starting the next", x254 + "\r\n" + "Next\r\n", {x254, "Next"}},
        {"empty lines are lines", "a\r\n\r\n\nb\r\n", {"a", "", "", "b"}},
        {"no output", "", {}},
        {"many reads", many, manyLines},
    };
    auto driver = MakeDriver();
    const std::string commandLine =
        std::string(kToolExe) + " " + Quoted(kPackage) + " --no-config -U\"C:\\IDE\\lib\\Win32\\release\"";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tool_.setOutput(c.output);
        bool ok = false;
        const Lines lines = run(*driver, &ok);
        EXPECT_TRUE(ok);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], commandLine) << "the command line comes first";
        EXPECT_THAT(Lines(lines.begin() + 1, lines.end()), ElementsAreArray(c.expected));
    }
}

TEST_F(ScriptedDriverTest, OutputIsReadFromThePrefixsOemCodePage)
{
    struct Case {
        const char* oemCodePage;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"437", "caf\xC3\xA9 \xC2\xA2"}, // é, ¢
        {"850", "caf\xC3\xA9 \xC3\xB8"}, // é, ø
    };
    tool_.setOutput("caf\x82 \x9B\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.oemCodePage);
        s_.prefix().setString(RegRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Nls\\Codepage", "OEMCP",
                              c.oemCodePage);
        auto driver = MakeDriver();
        const Lines lines = run(*driver);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1], c.expected);
    }
}

TEST_F(ScriptedDriverTest, ExecuteIsTrueOnlyForExitCodeZero)
{
    tool_.setOutput("Fatal: F1026 File not found: 'KqAbout.dcu'\r\n");
    for (const int code : {0, 1, 2, 255}) {
        SCOPED_TRACE(code);
        tool_.setExitCode(code);
        auto driver = MakeDriver();
        bool ok = false;
        const Lines lines = run(*driver, &ok);
        EXPECT_EQ(ok, code == 0);
        ASSERT_EQ(lines.size(), 2u) << "the messages are there whatever the code";
        EXPECT_EQ(lines[1], "Fatal: F1026 File not found: 'KqAbout.dcu'");
    }
}

TEST_F(ScriptedDriverTest, AToolThatCannotStartLeavesOnlyTheCommandLine)
{
    s_.prefix().writeFile("C:\\NotAProgram\\dcc32.exe", "neither a PE image nor executable\r\n");
    for (const char* bin : {"C:\\Nowhere\\", "C:\\NotAProgram\\"}) {
        SCOPED_TRACE(bin);
        DriverSetup setup;
        setup.bin = bin;
        auto driver = MakeDriver(setup);
        driver->Options() = {"-B"};
        bool ok = true;
        const Lines lines = run(*driver, &ok);
        EXPECT_FALSE(ok);
        EXPECT_EQ(lines, Lines{std::string(bin) + "dcc32.exe \"C:\\Pkg\\Pkg.dpk\" -B"});

        auto quiet = MakeDriver(setup);
        EXPECT_FALSE(quiet->Execute(Quoted(kPackage)));
        EXPECT_EQ(quiet->Output(), "");
    }
    EXPECT_FALSE(tool_.ran());
}

TEST_F(ScriptedDriverTest, WithoutACallbackTheOutputIsCollectedWithCrLfBreaks)
{
    auto driver = MakeDriver();
    tool_.setOutput("Line1\nLine2\r\n50%\rDone\r\nLast");
    EXPECT_TRUE(driver->Execute(Quoted(kPackage)));
    EXPECT_EQ(driver->Output(), "Line1\r\nLine2\r\n50%Done\r\nLast") << "no command line, every CR dropped";

    // Each run starts afresh, also one that fails.
    tool_.setOutput("Fatal\n");
    tool_.setExitCode(1);
    EXPECT_FALSE(driver->Execute(Quoted(kPackage)));
    EXPECT_EQ(driver->Output(), "Fatal\r\n");
}

TEST_F(ScriptedDriverTest, OutputIsRefusedWhileACallbackTakesTheLines)
{
    auto driver = MakeDriver();
    driver->SetOutputCallback([](const std::string&) {});
    try {
        driver->Output();
        ADD_FAILURE() << "Output() did not raise";
    } catch (const EIdeCommandLineToolError& e) {
        EXPECT_STREQ(e.what(), "dcc32.exe: Output invalid, when OutputCallback assigned.");
    }
    EXPECT_THROW(driver->Output(), EIdeBorRADException);
    driver->SetOutputCallback(nullptr);
    EXPECT_EQ(driver->Output(), "");
}

TEST(CommandLineTool, TheBaseClassHasNoExecutable)
{
    TIdeBorlandCommandLineTool tool("C:\\Tools\\", false, csfMsBuild);
    EXPECT_THROW(tool.ExeName(), EAbstractError);
    TIdeCommandLineToolFile make("make.exe", "C:\\Tools\\", false, csfMsBuild);
    EXPECT_EQ(make.ExeName(), "make.exe");
    make.SetOutputCallback([](const std::string&) {});
    try {
        make.Output();
        ADD_FAILURE();
    } catch (const EIdeCommandLineToolError& e) {
        EXPECT_STREQ(e.what(), "make.exe: Output invalid, when OutputCallback assigned.");
    }
}

// --- MakePackage ------------------------------------------------------------------------------------------------------

// A Delphi 13 whose dcc32.exe is the scripted tool, with a package C:\Morvane\Pkg\Pkg.dpk.
class MakePackageTest : public ::testing::Test {
protected:
    static constexpr const char* Package = "C:\\Morvane\\Pkg\\Pkg.dpk";
    static constexpr const char* Config = "C:\\Morvane\\Pkg\\Pkg.cfg";
    static constexpr const char* Backup = "C:\\Morvane\\Pkg\\Pkg.~cfg";

    MakePackageTest()
    {
        IdeSetup setup = IdeSetup::delphi13();
        setup.dcc32Host = tool_.script();
        installation_ = &s_.install(setup);
        s_.prefix().writeFile(Package, "package Pkg;\r\nend.\r\n");
        dcc().SetOutputCallback([this](const std::string& line) {
            lines_.push_back(line);
            if (line == "boom")
                throw std::runtime_error("the log refused a line");
        });
    }

    TIdeDCC32& dcc() { return installation_->DCC32(); }
    std::string root() const { return s_.ide().rootDir; }
    std::string exe() const { return Quoted(root() + "\\bin\\dcc32.exe"); }
    std::optional<std::string> file(const char* path)
    {
        return s_.exists(path) ? std::optional<std::string>(s_.read(path)) : std::nullopt;
    }
    // The .cfg files of the package's folder as the tool saw them.
    std::map<std::string, std::string> configFilesDuringRun() const
    {
        std::map<std::string, std::string> files;
        for (const auto& [name, contents] : tool_.folderFiles())
            if (name.ends_with("cfg"))
                files[name] = contents;
        return files;
    }
    bool make(const std::string& package = Package, const std::string& extra = "", bool debug = false)
    {
        lines_.clear();
        tool_.reset();
        return dcc().MakePackage(package, "C:\\Out\\Bpl\\", "C:\\Out\\Dcp", extra, debug);
    }

    IdeSandbox s_;
    ScriptedTool tool_{s_.temp("tool"), true};
    TIdeBorRADToolInstallation* installation_ = nullptr;
    Lines lines_;
};

TEST_F(MakePackageTest, RunsInThePackagesFolderAndComesBack)
{
    struct Case {
        const char* what;
        int exitCode;
        std::string output;
        bool raises;
    };
    const std::vector<Case> cases = {
        {"a build", 0, "ok\r\n", false},
        {"a failed build", 1, "Fatal\r\n", false},
        {"a log that raises meanwhile", 0, "boom\r\nmore\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = platform::current().files().currentDirectory();
        tool_.setExitCode(c.exitCode);
        tool_.setOutput(c.output);
        if (c.raises) {
            EXPECT_THROW(make(), std::runtime_error);
        } else {
            EXPECT_EQ(make(), c.exitCode == 0);
        }
        EXPECT_EQ(tool_.currentFolder(), std::filesystem::canonical(s_.host("C:\\Morvane\\Pkg")));
        EXPECT_EQ(platform::current().files().currentDirectory(), before);
    }
}

TEST_F(MakePackageTest, AnEarlierConfigurationFileIsSetAsideAndPutBack)
{
    struct Case {
        const char* what;
        std::optional<std::string> config;        // Pkg.cfg before the build
        std::optional<std::string> olderBackup;   // Pkg.~cfg before the build
        std::optional<std::string> writtenBefore; // Pkg.cfg written by OnBeforeExecute
        int exitCode = 0;
        std::string output;
        bool beforeRaises = false;
        std::map<std::string, std::string> during; // the .cfg files the compiler saw
        std::optional<std::string> after;          // Pkg.cfg afterwards
    };
    const std::string old = "-U\"C:\\Old\"";
    const std::vector<Case> cases = {
        {"a build", old, {}, {}, 0, "", false, {{"Pkg.~cfg", old}}, old},
        {"a failed build", old, {}, {}, 1, "Fatal\r\n", false, {{"Pkg.~cfg", old}}, old},
        {"a log that raises during the build", old, {}, {}, 0, "boom\r\n", false, {{"Pkg.~cfg", old}}, old},
        {"a handler that raises before the build", old, {}, {}, 0, "", true, {}, old},
        {"one written meanwhile is replaced by the old one",
         old,
         {},
         "-B",
         0,
         "",
         false,
         {{"Pkg.cfg", "-B"}, {"Pkg.~cfg", old}},
         old},
        {"an older backup is replaced", old, "-U\"C:\\Older\"", {}, 0, "", false, {{"Pkg.~cfg", old}}, old},
        {"none: nothing to set aside", {}, {}, {}, 0, "", false, {}, {}},
        {"none, and one written meanwhile stays", {}, {}, "-B", 0, "", false, {{"Pkg.cfg", "-B"}}, "-B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::current().files().deleteFile(Config);
        platform::current().files().deleteFile(Backup);
        if (c.config)
            s_.prefix().writeFile(Config, *c.config);
        if (c.olderBackup)
            s_.prefix().writeFile(Backup, *c.olderBackup);
        dcc().OnBeforeExecute = [&](TIdeBorlandCommandLineTool&) {
            if (c.writtenBefore)
                platform::current().files().writeFile(Config, *c.writtenBefore);
            if (c.beforeRaises)
                throw std::runtime_error("the handler failed");
        };
        tool_.setExitCode(c.exitCode);
        tool_.setOutput(c.output);
        const bool raises = c.beforeRaises || c.output == "boom\r\n";
        if (raises) {
            EXPECT_THROW(make(), std::runtime_error);
        } else {
            EXPECT_EQ(make(), c.exitCode == 0);
        }
        EXPECT_EQ(tool_.ran(), !c.beforeRaises);
        if (tool_.ran()) {
            EXPECT_EQ(configFilesDuringRun(), c.during);
        }
        EXPECT_EQ(file(Config), c.after);
        EXPECT_FALSE(s_.exists(Backup)) << "no backup is left behind";
    }
}

TEST_F(MakePackageTest, TheBuildsOwnCommandLine)
{
    const std::string package = std::string(" ") + Quoted(Package);
    const std::string release = " --no-config -U\"" + root() + "\\lib\\Win32\\release\"";
    const std::string outputs = " -LN\"C:\\Out\\Dcp\" -LE\"C:\\Out\\Bpl\"";
    struct Case {
        const char* what;
        std::string package;
        std::string extra;
        bool debug;
        std::string expected; // after the executable
    };
    const std::vector<Case> cases = {
        {"no extra options: an empty last entry", Package, "", false, package + release + outputs + " "},
        {"extra options as one entry", Package, "-GD -$D-", false, package + release + outputs + " -GD -$D-"},
        {"debug", Package, "", true,
         package + " --no-config -U\"" + root() + "\\lib\\Win32\\debug\" -U\"" + root() + "\\lib\\Win32\\release\"" +
             outputs + " "},
        {"a quoted package name loses its quotes", Quoted(Package), "", false, package + release + outputs + " "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dcc().OnBeforeExecute = nullptr;
        EXPECT_TRUE(make(c.package, c.extra, c.debug));
        ASSERT_FALSE(lines_.empty());
        EXPECT_EQ(lines_[0], exe() + c.expected);
        ASSERT_FALSE(tool_.arguments().empty());
        EXPECT_EQ(tool_.arguments()[0], Package);
    }
}

// --- Project options ----------------------------------------------------------------------------------------------

std::string Dproj(const std::string& personality, const std::string& properties)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
           "<Project xmlns=\"http://schemas.microsoft.com/developer/msbuild/2003\">\r\n"
           "  <PropertyGroup>\r\n" +
           properties +
           "  </PropertyGroup>\r\n"
           "  <ProjectExtensions>\r\n"
           "    <Borland.Personality>" +
           personality +
           "</Borland.Personality>\r\n"
           "  </ProjectExtensions>\r\n"
           "</Project>\r\n";
}

const std::string kDprojProperties = "    <DCC_UsePackage>rtl;vcl</DCC_UsePackage>\r\n"
                                     "    <DCC_DcuOutput>.\\$(Platform)\\dcu</DCC_DcuOutput>\r\n"
                                     "    <DCC_UnitSearchPath>$(TARVIX_DPROJ_SOURCE);C:\\Src</DCC_UnitSearchPath>\r\n"
                                     "    <DCC_Define>DEBUG</DCC_Define>\r\n"
                                     "    <DCC_Namespace>Vcl;System</DCC_Namespace>\r\n";

TEST_F(MakePackageTest, TheOptionsOfAnMsBuildProject)
{
    // The IDE's variables replace those of the process environment in the evaluation (and add none).
    ::setenv("TARVIX_DPROJ_SOURCE", "C:\\FromTheProcess", 1);
    struct Unset {
        ~Unset() { ::unsetenv("TARVIX_DPROJ_SOURCE"); }
    } unset;
    s_.prefix().setString(RegRoot::CurrentUser, s_.ide().machineKey + "\\Environment Variables", "TARVIX_DPROJ_SOURCE",
                          "C:\\FromTheIde");
    installation_ = &s_.enumerate(); // whose variables are read with both in place
    const std::string common = s_.ide().commonDir;
    const std::string release = "-U\"" + root() + "\\lib\\Win32\\release\"";
    const std::string search = "C:\\FromTheIde;C:\\Src";
    const Lines projectOptions = {"-NU\".\\Win32\\dcu\"", "-I\"" + search + "\"", "-R\"" + search + "\"", "-DDEBUG"};
    struct Case {
        const char* what;
        std::string dproj;
        std::string dcpPath;
        Lines expected; // between the defaults and -LN
    };
    auto with = [&](Lines head, Lines tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const std::vector<Case> cases = {
        {"the Delphi personality", Dproj("Delphi.Personality", kDprojProperties), "C:\\Out\\Dcp",
         with(projectOptions,
              {"-U\"C:\\Out\\Dcp;" + common + "\\Dcp;" + search + "\"", "-LU\"rtl;vcl\"", "-nsVcl;System"})},
        {"the .NET personality, in other letter case", Dproj("delphidotnet.personality", kDprojProperties),
         "C:\\Out\\Dcp",
         with(projectOptions,
              {"-U\"C:\\Out\\Dcp;" + common + "\\Dcp;" + search + "\"", "-LU\"rtl;vcl\"", "-nsVcl;System"})},
        {"the DCP folder is the IDE's: it is named once", Dproj("Delphi.Personality", kDprojProperties),
         platform::asciiLowerCase(common) + "\\dcp\\",
         with(projectOptions, {"-U\"" + platform::asciiLowerCase(common) + "\\dcp\\;" + search + "\"", "-LU\"rtl;vcl\"",
                               "-nsVcl;System"})},
        {"no packages: no -LU",
         Dproj("Delphi.Personality", "    <DCC_Define>A;B</DCC_Define>\r\n"),
         "C:\\Out\\Dcp",
         {"-DA;B", "-U\"C:\\Out\\Dcp;" + common + "\\Dcp;\""}},
        {"another personality: the file is taken, its properties are not",
         Dproj("CBuilder.Personality", kDprojProperties),
         "C:\\Out\\Dcp",
         {"-U\"C:\\Out\\Dcp;" + common + "\\Dcp;\""}},
        {"no project file", "", "C:\\Out\\Dcp", {}},
    };
    const std::string dprojFile = "C:\\Morvane\\Pkg\\Pkg.dproj";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::current().files().deleteFile(dprojFile);
        if (!c.dproj.empty())
            s_.prefix().writeFile(dprojFile, c.dproj);
        EXPECT_TRUE(dcc().MakePackage(Package, "C:\\Out\\Bpl", c.dcpPath, "", false));
        Lines expected = {"--no-config", release};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        expected.insert(expected.end(),
                        {"-LN\"" + platform::excludeTrailingBackslash(c.dcpPath) + "\"", "-LE\"C:\\Out\\Bpl\"", ""});
        EXPECT_EQ(dcc().Options(), expected);
    }
}

TEST_F(ScriptedDriverTest, TheOptionsOfOlderProjectFiles)
{
    const std::string dof = "[Directories]\r\n"
                            "OutputDir=C:\\Exe\r\n"
                            "UnitOutputDir=C:\\Dcu\r\n"
                            "SearchPath=C:\\Src;C:\\More\r\n"
                            "Packages=rtl;vcl\r\n"
                            "Conditionals=DEBUG;TRACE\r\n";
    const std::string bdsproj =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        "<BorlandProject>\r\n"
        "  <PersonalityInfo><Option><Option Name=\"Personality\">Delphi.Personality</Option></Option>"
        "</PersonalityInfo>\r\n"
        "  <Delphi.Personality>\r\n"
        "    <Directories>\r\n"
        "      <Directories Name=\"OutputDir\">C:\\Exe</Directories>\r\n"
        "      <Directories Name=\"UnitOutputDir\">C:\\Dcu</Directories>\r\n"
        "      <Directories Name=\"SearchPath\">C:\\Src</Directories>\r\n"
        "      <Directories Name=\"Packages\">rtl;vcl</Directories>\r\n"
        "      <Directories Name=\"Conditionals\">DEBUG</Directories>\r\n"
        "      <Directories Name=\"UsePackages\">True</Directories>\r\n"
        "    </Directories>\r\n"
        "  </Delphi.Personality>\r\n"
        "</BorlandProject>\r\n";
    struct Case {
        const char* what;
        TIdeCompilerSettingsFormat format;
        float version;
        std::map<std::string, std::string> files; // extension = text
        Lines expected;                           // between the defaults and -LN
    };
    const Lines dofOptions = {"-N\"C:\\Dcu\"", "-I\"C:\\Src;C:\\More\"", "-R\"C:\\Src;C:\\More\"", "-DDEBUG;TRACE",
                              "-U\"C:\\Out\\Dcp;C:\\D7\\Projects\\Bpl;C:\\Src;C:\\More\""};
    Lines dofWithPackages = dofOptions;
    dofWithPackages.push_back("-LU\"rtl;vcl\"");
    const std::vector<Case> cases = {
        {"a .dof without packages", csfDOF, 15, {{".dof", dof + "UsePackages=0\r\n"}}, dofOptions},
        {"a .dof with packages", csfDOF, 15, {{".dof", dof + "UsePackages=1\r\n"}}, dofWithPackages},
        {"a .dproj is for MSBuild compilers only",
         csfDOF,
         15,
         {{".dof", dof + "UsePackages=1\r\n"}, {".dproj", Dproj("Delphi.Personality", kDprojProperties)}},
         dofWithPackages},
        {"a .bdsproj before a .dof",
         csfBDSProj,
         18,
         {{".bdsproj", bdsproj}, {".dof", "[Directories]\r\nSearchPath=C:\\No\r\n"}},
         {"-N\"C:\\Dcu\"", "-I\"C:\\Src\"", "-R\"C:\\Src\"", "-DDEBUG",
          "-U\"C:\\Out\\Dcp;C:\\D7\\Projects\\Bpl;C:\\Src\"", "-LU\"rtl;vcl\""}},
        {"a unit output folder from version 24 is -NU",
         csfBDSProj,
         24,
         {{".bdsproj", bdsproj}},
         {"-NU\"C:\\Dcu\"", "-I\"C:\\Src\"", "-R\"C:\\Src\"", "-DDEBUG",
          "-U\"C:\\Out\\Dcp;C:\\D7\\Projects\\Bpl;C:\\Src\"", "-LU\"rtl;vcl\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* extension : {".dof", ".dproj", ".bdsproj"})
            platform::current().files().deleteFile(std::string("C:\\Pkg\\Pkg") + extension);
        for (const auto& [extension, text] : c.files)
            s_.prefix().writeFile("C:\\Pkg\\Pkg" + extension, text);
        DriverSetup setup;
        setup.format = c.format;
        setup.version = c.version;
        setup.noConfig = false;
        setup.dcpSearchPath = "C:\\D7\\Projects\\Bpl";
        setup.lib = "C:\\D7\\Lib\\";
        auto driver = MakeDriver(setup);
        EXPECT_TRUE(driver->MakePackage(kPackage, "C:\\Out\\Bpl", "C:\\Out\\Dcp", "", false));
        Lines expected = {"-U\"C:\\D7\\Lib\""};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        expected.insert(expected.end(), {"-LN\"C:\\Out\\Dcp\"", "-LE\"C:\\Out\\Bpl\"", ""});
        EXPECT_EQ(driver->Options(), expected);
    }
}

// --- The installation's drivers ---------------------------------------------------------------------------------------

TEST(InstallationDrivers, Dcc32IsMadeOnFirstUseWithTheInstallationsFoldersAndFlags)
{
    struct Case {
        const char* what;
        std::function<IdeSetup()> setup;
        bool obj;
        float version;
        bool noConfig;
        bool longPathBug;
        TIdeCompilerSettingsFormat format;
        // From the registered IDE: lib, lib\debug, obj and DCP folders.
        std::function<std::array<std::string, 4>(const tools::RegisteredIde&)> folders;
        std::function<Lines(const tools::RegisteredIde&)> options;
    };
    const std::vector<Case> cases = {
        {"Delphi 13", [] { return IdeSetup::delphi13(); }, false, 37.0f, true, false, csfMsBuild,
         [](const tools::RegisteredIde& i) {
             return std::array<std::string, 4>{i.rootDir + "\\lib\\Win32\\release\\",
                                               i.rootDir + "\\lib\\Win32\\debug\\", "", i.commonDir + "\\Dcp"};
         },
         [](const tools::RegisteredIde& i) {
             return Lines{"--no-config", "-U\"" + i.rootDir + "\\lib\\Win32\\release\""};
         }},
        {"Delphi 13 with an obj folder", [] { return IdeSetup::delphi13(); }, true, 37.0f, true, false, csfMsBuild,
         [](const tools::RegisteredIde& i) {
             return std::array<std::string, 4>{i.rootDir + "\\lib\\Win32\\release\\",
                                               i.rootDir + "\\lib\\Win32\\debug\\",
                                               i.rootDir + "\\lib\\Win32\\release\\obj\\", i.commonDir + "\\Dcp"};
         },
         [](const tools::RegisteredIde& i) {
             return Lines{"--no-config", "-U\"" + i.rootDir + "\\lib\\Win32\\release\"",
                          "-U\"" + i.rootDir + "\\lib\\Win32\\release\\obj\"", "-LUrtl"};
         }},
        {"Delphi 7", [] { return IdeSetup::delphi7(); }, false, 15.0f, false, true, csfDOF,
         [](const tools::RegisteredIde& i) {
             return std::array<std::string, 4>{i.rootDir + "\\lib\\", i.rootDir + "\\lib\\debug\\", "",
                                               i.rootDir + "\\Projects\\Bpl"};
         },
         [](const tools::RegisteredIde& i) { return Lines{"-U\"" + i.rootDir + "\\lib\""}; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IdeSandbox s;
        TIdeBorRADToolInstallation& d = s.install(c.setup());
        // The obj folder is looked for when the driver is made.
        if (c.obj)
            s.prefix().makeFolder(s.ide().rootDir + "\\lib\\Win32\\release\\obj");
        TIdeDCC32& dcc = d.DCC32();
        const auto folders = c.folders(s.ide());
        EXPECT_EQ(dcc.BinDirectory(), s.ide().rootDir + "\\bin\\");
        EXPECT_EQ(dcc.ExeName(), "dcc32.exe");
        EXPECT_EQ(dcc.LibrarySearchPath(), folders[0]);
        EXPECT_EQ(dcc.LibraryDebugSearchPath(), folders[1]);
        EXPECT_EQ(dcc.CppSearchPath(), folders[2]);
        EXPECT_EQ(dcc.DCPSearchPath(), folders[3]);
        EXPECT_FLOAT_EQ(dcc.DCCVersion(), c.version);
        EXPECT_EQ(dcc.SupportsNoConfig(), c.noConfig);
        EXPECT_EQ(dcc.LongPathBug(), c.longPathBug);
        EXPECT_EQ(dcc.CompilerSettingsFormat(), c.format);
        EXPECT_EQ(dcc.GetPlatform(), "Win32");
        EXPECT_EQ(dcc.Options(), c.options(s.ide()));
        EXPECT_EQ(&d.DCC32(), &dcc) << "made once";
        EXPECT_EQ(&d.DCC(), &dcc);
    }
}

TEST(InstallationDrivers, AnIdeWithoutDcc32HasNoDriver)
{
    IdeSandbox s;
    IdeSetup setup = IdeSetup::delphi13();
    std::erase(setup.binFiles, "dcc32.exe");
    TIdeBorRADToolInstallation& d = s.install(setup);
    ASSERT_FALSE(d.CommandLineTools().Contains(clDcc32));
    for (const auto& get : std::vector<std::function<void()>>{[&] { d.DCC32(); }, [&] { d.DCC(); }}) {
        try {
            get();
            ADD_FAILURE() << "no error";
        } catch (const EIdeBorRADException& e) {
            EXPECT_STREQ(e.what(), "dcc32.exe not found");
        }
    }
    // Handing out the callback skips the missing compiler.
    EXPECT_NO_THROW(d.SetOutputCallback([](const std::string&) {}));
    EXPECT_TRUE(d.OutputCallback());
}

TEST(InstallationDrivers, TheOutputCallbackReachesEveryPresentToolsDriver)
{
    for (const bool driverFirst : {true, false}) {
        SCOPED_TRACE(driverFirst ? "the driver made before the callback is set" : "the callback set first");
        IdeSandbox s;
        ScriptedTool tool(s.temp("tool"));
        tool.setOutput("hello\r\n");
        IdeSetup setup = IdeSetup::delphi13();
        setup.dcc32Host = tool.script();
        auto& d = dynamic_cast<TIdeBDSInstallation&>(s.install(setup));
        if (driverFirst)
            d.DCC32();
        Lines lines;
        d.SetOutputCallback([&](const std::string& line) { lines.push_back(line); });

        TIdeDCC32& dcc = d.DCC32();
        dcc.Options() = {"-B"};
        EXPECT_TRUE(dcc.Execute("Pkg.dpk"));
        EXPECT_EQ(lines, (Lines{"\"" + s.ide().rootDir + "\\bin\\dcc32.exe\" Pkg.dpk -B", "hello"}));

        // The other compilers of the bin folder got it too, with their own platforms.
        for (TIdeDCC32* other : {&d.DCC64(), &d.DCCLinux64(), &d.DCCArm64(), &d.DCCOSX64(), &d.DCCiOS64()}) {
            SCOPED_TRACE(other->ExeName());
            lines.clear();
            ASSERT_TRUE(other->OutputCallback());
            other->OutputCallback()("via " + other->ExeName());
            EXPECT_EQ(lines, Lines{"via " + other->ExeName()});
        }
        EXPECT_EQ(d.DCC64().GetPlatform(), "Win64");
        EXPECT_EQ(d.DCC64().ExeName(), "dcc64.exe");
        EXPECT_EQ(d.DCC64().LibrarySearchPath(), s.ide().rootDir + "\\lib\\Win64\\release\\");
        EXPECT_THROW(d.BCC32(), EIdeBorRADException) << "no bcc32.exe";
    }
}

TEST(InstallationDrivers, DelphiSevensMakeToolGetsTheCallbackToo)
{
    IdeSandbox s;
    TIdeBorRADToolInstallation& d = s.install(IdeSetup::delphi7());
    Lines lines;
    d.SetOutputCallback([&](const std::string& line) { lines.push_back(line); });
    ASSERT_TRUE(d.Make().OutputCallback());
    d.Make().OutputCallback()("make");
    d.DCC32().OutputCallback()("dcc32");
    EXPECT_EQ(lines, (Lines{"make", "dcc32"}));
    EXPECT_EQ(d.Make().ExeName(), "make.exe");
    try {
        d.Bpr2Mak();
        ADD_FAILURE();
    } catch (const EIdeBorRADException& e) {
        EXPECT_STREQ(e.what(), "bpr2mak.exe not found");
    }
}

} // namespace
