// The simulated IDE compiler: the core against an in-memory host (command line, configuration file, package
// source, unit lookup, output files and messages, OEM output), and the built Linux program in a sandbox prefix.
#include "tools/sim_dcc32.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/ascii_case.h"
#include "platform/host_process.h"
#include "platform/text_encoding.h"
#include "platform/windows_path.h"
#include "tests/support/sandbox_system.h"

namespace fs = std::filesystem;
using testing::AllOf;
using testing::EndsWith;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

namespace tarvix::tools {
namespace {

std::string crlf(std::initializer_list<std::string_view> lines)
{
    std::string text;
    for (const std::string_view line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

// Files and folders in memory, matched without regard to ASCII case as the file systems behind the real hosts
// match them; code pages through the platform's conversions.
class FakeHost : public SimDcc32Host {
public:
    uint32_t ansiCodePage = 1252;
    uint32_t oemCodePage = 850;
    std::string currentFolder = "C:\\Pkg";
    std::set<std::string> refusedWrites; // paths whose writing fails
    std::vector<std::string> pieces;     // what was written to standard output, call by call

    void addFile(const std::string& path, std::string bytes)
    {
        files_[platform::asciiLowerCase(path)] = std::move(bytes);
        addFolder(path.substr(0, path.rfind('\\')));
    }

    void addFolder(std::string path)
    {
        for (;;) {
            folders_.insert(platform::asciiLowerCase(path));
            const std::size_t separator = path.rfind('\\');
            if (separator == std::string::npos)
                return;
            path.resize(separator);
        }
    }

    std::optional<std::string> file(const std::string& path) const
    {
        const auto found = files_.find(platform::asciiLowerCase(path));
        return found == files_.end() ? std::nullopt : std::optional<std::string>(found->second);
    }

    std::string output() const
    {
        std::string all;
        for (const std::string& piece : pieces)
            all += piece;
        return all;
    }

    std::size_t fileCount() const { return files_.size(); }

    bool fileExists(std::string_view path) override { return files_.contains(platform::asciiLowerCase(path)); }
    bool directoryExists(std::string_view path) override
    {
        std::string key = platform::excludeTrailingBackslash(platform::asciiLowerCase(path));
        if (key.size() == 3 && key.back() == '\\')
            key.pop_back(); // "c:\" is the drive "c:"
        return folders_.contains(key);
    }
    std::optional<std::string> readFile(std::string_view path) override { return file(std::string(path)); }
    bool writeFile(std::string_view path, std::string_view bytes) override
    {
        if (refusedWrites.contains(std::string(path)))
            return false;
        files_[platform::asciiLowerCase(path)] = std::string(bytes);
        return true;
    }
    std::string currentDirectory() override { return currentFolder; }
    std::string decodeAnsi(std::string_view bytes) override { return platform::decodeCodePage(bytes, ansiCodePage); }
    std::string encodeOem(std::string_view utf8) override { return platform::encodeCodePage(utf8, oemCodePage); }
    void writeOutput(std::string_view bytes) override { pieces.emplace_back(bytes); }

private:
    std::map<std::string, std::string> files_;
    std::set<std::string> folders_;
};

int compile(FakeHost& host, const std::vector<std::string>& arguments)
{
    return SimDcc32(host).run(arguments);
}

const std::string Banner = std::string(SimDcc32Banner) + "\r\n";

// C:\Pkg\Demo.dpk containing KqAbout (a compiled unit beside it) and KqLib (compiled, in C:\Lib\B only), with
// the output folders C:\Out\Bpl and C:\Out\Dcp and an empty C:\Lib\A.
FakeHost demoPackage()
{
    FakeHost host;
    host.addFile("C:\\Pkg\\Demo.dpk", crlf({"package Demo;", "", "requires", "  rtl;", "", "contains", "  KqAbout,",
                                            "  KqLib;", "", "end."}));
    host.addFile("C:\\Pkg\\KqAbout.dcu", "dcu");
    host.addFile("C:\\Lib\\B\\KqLib.dcu", "dcu");
    host.addFolder("C:\\Lib\\A");
    host.addFolder("C:\\Out\\Bpl");
    host.addFolder("C:\\Out\\Dcp");
    return host;
}

// ---------------------------------------------------------------------------------------------------------------
// A successful run

TEST(SimDcc32, SuccessfulRunPrintsTheCompilerMessagesInOrder)
{
    FakeHost host;
    host.addFile("C:\\Pkg\\Demo.dpk", crlf({"package Demo;", "contains", "  KqAbout,",
                                            "  KqAnimate in 'KqAnimate.pas',", "  KqLib;", "end."}));
    host.addFile("C:\\Pkg\\KqAbout.dcu", "dcu");
    host.addFile("C:\\Pkg\\KqAnimate.pas", crlf({"unit KqAnimate;", "interface", "implementation", "end."}));
    host.addFile("C:\\Lib\\KqLib.dcu", "dcu");

    ASSERT_EQ(compile(host, {"-UC:\\Lib", "C:\\Pkg\\Demo.dpk"}), SimDcc32Success);

    const std::size_t bplSize = host.file("C:\\Pkg\\Demo.bpl").value_or("").size();
    const std::size_t dcpSize = host.file("C:\\Pkg\\Demo.dcp").value_or("").size();
    // 6 lines of the package source and 4 of the one unit read as source.
    EXPECT_EQ(host.output(), Banner +
                                 crlf({
                                     "Compiling KqAbout (C:\\Pkg\\KqAbout.dcu)",
                                     "Compiling KqAnimate (C:\\Pkg\\KqAnimate.pas)",
                                     "Compiling KqLib (C:\\Lib\\KqLib.dcu)",
                                     "C:\\Pkg\\Demo.dpk(1) Warning: W1057 Implicit string cast from "
                                     "'AnsiString' to 'string'",
                                 }) +
                                 "2 lines\r5 lines\r7 lines\r10 lines\r" + "10 lines, 0.01 seconds, " +
                                 std::to_string(bplSize) + " bytes code, " + std::to_string(dcpSize) +
                                 " bytes data.\r\n");
}

TEST(SimDcc32, OutputArrivesOneLineAtATime)
{
    FakeHost host = demoPackage();
    ASSERT_EQ(compile(host, {"-UC:\\Lib\\B", "Demo.dpk"}), SimDcc32Success);
    ASSERT_GT(host.pieces.size(), 5u);
    for (const std::string& piece : host.pieces) {
        const std::size_t ending = piece.ends_with("\r\n") ? 2 : piece.ends_with("\r") ? 1 : 0;
        ASSERT_NE(ending, 0u) << "a piece that does not end a line: " << piece;
        EXPECT_EQ(piece.find_first_of("\r\n"), piece.size() - ending) << "more than one line at once: " << piece;
    }
}

TEST(SimDcc32, WritesAPlaceholderBplAndDcpListingTheUnits)
{
    FakeHost host = demoPackage();
    ASSERT_EQ(compile(host, {"-UC:\\Lib\\B", "Demo.dpk"}), SimDcc32Success);

    const std::string bpl = host.file("C:\\Pkg\\Demo.bpl").value_or("");
    const std::string dcp = host.file("C:\\Pkg\\Demo.dcp").value_or("");
    EXPECT_THAT(bpl, StartsWith("MZ"));
    for (const std::string& image : {bpl, dcp}) {
        EXPECT_THAT(image, HasSubstr("simulated"));
        EXPECT_THAT(image, AllOf(HasSubstr("requires rtl\r\n"), HasSubstr("contains KqAbout\r\n"),
                                 HasSubstr("contains KqLib\r\n")));
    }
    EXPECT_NE(bpl, dcp);
    EXPECT_EQ(host.fileCount(), 5u) << "the package, two units, the .bpl and the .dcp";
}

// ---------------------------------------------------------------------------------------------------------------
// Command line and configuration file

struct CommandLineCase {
    const char* name = "";
    std::vector<std::string> arguments = {};
    std::string config = {}; // C:\Pkg\Demo.cfg when not empty
    std::string currentFolder = "C:\\Pkg";
    int exitCode = SimDcc32Success;
    std::string bpl = "C:\\Pkg\\Demo.bpl"; // where the outputs of a successful run are
    std::string dcp = "C:\\Pkg\\Demo.dcp";
};

TEST(SimDcc32, CommandLineAndConfigurationFile)
{
    const CommandLineCase cases[] = {
        {.name = "a quoted list", .arguments = {"-U\"C:\\Lib\\A;C:\\Lib\\B\"", "C:\\Pkg\\Demo.dpk"}},
        {.name = "list items quoted one by one", .arguments = {"-U\"C:\\Lib\\A\";\"C:\\Lib\\B\"", "Demo.dpk"}},
        {.name = "blank list items", .arguments = {"-U;;C:\\Lib\\B;", "Demo.dpk"}},
        {.name = "-U options add up", .arguments = {"-UC:\\Lib\\A", "-UC:\\Lib\\B", "Demo.dpk"}},
        {.name = "without the -U folder the unit is missing",
         .arguments = {"-UC:\\Lib\\A", "Demo.dpk"},
         .exitCode = SimDcc32Failure},
        {.name = "option letters in any case",
         .arguments = {"-uC:\\Lib\\B", "-leC:\\Out\\Bpl", "-lNC:\\Out\\Dcp", "Demo.dpk"},
         .bpl = "C:\\Out\\Bpl\\Demo.bpl",
         .dcp = "C:\\Out\\Dcp\\Demo.dcp"},
        {.name = "quoted output folders with a trailing backslash",
         .arguments = {"-UC:\\Lib\\B", "-LE\"C:\\Out\\Bpl\\\"", "-LN\"C:\\Out\\Dcp\"", "Demo.dpk"},
         .bpl = "C:\\Out\\Bpl\\Demo.bpl",
         .dcp = "C:\\Out\\Dcp\\Demo.dcp"},
        {.name = "the last -LE wins",
         .arguments = {"-LEC:\\Out\\Dcp", "-UC:\\Lib\\B", "-LEC:\\Out\\Bpl", "Demo.dpk"},
         .bpl = "C:\\Out\\Bpl\\Demo.bpl"},
        {.name = "options after the project",
         .arguments = {"Demo.dpk", "-UC:\\Lib\\B", "-LEC:\\Out\\Bpl"},
         .bpl = "C:\\Out\\Bpl\\Demo.bpl"},
        {.name = "a project without extension", .arguments = {"-UC:\\Lib\\B", "Demo"}},
        {.name = "a quoted project", .arguments = {"-UC:\\Lib\\B", "\"C:\\Pkg\\Demo.dpk\""}},
        {.name = "paths relative to the current folder",
         .arguments = {"-ULib\\B", "-LEOut\\Bpl", "-LN\\Out\\Dcp", "Pkg\\Demo.dpk"},
         .currentFolder = "C:\\",
         .bpl = "C:\\Out\\Bpl\\Demo.bpl",
         .dcp = "C:\\Out\\Dcp\\Demo.dcp"},
        {.name = "options accepted without effect",
         .arguments = {"-B",
                       "-Q",
                       "-M",
                       "-H-",
                       "-H+",
                       "-W-",
                       "-$O-",
                       "-$W+",
                       "-$Y-",
                       "-$D0",
                       "-NSVcl;System;Winapi",
                       "-DDEBUG;RELEASE",
                       "-I\"C:\\Inc\"",
                       "-RC:\\Res",
                       "-NOC:\\Obj",
                       "-NUC:\\Dcu",
                       "-NC:\\Dcu",
                       "-LUrtl;vcl",
                       "-K00400000",
                       "-Zunknown",
                       "--unknown",
                       "-",
                       "",
                       "-UC:\\Lib\\B",
                       "Demo.dpk",
                       "Second.dpk"}},

        {.name = "the configuration file's options",
         .arguments = {"Demo.dpk"},
         .config = crlf({"-UC:\\Lib\\B", "-LEC:\\Out\\Bpl"}),
         .bpl = "C:\\Out\\Bpl\\Demo.bpl"},
        {.name = "blank lines, spaces and a last line without a break in the configuration file",
         .arguments = {"Demo.dpk"},
         .config = "\r\n   \r\n  -U\"C:\\Lib\\A;C:\\Lib\\B\"  \n\n-LNC:\\Out\\Dcp",
         .dcp = "C:\\Out\\Dcp\\Demo.dcp"},
        {.name = "a UTF-8 configuration file", .arguments = {"Demo.dpk"}, .config = "\xEF\xBB\xBF-UC:\\Lib\\B\r\n"},
        {.name = "lines that are no options are skipped",
         .arguments = {"Demo.dpk"},
         .config = crlf({"Other.dpk", "# -LEC:\\Out\\Bpl", "-UC:\\Lib\\B"})},
        {.name = "--no-config ignores the configuration file",
         .arguments = {"--no-config", "Demo.dpk"},
         .config = crlf({"-UC:\\Lib\\B"}),
         .exitCode = SimDcc32Failure},
        {.name = "--no-config after the project",
         .arguments = {"Demo.dpk", "--NO-CONFIG"},
         .config = crlf({"-UC:\\Lib\\B"}),
         .exitCode = SimDcc32Failure},
        {.name = "the command line wins over the configuration file",
         .arguments = {"-LEC:\\Out\\Bpl", "Demo.dpk"},
         .config = crlf({"-UC:\\Lib\\B", "-LEC:\\Out\\Dcp"}),
         .bpl = "C:\\Out\\Bpl\\Demo.bpl"},
        {.name = "-U folders of both add up",
         .arguments = {"-UC:\\Lib\\A", "Demo.dpk"},
         .config = crlf({"-UC:\\Lib\\B"})},
    };
    for (const CommandLineCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host = demoPackage();
        host.currentFolder = c.currentFolder;
        if (!c.config.empty())
            host.addFile("C:\\Pkg\\Demo.cfg", c.config);
        EXPECT_EQ(compile(host, c.arguments), c.exitCode) << host.output();
        if (c.exitCode == SimDcc32Success) {
            EXPECT_TRUE(host.file(c.bpl)) << host.output();
            EXPECT_TRUE(host.file(c.dcp)) << host.output();
        } else {
            EXPECT_THAT(host.output(), EndsWith("Fatal: F1026 File not found: 'KqLib.dcu'\r\n"));
        }
    }
}

TEST(SimDcc32, ConfigurationFileInTheAnsiCodePage)
{
    FakeHost host = demoPackage();
    host.addFile("C:\\Bibliotecas\\A\xC3\xA7\xC3\xB5"
                 "es\\KqLib.dcu",
                 "dcu"); // "Ações"
    host.addFile("C:\\Pkg\\Demo.cfg", "-UC:\\Bibliotecas\\A\xE7\xF5"
                                      "es\r\n"); // the same in code page 1252
    EXPECT_EQ(compile(host, {"Demo.dpk"}), SimDcc32Success) << host.output();
}

TEST(SimDcc32, HelpAndMissingArguments)
{
    for (const char* help : {"--help", "-h", "/?", "-?"}) {
        SCOPED_TRACE(help);
        FakeHost host = demoPackage();
        EXPECT_EQ(compile(host, {"-UC:\\Lib\\B", help, "Demo.dpk"}), SimDcc32Success);
        EXPECT_THAT(host.output(), AllOf(StartsWith(Banner), HasSubstr("Syntax: dcc32"), HasSubstr("simulation")));
        EXPECT_FALSE(host.file("C:\\Pkg\\Demo.bpl")) << "help compiles nothing";
    }

    const std::vector<std::vector<std::string>> withoutPackage = {{}, {"-B", "-UC:\\Lib"}, {"", "--no-config"}};
    for (const auto& arguments : withoutPackage) {
        FakeHost host = demoPackage();
        EXPECT_EQ(compile(host, arguments), SimDcc32Failure);
        EXPECT_EQ(host.output(), Banner + "Syntax: dcc32 [options] package[.dpk]\r\n");
    }

    const std::pair<const char*, const char*> missingSources[] = {
        {"Nothing.dpk", "'Nothing.dpk'"},
        {"Nothing", "'Nothing.dpk'"},
        {"C:\\Pkg\\Sub\\Demo.dpk", "'C:\\Pkg\\Sub\\Demo.dpk'"},
        {"C:\\Out", "'C:\\Out.dpk'"}, // a folder is no package
    };
    for (const auto& [argument, reported] : missingSources) {
        SCOPED_TRACE(argument);
        FakeHost host = demoPackage();
        EXPECT_EQ(compile(host, {argument}), SimDcc32Failure);
        EXPECT_EQ(host.output(), Banner + "Fatal: F1026 File not found: " + reported + "\r\n");
    }
}

// ---------------------------------------------------------------------------------------------------------------
// The package source

TEST(SimDcc32, LibSuffixNamesTheBpl)
{
    const std::pair<const char*, const char*> cases[] = {
        {"{$LIBSUFFIX '370'}", "Demo370.bpl"},
        {"{$LIBSUFFIX \"_d13\"}", "Demo_d13.bpl"},
        {"{$libsuffix '370'}", "Demo370.bpl"},
        {"(*$LIBSUFFIX '370'*)", "Demo370.bpl"},
        {"{$LIBSUFFIX '260'}\r\n{$LIBSUFFIX '370'}", "Demo370.bpl"},
        {"{ $LIBSUFFIX '370' }", "Demo.bpl"},
        {"// {$LIBSUFFIX '370'}", "Demo.bpl"},
        {"(* {$LIBSUFFIX '370'} *)", "Demo.bpl"},
        {"{$LIBSUFFIXES '370'}", "Demo.bpl"},
    };
    for (const auto& [directive, bpl] : cases) {
        SCOPED_TRACE(directive);
        FakeHost host;
        host.addFile("C:\\Pkg\\Demo.dpk", crlf({"package Demo;", directive, "contains KqAbout;", "end."}));
        host.addFile("C:\\Pkg\\KqAbout.dcu", "dcu");
        EXPECT_EQ(compile(host, {"Demo.dpk"}), SimDcc32Success) << host.output();
        EXPECT_TRUE(host.file(std::string("C:\\Pkg\\") + bpl)) << host.output();
        EXPECT_TRUE(host.file("C:\\Pkg\\Demo.dcp")) << "the .dcp has no suffix";
    }
}

// Where a contained unit is found, for the contains clause of C:\Pkg\Demo.dpk.
struct UnitCase {
    const char* name;
    std::string contains;
    std::vector<std::string> files;
    std::vector<std::string> compiled; // the "Compiling" lines, in order
};

TEST(SimDcc32, FindsTheContainedUnits)
{
    const UnitCase cases[] = {
        {"source beside the package", "KqAbout", {"C:\\Pkg\\KqAbout.pas"}, {"KqAbout (C:\\Pkg\\KqAbout.pas)"}},
        {"source preferred to a compiled unit in the same folder",
         "KqAbout",
         {"C:\\Pkg\\KqAbout.pas", "C:\\Pkg\\KqAbout.dcu"},
         {"KqAbout (C:\\Pkg\\KqAbout.pas)"}},
        {"the package's folder before a -U folder",
         "KqAbout",
         {"C:\\Lib\\KqAbout.pas", "C:\\Pkg\\KqAbout.dcu"},
         {"KqAbout (C:\\Pkg\\KqAbout.dcu)"}},
        {"compiled unit in a -U folder", "KqAbout", {"C:\\Lib\\KqAbout.dcu"}, {"KqAbout (C:\\Lib\\KqAbout.dcu)"}},
        {"the in file, relative to the package",
         "KqAbout in 'Src\\KqAbout.pas'",
         {"C:\\Pkg\\Src\\KqAbout.pas", "C:\\Pkg\\KqAbout.dcu"},
         {"KqAbout (C:\\Pkg\\Src\\KqAbout.pas)"}},
        {"an absolute in file",
         "KqAbout in 'C:\\Src\\KqAbout.pas'",
         {"C:\\Src\\KqAbout.pas"},
         {"KqAbout (C:\\Src\\KqAbout.pas)"}},
        {"a missing in file falls back to the compiled unit",
         "KqAbout in 'KqAbout.pas'",
         {"C:\\Pkg\\KqAbout.dcu"},
         {"KqAbout (C:\\Pkg\\KqAbout.dcu)"}},
        {"names in another case", "kqabout", {"C:\\Pkg\\KQABOUT.DCU"}, {"kqabout (C:\\Pkg\\kqabout.dcu)"}},
        {"a dotted unit name", "Kq.About", {"C:\\Pkg\\Kq.About.dcu"}, {"Kq.About (C:\\Pkg\\Kq.About.dcu)"}},
        {"clause order, several on a line, comments between",
         "KqB, { KqMissing, } KqA (* KqMissing *), // KqMissing,\r\n  KqC in 'KqC.pas' {FormC}",
         {"C:\\Pkg\\KqA.dcu", "C:\\Pkg\\KqB.dcu", "C:\\Pkg\\KqC.pas"},
         {"KqB (C:\\Pkg\\KqB.dcu)", "KqA (C:\\Pkg\\KqA.dcu)", "KqC (C:\\Pkg\\KqC.pas)"}},
        {"an apostrophe in the in file",
         "KqAbout in 'Kq''About.pas'",
         {"C:\\Pkg\\Kq'About.pas"},
         {"KqAbout (C:\\Pkg\\Kq'About.pas)"}},
    };
    for (const UnitCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        host.addFile("C:\\Pkg\\Demo.dpk",
                     "package Demo;\r\nrequires rtl, vcl;\r\ncontains " + c.contains + ";\r\nend.\r\n");
        for (const std::string& file : c.files)
            host.addFile(file, "unit\r\n");
        ASSERT_EQ(compile(host, {"-UC:\\Lib", "Demo.dpk"}), SimDcc32Success) << host.output();
        std::string expected = Banner;
        for (const std::string& line : c.compiled)
            expected += "Compiling " + line + "\r\n";
        EXPECT_THAT(host.output(), StartsWith(expected));
    }
}

// A unit that is nowhere: the error names the line of the package source where the unit is listed.
TEST(SimDcc32, MissingUnitIsAFatalErrorOnItsLine)
{
    struct Case {
        const char* name;
        std::string source;
        int line;
        const char* compiledBefore; // the "Compiling" lines before the error
    };
    const Case cases[] = {
        {"one per line", crlf({"package Demo;", "", "contains", "  KqAbout,", "  KqMissing,", "  KqLast;", "end."}), 5,
         "Compiling KqAbout (C:\\Pkg\\KqAbout.dcu)\r\n"},
        {"the first one", crlf({"package Demo;", "contains", "  KqMissing,", "  KqAbout;", "end."}), 3, ""},
        {"with a missing in file", crlf({"package Demo;", "contains", "  KqMissing in 'KqMissing.pas';", "end."}), 3,
         ""},
        {"several on a line", crlf({"package Demo;", "contains KqAbout, KqMissing;", "end."}), 2,
         "Compiling KqAbout (C:\\Pkg\\KqAbout.dcu)\r\n"},
        {"after comments over several lines",
         crlf({"package Demo;", "{ a comment", "  over lines }", "(* and", "*) contains", "// KqAbout", "  KqMissing;",
               "end."}),
         7, ""},
        {"LF line breaks", "package Demo;\n\ncontains\n  KqMissing;\nend.\n", 4, ""},
        {"lone CR line breaks", "package Demo;\r\rcontains\r  KqMissing;\rend.\r", 4, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        host.addFile("C:\\Pkg\\Demo.dpk", c.source);
        host.addFile("C:\\Pkg\\KqAbout.dcu", "dcu");
        host.addFile("C:\\Pkg\\KqLast.dcu", "dcu");
        EXPECT_EQ(compile(host, {"Demo.dpk"}), SimDcc32Failure);
        EXPECT_EQ(host.output(), Banner + c.compiledBefore + "C:\\Pkg\\Demo.dpk(" + std::to_string(c.line) +
                                     ") Fatal: F1026 File not found: 'KqMissing.dcu'\r\n");
        EXPECT_FALSE(host.file("C:\\Pkg\\Demo.bpl"));
        EXPECT_FALSE(host.file("C:\\Pkg\\Demo.dcp"));
    }
}

TEST(SimDcc32, SyntaxErrorsInThePackageSource)
{
    const std::pair<std::string, const char*> cases[] = {
        {crlf({"program Demo;", "begin", "end."}),
         "(1) Error: E2029 'package' expected but identifier 'program' found"},
        {"", "(1) Error: E2029 'package' expected but end of file found"},
        {crlf({"package Demo", "contains KqAbout;", "end."}),
         "(2) Error: E2029 ';' expected but identifier 'contains' found"},
        {crlf({"package Demo;", "contains", "", "end."}), "(4) Error: E2029 Identifier expected but 'END' found"},
        {crlf({"package Demo;", "contains KqAbout", "end."}), "(3) Error: E2029 ';' expected but 'END' found"},
        {crlf({"package Demo;", "contains KqAbout in KqAbout;", "end."}),
         "(2) Error: E2029 String constant expected but identifier 'KqAbout' found"},
        {crlf({"package Demo;", "requires rtl,;", "contains KqAbout;", "end."}),
         "(2) Error: E2029 Identifier expected but ';' found"},
        {crlf({"package Demo;", "contains KqAbout;"}), "(3) Error: E2029 'end' expected but end of file found"},
        {crlf({"package Demo;", "contains KqAbout;", "end"}), "(4) Error: E2029 '.' expected but end of file found"},
        {crlf({"package Demo;", "{ never closed", "contains KqAbout;", "end."}),
         "(5) Error: E2029 'end' expected but end of file found"},
    };
    for (const auto& [source, error] : cases) {
        SCOPED_TRACE(source);
        FakeHost host;
        host.addFile("C:\\Pkg\\Demo.dpk", source);
        host.addFile("C:\\Pkg\\KqAbout.dcu", "dcu");
        EXPECT_EQ(compile(host, {"Demo.dpk"}), SimDcc32Failure);
        EXPECT_EQ(host.output(), Banner + "C:\\Pkg\\Demo.dpk" + error + "\r\n");
        EXPECT_FALSE(host.file("C:\\Pkg\\Demo.bpl"));
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Output files that cannot be written

TEST(SimDcc32, OutputThatCannotBeCreatedIsAFatalErrorAndWritesNothing)
{
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string refusedWrite;
        std::string reported;
    };
    const Case cases[] = {
        {"no .bpl folder", {"-LEC:\\Nowhere"}, "", "C:\\Nowhere\\Demo.bpl"},
        {"no .dcp folder", {"-LNC:\\Out\\Nowhere"}, "", "C:\\Out\\Nowhere\\Demo.dcp"},
        {"a file where the folder should be", {"-LEC:\\Pkg\\KqAbout.dcu"}, "", "C:\\Pkg\\KqAbout.dcu\\Demo.bpl"},
        {"the .bpl refused", {}, "C:\\Pkg\\Demo.bpl", "C:\\Pkg\\Demo.bpl"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host = demoPackage();
        host.refusedWrites.insert(c.refusedWrite);
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"-UC:\\Lib\\B", "Demo.dpk"});
        EXPECT_EQ(compile(host, arguments), SimDcc32Failure);
        EXPECT_THAT(host.output(), EndsWith("Fatal: F2039 Could not create output file '" + c.reported + "'\r\n"));
        EXPECT_THAT(host.output(), Not(HasSubstr(" lines")));
        EXPECT_EQ(host.fileCount(), 3u) << "nothing written besides the package and its units";
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Text beyond ASCII

// The package source in the ANSI code page or in UTF-8, the output in the OEM code page: a reader decoding the
// output with the OEM code page gets the names back.
TEST(SimDcc32, NonAsciiNamesSurviveTheOemOutput)
{
    const std::string unit = "KqA\xC3\xA7\xC3\xBA"
                             "car"; // "KqAçúcar"
    for (const uint32_t oem : {437u, 850u}) {
        for (const bool utf8Source : {false, true}) {
            SCOPED_TRACE("OEM " + std::to_string(oem) + (utf8Source ? ", UTF-8 source" : ", ANSI source"));
            const std::string source = crlf({"package Demo;", "contains", "  KqAbout,", "  " + unit + ";", "end."});
            FakeHost host;
            host.oemCodePage = oem;
            host.addFile("C:\\Pkg\\Demo.dpk",
                         utf8Source ? "\xEF\xBB\xBF" + source : platform::encodeCodePage(source, 1252));
            host.addFile("C:\\Pkg\\KqAbout.dcu", "dcu");
            host.addFile("C:\\A\xC3\xA7\xC3\xBA"
                         "car\\" +
                             unit + ".dcu",
                         "dcu");

            ASSERT_EQ(compile(host, {"-UC:\\A\xC3\xA7\xC3\xBA"
                                     "car",
                                     "Demo.dpk"}),
                      SimDcc32Success)
                << host.output();
            EXPECT_THAT(platform::decodeCodePage(host.output(), oem), HasSubstr("Compiling " + unit +
                                                                                " (C:\\A\xC3\xA7\xC3\xBA"
                                                                                "car\\" +
                                                                                unit + ".dcu)\r\n"));
            EXPECT_THAT(host.file("C:\\Pkg\\Demo.bpl").value_or(""), HasSubstr("contains " + unit + "\r\n"));

            host.addFile("C:\\Pkg\\Demo.dpk", platform::encodeCodePage(source, 1252));
            host.pieces.clear();
            ASSERT_EQ(compile(host, {"Demo.dpk"}), SimDcc32Failure);
            EXPECT_THAT(platform::decodeCodePage(host.output(), oem),
                        EndsWith("(4) Fatal: F1026 File not found: '" + unit + ".dcu'\r\n"));
        }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// The Linux program in a sandbox prefix: Windows paths through the prefix's drives, file names in another case
// than the package names them, the prefix's code pages.

struct ProgramRun {
    uint32_t exitCode = platform::NoExitCode;
    std::string output;
};

ProgramRun runProgram(test::SandboxSystem& sandbox, const std::string& program,
                      const std::vector<std::string>& arguments, const std::string& windowsFolder)
{
    platform::HostProcessSpec spec;
    spec.argv = {program};
    spec.argv.insert(spec.argv.end(), arguments.begin(), arguments.end());
    spec.environment =
        platform::withEnvironment(platform::currentEnvironment(), {"WINEPREFIX=" + sandbox.builder().dir().string()});
    spec.workingDirectory = sandbox.builder().hostPath(windowsFolder).string();
    spec.input = platform::StreamMode::Null;
    spec.mergeError = true; // a complaint of the program shows in the failure message
    ProgramRun run;
    spec.onOutput = [&](std::string_view bytes) { run.output += bytes; };
    run.exitCode = platform::runHostProcess(spec).exitCode;
    return run;
}

std::string readHostFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(SimDcc32Program, CompilesAPackageInASandboxPrefix)
{
    test::SandboxSystem sandbox;
    IdeSetup setup = IdeSetup::delphi13();
    setup.dcc32Host = fs::path(TARVIX_SIM_DCC32_HOST);
    const RegisteredIde ide = sandbox.builder().registerIde(setup);
    ASSERT_FALSE(ide.dcc32File.empty());

    const std::string unit = "KqA\xC3\xA7\xC3\xBA"
                             "car";
    const std::string folder = "C:\\Morvane\\TarvixComps\\D37";
    const std::string bplFolder = ide.commonDir + "\\Bpl";
    const std::string dcpFolder = ide.commonDir + "\\Dcp";
    auto& prefix = sandbox.builder();
    const uint32_t ansi = sandbox.system().shell().ansiCodePage();
    const uint32_t oem = sandbox.system().shell().oemCodePage();
    prefix.writeFile(
        folder + "\\TarvixLib370.dpk",
        platform::encodeCodePage(crlf({"package TarvixLib370;", "requires", "  rtl;", "contains", "  KqAbout,",
                                       "  KqAnimate in 'KqAnimate.pas',", "  " + unit + ";", "end."}),
                                 ansi));
    prefix.writeFile(folder + "\\kqabout.DCU", "dcu");
    prefix.writeFile(folder + "\\KQANIMATE.pas", "unit KqAnimate;\r\nend.\r\n");
    prefix.writeFile("C:\\Morvane\\Lib Extra\\" + unit + ".dcu", "dcu");
    prefix.writeFile(folder + "\\TarvixLib370.cfg", "-U\"C:\\Morvane\\Lib Extra\"\r\n");
    prefix.makeFolder(bplFolder);
    prefix.makeFolder(dcpFolder);
    const std::string program = prefix.hostPath(ide.dcc32File).string();

    const ProgramRun run =
        runProgram(sandbox, program, {"-B", "-LE" + bplFolder, "-LN" + dcpFolder, "TarvixLib370"}, folder);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    const std::string output = platform::decodeCodePage(run.output, oem);
    EXPECT_THAT(output, StartsWith(Banner));
    EXPECT_THAT(output, HasSubstr("Compiling " + unit + " (C:\\Morvane\\Lib Extra\\" + unit + ".dcu)\r\n"));
    EXPECT_THAT(output, HasSubstr("C:\\Morvane\\TarvixComps\\D37\\TarvixLib370.dpk(1) Warning: W1057"));
    EXPECT_THAT(readHostFile(prefix.hostPath(bplFolder + "\\TarvixLib370.bpl")), StartsWith("MZ"));
    EXPECT_THAT(readHostFile(prefix.hostPath(dcpFolder + "\\TarvixLib370.dcp")), HasSubstr("contains " + unit));

    const ProgramRun withoutConfig = runProgram(sandbox, program, {"--no-config", "TarvixLib370.dpk"}, folder);
    EXPECT_EQ(withoutConfig.exitCode, 1u);
    EXPECT_THAT(platform::decodeCodePage(withoutConfig.output, oem),
                EndsWith("TarvixLib370.dpk(7) Fatal: F1026 File not found: '" + unit + ".dcu'\r\n"));
    EXPECT_FALSE(fs::exists(prefix.hostPath(folder + "\\TarvixLib370.bpl")));
}

} // namespace
} // namespace tarvix::tools
