// The small text pieces every layer shares: ASCII letter case, trailing backslashes, placeholders.
#include <gtest/gtest.h>

#include "platform/ascii_case.h"
#include "platform/text_format.h"
#include "platform/windows_path.h"

namespace tarvix::platform {
namespace {

TEST(SmallText, AsciiCaseLeavesOtherCharactersAlone)
{
    EXPECT_EQ(asciiUpperCase("dcc32.exe ção"), "DCC32.EXE çãO");
    EXPECT_EQ(asciiLowerCase("Known Packages ÇÃO"), "known packages ÇÃo");
    EXPECT_TRUE(equalsIgnoringAsciiCase("Search Path", "search PATH"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("ção", "ÇÃO"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("ab", "abc"));
    EXPECT_TRUE(startsWithIgnoringAsciiCase("-NSVcl", "-ns"));
    EXPECT_TRUE(endsWithIgnoringAsciiCase("Pkg.DPK", ".dpk"));
    EXPECT_FALSE(endsWithIgnoringAsciiCase("k", ".dpk"));
}

TEST(SmallText, OneTrailingBackslash)
{
    struct Case {
        const char* path;
        const char* included;
        const char* excluded;
    };
    const Case cases[] = {
        {"C:\\Tarvix\\D37", "C:\\Tarvix\\D37\\", "C:\\Tarvix\\D37"},
        {"C:\\Tarvix\\D37\\", "C:\\Tarvix\\D37\\", "C:\\Tarvix\\D37"},
        {"C:\\Tarvix\\\\", "C:\\Tarvix\\\\", "C:\\Tarvix\\"}, // one only
        {"C:\\", "C:\\", "C:\\"},                             // a drive root keeps it
        {"", "\\", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(includeTrailingBackslash(c.path), c.included) << c.path;
        EXPECT_EQ(excludeTrailingBackslash(c.path), c.excluded) << c.path;
    }
}

TEST(SmallText, PlaceholdersAreFilledInOrder)
{
    EXPECT_EQ(formatText("%s %d", {"RAD Studio", "13"}), "RAD Studio 13");
    EXPECT_EQ(formatText("%s not found", {"dcc32.exe"}), "dcc32.exe not found");
    // Inserted text is not scanned again; other "%" stay; missing values leave their placeholders.
    EXPECT_EQ(formatText("%s|%s", {"%s", "b"}), "%s|b");
    EXPECT_EQ(formatText("100% %x %s", {"done"}), "100% %x done");
    EXPECT_EQ(formatText("%s and %s", {"one"}), "one and %s");
    EXPECT_EQ(formatText("none", {"dropped"}), "none");
    EXPECT_EQ(formatText("ends with %", {"x"}), "ends with %");
}

} // namespace
} // namespace tarvix::platform
