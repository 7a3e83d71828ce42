#include "platform/wine/folder_index.h"

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "platform/wine/windows_names.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace tarvix::platform {
namespace {

void touch(const fs::path& path)
{
    std::ofstream(path) << "x";
}

// What reading the folder answers.
std::optional<std::string> scan(const fs::path& dir, const std::string& name)
{
    std::optional<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string candidate = entry.path().filename().string();
        if (upperName(candidate) == upperName(name) && (!found || candidate < *found))
            found = candidate;
    }
    return found;
}

// A folder large enough to be indexed.
class FolderIndexTest : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir);
        for (int i = 0; i < 300; ++i)
            touch(dir / ("unit" + std::to_string(i) + ".dcu"));
    }
    std::optional<std::string> find(const std::string& name) { return findEntryIgnoringCase(dir.string(), name); }

    test::TempDir temp;
    fs::path dir = temp / "big";
};

TEST_F(FolderIndexTest, FindsNamesWithoutRegardToCase)
{
    EXPECT_EQ(find("UNIT7.DCU"), "unit7.dcu");
    EXPECT_EQ(find("Unit299.Dcu"), "unit299.dcu");
    EXPECT_EQ(find("unit300.dcu"), std::nullopt);
    touch(dir / "Dup.res");
    touch(dir / "dup.res");
    EXPECT_EQ(find("DUP.RES"), "Dup.res"); // the first in byte order
}

// Changes made after the folder was indexed, by any writer, are seen by the next lookup.
TEST_F(FolderIndexTest, ChangesAreSeenAtOnce)
{
    ASSERT_EQ(find("UNIT1.DCU"), "unit1.dcu"); // indexed now
    touch(dir / "Fresh.dfm");
    EXPECT_EQ(find("fresh.DFM"), "Fresh.dfm");
    fs::remove(dir / "Fresh.dfm");
    EXPECT_EQ(find("fresh.DFM"), std::nullopt);
    fs::rename(dir / "unit2.dcu", dir / "Moved.dcu");
    EXPECT_EQ(find("UNIT2.DCU"), std::nullopt);
    EXPECT_EQ(find("moved.dcu"), "Moved.dcu");
    fs::rename(dir / "Moved.dcu", temp / "outside.dcu");
    EXPECT_EQ(find("moved.dcu"), std::nullopt);
    fs::create_directory(dir / "SubFolder");
    EXPECT_EQ(find("SUBFOLDER"), "SubFolder");
}

// A path that leads to another folder than the one indexed: the folder replaced, or a parent renamed.
TEST_F(FolderIndexTest, ReplacedFolderIsReadAnew)
{
    ASSERT_EQ(find("UNIT3.DCU"), "unit3.dcu");
    fs::rename(temp / "big", temp / "old");
    EXPECT_EQ(find("UNIT3.DCU"), std::nullopt);
    fs::create_directories(dir);
    for (int i = 0; i < 200; ++i)
        touch(dir / ("Other" + std::to_string(i)));
    EXPECT_EQ(find("UNIT3.DCU"), std::nullopt);
    EXPECT_EQ(find("other5"), "Other5");
    EXPECT_EQ(findEntryIgnoringCase((temp / "old").string(), "UNIT3.DCU"), "unit3.dcu");
}

// Random changes and lookups: the index answers exactly what reading the folder answers.
TEST_F(FolderIndexTest, AlwaysAnswersWhatReadingTheFolderAnswers)
{
    std::mt19937 random(12345);
    const std::string stems[] = {"a", "B", "kqalpha", "KqAlpha", "KQALPHA", "unit5.dcu", "UNIT6.DCU", "ç", "Ç"};
    auto name = [&] { return stems[random() % std::size(stems)] + (random() % 2 ? std::string() : ".x"); };
    for (int step = 0; step < 400; ++step) {
        const std::string n = name();
        switch (random() % 3) {
        case 0: touch(dir / n); break;
        case 1: fs::remove(dir / n); break;
        case 2:
            if (fs::exists(dir / n))
                fs::rename(dir / n, dir / name());
            break;
        }
        const std::string query = name();
        ASSERT_EQ(find(query), scan(dir, query)) << "step " << step << ", " << query;
    }
}

// A forked child looking names up must not take the parent's pending changes from it.
TEST_F(FolderIndexTest, ForkedChildLeavesTheParentsEventsAlone)
{
    ASSERT_EQ(find("UNIT4.DCU"), "unit4.dcu");
    touch(dir / "Before.fork");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(find("before.FORK") == std::optional<std::string>("Before.fork") ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(find("BEFORE.fork"), "Before.fork");
}

TEST(FolderIndex, SmallAndMissingFolders)
{
    test::TempDir temp;
    touch(temp / "Small.txt");
    EXPECT_EQ(findEntryIgnoringCase(temp.path().string(), "SMALL.TXT"), "Small.txt");
    EXPECT_EQ(findEntryIgnoringCase((temp / "absent").string(), "x"), std::nullopt);
}

} // namespace
} // namespace tarvix::platform
