#include "platform/wine/wine_registry.h"

#include "platform/errors.h"
#include "platform/wine/wineserver_lock.h"
#include "tests/support/temp_dir.h"

#include "tests/platform/reg_value_printer.h"
#include "tests/platform/saving_failures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarvix::platform::wine {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A REG_LINK value line pointing at `target`.
std::string linkValue(std::string_view target)
{
    std::string line = "\"SymbolicLinkValue\"=hex(6):";
    for (size_t i = 0; i < target.size(); ++i) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%s%02x,00", i ? "," : "", static_cast<unsigned char>(target[i]));
        line += buf;
    }
    return line + "\n";
}

std::string systemHive(std::string_view arch)
{
    return "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=" + std::string(arch) +
           "\n\n"
           "[Software\\\\Classes\\\\.txt] 1\n@=\"txtfile\"\n\n"
           "[Software\\\\Classes\\\\CLSID\\\\{X}] 1\n@=\"64-bit class\"\n\n"
           "[Software\\\\Classes\\\\Wow6432Node\\\\CLSID\\\\{X}] 1\n@=\"32-bit class\"\n\n"
           "[Software\\\\Embarcadero\\\\BDS\\\\37.0] 1\n\"RootDir\"=\"C:\\\\Program Files\\\\Studio\\\\\"\n\n"
           "[Software\\\\Microsoft\\\\Shared] 1\n\"v\"=\"shared\"\n\n"
           "[Software\\\\Wow6432Node\\\\Classes] 1\n#link\n" +
           linkValue("\\Registry\\Machine\\Software\\Classes\\Wow6432Node") +
           "\n"
           "[Software\\\\Wow6432Node\\\\Embarcadero\\\\BDS\\\\37.0] 1\n"
           "\"RootDir\"=\"C:\\\\Program Files (x86)\\\\Studio\\\\\"\n\n"
           "[Software\\\\Wow6432Node\\\\Microsoft\\\\Shared] 1\n#link\n" +
           linkValue("\\REGISTRY\\MACHINE\\Software\\Microsoft\\Shared") +
           "\n"
           "[System\\\\CurrentControlSet\\\\Control\\\\Nls\\\\Codepage] 1\n\"ACP\"=\"1252\"\n\n";
}

const std::string kUserHive =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n"
    "[Environment] 1\n\"TEMP\"=str(2):\"%USERPROFILE%\\\\Temp\"\n\n"
    "[Software\\\\Classes\\\\Wow6432Node\\\\Y] 1\n@=\"user 32-bit\"\n\n"
    "[Software\\\\Embarcadero\\\\BDS\\\\37.0\\\\Known Packages] 1\n\"$(BDS)\\\\bin\\\\x.bpl\"=\"X\"\n\n";

const std::string kDefaultHive =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\.Default\n\n#arch=win64\n\n"
    "[Software\\\\Default] 1\n\"d\"=\"1\"\n\n";

class WineRegistryTest : public ::testing::Test {
protected:
    void makePrefix(std::string_view arch = "win64")
    {
        dir.write("system.reg", systemHive(arch));
        dir.write("user.reg", kUserHive);
        dir.write("userdef.reg", kDefaultHive);
    }
    std::string hive(const char* name) const { return dir.read(name); }
    bool hiveHas(const char* name, std::string_view text) const { return hive(name).find(text) != std::string::npos; }
    std::optional<std::string> read(WineRegistry& reg, RegRoot root, std::string_view path, std::string_view name,
                                    uint32_t access = KeyAccess::Read)
    {
        auto key = reg.openKey(root, path, access, false);
        return key ? key->readString(name) : std::nullopt;
    }

    TempDir dir;
};

