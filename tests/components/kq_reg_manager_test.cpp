// The registry manager against a sandbox Wine prefix: the exact types and bytes it stores, the defaults of its
// reads, the errors it lets through, key composition, AutoCreate, KeyAccess and the listings. What is stored is
// checked through the platform registry itself, independently of the manager's own reads.
#include "components/kq_reg_manager.h"

#include "platform/text_encoding.h"
#include "platform/wine/wine_prefix.h"
#include "tests/platform/reg_value_printer.h"
#include "tests/support/sandbox_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>

namespace tarvix {
namespace {

using platform::RegRoot;
namespace RegType = platform::RegType;
using platform::RegValue;

std::string bytes(std::initializer_list<int> list)
{
    std::string out;
    for (int b : list)
        out.push_back(static_cast<char>(b));
    return out;
}

class RegManagerTest : public ::testing::Test {
protected:
    static constexpr std::string_view kKey = "\\SOFTWARE\\Tarvix\\Test";
    static constexpr std::string_view kPath = "SOFTWARE\\Tarvix\\Test";

    void SetUp() override { reg.SetKey(kKey); }

    std::optional<RegValue> raw(std::string_view path, std::string_view name, RegRoot root = RegRoot::CurrentUser)
    {
        auto key = system.registry().openKey(root, path, platform::KeyAccess::Read, false);
        return key ? key->value(name) : std::nullopt;
    }
    void putRaw(std::string_view path, std::string_view name, const RegValue& value)
    {
        system.registry()
            .openKey(RegRoot::CurrentUser, path, platform::KeyAccess::AllAccess, true)
            ->setValue(name, value);
    }
    bool keyExists(std::string_view path, RegRoot root = RegRoot::CurrentUser)
    {
        return system.registry().keyExists(root, path);
    }
    // The system's ANSI code page, as Wine keeps it.
    void setAnsiCodePage(std::string_view acp)
    {
        sandbox.builder().setString(RegRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Nls\\Codepage", "ACP",
                                    acp);
    }

