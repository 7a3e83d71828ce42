// Replacing a host file in one step: the new contents and permission bits, and what a failure leaves behind
// (the old file, and no temporary file).
#include "platform/host_file.h"

#include <functional>
#include <stdexcept>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/platform/saving_failures.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace tarvix::platform {
namespace {

fs::perms permissionsOf(const fs::path& file)
{
    return fs::status(file).permissions() & fs::perms::all;
}

TEST(HostFile, TheReplacementKeepsTheReplacedFilesPermissions)
{
    test::TempDir dir;
    const fs::path file = dir.write("user.reg", "old");
    const fs::perms kept = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(file, kept);
    replaceHostFile(file, "new contents");
    EXPECT_EQ(dir.read("user.reg"), "new contents");
    EXPECT_EQ(permissionsOf(file), kept);
    EXPECT_EQ(test::entries(dir.path()), std::vector<std::string>{"user.reg"});
}

TEST(HostFile, ANewFileFollowsTheUmaskUnlessAModeIsGiven)
{
    test::TempDir dir;
    const mode_t previous = ::umask(027);
    replaceHostFile(dir / "plain", "x");
    HostFileOptions runnable;
    runnable.mode = fs::perms(0755);
    replaceHostFile(
        dir / "program",
        [](const HostFileSink& write) {
            write("#!", 2);
            write("/bin/sh\n", 8);
        },
        runnable);
    ::umask(previous);
    EXPECT_EQ(permissionsOf(dir / "plain"), fs::perms(0640));
    EXPECT_EQ(permissionsOf(dir / "program"), fs::perms(0755));
    EXPECT_EQ(dir.read("program"), "#!/bin/sh\n");
}

TEST(HostFile, AFailedReplacementLeavesTheOldFile)
{
    struct Case {
        const char* what;
        const char* target; // below the temporary folder
        HostFileStep step;
        std::function<void(const fs::path&)> replace;
    };
    const Case cases[] = {
        {"a folder that does not exist", "missing/file", HostFileStep::CreateTemporary,
         [](const fs::path& target) { replaceHostFile(target, "x"); }},
        {"a write beyond the file size limit", "file", HostFileStep::Write,
         [](const fs::path& target) {
             test::FileSizeLimit limit(8);
             replaceHostFile(target, std::string(64, 'x'));
         }},
        {"a folder in the target's place", "folder", HostFileStep::Replace,
         [](const fs::path& target) { replaceHostFile(target, "x"); }},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        dir.write("file", "old");
        fs::create_directory(dir / "folder");
        const auto before = test::entries(dir.path());
        try {
            c.replace(dir / c.target);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const HostFileError& e) {
            EXPECT_EQ(e.step(), c.step) << c.what;
            EXPECT_NE(e.systemError(), 0) << c.what;
        }
        EXPECT_EQ(dir.read("file"), "old") << c.what;
        EXPECT_EQ(test::entries(dir.path()), before) << c.what;
        EXPECT_TRUE(fs::is_empty(dir / "folder")) << c.what;
    }
}

TEST(HostFile, AProducerThatGivesUpAbandonsTheReplacement)
{
    test::TempDir dir;
    const fs::path file = dir.write("installer", "old");
    EXPECT_THROW(replaceHostFile(file,
                                 [](const HostFileSink& write) {
                                     write("half", 4);
                                     throw std::runtime_error("a source changed while it was read");
                                 }),
                 std::runtime_error);
    EXPECT_EQ(dir.read("installer"), "old");
    EXPECT_EQ(test::entries(dir.path()), std::vector<std::string>{"installer"});
}

} // namespace
} // namespace tarvix::platform
