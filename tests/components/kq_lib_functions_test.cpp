#include "components/kq_lib_functions.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/message_pump.h"
#include "tests/support/fake_message_pump.h"

namespace tarvix {
namespace {

using test::FakeMessagePump;
using test::ScopedMessagePump;

// --- Texts -----------------------------------------------------------------------------------------------------

TEST(StrLeftRight, CountInUtf16CodeUnits)
{
    struct Case {
        std::string text;
        int count;
        std::string left;
        std::string right;
    };
    const std::vector<Case> cases = {
        {"ação", 2, "aç", "ão"},
        {"ação", 4, "ação", "ação"},
        {"ação", 10, "ação", "ação"},
        {"ação", 0, "", ""},
        {"ação", -3, "", ""},
        {"", 2, "", ""},
        // A character outside the BMP takes two code units.
        {"\U0001F600x", 2, "\U0001F600", "\xED\xB8\x80x"},
        {"\U0001F600x", 1, "\xED\xA0\xBD", "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + " / " + std::to_string(c.count));
        EXPECT_EQ(StrLeft(c.text, c.count), c.left);
        EXPECT_EQ(StrRight(c.text, c.count), c.right);
    }
}

TEST(StrTrim, RemovesSpacesAndControlCharactersOnly)
{
    const std::string text = " \t\r\n\x01 a b \x1f\n";
    EXPECT_EQ(StrLTrim(text), "a b \x1f\n");
    EXPECT_EQ(StrRTrim(text), " \t\r\n\x01 a b");
    EXPECT_EQ(StrAllTrim(text), "a b");
    // A no-break space (U+00A0) and other non-ASCII characters are not blanks.
    EXPECT_EQ(StrAllTrim("\u00A0x\u00A0"), "\u00A0x\u00A0");
    EXPECT_EQ(StrAllTrim(" ação "), "ação");
    EXPECT_EQ(StrAllTrim(" \t "), "");

    EXPECT_TRUE(StrEmpty(""));
    EXPECT_TRUE(StrEmpty(" \t\r\n\x01"));
    EXPECT_FALSE(StrEmpty(" x "));
    EXPECT_FALSE(StrEmpty("\u00A0"));
    EXPECT_FALSE(StrEmpty("\x7f")); // DEL has code 127
}

TEST(StrUpper, UpperCasesLettersBeyondAscii)
{
    struct Case {
        std::string text;
        std::string upper;
    };
    const std::vector<Case> cases = {
        {"abc xyz 123", "ABC XYZ 123"},
        {"ação é ü ñ", "AÇÃO É Ü Ñ"},
        {"αβγ кириллица", "ΑΒΓ КИРИЛЛИЦА"},
        {"straße", "STRAßE"},               // no one-to-many mappings: the length in code units stays
        {"\U00010428", "\U00010400"},       // Deseret, outside the BMP: surrogate pairs are read as one character
        {"\xED\xA0\xBDx", "\xED\xA0\xBDX"}, // an unpaired surrogate stays
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StrUpper(c.text), c.upper) << c.text;
}

TEST(StrPos, FindsTheIndexthOccurrenceAtOrAfterStartAt)
{
    struct Case {
        std::string sub;
        std::string value;
        int index;
        int startAt;
        int expected;
    };
    const std::vector<Case> cases = {
        {"aa", "aaaa", 1, 1, 1}, {"aa", "aaaa", 2, 1, 2}, // overlapping matches count
        {"aa", "aaaa", 3, 1, 3}, {"aa", "aaaa", 4, 1, 0}, {"x", "abc", 1, 1, 0},
        {"a", "abc", 0, 1, 0},   {"a", "abc", -1, 1, 0},  {"", "abc", 1, 1, 0},
        {"a", "", 1, 1, 0},      {"A", "abc", 1, 1, 0}, // case-sensitive
        {"cd", "abc", 1, 1, 0},                         // cut off at the end
        {"b", "abcb", 1, 3, 4},  {"b", "abcb", 2, 1, 4},  {"b", "abcb", 1, 5, 0},
        {"a", "abc", 2, 0, 0}, // a start before the text is the first character, counted once
        {"ç", "ação", 1, 1, 2},  {"o", "ação", 1, 1, 4},  {"b", "\U0001F600b", 1, 1, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StrPos(c.sub, c.value, c.index, c.startAt), c.expected)
            << c.sub << " in " << c.value << " #" << c.index << " from " << c.startAt;
}

TEST(StrSubst, ReplacesLeftToRightWithoutRescanningInsertedText)
{
    struct Case {
        std::string value;
        std::string del;
        std::string ins;
        int count;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a'b'c", "'", "\"", 0, "a\"b\"c"},
        {"a'b'c", "'", "\"", 1, "a\"b'c"},
        {"a'b'c", "'", "\"", 5, "a\"b\"c"},
        {"a'b'c", "'", "\"", -1, "a'b'c"},
        {"aaa", "a", "aa", 0, "aaaaaa"},
        {"aaaa", "aa", "b", 0, "bb"},
        {"abcabc", "bc", "", 0, "aa"},
        {"abc", "", "x", 0, "abc"},
        {"abc", "b", "b", 0, "abc"},
        {"", "a", "b", 0, ""},
        {"aAa", "A", "x", 0, "axa"}, // case-sensitive
        {"ação ação", "ç", "c", 1, "acão ação"},
        {"{$R *.res}", "{$R *.res}", "{$R *.res}\n{$R X.dcr}", 0, "{$R *.res}\n{$R X.dcr}"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StrSubst(c.value, c.del, c.ins, c.count), c.expected)
            << c.value << " : " << c.del << " -> " << c.ins << " x" << c.count;
}

TEST(StrToken, CutsAtEverySeparator)
{
    EXPECT_EQ(StrTokenCount("|A|B|", '|'), 4);
    const std::vector<std::string> pieces = {"", "A", "B", ""};
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(StrToken("|A|B|", '|', i), pieces[static_cast<std::size_t>(i - 1)]) << i;
    EXPECT_EQ(StrToken("|A|B|", '|', 0), "");
    EXPECT_EQ(StrToken("|A|B|", '|', 5), "");

    EXPECT_EQ(StrTokenCount("", '|'), 0);
    EXPECT_EQ(StrToken("", '|', 1), "");
    EXPECT_EQ(StrTokenCount("ABC", '|'), 1);
    EXPECT_EQ(StrToken("ABC", '|', 1), "ABC");
    EXPECT_EQ(StrTokenCount("ABC", u'\0'), 0);
    EXPECT_EQ(StrToken("ABC", u'\0', 1), "");

    EXPECT_EQ(StrTokenCount("ação|pé||x", '|'), 4);
    EXPECT_EQ(StrToken("ação|pé||x", '|', 2), "pé");
    EXPECT_EQ(StrToken("ação|pé||x", '|', 3), "");
    EXPECT_EQ(StrToken("ação|pé||x", '|', 4), "x");
    // A separator beyond ASCII.
    EXPECT_EQ(StrTokenCount("a§bç§", u'§'), 3);
    EXPECT_EQ(StrToken("a§bç§", u'§', 2), "bç");
}

TEST(MatchValueIndex, ComparesIgnoringAsciiCase)
{
    EXPECT_EQ(MatchValueIndex("D37", {"d17", "d37"}), 1);
    EXPECT_EQ(MatchValueIndex("d37", {"x", "D37", "d37"}), 1);
    EXPECT_EQ(MatchValueIndex("d38", {"d17", "d37"}), -1);
    EXPECT_EQ(MatchValueIndex("d3", {"d37"}), -1);
    EXPECT_EQ(MatchValueIndex("", {}), -1);
    EXPECT_EQ(MatchValueIndex("", {"a", ""}), 1);
    // Only ASCII letters fold.
    EXPECT_EQ(MatchValueIndex("AÇÃO", {"ação"}), -1);
    EXPECT_EQ(MatchValueIndex("AçãO", {"ação"}), 0);

    const std::vector<std::string> values = {"Win32", "Win64"};
    EXPECT_EQ(MatchValueIndex("WIN64", values), 1);
}

// --- Numbers and dates -----------------------------------------------------------------------------------------

TEST(IntVal, TakesEveryDigitWhereverItStands)
{
    struct Case {
        std::string text;
        int64_t expected;
    };
    const std::vector<Case> cases = {
        {"d37", 37},
        {"-d37", -37},
        {"d-37", 37},
        {" -37", 37}, // the sign counts only as the very first character
        {"", 0},
        {"-", 0},
        {"abc", 0},
        {"d10.3", 103},
        {"1a2b3c", 123},
        {"٣٧", 0}, // digits of other scripts do not count
        {"00000000000000000000000042", 42},
        {"9223372036854775807", std::numeric_limits<int64_t>::max()},
        {"-9223372036854775808", std::numeric_limits<int64_t>::min()},
        {"-0", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IntVal(c.text), c.expected) << c.text;
}

TEST(IntVal, RaisesWhenTheDigitsDoNotFit)
{
    for (const char* text : {"9223372036854775808", "-9223372036854775809", "99999999999999999999",
                             "v1.2.3.4.5.6.7.8.9.0.1.2.3.4.5.6.7.8.9.0"}) {
        EXPECT_THROW(IntVal(text), EConvertError) << text;
    }
}

TEST(MinMax, ReturnBWhenTheComparisonFails)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Min(1, 2), 1);
    EXPECT_EQ(Min(2, 1), 1);
    EXPECT_EQ(Max(1, 2), 2);
    EXPECT_EQ(Max(2, 1), 2);
    EXPECT_EQ(Min(nan, 1), 1);
    EXPECT_TRUE(std::isnan(Min(1, nan)));
    EXPECT_EQ(Max(nan, 1), 1);
    EXPECT_TRUE(std::isnan(Max(1, nan)));

    EXPECT_EQ(MinInt(1024, 0), 0);
    EXPECT_EQ(MaxInt(200, 265), 265);
    EXPECT_EQ(MinInt(-5, -7), -7);
    const int lo = std::numeric_limits<int>::min();
    const int hi = std::numeric_limits<int>::max();
    EXPECT_EQ(MinInt(lo, hi), lo);
    EXPECT_EQ(MaxInt(lo, hi), hi);
    EXPECT_EQ(MaxInt(hi - 1, hi), hi);
}

TEST(Inc, AddsToTheVariable)
{
    int i = 5;
    Inc(i);
    EXPECT_EQ(i, 6);
    Inc(i, -10);
    EXPECT_EQ(i, -4);
    int64_t big = std::numeric_limits<int>::max();
    Inc(big, 1);
    EXPECT_EQ(big, int64_t{std::numeric_limits<int>::max()} + 1);
}

TEST(Year, OfDateTimeValues)
{
    EXPECT_EQ(Year(0), 1899);
    EXPECT_EQ(Year(2), 1900);
    EXPECT_EQ(Year(-1.25), 1899);
    EXPECT_EQ(Year(EncodeDate(2024, 12, 31) + 0.99999), 2024);
    EXPECT_EQ(Year(EncodeDate(2025, 1, 1)), 2025);
    EXPECT_EQ(Year(EncodeDate(1, 1, 1)), 1);
    EXPECT_THROW(Year(std::numeric_limits<double>::quiet_NaN()), std::out_of_range);
}

// --- Waiting and keys ------------------------------------------------------------------------------------------

TEST(MSleep, ZeroReturnsAfterAtMostOnePass)
{
    FakeMessagePump pump;
    ScopedMessagePump scoped(pump);
    MSleep(0);
    EXPECT_LE(pump.passes, 1);
    MSleep(-100);
    EXPECT_LE(pump.passes, 1);
}

TEST(MSleep, ReturnsAtOnceWhileTerminating)
{
    FakeMessagePump pump;
    pump.terminate = true;
    ScopedMessagePump scoped(pump);
    MSleep(60'000);
    EXPECT_EQ(pump.passes, 0);
}

TEST(MSleep, KeepsThePumpRunningForTheWholeWait)
{
    using clock = std::chrono::steady_clock;
    FakeMessagePump pump;
    std::optional<clock::time_point> lastPass;
    pump.onProcess = [&](FakeMessagePump&) { lastPass = clock::now(); };
    ScopedMessagePump scoped(pump);

    const clock::time_point start = clock::now();
    MSleep(300);
    const clock::time_point end = clock::now();

    EXPECT_GE(end - start, std::chrono::milliseconds(300));
    EXPECT_GT(pump.passes, 1);
    ASSERT_TRUE(lastPass.has_value());
    // Messages were still being processed well after the wait began. The margin is wide on purpose: a machine
    // running tests in parallel may hold this thread up for a while, and that must not fail the test.
    EXPECT_GE(*lastPass - start, std::chrono::milliseconds(100));
}

TEST(MSleep, EndsWhenAHandlerTerminatesTheApplication)
{
    FakeMessagePump pump;
    pump.onProcess = [](FakeMessagePump& p) {
        if (p.passes == 3)
            p.terminate = true;
    };
    ScopedMessagePump scoped(pump);
    MSleep(60'000);
    EXPECT_EQ(pump.passes, 3);
}

#ifndef _WIN32
// Turning the local clock back (daylight saving time ends, the time zone changes) must not stretch the wait.
TEST(MSleep, IsNotStretchedWhenTheLocalClockGoesBack)
{
    const char* oldTz = std::getenv("TZ");
    const std::optional<std::string> saved = oldTz ? std::optional<std::string>(oldTz) : std::nullopt;
    setenv("TZ", "AAA-2", 1); // two hours ahead of UTC
    tzset();

    using clock = std::chrono::steady_clock;
    const clock::time_point start = clock::now();
    bool gaveUp = false;
    FakeMessagePump pump;
    pump.onProcess = [&](FakeMessagePump& p) {
        if (p.passes == 1) {
            setenv("TZ", "AAA0", 1); // the local clock jumps two hours back
            tzset();
        }
        // A wait that followed the local clock would last two more hours; end it after a while and say so.
        if (clock::now() - start > std::chrono::seconds(5)) {
            gaveUp = true;
            p.terminate = true;
        }
    };
    {
        ScopedMessagePump scoped(pump);
        MSleep(30);
    }

    if (saved)
        setenv("TZ", saved->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_FALSE(gaveUp);
}
#endif

TEST(IsKeyPressed, TestsTheDownBitOfTheKeyState)
{
    struct Case {
        uint16_t state;
        bool pressed;
    };
    // GetKeyState gives 0xFF80 for a key that is down, bit 0 for a toggle key that is on.
    const std::vector<Case> cases = {{0x0000, false}, {0x0001, false}, {0x007F, false},
                                     {0x0080, true},  {0xFF80, true},  {0xFF81, true}};
    for (const Case& c : cases) {
        FakeMessagePump pump;
        pump.keys[platform::VirtualKey::Shift] = c.state;
        ScopedMessagePump scoped(pump);
        EXPECT_EQ(IsKeyPressed(platform::VirtualKey::Shift), c.pressed) << std::hex << c.state;
        EXPECT_FALSE(IsKeyPressed(platform::VirtualKey::Control));
    }
}

TEST(IncPathDelimiter, AppendsOneBackslash)
{
    EXPECT_EQ(IncPathDelimiter("C:\\X\\"), "C:\\X\\");
    EXPECT_EQ(IncPathDelimiter("C:\\X"), "C:\\X\\");
    EXPECT_EQ(IncPathDelimiter(""), "\\");
    EXPECT_EQ(IncPathDelimiter("C:\\Ação"), "C:\\Ação\\");
    EXPECT_EQ(IncPathDelimiter("C:/X/"), "C:/X/\\");
}

} // namespace
} // namespace tarvix
