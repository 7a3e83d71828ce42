#include "platform/wine/wine_hive.h"

#include "platform/errors.h"

#include "tests/platform/reg_value_printer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace tarvix::platform::wine {
namespace {

using namespace std::string_literals;

// 2026-12-10 03:25:04 UTC plus 0.1234567 s: "1796873104" on key lines, "#time=1dd88560c057e87"-like stamps.
const WineHive::TimePoint kNow = std::chrono::system_clock::time_point(
    std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(1796873104123456700LL)));

const std::string kHead = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n";

std::string u16(std::u16string_view s)
{
    std::string out;
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

const WineHive::Node* find(const WineHive& hive, std::initializer_list<const char*> path)
{
    const WineHive::Node* node = hive.root();
    for (const char* part : path) {
        node = hive.child(node, part);
        if (!node)
            return nullptr;
    }
    return node;
}

WineHive::Node* find(WineHive& hive, std::initializer_list<const char*> path)
{
    return const_cast<WineHive::Node*>(find(std::as_const(hive), path));
}

// A hive with one key holding the given value line.
std::optional<RegValue> readValueLine(const std::string& line, const char* name = "v")
{
    WineHive hive = WineHive::parse(kHead + "[K] 1\n" + line + "\n\n", "test.reg");
    return hive.value(find(hive, {"K"}), name);
}

TEST(WineHiveParse, EveryValueType)
{
    struct Case {
        std::string line;
        RegValue expected;
    };
    const Case cases[] = {
        {R"("v"="text")", {RegType::Sz, u16(u"text") + "\0\0"s}},
        {R"("v"="")", {RegType::Sz, "\0\0"s}},
        {R"("v"=str(2):"%ProgramFiles%\\X")", {RegType::ExpandSz, u16(u"%ProgramFiles%\\X") + "\0\0"s}},
        {R"("v"=str(7):"one\0two\0tr\xeas\0")", {RegType::MultiSz, u16(u"one\0two\0tr\u00eas\0"s) + "\0\0"s}},
        {R"("v"=dword:0000000a)", {RegType::Dword, "\x0a\0\0\0"s}},
        {R"("v"=dword:ffffffff)", {RegType::Dword, "\xff\xff\xff\xff"s}},
        {R"("v"=hex:aa,bb)", {RegType::Binary, "\xaa\xbb"s}},
        {R"("v"=hex:)", {RegType::Binary, ""}},
        {R"("v"=hex(b):05,00,00,00,00,00,00,00)", {RegType::Qword, "\x05\0\0\0\0\0\0\0"s}},
        {R"("v"=hex(0):61,00,62,00,00,00)", {RegType::None, "a\0b\0\0\0"s}},
        {R"("v"=hex(80000001):01)", {0x80000001u, "\x01"s}},
        {"\"v\"=hex:01,02,\\\n  03,04,\\\n  05", {RegType::Binary, "\x01\x02\x03\x04\x05"s}},
        {"\"v\"=hex(7):61,00,00,00,\\\n  00,00", {RegType::MultiSz, "a\0\0\0\0\0"s}},
    };
    for (const auto& c : cases) {
        auto v = readValueLine(c.line);
        ASSERT_TRUE(v.has_value()) << c.line;
        EXPECT_EQ(*v, c.expected) << c.line;
    }
    // The default value.
    auto d = readValueLine(R"(@="chm.file")", "");
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->asString(), "chm.file");
}

TEST(WineHiveParse, EscapesInNamesAndStrings)
{
    struct Case {
        std::string quoted; // as in the file, between the quotes
        std::u16string text;
    };
    const Case cases[] = {
        {R"(C:\\users\\root)", u"C:\\users\\root"},
        {R"(say \"hi\")", u"say \"hi\""},
        {R"(\n\r\t\a\b\v\f\e)", u"\n\r\t\a\b\v\f\x1b"},
        {R"(\0)", u"\0"s},
        {R"(\101\1011\0017\18)", u"AA1\x01"
                                 u"7\x01"
                                 u"8"},
        {R"(\x41g\x0041\x00411\xe9\x00e9f)", u"AgAA1\u00e9\u00e9f"},
        {R"(\xd83d\xde00)", u"\U0001F600"},
        {R"(\q\[\])", u"q[]"},
        // Raw UTF-8 is read as such; a byte that is not UTF-8 is dropped, as Wine drops it.
        {"caf\xc3\xa9 \xe9x", u"caf\u00e9 x"},
    };
    for (const auto& c : cases) {
        auto v = readValueLine("\"v\"=\"" + c.quoted + "\"");
        ASSERT_TRUE(v.has_value()) << c.quoted;
        EXPECT_EQ(v->data, u16(c.text) + "\0\0"s) << c.quoted;

        // The same escapes in a value name.
        WineHive hive = WineHive::parse(kHead + "[K] 1\n\"" + c.quoted + "\"=dword:00000001\n", "test.reg");
        auto names = hive.valueNames(find(hive, {"K"}));
        ASSERT_EQ(names.size(), 1u) << c.quoted;
        EXPECT_EQ(RegValue::string(names[0]).data, u16(c.text) + "\0\0"s) << c.quoted;
    }
}