    test::SandboxSystem sandbox;
    platform::WinePrefix& system = sandbox.system();
    TKqRegManager reg;
};

// --- Defaults, roots, access -------------------------------------------------------------------------------

TEST_F(RegManagerTest, StartsWithTheDocumentedDefaults)
{
    TKqRegManager fresh;
    EXPECT_TRUE(fresh.AutoCreate());
    EXPECT_EQ(fresh.RootKey(), HKeyCurrentUser);
    EXPECT_EQ(fresh.Key(), "\\SOFTWARE\\Company\\Product");
    EXPECT_EQ(fresh.KeyAccess(), kaAccessAll);
    EXPECT_EQ(fresh.Registry().RootKey(), RegRoot::CurrentUser);
    EXPECT_EQ(fresh.Registry().Access(), 0xF003Fu);
    EXPECT_FALSE(fresh.Registry().HasCurrentKey());
}

TEST_F(RegManagerTest, EmptyKeyPutsTheDefaultBack)
{
    reg.SetKey("");
    EXPECT_EQ(reg.Key(), "\\SOFTWARE\\Company\\Product");
    reg.SetKey("Relative\\Path\\");
    EXPECT_EQ(reg.Key(), "Relative\\Path\\");
}

TEST(RegManagerEnums, RootHandlesAndAccessMasks)
{
    const std::pair<TKqRootKeys, RegRoot> roots[] = {
        {HKeyClassesRoot, RegRoot::ClassesRoot},
        {HKeyCurrentUser, RegRoot::CurrentUser},
        {HKeyLocalMachine, RegRoot::LocalMachine},
        {HKeyUsers, RegRoot::Users},
        {HKeyPerformanceData, RegRoot::PerformanceData},
        {HKeyCurrentConfig, RegRoot::CurrentConfig},
        {HKeyDynData, RegRoot::DynData},
    };
    for (const auto& [root, handle] : roots) {
        EXPECT_EQ(RootKeyHandle(root), handle);
        EXPECT_EQ(static_cast<uint32_t>(RootKeyHandle(root)), 0x80000000u + root);
    }
    EXPECT_EQ(KeyAccessMask(kaWrite), 0x20006u);
    EXPECT_EQ(KeyAccessMask(kaRead), 0x20019u);
    EXPECT_EQ(KeyAccessMask(kaExecute), 0x20019u);
    EXPECT_EQ(KeyAccessMask(kaAccessAll), 0xF003Fu);
}

TEST_F(RegManagerTest, RootKeyMovesTheRegistryObjectAtOnce)
{
    reg.SetRootKey(HKeyLocalMachine);
    EXPECT_EQ(reg.Registry().RootKey(), RegRoot::LocalMachine);
    reg.WriteString("", "Caminho D37", "C:\\Destino");
    EXPECT_EQ(raw(kPath, "Caminho D37", RegRoot::LocalMachine), RegValue::string("C:\\Destino"));
    EXPECT_FALSE(keyExists(kPath, RegRoot::CurrentUser));
}

TEST_F(RegManagerTest, KeyAccessTakesEffectOnlyWhenLoaded)
{
    reg.WriteString("", "Name", "value");

    reg.SetKeyAccess(kaRead);
    EXPECT_EQ(reg.Registry().Access(), 0xF003Fu) << "stored only, until loading has finished";
    reg.WriteString("", "Name", "still writable");
    EXPECT_EQ(reg.ReadString("", "Name", ""), "still writable");

    reg.Loaded();
    EXPECT_EQ(reg.Registry().Access(), 0x20019u);
    // Read access: the write reaches the system, which refuses it.
    EXPECT_THROW(reg.WriteString("", "Name", "refused"), ERegistryException);
    EXPECT_EQ(reg.ReadString("", "Name", ""), "still writable");

    reg.SetKeyAccess(kaWrite);
    EXPECT_EQ(reg.Registry().Access(), 0x20019u) << "a later change in code does not change the mask";
}

TEST_F(RegManagerTest, WriteOnlyAccessReadsTheDefault)
{
    reg.WriteInteger("", "Count", 5);
    reg.SetKeyAccess(kaWrite);
    reg.Loaded();
    EXPECT_EQ(reg.ReadInteger("", "Count", -1), -1);
    reg.WriteInteger("", "Count", 6);
    EXPECT_EQ(raw(kPath, "Count"), RegValue::dword(6));
}

TEST_F(RegManagerTest, RefusedWriteIsAPlatformRegistryError)
{
    reg.WriteString("", "Name", "value");
    reg.SetKeyAccess(kaRead);
    reg.Loaded();
    EXPECT_THROW(reg.WriteInteger("", "Name", 1), platform::RegistryError);
    EXPECT_FALSE(reg.Registry().HasCurrentKey()) << "the key is closed also when the write raised";
}

// --- Value formats -----------------------------------------------------------------------------------------

struct Layout {
    const char* what;
    std::function<void(TKqRegManager&)> write;
    RegValue stored;
    std::function<void(TKqRegManager&)> readBack; // asserts the value read back
};

TEST_F(RegManagerTest, StoresEachTypeInItsExactLayout)
{
    const Layout cases[] = {
        {"point",
         [](TKqRegManager& r) {
             r.WritePoint("", "V", TPoint{10, -3});
         },
         RegValue::binary(bytes({0x0A, 0, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF})),
         [](TKqRegManager& r) {
             EXPECT_EQ(r.ReadPoint("", "V", TPoint{}), (TPoint{10, -3}));
         }},
        {"rect",
         [](TKqRegManager& r) {
             r.WriteRect("", "V", TRect{1, -2, 300, -40000});
         },
         RegValue::binary(bytes({1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0x2C, 0x01, 0, 0, 0xC0, 0x63, 0xFF, 0xFF})),
         [](TKqRegManager& r) {
             EXPECT_EQ(r.ReadRect("", "V", TRect{}), (TRect{1, -2, 300, -40000}));
         }},
        {"float", [](TKqRegManager& r) { r.WriteFloat("", "V", 1.5); },
         RegValue::binary(bytes({0, 0, 0, 0, 0, 0, 0xF8, 0x3F})),
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadFloat("", "V", 0), 1.5); }},
        {"date-time",
         [](TKqRegManager& r) {
             r.WriteDateTime("", "V", EncodeDateTime({2000, 1, 1, 18, 0, 0, 0}));
         },
         RegValue::binary(bytes({0, 0, 0, 0, 0xD8, 0xD5, 0xE1, 0x40})),
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadDateTime("", "V", 0), 36526.75); }},
        {"date", [](TKqRegManager& r) { r.WriteDate("", "V", EncodeDate(2000, 1, 1)); },
         RegValue::binary(bytes({0, 0, 0, 0, 0xC0, 0xD5, 0xE1, 0x40})),
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadDate("", "V", 0), 36526.0); }},
        {"time before 1899-12-30", [](TKqRegManager& r) { r.WriteTime("", "V", -1.25); },
         RegValue::binary(bytes({0, 0, 0, 0, 0, 0, 0xF4, 0xBF})),
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadTime("", "V", 0), -1.25); }},
        {"integer", [](TKqRegManager& r) { r.WriteInteger("", "V", -2); },
         RegValue{RegType::Dword, bytes({0xFE, 0xFF, 0xFF, 0xFF})},
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadInteger("", "V", 0), -2); }},
        {"colour", [](TKqRegManager& r) { r.WriteColor("", "V", clBtnFace); },
         RegValue{RegType::Dword, bytes({0x0F, 0, 0, 0xFF})},
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadColor("", "V", clNone), clBtnFace); }},
        {"bool true", [](TKqRegManager& r) { r.WriteBool("", "V", true); }, RegValue::dword(1),
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadInteger("", "V", 0), 1); }},
        {"bool false", [](TKqRegManager& r) { r.WriteBool("", "V", false); }, RegValue::dword(0),
         [](TKqRegManager& r) { EXPECT_FALSE(r.ReadBool("", "V", true)); }},
        {"string", [](TKqRegManager& r) { r.WriteString("", "V", "ação"); },
         RegValue{RegType::Sz, bytes({'a', 0, 0xE7, 0, 0xE3, 0, 'o', 0, 0, 0})},
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadString("", "V", "x"), "ação"); }},
        {"binary", [](TKqRegManager& r) { r.WriteBinaryData("", "V", "\x01\x00\x02", 3); },
         RegValue::binary(bytes({1, 0, 2})),
         [](TKqRegManager& r) {
             char buffer[3] = {};
             EXPECT_EQ(r.ReadBinaryData("", "V", buffer, 3), 3);
             EXPECT_EQ(std::string(buffer, 3), bytes({1, 0, 2}));
         }},
        {"empty binary", [](TKqRegManager& r) { r.WriteBinaryData("", "V", nullptr, 0); }, RegValue::binary(""),
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadBinaryData("", "V", nullptr, 0), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        putRaw(kPath, "V", RegValue::string("another type first"));
        c.write(reg);
        EXPECT_EQ(raw(kPath, "V"), c.stored);
        c.readBack(reg);
        EXPECT_FALSE(reg.Registry().HasCurrentKey());
    }
}

