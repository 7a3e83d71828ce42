#include "components/kq_lib_functions.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/text_encoding.h"
#include "tests/components/scripted_prefix_system.h"
#include "tests/support/sandbox_system.h"

namespace tarvix {
namespace {

using test::ScopedCurrentPath;
using test::ScriptedPrefixSystem;

class SystemQueries : public ::testing::Test {
protected:
    ScriptedPrefixSystem system;
};

TEST_F(SystemQueries, TranslateFileNameSpellsEveryComponentAsStored)
{
    system.sandbox.writeC("Morvane/TarvixComps/D37/KqAlpha.dcu", "x");
    system.sandbox.writeC("Ação/Coração.TXT", "x");

    struct Case {
        std::string name;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"c:\\morvane\\TARVIXCOMPS\\d37\\kqalpha.DCU", "C:\\Morvane\\TarvixComps\\D37\\KqAlpha.dcu"},
        {"C:\\Morvane\\TarvixComps\\D37\\KqAlpha.dcu", "C:\\Morvane\\TarvixComps\\D37\\KqAlpha.dcu"},
        {"c:\\AÇÃO\\coração.txt", "C:\\Ação\\Coração.TXT"},
        {"c:\\\\morvane\\\\tarvixcomps\\d37\\kqalpha.dcu", "C:\\Morvane\\TarvixComps\\D37\\KqAlpha.dcu"},
        {"c:/morvane/tarvixcomps\\d37/kqalpha.dcu", "C:\\Morvane\\TarvixComps\\D37\\KqAlpha.dcu"},
        {"c:\\morvane\\tarvixcomps\\d37", ""}, // a folder is not a file
        {"c:\\morvane\\tarvixcomps\\d37\\missing.dcu", ""},
        {"q:\\morvane\\tarvixcomps\\d37\\kqalpha.dcu", ""}, // a drive the prefix does not map
        {"\\\\server\\share\\kqalpha.dcu", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetLongFileName(c.name), c.expected) << c.name;
        // The prefix keeps no short names: the short form is the long one.
        EXPECT_EQ(TranslateFileName(c.name, false), c.expected) << c.name;
    }
}

TEST_F(SystemQueries, TranslateFileNameTakesRelativeNamesAgainstTheCurrentFolder)
{
    system.sandbox.writeC("Morvane/TarvixComps/D37/KqAlpha.dcu", "x");
    system.sandbox.writeC("Morvane/Readme.txt", "x");
    ScopedCurrentPath here(system.sandbox.driveC() / "Morvane" / "TarvixComps");

    EXPECT_EQ(GetCurrentDir(), "C:\\Morvane\\TarvixComps\\");
    EXPECT_EQ(GetLongFileName("d37\\KQALPHA.dcu"), "C:\\Morvane\\TarvixComps\\D37\\KqAlpha.dcu");
    EXPECT_EQ(GetLongFileName(".\\d37\\kqalpha.dcu"), "C:\\Morvane\\TarvixComps\\.\\D37\\KqAlpha.dcu");
    EXPECT_EQ(GetLongFileName("..\\README.TXT"), "C:\\Morvane\\TarvixComps\\..\\Readme.txt");
    EXPECT_EQ(GetLongFileName("d37"), "");
    EXPECT_EQ(GetLongFileName("KqAlpha.dcu"), "");
}

TEST_F(SystemQueries, GetCurrentDirEndsInABackslashAndFitsInTheSystemBuffer)
{
    {
        ScopedCurrentPath here(system.sandbox.driveC());
        EXPECT_EQ(GetCurrentDir(), "C:\\");
    }
    {
        system.sandbox.mkdirC("Pasta Ação");
        ScopedCurrentPath here(system.sandbox.driveC() / "Pasta Ação");
        EXPECT_EQ(GetCurrentDir(), "C:\\Pasta Ação\\");
    }

    // "C:\" and 256 characters of folder names: 259 in all fit, one more does not.
    const std::string longest = std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(54, 'c');
    system.sandbox.mkdirC(longest);
    system.sandbox.writeC(longest + "/f.txt", "x");
    {
        ScopedCurrentPath here(system.sandbox.driveC() / longest);
        EXPECT_EQ(platform::utf16Length(GetCurrentDir()), 260u);
        EXPECT_EQ(GetLongFileName("F.TXT"), "C:\\" + std::string(100, 'a') + "\\" + std::string(100, 'b') + "\\" +
                                                std::string(54, 'c') + "\\f.txt");
    }
    system.sandbox.mkdirC(longest + "d");
    system.sandbox.writeC(longest + "d/f.txt", "x");
    {
        ScopedCurrentPath here(system.sandbox.driveC() / (longest + "d"));
        EXPECT_EQ(GetCurrentDir(), "");
        // Without a current folder a relative name cannot be spelled from its drive.
        EXPECT_EQ(GetLongFileName("f.txt"), "");
    }
}

TEST(GetTempDir, IsThePrefixsTemporaryFolderMadeWhenMissing)
{
    // A prefix as the builder makes it: TEMP and TMP of user "ana" are C:\users\ana\Temp. The folder is taken
    // away first, so that the query has to make it.
    test::SandboxSystem sandbox;
    const std::filesystem::path temp = sandbox.builder().hostPath("C:\\users\\ana\\Temp");
    std::filesystem::remove_all(temp);
    EXPECT_EQ(GetTempDir(), "C:\\users\\ana\\Temp\\");
    EXPECT_TRUE(std::filesystem::is_directory(temp));
}

TEST_F(SystemQueries, GetTempDirEndsInABackslashAndFitsInTheSystemBuffer)
{
    struct Case {
        std::string reported;
        std::string expected;
    };
    const std::string fits = "C:\\" + std::string(256, 'x') + "\\";     // 260 characters
    const std::string tooLong = "C:\\" + std::string(257, 'x') + "\\";  // 261
    const std::string accents = "C:\\" + std::string(255, 'x') + "ã\\"; // 260 code units, more bytes
    const std::vector<Case> cases = {
        {"C:\\users\\ana\\Temp\\", "C:\\users\\ana\\Temp\\"},
        {"C:\\users\\ana\\Temp", "C:\\users\\ana\\Temp\\"},
        {"", ""},
        {fits, fits},
        {accents, accents},
        {tooLong, ""},
    };
    for (const Case& c : cases) {
        system.scriptedShell().tempFolderAnswer = c.reported;
        EXPECT_EQ(GetTempDir(), c.expected) << c.reported;
    }
}

TEST_F(SystemQueries, ExeNameIsTheRunningExecutableAsStored)
{
    // The real answer of the prefix: this test program, through Z:.
    const std::string exe = ExeName();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.substr(0, 3), "Z:\\");
    EXPECT_EQ(std::filesystem::path(system.files().toHostPath(exe)), std::filesystem::read_symlink("/proc/self/exe"));