TEST(WineHiveParse, KeyNamesWithEscapesAndTheirOptions)
{
    const std::string text = kHead + "[Software\\\\Ord\\\\a\\[1\\]] 1796873438\n#time=1dd8856d31acd4a\n\"x\"=\"1\"\n\n"
                                     "[Software\\\\Chave \\xe7\\xe3o \"q\"\\\\a=b] 1796873180\n\"x=y\"=\"\\xe9\"\n\n"
                                     "[Software\\\\Wow6432Node\\\\Classes] 1796873100\n#time=1dd88560a0e85f4\n#link\n"
                                     "\"SymbolicLinkValue\"=hex(6):5c,00,52,00\n\n"
                                     "[Software\\\\Old] 1\n#class=\"Shell\"\n\n";
    WineHive hive = WineHive::parse(text, "test.reg");
    EXPECT_EQ(hive.arch(), "win64");
    EXPECT_EQ(hive.relativeTo(), "REGISTRY\\Machine");
    EXPECT_EQ(hive.subKeyNames(find(hive, {"Software"})),
              (std::vector<std::string>{"Chave \xc3\xa7\xc3\xa3o \"q\"", "Old", "Ord", "Wow6432Node"}));
    ASSERT_NE(find(hive, {"Software", "Ord", "a[1]"}), nullptr);
    const auto* chave = find(hive, {"software", "CHAVE \xc3\x87\xc3\x83O \"Q\"", "A=B"});
    ASSERT_NE(chave, nullptr);
    EXPECT_EQ(hive.name(chave), "a=b");
    EXPECT_EQ(hive.value(chave, "X=Y")->asString(), "\xc3\xa9");

    const auto* link = find(hive, {"Software", "Wow6432Node", "Classes"});
    EXPECT_TRUE(hive.isLink(link));
    EXPECT_EQ(hive.linkTarget(link), "\\R");
    EXPECT_FALSE(hive.isLink(find(hive, {"Software", "Old"})));
    EXPECT_EQ(hive.linkTarget(find(hive, {"Software", "Old"})), std::nullopt);
    EXPECT_EQ(hive.serialize(), text);
}

