// The pieces of the library paths that need no installation: platform names, path lists and folder equality,
// $(Name) expansion, path substitution and the rsvars.bat reader.
#include "ideservices/ide_library_paths.h"

#include <gtest/gtest.h>

#include "ideservices/ide_errors.h"
#include "tests/support/sandbox_system.h"

using namespace tarvix;
using enum TIdeBDSPlatform;

namespace {

TEST(PlatformNames, EveryPlatformHasItsNameAndAnUnknownOneRaises)
{
    const std::vector<std::pair<TIdeBDSPlatform, const char*>> names = {
        {bpWin32, "Win32"},
        {bpWin32c, "Win32"},
        {bpWin64, "Win64"},
        {bpWin64x, "Win64x"},
        {bpOSX32, "OSX32"},
        {bpOSX64, "OSX64"},
        {bpAndroid32, "Android32"},
        {bpAndroid64, "Android64"},
        {bpiOSDevice32, "iOSDevice32"},
        {bpiOSDevice64, "iOSDevice64"},
        {bpiOSSimulator, "iOSSimulator"},
        {bpLinux64, "Linux64"},
    };
    for (const auto& [platform, name] : names)
        EXPECT_EQ(PlatformName(platform), name);
    try {
        PlatformName(static_cast<TIdeBDSPlatform>(12));
        ADD_FAILURE() << "no error for a platform outside the list";
    } catch (const EIdeBorRADException& e) {
        EXPECT_STREQ(e.what(), "This installation cannot generate binaries for an unknown platform");
    }
    EXPECT_THROW(RequiredPersonalities(static_cast<TIdeBDSPlatform>(-1)), EIdeBorRADException);
}

TEST(PathLists, SplitKeepsEmptyElementsAndJoinGivesTheTextBack)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a;;b", {"a", "", "b"}},
        {";", {"", ""}},
        {"C:\\A;", {"C:\\A", ""}},
        {";$(BDS)\\lib;", {"", "$(BDS)\\lib", ""}},
    };
    for (const auto& [text, elements] : cases) {
        EXPECT_EQ(SplitPathList(text), elements) << text;
        EXPECT_EQ(JoinPathList(SplitPathList(text)), text);
    }
}

TEST(AdjustPathForWin64X, TheFirstWin64ComponentBecomesWin64x)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\Comps\\Win64\\Release", "C:\\Comps\\win64x\\Release"},
        {"C:\\Comps\\WIN64", "C:\\Comps\\win64x"},
        {"$(BDSLIB)\\win64\\release;x", "$(BDSLIB)\\win64x\\release;x"},
        {"C:\\A\\Win64\\B\\Win64", "C:\\A\\win64x\\B\\Win64"},
        // Already the C++ platform's folder, or no component of that name: unchanged.
        {"C:\\Comps\\Win64x\\Release", "C:\\Comps\\Win64x\\Release"},
        {"C:\\Win64Libs\\Win64\\Release", "C:\\Win64Libs\\win64x\\Release"},
        {"C:\\Comps\\Win32\\Release", "C:\\Comps\\Win32\\Release"},
        {"", ""},
    };
    for (const auto& [folder, adjusted] : cases)
        EXPECT_EQ(AdjustPathForWin64X(folder), adjusted) << folder;
}

TEST(VariableLists, SetDeletesOnEmptyPutKeepsAndNamesIgnoreCase)
{
    TIdeNameValueList list = {{"BDS", "C:\\IDE"}, {"Path", "C:\\bin"}};
    EXPECT_EQ(IndexOfVariable(list, "bds"), 0);
    EXPECT_EQ(IndexOfVariable(list, "BDSLIB"), -1);
    EXPECT_EQ(VariableValue(list, "PATH"), "C:\\bin");
    SetVariable(list, "path", "D:\\bin");
    EXPECT_EQ(list[1], (std::pair<std::string, std::string>("Path", "D:\\bin"))) << "changed in place, name kept";
    SetVariable(list, "BDSLIB", "C:\\IDE\\lib");
    EXPECT_EQ(list.back().first, "BDSLIB");
    SetVariable(list, "Bds", "");
    EXPECT_EQ(IndexOfVariable(list, "BDS"), -1) << "an empty value deletes";
    SetVariable(list, "Missing", "");
    EXPECT_EQ(list.size(), 2u);
    PutVariable(list, "PLATFORM", "");
    PutVariable(list, "bdslib", "");
    EXPECT_EQ(list, (TIdeNameValueList{{"Path", "D:\\bin"}, {"BDSLIB", ""}, {"PLATFORM", ""}}));
}

