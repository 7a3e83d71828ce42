// The lines of a child's output as they arrive in pieces: CR LF and LF end lines, lone-CR progress lines are left
// out, a CR at the end of one piece and its LF at the start of the next end one line, and the text after the last
// break comes as the last line once the output has ended.
#include "platform/output_line_splitter.h"

#include <gtest/gtest.h>

#include "platform/text_encoding.h"

namespace tarvix::platform {
namespace {

using Lines = std::vector<std::string>;

Lines Split(const std::vector<std::string>& pieces, bool raw = false, uint32_t codePage = 437)
{
    Lines lines;
    OutputLineSplitter splitter(codePage, raw, [&](const std::string& line) { lines.push_back(line); });
    for (const std::string& piece : pieces)
        splitter.feed(piece);
    splitter.finish();
    return lines;
}

std::string ProgressRun(int count)
{
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += std::to_string(i * 100) + " lines\r";
    return text;
}

TEST(OutputLineSplitter, CutsLinesAsTheConsoleShowsThem)
{
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        Lines expected;
    };
    const Case cases[] = {
        {"CR LF and LF", {"Line1\r\nLine2\n"}, {"Line1", "Line2"}},
        {"a run of progress lines then a real line", {ProgressRun(50) + "Done\r\n"}, {"Done"}},
        {"CR at the end of one piece, LF at the start of the next", {"Line1\r", "\nLine2\r\n"}, {"Line1", "Line2"}},
        {"a lone CR kept back waits for what follows", {"50 lines\r", "Done\r\n"}, {"Done"}},
        {"pieces cut anywhere", {"Li", "ne1\r", "\n", "Li", "ne2", "\n"}, {"Line1", "Line2"}},
        {"the last line without a break comes at the end", {"Line1\r\nTotal"}, {"Line1", "Total"}},
        {"a last progress line is left out too", {"Line1\n10 lines\r"}, {"Line1"}},
        {"empty lines count", {"\r\n\na\r\n"}, {"", "", "a"}},
        {"LF CR: the LF ends the line first", {"a\n\rb\r\n"}, {"a", "b"}},
        {"nothing at all", {}, {}},
        {"CR CR LF: the first CR is a lone one", {"a\r\r\nb\n"}, {"", "b"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Split(c.pieces), c.expected) << c.name;
}

TEST(OutputLineSplitter, RawKeepsProgressLinesWithoutTheirBreak)
{
    EXPECT_EQ(Split({"10 lines\r20 lines\rDone\r\n"}, true), (Lines{"10 lines", "20 lines", "Done"}));
}

TEST(OutputLineSplitter, DecodesTheCodePageAlsoAcrossPieces)
{
    // "Açúcar" in the OEM code page 850: ç is 0x87, ú is 0xA3.
    EXPECT_EQ(Split({"KqA\x87\xA3"
                     "car.dcu\r\n"},
                    false, 850),
              Lines{"KqAçúcar.dcu"});
    // A UTF-8 character and a Shift-JIS one cut between two reads are decoded once both halves are there.
    EXPECT_EQ(Split({"a\xC3", "\xA7"
                              "b\n"},
                    false, codepage::Utf8),
              Lines{"açb"});
    EXPECT_EQ(Split({"\x93", "\xFA\n"}, false, 932), Lines{"日"});
    // A cut character that never gets its second half becomes a replacement character.
    EXPECT_EQ(Split({"x\xC3"}, false, codepage::Utf8), Lines{"x\xEF\xBF\xBD"});
}

TEST(OutputLineSplitter, WithoutACallbackCollectsTheText)
{
    OutputLineSplitter plain(437, false, nullptr);
    plain.feed("a\nb\r\nc\rd");
    plain.finish();
    EXPECT_EQ(plain.text(), "a\r\nb\r\ncd");

    OutputLineSplitter raw(437, true, nullptr);
    raw.feed("a\nb\r\nc\rd");
    raw.finish();
    EXPECT_EQ(raw.text(), "a\nb\r\nc\rd");
}

} // namespace
} // namespace tarvix::platform
