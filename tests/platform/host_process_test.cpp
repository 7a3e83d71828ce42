// The child-process runner on the host: arguments, environment, folder, the standard streams, exit codes, start
// failures, abort, and a grandchild that keeps a pipe open.
#include "platform/host_process.h"

#include <filesystem>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "tests/support/temp_dir.h"

namespace tarvix::platform {
namespace {

struct Captured {
    HostProcessResult result;
    std::string out;
    std::string err;
    std::vector<std::size_t> readSizes;
};

Captured Shell(const std::string& script, HostProcessSpec spec = {})
{
    Captured c;
    spec.argv = {"/bin/sh", "-c", script};
    spec.input = StreamMode::Null;
    spec.onOutput = [&](std::string_view b) {
        c.out += b;
        c.readSizes.push_back(b.size());
    };
    spec.onError = [&](std::string_view b) { c.err += b; };
    c.result = runHostProcess(spec);
    return c;
}

TEST(HostProcess, PassesArgumentsAndSeparatesTheStreams)
{
    HostProcessSpec spec;
    spec.argv = {"/bin/sh", "-c", "printf '%s|' \"$@\"; echo oops >&2; exit 3", "sh", "two words", "", "\"q\""};
    std::string out, err;
    spec.onOutput = [&](std::string_view b) { out += b; };
    spec.onError = [&](std::string_view b) { err += b; };
    const HostProcessResult r = runHostProcess(spec);
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 3u);
    EXPECT_EQ(out, "two words||\"q\"|");
    EXPECT_EQ(err, "oops\n");
}

TEST(HostProcess, MergesStandardErrorIntoOutput)
{
    HostProcessSpec spec;
    spec.mergeError = true;
    const Captured c = Shell("echo a; echo b >&2; echo c", spec);
    EXPECT_EQ(c.out, "a\nb\nc\n");
    EXPECT_EQ(c.err, "");
}

TEST(HostProcess, ReadsInPiecesOfAtMostTheReadSize)
{
    const Captured c = Shell("head -c 2000 /dev/zero | tr '\\0' x");
    EXPECT_EQ(c.out, std::string(2000, 'x'));
    for (std::size_t n : c.readSizes)
        EXPECT_LE(n, 255u);
    EXPECT_GE(c.readSizes.size(), 8u);
}

TEST(HostProcess, EnvironmentAndFolderAreTheChildsOwn)
{
    test::TempDir temp;
    HostProcessSpec spec;
    spec.environment = withEnvironment(currentEnvironment(), {"TARVIX_PROBE=one two", "HOME"});
    spec.workingDirectory = temp.path().string();
    const Captured c = Shell("echo \"$TARVIX_PROBE|${HOME-unset}\"; pwd -P", spec);
    EXPECT_EQ(c.out, "one two|unset\n" + std::filesystem::canonical(temp.path()).string() + "\n");
}

TEST(HostProcess, WithEnvironmentReplacesAddsAndRemoves)
{
    EXPECT_EQ(withEnvironment({"A=1", "B=2", "AB=3"}, {"A=9", "C=4", "B", "D"}),
              (std::vector<std::string>{"AB=3", "A=9", "C=4"}));
}

TEST(HostProcess, ExitCodesAndSignals)
{
    EXPECT_EQ(Shell("exit 0").result.exitCode, 0u);
    EXPECT_EQ(Shell("exit 255").result.exitCode, 255u);
    EXPECT_EQ(Shell("kill -TERM $$").result.exitCode, 128u + 15u);
}

TEST(HostProcess, StartFailuresCarryTheWindowsErrorCode)
{
    test::TempDir temp;
    const auto plain = temp.write("not-a-program", "just text");
    const auto script = temp.write("broken", "no interpreter line at all\n");
    ::chmod(script.c_str(), 0755);
    struct Case {
        std::string program;
        uint32_t error;
    };
    const Case cases[] = {
        {"tarvix-no-such-program-anywhere", WinError::FileNotFound},
        {(temp.path() / "missing").string(), WinError::FileNotFound},
        {plain.string(), WinError::AccessDenied},       // not executable
        {script.string(), WinError::BadExeFormat},      // executable bit, but no format the system can run
        {temp.path().string(), WinError::AccessDenied}, // a folder
    };
    for (const Case& c : cases) {
        HostProcessSpec spec;
        spec.argv = {c.program};
        const HostProcessResult r = runHostProcess(spec);
        EXPECT_FALSE(r.started) << c.program;
        EXPECT_EQ(r.startError, c.error) << c.program;
        EXPECT_EQ(r.exitCode, NoExitCode) << c.program;
    }
}

TEST(HostProcess, AnAbortStopsTheChildWithTheCancelledCode)
{
    std::atomic<bool> abort{false};
    HostProcessSpec spec;
    spec.abort = &abort;
    std::string out;
    spec.argv = {"/bin/sh", "-c", "echo started; exec sleep 30"};
    spec.onOutput = [&](std::string_view b) {
        out += b;
        abort = true;
    };
    const HostProcessResult r = runHostProcess(spec);
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.exitCode, AbortedExitCode);
    EXPECT_EQ(out, "started\n");
    EXPECT_LT(r.wallSeconds, 20.0);
}

