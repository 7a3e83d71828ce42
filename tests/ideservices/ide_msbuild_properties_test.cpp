// The four property layers of the MSBuild evaluator: lookup order and the rules for changing values.
#include "ideservices/ide_errors.h"
#include "ideservices/ide_msbuild_properties.h"

#include <gtest/gtest.h>

namespace tarvix {
namespace {

// One property of each layer, all named "Shared" in different case, plus one private name per layer.
class LayeredProperties : public ::testing::Test {
protected:
    void SetUp() override
    {
        P.ReservedProperties().Add("MSBuildNodeCount", "1");
        P.ReservedProperties().Add("SHARED", "reserved");
        P.GlobalProperties().Add("Platform", "Win32");
        P.GlobalProperties().Add("Shared", "global");
        P.CustomProperties().Add("First", "c1");
        P.CustomProperties().Add("shared", "custom");
        P.CustomProperties().Add("Last", "c3");
        P.EnvironmentProperties().Add("BDS", "C:\\IDE");
        P.EnvironmentProperties().Add("sHARED", "environment");
    }
    TIdeMsBuildProperties P;
};

TEST_F(LayeredProperties, CombinedListRunsThroughTheLayersInOrder)
{
    ASSERT_EQ(P.Count(), 9);
    std::vector<std::string> names;
    for (int i = 0; i < P.Count(); ++i)
        names.push_back(P.Names(i));
    EXPECT_EQ(names, (std::vector<std::string>{"MSBuildNodeCount", "SHARED", "Platform", "Shared", "First", "shared",
                                               "Last", "BDS", "sHARED"}));
    EXPECT_EQ(P.ValueFromIndex(7), "C:\\IDE");
    EXPECT_THROW(P.Names(9), std::out_of_range);
}

TEST_F(LayeredProperties, LookupIgnoresCaseAndTheEarlierLayerHidesTheLater)
{
    EXPECT_EQ(P.IndexOfName("shared"), 1);
    EXPECT_EQ(P.Values("Shared"), "reserved");
    EXPECT_EQ(P.Values("PLATFORM"), "Win32");
    EXPECT_EQ(P.Values("bds"), "C:\\IDE");
    EXPECT_EQ(P.Values("Missing"), "");
    EXPECT_EQ(P.IndexOfName("Missing"), -1);

    P.ReservedProperties().Delete(1);
    EXPECT_EQ(P.Values("shared"), "global");
    P.GlobalProperties().Delete(1);
    EXPECT_EQ(P.Values("shared"), "custom");
    P.CustomProperties().Delete(1);
    EXPECT_EQ(P.Values("shared"), "environment");
}

TEST_F(LayeredProperties, ReservedPropertiesCannotBeChangedOrDeleted)
{
    for (const char* value : {"2", ""}) {
        try {
            P.SetValues("msbuildnodecount", value);
            FAIL() << "no error for value '" << value << "'";
        } catch (const EIdeMsBuildError& e) {
            EXPECT_STREQ(e.what(), "Attempt to override or to delete a reserved MsBuild property");
        }
    }
    EXPECT_THROW(P.Delete(0), EIdeMsBuildError);
    EXPECT_EQ(P.Values("MSBuildNodeCount"), "1");
}

TEST_F(LayeredProperties, GlobalPropertiesKeepTheirValueSilently)
{
    P.SetValues("platform", "Win64");
    P.SetValues("Platform", "");
    P.Delete(2);
    EXPECT_EQ(P.Values("Platform"), "Win32");
    EXPECT_EQ(P.GlobalProperties().Count(), 2);
}

TEST_F(LayeredProperties, CustomPropertiesChangeInPlaceAndKeepTheirElement)
{
    pugi::xml_document doc;
    pugi::xml_node element = doc.append_child("First");
    P.CustomProperties().SetObjects(0, element);
    P.SetValues("FIRST", "changed");
    EXPECT_EQ(P.CustomProperties().Names(0), "First");
    EXPECT_EQ(P.CustomProperties().ValueFromIndex(0), "changed");
    EXPECT_EQ(P.Element("first"), element);
    EXPECT_EQ(P.CustomProperties().Count(), 3);
}

TEST_F(LayeredProperties, AnEmptyValueDeletesAndAnEmptyPropertyIsUndefined)
{
    P.SetValues("First", "");
    EXPECT_EQ(P.CustomProperties().IndexOfName("First"), -1);
    EXPECT_EQ(P.IndexOfName("First"), -1);
    P.SetValues("NeverDefined", "");
    EXPECT_EQ(P.IndexOfName("NeverDefined"), -1);
    EXPECT_EQ(P.CustomProperties().Count(), 2);
}

TEST_F(LayeredProperties, SettingAnEnvironmentPropertyAddsACustomEntryThatHidesIt)
{
    P.SetValues("bds", "D:\\Other");
    EXPECT_EQ(P.Values("BDS"), "D:\\Other");
    ASSERT_EQ(P.CustomProperties().Count(), 4);
    EXPECT_EQ(P.CustomProperties().Names(3), "bds");
    EXPECT_EQ(P.EnvironmentProperties().Values("BDS"), "C:\\IDE"); // still there, hidden
    // Deleting the custom entry shows the environment's again.
    P.SetValues("BDS", "");
    EXPECT_EQ(P.Values("BDS"), "C:\\IDE");
}

TEST_F(LayeredProperties, AnEmptyValueDeletesAnEnvironmentProperty)
{
    P.SetValues("BDS", "");
    EXPECT_EQ(P.EnvironmentProperties().IndexOfName("BDS"), -1);
    EXPECT_EQ(P.CustomProperties().Count(), 3);
    EXPECT_EQ(P.Values("BDS"), "");
}

TEST_F(LayeredProperties, ANewNameGoesToTheCustomLayer)
{
    P.SetValues("DelphiLibraryPath", "C:\\Lib");
    EXPECT_EQ(P.CustomProperties().Names(3), "DelphiLibraryPath");
    EXPECT_EQ(P.IndexOfName("delphilibrarypath"), 7);
    EXPECT_EQ(P.Count(), 10);
}

TEST(PropertyList, AssignKeepsEntriesWithEmptyValues)
{
    TIdeMsBuildPropertyList list;
    list.Assign({{"BDS", "C:\\IDE"}, {"EMPTY", ""}});
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.IndexOfName("empty"), 1);
    EXPECT_EQ(list.ToPairs(), (TIdeNameValueList{{"BDS", "C:\\IDE"}, {"EMPTY", ""}}));
}

} // namespace
} // namespace tarvix
