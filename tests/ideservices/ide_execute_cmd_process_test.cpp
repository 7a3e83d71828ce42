// One run of a tool with its run options: where its standard output and error go (line callbacks, collected
// text, merged), how the bytes are decoded (OEM or ANSI code page, raw), the exit code and the codes of a
// program that cannot start, an abort from a callback, and what the child is given before it runs.
#include "ideservices/ide_execute_cmd_process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <optional>

#include "platform/errors.h"
#include "tests/ideservices/ide_tool_sandbox.h"

using namespace tarvix;
using enum TIdeProcessPriority;
using test::IdeSandbox;
using test::ScriptedTool;
using testing::ElementsAre;
using Lines = std::vector<std::string>;

namespace {

constexpr const char* kTool = "C:\\Tools\\tool.exe";

// The scripted tool as C:\Tools\tool.exe of a sandbox prefix.
class RunOptionsTest : public ::testing::Test {
protected:
    explicit RunOptionsTest(std::string_view moreShell = {}) : tool_(s_.temp("tool"), false, moreShell)
    {
        s_.prefix().installHostFile(tool_.script(), kTool);
    }

    IdeSandbox s_;
    ScriptedTool tool_;
};

TEST_F(RunOptionsTest, WithoutCallbacksOutputAndErrorAreCollectedApartWithCrLfBreaks)
{
    tool_.setOutput("Line1\nLine2\r\n50%\rDone");
    tool_.setError("warning\n");
    tool_.setExitCode(3);
    TIdeExecuteCmdProcessOptions run(std::string(kTool) + " -B \"C:\\Pkg\\Pkg.dpk\"");
    EXPECT_TRUE(run.Execute()) << "started, whatever the exit code";
    EXPECT_EQ(run.ExitCode(), 3u);
    EXPECT_EQ(run.Output(), "Line1\r\nLine2\r\n50%Done");
    EXPECT_EQ(run.Error(), "warning\r\n");
    EXPECT_EQ(tool_.arguments(), (Lines{"-B", "C:\\Pkg\\Pkg.dpk"}));
}

TEST_F(RunOptionsTest, RawTextAndLinesKeepWhatTheChildWrote)
{
    tool_.setOutput("50%\rDone\r\nLast\n");
    TIdeExecuteCmdProcessOptions collected(kTool);
    collected.FRawOutput = true;
    ASSERT_TRUE(collected.Execute());
    EXPECT_EQ(collected.Output(), "50%\rDone\r\nLast\n");

    Lines lines;
    TIdeExecuteCmdProcessOptions split(kTool);
    split.FRawOutput = true;
    split.FOutputLineCallback = [&](const std::string& line) { lines.push_back(line); };
    ASSERT_TRUE(split.Execute());
    EXPECT_THAT(lines, ElementsAre("50%", "Done", "Last")) << "a lone-CR line is a line when raw";
    EXPECT_EQ(split.Output(), "") << "the lines went to the callback";
}

TEST_F(RunOptionsTest, StandardErrorHasItsOwnLinesOrJoinsTheOutput)
{
    tool_.setOutput("out 1\r\nout 2\r\n");
    tool_.setError("err 1\r\nerr 2");
    {
        SCOPED_TRACE("apart");
        Lines output;
        Lines error;
        TIdeExecuteCmdProcessOptions run(kTool);
        run.FOutputLineCallback = [&](const std::string& line) { output.push_back(line); };
        run.FErrorLineCallback = [&](const std::string& line) { error.push_back(line); };
        ASSERT_TRUE(run.Execute());
        EXPECT_THAT(output, ElementsAre("out 1", "out 2"));
        EXPECT_THAT(error, ElementsAre("err 1", "err 2"));
        EXPECT_EQ(run.Error(), "");
    }
    {
        SCOPED_TRACE("merged");
        Lines output;
        Lines error;
        TIdeExecuteCmdProcessOptions run(kTool);
        run.FMergeError = true;
        run.FOutputLineCallback = [&](const std::string& line) { output.push_back(line); };
        run.FErrorLineCallback = [&](const std::string& line) { error.push_back(line); };
        ASSERT_TRUE(run.Execute());
        EXPECT_THAT(output, ElementsAre("out 1", "out 2", "err 1", "err 2"));
        EXPECT_THAT(error, ElementsAre());
    }
    {
        SCOPED_TRACE("merged and collected");
        TIdeExecuteCmdProcessOptions run(kTool);
        run.FMergeError = true;
        ASSERT_TRUE(run.Execute());
        EXPECT_EQ(run.Output(), "out 1\r\nout 2\r\nerr 1\r\nerr 2");
        EXPECT_EQ(run.Error(), "");
    }
}

TEST_F(RunOptionsTest, BytesAreDecodedFromTheOemOrTheAnsiCodePage)
{
    tool_.setOutput("caf\x82\r\n");
    struct Case {
        bool oem;
        const char* expected;
    };
    for (const Case& c : {Case{true, "caf\xC3\xA9"}, Case{false, "caf\xE2\x80\x9A"}}) { // é in 437, ‚ in 1252
        SCOPED_TRACE(c.oem ? "OEM" : "ANSI");
        Lines lines;
        TIdeExecuteCmdProcessOptions run(kTool);
        EXPECT_TRUE(run.FAutoConvertOem) << "OEM unless told otherwise";
        run.FAutoConvertOem = c.oem;
        run.FOutputLineCallback = [&](const std::string& line) { lines.push_back(line); };
        ASSERT_TRUE(run.Execute());
        EXPECT_THAT(lines, ElementsAre(c.expected));

        TIdeExecuteCmdProcessOptions collected(kTool);
        collected.FAutoConvertOem = c.oem;
        ASSERT_TRUE(collected.Execute());
        EXPECT_EQ(collected.Output(), std::string(c.expected) + "\r\n");
    }
}

TEST_F(RunOptionsTest, AProgramThatCannotStartGivesTheSystemsErrorCode)
{
    s_.prefix().writeFile("C:\\Tools\\text.exe", "neither a PE image nor executable\r\n");
    struct Case {
        std::string commandLine;
        uint32_t code;
    };
    const std::vector<Case> cases = {
        {"C:\\Tools\\missing.exe -B", platform::WinError::FileNotFound},
        {"\"C:\\No Folder\\tool.exe\"", platform::WinError::FileNotFound},
        {"", platform::WinError::FileNotFound},
        {"C:\\Tools\\text.exe", platform::WinError::BadExeFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        Lines lines;
        TIdeExecuteCmdProcessOptions run(c.commandLine);
        run.FOutputLineCallback = [&](const std::string& line) { lines.push_back(line); };
        EXPECT_FALSE(run.Execute());
        EXPECT_EQ(run.ExitCode(), c.code);
        EXPECT_THAT(lines, ElementsAre());
        EXPECT_EQ(run.Output(), "");
    }
    EXPECT_FALSE(tool_.ran());
}

// A tool that goes on until it is stopped, after saying so.
class AbortTest : public RunOptionsTest {
protected:
    AbortTest() : RunOptionsTest("exec sleep 600") {}
};

TEST_F(AbortTest, ACallbackThatSetsTheAbortFlagStopsTheChild)
{
    tool_.setOutput("started\r\n");
    std::atomic<bool> abort{false};
    Lines lines;
    TIdeExecuteCmdProcessOptions run(kTool);
    run.FAbortPtr = &abort;
    run.FOutputLineCallback = [&](const std::string& line) {
        lines.push_back(line);
        abort = true;
    };
    EXPECT_TRUE(run.Execute());
    EXPECT_EQ(run.ExitCode(), platform::WinError::Cancelled);
    EXPECT_THAT(lines, ElementsAre("started"));
}

// A tool that tells its process id and nice value.
class ProbeTest : public RunOptionsTest {
protected:
    ProbeTest() : RunOptionsTest("set -- $(cat /proc/$$/stat)\necho \"$1\"\necho \"${19}\"") {}

    // The tool's process id and nice value.
    std::pair<int, int> probe(TIdeExecuteCmdProcessOptions& run)
    {
        Lines lines;
        run.FOutputLineCallback = [&](const std::string& line) { lines.push_back(line); };
        EXPECT_TRUE(run.Execute());
        if (lines.size() != 2) {
            ADD_FAILURE() << "the probe said " << testing::PrintToString(lines);
            return {};
        }
        return {std::stoi(lines[0]), std::stoi(lines[1])};
    }
};

TEST_F(ProbeTest, TheChildIsShownToBeforeResumeBeforeItRuns)
{
    std::optional<int> given;
    TIdeExecuteCmdProcessOptions run(kTool);
    run.FBeforeResume = [&](int processId) {
        EXPECT_FALSE(tool_.ran()) << "the program has not started yet";
        given = processId;
    };
    const auto [pid, nice] = probe(run);
    EXPECT_EQ(given, pid);

    // It runs also when the callback raises; the error ends the run.
    tool_.reset();
    TIdeExecuteCmdProcessOptions failing(kTool);
    failing.FBeforeResume = [](int) { throw std::runtime_error("refused"); };
    EXPECT_THROW(failing.Execute(), std::runtime_error);
}

TEST_F(ProbeTest, TheLowerPrioritiesGiveTheChildTheirNiceValue)
{
    errno = 0;
    const int own = ::getpriority(PRIO_PROCESS, 0);
    struct Case {
        TIdeProcessPriority priority;
        int nice;
    };
    for (const Case& c : {Case{ppIdle, 19}, Case{ppBelowNormal, 10}}) {
        SCOPED_TRACE(c.nice);
        if (own > c.nice)
            continue; // a lower value than ours would need privileges
        TIdeExecuteCmdProcessOptions run(kTool);
        run.FProcessPriority = c.priority;
        EXPECT_EQ(probe(run).second, c.nice);
    }
    TIdeExecuteCmdProcessOptions normal(kTool);
    EXPECT_EQ(normal.FProcessPriority, ppNormal);
    EXPECT_EQ(probe(normal).second, own) << "normal keeps ours";
}

TEST_F(ProbeTest, APriorityClassIsTheSameLevelUnderANicedInstaller)
{
    // An installer started with `nice` still gives a below-normal compile nice 10, not ours plus 10. Lowering our
    // own priority needs no privileges; it only slows the rest of this test process.
    errno = 0;
    const int own = ::getpriority(PRIO_PROCESS, 0);
    if (own > 5)
        GTEST_SKIP() << "already niced to " << own;
    ASSERT_EQ(::setpriority(PRIO_PROCESS, 0, 5), 0);
    TIdeExecuteCmdProcessOptions below(kTool);
    below.FProcessPriority = ppBelowNormal;
    EXPECT_EQ(probe(below).second, 10);
    TIdeExecuteCmdProcessOptions normal(kTool);
    EXPECT_EQ(probe(normal).second, 5) << "normal keeps ours";
}

} // namespace