TEST(WineHiveParse, AKeyListedTwiceIsOneKeyWithTheLastData)
{
    const std::string text = kHead + "[Software\\\\Dup] 1\n\"a\"=\"first\"\n\"b\"=\"only\"\n\n"
                                     "[Software\\\\Other] 1\n\"z\"=\"z\"\n\n"
                                     "[SOFTWARE\\\\dup] 2\n\"A\"=\"second\"\n\"c\"=dword:00000003\n\n";
    WineHive hive = WineHive::parse(text, "test.reg");
    auto* dup = find(hive, {"Software", "DUP"});
    ASSERT_NE(dup, nullptr);
    EXPECT_EQ(hive.subKeyNames(find(hive, {"software"})), (std::vector<std::string>{"Dup", "Other"}));
    EXPECT_EQ(hive.valueNames(dup), (std::vector<std::string>{"A", "b", "c"}));
    EXPECT_EQ(hive.value(dup, "a")->asString(), "second");

    // A change goes to the occurrence that counts; a deletion removes every occurrence.
    hive.setValue(dup, "a", RegValue::string("third"), kNow);
    EXPECT_EQ(hive.value(dup, "a")->asString(), "third");
    EXPECT_TRUE(hive.deleteValue(dup, "A", kNow));
    EXPECT_EQ(hive.value(dup, "a"), std::nullopt);
    EXPECT_EQ(hive.valueNames(dup), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(hive.serialize(), kHead + "[Software\\\\Dup] 1796873104\n#time=1dd88560c057e87\n\"b\"=\"only\"\n\n"
                                        "[Software\\\\Other] 1\n\"z\"=\"z\"\n\n"
                                        "[SOFTWARE\\\\dup] 1796873104\n#time=1dd88560c057e87\n"
                                        "\"c\"=dword:00000003\n\n");
}

TEST(WineHiveParse, UntouchedTextRoundTripsByteForByte)
{
    const std::string texts[] = {
        kHead,
        "WINE REGISTRY Version 2",
        // Comments, unusual spacing, options Wine may add, a value list over lines, no final line end.
        "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\.Default\n\n#arch=win32\n"
        "#some future option\n\n"
        "[A] 1796873104\n#time=1dd88560c057e87\n;; a comment\n\"x\"=hex:01,02,\\\n    03  \n\n\n"
        "   [A\\\\B]   7  \n  \"y\"=\"1\"  \n@=dword:1\n\n"
        "[C]\n\"z\"=str(2):\"%x%\"",
        // Windows line ends.
        "WINE REGISTRY Version 2\r\n\r\n[A] 1\r\n\"x\"=\"1\"\r\n\r\n",
    };
    for (const auto& text : texts)
        EXPECT_EQ(WineHive::parse(text, "test.reg").serialize(), text);
}

TEST(WineHiveParse, ErrorsNameTheFileAndTheLine)
{
    struct Case {
        std::string text;
        int line;
    };
    const Case cases[] = {
        {"", 1},
        {"REGEDIT4\n", 1},
        {"WINE REGISTRY Version 1\n", 1},
        {"WINE REGISTRY Version 2\n\n\"x\"=\"value before any key\"\n", 3},
        {kHead + "[A] 1\n\"x\"=\"unterminated\n", 7},
        {kHead + "[A\\\\B 1\n", 6},
        {kHead + "[A] not a time\n", 6},
        {kHead + "[A\\\\\\\\B] 1\n", 6},
        {kHead + "[A] 1\n\"x\"=dword:xyz\n", 7},
        {kHead + "[A] 1\n\"x\"=dword:000000010\n", 7},
        {kHead + "[A] 1\n\"x\"=hex:1g\n", 7},
        {kHead + "[A] 1\n\"x\"=hex:01,\\\n  02,\\\n", 8},
        {kHead + "[A] 1\n\"x\"=hex(:01\n", 7},
        {kHead + "[A] 1\n\"x\"=str(2)\"a\"\n", 7},
        {kHead + "[A] 1\n\"x\"=\"a\" trailing\n", 7},
        {kHead + "[A] 1\n\"x\"=unknown:1\n", 7},
        {kHead + "[A] 1\n\"x\"\"1\"\n", 7},
        {kHead + "[A] 1\n\"x\"=\"1\"\nstray text\n", 8},
    };
    for (const auto& c : cases) {
        try {
            WineHive::parse(c.text, "/prefix/system.reg");
            ADD_FAILURE() << "parsed: " << c.text;
        } catch (const RegistryError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("\"/prefix/system.reg\""), std::string::npos) << message;
            EXPECT_NE(message.find("line " + std::to_string(c.line) + ":"), std::string::npos) << message;
            EXPECT_EQ(e.code(), WinError::BadDb);
        }
    }
}

TEST(WineHiveParse, QuotedTextEndsAtTheFirstUnescapedQuote)
{
    // A backslash takes the character after it, whatever it is: a quote after an odd run of backslashes is text,
    // after an even one it ends the text.
    struct Case {
        std::string quoted; // between the quotes of a name and of a string
        std::u16string text;
    };
    const Case cases[] = {
        {R"(a\\)", u"a\\"},   {R"(a\"b)", u"a\"b"},     {R"(\\\"x)", u"\\\"x"},    {R"(\\\\)", u"\\\\"},
        {R"(\"\")", u"\"\""}, {R"(\\\\\")", u"\\\\\""}, {R"(x\q\"\\)", u"xq\"\\"},
    };
    for (const auto& c : cases) {
        WineHive hive = WineHive::parse(kHead + "[K] 1\n\"" + c.quoted + "\"=\"" + c.quoted + "\"\n\n", "test.reg");
        const auto* key = find(hive, {"K"});
        const auto names = hive.valueNames(key);
        ASSERT_EQ(names.size(), 1u) << c.quoted;
        EXPECT_EQ(RegValue::string(names[0]).data, u16(c.text) + "\0\0"s) << c.quoted;
        EXPECT_EQ(hive.value(key, names[0])->data, u16(c.text) + "\0\0"s) << c.quoted;
    }
    // Without an unescaped quote the text never ends; a backslash at the very end starts an escape of nothing.
    const std::pair<std::string, std::string> errors[] = {
        {R"("v"="a\")", "unterminated quoted text"},
        {R"("v"="a\\\")", "unterminated quoted text"},
        {R"("v"="a\)", "unterminated escape sequence"},
        {R"("v"="a\\\)", "unterminated escape sequence"},
        {R"("v\"=dword:00000001)", "unterminated quoted text"},
    };
    for (const auto& [line, reason] : errors) {
        try {
            WineHive::parse(kHead + "[K] 1\n" + line + "\n", "test.reg");
            ADD_FAILURE() << "parsed: " << line;
        } catch (const RegistryError& e) {
            EXPECT_NE(std::string(e.what()).find("line 7: " + reason), std::string::npos) << e.what();
        }
    }
}

