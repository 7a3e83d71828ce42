// The configuration store: sections as subkeys of one key, string values, the 32-bit registry view.
#include "ideservices/ide_config_store.h"

#include <gtest/gtest.h>

#include "ideservices/ide_errors.h"
#include "tests/support/sandbox_system.h"

using namespace tarvix;
using platform::RegRoot;
namespace KeyAccess = platform::KeyAccess;

namespace {

class ConfigStoreTest : public ::testing::Test {
protected:
    platform::Registry& registry() { return sandbox_.system().registry(); }
    test::SandboxSystem sandbox_;
};

TEST_F(ConfigStoreTest, ReadsAndWritesSectionsOfItsKey)
{
    const std::string key = "SOFTWARE\\Embarcadero\\BDS\\37.0";
    ASSERT_FALSE(registry().keyExists(RegRoot::CurrentUser, key));
    TIdeConfigStore store(RegRoot::CurrentUser, "\\" + key);
    EXPECT_TRUE(registry().keyExists(RegRoot::CurrentUser, key)) << "created when missing";
    EXPECT_EQ(store.Key(), key);

    EXPECT_EQ(store.ReadString("Library\\Win32", "Search Path", "none"), "none");
    EXPECT_FALSE(store.SectionExists("Library\\Win32"));
    EXPECT_TRUE(store.ReadSection("Library\\Win32").empty());

    store.WriteString("Library\\Win32", "Search Path", "C:\\A;C:\\B");
    store.WriteString("Library\\Win32", "Browsing Path", "");
    EXPECT_TRUE(store.SectionExists("Library\\Win32"));
    EXPECT_TRUE(store.SectionExists("Library"));
    EXPECT_EQ(store.ReadString("Library\\Win32", "search path"), "C:\\A;C:\\B");
    EXPECT_TRUE(store.ValueExists("Library\\Win32", "Browsing Path"));
    EXPECT_EQ(store.ReadSection("Library\\Win32"), (std::vector<std::string>{"Browsing Path", "Search Path"}));
    const auto stored = registry().openKey(RegRoot::CurrentUser, key + "\\Library\\Win32", KeyAccess::Read, false);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->value("Search Path"), platform::RegValue::string("C:\\A;C:\\B"));

    // The empty section is the key itself.
    store.WriteString("", "Language", "EN");
    EXPECT_EQ(store.ReadString("", "Language"), "EN");
    EXPECT_EQ(store.ReadSectionValues("").size(), 1u);

    store.DeleteKey("Library\\Win32", "Search Path");
    store.DeleteKey("Library\\Win32", "Search Path");
    store.DeleteKey("Missing", "Search Path");
    EXPECT_FALSE(store.ValueExists("Library\\Win32", "Search Path"));
    EXPECT_EQ(store.ReadSection("Library\\Win32"), std::vector<std::string>{"Browsing Path"});
}

TEST_F(ConfigStoreTest, ReadsStringsAndNumbersOnly)
{
    TIdeConfigStore store(RegRoot::CurrentUser, "Software\\Test");
    auto key = registry().openKey(RegRoot::CurrentUser, "Software\\Test\\Values", KeyAccess::AllAccess, true);
    key->writeString("Expand", "%BDS%\\bin", platform::RegType::ExpandSz);
    key->writeDword("Number", 42);
    key->setValue("Bytes", platform::RegValue::binary("\x01\x02"));
    EXPECT_EQ(store.ReadString("Values", "Expand"), "%BDS%\\bin") << "as stored, not expanded";
    EXPECT_EQ(store.ReadString("Values", "Number"), "42");
    EXPECT_EQ(store.ReadString("Values", "Bytes", "default"), "default");
    EXPECT_EQ(store.ReadSectionValues("Values"),
              (TIdeNameValueList{{"Bytes", ""}, {"Expand", "%BDS%\\bin"}, {"Number", "42"}}));
}

TEST_F(ConfigStoreTest, UsesThe32BitViewForMachineKeys)
{
    TIdeConfigStore store(RegRoot::LocalMachine, "SOFTWARE\\Embarcadero\\BDS\\37.0");
    store.WriteString("Globals", "RootDir", "C:\\IDE\\");
    EXPECT_TRUE(registry().keyExists(RegRoot::LocalMachine, "SOFTWARE\\Wow6432Node\\Embarcadero\\BDS\\37.0\\Globals"));
    EXPECT_FALSE(registry().keyExists(RegRoot::LocalMachine, "SOFTWARE\\Embarcadero\\BDS\\37.0"));
    EXPECT_EQ(store.ReadString("Globals", "RootDir"), "C:\\IDE\\");
}

TEST_F(ConfigStoreTest, RefusesAKeyOfAnotherRoot)
{
    EXPECT_THROW(TIdeConfigStore(RegRoot::CurrentUser, "HKEY_LOCAL_MACHINE\\SOFTWARE\\X"), EIdeRegistryError);
    TIdeConfigStore own(RegRoot::CurrentUser, "HKEY_CURRENT_USER\\SOFTWARE\\X");
    EXPECT_EQ(own.Key(), "SOFTWARE\\X");
}

} // namespace
