// Windows programs of a sandbox prefix started on the host: the command line split by the Windows rules, the
// program found as CreateProcessW finds it, the prefix and the current folder handed to it, and the start
// failures in Windows' own codes. (A PE image through the real wine is covered by the interop tests.)
#include "platform/wine/wine_processes.h"

#include <filesystem>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/wine/wine_prefix.h"
#include "tests/platform/sandbox_prefix.h"

namespace tarvix::platform {
namespace {

class WineProcessesTest : public ::testing::Test {
protected:
    WineProcessesTest()
    {
        sandbox_.writeHive("system.reg", "");
        sandbox_.writeHive("user.reg", "");
        // A host program installed in the prefix the way the simulated IDE compiler is.
        const auto probe = sandbox_.writeC("Tools/Probe.exe", "#!/bin/sh\nprintf '%s|' \"$@\"\necho\n"
                                                              "echo \"$WINEPREFIX\"\npwd -P\necho err >&2\nexit 7\n");
        ::chmod(probe.c_str(), 0755);
        sandbox_.writeC("Tools/text.exe", "neither a PE image nor a program");
        sandbox_.mkdirC("Work Folder");
    }

    struct Run {
        ProcessResult result;
        std::vector<std::string> lines;
        std::string err;
    };
    Run run(const std::string& commandLine, const std::string& currentDirectory = {}, bool merge = false)
    {
        ProcessRequest request;
        request.commandLine = commandLine;
        request.currentDirectory = currentDirectory;
        request.mergeError = merge;
        std::string out;
        request.onOutput = [&](std::string_view b) { out += b; };
        Run r;
        request.onError = [&](std::string_view b) { r.err += b; };
        r.result = prefix_.processes().run(request);
        std::size_t start = 0;
        for (std::size_t nl; (nl = out.find('\n', start)) != std::string::npos; start = nl + 1)
            r.lines.push_back(out.substr(start, nl - start));
        return r;
    }

    test::SandboxPrefix sandbox_;
    WinePrefix prefix_{sandbox_.path()};
};

TEST_F(WineProcessesTest, AHostProgramGetsTheSplitArgumentsThePrefixAndTheFolder)
{
    const Run r = run(R"("C:\Tools\Probe.exe" "C:\Pkg\P.dpk" -B -U"C:\A;C:\Program Files\B" -$O-)", "C:\\Work Folder");
    EXPECT_TRUE(r.result.started);
    EXPECT_EQ(r.result.exitCode, 7u);
    ASSERT_EQ(r.lines.size(), 3u);
    EXPECT_EQ(r.lines[0], R"(C:\Pkg\P.dpk|-B|-UC:\A;C:\Program Files\B|-$O-|)");
    EXPECT_EQ(r.lines[1], prefix_.prefixDir().string());
    EXPECT_EQ(r.lines[2], std::filesystem::canonical(sandbox_.driveC() / "Work Folder").string());
    EXPECT_EQ(r.err, "err\n");
}

TEST_F(WineProcessesTest, TheProgramIsFoundAsWindowsFindsIt)
{
    // Without extension, in other letter case, relative to the current folder, and by name in that folder.
    for (const char* line : {"C:\\tools\\probe", "c:\\TOOLS\\PROBE.EXE x", "..\\Tools\\Probe.exe"}) {
        const Run r = run(line, "C:\\Work Folder");
        EXPECT_TRUE(r.result.started) << line;
        EXPECT_EQ(r.result.exitCode, 7u) << line;
    }
    const Run byName = run("probe x", "C:\\Tools");
    EXPECT_TRUE(byName.result.started);
    EXPECT_EQ(prefix_.processes().run({}).exitCode, WinError::FileNotFound);
}

TEST_F(WineProcessesTest, StartFailuresAreWindowsErrors)
{
    struct Case {
        const char* line;
        uint32_t code;
    };
    const Case cases[] = {
        {"C:\\Tools\\Missing.exe", WinError::FileNotFound},
        {"D:\\Tools\\Probe.exe", WinError::FileNotFound}, // a drive that is not mapped
        {"", WinError::FileNotFound},
        {"C:\\Tools\\text.exe", WinError::BadExeFormat},
    };
    for (const Case& c : cases) {
        const Run r = run(c.line);
        EXPECT_FALSE(r.result.started) << c.line;
        EXPECT_EQ(r.result.exitCode, c.code) << c.line;
        EXPECT_TRUE(r.lines.empty()) << c.line;
    }
}

TEST_F(WineProcessesTest, MergedErrorComesWithTheOutput)
{
    const Run r = run("C:\\Tools\\Probe.exe a", {}, true);
    ASSERT_EQ(r.lines.size(), 4u);
    EXPECT_EQ(r.lines[3], "err");
    EXPECT_EQ(r.err, "");
}

} // namespace
} // namespace tarvix::platform