TEST(HostProcess, AGrandchildHoldingThePipeDoesNotStallTheRun)
{
    // The child ends at once; the background sleep keeps the write end of the output pipe.
    const Captured c = Shell("echo done; sleep 30 &");
    EXPECT_EQ(c.result.exitCode, 0u);
    EXPECT_EQ(c.out, "done\n");
    EXPECT_LT(c.result.wallSeconds, 20.0);
}

TEST(HostProcess, AnErrorInACallbackStopsTheChildAndLeavesTheRun)
{
    HostProcessSpec spec;
    spec.argv = {"/bin/sh", "-c", "echo first; exec sleep 30"};
    spec.onOutput = [](std::string_view) { throw std::runtime_error("sink failed"); };
    EXPECT_THROW(runHostProcess(spec), std::runtime_error);
}

TEST(HostProcess, BeforeStartSeesTheChildBeforeItRuns)
{
    test::TempDir temp;
    const auto marker = temp.path() / "marker";
    HostProcessSpec spec;
    int seenPid = 0;
    bool existedBeforeRun = true;
    spec.beforeStart = [&](int pid) {
        seenPid = pid;
        // The program has not run yet: the file it writes is not there.
        existedBeforeRun = std::filesystem::exists(marker);
    };
    const Captured c = Shell("echo $$ > '" + marker.string() + "'; echo $$", spec);
    EXPECT_FALSE(existedBeforeRun);
    EXPECT_EQ(c.out, std::to_string(seenPid) + "\n");

    // The program runs also when the callback fails, and the failure ends the run.
    spec.beforeStart = [](int) { throw std::runtime_error("no"); };
    EXPECT_THROW(Shell("true", spec), std::runtime_error);
}

TEST(HostProcess, StreamsCanBeInheritedOrDropped)
{
    HostProcessSpec spec;
    spec.output = StreamMode::Null;
    spec.error = StreamMode::Null;
    bool called = false;
    spec.onOutput = [&](std::string_view) { called = true; };
    const Captured c = Shell("echo dropped; echo dropped >&2; read line; echo \"[$line]\" >&2", spec);
    EXPECT_FALSE(called);
    EXPECT_EQ(c.result.exitCode, 0u);
}

TEST(HostProcess, FindsProgramsOnThePathOfTheChildsEnvironment)
{
    EXPECT_EQ(findOnPath("sh", nullptr).empty(), false);
    const std::vector<std::string> env{"PATH=/nonexistent:/bin"};
    EXPECT_EQ(findOnPath("sh", &env), "/bin/sh");
    const std::vector<std::string> none{"PATH=/nonexistent"};
    EXPECT_EQ(findOnPath("sh", &none), "");
}

TEST(HostProcess, NiceValuesOfThePriorityClasses)
{
    EXPECT_EQ(niceValue(ProcessPriority::Idle), 19);
    EXPECT_EQ(niceValue(ProcessPriority::BelowNormal), 10);
    EXPECT_EQ(niceValue(ProcessPriority::Normal), 0);
    EXPECT_EQ(niceValue(ProcessPriority::AboveNormal), -5);
    EXPECT_EQ(niceValue(ProcessPriority::High), -10);
    EXPECT_EQ(niceValue(ProcessPriority::RealTime), -20);

    HostProcessSpec spec;
    spec.priority = ProcessPriority::Idle;
    EXPECT_EQ(Shell("cut -d' ' -f19 /proc/self/stat", spec).out, "19\n");
}

} // namespace
} // namespace tarvix::platform
