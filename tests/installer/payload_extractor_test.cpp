#include "installer/payload_extractor.h"

#include <sys/stat.h>

#include <deque>
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer/payload_format.h"
#include "platform/errors.h"
#include "platform/text_encoding.h"
#include "tests/installer/payload_sandbox.h"

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::IsEmpty;

namespace tarvix {
namespace {

using test::PayloadSandbox;
using test::Record;

// A draw source that gives the numbers in order.
TSorteioPasta Draws(std::deque<int32_t> numbers)
{
    auto queue = std::make_shared<std::deque<int32_t>>(std::move(numbers));
    return TSorteioPasta([queue] {
        const int32_t n = queue->front();
        if (queue->size() > 1)
            queue->pop_front();
        return n;
    });
}

// ---------------------------------------------------------------------------------------------------------------
// Splitting the archive

class ExtrairPacoteTest : public testing::Test {
protected:
    // Splits `archive` (written as C:\work\comps.pkg) into C:\work.
    bool Split(std::string_view archive)
    {
        sandbox.writeC("work/comps.pkg", archive);
        return ExtrairPacote("C:\\work\\comps.pkg", "C:\\work", names);
    }
    std::string Read(std::string_view name) const { return sandbox.readC("work/" + std::string(name)); }
    bool Exists(std::string_view name) const { return fs::exists(sandbox.driveC() / "work" / name); }