TEST(WineHiveParse, KeyPathsSplitWhereAnEscapeGivesABackslash)
{
    // Every escape of a backslash separates keys; raw UTF-8 is a name's text; bytes that are not UTF-8 drop out.
    WineHive hive = WineHive::parse(kHead + "[A\\x5cK\\134L\\x005cM] 1\n\"v\"=\"1\"\n\n"
                                            "[A\\\\B\\\\Caf\xc3\xa9 \\xe9t\xe9] 2\n\"v\"=\"2\"\n\n",
                                    "test.reg");
    EXPECT_EQ(hive.subKeyNames(find(hive, {"a"})), (std::vector<std::string>{"B", "K"}));
    ASSERT_NE(find(hive, {"a", "k", "l", "m"}), nullptr);
    EXPECT_EQ(hive.value(find(hive, {"a", "k", "l", "m"}), "v")->asString(), "1");
    EXPECT_EQ(hive.subKeyNames(find(hive, {"A", "B"})), (std::vector<std::string>{"Caf\xc3\xa9 \xc3\xa9t"}));
    EXPECT_EQ(hive.value(find(hive, {"A", "B", "CAF\xc3\x89 \xc3\x89T"}), "v")->asString(), "2");

    // A component made of bytes that are not UTF-8 only is an empty name.
    for (const std::string path : {"A\\\\\xff\\\\B", "\xfe\xff", "A\\\\\xc3"}) {
        try {
            WineHive::parse(kHead + "[" + path + "] 1\n", "test.reg");
            ADD_FAILURE() << "parsed: " << path;
        } catch (const RegistryError& e) {
            EXPECT_NE(std::string(e.what()).find("line 6: empty key name"), std::string::npos) << e.what();
        }
    }
}

