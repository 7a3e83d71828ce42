// Evaluation of MSBuild documents held in memory: property groups, conditions, choose blocks, references, raw
// values and the errors of each element rule.
#include "ideservices/ide_errors.h"
#include "ideservices/ide_msbuild_parser.h"
#include "tests/ideservices/msbuild_test_util.h"

#include <gtest/gtest.h>

namespace tarvix {
namespace {

using test::MsBuildFromText;
using test::MsBuildProject;

// An unconditional group, then a group for Win32 only, as the IDE writes its options.
const std::string kPlatformGroups = MsBuildProject(
    "<PropertyGroup><DelphiLibraryPath>A</DelphiLibraryPath></PropertyGroup>"
    "<PropertyGroup Condition=\"'$(Platform)'=='Win32'\"><DelphiLibraryPath>B</DelphiLibraryPath></PropertyGroup>");

std::unique_ptr<TIdeMsBuildParser> ParsedFor(const std::string& xml, const std::string& platform)
{
    auto parser = MsBuildFromText(xml);
    if (!platform.empty())
        parser->Properties().GlobalProperties().SetValues("Platform", platform);
    parser->Parse();
    return parser;
}

struct PlatformCase {
    std::string platform;
    std::string expected;
};

class PlatformGroups : public ::testing::TestWithParam<PlatformCase> {};

TEST_P(PlatformGroups, TheGroupActiveForThePlatformGivesEvaluatedAndRawValue)
{
    auto parser = ParsedFor(kPlatformGroups, GetParam().platform);
    EXPECT_EQ(parser->Properties().Values("DelphiLibraryPath"), GetParam().expected);
    EXPECT_EQ(parser->GetRawValue("delphilibrarypath"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PlatformGroups,
                         ::testing::Values(PlatformCase{"Win32", "B"}, PlatformCase{"Win64", "A"},
                                           // the comparison is exact: "win32" is another platform
                                           PlatformCase{"win32", "A"}, PlatformCase{"", "A"}));

TEST(RawValues, SetRawValueChangesTheElementActiveForThePlatform)
{
    auto parser = ParsedFor(kPlatformGroups, "Win32");
    parser->SetRawValue("DelphiLibraryPath", "B;C:\\Lib");
    pugi::xml_node root = parser->Xml().document_element();
    pugi::xml_node first = root.child("PropertyGroup");
    EXPECT_STREQ(first.child("DelphiLibraryPath").text().get(), "A");
    EXPECT_STREQ(first.next_sibling("PropertyGroup").child("DelphiLibraryPath").text().get(), "B;C:\\Lib");
    // The evaluated value stays what the file said when it was parsed.
    EXPECT_EQ(parser->Properties().Values("DelphiLibraryPath"), "B");
    EXPECT_EQ(parser->GetRawValue("DelphiLibraryPath"), "B;C:\\Lib");

    auto win64 = ParsedFor(kPlatformGroups, "Win64");
    win64->SetRawValue("DelphiLibraryPath", "X");
    EXPECT_STREQ(win64->Xml().document_element().child("PropertyGroup").child("DelphiLibraryPath").text().get(), "X");
}

TEST(RawValues, RawTextKeepsReferencesAndEntitiesAreDecoded)
{
    auto parser =
        ParsedFor(MsBuildProject("<PropertyGroup><BDSLIB>C:\\IDE\\lib</BDSLIB>"
                                 "<DelphiLibraryPath>$(BDSLIB)\\$(Platform)\\release;a&amp;b&#59;c</DelphiLibraryPath>"
                                 "</PropertyGroup>"),
                  "Win32");
    EXPECT_EQ(parser->GetRawValue("DelphiLibraryPath"), "$(BDSLIB)\\$(Platform)\\release;a&b;c");
    EXPECT_EQ(parser->Properties().Values("DelphiLibraryPath"), "C:\\IDE\\lib\\Win32\\release;a&b;c");
}

TEST(RawValues, PropertiesWithoutAnElementOfTheMainFileHaveNoRawValue)
{
    auto parser = MsBuildFromText(MsBuildProject("<PropertyGroup><InFile>x</InFile></PropertyGroup>"));
    parser->Properties().ReservedProperties().Add("MSBuildNodeCount", "1");
    parser->Properties().GlobalProperties().Add("Platform", "Win32");
    parser->Properties().EnvironmentProperties().Add("BDS", "C:\\IDE");
    parser->Parse();
    for (const char* name : {"MSBuildNodeCount", "Platform", "BDS", "Undefined"}) {
        EXPECT_NE(name == std::string("Undefined"), !parser->Properties().Values(name).empty()) << name;
        EXPECT_EQ(parser->GetRawValue(name), "") << name;
    }
    EXPECT_EQ(parser->GetRawValue("InFile"), "x");
}

TEST(RawValues, AnEmptyPropertyIsRemovedSoSetRawValueAppendsANewElement)
{
    auto parser = ParsedFor(MsBuildProject("<PropertyGroup><Other>1</Other></PropertyGroup>"
                                           "<PropertyGroup><P>value</P><P></P></PropertyGroup>"),
                            "Win32");
    EXPECT_EQ(parser->Properties().IndexOfName("P"), -1);
    EXPECT_EQ(parser->GetRawValue("P"), "");
    parser->SetRawValue("P", "new");
    pugi::xml_node root = parser->Xml().document_element();
    pugi::xml_node first = root.child("PropertyGroup");
    EXPECT_STREQ(first.last_child().name(), "P");
    EXPECT_STREQ(first.last_child().text().get(), "new");
    // The emptied elements of the second group are left as they are.
    pugi::xml_node second = first.next_sibling("PropertyGroup");
    EXPECT_STREQ(second.first_child().text().get(), "value");
    EXPECT_TRUE(second.last_child().text().empty());
}

TEST(RawValues, ALaterDefinitionInTheMainFileTakesOverTheAttachment)
{
    auto parser = ParsedFor(MsBuildProject("<PropertyGroup><P>one</P></PropertyGroup>"
                                           "<PropertyGroup Condition=\"false\"><P>skipped</P></PropertyGroup>"
                                           "<PropertyGroup><P Condition=\"'a'=='b'\">not this</P><P>two</P>"
                                           "</PropertyGroup>"),
                            "");
    EXPECT_EQ(parser->GetRawValue("P"), "two");
    parser->SetRawValue("P", "three");
    EXPECT_STREQ(parser->Xml().document_element().last_child().last_child().text().get(), "three");
}

TEST(RawValues, SettingEmptyRawTextLeavesAnEmptyElement)
{
    auto parser = ParsedFor(MsBuildProject("<PropertyGroup><P>one<!--note--></P></PropertyGroup>"), "");
    parser->SetRawValue("P", "");
    pugi::xml_node p = parser->Xml().document_element().child("PropertyGroup").child("P");
    ASSERT_TRUE(p.first_child());
    EXPECT_EQ(p.first_child().type(), pugi::node_comment);
    EXPECT_FALSE(p.first_child().next_sibling());
}

TEST(RawValues, SetRawValueNeedsAPropertyGroupAndAUsableName)
{
    auto noGroup = ParsedFor(MsBuildProject("<ItemGroup/>"), "");
    try {
        noGroup->SetRawValue("DelphiLibraryPath", "x");
        FAIL();
    } catch (const EIdeMsBuildError& e) {
        EXPECT_STREQ(e.what(), "Unable to locate the XML element for MSBuild property \"DelphiLibraryPath\"");
    }
    auto parser = ParsedFor(MsBuildProject("<PropertyGroup/>"), "");
    EXPECT_THROW(parser->SetRawValue("two words", "x"), EIdeMsBuildError);
    EXPECT_THROW(parser->SetRawValue("", "x"), EIdeMsBuildError);
    EXPECT_THROW(parser->SetRawValue("1st", "x"), EIdeMsBuildError);
    EXPECT_FALSE(parser->Xml().document_element().child("PropertyGroup").first_child());
}

TEST(RawValues, TheFirstPropertyGroupIsTheFirstOfTheMainFileWhateverItsCondition)
{
    auto parser = ParsedFor(MsBuildProject("<Choose><When Condition=\"true\"><PropertyGroup><A>1</A></PropertyGroup>"
                                           "</When></Choose>"
                                           "<PropertyGroup Condition=\"'$(Platform)'=='Win64'\"/>"
                                           "<PropertyGroup/>"),
                            "Win32");
    parser->SetRawValue("New", "v");
    pugi::xml_node groups = parser->Xml().document_element().child("PropertyGroup");
    EXPECT_EQ(parser->FirstPropertyGroup(), groups);
    EXPECT_STREQ(groups.child("New").text().get(), "v");
}

TEST(Evaluation, ReferencesToEnvironmentAndUndefinedProperties)
{
    auto parser = MsBuildFromText(
        MsBuildProject("<PropertyGroup><Lib>$(BDS)\\lib</Lib><None>[$(NotDefinedAnywhere)]</None><Hex>0x1F</Hex>"
                       "<HexRef>$(HexText)</HexRef><Text>0xGG</Text></PropertyGroup>"));
    parser->Properties().EnvironmentProperties().Add("BDS", "C:\\Program Files (x86)\\Embarcadero\\Studio\\37.0");
    parser->Properties().EnvironmentProperties().Add("HexText", "0x10");
    parser->Parse();
    EXPECT_EQ(parser->Properties().Values("Lib"), "C:\\Program Files (x86)\\Embarcadero\\Studio\\37.0\\lib");
    EXPECT_EQ(parser->Properties().Values("None"), "[]");
    EXPECT_EQ(parser->Properties().Values("Hex"), "31");
    EXPECT_EQ(parser->Properties().Values("HexRef"), "16");
    EXPECT_EQ(parser->Properties().Values("Text"), "0xGG");
}

TEST(Evaluation, PropertiesBuildOnEarlierDefinitions)
{
    auto parser = ParsedFor(MsBuildProject("<PropertyGroup><P>a</P><P>$(P);b</P><P>$(p);c</P></PropertyGroup>"), "");
    EXPECT_EQ(parser->Properties().Values("P"), "a;b;c");
    EXPECT_EQ(parser->GetRawValue("P"), "$(p);c");
}

TEST(Evaluation, AFileValueOverridesTheEnvironmentButNotAGlobal)
{
    auto parser = MsBuildFromText(MsBuildProject("<PropertyGroup><BDS>D:\\Mine</BDS><Platform>Win64</Platform>"
                                                 "</PropertyGroup>"));
    parser->Properties().EnvironmentProperties().Add("BDS", "C:\\IDE");
    parser->Properties().GlobalProperties().Add("Platform", "Win32");
    parser->Parse();
    EXPECT_EQ(parser->Properties().Values("BDS"), "D:\\Mine");
    EXPECT_EQ(parser->Properties().EnvironmentProperties().Values("BDS"), "C:\\IDE");
    EXPECT_EQ(parser->Properties().Values("Platform"), "Win32");
}

struct ExpandCase {
    const char* text;
    const char* expected;
};

class Expansion : public ::testing::TestWithParam<ExpandCase> {
protected:
    void SetUp() override
    {
        parser = MsBuildFromText(MsBuildProject(""));
        auto& env = parser->Properties().EnvironmentProperties();
        env.Add("A", "1");
        env.Add("B", "$(A)2"); // a value that holds a reference is expanded too
        env.Add("Name", "A");
        env.Add("Paren", "x)y");
        env.Add("Weird.Name-1", "w");
    }
    std::unique_ptr<TIdeMsBuildParser> parser;
};

TEST_P(Expansion, Expands)
{
    EXPECT_EQ(parser->EvaluateString(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Expansion,
                         ::testing::Values(ExpandCase{"plain text", "plain text"}, ExpandCase{"$(A)", "1"},
                                           ExpandCase{"$(a)-$(A)-$(a)", "1-1-1"}, ExpandCase{"$(B)", "12"},
                                           ExpandCase{"$($(Name))", "1"}, // the inner reference goes first
                                           ExpandCase{"$(Paren)", "x)y"}, // values are not scanned for the closing ")"
                                           ExpandCase{"$(Weird.Name-1)", "w"}, ExpandCase{"$()", ""},
                                           ExpandCase{"$(Missing)", ""}, ExpandCase{"$(A", "$(A"}, // no ")": left alone
                                           ExpandCase{"$(A) $(", "1 $("},
                                           ExpandCase{"$(A.Replace('1', ')'))z", "z"}, // a property function: ignored
                                           ExpandCase{"$([System.IO.Path]::Combine('a','b'))", ""},
                                           ExpandCase{"[@(Compile)]", "[]"}, // item lists are empty
                                           ExpandCase{"@(A->'%(FullPath)')", ""}, ExpandCase{"0x$(A)F", "31"},
                                           ExpandCase{"0xFFFFFFFFFFFFFFFF", "-1"}, ExpandCase{"0x", "0x"},
                                           ExpandCase{"0X1F", "0X1F"}));

TEST(Evaluation, FunctionPropertiesRaiseWhenNotIgnored)
{
    auto parser = MsBuildFromText(MsBuildProject(""));
    parser->SetIgnoreFunctionProperties(false);
    try {
        parser->EvaluateString("a$(X.Trim())");
        FAIL();
    } catch (const EIdeMsBuildError& e) {
        EXPECT_STREQ(e.what(), "Unable to evaluate function property \"X.Trim()\"");
    }
    parser->OnFunctionProperty = [](TIdeMsBuildParser&, const std::string& command, std::string& value) {
        value = "<" + command + ">";
        return true;
    };
    EXPECT_EQ(parser->EvaluateString("a$(X.Trim())"), "a<X.Trim()>");
}

TEST(Evaluation, SelfReferencingExpansionStopsWithAnError)
{
    for (const char* value : {"$(Loop)", "x$(Loop)", "$(Loop)$(Loop)", "$(Other)"}) {
        auto parser = MsBuildFromText(MsBuildProject(""));
        parser->Properties().EnvironmentProperties().Add("Loop", value);
        parser->Properties().EnvironmentProperties().Add("Other", "[$(Loop)]");
        try {
            parser->EvaluateString("start $(Loop) end");
            FAIL() << value;
        } catch (const EIdeMsBuildError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind("Endless expansion of \"$(", 0), 0u) << message;
            EXPECT_NE(message.find(" in \"start $(Loop) end\""), std::string::npos) << message;
        }
    }
}

TEST(Evaluation, ManyDistinctReferencesAreNotMistakenForALoop)
{
    auto parser = MsBuildFromText(MsBuildProject(""));
    std::string text, expected;
    for (int i = 0; i < 500; ++i) {
        parser->Properties().EnvironmentProperties().Add("P" + std::to_string(i), std::to_string(i));
        text += "$(P" + std::to_string(i) + ");";
        expected += std::to_string(i) + ";";
    }
    EXPECT_EQ(parser->EvaluateString(text), expected);
}

TEST(Evaluation, RegistryPropertiesNameAKnownRootKey)
{
    auto parser = MsBuildFromText(MsBuildProject(""));
    try {
        parser->EvaluateString("$(registry:HKEY_NOWHERE\\Software\\X@Value)");
        FAIL();
    } catch (const EIdeMsBuildError& e) {
        EXPECT_STREQ(e.what(), "\"HKEY_NOWHERE\" does not match RootKey");
    }
    std::vector<std::string> asked;
    parser->OnRegistryProperty = [&](TIdeMsBuildParser&, const std::string& root, const std::string& path,
                                     const std::string& name, std::string& value) {
        asked.push_back(root + "|" + path + "|" + name);
        value = "answered";
        return true;
    };
    EXPECT_EQ(parser->EvaluateString("$(Registry:HKEY_LOCAL_MACHINE\\Software\\A B@Version)/"
                                     "$(registry:HKCU\\Software\\Key)"),
              "answered/answered");
    EXPECT_EQ(asked, (std::vector<std::string>{"HKCU|Software\\Key|", "HKEY_LOCAL_MACHINE|Software\\A B|Version"}));
}

TEST(Choose, OnlyTheFirstWhenThatHoldsApplies)
{
    auto parser = ParsedFor(MsBuildProject(R"(
        <Choose>
          <When Condition="'$(Platform)'=='Win32'"><PropertyGroup><P>first</P><First>1</First></PropertyGroup></When>
          <When Condition="true"><PropertyGroup><P>second</P><Second>1</Second></PropertyGroup></When>
          <Otherwise><PropertyGroup><P>otherwise</P></PropertyGroup></Otherwise>
        </Choose>)"),
                            "Win32");
    EXPECT_EQ(parser->Properties().Values("P"), "first");
    EXPECT_EQ(parser->Properties().Values("Second"), "");
}

TEST(Choose, LaterWhenConditionsAreNotEvaluated)
{
    // A condition that would raise is never read once a block has applied.
    auto parser = ParsedFor(MsBuildProject(R"(<Choose><When Condition="true"><PropertyGroup><P>1</P></PropertyGroup>
        </When><When Condition="'a' &lt; 'b'"/></Choose>)"),
                            "");
    EXPECT_EQ(parser->Properties().Values("P"), "1");
}

TEST(Choose, OtherwiseAppliesWhenNoWhenHolds)
{
    auto parser = ParsedFor(MsBuildProject(R"(
        <Choose>
          <When Condition="'$(Platform)'=='Win32'"><PropertyGroup><P>win32</P></PropertyGroup></When>
          <Otherwise>
            <!-- nested blocks are evaluated in order -->
            <PropertyGroup><P>other</P></PropertyGroup>
            <ItemGroup><Compile Include="a.pas"/></ItemGroup>
            <Choose><When Condition="'$(P)'=='other'"><PropertyGroup><Nested>yes</Nested></PropertyGroup></When>
            </Choose>
          </Otherwise>
        </Choose>)"),
                            "Win64");
    EXPECT_EQ(parser->Properties().Values("P"), "other");
    EXPECT_EQ(parser->Properties().Values("Nested"), "yes");
}

TEST(Project, RootAttributesAndSkippedElements)
{
    std::vector<std::string> reported;
    auto parser = MsBuildFromText(R"xml(<?xml version="1.0" encoding="utf-8"?>
<!-- options -->
<Project xmlns="http://schemas.microsoft.com/developer/msbuild/2003" ToolsVersion="$(V).0"
         DefaultTargets="Build;;$(Extra)" InitialTargets="Init">
  <PropertyGroup><V>12</V><Extra>Deploy</Extra></PropertyGroup>
  <ItemDefinitionGroup><Compile><Opt>1</Opt></Compile></ItemDefinitionGroup>
  <ItemGroup><DelphiCompile Include="$(MainSource)"><MainSource>MainSource</MainSource></DelphiCompile></ItemGroup>
  <Target Name="Build" DependsOnTargets="Init"><Message Text="hi"/></Target>
  <UsingTask TaskName="X" AssemblyFile="x.dll"/>
  <ProjectExtensions><Borland.Personality>Delphi.Personality.12</Borland.Personality></ProjectExtensions>
</Project>)xml");
    parser->Properties().EnvironmentProperties().Add("V", "9");
    parser->Properties().EnvironmentProperties().Add("Extra", "Pre");
    parser->OnToolsVersion = [&](TIdeMsBuildParser&, const std::string& version) { reported.push_back(version); };
    parser->Parse();
    // Root attributes are evaluated before the children.
    EXPECT_EQ(parser->ToolsVersion(), "9.0");
    EXPECT_EQ(reported, std::vector<std::string>{"9.0"});
    EXPECT_EQ(parser->DefaultTargets(), (std::vector<std::string>{"Build", "Pre"}));
    EXPECT_EQ(parser->InitialTargets(), std::vector<std::string>{"Init"});
    EXPECT_EQ(parser->Properties().ReservedProperties().Values("MSBuildProjectDefaultTargets"), "Build;Pre");
    ASSERT_TRUE(parser->ProjectExtensions());
    EXPECT_STREQ(parser->ProjectExtensions().first_child().name(), "Borland.Personality");
    EXPECT_EQ(parser->Properties().Values("V"), "12");
}

TEST(Project, ExtraImportsAreInsertedFirstInOrder)
{
    auto parser = TIdeMsBuildParser::FromBytes(test::kEnvOptionsName, MsBuildProject("<PropertyGroup/>"),
                                               {"C:\\a.proj", "C:\\b&c.proj"}, TIdeXmlEncoding::seAuto, 65001);
    pugi::xml_node root = parser->Xml().document_element();
    pugi::xml_node first = root.first_child();
    EXPECT_STREQ(first.name(), "Import");
    EXPECT_STREQ(first.attribute("Project").value(), "C:\\a.proj");
    EXPECT_STREQ(first.next_sibling().attribute("Project").value(), "C:\\b&c.proj");
    EXPECT_STREQ(first.next_sibling().next_sibling().name(), "PropertyGroup");
}

TEST(Project, ImportsCanBeSuppliedByTheImportEvent)
{
    auto parser = MsBuildFromText(MsBuildProject(
        "<PropertyGroup><Dir>Sub</Dir></PropertyGroup>"
        "<Import Project=\"$(Dir)\\..\\Common\\env.proj\"/>"
        "<ImportGroup Condition=\"'$(FromImport)'=='yes'\"><Import Project=\"C:\\second.proj\"/></ImportGroup>"
        "<ImportGroup Condition=\"false\"><Import Project=\"C:\\never.proj\"/></ImportGroup>"
        "<Import Project=\"C:\\never.proj\" Condition=\"'$(FromImport)'=='no'\"/>"
        "<PropertyGroup><Main>$(FromImport)/$(Second)</Main></PropertyGroup>"));
    std::vector<std::string> asked;
    std::vector<std::unique_ptr<pugi::xml_document>> kept;
    parser->OnImport = [&](TIdeMsBuildParser& sender, const std::string& fileName, bool& owns) {
        asked.push_back(fileName);
        auto doc = std::make_unique<pugi::xml_document>();
        std::string body = fileName == "C:\\second.proj"
                               ? "<PropertyGroup><Second>2</Second></PropertyGroup>"
                               : "<PropertyGroup><FromImport>yes</FromImport><Main>imported</Main></PropertyGroup>";
        doc->load_string(MsBuildProject(body).c_str());
        EXPECT_EQ(sender.CurrentFileName(), test::kEnvOptionsName);
        if (fileName == "C:\\second.proj") {
            owns = true;
            return doc.release();
        }
        owns = false;
        kept.push_back(std::move(doc));
        return kept.back().get();
    };
    parser->Parse();
    EXPECT_EQ(asked,
              (std::vector<std::string>{"C:\\users\\ana\\AppData\\Roaming\\Embarcadero\\BDS\\37.0\\Common\\env.proj",
                                        "C:\\second.proj"}));
    EXPECT_EQ(parser->Properties().Values("Main"), "yes/2");
    // Only elements of the main file carry raw values; the first group is the main file's.
    EXPECT_EQ(parser->GetRawValue("FromImport"), "");
    EXPECT_EQ(parser->GetRawValue("Main"), "$(FromImport)/$(Second)");
    EXPECT_STREQ(parser->FirstPropertyGroup().first_child().name(), "Dir");
    EXPECT_EQ(parser->CurrentFileName(), test::kEnvOptionsName);
}

TEST(Project, AnImportOfItselfIsRefused)
{
    auto parser = MsBuildFromText(MsBuildProject("<Import Project=\"loop.proj\"/>"), "C:\\p\\loop.proj");
    pugi::xml_document same;
    same.load_string(MsBuildProject("<Import Project=\"loop.proj\"/>").c_str());
    parser->OnImport = [&](TIdeMsBuildParser&, const std::string&, bool& owns) {
        owns = false;
        return &same;
    };
    try {
        parser->Parse();
        FAIL();
    } catch (const EIdeMsBuildError& e) {
        EXPECT_STREQ(e.what(), "Circular import of \"C:\\p\\loop.proj\"");
    }
}

TEST(Project, MergeEnvironmentPropertiesReplacesOnlyKnownNamesWithValues)
{
    auto parser = MsBuildFromText(MsBuildProject(""));
    auto& env = parser->Properties().EnvironmentProperties();
    env.Add("BDS", "C:\\Old");
    env.Add("PATH", "C:\\windows");
    env.Add("TEMP", "C:\\temp");
    parser->MergeEnvironmentProperties({{"bds", "C:\\IDE"}, {"PATH", ""}, {"BDSLIB", "C:\\IDE\\lib"}});
    EXPECT_EQ(env.ToPairs(), (TIdeNameValueList{{"BDS", "C:\\IDE"}, {"PATH", "C:\\windows"}, {"TEMP", "C:\\temp"}}));
}

struct ErrorCase {
    const char* name;
    std::string xml;
    const char* message;
};

class ElementErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ElementErrors, Raise)
{
    auto parser = MsBuildFromText(GetParam().xml);
    parser->Properties().ReservedProperties().Add("MSBuildProjectName", "EnvOptions");
    try {
        parser->Parse();
        FAIL() << "no error";
    } catch (const EIdeMsBuildError& e) {
        EXPECT_STREQ(e.what(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ElementErrors,
    ::testing::Values(
        ErrorCase{"NotAProject", "<project/>", "Project element expected, got \"project\""},
        ErrorCase{"Schema", "<Project xmlns=\"http://example.com/other\"/>",
                  "Unknown schema \"http://example.com/other\""},
        ErrorCase{"ProjectAttribute", "<Project Sdk=\"x\"/>", "Unknown property \"Sdk\""},
        ErrorCase{"RootChild", MsBuildProject("<PropertyGroups/>"), "Unknown element \"PropertyGroups\""},
        ErrorCase{"RootText", MsBuildProject("stray"), "Unsupported child type \"Text\" in element \"Project\""},
        ErrorCase{"Extensions", MsBuildProject("<ProjectExtensions/><ProjectExtensions/>"),
                  "Multiple project extensions"},
        ErrorCase{"GroupAttribute", MsBuildProject("<PropertyGroup Label=\"x\"/>"), "Unknown property \"Label\""},
        ErrorCase{"PropertyAttribute", MsBuildProject("<PropertyGroup><P Include=\"x\"/></PropertyGroup>"),
                  "Unknown property \"Include\""},
        ErrorCase{"PropertyChild", MsBuildProject("<PropertyGroup><P>a<Q/></P></PropertyGroup>"),
                  "Unknown element \"Q\""},
        ErrorCase{"PropertyCData", MsBuildProject("<PropertyGroup><P><![CDATA[x]]></P></PropertyGroup>"),
                  "Unsupported child type \"CData\" in element \"P\""},
        ErrorCase{"Reserved",
                  MsBuildProject("<PropertyGroup><MSBuildProjectName>x</MSBuildProjectName></PropertyGroup>"),
                  "Attempt to override or to delete a reserved MsBuild property"},
        ErrorCase{"ChooseAttribute", MsBuildProject("<Choose Condition=\"true\"/>"), "Unknown property \"Condition\""},
        ErrorCase{"WhenWithout", MsBuildProject("<Choose><When/></Choose>"), "Condition is not unique"},
        ErrorCase{"WhenTwice", MsBuildProject("<Choose><When Condition=\"true\" Label=\"x\"/></Choose>"),
                  "Condition is not unique"},
        ErrorCase{"WhenOther", MsBuildProject("<Choose><When Label=\"x\"/></Choose>"), "Unknown property \"Label\""},
        ErrorCase{"Otherwise", MsBuildProject("<Choose><Otherwise/><Otherwise/></Choose>"), "Multiple otherwise"},
        ErrorCase{"ChooseChild", MsBuildProject("<Choose><PropertyGroup/></Choose>"),
                  "Unknown element \"PropertyGroup\""},
        ErrorCase{"WhenChild",
                  MsBuildProject("<Choose><When Condition=\"true\"><Import Project=\"x\"/></When></Choose>"),
                  "Unknown element \"Import\""},
        ErrorCase{"ImportAttribute", MsBuildProject("<Import Project=\"x\" Sdk=\"y\"/>"), "Unknown property \"Sdk\""},
        ErrorCase{"ImportGroupChild", MsBuildProject("<ImportGroup><PropertyGroup/></ImportGroup>"),
                  "Unknown element \"PropertyGroup\""},
        ErrorCase{"Condition", MsBuildProject("<PropertyGroup Condition=\"'$(A)'=='x\"/>"),
                  "Invalid condition: end of string in condition \"'$(A)'=='x\""},
        ErrorCase{"ItemList", MsBuildProject("<PropertyGroup><P>@(Compile</P></PropertyGroup>"),
                  "Invalid condition: end of string in condition \"@(Compile\""}),
    [](const ::testing::TestParamInfo<ErrorCase>& c) { return std::string(c.param.name); });

TEST(Project, ElementNamesCompareWithExactCase)
{
    EXPECT_THROW(MsBuildFromText(MsBuildProject("<propertygroup/>"))->Parse(), EIdeMsBuildError);
    EXPECT_THROW(MsBuildFromText(MsBuildProject("<PropertyGroup condition=\"true\"/>"))->Parse(), EIdeMsBuildError);
}

TEST(Project, AFalseGroupIsNotCheckedFurther)
{
    auto parser =
        ParsedFor(MsBuildProject("<PropertyGroup Condition=\"false\"><P Bad=\"x\"><Q/></P></PropertyGroup>"), "");
    EXPECT_EQ(parser->Properties().Count(), 0);
}

TEST(Project, MalformedXmlNamesFileLineAndColumn)
{
    try {
        MsBuildFromText("<Project>\n  <PropertyGroup>\n  </Property>\n</Project>", "C:\\x.proj");
        FAIL();
    } catch (const EIdeXmlError& e) {
        EXPECT_NE(std::string(e.what()).find("XML error in file \"C:\\x.proj\" at line 3"), std::string::npos)
            << e.what();
    }
}

} // namespace
} // namespace tarvix
