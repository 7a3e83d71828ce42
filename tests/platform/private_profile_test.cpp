// The private-profile reader: the look-up rules on decoded text, the file encodings, the integer syntax, and the
// whole reader on files of a sandbox prefix.
#include "platform/private_profile.h"

#include "platform/text_encoding.h"
#include "platform/wine/wine_prefix.h"
#include "tests/platform/sandbox_prefix.h"

#include <gtest/gtest.h>

#include <climits>

namespace tarvix::platform {
namespace {

std::optional<std::string> lookUp(std::string_view utf8Text, std::string_view section, std::string_view key)
{
    return findProfileValue(utf8ToUtf16(utf8Text), section, key);
}

TEST(PrivateProfileLookUp, SectionsKeysBlanksQuotesAndDuplicates)
{
    const std::string text = "; a comment line\r\n"
                             "orphan=before any section\r\n"
                             "[SETUP]\r\n"
                             "Version=37\r\n"
                             "  Package  =   Tarvix Library Pro   \r\n"
                             "\tTabbed\t=\tvalue\t\r\n"
                             "[Setup]   ; the same section again\r\n"
                             "Version=99\r\n"
                             "Extra=here\r\n"
                             "[COMPONENTS]\r\n"
                             "Quoted=\"  spaced  \"\r\n"
                             "Single='x'\r\n"
                             "Mismatch=\"abc'\r\n"
                             "OnlyQuote=\"\r\n"
                             "EmptyQuotes=''\r\n"
                             "Inner=a \"b\" c\r\n"
                             "Empty=\r\n"
                             "NoEquals\r\n"
                             "Equals=a=b\r\n"
                             ";Commented=yes\r\n"
                             "Dup=first\r\n"
                             "dup=second\r\n"
                             "[ Spaced Section ]\r\n"
                             "Key=v\r\n"
                             "[ÇÃO]\r\n"
                             "Ñame=latin\r\n"
                             "[Unclosed\r\n"
                             "Key=open\r\n";
    struct Case {
        std::string_view section, key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"SETUP", "Version", "37"},
        {"setup", "VERSION", "37"},
        {"SETUP", "Package", "Tarvix Library Pro"},
        {"SETUP", "Tabbed", "value"},
        {"SETUP", "Extra", "here"},
        {"COMPONENTS", "Quoted", "  spaced  "},
        {"COMPONENTS", "Single", "x"},
        {"COMPONENTS", "Mismatch", "\"abc'"},
        {"COMPONENTS", "OnlyQuote", "\""},
        {"COMPONENTS", "EmptyQuotes", ""},
        {"COMPONENTS", "Inner", "a \"b\" c"},
        {"COMPONENTS", "Empty", ""},
        {"COMPONENTS", "NoEquals", std::nullopt},
        {"COMPONENTS", "Equals", "a=b"},
        {"COMPONENTS", ";Commented", std::nullopt},
        {"COMPONENTS", "Dup", "first"},
        {"COMPONENTS", "Version", std::nullopt},
        {"Spaced Section", "Key", "v"},
        {" spaced section ", " key ", "v"},
        {"ção", "ñAME", "latin"},
        {"Unclosed", "Key", "open"},
        {"", "orphan", std::nullopt},
        {"MISSING", "Version", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lookUp(text, c.section, c.key), c.value) << "[" << c.section << "] " << c.key;
    }
}

TEST(PrivateProfileLookUp, LineEnds)
{
    for (std::string_view end : {"\r\n", "\n", "\r"}) {
        const std::string text = "[S]" + std::string(end) + "A=1" + std::string(end) + "B=2";
        EXPECT_EQ(lookUp(text, "S", "A"), "1");
        EXPECT_EQ(lookUp(text, "S", "B"), "2");
    }
}

TEST(PrivateProfileLookUp, ValuesAreCutTo2047Units)
{
    const std::string longValue(3000, 'L');
    EXPECT_EQ(lookUp("[S]\nK=" + longValue, "S", "K"), std::string(2047, 'L'));
    EXPECT_EQ(lookUp("[S]\nK=" + std::string(2047, 'L'), "S", "K"), std::string(2047, 'L'));
    // The quotes go first, then the cut: the 2047 characters inside are kept whole.
    EXPECT_EQ(lookUp("[S]\nK=\"" + std::string(2047, 'Q') + "\"", "S", "K"), std::string(2047, 'Q'));
    // Blanks around the value do not count.
    EXPECT_EQ(lookUp("[S]\nK=   " + std::string(2047, 'B') + "   ", "S", "K"), std::string(2047, 'B'));
    // A character outside the BMP counts two units; it is kept whole or not at all.
    EXPECT_EQ(lookUp("[S]\nK=" + std::string(2045, 'a') + "😀b", "S", "K"), std::string(2045, 'a') + "😀");
    EXPECT_EQ(lookUp("[S]\nK=" + std::string(2046, 'a') + "😀b", "S", "K"), std::string(2046, 'a'));
    // Multi-byte UTF-8 characters count one unit each.
    std::string accented;
    for (int i = 0; i < 2100; ++i)
        accented += "é";
    const auto cut = lookUp("[S]\nK=" + accented, "S", "K");
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(utf16Length(*cut), 2047u);
}

TEST(PrivateProfileText, EncodingsByByteOrderMark)
{
    const std::u16string expected = u"[Sé]\r\nK=ação€";
    struct Case {
        const char* what;
        std::string bytes;
        uint32_t acp;
    };
    std::string be;
    for (char16_t c : expected) {
        be.push_back(static_cast<char>(c >> 8));
        be.push_back(static_cast<char>(c & 0xFF));
    }
    const Case cases[] = {
        {"UTF-16 LE", "\xFF\xFE" + utf16leBytes(expected), 1252},
        {"UTF-16 BE", "\xFE\xFF" + be, 1252},
        {"UTF-8", "\xEF\xBB\xBF" + utf16ToUtf8(expected), 1252},
        {"ANSI 1252", std::string("[S\xE9]\r\nK=a\xE7\xE3o\x80"), 1252},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string text = decodeProfileText(c.bytes, c.acp);
        EXPECT_EQ(text, expected);
        EXPECT_EQ(findProfileValue(text, "SÉ", "k"), "ação€");
    }
    // The same bytes in another code page give other characters.
    EXPECT_EQ(utf16ToUtf8(decodeProfileText("K=\xC0\xE1\xFF", 1251)), "K=Абя");
    EXPECT_EQ(utf16ToUtf8(decodeProfileText("K=\xC0\xE1\xFF", 1252)), "K=Àáÿ");
    // A stray last byte of a UTF-16 file is no character.
    EXPECT_EQ(decodeProfileText(std::string("\xFF\xFE"
                                            "A\0B",
                                            4),
                                1252),
              u"A");
}

TEST(PrivateProfileInt, Syntax)
{
    struct Case {
        std::string_view text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        {"37", 37},
        {"+37", 37},
        {"-37", -37},
        {"0037", 37},
        {"0", 0},
        {"-0", 0},
        {"0x25", 37},
        {"0X25", 37},
        {"0xfF", 255},
        {"$25", 37},
        {"$ff", 255},
        {"-$25", -37},
        {"-0x25", -37},
        {"+$25", 37},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"$FFFFFFFF", -1},
        {"0x80000000", INT32_MIN},
        {"0x7FFFFFFF", INT32_MAX},
        {"$000000025", 37},
        {"$100000000", std::nullopt},
        {"37abc", std::nullopt},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"$-1", std::nullopt},
        {"0x-1", std::nullopt},
        {"--1", std::nullopt},
        {"3 7", std::nullopt},
        {" 37", std::nullopt},
        {"1e3", std::nullopt},
        {"12.0", std::nullopt},
        {"x25", std::nullopt},
        {"0x25h", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseProfileInt(c.text), c.value) << '"' << c.text << '"';
}