    system.sandbox.writeC("Program Files/Tarvix/Instalar.exe", "MZ");
    system.scriptedShell().executablePathAnswer = "c:\\PROGRAM FILES\\tarvix\\INSTALAR.EXE";
    EXPECT_EQ(ExeName(), "C:\\Program Files\\Tarvix\\Instalar.exe");
}

TEST_F(SystemQueries, IsRunningComparesAtMost39Characters)
{
    test::ScriptedShell& shell = system.scriptedShell();
    shell.windows = {"TAppBuilder", std::string(39, 'w')};

    EXPECT_TRUE(IsRunning("TAppBuilder"));
    EXPECT_FALSE(IsRunning("TAppBuilderX"));
    EXPECT_TRUE(IsRunning(std::string(39, 'w')));
    EXPECT_TRUE(IsRunning(std::string(45, 'w')));
    // 39 UTF-16 code units: the cut falls between whole characters of the UTF-8 text.
    shell.windows.insert(std::string(37, 'w') + "çã");
    EXPECT_TRUE(IsRunning(std::string(37, 'w') + "çãõ"));

    const std::vector<std::string> asked = {"TAppBuilder", "TAppBuilderX", std::string(39, 'w'), std::string(39, 'w'),
                                            std::string(37, 'w') + "çã"};
    EXPECT_EQ(shell.windowQueries, asked);
}

TEST_F(SystemQueries, IsRunningAsksThePrefixForTheIdeWindow)
{
    // No Delphi IDE runs in a fresh sandbox prefix.
    platform::ScopedCurrentSystem scoped(system.prefix());
    EXPECT_FALSE(IsRunning("TAppBuilder"));
}

} // namespace
} // namespace tarvix
