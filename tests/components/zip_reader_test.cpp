#include "components/zip_reader.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/file_system.h"
#include "tests/components/scripted_prefix_system.h"
#include "tests/support/zip_builder.h"

// The largest single allocation since the last reset: shows that a lying entry cannot make the reader hold more
// than it declares. Replacing the global allocation functions affects this test program only.
namespace {
std::atomic<std::size_t> largestAllocation{0};

void* allocate(std::size_t n)
{
    std::size_t seen = largestAllocation.load();
    while (n > seen && !largestAllocation.compare_exchange_weak(seen, n)) {}
    if (void* p = std::malloc(n == 0 ? 1 : n))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t n)
{
    return allocate(n);
}
void* operator new[](std::size_t n)
{
    return allocate(n);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace tarvix {
namespace {

namespace fs = std::filesystem;
using test::ZipBuilder;
using test::ZipBuilderEntry;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

constexpr std::size_t MiB = 1024 * 1024;

std::string allByteValues()
{
    std::string s;
    for (int i = 0; i < 256; ++i)
        s += static_cast<char>(i);
    return s;
}

// Bytes that deflate cannot shrink, more than one pass of the reader's buffer.
std::string noise(std::size_t n)
{
    std::mt19937 random(12345);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(random() & 0xFF);
    return s;
}

ZipBuilderEntry entry(std::string name, std::string data, uint16_t method = 8)
{
    ZipBuilderEntry e;
    e.name = std::move(name);
    e.data = std::move(data);
    e.method = method;
    return e;
}

// The message of the ZipError that opening the archive raises; empty when it opens.
std::string openError(const std::string& archive, uint64_t maxEntrySize = ZipReader::DefaultMaxEntrySize)
{
    try {
        ZipReader reader(archive, maxEntrySize);
        return {};
    } catch (const ZipError& e) {
        return e.what();
    }
}

// A sandbox prefix as the current system, and C:\work to extract into.
class ZipReaderTest : public testing::Test {
protected:
    ZipReaderTest() { system.sandbox.mkdirC("work"); }

    // Every file and folder below C:\work, as "sub/name" paths; folders end in "/".
    std::set<std::string> tree() const
    {
        std::set<std::string> out;
        const fs::path root = system.sandbox.driveC() / "work";
        for (const auto& it : fs::recursive_directory_iterator(root))
            out.insert(fs::relative(it.path(), root).generic_string() + (it.is_directory() ? "/" : ""));
        return out;
    }
    std::string readWork(std::string_view relative) const
    {
        return system.sandbox.readC("work/" + std::string(relative));
    }

    test::ScriptedPrefixSystem system;
};

// ---------------------------------------------------------------------------------------------------------------
// Reading entries

TEST_F(ZipReaderTest, StoredAndDeflatedEntriesReadBackByteForByte)
{
    const std::vector<std::string> contents = {
        "", "x", allByteValues(), noise(200'000), std::string(300'000, 'a') + "tail",
    };
    for (const uint16_t method : {0, 8}) {
        ZipBuilder builder;
        for (std::size_t i = 0; i < contents.size(); ++i)
            builder.add(entry("f" + std::to_string(i) + ".bin", contents[i], method));
        const ZipReader reader(builder.build());
        ASSERT_EQ(reader.entries().size(), contents.size());
        for (std::size_t i = 0; i < contents.size(); ++i) {
            SCOPED_TRACE("method " + std::to_string(method) + ", entry " + std::to_string(i));
            const ZipEntry& e = reader.entries()[i];
            EXPECT_EQ(e.name, "f" + std::to_string(i) + ".bin");
            EXPECT_EQ(e.method, method);
            EXPECT_EQ(e.size, contents[i].size());
            EXPECT_EQ(e.crc32, ZipBuilder::crc32(contents[i]));
            EXPECT_FALSE(e.isFolder);
            EXPECT_EQ(reader.read(e), contents[i]);
        }
    }
}

TEST_F(ZipReaderTest, DataDescriptorLetsTheLocalHeaderLeaveCrcAndSizesZero)
{
    for (const uint16_t method : {0, 8}) {
        ZipBuilderEntry e = entry("described.dll", "data after the header " + allByteValues(), method);
        e.flags = 0x0008;
        const ZipReader reader(ZipBuilder().add(e).build());
        EXPECT_EQ(reader.read(reader.entries().at(0)), e.data);
    }
}

TEST_F(ZipReaderTest, CopyOfAnEntryReadsAndAForgedOneIsRefused)
{
    const ZipReader reader(ZipBuilder().stored("a.dll", "aaaa").stored("b.dll", "bbbb").build());
    const ZipEntry copy = reader.entries()[1];
    EXPECT_EQ(reader.read(copy), "bbbb");

    ZipEntry forged = copy;
    forged.dataOffset -= 10; // into the first entry
    EXPECT_THROW(reader.read(forged), ZipError);
    forged = copy;
    forged.size = 1'000'000;
    EXPECT_THROW(reader.read(forged), ZipError);
}

TEST_F(ZipReaderTest, NamesAreDecodedAndTheirSeparatorsUnified)
{
    ZipBuilderEntry utf8 = entry("caf\xC3\xA9/\xE2\x82\xAC.txt", "u"); // café/€.txt
    utf8.flags = 0x0800;
    const ZipReader reader(ZipBuilder()
                               .add(entry("caf\x82.txt", "c")) // code page 437: é
                               .add(utf8)
                               .add(entry("sub/a.dll", "a"))
                               .add(entry("sub\\deep\\b.dll", "b"))
                               .add(entry("folder/", "", 0))
                               .add(entry("other\\", "", 0))
                               .build());
    std::vector<std::pair<std::string, bool>> names;
    for (const ZipEntry& e : reader.entries())
        names.emplace_back(e.name, e.isFolder);
    EXPECT_THAT(names,
                ElementsAre(std::pair<std::string, bool>{"caf\xC3\xA9.txt", false},
                            std::pair<std::string, bool>{"caf\xC3\xA9\\\xE2\x82\xAC.txt", false},
                            std::pair<std::string, bool>{"sub\\a.dll", false},
                            std::pair<std::string, bool>{"sub\\deep\\b.dll", false},
                            std::pair<std::string, bool>{"folder", true}, std::pair<std::string, bool>{"other", true}));
}

TEST_F(ZipReaderTest, ArchiveWithoutEntriesOpensAndExtractsNothing)
{
    const ZipReader reader(ZipBuilder().build());
    EXPECT_THAT(reader.entries(), IsEmpty());
    reader.extractAll("C:\\work");
    EXPECT_THAT(tree(), IsEmpty());
}

// The end record is found behind a comment, even one that holds an end record's signature of its own.
TEST_F(ZipReaderTest, EndRecordIsTheLastOneThatReachesTheEndOfTheFile)
{
    for (const std::string& comment : {std::string("a comment"), std::string("PK\x05\x06", 4) + std::string(30, 'j'),
                                       std::string(0xFFFF, 'c'), std::string()}) {
        ZipBuilder builder;
        builder.deflated("a.dll", "contents");
        builder.comment = comment;
        const ZipReader reader(builder.build());
        ASSERT_EQ(reader.entries().size(), 1u);
        EXPECT_EQ(reader.read(reader.entries()[0]), "contents");
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Archives that cannot be read at all

TEST_F(ZipReaderTest, DamagedArchivesAreRefused)
{
    const std::string good = ZipBuilder().deflated("a.dll", noise(5000)).stored("b.dll", "b").build();
    ZipBuilder otherDisk;
    otherDisk.stored("a.dll", "a");
    otherDisk.diskNumber = 1;
    ZipBuilder prefixed; // offsets that do not count the bytes in front
    prefixed.stored("a.dll", "a");
    prefixed.leadingBytes = "MZ stub";
    ZipBuilder trailing; // a comment length that does not reach the end of the file
    trailing.stored("a.dll", "a");
    trailing.trailingBytes = "x";
    std::string zip64 = good;
    zip64.insert(zip64.size() - 22, std::string("PK\x06\x07", 4) + std::string(16, '\0'));
    std::string gap = good;
    gap.insert(gap.size() - 22, "hidden");

    const struct {
        const char* what;
        std::string archive;
        const char* message;
    } cases[] = {
        {"empty", "", "too short"},
        {"garbage", noise(1000), "no end record"},
        {"no end record", good.substr(0, good.size() - 22), "no end record"},
        {"truncated", good.substr(good.size() / 2), "central directory"},
        {"cut inside the end record", good.substr(0, good.size() - 1), "no end record"},
        {"another disk", otherDisk.build(), "several disks"},
        {"shifted offsets", prefixed.build(), "central directory"},
        {"bytes after the comment", trailing.build(), "no end record"},
        {"ZIP64 locator", zip64, "ZIP64"},
        {"bytes before the end record", gap, "does not end where"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_THAT(openError(c.archive), HasSubstr(c.message));
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Entries that are refused or damaged

enum class Found { AtOpen, AtRead };

struct Damage {
    const char* what;
    ZipBuilderEntry entry;
    Found when;
    const char* message;
};

std::vector<Damage> damages()
{
    const std::string data = "the library's code " + noise(3000);
    const std::string deflated = ZipBuilder::deflate(data);
    const auto with = [&data](uint16_t method, auto change) {
        ZipBuilderEntry e = entry("bad.dll", data, method);
        change(e);
        return e;
    };
    return {
        {"encrypted", with(8, [](auto& e) { e.flags = 0x0001; }), Found::AtOpen, "encrypted"},
        {"unknown method", with(12, [](auto&) {}), Found::AtOpen, "method 12"},
        {"needs ZIP64", with(0, [](auto& e) { e.size = e.compressedSize = 0xFFFFFFFF; }), Found::AtOpen, "ZIP64"},
        {"compressed size past the end",
         with(8, [&](auto& e) { e.compressedSize = static_cast<uint32_t>(deflated.size() + 100'000); }), Found::AtOpen,
         "runs past"},
        {"stored sizes differ", with(0, [&](auto& e) { e.size = static_cast<uint32_t>(data.size() - 1); }),
         Found::AtOpen, "sizes differ"},
        {"local header names another", with(8, [](auto& e) { e.localName = "bad.dlx"; }), Found::AtOpen,
         "another entry"},
        {"local header longer name", with(8, [](auto& e) { e.localName = "bad.dll2"; }), Found::AtOpen,
         "another entry"},
        {"local header method differs", with(8, [](auto& e) { e.localMethod = 0; }), Found::AtOpen, "method"},
        {"local header size differs", with(8, [](auto& e) { e.localSize = 5; }), Found::AtOpen, "size"},
        {"local header size zero without descriptor", with(8, [](auto& e) { e.localSize = 0; }), Found::AtOpen, "size"},
        {"local header CRC differs", with(8, [](auto& e) { e.localCrc = 1; }), Found::AtOpen, "CRC"},
        {"local header nowhere", with(8, [](auto& e) { e.localOffset = 0x00FFFFFF; }), Found::AtOpen,
         "local header is missing"},
        {"folder with data", entry("bad/", "x", 0), Found::AtOpen, "folder"},
        {"inflates to more than declared", with(8, [&](auto& e) { e.size = static_cast<uint32_t>(data.size() - 1); }),
         Found::AtRead, "more than"},
        {"inflates to fewer than declared", with(8, [&](auto& e) { e.size = static_cast<uint32_t>(data.size() + 1); }),
         Found::AtRead, "not the declared"},
        {"deflated CRC wrong", with(8, [](auto& e) { e.crc = 0x12345678; }), Found::AtRead, "CRC"},
        {"stored CRC wrong", with(0, [](auto& e) { e.crc = 0x12345678; }), Found::AtRead, "CRC"},
        {"deflate stream cut short", with(8, [&](auto& e) { e.compressed = deflated.substr(0, deflated.size() / 2); }),
         Found::AtRead, "ends before"},
        {"bytes after the deflate stream", with(8, [&](auto& e) { e.compressed = deflated + "xyz"; }), Found::AtRead,
         "goes on after"},
        {"not deflate data", with(8, [](auto& e) { e.compressed = std::string(40, '\xFF'); }), Found::AtRead,
         "damaged"},
    };
}

TEST_F(ZipReaderTest, DamagedEntryIsRefusedAndNothingIsWritten)
{
    for (const Damage& d : damages()) {
        SCOPED_TRACE(d.what);
        // A sound entry before the damaged one: it must not be written either.
        const std::string archive = ZipBuilder().deflated("good.dll", "good").add(d.entry).build();
        const std::string atOpen = openError(archive);
        if (d.when == Found::AtOpen) {
            EXPECT_THAT(atOpen, HasSubstr(d.message));
            EXPECT_THAT(atOpen, HasSubstr("bad"));
            continue;
        }
        ASSERT_EQ(atOpen, "");
        const ZipReader reader(archive);
        EXPECT_EQ(reader.read(reader.entries()[0]), "good");
        try {
            reader.read(reader.entries()[1]);
            ADD_FAILURE() << "read gave the damaged entry's bytes";
        } catch (const ZipError& e) {
            EXPECT_THAT(e.what(), HasSubstr(d.message));
            EXPECT_THAT(e.what(), HasSubstr("\"bad.dll\""));
        }
        EXPECT_THROW(reader.extractAll("C:\\work"), ZipError);
        EXPECT_THAT(tree(), IsEmpty());
    }
}

// Two central records whose data overlap: the second entry's local header hides inside the first entry's data,
// the way archives that unpack to far more than their size are made.
TEST_F(ZipReaderTest, OverlappingEntriesAreRefused)
{
    ZipBuilderEntry inner = entry("inner.dll", std::string(10'000, 'z'));
    ZipBuilderEntry outer = entry("outer.dll", ZipBuilder::localRecord(inner), 0);
    inner.localOffset = static_cast<uint32_t>(30 + outer.name.size()); // where outer's data starts
    EXPECT_THAT(openError(ZipBuilder().add(outer).add(inner).build()), HasSubstr("overlap"));

    // The same two entries one after the other are fine.
    inner.localOffset.reset();
    EXPECT_EQ(openError(ZipBuilder().add(outer).add(inner).build()), "");
}

TEST_F(ZipReaderTest, EntryAboveTheSizeLimitIsRefusedWhenTheArchiveOpens)
{
    const std::string archive = ZipBuilder().deflated("big.dll", std::string(2000, 'b')).build();
    EXPECT_THAT(openError(archive, 1999), HasSubstr("more than the limit of 1999"));
    EXPECT_EQ(openError(archive, 2000), "");

    // A declared size near 4 GiB against the default limit.
    ZipBuilderEntry huge = entry("huge.dll", "small");
    huge.size = 0xFFFFFFF0;
    largestAllocation = 0;
    EXPECT_THAT(openError(ZipBuilder().add(huge).build()), HasSubstr("more than the limit"));
    EXPECT_LT(largestAllocation.load(), MiB);
}

// 16 MiB of zeros deflate to some 16 KiB; the entry declares 1 KiB.
TEST_F(ZipReaderTest, EntryThatInflatesBeyondItsSizeIsStoppedThere)
{
    ZipBuilderEntry bomb = entry("bomb.dll", std::string(16 * MiB, '\0'));
    bomb.size = 1024;
    const ZipReader reader(ZipBuilder().add(bomb).build());
    largestAllocation = 0;
    EXPECT_THROW(reader.read(reader.entries()[0]), ZipError);
    EXPECT_THROW(reader.extractAll("C:\\work"), ZipError);
    EXPECT_LT(largestAllocation.load(), MiB);
    EXPECT_THAT(tree(), IsEmpty());
}

// ---------------------------------------------------------------------------------------------------------------
// Names

TEST_F(ZipReaderTest, NamesThatLeaveTheFolderOrThatWindowsWouldChangeAreRefused)
{
    const struct {
        std::string name;
        const char* message;
    } cases[] = {
        {"../x.dll", "\"..\""},
        {"a/../../x", "\"..\""},
        {"sub/..", "\"..\""},
        {"..\\x.dll", "\"..\""},
        {"a/./b", "\".\""},
        {"/x", "absolute"},
        {"\\x", "absolute"},
        {"\\\\server\\share\\x", "absolute or network"},
        {"//server/share/x", "absolute or network"},
        {"C:x", "drive"},
        {"C:\\x", "drive"},
        {"c:/x", "drive"},
        {"a//b", "empty"},
        {"a\\/b", "empty"},
        {"a//", "empty"},
        {"", "needs a name"},
        {"x.dll.", "Windows does not take"}, // Windows drops trailing dots and spaces: ".. " would be ".."
        {".. /x", "Windows does not take"},
        {"sub./x", "Windows does not take"},
        {"x.dll ", "Windows does not take"},
        {"x.dll:stream", "Windows does not take"},
        {"x?.dll", "Windows does not take"},
        {"x*", "Windows does not take"},
        {"a<b", "Windows does not take"},
        {"a|b", "Windows does not take"},
        {"a\"b", "Windows does not take"},
        {std::string("x.dll\0.txt", 10), "\"x.dll\\x00.txt\": Windows does not take"},
        {"tab\there", "Windows does not take"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string archive = ZipBuilder().stored("ok.dll", "ok").stored(c.name, "bad").build();
        EXPECT_THAT(openError(archive), HasSubstr(c.message));
        EXPECT_THROW(ZipReader(archive).extractAll("C:\\work"), ZipError);
        EXPECT_THAT(tree(), IsEmpty());
    }
}

TEST_F(ZipReaderTest, NamesThatAreValidUtf8OnlyWhenFlaggedAreRefused)
{
    ZipBuilderEntry e = entry("bad\xC3(.dll", "x");
    e.flags = 0x0800;
    EXPECT_THAT(openError(ZipBuilder().add(e).build()), HasSubstr("not valid UTF-8"));
    e.flags = 0; // the same bytes in code page 437
    EXPECT_EQ(openError(ZipBuilder().add(e).build()), "");
}

TEST_F(ZipReaderTest, EntriesThatClashOnTheSameNameAreRefused)
{
    const struct {
        const char* what;
        std::vector<std::string> names;
        const char* message;
    } cases[] = {
        {"same file twice", {"a.dll", "a.dll"}, "same file"},
        {"same file in another case", {"sub/A.DLL", "SUB\\a.dll"}, "same file"},
        {"file then folder", {"x", "x/y.dll"}, "as a folder"},
        {"folder then file", {"x/y.dll", "X"}, "as a folder"},
        {"file and folder entry", {"x", "x/"}, "as a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ZipBuilder builder;
        for (const std::string& name : c.names)
            builder.stored(name, "");
        EXPECT_THAT(openError(builder.build()), HasSubstr(c.message));
    }
    // A folder named by an entry of its own and by the files in it is one folder.
    EXPECT_EQ(openError(ZipBuilder().stored("x/", "").stored("X/", "").stored("x/y.dll", "").build()), "");
}

// ---------------------------------------------------------------------------------------------------------------
// Extraction

TEST_F(ZipReaderTest, ExtractAllWritesFilesAndFoldersIntoTheFolder)
{
    system.sandbox.writeC("work/libeay32.dll", "an older copy, longer than the new one");
    const std::string big = noise(100'000);
    const ZipReader reader(ZipBuilder()
                               .deflated("ssleay32.dll", big)
                               .stored("libeay32.dll", "new")
                               .stored("docs/", "")
                               .deflated("docs/readme.txt", "read me")
                               .deflated("deep\\er/x.dll", "x")
                               .stored("empty/", "")
                               .stored("none.txt", "")
                               .build());
    reader.extractAll("C:\\work\\");
    EXPECT_EQ(tree(), (std::set<std::string>{"deep/", "deep/er/", "deep/er/x.dll", "docs/", "docs/readme.txt", "empty/",
                                             "libeay32.dll", "none.txt", "ssleay32.dll"}));
    EXPECT_EQ(readWork("ssleay32.dll"), big);
    EXPECT_EQ(readWork("libeay32.dll"), "new");
    EXPECT_EQ(readWork("docs/readme.txt"), "read me");
    EXPECT_EQ(readWork("deep/er/x.dll"), "x");
    EXPECT_EQ(readWork("none.txt"), "");
}

TEST_F(ZipReaderTest, MaskChoosesEntriesByTheirFileName)
{
    const std::string archive = ZipBuilder()
                                    .stored("ssleay32.dll", "s")
                                    .stored("LIBEAY32.DLL", "l")
                                    .stored("readme.txt", "r")
                                    .stored("sub/", "")
                                    .stored("sub/x.dll", "x")
                                    .stored("dll/", "")
                                    .build();
    const struct {
        const char* mask;
        std::set<std::string> tree;
    } cases[] = {
        {"*.*", {"ssleay32.dll", "LIBEAY32.DLL", "readme.txt", "sub/", "sub/x.dll", "dll/"}},
        {"*", {"ssleay32.dll", "LIBEAY32.DLL", "readme.txt", "sub/", "sub/x.dll", "dll/"}},
        {"*.dll", {"ssleay32.dll", "LIBEAY32.DLL", "sub/", "sub/x.dll"}}, // sub\ made on the way to x.dll
        {"libeay32.dll", {"LIBEAY32.DLL"}},
        {"dll", {"dll/"}},
        {"*.exe", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        fs::remove_all(system.sandbox.driveC() / "work");
        system.sandbox.mkdirC("work");
        ZipReader(archive).extractAll("C:\\work", c.mask);
        EXPECT_EQ(tree(), c.tree);
    }
}

TEST_F(ZipReaderTest, ExtractAllMakesAMissingDestination)
{
    ZipReader(ZipBuilder().stored("a.dll", "a").build()).extractAll("C:\\work\\new\\place");
    EXPECT_EQ(readWork("new/place/a.dll"), "a");
}

TEST_F(ZipReaderTest, FolderThatAFileBlocksIsAZipError)
{
    system.sandbox.writeC("work/sub", "a file where a folder should be");
    const ZipReader reader(ZipBuilder().stored("sub/a.dll", "a").build());
    try {
        reader.extractAll("C:\\work");
        ADD_FAILURE() << "extractAll wrote through a file";
    } catch (const ZipError& e) {
        EXPECT_THAT(e.what(), HasSubstr("sub\\a.dll"));
    }
    EXPECT_EQ(readWork("sub"), "a file where a folder should be");
}

TEST_F(ZipReaderTest, FromFileReadsThroughThePrefix)
{
    system.sandbox.writeC("work/Library.zip", ZipBuilder().deflated("ssleay32.dll", "ssl").build());
    const ZipReader reader = ZipReader::fromFile("C:\\WORK\\library.zip");
    ASSERT_EQ(reader.entries().size(), 1u);
    EXPECT_EQ(reader.read(reader.entries()[0]), "ssl");
    EXPECT_THROW(ZipReader::fromFile("C:\\work\\missing.zip"), platform::FileError);
}

} // namespace
} // namespace tarvix
