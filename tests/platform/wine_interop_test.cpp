// What the layer computes for a prefix made by the real `wine wineboot -i`, against what Wine itself says.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/wine/wine_file_system.h"
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

} // namespace
} // namespace tarvix::platform
