#include "components/kq_find_file.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/components/scripted_prefix_system.h"
#include "tests/support/fake_message_pump.h"

namespace tarvix {
namespace {

using Names = std::vector<std::string>;

// C:\Lib in a sandbox prefix:
//   a.dcr  B.DCR  c.txt  ro.dcr (read-only)  .hid.dcr (hidden)  sys.dcr (system)
//   sub1\x.dcr  sub1\deep\y.dcr (deep is read-only)
//   sub2.dcr\z.dcr (a folder named like the mask)
//   .hiddendir\h.dcr (hidden folder)  sysdir\s.dcr (system folder)
// The prefix lists a folder sorted by upper-case name: ".HID.DCR", ".HIDDENDIR", "A.DCR", "B.DCR", "C.TXT",
// "RO.DCR", "SUB1", "SUB2.DCR", "SYS.DCR", "SYSDIR".
class FindFile : public ::testing::Test {
protected:
    FindFile()
    {
        for (const char* file : {"a.dcr", "B.DCR", "c.txt", "ro.dcr", ".hid.dcr", "sys.dcr", "sub1/x.dcr",
                                 "sub1/deep/y.dcr", "sub2.dcr/z.dcr", ".hiddendir/h.dcr", "sysdir/s.dcr"})
            system.sandbox.writeC(std::string("Lib/") + file, "x");
        EXPECT_TRUE(system.files().setAttributes("C:\\Lib\\ro.dcr", platform::FileAttr::ReadOnly));
        EXPECT_TRUE(system.files().setAttributes("C:\\Lib\\sub1\\deep", platform::FileAttr::ReadOnly));
        system.systemAttributes().systemNames = {"SYS.DCR", "SYSDIR"};

        finder.SetInitialDir("C:\\Lib\\");
        finder.SetFileToSearch("*.dcr");
        finder.OnSearchDir = [this](TKqFindFile& sender, const std::string& dir) {
            EXPECT_EQ(&sender, &finder);
            searched.push_back(dir);
        };
        finder.OnFound = [this](TKqFindFile& sender, const std::string& name) {
            EXPECT_EQ(&sender, &finder);
            found.push_back(name);
        };
    }

    // Execute, checking that OnFound reported exactly what Files holds.
    bool run()
    {
        searched.clear();
        found.clear();
        const bool result = finder.Execute();
        EXPECT_EQ(found, finder.Files());
        return result;
    }

