// TRegistry on its own: the current key and how paths resolve against it, failed opens, and the errors its
// typed reads and writes raise.
#include "components/kq_registry.h"

#include "platform/wine/wine_prefix.h"
#include "tests/platform/reg_value_printer.h"
#include "tests/platform/sandbox_prefix.h"

#include <gtest/gtest.h>

namespace tarvix {
namespace {

using platform::RegRoot;
using platform::RegValue;
namespace WinError = platform::WinError;

class RegistryTest : public ::testing::Test {
protected:
    std::optional<RegValue> raw(std::string_view path, std::string_view name)
    {
        auto key = system.registry().openKey(RegRoot::CurrentUser, path, platform::KeyAccess::Read, false);
        return key ? key->value(name) : std::nullopt;
    }

    test::SandboxPrefix sandbox;
    platform::WinePrefix system{sandbox.path()};
    TRegistry registry{platform::KeyAccess::AllAccess, &system.registry()};
};

TEST_F(RegistryTest, RelativePathsResolveAgainstTheCurrentKey)
{
    ASSERT_TRUE(registry.OpenKey("\\Software\\Tarvix", true));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Tarvix");
    ASSERT_TRUE(registry.OpenKey("Child", true));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Tarvix\\Child");
    registry.WriteInteger("V", 1);
    EXPECT_EQ(raw("Software\\Tarvix\\Child", "V"), RegValue::dword(1));

    EXPECT_TRUE(registry.KeyExists("\\Software\\Tarvix"));
    EXPECT_FALSE(registry.KeyExists("Tarvix")) << "relative to the open key: Software\\Tarvix\\Child\\Tarvix";

    registry.CloseKey();
    EXPECT_FALSE(registry.HasCurrentKey());
    EXPECT_TRUE(registry.KeyExists("Software\\Tarvix")) << "with no key open, relative to the root";
}

TEST_F(RegistryTest, FailedOpenKeepsThePreviousKeyAndTellsWhy)
{
    ASSERT_TRUE(registry.OpenKey("\\Software\\Kept", true));
    EXPECT_FALSE(registry.OpenKey("\\Software\\Missing", false));
    EXPECT_EQ(registry.LastError(), WinError::FileNotFound);
    EXPECT_EQ(registry.CurrentPath(), "Software\\Kept");
    EXPECT_FALSE(registry.OpenKey("\\Software\\\\Doubled", true));
    EXPECT_EQ(registry.LastError(), WinError::BadPathName);
    EXPECT_FALSE(registry.KeyExists("\\Software\\Missing"));
    ASSERT_TRUE(registry.OpenKey("\\Software\\Kept", false));
    EXPECT_EQ(registry.LastError(), WinError::Success);
}

TEST_F(RegistryTest, ChangingTheRootClosesTheKey)
{
    ASSERT_TRUE(registry.OpenKey("\\Software\\Tarvix", true));
    registry.SetRootKey(RegRoot::LocalMachine);
    EXPECT_FALSE(registry.HasCurrentKey());
    EXPECT_FALSE(registry.KeyExists("\\Software\\Tarvix"));
}

TEST_F(RegistryTest, TypedReadsRaiseOnMissingValuesAndOtherTypes)
{
    ASSERT_TRUE(registry.OpenKey("\\Software\\Tarvix", true));
    registry.WriteExpandString("Expand", "%TEMP%");
    registry.WriteInteger("Int", 5);
    registry.WriteBinaryData("Bin", "\x01\x02", 2);

    EXPECT_EQ(registry.ReadString("Expand"), "%TEMP%") << "nothing is expanded";
    EXPECT_EQ(registry.GetDataType("Expand"), platform::RegType::ExpandSz);
    EXPECT_EQ(registry.GetDataSize("Int"), 4);
    EXPECT_EQ(registry.GetDataSize("Missing"), -1);
    EXPECT_THROW(registry.ReadInteger("Missing"), ERegistryException);
    EXPECT_THROW(registry.ReadInteger("Bin"), ERegistryException);
    EXPECT_THROW(registry.ReadString("Int"), ERegistryException);
    char buffer[8];
    EXPECT_THROW(registry.ReadBinaryData("Int", buffer, sizeof buffer), ERegistryException);
    EXPECT_THROW(registry.ReadFloat("Bin"), ERegistryException);
    EXPECT_EQ(registry.ReadBinaryData("Bin", buffer, 2), 2u);
}

TEST_F(RegistryTest, WithoutAnOpenKeyValuesAreNotThereAndWritesRaise)
{
    EXPECT_FALSE(registry.ValueExists("V"));
    EXPECT_FALSE(registry.DeleteValue("V"));
    EXPECT_TRUE(registry.GetValueNames().empty());
    EXPECT_THROW(registry.WriteString("V", "x"), ERegistryException);
    EXPECT_THROW(registry.ReadString("V"), ERegistryException);
}

TEST_F(RegistryTest, RefusalsOfTheSystemBecomeRegistryExceptions)
{
    ASSERT_TRUE(registry.OpenKey("\\Software\\Tarvix", true));
    registry.SetAccess(platform::KeyAccess::Read);
    ASSERT_TRUE(registry.OpenKey("\\Software\\Tarvix", false));
    try {
        registry.WriteString("V", "x");
        FAIL() << "the write went through";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.code(), WinError::AccessDenied);
    }
}

TEST_F(RegistryTest, AHiveThatCannotBeReadFailsTheOpenButRaisesElsewhere)
{
    sandbox.writeHive("user.reg", "[Software\\\\Tarvix] 1700000000\nthis is no value line\n");
    EXPECT_FALSE(registry.OpenKey("\\Software\\Tarvix", true));
    EXPECT_NE(registry.LastError(), WinError::Success);
    EXPECT_THROW(registry.KeyExists("\\Software\\Tarvix"), ERegistryException);
}

} // namespace
} // namespace tarvix