TEST(ExpandVariables, ReplacesKnownReferencesFromTheLastOneAndStopsAtAnUnknownOne)
{
    const TIdeNameValueList vars = {{"BDS", "C:\\IDE"},    {"BDSLIB", "$(BDS)\\lib"}, {"Empty", ""},
                                    {"Platform", "Win32"}, {"Inner", "BDS"},          {"Self", "$(Self)\\x"},
                                    {"(odd)", "odd value"}};
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"$(BDS)\\bin", "C:\\IDE\\bin"},
        {"$(bds)\\bin;$(BDS)\\lib", "C:\\IDE\\bin;C:\\IDE\\lib"},
        {"$(BDSLIB)\\$(Platform)", "C:\\IDE\\lib\\Win32"}, // a value with references is expanded in turn
        {"$($(Inner))", "C:\\IDE"},                        // the inner reference first
        {"$(Unknown)\\$(BDS)", "$(Unknown)\\C:\\IDE"},     // the last one is expanded before the stop
        {"$(BDS)\\$(Unknown)", "$(BDS)\\$(Unknown)"},      // stops at the first name without a value
        {"$(Empty)\\$(BDS)", "$(Empty)\\C:\\IDE"},
        {"$(BDS)\\$(", "C:\\IDE\\$("}, // an unclosed reference stays
        {"no references", "no references"},
        {"$('(odd)')", "$('(odd)')"}, // the quoted ")" does not close, the name is unknown
    };
    for (const auto& [text, expanded] : cases)
        EXPECT_EQ(ExpandVariables(text, vars), expanded) << text;
    // A value that brings its own reference back ends after a bounded number of steps.
    const std::string endless = ExpandVariables("$(Self)", vars);
    EXPECT_TRUE(endless.starts_with("$(Self)\\x\\x"));
}

TEST(SubstituteVariables, ReplacesEveryVariableAndCollapsesDoubledBackslashes)
{
    const TIdeNameValueList vars = {{"BDS", "C:\\IDE\\"}, {"BDSCOMMONDIR", "\\\\server\\share\\Studio"}};
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"$(BDS)\\bin", "C:\\IDE\\bin"},
        {"$(bds)\\bin;$(BDS)lib", "C:\\IDE\\bin;C:\\IDE\\lib"},
        {"$(Unknown)\\bin", "$(Unknown)\\bin"},
        // The collapse runs on every path, references or not.
        {"C:\\A\\\\B", "C:\\A\\B"},
        {"C:\\A\\\\\\B", "C:\\A\\\\B"},
        // A network path keeps its leading pair, also when it comes from a variable.
        {"\\\\server\\share\\\\Bpl", "\\\\server\\share\\Bpl"},
        {"$(BDSCOMMONDIR)\\Bpl", "\\\\server\\share\\Studio\\Bpl"},
        {"", ""},
    };
    for (const auto& [path, substituted] : cases)
        EXPECT_EQ(SubstituteVariables(path, vars), substituted) << path;
}

// Only the variables that occur count towards the limit of an expansion: a long environment reaches the last one.
TEST(SubstituteVariables, AVariableFarDownALongListIsStillSubstituted)
{
    TIdeNameValueList vars;
    for (int i = 0; i < 3000; ++i)
        vars.emplace_back("V" + std::to_string(i), "v" + std::to_string(i));
    EXPECT_EQ(SubstituteVariables("$(V0)\\$(V2999)", vars), "v0\\v2999");
}

TEST(RadStudioVars, OnlySetLinesWithANameDefineVariables)
{
    struct Case {
        const char* what;
        std::string text;
        TIdeNameValueList expected;
    };
    const std::vector<Case> cases = {
        {"at sign and upper case", "@SET BDS=C:\\IDE\r\n", {{"BDS", "C:\\IDE"}}},
        {"blanks, tabs and several at signs", " \t@ @set\t X=1\r\n", {{"X", "1"}}},
        {"mixed case", "SeT x=1", {{"x", "1"}}},
        {"REM before set", "REM set X=1\r\n", {}},
        {"echo", "@echo off\r\n", {}},
        {"another word starting with set", "setx X=1\r\n", {}},
        {"a shorter word", "se X=1\r\n", {}},
        {"no equals sign", "@SET X\r\n", {}},
        {"empty name", "@SET =1\r\n", {}},
        {"empty value kept", "@SET PLATFORM=\r\n", {{"PLATFORM", ""}}},
        {"value kept as written", "set X = a b \r\n", {{"X ", " a b "}}},
        {"the value may hold =", "set X=a=b", {{"X", "a=b"}}},
        {"references to earlier lines",
         "@SET BDS=C:\\IDE\r\n@SET P=%BDS%\\bin;%bds%\\bin64\r\n",
         {{"BDS", "C:\\IDE"}, {"P", "C:\\IDE\\bin;C:\\IDE\\bin64"}}},
        {"unknown names are empty", "@SET P=%FrameworkDir%;%PATH%;x\r\n", {{"P", ";;x"}}},
        {"unclosed percent takes the rest as the name",
         "@SET A=1\r\n@SET B=x%A\r\n@SET C=y%Z\r\n",
         {{"A", "1"}, {"B", "x1"}, {"C", "y"}}},
        {"names ignore case: a later line replaces", "@SET Path=a\r\n@SET PATH=%path%;b\r\n", {{"Path", "a;b"}}},
        {"LF and CR line ends", "set A=1\nset B=2\rset C=3", {{"A", "1"}, {"B", "2"}, {"C", "3"}}},
        {"blank lines", "\r\n\r\n@SET A=1\r\n\r\n", {{"A", "1"}}},
    };
    for (const auto& c : cases) {
        TIdeNameValueList list;
        ParseRADStudioVars(c.text, list);
        EXPECT_EQ(list, c.expected) << c.what;
    }
    // Lines add to what the list holds.
    TIdeNameValueList list = {{"BDS", "C:\\Old"}};
    ParseRADStudioVars("@SET LIB=%BDS%\\lib\r\n@SET bds=C:\\New\r\n", list);
    EXPECT_EQ(list, (TIdeNameValueList{{"BDS", "C:\\New"}, {"LIB", "C:\\Old\\lib"}}));
}