TEST(WineHiveRead, TextHandedOverInPiecesIsReadAsAWhole)
{
    // A large hive (it is read into memory of its own) and a small one, handed over in pieces of any size, with
    // a size that is right, too small or too large, or not known.
    std::string large = kHead;
    for (int i = 0; large.size() < 600'000; ++i)
        large += "[Software\\\\Classes\\\\CLSID\\\\{" + std::to_string(i) + "}] 1796873104\n#time=1dd88560c057e87\n" +
                 "@=\"Class " + std::to_string(i) + "\"\n\"Data\"=hex:01,02,03,\\\n  04\n\n";
    const std::string small = kHead + "[K] 1\n\"v\"=\"small\"\n\n";
    struct Case {
        const std::string* text;
        size_t hint;
        size_t piece;
    };
    const Case cases[] = {
        {&small, small.size(), 7},    {&small, 0, 1000},        {&small, 3, 1},
        {&large, large.size(), 4096}, {&large, 300'000, 65536}, {&large, large.size() * 2, 1'000'000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.text->size()) + " bytes, hint " + std::to_string(c.hint));
        size_t at = 0;
        WineHive hive = WineHive::read(
            c.hint,
            [&](char* buffer, size_t capacity) {
                const size_t n = std::min({capacity, c.piece, c.text->size() - at});
                std::copy_n(c.text->data() + at, n, buffer);
                at += n;
                return n;
            },
            "test.reg");
        EXPECT_EQ(hive.serialize(), *c.text);
        std::string written;
        hive.write([&](std::string_view piece) { written += piece; });
        EXPECT_EQ(written, *c.text);

        // It is the hive the text describes, and changes go where they belong.
        auto* key = hive.createKey(hive.root(), {"Software", "Classes", "CLSID", "{7}"}, kNow);
        ASSERT_NE(key, nullptr);
        if (c.text == &large) {
            EXPECT_EQ(hive.value(key, "")->asString(), "Class 7");
        }
        hive.setValue(key, "New", RegValue::dword(7), kNow);
        WineHive again = WineHive::parse(hive.serialize(), "again.reg");
        EXPECT_EQ(again.value(find(again, {"software", "classes", "clsid", "{7}"}), "new"), RegValue::dword(7));
    }

    // What the reader raises goes on as it is; a text that is not a hive is reported with its source.
    EXPECT_THROW(WineHive::read(
                     10, [](char*, size_t) -> size_t { throw std::runtime_error("disk gone"); }, "x.reg"),
                 std::runtime_error);
    try {
        WineHive::read(
            3,
            [done = false](char* buffer, size_t) mutable -> size_t {
                if (std::exchange(done, true))
                    return 0;
                std::copy_n("REGEDIT4\n", 9, buffer);
                return 9;
            },
            "/prefix/user.reg");
        ADD_FAILURE() << "parsed";
    } catch (const RegistryError& e) {
        EXPECT_NE(std::string(e.what()).find("\"/prefix/user.reg\""), std::string::npos) << e.what();
        EXPECT_EQ(e.code(), WinError::BadDb);
    }
}

TEST(WineHiveWrite, ValuesAreWrittenAsWineWritesThem)
{
    // The expected lines are what Wine 8 itself wrote for the same data.
    struct Case {
        std::u16string name;
        RegValue value;
        std::string line;
    };
    const Case cases[] = {
        {u"", RegValue::string("default"), "@=\"default\"\n"},
        {u"A\u00e7a\u00ed \"q\" \\b",
         RegValue{RegType::Sz, u16(u"Ol\u00e1 mundo \u00e7\u00e3o \u2713 \U0001F600 \"x\" \\y") + "\0\0"s},
         "\"A\\x00e7a\\xed \\\"q\\\" \\\\b\"=\"Ol\\xe1 mundo \\xe7\\xe3o \\x2713 \\xd83d\\xde00 \\\"x\\\" \\\\y\"\n"},
        {u"ctl",
         RegValue{RegType::Sz, u16(u"\x01\a\b\t\n\v\f\r\x1b\x1f\x7f\x80\u00a0"
                                   u"A\0B[]\"\\1\n1\x01"
                                   u"7\x01"
                                   u"8\a0\u00e9f\u00e9g\uffff"s) +
                                   "\0\0"s},
         "\"ctl\"=\"\\1\\a\\b\\t\\n\\v\\f\\r\\e\\37\x7f\\x80\\x00a0A\\0B[]"
         "\\\"\\\\1\\n1\\0017\\18\\a0\\x00e9f\\xe9g\\xffff\"\n"},
        {u"exp", RegValue::string("%PATH%;x", RegType::ExpandSz), "\"exp\"=str(2):\"%PATH%;x\"\n"},
        {u"multi", RegValue::multiString({"one", "two", "tr\xc3\xaas"}),
         "\"multi\"=str(7):\"one\\0two\\0tr\\xeas\\0\"\n"},
        {u"dw", RegValue::dword(10), "\"dw\"=dword:0000000a\n"},
        {u"emptybin", RegValue::binary(""), "\"emptybin\"=hex:\n"},
        {u"none", RegValue{RegType::None, "a\0b\0\0\0"s}, "\"none\"=hex(0):61,00,62,00,00,00\n"},
        {u"qw", RegValue{RegType::Qword, "\x05\0\0\0\0\0\0\0"s}, "\"qw\"=hex(b):05,00,00,00,00,00,00,00\n"},
        {u"bin",
         RegValue::binary("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff"
                          "\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff"
                          "\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff"s),
         "\"bin\"=hex:00,11,22,33,44,55,66,77,88,99,aa,bb,cc,dd,ee,ff,00,11,22,33,44,55,66,\\\n"
         "  77,88,99,aa,bb,cc,dd,ee,ff,00,11,22,33,44,55,66,77,88,99,aa,bb,cc,dd,ee,ff\n"},
        // Text types whose data is not whole UTF-16 with a terminator stay bytes; so does a DWORD of 3 bytes.
        {u"odd", RegValue{RegType::Sz, "a\0b"s}, "\"odd\"=hex(1):61,00,62\n"},
        {u"unterminated", RegValue{RegType::ExpandSz, "a\0"s}, "\"unterminated\"=hex(2):61,00\n"},
        {u"short", RegValue{RegType::Dword, "\x01\x02\x03"s}, "\"short\"=hex(4):01,02,03\n"},
    };
    for (const auto& c : cases) {
        WineHive hive = WineHive::parse(kHead, "test.reg");
        auto* key = hive.createChild(hive.root(), "K", kNow);
        const std::string name = RegValue{RegType::Sz, u16(c.name) + "\0\0"s}.asString();
        hive.setValue(key, name, c.value, kNow);
        EXPECT_EQ(hive.serialize(), kHead + "[K] 1796873104\n#time=1dd88560c057e87\n" + c.line + "\n") << c.line;
        // And they read back as they were.
        WineHive again = WineHive::parse(hive.serialize(), "test.reg");
        EXPECT_EQ(again.value(find(again, {"K"}), name), c.value) << c.line;
    }
}

TEST(WineHiveWrite, ChangesTouchOnlyTheirLinesAndTheKeyStamps)
{
    const std::string before = kHead + "[Control Panel\\\\Colors] 1796873105\n#time=1dd88560cea6360\n"
                                       "\"ActiveBorder\"=\"255 255 255\"\n\"Window\"=\"255 255 255\"\n\n"
                                       "[Software\\\\Wine\\\\Fonts] 1796873100\n#time=1dd885609ea0c10\n\"x\"=\"1\"\n\n";
    WineHive hive = WineHive::parse(before, "test.reg");
    auto* colors = find(hive, {"control panel", "colors"});
    hive.setValue(colors, "activeborder", RegValue::string("0 0 0"), kNow); // keeps the stored case
    hive.setValue(colors, "Menu", RegValue::string("1 2 3"), kNow);         // sorted among the others
    hive.setValue(colors, "Zz", RegValue::dword(1), kNow);                  // after the last one
    EXPECT_EQ(hive.serialize(), kHead +
                                    "[Control Panel\\\\Colors] 1796873104\n#time=1dd88560c057e87\n"
                                    "\"ActiveBorder\"=\"0 0 0\"\n\"Menu\"=\"1 2 3\"\n\"Window\"=\"255 255 255\"\n"
                                    "\"Zz\"=dword:00000001\n\n"
                                    "[Software\\\\Wine\\\\Fonts] 1796873100\n#time=1dd885609ea0c10\n\"x\"=\"1\"\n\n");
    EXPECT_FALSE(hive.deleteValue(colors, "missing", kNow));
}

TEST(WineHiveWrite, StoringTheDataAValueHasChangesNothing)
{
    // As in Wine, the same type and data is no change: the key keeps its time stamps and nothing is rewritten.
    const std::string before = kHead + "[Control Panel\\\\Colors] 1796873105\n#time=1dd88560cea6360\n"
                                       "\"ActiveBorder\"=\"255 255 255\"\n\"Bytes\"=hex(1):61,00,00,00\n"
                                       "@=dword:00000001\n\n";
    WineHive hive = WineHive::parse(before, "test.reg");
    auto* colors = find(hive, {"Control Panel", "Colors"});
    struct Case {
        const char* name;
        RegValue value;
        bool change;
    };
    const Case cases[] = {
        {"activeborder", RegValue::string("255 255 255"), false}, // the name in another case
        {"Bytes", RegValue::string("a"), false},                  // the same data, written another way
        {"", RegValue::dword(1), false},
        {"ActiveBorder", RegValue::string("255 255 255", RegType::ExpandSz), true}, // another type
        {"ActiveBorder", RegValue::string("0 0 0"), true},
        {"Missing", RegValue::string(""), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WineHive copy = WineHive::parse(before, "test.reg");
        auto* key = find(copy, {"Control Panel", "Colors"});
        EXPECT_EQ(copy.setValue(key, c.name, c.value, kNow), c.change);
        EXPECT_EQ(copy.serialize() == before, !c.change);
        EXPECT_EQ(copy.value(key, c.name), c.value);
    }
    EXPECT_FALSE(hive.setValue(colors, "Bytes", RegValue::string("a"), kNow));
    EXPECT_EQ(hive.serialize(), before);
}

TEST(WineHiveWrite, NewKeysGoWhereWineWouldWriteThem)
{
    WineHive hive = WineHive::parse(kHead + "[Software\\\\Ord] 5\n#time=5\n\"x\"=\"1\"\n\n"
                                            "[Software\\\\Ord\\\\a_] 5\n\n"
                                            "[Software\\\\Ord\\\\z] 5\n\n"
                                            "[Software\\\\Ord Two] 5\n\n",
                                    "test.reg");
    auto* ord = find(hive, {"Software", "Ord"});
    // Lower-case order puts "[" before "_" and "B" after it; a subkey comes before "Ord Two".
    hive.createChild(ord, "a[", kNow);
    hive.createChild(ord, "aB", kNow);
    hive.createChild(ord,
                     "\xc3\xa9"
                     "2",
                     kNow);
    auto* deep = hive.createKey(hive.root(), {"software", "New", "Deeper"}, kNow);
    EXPECT_EQ(deep, find(hive, {"Software", "new", "deeper"}));
    hive.setValue(deep, "v", RegValue::string("w"), kNow);
    EXPECT_EQ(hive.createChild(ord, "A[", kNow), find(hive, {"Software", "Ord", "a["}));

    const std::string stamp = " 1796873104\n#time=1dd88560c057e87\n";
    EXPECT_EQ(hive.serialize(), kHead + "[Software\\\\New\\\\Deeper]" + stamp + "\"v\"=\"w\"\n\n" +
                                    "[Software\\\\Ord]" + stamp + "\"x\"=\"1\"\n\n" + "[Software\\\\Ord\\\\a\\[]" +
                                    stamp + "\n" + "[Software\\\\Ord\\\\a_] 5\n\n" + "[Software\\\\Ord\\\\aB]" + stamp +
                                    "\n" + "[Software\\\\Ord\\\\z] 5\n\n" + "[Software\\\\Ord\\\\\\x00e92]" + stamp +
                                    "\n" + "[Software\\\\Ord Two] 5\n\n");
    EXPECT_EQ(hive.subKeyNames(ord), (std::vector<std::string>{"a[", "a_", "aB", "z",
                                                               "\xc3\xa9"
                                                               "2"}));
}

TEST(WineHiveWrite, AChangedBlockKeepsItsOtherLinesAsRead)
{
    // Windows line ends, an option Wine may add, a comment and a byte list over two lines stay as they are around
    // the lines that change; changed and new lines take the file's line end.
    const std::string head = "WINE REGISTRY Version 2\r\n\r\n";
    const std::string tail = "\r\n[Z] 2\r\n\"z\"=\"z\"\r\n";
    WineHive hive = WineHive::parse(head +
                                        "[A] 1\r\n#time=1\r\n#class=\"c\"\r\n;; note\r\n"
                                        "\"b\"=hex:01,02,\\\r\n  03\r\n\"d\"=\"old\"\r\n\"f\"=dword:00000001\r\n" +
                                        tail,
                                    "test.reg");
    auto* a = find(hive, {"a"});
    hive.setValue(a, "D", RegValue::string("new"), kNow);
    hive.setValue(a, "c", RegValue::dword(2), kNow);
    EXPECT_TRUE(hive.deleteValue(a, "F", kNow));
    EXPECT_EQ(hive.serialize(), head +
                                    "[A] 1796873104\r\n#time=1dd88560c057e87\r\n#class=\"c\"\r\n;; note\r\n"
                                    "\"b\"=hex:01,02,\\\r\n  03\r\n\"c\"=dword:00000002\r\n\"d\"=\"new\"\r\n" +
                                    tail);
    EXPECT_EQ(hive.value(a, "b"), (RegValue{RegType::Binary, "\x01\x02\x03"}));
    EXPECT_EQ(hive.valueNames(a), (std::vector<std::string>{"b", "c", "d"}));
}

TEST(WineHiveWrite, EscapedNamesMatchTheirTextInAnyCase)
{
    // The file writes "é" and "ï" as escapes; names given as UTF-8 in another case find them, and a change keeps
    // the stored spelling.
    const std::string text = kHead + "[Caf\\xe9\\\\Sub] 1\n\"Na\\xefve\"=\"1\"\n\n";
    WineHive hive = WineHive::parse(text, "test.reg");
    auto* sub = find(hive, {"CAF\xc3\x89", "sub"});
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(hive.name(find(hive, {"caf\xc3\xa9"})), "Caf\xc3\xa9");
    EXPECT_EQ(hive.createKey(hive.root(), {"caf\xc3\xa9", "SUB"}, kNow), sub);
    EXPECT_EQ(hive.serialize(), text); // nothing was created
    EXPECT_EQ(hive.valueNames(sub), (std::vector<std::string>{"Na\xc3\xafve"}));
    EXPECT_EQ(hive.value(sub, "NA\xc3\x8fVE")->asString(), "1");

    hive.setValue(sub, "na\xc3\xafve", RegValue::string("2"), kNow);
    // A new key whose name needs the key escapes goes first: "[" sorts before the letters.
    auto* odd = hive.createKey(hive.root(), {"[x]\"y"}, kNow);
    const std::string expected = kHead + "[\\[x\\]\"y] 1796873104\n#time=1dd88560c057e87\n\n"
                                         "[Caf\\xe9\\\\Sub] 1796873104\n#time=1dd88560c057e87\n\"Na\\xefve\"=\"2\"\n\n";
    EXPECT_EQ(hive.serialize(), expected);
    EXPECT_EQ(hive.name(odd), "[x]\"y");
    WineHive again = WineHive::parse(expected, "test.reg");
    EXPECT_NE(find(again, {"[X]\"Y"}), nullptr);
    EXPECT_EQ(again.subKeyNames(again.root()), (std::vector<std::string>{"[x]\"y", "Caf\xc3\xa9"}));
}

TEST(WineHiveWrite, RemovingAKeyTakesItsSubtreeAndKeepsTheParent)
{
    WineHive hive = WineHive::parse(kHead + "[A\\\\B] 1\n\"x\"=\"1\"\n\n"
                                            "[A\\\\B\\\\C] 1\n\n"
                                            "[A\\\\B\\\\C\\\\D] 1\n\"y\"=\"2\"\n\n"
                                            "[A\\\\Bee] 1\n\n"
                                            "[X\\\\Y] 1\n\n",
                                    "test.reg");
    EXPECT_TRUE(hive.removeChild(find(hive, {"a"}), "b", kNow));
    EXPECT_FALSE(hive.removeChild(find(hive, {"a"}), "b", kNow));
    EXPECT_EQ(find(hive, {"A", "B"}), nullptr);
    EXPECT_EQ(find(hive, {"A", "B", "C", "D"}), nullptr);
    EXPECT_NE(find(hive, {"A", "Bee"}), nullptr);

    // "X" had no block of its own; once its only subkey is gone it gets one, or it would be lost on reload.
    EXPECT_TRUE(hive.removeChild(find(hive, {"X"}), "Y", kNow));
    const std::string expected = kHead + "[A\\\\Bee] 1\n\n[X] 1796873104\n#time=1dd88560c057e87\n\n";
    EXPECT_EQ(hive.serialize(), expected);
    WineHive again = WineHive::parse(expected, "test.reg");
    EXPECT_NE(find(again, {"X"}), nullptr);
}

TEST(WineHiveWrite, AppendingAfterAFileWithoutFinalLineEnd)
{
    WineHive hive = WineHive::parse("WINE REGISTRY Version 2\n[A] 1\n\"x\"=\"1\"", "test.reg");
    hive.setValue(find(hive, {"A"}), "y", RegValue::string("2"), kNow);
    hive.createChild(hive.root(), "B", kNow);
    WineHive again = WineHive::parse(hive.serialize(), "test.reg");
    EXPECT_EQ(again.valueNames(find(again, {"A"})), (std::vector<std::string>{"x", "y"}));
    EXPECT_NE(find(again, {"B"}), nullptr);
}

TEST(WineHiveWrite, RootHoldsNoValues)
{
    WineHive hive = WineHive::makeEmpty("REGISTRY\\Machine", "win64");
    EXPECT_THROW(hive.setValue(hive.root(), "x", RegValue::dword(1), kNow), RegistryError);
}

TEST(WineHiveWrite, EmptyHiveHasWinesHeader)
{
    EXPECT_EQ(WineHive::makeEmpty("REGISTRY\\Machine", "win64").serialize(), kHead);
    WineHive plain = WineHive::makeEmpty("REGISTRY\\User\\.Default", "");
    EXPECT_EQ(plain.serialize(), "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\.Default\n\n");
    EXPECT_EQ(plain.relativeTo(), "REGISTRY\\User\\.Default");
    EXPECT_EQ(plain.arch(), "");
}

} // namespace
} // namespace tarvix::platform::wine