    PayloadSandbox sandbox;
    std::vector<std::string> names{"left over from before"};
};

TEST_F(ExtrairPacoteTest, SplitsEveryRecordInArchiveOrder)
{
    const std::string big(3000, 'x'); // more than one pass of a small buffer
    ASSERT_TRUE(Split(Record("KqBeta.dcu", "beta") + Record("KqAlpha.dcu", big) +
                      Record("TarvixLib370.dpk", "package TarvixLib370;\r\n")));
    EXPECT_THAT(names, ElementsAre("KqBeta.dcu", "KqAlpha.dcu", "TarvixLib370.dpk"));
    EXPECT_EQ(Read("KqBeta.dcu"), "beta");
    EXPECT_EQ(Read("KqAlpha.dcu"), big);
    EXPECT_EQ(Read("TarvixLib370.dpk"), "package TarvixLib370;\r\n");
}

TEST_F(ExtrairPacoteTest, OneRecordIsSplitCompletely)
{
    ASSERT_TRUE(Split(Record("KqOnly.dcu", "only")));
    EXPECT_THAT(names, ElementsAre("KqOnly.dcu"));
    EXPECT_EQ(Read("KqOnly.dcu"), "only");
}

TEST_F(ExtrairPacoteTest, EmptyDataMakesAnEmptyListedFile)
{
    ASSERT_TRUE(Split(Record("KqEmpty.dcr", "") + Record("KqNext.dcu", "n")));
    EXPECT_THAT(names, ElementsAre("KqEmpty.dcr", "KqNext.dcu"));
    EXPECT_TRUE(Exists("KqEmpty.dcr"));
    EXPECT_EQ(Read("KqEmpty.dcr"), "");
    EXPECT_EQ(Read("KqNext.dcu"), "n");
}

TEST_F(ExtrairPacoteTest, RepeatedNameIsListedTwiceAndTheLaterRecordWins)
{
    ASSERT_TRUE(
        Split(Record("KqTwice.dcu", "first, longer") + Record("KqOther.dcu", "o") + Record("KqTwice.dcu", "second")));
    EXPECT_THAT(names, ElementsAre("KqTwice.dcu", "KqOther.dcu", "KqTwice.dcu"));
    EXPECT_EQ(Read("KqTwice.dcu"), "second");
}

TEST_F(ExtrairPacoteTest, NameIsCutAtAZeroByte)
{
    ASSERT_TRUE(Split(Record(std::string_view("KqCut.dcu\0garbage", 17), "c")));
    EXPECT_THAT(names, ElementsAre("KqCut.dcu"));
    EXPECT_EQ(Read("KqCut.dcu"), "c");
}

TEST_F(ExtrairPacoteTest, NameOf255BytesIsAccepted)
{
    const std::string name = std::string(251, 'k') + ".dcu";
    ASSERT_EQ(name.size(), 255u);
    ASSERT_TRUE(Split(Record(name, "long")));
    EXPECT_THAT(names, ElementsAre(name));
    EXPECT_EQ(Read(name), "long");
}

// A record without a name makes no file and no entry, and its data is skipped rather than read as the next
// record.
TEST_F(ExtrairPacoteTest, RecordWithoutANameIsSkippedWithItsData)
{
    const std::string nameless = Record("", Record("KqHidden.dcu", "not a record of its own"));
    const std::string zeroFirst = Record(std::string_view("\0KqGone.dcu", 11), "skipped too");
    ASSERT_TRUE(Split(Record("KqA.dcu", "a") + nameless + zeroFirst + Record("KqB.dcu", "b")));
    EXPECT_THAT(names, ElementsAre("KqA.dcu", "KqB.dcu"));
    EXPECT_FALSE(Exists("KqHidden.dcu"));
    EXPECT_FALSE(Exists("KqGone.dcu"));
    EXPECT_EQ(Read("KqB.dcu"), "b");
}

TEST_F(ExtrairPacoteTest, MissingArchiveGivesFalseAndAnEmptyList)
{
    EXPECT_FALSE(ExtrairPacote("C:\\work\\absent.pkg", "C:\\work", names));
    EXPECT_THAT(names, IsEmpty());
}

TEST_F(ExtrairPacoteTest, EmptyArchiveHasNoRecords)
{
    ASSERT_TRUE(Split(""));
    EXPECT_THAT(names, IsEmpty());
}

// Names are bytes in the system's ANSI code page.
TEST(ExtrairPacoteCodePage, HighBytesAreDecodedInTheAnsiCodePage)
{
    struct Case {
        const char* acp;
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"1252", "Instala\xE7\xE3o\xAE.dcu", "Instalação®.dcu"},
        {"1252", "\x80\x9F\xA0\xFF.dcu", "€Ÿ\u00A0ÿ.dcu"},
        {"1251", "\xCA\xEE\xEC\xEF.dcu", "Комп.dcu"},
        {"1250", "\x8A\xE8\xF8.dcu", "Ščř.dcu"},
    };
    for (const auto& c : cases) {
        PayloadSandbox sandbox(c.acp);
        sandbox.writeC("work/comps.pkg", Record(c.bytes, "data"));
        std::vector<std::string> names;
        ASSERT_TRUE(ExtrairPacote("C:\\work\\comps.pkg", "C:\\work", names)) << c.acp;
        EXPECT_THAT(names, ElementsAre(c.expected)) << c.acp;
        EXPECT_EQ(sandbox.readC("work/" + c.expected), "data") << c.acp;
    }
}

// Names that are not bare file names end the split: nothing is written outside the work folder, nor under a
// name other than the one listed.
TEST_F(ExtrairPacoteTest, NamesThatAreNotBareFileNamesEndTheSplit)
{
    const std::string refused[] = {
        "..\\KqEvil.dcu",
        "../KqEvil.dcu",
        "..",
        ".",
        "sub\\KqA.dcu",
        "sub/KqA.dcu",
        "\\KqRoot.dcu",
        "C:KqDrive.dcu",
        "C:\\KqDrive.dcu",
        "Z:\\tmp\\KqHost.dcu",
        "KqA.dcu:stream",
        "CON",
        "con",
        "PRN.dcu",
        "AUX.res",
        "NUL.txt",
        "nul.tar.gz",
        "COM1",
        "com9.dcu",
        "LPT1",
        "Lpt5.dfm",
        "COM0",
        "CON .dcu",
        "CONIN$",
        "conout$.x",
        "COM\xB9.dcu", // COM¹ in code page 1252
        "Kq<A.dcu",
        "Kq>A.dcu",
        "Kq\"A.dcu",
        "Kq|A.dcu",
        "Kq?A.dcu",
        "Kq*A.dcu",
        "Kq\x01"
        "A.dcu",
        "Kq\tA.dcu",
        "\x1F",
        "KqDot.",
        "KqSpace ",
        "KqDots...",
    };
    for (const auto& name : refused) {
        const auto before = sandbox.treeOfC();
        names = {"stale"};
        EXPECT_FALSE(Split(Record("KqFirst.dcu", "1") + Record(name, "evil") + Record("KqLast.dcu", "2"))) << name;
        EXPECT_THAT(names, IsEmpty()) << name;
        // The record before the bad one stays in the work folder; nothing else appeared anywhere.
        auto after = sandbox.treeOfC();
        after.erase("work/KqFirst.dcu");
        auto expected = before;
        expected.insert("work");
        expected.insert("work/comps.pkg");
        EXPECT_EQ(after, expected) << name;
        EXPECT_FALSE(Exists("KqLast.dcu")) << name;
        fs::remove_all(sandbox.driveC() / "work");
    }
}

TEST_F(ExtrairPacoteTest, NamesCloseToRefusedOnesAreAccepted)
{
    for (const std::string name : {"COM10.dcu", "CONSOLE.dcu", "NULL.res", "LPT.dfm", "Kq.A.dcu", ".KqHidden",
                                   "Kq A.dcu", "KqCon.dcu", "Kq#1 (cópia).dcu"}) {
        EXPECT_TRUE(Split(Record(platform::encodeCodePage(name, 1252), "ok"))) << name;
        EXPECT_THAT(names, ElementsAre(name));
        EXPECT_EQ(Read(name), "ok") << name;
    }
}

TEST_F(ExtrairPacoteTest, DamagedRecordsEndTheSplit)
{
    const std::string good = Record("KqGood.dcu", "good");
    struct Case {
        const char* what;
        std::string archive;
    } cases[] = {
        {"data runs past the end", good + Record("KqCut.dcu", "0123456789").substr(0, 5 + 9 + 4)},
        {"size field cut short", good + Record("KqCut.dcu", "x").substr(0, 3)},
        {"name cut short", good + Record("KqCut.dcu", "x").substr(0, 5 + 4)},
        {"negative size", good + EscreverCabecalhoRegistro(9, -1) + "KqNeg.dcu" + "xxxx"},
        {"nameless record runs past the end", good + EscreverCabecalhoRegistro(0, 100) + "short"},
        {"size beyond the archive", good + EscreverCabecalhoRegistro(9, 2'147'483'647) + "KqBig.dcu" + "x"},
    };
    for (const auto& c : cases) {
        names = {"stale"};
        EXPECT_FALSE(Split(c.archive)) << c.what;
        EXPECT_THAT(names, IsEmpty()) << c.what;
        EXPECT_FALSE(Exists("KqCut.dcu") || Exists("KqNeg.dcu") || Exists("KqBig.dcu")) << c.what;
        fs::remove_all(sandbox.driveC() / "work");
    }
}

// ---------------------------------------------------------------------------------------------------------------
// The work folder

TEST(CriarPastaTempTest, FolderIsTheDrawnNumberInTheTemporaryFolder)
{
    PayloadSandbox sandbox;
    for (const int32_t n : {0, 999'999, 4711}) {
        auto draws = Draws({n});
        const std::string folder = CriarPastaTemp(draws);
        EXPECT_EQ(folder, "C:\\temp\\" + std::to_string(n));
        EXPECT_TRUE(fs::is_directory(sandbox.tempHost() / std::to_string(n)));
        EXPECT_TRUE(fs::is_empty(sandbox.tempHost() / std::to_string(n)));
    }
}

TEST(CriarPastaTempTest, TakenNamesAreDrawnAgainAndNeverTouched)
{
    PayloadSandbox sandbox;
    sandbox.writeC("temp/5/keep.txt", "someone else's");
    sandbox.writeC("temp/6", "a file, not a folder");
    auto draws = Draws({5, 6, 7});
    EXPECT_EQ(CriarPastaTemp(draws), "C:\\temp\\7");
    EXPECT_EQ(sandbox.readC("temp/5/keep.txt"), "someone else's");
    EXPECT_EQ(sandbox.readC("temp/6"), "a file, not a folder");
}

TEST(CriarPastaTempTest, GivesUpWhenEveryDrawIsTaken)
{
    PayloadSandbox sandbox;
    sandbox.mkdirC("temp/42");
    int drawn = 0;
    TSorteioPasta always42([&] {
        ++drawn;
        return 42;
    });
    try {
        CriarPastaTemp(always42);
        FAIL() << "no error";
    } catch (const EExtracao& e) {
        EXPECT_STREQ(e.what(),
                     "Cannot create folder \"C:\\temp\\42\". Cannot create a file when that file already exists.");
    }
    EXPECT_EQ(drawn, TentativasPastaTemp);
}

TEST(CriarPastaTempTest, TemporaryFolderThatCannotHoldFoldersIsReportedAtOnce)
{
    PayloadSandbox sandbox("1252", "Z:\\proc"); // nobody, not even root, makes folders in /proc
    int drawn = 0;
    TSorteioPasta draws([&] {
        ++drawn;
        return 77;
    });
    try {
        CriarPastaTemp(draws);
        FAIL() << "no error";
    } catch (const EExtracao& e) {
        EXPECT_THAT(e.what(), testing::StartsWith("Cannot create folder \"Z:\\proc\\77\". "));
    }
    EXPECT_EQ(drawn, 1);
}

TEST(CriarPastaTempTest, NoTemporaryFolderIsReported)
{
    PayloadSandbox sandbox("1252", "C:\\blocker\\temp");
    sandbox.writeC("blocker", "a file where the temporary folder's parent should be");
    auto draws = Draws({1});
    EXPECT_THROW(CriarPastaTemp(draws), EExtracao);
}

TEST(TSorteioPastaTest, ClockSeededDrawsStayInRange)
{
    TSorteioPasta sorteio;
    std::set<int32_t> seen;
    for (int i = 0; i < 1000; ++i) {
        const int32_t n = sorteio.Sortear();
        ASSERT_GE(n, 0);
        ASSERT_LE(n, TSorteioPasta::Maior);
        seen.insert(n);
    }
    EXPECT_GT(seen.size(), 990u); // a million values: repeats are rare
}

} // namespace
} // namespace tarvix