TEST_F(RegManagerTest, BoolReadsAnyNonZeroAsTrue)
{
    putRaw(kPath, "B", RegValue::dword(7));
    EXPECT_TRUE(reg.ReadBool("", "B", false));
    putRaw(kPath, "B", RegValue::dword(0x80000000u));
    EXPECT_TRUE(reg.ReadBool("", "B", false));
}

TEST_F(RegManagerTest, TheDefaultValueIsAddressedByTheEmptyName)
{
    reg.WriteString("", "", "default value");
    EXPECT_EQ(raw(kPath, ""), RegValue::string("default value"));
    EXPECT_EQ(reg.ReadString("", "", ""), "default value");
}

TEST_F(RegManagerTest, ReadsOfAnotherTypeGiveTheDefault)
{
    struct Mismatch {
        const char* what;
        RegValue stored;
        std::function<void(TKqRegManager&)> check;
    };
    const Mismatch cases[] = {
        {"expand string as string", RegValue::string("%TEMP%", RegType::ExpandSz),
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadString("", "V", "dflt"), "dflt"); }},
        {"multi string as string", RegValue::multiString({"a", "b"}),
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadString("", "V", "dflt"), "dflt"); }},
        {"dword as string", RegValue::dword(1),
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadString("", "V", "dflt"), "dflt"); }},
        {"dword as float", RegValue::dword(1), [](TKqRegManager& r) { EXPECT_EQ(r.ReadFloat("", "V", 2.5), 2.5); }},
        {"string as date", RegValue::string("2000-01-01"),
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadDate("", "V", 7.0), 7.0); }},
        {"string as integer", RegValue::string("12"),
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadInteger("", "V", -9), -9); }},
        {"qword as integer", RegValue{RegType::Qword, bytes({1, 0, 0, 0, 0, 0, 0, 0})},
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadInteger("", "V", -9), -9); }},
        {"8-byte binary as colour", RegValue::binary(std::string(8, '\1')),
         [](TKqRegManager& r) { EXPECT_EQ(r.ReadColor("", "V", clRed), clRed); }},
        {"4-byte binary as bool", RegValue::binary(bytes({1, 0, 0, 0})),
         [](TKqRegManager& r) { EXPECT_TRUE(r.ReadBool("", "V", true)); }},
        {"dword as point", RegValue::dword(1),
         [](TKqRegManager& r) {
             EXPECT_EQ(r.ReadPoint("", "V", TPoint{4, 5}), (TPoint{4, 5}));
         }},
        {"string as binary data", RegValue::string("abc"),
         [](TKqRegManager& r) {
             char buffer[16];
             EXPECT_EQ(r.ReadBinaryData("", "V", buffer, 16), -1);
         }},
        {"dword as font", RegValue::dword(1),
         [](TKqRegManager& r) { EXPECT_FALSE(r.TryReadFont("", "V").has_value()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        putRaw(kPath, "V", c.stored);
        c.check(reg);
        EXPECT_FALSE(reg.Registry().HasCurrentKey());
    }
}

TEST_F(RegManagerTest, MissingValuesAndKeysGiveTheDefault)
{
    EXPECT_EQ(reg.ReadString("", "Missing", "dflt"), "dflt");
    EXPECT_EQ(reg.ReadInteger("Sub", "Missing", 42), 42);
    EXPECT_EQ(reg.ReadRect("", "Missing", TRect{1, 2, 3, 4}), (TRect{1, 2, 3, 4}));
    char buffer[4];
    EXPECT_EQ(reg.ReadBinaryData("", "Missing", buffer, 4), -1);
    reg.SetAutoCreate(false);
    EXPECT_EQ(reg.ReadFloat("Nowhere", "Missing", 0.25), 0.25);
    EXPECT_EQ(reg.ReadBinaryData("Nowhere", "Missing", buffer, 4), -1);
}

TEST_F(RegManagerTest, ShortPointRectAndFontRecordsCountAsMissing)
{
    putRaw(kPath, "P", RegValue::binary(bytes({1, 0, 0, 0})));
    EXPECT_EQ(reg.ReadPoint("", "P", TPoint{7, 8}), (TPoint{7, 8}));
    putRaw(kPath, "R", RegValue::binary(std::string(8, '\0')));
    EXPECT_EQ(reg.ReadRect("", "R", TRect{1, 1, 2, 2}), (TRect{1, 1, 2, 2}));
    putRaw(kPath, "F", RegValue::binary(std::string(67, '\0')));
    EXPECT_FALSE(reg.TryReadFont("", "F").has_value());
}

// --- Errors that reach the caller --------------------------------------------------------------------------

TEST_F(RegManagerTest, BinaryValueLargerThanTheBufferRaises)
{
    putRaw(kPath, "V", RegValue::binary(std::string(10, '\x5A')));
    char buffer[12] = {};
    EXPECT_THROW(reg.ReadBinaryData("", "V", buffer, 9), ERegistryException);
    EXPECT_FALSE(reg.Registry().HasCurrentKey());
    EXPECT_EQ(reg.ReadBinaryData("", "V", buffer, 10), 10);
    EXPECT_EQ(reg.ReadBinaryData("", "V", buffer, 12), 10);
    EXPECT_EQ(std::string(buffer, 10), std::string(10, '\x5A'));
    EXPECT_THROW(reg.ReadBinaryData("", "V", buffer, -1), ERegistryException);

    putRaw(kPath, "P", RegValue::binary(std::string(9, '\0')));
    EXPECT_THROW(reg.ReadPoint("", "P", TPoint{}), ERegistryException);
    putRaw(kPath, "R", RegValue::binary(std::string(17, '\0')));
    EXPECT_THROW(reg.ReadRect("", "R", TRect{}), ERegistryException);
    putRaw(kPath, "F", RegValue::binary(std::string(69, '\0')));
    EXPECT_THROW(reg.ReadFont("", "F", nullptr), ERegistryException);
}

TEST_F(RegManagerTest, BinaryOfOtherThanEightBytesReadAsNumberRaises)
{
    for (int size : {0, 4, 9, 16}) {
        SCOPED_TRACE(size);
        putRaw(kPath, "V", RegValue::binary(std::string(size, '\0')));
        EXPECT_THROW(reg.ReadFloat("", "V", 0), ERegistryException);
        EXPECT_THROW(reg.ReadDate("", "V", 0), ERegistryException);
        EXPECT_THROW(reg.ReadTime("", "V", 0), ERegistryException);
        EXPECT_THROW(reg.ReadDateTime("", "V", 0), ERegistryException);
        EXPECT_FALSE(reg.Registry().HasCurrentKey());
    }
}

// --- Key paths ---------------------------------------------------------------------------------------------

TEST_F(RegManagerTest, ComposesKeyAndSubKey)
{
    struct Case {
        std::string_view key, subKey, composed;
    };
    const Case cases[] = {
        {"\\SOFTWARE\\A", "", "\\SOFTWARE\\A"},           {"\\SOFTWARE\\A", "B", "\\SOFTWARE\\A\\B"},
        {"\\SOFTWARE\\A\\", "B", "\\SOFTWARE\\A\\B"},     {"\\SOFTWARE\\A", "\\B", "\\SOFTWARE\\A\\\\B"},
        {"\\SOFTWARE\\A\\", "\\B", "\\SOFTWARE\\A\\\\B"}, {"SOFTWARE\\A", "B\\C", "SOFTWARE\\A\\B\\C"},
    };
    for (const auto& c : cases) {
        reg.SetKey(c.key);
        EXPECT_EQ(reg.ComposedPath(c.subKey), c.composed) << c.key << " + " << c.subKey;
    }
}

TEST_F(RegManagerTest, TrailingBackslashAndRelativeKeyAddressTheSameKey)
{
    reg.SetKey("\\SOFTWARE\\A");
    reg.WriteInteger("B", "One", 1);
    reg.SetKey("\\SOFTWARE\\A\\");
    reg.WriteInteger("B", "Two", 2);
    reg.SetKey("SOFTWARE\\A"); // no key is open between operations: relative to the root as well
    reg.WriteInteger("B", "Three", 3);

    EXPECT_EQ(raw("SOFTWARE\\A\\B", "One"), RegValue::dword(1));
    EXPECT_EQ(raw("SOFTWARE\\A\\B", "Two"), RegValue::dword(2));
    EXPECT_EQ(raw("SOFTWARE\\A\\B", "Three"), RegValue::dword(3));
    EXPECT_EQ(reg.ReadInteger("B", "One", 0), 1);
}

TEST_F(RegManagerTest, DoubledBackslashNamesNoKey)
{
    reg.SetKey("\\SOFTWARE\\A");
    reg.WriteString("\\B", "V", "lost");
    EXPECT_FALSE(keyExists("SOFTWARE\\A\\B"));
    EXPECT_FALSE(keyExists("SOFTWARE\\A"));
    EXPECT_EQ(reg.ReadString("\\B", "V", "dflt"), "dflt");
    EXPECT_FALSE(reg.ValueExists("\\B", "V"));
    EXPECT_FALSE(reg.SubKeyExists("\\B"));
}

// --- AutoCreate --------------------------------------------------------------------------------------------

TEST_F(RegManagerTest, AutoCreateDecidesWhetherOperationsCreateTheKey)
{
    struct Op {
        const char* what;
        std::function<void(TKqRegManager&)> run;
    };
    const Op ops[] = {
        {"ReadString", [](TKqRegManager& r) { EXPECT_EQ(r.ReadString("Sub", "V", "dflt"), "dflt"); }},
        {"ValueExists", [](TKqRegManager& r) { EXPECT_FALSE(r.ValueExists("Sub", "V")); }},
        {"DeleteValue", [](TKqRegManager& r) { EXPECT_FALSE(r.DeleteValue("Sub", "V")); }},
        {"ReadFont", [](TKqRegManager& r) { EXPECT_FALSE(r.TryReadFont("Sub", "V").has_value()); }},
    };
    for (bool autoCreate : {true, false}) {
        for (const auto& op : ops) {
            SCOPED_TRACE(std::string(op.what) + (autoCreate ? " with AutoCreate" : " without AutoCreate"));
            system.registry().deleteKey(RegRoot::CurrentUser, "SOFTWARE\\Tarvix");
            reg.SetAutoCreate(autoCreate);
            op.run(reg);
            EXPECT_EQ(keyExists(std::string(kPath) + "\\Sub"), autoCreate);
            if (autoCreate) {
                auto key = system.registry().openKey(RegRoot::CurrentUser, std::string(kPath) + "\\Sub",
                                                     platform::KeyAccess::Read, false);
                EXPECT_TRUE(key->valueNames().empty());
                EXPECT_TRUE(key->subKeyNames().empty());
            }
        }
    }
}

TEST_F(RegManagerTest, WritesWithoutAutoCreateDoNothingOnAMissingKey)
{
    reg.SetAutoCreate(false);
    reg.WriteString("", "V", "text");
    reg.WritePoint("", "P", TPoint{1, 2});
    reg.WriteFont("", "F", TKqFontValue());
    EXPECT_FALSE(keyExists(kPath));

    reg.SetAutoCreate(true);
    reg.WriteString("", "V", "first");
    reg.SetAutoCreate(false);
    reg.WriteString("", "V", "second");
    EXPECT_EQ(raw(kPath, "V"), RegValue::string("second"));
}

TEST_F(RegManagerTest, SubKeyExistsNeverCreates)
{
    EXPECT_FALSE(reg.SubKeyExists("Sub"));
    EXPECT_FALSE(reg.SubKeyExists(""));
    EXPECT_FALSE(keyExists(kPath));
    reg.WriteInteger("Sub", "V", 1);
    EXPECT_TRUE(reg.SubKeyExists("Sub"));
    EXPECT_TRUE(reg.SubKeyExists(""));
    EXPECT_TRUE(reg.SubKeyExists("sub")) << "key names match without regard to case";
}

// --- Deletion and listings ---------------------------------------------------------------------------------

TEST_F(RegManagerTest, DeleteSubKeyRemovesTheSubtree)
{
    reg.WriteInteger("A", "V", 1);
    reg.WriteInteger("A\\Deep\\Deeper", "V", 2);
    reg.WriteInteger("B", "V", 3);
    reg.WriteInteger("", "Top", 4);

    EXPECT_TRUE(reg.DeleteSubKey("A"));
    EXPECT_FALSE(keyExists(std::string(kPath) + "\\A"));
    EXPECT_TRUE(keyExists(std::string(kPath) + "\\B"));
    EXPECT_FALSE(reg.DeleteSubKey("A"));

    EXPECT_TRUE(reg.DeleteSubKey(""));
    EXPECT_FALSE(keyExists(kPath));
    EXPECT_TRUE(keyExists("SOFTWARE\\Tarvix"));
}

TEST_F(RegManagerTest, DeleteValue)
{
    reg.WriteString("Sub", "V", "x");
    reg.WriteString("Sub", "W", "y");
    EXPECT_TRUE(reg.ValueExists("Sub", "V"));
    EXPECT_TRUE(reg.DeleteValue("Sub", "V"));
    EXPECT_FALSE(reg.ValueExists("Sub", "V"));
    EXPECT_FALSE(reg.DeleteValue("Sub", "V"));
    EXPECT_TRUE(reg.ValueExists("Sub", "W"));
}

TEST_F(RegManagerTest, ListsTheValuesAndImmediateSubKeysOfKey)
{
    reg.WriteString("", "Alpha", "a");
    reg.WriteInteger("", "Beta", 2);
    reg.WriteInteger("Child1", "V", 1);
    reg.WriteInteger("Child2\\Grandchild", "V", 1);

    std::vector<std::string> names{"stale"};
    ASSERT_TRUE(reg.GetValueNames(names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Beta"}));

    std::vector<std::string> keys{"stale"};
    ASSERT_TRUE(reg.GetKeyNames(keys));
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<std::string>{"Child1", "Child2"}));
    EXPECT_FALSE(reg.Registry().HasCurrentKey());
}

TEST_F(RegManagerTest, ListingsOfAKeyThatCannotBeOpenedLeaveTheListAlone)
{
    reg.SetAutoCreate(false);
    std::vector<std::string> names{"kept"};
    EXPECT_FALSE(reg.GetValueNames(names));
    EXPECT_FALSE(reg.GetKeyNames(names));
    EXPECT_EQ(names, std::vector<std::string>{"kept"});

    reg.SetAutoCreate(true);
    EXPECT_TRUE(reg.GetValueNames(names));
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(keyExists(kPath));
}

// --- Fonts -------------------------------------------------------------------------------------------------

TEST_F(RegManagerTest, FontRecordLayout)
{
    TKqFontValue font;
    font.Charset = 204;
    font.Color = 0x00112233;
    font.Name = "Arial";
    font.Pitch = fpFixed;
    font.Size = 12;
    font.Style = fsBold | fsUnderline;
    reg.WriteFont("", "Font", font);

    std::string expected(68, '\0');
    expected[0] = static_cast<char>(204);
    expected.replace(4, 4, bytes({0x33, 0x22, 0x11, 0x00}));
    expected[8] = 5;
    expected.replace(9, 5, "Arial");
    expected[59] = 2;
    expected.replace(60, 4, bytes({12, 0, 0, 0}));
    expected[64] = 5;
    EXPECT_EQ(raw(kPath, "Font"), RegValue::binary(expected));

    EXPECT_EQ(reg.ReadFont("", "Font", nullptr), font);
}

TEST_F(RegManagerTest, FontFaceNameIsCutToFiftyAnsiBytes)
{
    TKqFontValue font;
    font.Name = std::string(60, 'N');
    font.Size = -11;
    reg.WriteFont("", "Font", font);
    const std::string stored = raw(kPath, "Font")->data;
    ASSERT_EQ(stored.size(), 68u);
    EXPECT_EQ(stored[8], 50);
    EXPECT_EQ(stored.substr(9, 50), std::string(50, 'N'));

    const TKqFontValue back = reg.ReadFont("", "Font", nullptr);
    EXPECT_EQ(back.Name, std::string(50, 'N'));
    EXPECT_EQ(back.Size, -11);
}

TEST_F(RegManagerTest, FontFaceNameTravelsInTheAnsiCodePage)
{
    struct Case {
        std::string_view acp;
        std::string name;
        std::string storedName; // the bytes of the record's name field that count
    };
    const Case cases[] = {
        {"1252", "Fonté ÿ", bytes({'F', 'o', 'n', 't', 0xE9, ' ', 0xFF})},
        {"1251", "Шрифт", bytes({0xD8, 0xF0, 0xE8, 0xF4, 0xF2})},
        // 24 double-byte characters and one more than fits: the cut keeps whole characters only.
        {"932",
         "A" +
             [] {
                 std::string s;
                 for (int i = 0; i < 25; ++i)
                     s += "あ";
                 return s;
             }(),
         "A" +
             [] {
                 std::string s;
                 for (int i = 0; i < 24; ++i)
                     s += "\x82\xA0";
                 return s;
             }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.acp);
        setAnsiCodePage(c.acp);
        TKqFontValue font;
        font.Name = c.name;
        reg.WriteFont("", "Font", font);
        const std::string stored = raw(kPath, "Font")->data;
        ASSERT_EQ(stored.size(), 68u);
        EXPECT_EQ(static_cast<unsigned char>(stored[8]), c.storedName.size());
        EXPECT_EQ(stored.substr(9, c.storedName.size()), c.storedName);
        const TKqFontValue back = reg.ReadFont("", "Font", nullptr);
        EXPECT_EQ(platform::encodeCodePage(back.Name, std::stoi(std::string(c.acp))), c.storedName);
    }
}

TEST_F(RegManagerTest, FontFieldsOnReading)
{
    // Filler bytes carry nothing; a length beyond the field, an unknown pitch and unknown style bits are tamed.
    std::string record(68, '\xAA');
    record[0] = 0;
    record.replace(4, 4, bytes({0xFF, 0, 0, 0}));
    record[8] = static_cast<char>(200);
    record.replace(9, 50, std::string(50, 'x'));
    record[59] = 9;
    record.replace(60, 4, bytes({10, 0, 0, 0}));
    record[64] = static_cast<char>(0xF2);
    putRaw(kPath, "Font", RegValue::binary(record));

    const auto font = reg.TryReadFont("", "Font");
    ASSERT_TRUE(font.has_value());
    EXPECT_EQ(font->Charset, 0);
    EXPECT_EQ(font->Color, clRed);
    EXPECT_EQ(font->Name, std::string(50, 'x'));
    EXPECT_EQ(font->Pitch, fpDefault);
    EXPECT_EQ(font->Size, 10);
    EXPECT_EQ(font->Style, fsItalic);
}

TEST_F(RegManagerTest, MissingFontGivesTheDefaultOrAFontWithDefaultSettings)
{
    TKqFontValue mine;
    mine.Name = "Courier New";
    mine.Size = 14;
    EXPECT_EQ(reg.ReadFont("", "Missing", &mine), mine);
    EXPECT_EQ(reg.ReadFont("", "Missing", nullptr), TKqFontValue());
    EXPECT_EQ(TKqFontValue().Name, "Tahoma");

    reg.WriteFont("", "Stored", TKqFontValue());
    EXPECT_EQ(reg.ReadFont("", "Stored", &mine), TKqFontValue()) << "a stored font wins over the default";
}

} // namespace
} // namespace tarvix
