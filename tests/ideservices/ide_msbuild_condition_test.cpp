// Conditions of the MSBuild evaluator.
#include "ideservices/ide_errors.h"
#include "ideservices/ide_msbuild_parser.h"
#include "tests/ideservices/msbuild_test_util.h"

#include <gtest/gtest.h>

namespace tarvix {
namespace {

class Conditions : public ::testing::Test {
protected:
    void SetUp() override
    {
        parser = test::MsBuildFromText(test::MsBuildProject(""));
        auto& p = parser->Properties();
        p.GlobalProperties().Add("Platform", "Win32");
        p.EnvironmentProperties().Add("Config", "Debug");
        p.EnvironmentProperties().Add("Count", "12");
        p.EnvironmentProperties().Add("Dir", "C:\\IDE\\");
        p.EnvironmentProperties().Add("Flag", "true");
        p.EnvironmentProperties().Add("Hex", "0x0A");
    }
    std::unique_ptr<TIdeMsBuildParser> parser;
};

struct ConditionCase {
    const char* condition;
    bool expected;
};

class ConditionValues : public Conditions, public ::testing::WithParamInterface<ConditionCase> {};

TEST_P(ConditionValues, Evaluate)
{
    EXPECT_EQ(parser->ParseCondition(GetParam().condition), GetParam().expected) << GetParam().condition;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConditionValues,
    ::testing::Values(ConditionCase{"", true}, ConditionCase{"   ", true},
                      // comparisons of text are exact
                      ConditionCase{"'$(Platform)'=='Win32'", true}, ConditionCase{"'$(Platform)'=='win32'", false},
                      ConditionCase{"'$(Platform)' != 'Win64'", true}, ConditionCase{"'$(Undefined)'==''", true},
                      ConditionCase{"'$(Config)|$(Platform)'=='Debug|Win32'", true},
                      ConditionCase{"$(Platform)=='Win32'", true}, ConditionCase{"'Win32'==Win32", true},
                      // numbers, also hexadecimal after expansion
                      ConditionCase{"$(Count) > 9", true}, ConditionCase{"'$(Count)' < '9'", false},
                      ConditionCase{"$(Count) >= 12", true}, ConditionCase{"$(Count)<=11", false},
                      ConditionCase{"'$(Hex)' == '10'", true}, ConditionCase{"-3 < 2", true},
                      // Booleans and numbers as Booleans, any case
                      ConditionCase{"true", true}, ConditionCase{"FALSE", false}, ConditionCase{"'$(Flag)'", true},
                      ConditionCase{"1", true}, ConditionCase{"0", false}, ConditionCase{"'-7'", true},
                      // negation
                      ConditionCase{"!false", true}, ConditionCase{"!'$(Flag)'", false},
                      ConditionCase{"!('$(Platform)'=='Win32')", false}, ConditionCase{"!!true", true},
                      // and/or strictly from left to right: "true or false and false" is (true or false) and false
                      ConditionCase{"true or false and false", false}, ConditionCase{"true or (false and false)", true},
                      ConditionCase{"false and false or true", true}, ConditionCase{"true AND true", true},
                      ConditionCase{"false Or true", true},
                      ConditionCase{"'$(Platform)'=='Win64' or '$(Platform)'=='Win32'", true},
                      ConditionCase{"('a'=='a')=='True'", true}, ConditionCase{"(false) == 'False'", true},
                      // functions
                      ConditionCase{"HasTrailingSlash('$(Dir)')", true},
                      ConditionCase{"hastrailingslash('C:\\IDE')", false},
                      ConditionCase{"!HasTrailingSlash('$(Undefined)')", true}, ConditionCase{"Exists('')", false},
                      // once the outcome is known the rest is not evaluated (it would not convert)
                      ConditionCase{"false and 'abc'", false}, ConditionCase{"true or 'a' < 'b'", true},
                      // quotes inside a reference do not end the quoted operand
                      ConditionCase{"'$(Config.Replace('D', 'x'))'==''", true}));

struct ConditionErrorCase {
    const char* condition;
    const char* message;
};

class ConditionErrors : public Conditions, public ::testing::WithParamInterface<ConditionErrorCase> {};

TEST_P(ConditionErrors, Raise)
{
    try {
        parser->ParseCondition(GetParam().condition);
        FAIL() << "no error for " << GetParam().condition;
    } catch (const EIdeMsBuildError& e) {
        EXPECT_STREQ(e.what(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConditionErrors,
    ::testing::Values(
        ConditionErrorCase{"('a'=='a'", "Invalid condition: missing parenthesis in condition \"('a'=='a'\""},
        ConditionErrorCase{"'a'=='a')", "Invalid condition: missing parenthesis in condition \"'a'=='a')\""},
        ConditionErrorCase{"Exists('x'", "Invalid condition: missing parenthesis in condition \"Exists('x'\""},
        ConditionErrorCase{"'a' = 'a'", "Invalid condition: unknown operator in condition \"'a' = 'a'\""},
        ConditionErrorCase{"'a'=='a' xor true",
                           "Invalid condition: unknown operator in condition \"'a'=='a' xor true\""},
        ConditionErrorCase{"Contains('a')", "Invalid condition: unknown operator in condition \"Contains('a')\""},
        ConditionErrorCase{"== 'a'", "Invalid condition: unknown operator in condition \"== 'a'\""},
        ConditionErrorCase{"'$(Platform)'=='Win32",
                           "Invalid condition: end of string in condition \"'$(Platform)'=='Win32\""},
        ConditionErrorCase{"'$(Platform)=='Win32'",
                           "Invalid condition: unknown operator in condition \"'$(Platform)=='Win32'\""},
        ConditionErrorCase{"'a'==", "Invalid condition: end of string in condition \"'a'==\""},
        ConditionErrorCase{"true and", "Invalid condition: end of string in condition \"true and\""},
        ConditionErrorCase{"'Win32'", "'Win32' is not a valid boolean value"},
        ConditionErrorCase{"'$(Platform)' > 3", "'Win32' is not a valid integer value"},
        ConditionErrorCase{"!'x'", "'x' is not a valid boolean value"}));

} // namespace
} // namespace tarvix
