#include "platform/wine/wine_file_system.h"

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/wine/windows_names.h"
#include "tests/platform/sandbox_prefix.h"

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::IsEmpty;

namespace tarvix::platform {
namespace {

class WineFiles : public testing::Test {
protected:
    test::SandboxPrefix prefix;
    WineFileSystem files{prefix.path()};

    std::string host(std::string_view relative) const { return (prefix.driveC() / relative).string(); }

    std::vector<std::string> names(std::string_view folder, std::string_view mask) const
    {
        std::vector<std::string> result;
        for (const auto& e : files.enumerate(folder, mask))
            result.push_back(e.name);
        return result;
    }

    // Runs `body` with the process's current folder set to `dir`.
    template <typename F>
    void inFolder(const fs::path& dir, F body)
    {
        const fs::path saved = fs::current_path();
        fs::current_path(dir);
        try {
            body();
        } catch (...) {
            fs::current_path(saved);
            throw;
        }
        fs::current_path(saved);
    }

    uint32_t openError(std::string_view path, FileMode mode, FileShare share = FileShare::DenyWrite)
    {
        try {
            files.open(path, mode, share);
        } catch (const FileError& e) {
            return e.code();
        }
        return WinError::Success;
    }
};

// --- Path mapping --------------------------------------------------------------------------------------------

TEST_F(WineFiles, WindowsPathsResolveWithoutRegardToCaseAndKeepNewComponentsAsGiven)
{
    prefix.mkdirC("Program Files/Morvane");
    prefix.writeC("users/ana/Docs/Nota.TXT", "x");

    struct Case {
        const char* windows;
        std::string host;
    };
    const Case cases[] = {
        {"C:\\", prefix.driveC().string()},
        {"c:", prefix.driveC().string()},
        {"C:\\PROGRAM FILES\\morvane", host("Program Files/Morvane")},
        {"c:/program files/MORVANE/New/Sub.txt", host("Program Files/Morvane/New/Sub.txt")},
        {"C:\\Users\\ANA\\docs\\nota.txt", host("users/ana/Docs/Nota.TXT")},
        {"C:\\users\\\\ana\\.\\x\\..\\Docs\\", host("users/ana/Docs")},
        {"C:\\..\\..\\users", host("users")},
        {"C:\\users\\ana\\Docs. \\", host("users/ana/Docs")}, // trailing dots and spaces fall away
        {"\\\\?\\C:\\Users", host("users")},
        {"Z:\\usr\\bin", "/usr/bin"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(files.toHostPath(c.windows), c.host) << c.windows;
}

TEST_F(WineFiles, AmbiguousCaseChoosesTheExactSpellingElseAFixedOne)
{
    prefix.writeC("dir/Foo.txt", "1");
    prefix.writeC("dir/foo.txt", "2");
    EXPECT_EQ(files.toHostPath("C:\\dir\\foo.txt"), host("dir/foo.txt"));
    EXPECT_EQ(files.toHostPath("C:\\dir\\Foo.txt"), host("dir/Foo.txt"));
    EXPECT_EQ(files.toHostPath("C:\\dir\\FOO.TXT"), host("dir/Foo.txt"));
}

TEST_F(WineFiles, RelativePathsTakeTheCurrentFolder)
{
    prefix.mkdirC("work/Sub");
    inFolder(prefix.driveC() / "work", [&] {
        EXPECT_EQ(files.currentDirectory(), "C:\\work");
        EXPECT_EQ(files.toHostPath("sub\\a.txt"), host("work/Sub/a.txt"));
        EXPECT_EQ(files.toHostPath("..\\x"), host("x"));
        EXPECT_EQ(files.toHostPath("\\rooted"), host("rooted"));
        EXPECT_EQ(files.toHostPath("C:sub"), host("work/Sub"));
        EXPECT_EQ(files.toHostPath("Z:etc"), "/etc"); // another drive's relative path starts at its root
    });
    inFolder(prefix.driveC(), [&] { EXPECT_EQ(files.currentDirectory(), "C:\\"); });
}

TEST_F(WineFiles, PathsWindowsRefusesOrCannotReach)
{
    struct Case {
        const char* path;
        uint32_t code;
    };
    const Case cases[] = {
        {"Q:\\x", WinError::PathNotFound},  // no such drive
        {"", WinError::PathNotFound},       // empty
        {"C:\\a|b", WinError::InvalidName}, // a character Windows refuses
        {"C:\\what?\\x", WinError::InvalidName},
        {"\\\\server\\share\\x", WinError::BadNetPath},
    };
    for (const auto& c : cases) {
        try {
            files.toHostPath(c.path);
            ADD_FAILURE() << "no error for " << c.path;
        } catch (const PlatformError& e) {
            EXPECT_EQ(e.code(), c.code) << c.path;
        }
    }
    EXPECT_FALSE(files.fileExists("C:\\what?"));
    EXPECT_FALSE(files.directoryExists("Q:\\"));
}

TEST_F(WineFiles, HostPathsMapBackThroughTheDeepestDriveElseZ)
{
    const fs::path elsewhere = prefix.root() / "elsewhere";
    fs::create_directories(elsewhere / "Lib");
    prefix.link("d:", elsewhere);
    prefix.mkdirC("users/ana");
    // A folder inside drive_c that is a link to somewhere else (Wine links the user's folders like this).
    fs::create_directory_symlink(elsewhere, prefix.driveC() / "users/ana/Desktop");

    struct Case {
        std::string host;
        const char* windows;
    };
    const Case cases[] = {
        {host("users/ana"), "C:\\users\\ana"},
        {prefix.driveC().string(), "C:\\"},
        {prefix.driveC().string() + "/", "C:\\"},
        {(prefix.path() / "dosdevices/c:/users").string(), "C:\\users"},
        {(elsewhere / "Lib/x.dcu").string(), "D:\\Lib\\x.dcu"},
        {host("users/ana/Desktop/new.txt"), "C:\\users\\ana\\Desktop\\new.txt"},
        {"/usr/share", "Z:\\usr\\share"},
        {"/", "Z:\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(files.toWindowsPath(c.host), c.windows) << c.host;

    // Round trip for a path with a missing tail.
    EXPECT_EQ(files.toWindowsPath(files.toHostPath("C:\\USERS\\Ana\\Missing\\File.txt")),
              "C:\\users\\ana\\Missing\\File.txt");
}

TEST_F(WineFiles, DrivesAreTheLettersOfDosdevices)
{
    prefix.link("d:", prefix.root());
    fs::create_symlink("/dev/null", prefix.path() / "dosdevices/com1");
    fs::create_symlink("/dev/null", prefix.path() / "dosdevices/c::");
    EXPECT_THAT(files.drives(), ElementsAre("C:", "D:", "Z:"));

    // Without z: a host path outside every drive still comes back through Z:.
    fs::remove(prefix.path() / "dosdevices/z:");
    EXPECT_THAT(files.drives(), ElementsAre("C:", "D:"));
    EXPECT_EQ(files.toWindowsPath("/usr/bin"), "Z:\\usr\\bin");
}

TEST(WineFilesNoPrefix, AMissingPrefixHasNoDrives)
{
    test::TempDir temp;
    WineFileSystem files(temp.path() / "not-there");
    EXPECT_THAT(files.drives(), IsEmpty());
    EXPECT_THROW(files.toHostPath("C:\\windows"), PlatformError);
    EXPECT_FALSE(files.directoryExists("C:\\"));
    EXPECT_EQ(files.toWindowsPath("/usr"), "Z:\\usr");
    EXPECT_THROW(files.open("C:\\x.txt", FileMode::CreateAlways), FileError);
}

// --- Queries -------------------------------------------------------------------------------------------------

TEST_F(WineFiles, ExistenceAndAttributes)
{
    prefix.writeC("Lib/Unit.dcu", "12345");
    prefix.writeC("Lib/.hidden", "");
    prefix.mkdirC("Lib/.git");
    const auto readOnly = prefix.writeC("Lib/ro.dcr", "r");
    fs::permissions(readOnly, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    EXPECT_TRUE(files.fileExists("c:\\lib\\unit.DCU"));
    EXPECT_FALSE(files.fileExists("C:\\Lib")); // a folder is not a file
    EXPECT_TRUE(files.directoryExists("C:\\LIB"));
    EXPECT_FALSE(files.directoryExists("C:\\Lib\\Unit.dcu"));
    EXPECT_FALSE(files.fileExists("C:\\Lib\\nothing"));

    EXPECT_EQ(files.attributes("C:\\Lib\\Unit.dcu"), FileAttr::Archive);
    EXPECT_EQ(files.attributes("C:\\Lib"), FileAttr::Directory);
    EXPECT_EQ(files.attributes("C:\\Lib\\ro.dcr"), FileAttr::Archive | FileAttr::ReadOnly);
    EXPECT_EQ(files.attributes("C:\\Lib\\.hidden"), FileAttr::Archive | FileAttr::Hidden);
    EXPECT_EQ(files.attributes("C:\\Lib\\.git"), FileAttr::Directory | FileAttr::Hidden);
    EXPECT_EQ(files.attributes("C:\\"), FileAttr::Directory);
    EXPECT_EQ(files.attributes("C:\\Lib\\nothing"), std::nullopt);

    EXPECT_TRUE(files.setAttributes("C:\\Lib\\Unit.dcu", FileAttr::ReadOnly | FileAttr::Archive));
    EXPECT_EQ(files.attributes("C:\\Lib\\Unit.dcu"), FileAttr::Archive | FileAttr::ReadOnly);
    EXPECT_TRUE(files.setAttributes("C:\\Lib\\ro.dcr", FileAttr::Normal));
    EXPECT_EQ(files.attributes("C:\\Lib\\ro.dcr"), FileAttr::Archive);
    EXPECT_FALSE(files.setAttributes("C:\\Lib\\nothing", FileAttr::Normal));
    EXPECT_EQ(FileSystem::lastError(), WinError::FileNotFound);
}

TEST(WindowsNames, WildcardRules)
{
    struct Case {
        const char* mask;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*", "anything.at.all", true},
        {"*", ".git", true},
        {"*.*", "README", true}, // every name, with or without a dot
        {"*.*", ".hidden", true},
        {"*.dcr", "KqGauge.dcr", true},
        {"*.dcr", "KQGAUGE.DCR", true},
        {"*.DCR", "x.dcr", true},
        {"*.dcr", "a.b.dcr", true},
        {"*.dcr", "x.dcr.bak", false},
        {"*.dcr", "xdcr", false},
        {"*.dcr", ".dcr", true},
        {"*.dcr", "x.dcrx", false},
        {"*.", "Makefile", true}, // a trailing dot: names without an extension
        {"*.", "unit.pas", false},
        {"*.", ".git", false},
        {"abc.*", "abc", true},
        {"abc.*", "abc.txt", true},
        {"abc.*", "abcd", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"a??", "a", true}, // "?" matches nothing at the end of the name
        {"a??", "abcd", false},
        {"???.pas", "ab.pas", true}, // ... and nothing before a dot
        {"?", "ab", false},
        {"Kq*", "KqAlpha.dcu", true},
        {"Kq*", "AKq.dcu", false},
        {"*lpha*", "KqAlpha.dcu", true},
        {"TarvixLib370.dpk", "tarvixlib370.DPK", true},
        {"TarvixLib370.dpk.", "TarvixLib370.dpk", true},
        {"Ação.txt", "AÇÃO.TXT", true}, // case folding beyond ASCII
        {"", "x", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchesMask(c.name, c.mask), c.matches) << c.mask << " vs " << c.name;
}

TEST_F(WineFiles, EnumerationAppliesTheMaskAndListsEntriesInNameOrder)
{
    for (const char* name : {"b.dcr", "A.DCR", "x.dcr.bak", "Makefile", "unit.pas", ".hidden.dcr"})
        prefix.writeC(std::string("pkg/") + name, "data");
    prefix.mkdirC("pkg/folder.dcr");

    EXPECT_THAT(names("C:\\PKG", "*.dcr"), ElementsAre(".hidden.dcr", "A.DCR", "b.dcr", "folder.dcr"));
    EXPECT_THAT(names("C:\\pkg", "*.*"),
                ElementsAre(".hidden.dcr", "A.DCR", "b.dcr", "folder.dcr", "Makefile", "unit.pas", "x.dcr.bak"));
    EXPECT_THAT(names("C:\\pkg", "*."), ElementsAre("Makefile"));
    EXPECT_THAT(names("C:\\pkg", "?.dcr"), ElementsAre("A.DCR", "b.dcr"));
    EXPECT_THAT(names("C:\\pkg", "nothing*"), IsEmpty());
    EXPECT_THAT(names("C:\\missing", "*"), IsEmpty());
    inFolder(prefix.driveC() / "pkg", [&] {
        EXPECT_THAT(names("C:", "*"), ElementsAre("pkg")); // the folder and "\" + mask: the root
        EXPECT_THAT(names("", "p*"), ElementsAre("pkg"));  // "\p*": the root of the current drive
    });
    EXPECT_THAT(names("C:\\pkg\\unit.pas", "*"), IsEmpty());

    const auto entries = files.enumerate("C:\\pkg", "*.dcr");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].attributes, FileAttr::Archive | FileAttr::Hidden);
    EXPECT_EQ(entries[1].size, 4u);
    EXPECT_EQ(entries[3].attributes, FileAttr::Directory);
}

TEST_F(WineFiles, LongPathNamesSpellEveryComponentAsStored)
{
    prefix.writeC("Program Files/Morvane/KqAlpha.DCU", "x");
    EXPECT_EQ(files.longPathName("c:\\program files\\MORVANE\\kqalpha.dcu"), "C:\\Program Files\\Morvane\\KqAlpha.DCU");
    EXPECT_EQ(files.longPathName("c:\\program files\\morvane\\"), "C:\\Program Files\\Morvane\\");
    EXPECT_EQ(files.longPathName("c:\\PROGRAM FILES\\x\\..\\Morvane"), "C:\\Program Files\\Morvane");
    EXPECT_EQ(files.longPathName("c:"), "C:\\");
    EXPECT_EQ(files.longPathName("c:\\program files\\missing.dcu"), "");
    EXPECT_EQ(files.longPathName("Q:\\x"), "");
    inFolder(prefix.driveC() / "Program Files",
             [&] { EXPECT_EQ(files.longPathName("morvane\\KQALPHA.dcu"), "C:\\Program Files\\Morvane\\KqAlpha.DCU"); });
}

// --- Changes -------------------------------------------------------------------------------------------------

TEST_F(WineFiles, CreatingFolders)
{
    uint32_t error = 99;
    EXPECT_TRUE(files.createDirectory("C:\\Morvane", &error));
    EXPECT_EQ(error, WinError::Success);
    EXPECT_TRUE(fs::is_directory(prefix.driveC() / "Morvane"));

    EXPECT_FALSE(files.createDirectory("C:\\MORVANE", &error)); // exists, whatever the case
    EXPECT_EQ(error, WinError::AlreadyExists);
    prefix.writeC("file.txt", "");
    EXPECT_FALSE(files.createDirectory("C:\\file.txt", &error));
    EXPECT_EQ(error, WinError::AlreadyExists);
    EXPECT_FALSE(files.createDirectory("C:\\a\\b", &error));
    EXPECT_EQ(error, WinError::PathNotFound);
    EXPECT_FALSE(files.createDirectory("Q:\\a", &error));
    EXPECT_EQ(error, WinError::PathNotFound);

    EXPECT_TRUE(files.forceDirectories("c:\\morvane\\TarvixComps\\D37"));
    EXPECT_TRUE(fs::is_directory(prefix.driveC() / "Morvane/TarvixComps/D37"));
    EXPECT_TRUE(files.forceDirectories("C:\\Morvane\\TarvixComps\\D37")); // already there
    EXPECT_FALSE(files.forceDirectories("C:\\file.txt\\sub"));
    EXPECT_FALSE(files.forceDirectories("Q:\\x"));

    EXPECT_FALSE(files.removeDirectory("C:\\Morvane"));
    EXPECT_EQ(FileSystem::lastError(), WinError::DirNotEmpty);
    EXPECT_TRUE(files.removeDirectory("C:\\Morvane\\TarvixComps\\D37"));
    EXPECT_FALSE(files.directoryExists("C:\\Morvane\\TarvixComps\\D37"));
}

TEST_F(WineFiles, DeletingFilesHonoursTheReadOnlyAttributeAndOpenFiles)
{
    prefix.writeC("a.txt", "a");
    prefix.mkdirC("dir");
    EXPECT_TRUE(files.deleteFile("C:\\A.TXT"));
    EXPECT_FALSE(fs::exists(prefix.driveC() / "a.txt"));
    EXPECT_FALSE(files.deleteFile("C:\\a.txt"));
    EXPECT_EQ(FileSystem::lastError(), WinError::FileNotFound);
    EXPECT_FALSE(files.deleteFile("C:\\nodir\\a.txt"));
    EXPECT_EQ(FileSystem::lastError(), WinError::PathNotFound);
    EXPECT_FALSE(files.deleteFile("C:\\dir"));
    EXPECT_EQ(FileSystem::lastError(), WinError::AccessDenied);

    prefix.writeC("ro.txt", "r");
    files.setAttributes("C:\\ro.txt", FileAttr::ReadOnly);
    EXPECT_FALSE(files.deleteFile("C:\\ro.txt"));
    EXPECT_EQ(FileSystem::lastError(), WinError::AccessDenied);
    EXPECT_TRUE(fs::exists(prefix.driveC() / "ro.txt"));

    prefix.writeC("open.txt", "o");
    {
        auto file = files.open("C:\\open.txt", FileMode::Read, FileShare::DenyNone);
        EXPECT_FALSE(files.deleteFile("C:\\open.txt"));
        EXPECT_EQ(FileSystem::lastError(), WinError::SharingViolation);
    }
    EXPECT_TRUE(files.deleteFile("C:\\open.txt"));
}

TEST_F(WineFiles, DeleteTreeResetsAttributesAndLeavesWhatCannotGo)
{
    prefix.writeC("work/123/comps.pkg", "p");
    const auto ro = prefix.writeC("work/123/sub/ro.dcu", "r");
    fs::permissions(ro, fs::perms::all, fs::perm_options::remove);
    fs::permissions(ro, fs::perms::owner_read);
    fs::permissions(prefix.driveC() / "work/123/sub",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    prefix.writeC("outside.txt", "keep");
    fs::create_symlink(prefix.driveC() / "outside.txt", prefix.driveC() / "work/123/link");

    files.deleteTree("C:\\WORK\\123");
    EXPECT_FALSE(fs::exists(prefix.driveC() / "work/123"));
    EXPECT_EQ(prefix.readC("outside.txt"), "keep"); // a link goes, not what it points to

    // A file held open by another opener stays, and so do its folders; nothing is reported.
    prefix.writeC("work/456/held.txt", "h");
    prefix.writeC("work/456/free.txt", "f");
    auto held = files.open("C:\\work\\456\\held.txt", FileMode::Read);
    files.deleteTree("C:\\work\\456");
    EXPECT_TRUE(fs::exists(prefix.driveC() / "work/456/held.txt"));
    EXPECT_FALSE(fs::exists(prefix.driveC() / "work/456/free.txt"));
    held.reset();
    files.deleteTree("C:\\work\\456");
    EXPECT_FALSE(fs::exists(prefix.driveC() / "work/456"));

    files.deleteTree("C:\\work\\never-was"); // nothing to do, nothing raised
    files.deleteTree("Q:\\x");
}

TEST_F(WineFiles, CopyingFiles)
{
    const auto source = prefix.writeC("src/Unit.dcu", "contents");
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(source, old);

    EXPECT_TRUE(files.copyFile("C:\\SRC\\unit.dcu", "C:\\dst\\..\\Unit.dcu", true));
    EXPECT_EQ(prefix.readC("Unit.dcu"), "contents");
    EXPECT_EQ(fs::last_write_time(prefix.driveC() / "Unit.dcu"), old);

    // Failing when the target exists, else replacing it (keeping the stored spelling of its name).
    prefix.writeC("src/Unit.dcu", "newer");
    EXPECT_FALSE(files.copyFile("C:\\src\\Unit.dcu", "C:\\UNIT.DCU", true));
    EXPECT_EQ(FileSystem::lastError(), WinError::FileExists);
    EXPECT_EQ(prefix.readC("Unit.dcu"), "contents");
    EXPECT_TRUE(files.copyFile("C:\\src\\Unit.dcu", "C:\\UNIT.DCU", false));
    EXPECT_EQ(prefix.readC("Unit.dcu"), "newer");
    EXPECT_FALSE(fs::exists(prefix.driveC() / "UNIT.DCU"));

    // The read-only attribute travels with the copy and protects the target.
    files.setAttributes("C:\\src\\Unit.dcu", FileAttr::ReadOnly);
    EXPECT_TRUE(files.copyFile("C:\\src\\Unit.dcu", "C:\\ro.dcu", false));
    EXPECT_EQ(files.attributes("C:\\ro.dcu"), FileAttr::Archive | FileAttr::ReadOnly);
    EXPECT_FALSE(files.copyFile("C:\\Unit.dcu", "C:\\ro.dcu", false));
    EXPECT_EQ(FileSystem::lastError(), WinError::AccessDenied);
    EXPECT_EQ(prefix.readC("ro.dcu"), "newer");

    // Errors: a missing source, a missing target folder, a folder as source, a file onto itself.
    EXPECT_FALSE(files.copyFile("C:\\src\\none.dcu", "C:\\x.dcu", false));
    EXPECT_EQ(FileSystem::lastError(), WinError::FileNotFound);
    EXPECT_FALSE(files.copyFile("C:\\Unit.dcu", "C:\\nodir\\x.dcu", false));
    EXPECT_EQ(FileSystem::lastError(), WinError::PathNotFound);
    EXPECT_FALSE(files.copyFile("C:\\src", "C:\\x", false));
    EXPECT_FALSE(files.copyFile("C:\\Unit.dcu", "C:\\unit.DCU", false));
    EXPECT_EQ(FileSystem::lastError(), WinError::SharingViolation);
    EXPECT_EQ(prefix.readC("Unit.dcu"), "newer");
}

TEST_F(WineFiles, MovingFilesAndFolders)
{
    prefix.writeC("EnvOptions.proj", "options");
    prefix.writeC("EnvOptions.proj.bak", "older");

    EXPECT_FALSE(files.moveFile("C:\\EnvOptions.proj", "C:\\envoptions.PROJ.bak")); // the target exists
    EXPECT_EQ(FileSystem::lastError(), WinError::AlreadyExists);
    EXPECT_TRUE(files.deleteFile("C:\\EnvOptions.proj.bak"));
    EXPECT_TRUE(files.moveFile("C:\\EnvOptions.proj", "C:\\EnvOptions.proj.bak"));
    EXPECT_EQ(prefix.readC("EnvOptions.proj.bak"), "options");
    EXPECT_FALSE(fs::exists(prefix.driveC() / "EnvOptions.proj"));

    // A change of case only renames.
    EXPECT_TRUE(files.moveFile("C:\\envoptions.proj.bak", "C:\\ENVOPTIONS.PROJ.BAK"));
    EXPECT_TRUE(fs::exists(prefix.driveC() / "ENVOPTIONS.PROJ.BAK"));
    EXPECT_FALSE(fs::exists(prefix.driveC() / "EnvOptions.proj.bak"));

    // Folders move with their contents; a new name keeps its case.
    prefix.writeC("old/inner/file.txt", "f");
    EXPECT_TRUE(files.moveFile("C:\\OLD", "C:\\New Place"));
    EXPECT_EQ(prefix.readC("New Place/inner/file.txt"), "f");

    EXPECT_FALSE(files.moveFile("C:\\none", "C:\\x"));
    EXPECT_EQ(FileSystem::lastError(), WinError::FileNotFound);
    EXPECT_FALSE(files.moveFile("C:\\ENVOPTIONS.PROJ.BAK", "C:\\nodir\\x"));
    EXPECT_EQ(FileSystem::lastError(), WinError::PathNotFound);

    auto held = files.open("C:\\ENVOPTIONS.PROJ.BAK", FileMode::Read);
    EXPECT_FALSE(files.moveFile("C:\\ENVOPTIONS.PROJ.BAK", "C:\\y"));
    EXPECT_EQ(FileSystem::lastError(), WinError::SharingViolation);
}

TEST_F(WineFiles, ReplacingAFile)
{
    prefix.writeC("new.tmp", "new");
    prefix.writeC("target.txt", "old");
    EXPECT_TRUE(files.replaceFile("C:\\new.tmp", "C:\\TARGET.TXT"));
    EXPECT_EQ(prefix.readC("target.txt"), "new");
    EXPECT_FALSE(fs::exists(prefix.driveC() / "new.tmp"));

    prefix.writeC("new.tmp", "newer");
    files.setAttributes("C:\\target.txt", FileAttr::ReadOnly);
    EXPECT_FALSE(files.replaceFile("C:\\new.tmp", "C:\\target.txt"));
    EXPECT_EQ(FileSystem::lastError(), WinError::AccessDenied);
    prefix.mkdirC("folder");
    EXPECT_FALSE(files.replaceFile("C:\\new.tmp", "C:\\folder"));
    EXPECT_EQ(prefix.readC("target.txt"), "new");

    // The folder of a replacement is flushed to make the rename durable; a drive that is not mapped has none.
    EXPECT_TRUE(files.flushDirectory("c:\\FOLDER"));
    EXPECT_FALSE(files.flushDirectory("Q:\\"));
    EXPECT_EQ(FileSystem::lastError(), WinError::PathNotFound);
}

// --- Contents ------------------------------------------------------------------------------------------------

TEST_F(WineFiles, ReadingAndWritingThroughFiles)
{
    {
        auto out = files.open("C:\\data.bin", FileMode::CreateAlways);
        out->write("0123456789", 10);
        EXPECT_EQ(out->position(), 10);
        out->seek(2);
        out->write("ab", 2);
        EXPECT_EQ(out->size(), 10);
        out->close();
        out->close(); // a second close does nothing
    }
    EXPECT_EQ(prefix.readC("data.bin"), "01ab456789");

    auto in = files.open("C:\\DATA.BIN", FileMode::Read);
    char buffer[8] = {};
    in->readExact(buffer, 4);
    EXPECT_EQ(std::string(buffer, 4), "01ab");
    in->seek(8);
    EXPECT_EQ(in->read(buffer, sizeof buffer), 2u);
    EXPECT_EQ(in->read(buffer, sizeof buffer), 0u);
    in->seek(7);
    try {
        in->readExact(buffer, 4); // only 3 bytes left
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    EXPECT_THROW(in->seek(-1), FileError);
    EXPECT_THROW(in->write("x", 1), FileError); // opened for reading only
    in->close();
    EXPECT_THROW(in->read(buffer, 1), FileError);

    auto rw = files.open("C:\\data.bin", FileMode::ReadWrite, FileShare::DenyNone);
    rw->seek(10);
    rw->write("!", 1);
    rw->close();
    EXPECT_EQ(prefix.readC("data.bin"), "01ab456789!");
}

TEST_F(WineFiles, OpenErrorsNameTheFileAndTheReason)
{
    prefix.writeC("exists.txt", "e");
    prefix.writeC("ro.txt", "r");
    files.setAttributes("C:\\ro.txt", FileAttr::ReadOnly);
    prefix.mkdirC("folder");

    struct Case {
        const char* path;
        FileMode mode;
        std::string message;
    };
    const Case cases[] = {
        {"C:\\missing.txt", FileMode::Read,
         "Cannot open file \"C:\\missing.txt\". The system cannot find the file specified."},
        {"C:\\nodir\\x.txt", FileMode::ReadWrite,
         "Cannot open file \"C:\\nodir\\x.txt\". The system cannot find the path specified."},
        {"C:\\nodir\\x.txt", FileMode::CreateAlways,
         "Cannot create file \"C:\\nodir\\x.txt\". The system cannot find the path specified."},
        {"c:\\EXISTS.txt", FileMode::CreateNew, "Cannot create file \"c:\\EXISTS.txt\". The file exists."},
        {"C:\\folder", FileMode::Read, "Cannot open file \"C:\\folder\". Access is denied."},
        {"C:\\ro.txt", FileMode::ReadWrite, "Cannot open file \"C:\\ro.txt\". Access is denied."},
        {"C:\\ro.txt", FileMode::CreateAlways, "Cannot create file \"C:\\ro.txt\". Access is denied."},
        {"Q:\\x.txt", FileMode::Read, "Cannot open file \"Q:\\x.txt\". The system cannot find the path specified."},
        {"C:\\a<b.txt", FileMode::CreateAlways,
         "Cannot create file \"C:\\a<b.txt\". The filename, directory name, or volume label syntax is incorrect."},
    };
    for (const auto& c : cases) {
        try {
            files.open(c.path, c.mode);
            ADD_FAILURE() << "no error for " << c.path;
        } catch (const FileError& e) {
            EXPECT_EQ(e.what(), c.message);
        }
    }
    EXPECT_EQ(prefix.readC("ro.txt"), "r");
    // A read-only file can still be read.
    EXPECT_NO_THROW(files.open("C:\\ro.txt", FileMode::Read));
}

TEST_F(WineFiles, ShareModesAmongOpeners)
{
    prefix.writeC("f.txt", "keep me");
    const char* f = "C:\\f.txt";
    {
        auto exclusive = files.open(f, FileMode::Read, FileShare::Exclusive);
        EXPECT_EQ(openError(f, FileMode::Read, FileShare::DenyNone), WinError::SharingViolation);
        EXPECT_EQ(openError(f, FileMode::CreateAlways, FileShare::DenyNone), WinError::SharingViolation);
    }
    {
        // Other processes may read but not write.
        auto reader = files.open(f, FileMode::Read, FileShare::DenyWrite);
        EXPECT_EQ(openError(f, FileMode::Read, FileShare::DenyWrite), WinError::Success);
        EXPECT_EQ(openError(f, FileMode::Read, FileShare::DenyNone), WinError::Success);
        EXPECT_EQ(openError(f, FileMode::ReadWrite, FileShare::DenyNone), WinError::SharingViolation);
        EXPECT_EQ(openError(f, FileMode::CreateAlways, FileShare::Exclusive), WinError::SharingViolation);
        // would deny the reader its read
        EXPECT_EQ(openError(f, FileMode::Read, FileShare::Exclusive), WinError::SharingViolation);
    }
    {
        // A reader that shares everything lets a writer in that denies writing only.
        auto reader = files.open(f, FileMode::Read, FileShare::DenyNone);
        auto writer = files.open(f, FileMode::ReadWrite, FileShare::DenyWrite);
        // the writer has write access
        EXPECT_EQ(openError(f, FileMode::Read, FileShare::DenyWrite), WinError::SharingViolation);
        EXPECT_EQ(openError(f, FileMode::Read, FileShare::DenyNone), WinError::Success);
    }
    EXPECT_EQ(prefix.readC("f.txt"), "keep me"); // the refused CreateAlways truncated nothing
    EXPECT_EQ(openError(f, FileMode::CreateAlways, FileShare::Exclusive), WinError::Success);
    EXPECT_EQ(prefix.readC("f.txt"), "");
}

TEST_F(WineFiles, SharingHoldsAcrossProcesses)
{
    prefix.writeC("f.txt", "x");
    auto held = files.open("C:\\f.txt", FileMode::Read, FileShare::Exclusive);
    const pid_t child = fork();
    if (child == 0) {
        WineFileSystem other(prefix.path());
        int code = 0;
        try {
            other.open("C:\\f.txt", FileMode::Read, FileShare::DenyNone);
        } catch (const FileError& e) {
            code = static_cast<int>(e.code());
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(static_cast<uint32_t>(WEXITSTATUS(status)), WinError::SharingViolation);
}

TEST_F(WineFiles, WholeFileReadAndAtomicWrite)
{
    files.writeFile("C:\\pkg.dpk", "first");
    EXPECT_EQ(files.readFile("C:\\PKG.DPK"), "first");

    // Replacing keeps the stored name and leaves no temporary file behind.
    prefix.writeC("Mixed.Dpk", "old");
    files.writeFile("C:\\mixed.dpk", std::string(100000, 'x'));
    EXPECT_EQ(prefix.readC("Mixed.Dpk"), std::string(100000, 'x'));
    EXPECT_THAT(names("C:\\", "*"), ElementsAre("Mixed.Dpk", "pkg.dpk"));

    // Failures leave the old file as it was and name the file the caller gave.
    files.setAttributes("C:\\pkg.dpk", FileAttr::ReadOnly);
    try {
        files.writeFile("C:\\pkg.dpk", "second");
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Cannot create file \"C:\\pkg.dpk\". Access is denied.");
    }
    EXPECT_EQ(files.readFile("C:\\pkg.dpk"), "first");
    try {
        files.writeFile("C:\\nodir\\x.txt", "y");
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Cannot create file \"C:\\nodir\\x.txt\". The system cannot find the path specified.");
        EXPECT_EQ(e.code(), WinError::PathNotFound);
    }
    EXPECT_THAT(names("C:\\", "*"), ElementsAre("Mixed.Dpk", "pkg.dpk"));
    EXPECT_THROW(files.readFile("C:\\missing"), FileError);
}

} // namespace
} // namespace tarvix::platform
