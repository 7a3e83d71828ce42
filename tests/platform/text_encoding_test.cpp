#include "platform/errors.h"
#include "platform/text_encoding.h"

#include <gtest/gtest.h>

namespace tarvix::platform {
namespace {

TEST(Utf16, LengthCountsCodeUnits)
{
    EXPECT_EQ(utf16Length(""), 0u);
    EXPECT_EQ(utf16Length("abc"), 3u);
    EXPECT_EQ(utf16Length("Instalação"), 10u);
    EXPECT_EQ(utf16Length("\xF0\x9F\x98\x80"), 2u); // U+1F600 takes a surrogate pair
    EXPECT_EQ(utf16Length("a\xFF"
                          "b"),
              3u); // an invalid byte is one U+FFFD
}

TEST(Utf16, RoundTripsSurrogatePairsAndKeepsUnpairedSurrogates)
{
    const std::u16string pair = u"x\U0001F600y";
    ASSERT_EQ(pair.size(), 4u);
    EXPECT_EQ(utf16ToUtf8(pair), "x\xF0\x9F\x98\x80y");
    EXPECT_EQ(utf8ToUtf16("x\xF0\x9F\x98\x80y"), pair);

    // A lone high surrogate, as a Windows file name may carry it, survives both ways.
    const std::u16string lone{u'a', char16_t(0xD83D), u'b'};
    const std::string encoded = utf16ToUtf8(lone);
    EXPECT_EQ(encoded, "a\xED\xA0\xBD"
                       "b");
    EXPECT_EQ(utf8ToUtf16(encoded), lone);
    // A low surrogate before a high one is no pair.
    const std::u16string reversed{char16_t(0xDE00), char16_t(0xD83D)};
    EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(reversed)), reversed);
}

TEST(Utf16, InvalidUtf8BecomesReplacementCharacters)
{
    struct Case {
        const char* input;
        std::u16string expected;
    };
    const Case cases[] = {
        {"\xC3", u"\uFFFD"},           // truncated two-byte sequence
        {"\xC0\xAF", u"\uFFFD\uFFFD"}, // overlong form
        {"\xE2\x82"
         "A",
         u"\uFFFDA"},                                      // truncated three-byte sequence, then a letter
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\x80z", u"\uFFFDz"},                             // stray continuation byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8ToUtf16(c.input), c.expected) << c.input;
}

TEST(Utf16, LittleEndianBytes)
{
    EXPECT_EQ(utf16leBytes(u"Aé"), std::string("A\0\xE9\0", 4));
    EXPECT_EQ(fromUtf16leBytes(std::string("A\0\xE9\0", 4)), u"Aé");
    EXPECT_EQ(fromUtf16leBytes(std::string("A\0B", 3)), u"A\uFFFD"); // a dangling odd byte
}

TEST(CodePages, RoundTripsTextTheCodePageHolds)
{
    struct Case {
        uint32_t codePage;
        std::string utf8;
        std::string bytes;
    };
    const Case cases[] = {
        {1252, "Instalação é fácil – “já”",
         "Instala\xE7\xE3o \xE9 f\xE1"
         "cil \x96 \x93j\xE1\x94"},
        {437, "Olá │ ñ", "Ol\xA0 \xB3 \xA4"},
        {850, "Ação", "A\x87\xC6o"},
        {65001, "Ação ✓", "Ação ✓"},
        {1251, "Привет", "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {28591, "Ünïcode",
         "\xDCn\xEF"
         "code"},
        {1200, "Aé", std::string("A\0\xE9\0", 4)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encodeCodePage(c.utf8, c.codePage), c.bytes) << c.codePage;
        EXPECT_EQ(decodeCodePage(c.bytes, c.codePage), c.utf8) << c.codePage;
    }
}

TEST(CodePages, UnrepresentableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(encodeCodePage("a€b✓c", 437), "a?b?c");
    EXPECT_EQ(encodeCodePage("日本", 1252), "??");
    EXPECT_EQ(encodeCodePage("x\xFFy", 1252), "x?y"); // invalid UTF-8 is U+FFFD first
}

TEST(CodePages, UndecodableBytesBecomeReplacementCharacters)
{
    EXPECT_EQ(decodeCodePage("a\x81z", 1252), "a\uFFFDz"); // a hole in the 1252 table
    EXPECT_EQ(decodeCodePage("\x82\xA0", 932), "あ");      // a two-byte Shift-JIS character
    EXPECT_EQ(decodeCodePage("ok\x82", 932), "ok\uFFFD");  // a lead byte cut off at the end
    EXPECT_EQ(decodeCodePage("a\xFF", 65001), "a\uFFFD");
}

TEST(CodePages, UnknownCodePageRaises)
{
    EXPECT_EQ(iconvName(1252), "CP1252");
    EXPECT_EQ(iconvName(437), "CP437");
    EXPECT_EQ(iconvName(65001), "UTF-8");
    EXPECT_EQ(iconvName(28605), "ISO-8859-15");
    EXPECT_EQ(iconvName(4242), "");
    try {
        decodeCodePage("x", 4242);
        FAIL() << "no error";
    } catch (const PlatformError& e) {
        EXPECT_NE(std::string(e.what()).find("4242"), std::string::npos);
    }
    EXPECT_THROW(encodeCodePage("x", 0), PlatformError);
}

TEST(SystemErrors, WindowsWordingAndErrnoMapping)
{
    EXPECT_EQ(systemErrorText(2), "The system cannot find the file specified.");
    EXPECT_EQ(systemErrorText(3), "The system cannot find the path specified.");
    EXPECT_EQ(systemErrorText(5), "Access is denied.");
    EXPECT_EQ(systemErrorText(32), "The process cannot access the file because it is being used by another process.");
    EXPECT_EQ(systemErrorText(183), "Cannot create a file when that file already exists.");
    EXPECT_EQ(systemErrorText(99999), "System error 99999.");

    EXPECT_EQ(windowsErrorFromErrno(ENOENT), WinError::FileNotFound);
    EXPECT_EQ(windowsErrorFromErrno(ENOTDIR), WinError::PathNotFound);
    EXPECT_EQ(windowsErrorFromErrno(EACCES), WinError::AccessDenied);
    EXPECT_EQ(windowsErrorFromErrno(ENOTEMPTY), WinError::DirNotEmpty);
    EXPECT_EQ(windowsErrorFromErrno(ENOSPC), WinError::DiskFull);
    EXPECT_EQ(windowsErrorFromErrno(EEXIST), WinError::FileExists);
    EXPECT_NE(windowsErrorFromErrno(EHOSTDOWN), 0u); // unknown errors still name a failure
}

} // namespace
} // namespace tarvix::platform