    test::ScriptedPrefixSystem system;
    TKqFindFile finder;
    Names searched;
    Names found;
};

TEST_F(FindFile, Defaults)
{
    TKqFindFile fresh;
    EXPECT_EQ(fresh.FileToSearch(), "");
    EXPECT_EQ(fresh.InitialDir(), "");
    EXPECT_EQ(fresh.MaxFiles(), 0);
    EXPECT_EQ(fresh.Options(), TKqFindOptions::All());
    EXPECT_EQ(fresh.Options().Bits(), 0x1F);
    EXPECT_TRUE(fresh.Files().empty());
    EXPECT_FALSE(fresh.OnFound);
    EXPECT_FALSE(fresh.OnSearchDir);
}

TEST_F(FindFile, OptionsAreBitsByOrdinal)
{
    EXPECT_EQ(TKqFindOptions({foIncludePath}).Bits(), 0x01);
    EXPECT_EQ(TKqFindOptions({foRecursiveDir}).Bits(), 0x02);
    EXPECT_EQ(TKqFindOptions({foReadOnlyFiles, foHiddenFiles, foSysFiles}).Bits(), 0x1C);
    EXPECT_EQ(TKqFindOptions::FromBits(0xFF), TKqFindOptions::All());
    TKqFindOptions o = TKqFindOptions::All();
    o.Exclude(foHiddenFiles);
    EXPECT_FALSE(o.Contains(foHiddenFiles));
    EXPECT_TRUE(o.Contains(foSysFiles));
    EXPECT_TRUE(TKqFindOptions().Empty());
}

TEST_F(FindFile, InitialDirLosesOneTrailingBackslash)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\Lib\\", "C:\\Lib"}, {"C:\\Lib", "C:\\Lib"}, {"C:\\Lib\\\\", "C:\\Lib\\"}, {"C:\\", "C:"}, {"", ""}};
    for (const auto& [given, stored] : cases) {
        finder.SetInitialDir(given);
        EXPECT_EQ(finder.InitialDir(), stored) << given;
    }
}

TEST_F(FindFile, SearchesEveryFolderDepthFirstWithAllOptions)
{
    EXPECT_TRUE(run());
    EXPECT_EQ(finder.Files(),
              (Names{"C:\\Lib\\.hid.dcr", "C:\\Lib\\a.dcr", "C:\\Lib\\B.DCR", "C:\\Lib\\ro.dcr", "C:\\Lib\\sys.dcr",
                     "C:\\Lib\\.hiddendir\\h.dcr", "C:\\Lib\\sub1\\x.dcr", "C:\\Lib\\sub1\\deep\\y.dcr",
                     "C:\\Lib\\sub2.dcr\\z.dcr", "C:\\Lib\\sysdir\\s.dcr"}));
    // The folder C:\Lib\sub2.dcr matches the mask but is searched, not reported.
    EXPECT_EQ(searched, (Names{"C:\\Lib", "C:\\Lib\\.hiddendir", "C:\\Lib\\sub1", "C:\\Lib\\sub1\\deep",
                               "C:\\Lib\\sub2.dcr", "C:\\Lib\\sysdir"}));
}

TEST_F(FindFile, AttributeOptionsFilterFilesAndSubFolders)
{
    struct Case {
        const char* name;
        TKqFindOptions options;
        Names files;
        Names folders;
    };
    const std::vector<Case> cases = {
        {"no read-only files: a read-only folder is still searched",
         {foIncludePath, foRecursiveDir, foHiddenFiles, foSysFiles},
         {"C:\\Lib\\.hid.dcr", "C:\\Lib\\a.dcr", "C:\\Lib\\B.DCR", "C:\\Lib\\sys.dcr", "C:\\Lib\\.hiddendir\\h.dcr",
          "C:\\Lib\\sub1\\x.dcr", "C:\\Lib\\sub1\\deep\\y.dcr", "C:\\Lib\\sub2.dcr\\z.dcr", "C:\\Lib\\sysdir\\s.dcr"},
         {"C:\\Lib", "C:\\Lib\\.hiddendir", "C:\\Lib\\sub1", "C:\\Lib\\sub1\\deep", "C:\\Lib\\sub2.dcr",
          "C:\\Lib\\sysdir"}},
        {"no hidden files or folders",
         {foIncludePath, foRecursiveDir, foReadOnlyFiles, foSysFiles},
         {"C:\\Lib\\a.dcr", "C:\\Lib\\B.DCR", "C:\\Lib\\ro.dcr", "C:\\Lib\\sys.dcr", "C:\\Lib\\sub1\\x.dcr",
          "C:\\Lib\\sub1\\deep\\y.dcr", "C:\\Lib\\sub2.dcr\\z.dcr", "C:\\Lib\\sysdir\\s.dcr"},
         {"C:\\Lib", "C:\\Lib\\sub1", "C:\\Lib\\sub1\\deep", "C:\\Lib\\sub2.dcr", "C:\\Lib\\sysdir"}},
        {"no system files or folders",
         {foIncludePath, foRecursiveDir, foReadOnlyFiles, foHiddenFiles},
         {"C:\\Lib\\.hid.dcr", "C:\\Lib\\a.dcr", "C:\\Lib\\B.DCR", "C:\\Lib\\ro.dcr", "C:\\Lib\\.hiddendir\\h.dcr",
          "C:\\Lib\\sub1\\x.dcr", "C:\\Lib\\sub1\\deep\\y.dcr", "C:\\Lib\\sub2.dcr\\z.dcr"},
         {"C:\\Lib", "C:\\Lib\\.hiddendir", "C:\\Lib\\sub1", "C:\\Lib\\sub1\\deep", "C:\\Lib\\sub2.dcr"}},
        {"only plain files, names without the folder",
         {foRecursiveDir},
         {"a.dcr", "B.DCR", "x.dcr", "y.dcr", "z.dcr"},
         {"C:\\Lib", "C:\\Lib\\sub1", "C:\\Lib\\sub1\\deep", "C:\\Lib\\sub2.dcr"}},
        {"the installer's search: one folder, names only",
         {foReadOnlyFiles, foHiddenFiles, foSysFiles},
         {".hid.dcr", "a.dcr", "B.DCR", "ro.dcr", "sys.dcr"},
         {"C:\\Lib"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        finder.SetOptions(c.options);
        EXPECT_TRUE(run());
        EXPECT_EQ(finder.Files(), c.files);
        EXPECT_EQ(searched, c.folders);
    }
}

TEST_F(FindFile, AllowedAttributes)
{
    using namespace platform::FileAttr;
    struct Case {
        uint32_t attributes;
        TKqFindOptions options;
        bool reported;
    };
    const TKqFindOptions none;
    const TKqFindOptions all = TKqFindOptions::All();
    const std::vector<Case> cases = {
        {0, none, true},
        {Archive, none, true},
        {Normal, none, true},
        {0x10000, none, true}, // the highest bit allowed
        {0x20000, all, false}, // above it
        {0x80000000, all, false},
        {Directory, all, false}, // a folder is never a file
        {VolumeLabel, all, false},
        {Archive | ReadOnly, none, false},
        {Archive | ReadOnly, {foReadOnlyFiles}, true},
        {Hidden, {foReadOnlyFiles, foSysFiles}, false},
        {Hidden, {foHiddenFiles}, true},
        {System | Archive, {foHiddenFiles}, false},
        {System | Archive, {foSysFiles}, true},
        {ReadOnly | Hidden | System, {foReadOnlyFiles, foHiddenFiles}, false},
        {ReadOnly | Hidden | System, {foReadOnlyFiles, foHiddenFiles, foSysFiles}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ((c.attributes & ~TKqFindFile::AllowedAttributes(c.options)) == 0, c.reported)
            << std::hex << c.attributes << " with options " << int(c.options.Bits());
}

TEST_F(FindFile, MasksAreSearchedInTheirOrder)
{
    finder.SetOptions({foReadOnlyFiles, foHiddenFiles, foSysFiles});
    struct Case {
        std::string masks;
        Names files;
    };
    const std::vector<Case> cases = {
        // The same file under two masks is reported twice.
        {" *.DCR ; *.dcr ;; ;\t",
         {".hid.dcr", "a.dcr", "B.DCR", "ro.dcr", "sys.dcr", ".hid.dcr", "a.dcr", "B.DCR", "ro.dcr", "sys.dcr"}},
        {"c.txt;a.dcr", {"c.txt", "a.dcr"}},
        {"\t?.dcr\r\n", {"a.dcr", "B.DCR"}},
        {"*.res", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        finder.SetFileToSearch(c.masks);
        EXPECT_TRUE(run());
        EXPECT_EQ(finder.Files(), c.files) << c.masks;
    }
}

TEST_F(FindFile, EmptyMasksStillEnterEveryFolder)
{
    for (const char* masks : {"", " ; ;\t"}) {
        finder.SetFileToSearch(masks);
        EXPECT_TRUE(run());
        EXPECT_TRUE(finder.Files().empty());
        EXPECT_EQ(searched, (Names{"C:\\Lib", "C:\\Lib\\.hiddendir", "C:\\Lib\\sub1", "C:\\Lib\\sub1\\deep",
                                   "C:\\Lib\\sub2.dcr", "C:\\Lib\\sysdir"}));
    }
}

TEST_F(FindFile, MaxFilesStopsTheSearchWithoutAnAbort)
{
    for (int i = 0; i < 10; ++i)
        system.sandbox.writeC("Ten/f" + std::to_string(i) + ".dcr", "x");
    system.sandbox.writeC("Ten/sub/g.dcr", "x");
    finder.SetInitialDir("C:\\Ten");
    finder.SetOptions({foRecursiveDir});

    finder.SetMaxFiles(3);
    EXPECT_TRUE(run());
    EXPECT_EQ(finder.Files(), (Names{"f0.dcr", "f1.dcr", "f2.dcr"}));
    EXPECT_EQ(searched, (Names{"C:\\Ten"}));

    // The limit may be reached in a sub-folder as well.
    finder.SetMaxFiles(11);
    EXPECT_TRUE(run());
    EXPECT_EQ(finder.Files().size(), 11u);
    EXPECT_EQ(finder.Files().back(), "g.dcr");

    finder.SetMaxFiles(0);
    EXPECT_TRUE(run());
    EXPECT_EQ(finder.Files().size(), 11u);
}

TEST_F(FindFile, AbortFromOnFoundKeepsWhatWasFound)
{
    finder.OnFound = [this](TKqFindFile& sender, const std::string& name) {
        found.push_back(name);
        if (found.size() == 2)
            sender.Abort();
    };
    EXPECT_FALSE(run());
    EXPECT_EQ(finder.Files(), (Names{"C:\\Lib\\.hid.dcr", "C:\\Lib\\a.dcr"}));
    EXPECT_EQ(searched, (Names{"C:\\Lib"}));

    // The next Execute starts afresh.
    finder.OnFound = nullptr;
    EXPECT_TRUE(finder.Execute());
    EXPECT_EQ(finder.Files().size(), 10u);
}

TEST_F(FindFile, PumpsMessagesAfterEveryFolderAndEntryAndCanBeAbortedMeanwhile)
{
    test::FakeMessagePump pump;
    test::ScopedMessagePump scoped(pump);

    // C:\Lib has six entries matching *.dcr (the folder sub2.dcr among them): one pass for the folder, one per
    // entry, whether the entry is reported or not.
    finder.SetOptions({});
    EXPECT_TRUE(run());
    EXPECT_EQ(finder.Files(), (Names{"a.dcr", "B.DCR"}));
    EXPECT_EQ(pump.passes, 7);

    // A user action handled while messages are processed stops the search.
    finder.SetOptions(TKqFindOptions::All());
    pump.passes = 0;
    pump.onProcess = [this](test::FakeMessagePump& p) {
        if (p.passes == 3)
            finder.Abort();
    };
    EXPECT_FALSE(run());
    EXPECT_EQ(finder.Files(), (Names{"C:\\Lib\\.hid.dcr", "C:\\Lib\\a.dcr"}));
    EXPECT_EQ(pump.passes, 3);
}

TEST_F(FindFile, AMissingFolderAddsNothing)
{
    finder.SetInitialDir("C:\\Nowhere\\");
    EXPECT_TRUE(run());
    EXPECT_TRUE(finder.Files().empty());
    EXPECT_EQ(searched, (Names{"C:\\Nowhere"}));

    finder.SetInitialDir("Q:\\Unmapped");
    EXPECT_TRUE(run());
    EXPECT_TRUE(finder.Files().empty());
}

TEST_F(FindFile, LinksBackToAFolderBeingSearchedAreNotFollowed)
{
    // C:\Loop\f.dcr, C:\Loop\again -> C:\Loop, C:\Loop\sub\g.dcr, C:\Loop\sub\up -> C:\Loop, C:\Loop\other -> sub.
    system.sandbox.writeC("Loop/f.dcr", "x");
    system.sandbox.writeC("Loop/sub/g.dcr", "x");
    const std::filesystem::path loop = system.sandbox.driveC() / "Loop";
    std::filesystem::create_directory_symlink(".", loop / "again");
    std::filesystem::create_directory_symlink("..", loop / "sub" / "up");
    std::filesystem::create_directory_symlink("sub", loop / "other");

    finder.SetInitialDir("C:\\Loop");
    // Without the rule the search would not end; stop it after a while to fail cleanly.
    finder.OnSearchDir = [this](TKqFindFile& sender, const std::string& dir) {
        searched.push_back(dir);
        if (searched.size() > 50)
            sender.Abort();
    };
    EXPECT_TRUE(run());
    // A link to a folder that is not being searched (other -> sub) is followed like any folder.
    EXPECT_EQ(finder.Files(), (Names{"C:\\Loop\\f.dcr", "C:\\Loop\\other\\g.dcr", "C:\\Loop\\sub\\g.dcr"}));
    EXPECT_EQ(searched, (Names{"C:\\Loop", "C:\\Loop\\other", "C:\\Loop\\sub"}));
}

} // namespace
} // namespace tarvix