// Folder equality and merging look at the folders of a sandbox prefix.
class FolderLists : public ::testing::Test {
protected:
    void SetUp() override
    {
        sandbox_.builder().makeFolder("C:\\Comps\\Lib");
        sandbox_.builder().makeFolder("C:\\users\\ana\\Júlia");
    }
    test::SandboxSystem sandbox_;
};

TEST_F(FolderLists, FoldersAreEqualByTheirLongNamesIgnoringCase)
{
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const std::vector<Case> cases = {
        {"C:\\Comps\\Lib", "c:\\COMPS\\lib", true},
        {"C:\\Comps\\Lib", "C:\\Comps\\.\\Lib", true}, // the long form resolves the path
        {"C:\\Comps\\Lib", "C:\\Comps\\Other\\..\\Lib", true},
        {"C:\\Missing\\Lib", "c:\\missing\\LIB", true}, // names that do not exist compare as written
        {"C:\\Missing\\.\\Lib", "C:\\Missing\\Lib", false},
        {"C:\\users\\ana\\Júlia", "C:\\USERS\\ANA\\JÚLIA", true},
        {"C:\\Missing\\Ação", "c:\\missing\\AÇÃO", true}, // case beyond ASCII, also for missing folders
        {"$(BDS)\\lib", "$(bds)\\LIB", true},
        {"C:\\Comps\\Lib", "C:\\Comps\\Lib2", false},
        {"C:\\Comps\\Lib", "C:\\Comps\\Lib\\", true},   // one trailing backslash names the same folder
        {"C:\\Tarvix\\D37", "c:\\tarvix\\d37\\", true}, // ... also for a folder that does not exist yet
        {"C:\\", "c:\\", true},                         // a drive root keeps its backslash
        {"C:\\Comps", "C:\\Comps\\Lib\\", false},
        {"", "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SameFolder(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST_F(FolderLists, MergeAppendsOnlyFoldersThatAreNotThereYet)
{
    struct Case {
        const char* what;
        const char* current;
        const char* path;
        const char* merged;
    };
    const std::vector<Case> cases = {
        {"same folder in another case", "$(BDSLIB)\\$(Platform)\\release;c:\\comps\\lib", "C:\\Comps\\Lib",
         "$(BDSLIB)\\$(Platform)\\release;c:\\comps\\lib"},
        {"one of two present", "$(BDS)\\lib;C:\\B", "C:\\A;C:\\B", "$(BDS)\\lib;C:\\B;C:\\A"},
        {"appended in order", "x", "C:\\A;C:\\B", "x;C:\\A;C:\\B"},
        {"a repeat in the new list is added once", "x", "C:\\A;c:\\a;C:\\A", "x;C:\\A"},
        {"empty current path", "", "C:\\A", "C:\\A"},
        {"empty elements of the current path stay, repeats too", "a;;a", "C:\\A", "a;;a;C:\\A"},
        {"empty elements of the new list name no folder", "a", ";C:\\A;;", "a;C:\\A"},
        {"nothing new", "C:\\A", "c:\\a", "C:\\A"},
        {"nothing new with a trailing backslash", "C:\\Tarvix\\D37", "c:\\tarvix\\d37\\", "C:\\Tarvix\\D37"},
        {"nor without one", "$(BDS)\\lib;C:\\Tarvix\\D37\\", "C:\\Tarvix\\D37", "$(BDS)\\lib;C:\\Tarvix\\D37\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MergePathList(c.current, c.path), c.merged) << c.what;
}

TEST_F(FolderLists, RsvarsFileIsReadInTheAnsiCodePageOrAsUtf8WithAMark)
{
    // Wine's English prefix: code page 1252, where 0xE9 is "é".
    sandbox_.builder().writeFile("C:\\IDE\\bin\\rsvars.bat", "@SET BDS=C:\\Caf\xE9\r\n");
    sandbox_.builder().writeFile("C:\\IDE\\bin\\rsvars-utf8.bat", "\xEF\xBB\xBF@SET BDS=C:\\Café\r\n");
    TIdeNameValueList ansi, utf8, none;
    GetRADStudioVars("C:\\IDE\\bin\\rsvars.bat", ansi);
    GetRADStudioVars("C:\\IDE\\bin\\rsvars-utf8.bat", utf8);
    GetRADStudioVars("C:\\IDE\\bin\\missing.bat", none);
    EXPECT_EQ(ansi, (TIdeNameValueList{{"BDS", "C:\\Café"}}));
    EXPECT_EQ(utf8, (TIdeNameValueList{{"BDS", "C:\\Café"}}));
    EXPECT_TRUE(none.empty());
}

} // namespace