TEST_F(WineRegistryTest, RootsMapToTheirHives)
{
    makePrefix();
    WineRegistry reg(dir.path());
    EXPECT_EQ(reg.arch(), "win64");
    EXPECT_EQ(read(reg, RegRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Nls\\Codepage", "ACP"), "1252");
    EXPECT_EQ(read(reg, RegRoot::CurrentUser, "Environment", "TEMP"), "%USERPROFILE%\\Temp");
    EXPECT_EQ(read(reg, RegRoot::Users, ".DEFAULT\\Software\\Default", "d"), "1");
    EXPECT_EQ(read(reg, RegRoot::ClassesRoot, ".txt", ""), "txtfile");

    auto users = reg.openKey(RegRoot::Users, "", KeyAccess::Read, false);
    ASSERT_TRUE(users);
    EXPECT_EQ(users->subKeyNames(), std::vector<std::string>{".Default"});
    EXPECT_TRUE(users->valueNames().empty());
    EXPECT_THROW(reg.openKey(RegRoot::Users, "", KeyAccess::AllAccess, false)->setValue("x", RegValue::dword(1)),
                 RegistryError);
    auto classes = reg.openKey(RegRoot::ClassesRoot, "", KeyAccess::Read, false);
    ASSERT_TRUE(classes);
    EXPECT_EQ(classes->subKeyNames(), (std::vector<std::string>{".txt", "CLSID", "Wow6432Node"}));

    uint32_t error = 0;
    EXPECT_EQ(reg.openKey(RegRoot::Users, "S-1-5-18", KeyAccess::Read, false, &error), nullptr);
    EXPECT_EQ(error, WinError::FileNotFound);
    EXPECT_EQ(reg.openKey(RegRoot::Users, "New", KeyAccess::AllAccess, true, &error), nullptr);
    EXPECT_EQ(error, WinError::AccessDenied);

    for (RegRoot empty : {RegRoot::PerformanceData, RegRoot::CurrentConfig, RegRoot::DynData}) {
        auto root = reg.openKey(empty, "", KeyAccess::Read, false, &error);
        ASSERT_TRUE(root);
        EXPECT_EQ(error, WinError::Success);
        EXPECT_TRUE(root->subKeyNames().empty());
        EXPECT_FALSE(reg.keyExists(empty, "Software"));
        EXPECT_EQ(reg.openKey(empty, "Software", KeyAccess::AllAccess, true, &error), nullptr);
        EXPECT_EQ(error, WinError::AccessDenied);
        EXPECT_FALSE(reg.deleteKey(empty, ""));
    }
}

TEST_F(WineRegistryTest, PathsAndNamesIgnoreCaseAndKeepIt)
{
    makePrefix();
    WineRegistry reg(dir.path());
    uint32_t error = 99;
    auto key =
        reg.openKey(RegRoot::LocalMachine, "\\SOFTWARE\\embarcadero\\Bds\\37.0\\", KeyAccess::Read, false, &error);
    ASSERT_TRUE(key);
    EXPECT_EQ(error, WinError::Success);
    EXPECT_EQ(key->valueNames(), std::vector<std::string>{"RootDir"});
    EXPECT_EQ(key->readString("ROOTDIR"), "C:\\Program Files\\Studio\\");
    EXPECT_EQ(key->valueInfo("rootdir")->type, RegType::Sz);
    EXPECT_EQ(key->valueInfo("rootdir")->size, 2u * 25);
    EXPECT_FALSE(key->valueInfo("missing").has_value());
    EXPECT_EQ(reg.openKey(RegRoot::LocalMachine, "software", KeyAccess::Read, false)->subKeyNames(),
              (std::vector<std::string>{"Classes", "Embarcadero", "Microsoft", "Wow6432Node"}));

    // A value written with another case replaces the stored one and keeps its name.
    auto rw = reg.openKey(RegRoot::LocalMachine, "Software\\Embarcadero\\BDS\\37.0", KeyAccess::AllAccess, false);
    rw->writeString("rootdir", "D:\\");
    EXPECT_EQ(rw->valueNames(), std::vector<std::string>{"RootDir"});
    EXPECT_TRUE(hiveHas("system.reg", "\"RootDir\"=\"D:\\\\\"\n"));

    // Doubled backslashes make a bad path.
    for (const char* bad : {"Software\\\\Embarcadero", "\\\\Software", "Software\\\\"}) {
        EXPECT_EQ(reg.openKey(RegRoot::LocalMachine, bad, KeyAccess::Read, false, &error), nullptr) << bad;
        EXPECT_EQ(error, WinError::BadPathName) << bad;
        EXPECT_FALSE(reg.keyExists(RegRoot::LocalMachine, bad)) << bad;
        EXPECT_FALSE(reg.deleteKey(RegRoot::LocalMachine, bad)) << bad;
    }
}

TEST_F(WineRegistryTest, AccessMasksAreHonoured)
{
    makePrefix();
    const std::string before = hive("system.reg");
    WineRegistry reg(dir.path());
    uint32_t error = 0;

    EXPECT_EQ(reg.openKey(RegRoot::LocalMachine, "Software\\Missing", KeyAccess::AllAccess, false, &error), nullptr);
    EXPECT_EQ(error, WinError::FileNotFound);

    auto readOnly = reg.openKey(RegRoot::LocalMachine, "Software\\Microsoft\\Shared", KeyAccess::Read, false);
    ASSERT_TRUE(readOnly);
    try {
        readOnly->writeString("v", "changed");
        ADD_FAILURE() << "wrote through a read-only key";
    } catch (const RegistryError& e) {
        EXPECT_EQ(e.code(), WinError::AccessDenied);
        EXPECT_NE(std::string(e.what()).find("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Shared"), std::string::npos);
    }
    EXPECT_THROW(readOnly->deleteValue("v"), RegistryError);
    EXPECT_EQ(hive("system.reg"), before);

    // KEY_WRITE lacks the query and enumerate rights: reads find nothing, as on Windows.
    auto writeOnly = reg.openKey(RegRoot::LocalMachine, "Software\\Microsoft", KeyAccess::Write, false);
    ASSERT_TRUE(writeOnly);
    EXPECT_TRUE(writeOnly->subKeyNames().empty());
    auto shared = reg.openKey(RegRoot::LocalMachine, "Software\\Microsoft\\Shared", KeyAccess::Write, false);
    EXPECT_FALSE(shared->value("v").has_value());
    EXPECT_TRUE(shared->valueNames().empty());
    shared->writeString("w", "written");
    EXPECT_EQ(read(reg, RegRoot::LocalMachine, "Software\\Microsoft\\Shared", "w"), "written");
}

TEST_F(WineRegistryTest, ValuesOfEveryTypeAreStoredAndReadBack)
{
    makePrefix();
    {
        WineRegistry reg(dir.path());
        auto key = reg.openKey(RegRoot::CurrentUser, "Software\\Tarvix\\Nested\\Deep", KeyAccess::AllAccess, true);
        ASSERT_TRUE(key);
        key->writeString("", "default");
        key->writeString("Text", "A\xc3\xa7\xc3\xa3o \"aspas\" C:\\Pasta\\ \xe2\x9c\x93");
        key->writeString("Expand", "%ProgramFiles%\\X", RegType::ExpandSz);
        key->setValue("Multi", RegValue::multiString({"um", "dois", ""}));
        key->writeDword("Dword", 0xDEADBEEF);
        key->setValue("Binary", RegValue::binary(std::string("\x00\x01\xfe\xff", 4)));
        key->setValue("Qword", RegValue{RegType::Qword, std::string("\x01\0\0\0\0\0\0\x80", 8)});
        key->writeString("Gone", "x");
        EXPECT_TRUE(key->deleteValue("gone"));
        EXPECT_FALSE(key->deleteValue("gone"));
    }
    // A fresh registry reads what the file holds.
    WineRegistry reg(dir.path());
    auto key = reg.openKey(RegRoot::CurrentUser, "software\\tarvix\\nested\\deep", KeyAccess::Read, false);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->valueNames(), (std::vector<std::string>{"", "Binary", "Dword", "Expand", "Multi", "Qword", "Text"}));
    EXPECT_EQ(key->readString(""), "default");
    EXPECT_EQ(key->readString("text"), "A\xc3\xa7\xc3\xa3o \"aspas\" C:\\Pasta\\ \xe2\x9c\x93");
    EXPECT_EQ(key->value("Expand"), RegValue::string("%ProgramFiles%\\X", RegType::ExpandSz));
    EXPECT_EQ(key->value("Multi"), RegValue::multiString({"um", "dois", ""}));
    EXPECT_EQ(key->readDword("Dword"), 0xDEADBEEFu);
    EXPECT_EQ(key->value("Binary"), RegValue::binary(std::string("\x00\x01\xfe\xff", 4)));
    EXPECT_EQ(key->value("Qword"), (RegValue{RegType::Qword, std::string("\x01\0\0\0\0\0\0\x80", 8)}));
    EXPECT_FALSE(key->value("Gone").has_value());
    // Only the leaf key was written, as Wine does; the keys above it are implied.
    EXPECT_TRUE(hiveHas("user.reg", "[Software\\\\Tarvix\\\\Nested\\\\Deep] "));
    EXPECT_FALSE(hiveHas("user.reg", "[Software\\\\Tarvix] "));
    EXPECT_TRUE(reg.keyExists(RegRoot::CurrentUser, "Software\\Tarvix"));
}

TEST_F(WineRegistryTest, ThirtyTwoBitViewOnAWin64Prefix)
{
    makePrefix("win64");
    WineRegistry reg(dir.path());
    const uint32_t r32 = KeyAccess::Read | KeyAccess::Wow64_32Key;
    const uint32_t r64 = KeyAccess::Read | KeyAccess::Wow64_64Key;
    const char* bds = "Software\\Embarcadero\\BDS\\37.0";

    EXPECT_EQ(read(reg, RegRoot::LocalMachine, bds, "RootDir"), "C:\\Program Files\\Studio\\");
    EXPECT_EQ(read(reg, RegRoot::LocalMachine, bds, "RootDir", r32), "C:\\Program Files (x86)\\Studio\\");
    {
        ScopedRegistryView32 view;
        EXPECT_EQ(read(reg, RegRoot::LocalMachine, bds, "RootDir"), "C:\\Program Files (x86)\\Studio\\");
        EXPECT_EQ(read(reg, RegRoot::LocalMachine, bds, "RootDir", r64), "C:\\Program Files\\Studio\\");
        EXPECT_TRUE(reg.keyExists(RegRoot::LocalMachine, "Software\\Classes\\CLSID\\{X}"));
    }
    // Shared keys are links in Wine's hive; an explicit Wow6432Node path is not redirected twice.
    EXPECT_EQ(read(reg, RegRoot::LocalMachine, "Software\\Microsoft\\Shared", "v", r32), "shared");
    EXPECT_EQ(read(reg, RegRoot::LocalMachine, "Software\\Wow6432Node\\Embarcadero\\BDS\\37.0", "RootDir", r32),
              "C:\\Program Files (x86)\\Studio\\");
    // Classes: HKCR and HKLM\Software\Classes go to Classes\Wow6432Node; so does HKCU\Software\Classes.
    EXPECT_EQ(read(reg, RegRoot::ClassesRoot, "CLSID\\{X}", "", r32), "32-bit class");
    EXPECT_EQ(read(reg, RegRoot::LocalMachine, "Software\\Classes\\CLSID\\{X}", "", r32), "32-bit class");
    EXPECT_EQ(read(reg, RegRoot::LocalMachine, "Software\\Classes\\CLSID\\{X}", "", r64), "64-bit class");
    EXPECT_EQ(read(reg, RegRoot::CurrentUser, "Software\\Classes\\Y", "", r32), "user 32-bit");
    // The rest of HKCU\Software and everything outside Software is shared.
    auto known = reg.openKey(RegRoot::CurrentUser, "Software\\Embarcadero\\BDS\\37.0\\Known Packages", r32, false);
    ASSERT_TRUE(known);
    EXPECT_EQ(known->valueNames(), std::vector<std::string>{"$(BDS)\\bin\\x.bpl"});
    EXPECT_EQ(read(reg, RegRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Nls\\Codepage", "ACP", r32),
              "1252");

    // Writes land in the redirected places.
    const uint32_t w32 = KeyAccess::AllAccess | KeyAccess::Wow64_32Key;
    reg.openKey(RegRoot::LocalMachine, "SOFTWARE\\Morvane\\TarvixComps", w32, true)
        ->writeString("Caminho D37", "C:\\X");
    // Existing keys keep their names, new ones get the names given.
    EXPECT_TRUE(hiveHas("system.reg", "[Software\\\\Wow6432Node\\\\Morvane\\\\TarvixComps] "));
    EXPECT_FALSE(reg.keyExists(RegRoot::LocalMachine, "Software\\Morvane"));
    EXPECT_TRUE(reg.keyExists(RegRoot::LocalMachine, "Software\\Morvane", w32));
    reg.openKey(RegRoot::LocalMachine, "Software\\Microsoft\\Shared\\Sub", w32, true)->writeDword("n", 1);
    EXPECT_TRUE(hiveHas("system.reg", "[Software\\\\Microsoft\\\\Shared\\\\Sub] "));
    reg.openKey(RegRoot::CurrentUser, "Software\\Tarvix", w32, true)->writeDword("n", 2);
    EXPECT_TRUE(hiveHas("user.reg", "[Software\\\\Tarvix] "));
    reg.openKey(RegRoot::ClassesRoot, ".pas", w32, true)->writeString("", "DelphiUnit");
    EXPECT_TRUE(hiveHas("system.reg", "[Software\\\\Classes\\\\Wow6432Node\\\\.pas] "));

    EXPECT_TRUE(reg.deleteKey(RegRoot::LocalMachine, "Software\\Embarcadero", KeyAccess::Wow64_32Key));
    EXPECT_TRUE(reg.keyExists(RegRoot::LocalMachine, bds));
    EXPECT_FALSE(reg.keyExists(RegRoot::LocalMachine, bds, KeyAccess::Wow64_32Key));
}

TEST_F(WineRegistryTest, AWin32PrefixRedirectsNothing)
{
    makePrefix("win32");
    WineRegistry reg(dir.path());
    const uint32_t w32 = KeyAccess::AllAccess | KeyAccess::Wow64_32Key;
    EXPECT_EQ(read(reg, RegRoot::LocalMachine, "Software\\Embarcadero\\BDS\\37.0", "RootDir", w32),
              "C:\\Program Files\\Studio\\");
    EXPECT_EQ(read(reg, RegRoot::ClassesRoot, "CLSID\\{X}", "", w32), "64-bit class");
    ScopedRegistryView32 view;
    reg.openKey(RegRoot::LocalMachine, "Software\\Morvane", KeyAccess::AllAccess, true)->writeDword("n", 1);
    EXPECT_TRUE(hiveHas("system.reg", "[Software\\\\Morvane] "));
}

TEST_F(WineRegistryTest, DeletingAKeyTakesItsSubtree)
{
    makePrefix();
    WineRegistry reg(dir.path());
    auto open = reg.openKey(RegRoot::LocalMachine, "Software\\Embarcadero\\BDS\\37.0", KeyAccess::AllAccess, false);
    EXPECT_TRUE(reg.deleteKey(RegRoot::LocalMachine, "\\software\\EMBARCADERO"));
    EXPECT_FALSE(reg.keyExists(RegRoot::LocalMachine, "Software\\Embarcadero"));
    EXPECT_FALSE(reg.keyExists(RegRoot::LocalMachine, "Software\\Embarcadero\\BDS\\37.0"));
    EXPECT_FALSE(hiveHas("system.reg", "[Software\\\\Embarcadero"));
    EXPECT_FALSE(reg.deleteKey(RegRoot::LocalMachine, "Software\\Embarcadero"));

    // A key open while it was deleted finds nothing and refuses writes.
    EXPECT_FALSE(open->value("RootDir").has_value());
    try {
        open->writeString("RootDir", "x");
        ADD_FAILURE();
    } catch (const RegistryError& e) {
        EXPECT_EQ(e.code(), WinError::KeyDeleted);
    }

    // Roots are never deleted; a link key goes without its target.
    EXPECT_FALSE(reg.deleteKey(RegRoot::LocalMachine, ""));
    EXPECT_FALSE(reg.deleteKey(RegRoot::Users, ".Default"));
    EXPECT_TRUE(reg.deleteKey(RegRoot::LocalMachine, "Software\\Wow6432Node\\Microsoft\\Shared"));
    EXPECT_EQ(read(reg, RegRoot::LocalMachine, "Software\\Microsoft\\Shared", "v"), "shared");
    EXPECT_FALSE(reg.keyExists(RegRoot::LocalMachine, "Software\\Microsoft\\Shared", KeyAccess::Wow64_32Key));
}

TEST_F(WineRegistryTest, UntouchedHivesAreNeverRewritten)
{
    makePrefix();
    WineRegistry reg(dir.path());
    reg.openKey(RegRoot::LocalMachine, "Software\\Embarcadero\\BDS\\37.0", KeyAccess::AllAccess, true);
    EXPECT_FALSE(reg.deleteKey(RegRoot::CurrentUser, "Software\\Missing"));
    reg.openKey(RegRoot::Users, ".Default\\Software\\Default", KeyAccess::AllAccess, false)->deleteValue("missing");
    EXPECT_EQ(hive("system.reg"), systemHive("win64"));
    EXPECT_EQ(hive("user.reg"), kUserHive);
    EXPECT_EQ(hive("userdef.reg"), kDefaultHive);

    // A change in one hive leaves the others alone.
    reg.openKey(RegRoot::CurrentUser, "Environment", KeyAccess::AllAccess, false)->writeString("TMP", "C:\\T");
    EXPECT_EQ(hive("system.reg"), systemHive("win64"));
    EXPECT_NE(hive("user.reg"), kUserHive);
}

TEST_F(WineRegistryTest, StoringTheDataAValueHasSavesNothing)
{
    makePrefix();
    WineRegistry reg(dir.path());
    auto key = reg.openKey(RegRoot::LocalMachine, "Software\\Embarcadero\\BDS\\37.0", KeyAccess::AllAccess, false);
    ASSERT_TRUE(key);
    auto inode = [&] {
        struct stat st {};
        EXPECT_EQ(::stat((dir / "system.reg").c_str(), &st), 0);
        return st.st_ino;
    };
    const auto before = inode();
    key->writeString("rootdir", "C:\\Program Files\\Studio\\"); // the data it has, the name in another case
    EXPECT_EQ(inode(), before);                                 // a save puts a new file in place
    EXPECT_EQ(hive("system.reg"), systemHive("win64"));

    // The same text as another type is a change, and saved.
    key->writeString("RootDir", "C:\\Program Files\\Studio\\", RegType::ExpandSz);
    EXPECT_NE(inode(), before);
    EXPECT_TRUE(hiveHas("system.reg", "\"RootDir\"=str(2):\"C:\\\\Program Files\\\\Studio\\\\\"\n"));
    EXPECT_EQ(WineRegistry(dir.path())
                  .openKey(RegRoot::LocalMachine, "Software\\Embarcadero\\BDS\\37.0", KeyAccess::Read, false)
                  ->value("RootDir")
                  ->type,
              RegType::ExpandSz);
}

TEST_F(WineRegistryTest, AFailedSaveLeavesTheOldHive)
{
    makePrefix();
    const std::string before = hive("system.reg");
    const auto files = test::entries(dir.path());
    WineRegistry reg(dir.path());
    auto key = reg.openKey(RegRoot::LocalMachine, "Software\\Embarcadero", KeyAccess::AllAccess, false);
    {
        test::FileSizeLimit limit(before.size() / 2);
        try {
            key->writeString("Big", std::string(100, 'x'));
            ADD_FAILURE() << "the save did not fail";
        } catch (const RegistryError& e) {
            EXPECT_EQ(e.code(), WinError::RegistryIoFailed);
            EXPECT_NE(std::string(e.what()).find(dir.path().string() + "/system.reg"), std::string::npos) << e.what();
        }
        EXPECT_THROW(reg.openKey(RegRoot::LocalMachine, "Software\\New", KeyAccess::AllAccess, true), RegistryError);
    }
    EXPECT_EQ(hive("system.reg"), before);
    EXPECT_EQ(test::entries(dir.path()), files); // no temporary file left behind
    // The change that was not saved is not seen either, and the next save works.
    EXPECT_FALSE(key->value("Big").has_value());
    EXPECT_FALSE(reg.keyExists(RegRoot::LocalMachine, "Software\\New"));
    key->writeString("Small", "y");
    EXPECT_TRUE(hiveHas("system.reg", "\"Small\"=\"y\""));
}

TEST_F(WineRegistryTest, AReadOnlyFolderRefusesTheSave)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    makePrefix();
    const std::string before = hive("user.reg");
    WineRegistry reg(dir.path());
    auto key = reg.openKey(RegRoot::CurrentUser, "Environment", KeyAccess::AllAccess, false);
    fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_THROW(key->writeString("X", "y"), RegistryError);
    fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(hive("user.reg"), before);
}

TEST_F(WineRegistryTest, SavingKeepsTheFileMode)
{
    makePrefix();
    fs::permissions(dir / "user.reg", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    WineRegistry reg(dir.path());
    reg.openKey(RegRoot::CurrentUser, "Environment", KeyAccess::AllAccess, false)->writeString("X", "y");
    EXPECT_EQ(fs::status(dir / "user.reg").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(WineRegistryTest, AnUnparsableHiveIsReportedAndNeverOverwritten)
{
    makePrefix();
    const std::string broken = kUserHive + "[Broken] 1\n\"x\"=dword:zz\n";
    dir.write("user.reg", broken);
    WineRegistry reg(dir.path());
    const std::string file = (dir / "user.reg").string();
    auto expectReported = [&](auto&& action) {
        try {
            action();
            ADD_FAILURE() << "no error";
        } catch (const RegistryError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("\"" + file + "\""), std::string::npos) << message;
            EXPECT_NE(message.find("line 16:"), std::string::npos) << message;
        }
    };
    expectReported([&] { reg.openKey(RegRoot::CurrentUser, "Environment", KeyAccess::Read, false); });
    expectReported([&] { reg.openKey(RegRoot::CurrentUser, "New", KeyAccess::AllAccess, true); });
    expectReported([&] { reg.deleteKey(RegRoot::CurrentUser, "Environment"); });
    EXPECT_EQ(hive("user.reg"), broken);
    // The other hives still work.
    EXPECT_EQ(read(reg, RegRoot::LocalMachine, "Software\\Microsoft\\Shared", "v"), "shared");
    // Once the file is mended it is read again.
    dir.write("user.reg", kUserHive);
    EXPECT_EQ(read(reg, RegRoot::CurrentUser, "Environment", "TEMP"), "%USERPROFILE%\\Temp");
}

TEST_F(WineRegistryTest, AMissingHiveIsEmptyUntilTheFirstWrite)
{
    dir.write("system.reg", systemHive("win64"));
    dir.write("userdef.reg", ""); // an empty file counts as a hive without keys
    WineRegistry reg(dir.path());
    uint32_t error = 0;
    EXPECT_EQ(reg.openKey(RegRoot::CurrentUser, "Environment", KeyAccess::Read, false, &error), nullptr);
    EXPECT_EQ(error, WinError::FileNotFound);
    EXPECT_FALSE(fs::exists(dir / "user.reg"));
    auto root = reg.openKey(RegRoot::CurrentUser, "", KeyAccess::Read, false);
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->subKeyNames().empty());

    reg.openKey(RegRoot::CurrentUser, "Environment", KeyAccess::AllAccess, true)->writeString("TEMP", "C:\\T");
    const std::string user = hive("user.reg");
    EXPECT_EQ(user.rfind("WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
                         "#arch=win64\n\n[Environment] ",
                         0),
              0u)
        << user;
    reg.openKey(RegRoot::Users, ".Default\\Software", KeyAccess::AllAccess, true)->writeDword("n", 1);
    EXPECT_TRUE(hiveHas("userdef.reg", ";; All keys relative to REGISTRY\\\\User\\\\.Default\n"));
    WineRegistry fresh(dir.path());
    EXPECT_EQ(read(fresh, RegRoot::CurrentUser, "Environment", "TEMP"), "C:\\T");
}

TEST_F(WineRegistryTest, APrefixThatDoesNotExistHoldsNothingAndIsNeverCreated)
{
    const fs::path prefix = dir / "no-such-prefix";
    WineRegistry reg(prefix);
    uint32_t error = 0;
    EXPECT_FALSE(reg.keyExists(RegRoot::LocalMachine, "Software"));
    EXPECT_EQ(reg.openKey(RegRoot::LocalMachine, "Software", KeyAccess::Read, false, &error), nullptr);
    EXPECT_EQ(error, WinError::FileNotFound);
    EXPECT_THROW(reg.deleteKey(RegRoot::LocalMachine, "Software"), RegistryError);
    try {
        reg.openKey(RegRoot::LocalMachine, "Software\\Tarvix", KeyAccess::AllAccess, true);
        ADD_FAILURE() << "created a key in a missing prefix";
    } catch (const RegistryError& e) {
        EXPECT_EQ(e.code(), WinError::PathNotFound);
        EXPECT_NE(std::string(e.what()).find("\"" + prefix.string() + "\" does not exist"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(fs::exists(prefix));
}

TEST_F(WineRegistryTest, ChangesMadeOnDiskByOthersAreSeen)
{
    makePrefix();
    WineRegistry reg(dir.path());
    auto key = reg.openKey(RegRoot::CurrentUser, "Environment", KeyAccess::AllAccess, false);
    EXPECT_EQ(key->readString("TEMP"), "%USERPROFILE%\\Temp");

    // Another process replaces the file, the way Wine saves it.
    std::string changed = kUserHive;
    changed.replace(changed.find("%USERPROFILE%"), 13, "C:\\\\Other");
    dir.write("user.reg.new", changed + "[Software\\\\Wine] 1\n\"v\"=\"1\"\n\n");
    fs::rename(dir / "user.reg.new", dir / "user.reg");
    EXPECT_EQ(key->readString("TEMP"), "C:\\Other\\Temp");

    // Our next write keeps what the other process wrote.
    key->writeString("TMP", "x");
    WineRegistry fresh(dir.path());
    EXPECT_EQ(read(fresh, RegRoot::CurrentUser, "Software\\Wine", "v"), "1");
    EXPECT_EQ(read(fresh, RegRoot::CurrentUser, "Environment", "TEMP"), "C:\\Other\\Temp");
    EXPECT_EQ(read(fresh, RegRoot::CurrentUser, "Environment", "TMP"), "x");
}

TEST_F(WineRegistryTest, KeysOutliveTheirRegistry)
{
    makePrefix();
    std::unique_ptr<RegistryKey> key;
    {
        WineRegistry reg(dir.path());
        key = reg.openKey(RegRoot::CurrentUser, "Environment", KeyAccess::AllAccess, false);
    }
    key->writeString("TMP", "x");
    EXPECT_EQ(key->readString("TMP"), "x");
}

// A child process that holds the wineserver's lock on `file` until the object goes away.
class LockHolder {
public:
    explicit LockHolder(const fs::path& file)
    {
        fs::create_directories(file.parent_path());
        int ready[2];
        int release[2];
        if (pipe(ready) != 0 || pipe(release) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release[1]);
            int fd = open(file.c_str(), O_RDWR | O_CREAT, 0600);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            lock.l_start = 0;
            lock.l_len = 1;
            char ok = (fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0) ? '1' : '0';
            (void)!write(ready[1], &ok, 1);
            char c;
            (void)!read(release[0], &c, 1); // returns when the parent closes its end
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        release_ = release[1];
        char ok = 0;
        locked_ = read(ready[0], &ok, 1) == 1 && ok == '1';
        close(ready[0]);
    }
    ~LockHolder() { stop(); }
    void stop()
    {
        if (pid_ > 0) {
            close(release_);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    bool locked() const { return locked_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool locked_ = false;
};

// Sets an environment variable for a scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string serverFolder(const fs::path& prefix)
{
    struct stat st {};
    stat(prefix.c_str(), &st);
    char buf[64];
    std::snprintf(buf, sizeof buf, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    return buf;
}

TEST_F(WineRegistryTest, WritesAreRefusedWhileTheWineserverRuns)
{
    makePrefix();
    TempDir tmpdir;
    ScopedEnv env("TMPDIR", tmpdir.path().string());
    // A name of our own under /tmp, like the "wine-XXXXXX" folder Wine 8 makes.
    std::string tmpName = "/tmp/wine-tarvix-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpName.data()), nullptr);
    const fs::path tmpFolder = tmpName;
    const std::string name = tmpFolder.filename().string();
    dir.write("wineserver", name);
    const std::string server = serverFolder(dir.path());
    const fs::path legacy = fs::path("/tmp") / (".wine-" + std::to_string(getuid())) / server;

    EXPECT_EQ(wineserverLockFiles(dir.path()), (std::vector<fs::path>{tmpdir.path() / name / server / "lock",
                                                                      tmpFolder / server / "lock", legacy / "lock"}));
    EXPECT_TRUE(wineserverLockFiles(dir / "missing").empty());

    WineRegistry reg(dir.path());
    auto env32 = reg.openKey(RegRoot::CurrentUser, "Environment", KeyAccess::AllAccess, false);
    const std::string before = hive("user.reg");
    for (const fs::path& lockFile : wineserverLockFiles(dir.path())) {
        SCOPED_TRACE(lockFile.string());
        EXPECT_FALSE(wineserverRunning(dir.path()));
        {
            LockHolder holder(lockFile);
            ASSERT_TRUE(holder.locked());
            EXPECT_TRUE(wineserverRunning(dir.path()));
            const std::function<void()> writes[] = {
                [&] { env32->writeString("X", "y"); },
                [&] { env32->deleteValue("TEMP"); },
                [&] { env32->deleteValue("missing"); },
                [&] { env32->setValue("TEMP", RegValue::string("%USERPROFILE%\\Temp", RegType::ExpandSz)); },
                [&] { reg.openKey(RegRoot::CurrentUser, "Software\\New", KeyAccess::AllAccess, true); },
                [&] { reg.deleteKey(RegRoot::CurrentUser, "Environment"); },
            };
            for (const auto& write : writes) {
                try {
                    write();
                    ADD_FAILURE() << "a write went through";
                } catch (const RegistryError& e) {
                    const std::string message = e.what();
                    EXPECT_EQ(e.code(), WinError::SharingViolation);
                    EXPECT_NE(message.find("\"" + dir.path().string() + "\""), std::string::npos) << message;
                    EXPECT_NE(message.find("wineserver -k"), std::string::npos) << message;
                    EXPECT_NE(message.find("Close the Windows programs"), std::string::npos) << message;
                }
            }
            // Reads, and opening a key that exists, still work.
            EXPECT_EQ(env32->readString("TEMP"), "%USERPROFILE%\\Temp");
            EXPECT_TRUE(reg.openKey(RegRoot::CurrentUser, "Environment", KeyAccess::AllAccess, true));
            EXPECT_EQ(hive("user.reg"), before);
        }
        EXPECT_FALSE(wineserverRunning(dir.path())); // the lock file stays, the lock is gone
    }
    env32->writeString("X", "y");
    EXPECT_TRUE(hiveHas("user.reg", "\"X\"=\"y\""));

    fs::remove_all(tmpFolder);
    fs::remove_all(legacy);
    std::error_code ignored;
    fs::remove(legacy.parent_path(), ignored); // only when empty: it may belong to a real Wine
}

} // namespace
} // namespace tarvix::platform::wine
