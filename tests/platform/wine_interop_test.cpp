// What the layer computes for a prefix made by the real `wine wineboot -i`, against what Wine itself says.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/wine/wine_file_system.h"
#include "platform/wine/wine_prefix.h"
#include "tests/support/real_wine_prefix.h"

namespace fs = std::filesystem;

namespace tarvix::platform {
namespace {

std::string firstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

// Wine names host paths through dosdevices/; compare where they lead.
std::string comparablePath(const std::string& host)
{
    return fs::weakly_canonical(host).string();
}

TEST(WineInterop, DrivesMapPathsTheWayWinepathDoes)
{
    const fs::path& prefix = test::realWinePrefix();
    WineFileSystem files(prefix);
    EXPECT_THAT(files.drives(), testing::IsSupersetOf({"C:", "Z:"}));

    for (const char* windows : {"C:\\windows\\system32", "C:\\users\\Public", "c:\\WINDOWS\\Win.ini"}) {
        const test::WineRun unix = test::runWine(prefix, {"winepath", "-u", windows});
        ASSERT_EQ(unix.exitCode, 0) << windows;
        EXPECT_EQ(comparablePath(files.toHostPath(windows)), comparablePath(firstLine(unix.output))) << windows;
    }
    for (const std::string& host : {(prefix / "drive_c/windows").string(), std::string("/usr/share")}) {
        const test::WineRun windows = test::runWine(prefix, {"winepath", "-w", host});
        ASSERT_EQ(windows.exitCode, 0) << host;
        EXPECT_EQ(files.toWindowsPath(host), firstLine(windows.output)) << host;
    }
}

// The data of one value as `wine reg query KEY /v NAME` prints it ("    NAME    REG_SZ    DATA").
std::string regQuery(const fs::path& prefix, const std::string& key, const std::string& name)
{
    const test::WineRun run = test::runWine(prefix, {"reg", "query", key, "/v", name});
    std::size_t pos = 0;
    while (pos < run.output.size()) {
        const std::size_t end = std::min(run.output.find('\n', pos), run.output.size());
        const std::string line = run.output.substr(pos, end - pos);
        pos = end + 1;
        const auto type = line.find("    REG_");
        if (type == std::string::npos)
            continue;
        const auto data = line.find("    ", type + 4);
        return data == std::string::npos ? std::string() : line.substr(data + 4);
    }
    return "(no value " + name + ")";
}

TEST(WineInterop, ShellFoldersEnvironmentAndCodePagesAgreeWithWine)
{
    const fs::path& dir = test::realWinePrefix();
    WinePrefix prefix(dir);
    Shell& shell = prefix.shell();

    // What a Windows program in the prefix finds in its environment.
    const test::WineRun echo = test::runWine(
        dir, {"cmd", "/c", "echo %TEMP%#%APPDATA%#%ProgramFiles(x86)%#%SystemRoot%#%USERPROFILE%#%ComSpec%#%PATH%"});
    ASSERT_EQ(echo.exitCode, 0);
    std::vector<std::string> seen;
    std::string line = firstLine(echo.output);
    for (std::size_t pos = 0; pos <= line.size();) {
        const std::size_t end = std::min(line.find('#', pos), line.size());
        seen.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    ASSERT_EQ(seen.size(), 7u) << line;

    EXPECT_EQ(shell.tempFolder(), seen[0] + "\\");
    EXPECT_EQ(shell.appDataFolder(), seen[1]);
    EXPECT_EQ(shell.programFiles32Folder(), seen[2]);
    EXPECT_EQ(shell.windowsFolder(), seen[3]);
    EXPECT_EQ(shell.environmentVariable("USERPROFILE"), seen[4]);
    EXPECT_EQ(shell.environmentVariable("ComSpec"), seen[5]);
    EXPECT_EQ(shell.environmentVariable("PATH"), seen[6]);
    EXPECT_EQ(shell.expandEnvironmentStrings("%TEMP%|%APPDATA%"), seen[0] + "|" + seen[1]);
    EXPECT_TRUE(prefix.files().directoryExists(shell.tempFolder()));

    const std::string folders = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    EXPECT_EQ(shell.commonDocumentsFolder(), regQuery(dir, folders, "Common Documents"));
    EXPECT_EQ(shell.desktopFolder(),
              regQuery(dir, "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Desktop"));

    const std::string nls = "HKLM\\System\\CurrentControlSet\\Control\\Nls\\Codepage";
    EXPECT_EQ(std::to_string(shell.ansiCodePage()), regQuery(dir, nls, "ACP"));
    EXPECT_EQ(std::to_string(shell.oemCodePage()), regQuery(dir, nls, "OEMCP"));
}

} // namespace
} // namespace tarvix::platform