// The reader on files of a prefix, through the current system.
class PrivateProfileFileTest : public ::testing::Test {
protected:
    test::SandboxPrefix sandbox;
    WinePrefix system{sandbox.path()};
    ScopedCurrentSystem scope{system};
};

TEST_F(PrivateProfileFileTest, ReadsAFileOfTheSystem)
{
    sandbox.writeC("Work Dir/instalar.inf", "[SETUP]\r\nVersion=0x25\r\nPackage=\"Tarvix Pro\"\r\n");
    const std::string file = "C:\\work dir\\INSTALAR.INF"; // Windows paths ignore case
    EXPECT_EQ(privateProfileString("setup", "package", "dflt", file), "Tarvix Pro");
    EXPECT_EQ(privateProfileString("SETUP", "Missing", "dflt", file), "dflt");
    EXPECT_EQ(privateProfileString("OTHER", "Version", "dflt", file), "dflt");
    EXPECT_EQ(privateProfileInt("SETUP", "Version", -1, file), 37);
    EXPECT_EQ(privateProfileInt("SETUP", "Package", -1, file), -1);
    EXPECT_EQ(privateProfileInt("SETUP", "Missing", 5, file), 5);
}

TEST_F(PrivateProfileFileTest, MissingOrUnreadableFilesGiveTheDefault)
{
    sandbox.mkdirC("folder.inf");
    for (const char* file : {"C:\\nowhere\\instalar.inf", "C:\\folder.inf", "Q:\\unmapped\\instalar.inf", ""}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(privateProfileString("SETUP", "Version", "dflt", file), "dflt");
        EXPECT_EQ(privateProfileInt("SETUP", "Version", 7, file), 7);
    }
}

TEST_F(PrivateProfileFileTest, EightBitFilesUseTheSystemAnsiCodePage)
{
    sandbox.writeC("ansi.inf", "[S]\r\nK=\xC0\xE1\xFF\r\n");
    EXPECT_EQ(privateProfileString("S", "K", "", "C:\\ansi.inf"), "Àáÿ") << "a prefix without a code page is 1252";

    sandbox.writeHive("system.reg",
                      "[System\\\\CurrentControlSet\\\\Control\\\\Nls\\\\Codepage] 1700000000\n\"ACP\"=\"1251\"\n");
    EXPECT_EQ(privateProfileString("S", "K", "", "C:\\ansi.inf"), "Абя");
}

} // namespace
} // namespace tarvix::platform
