// Splitting Windows command lines the way the C run-time of the started program does, and writing arguments
// back so that the split gives them again.
#include "platform/windows_command_line.h"

#include <gtest/gtest.h>

namespace tarvix::platform {
namespace {

using Args = std::vector<std::string>;

TEST(WindowsCommandLine, SplitsByTheRuntimeRules)
{
    struct Case {
        const char* line;
        Args expected;
    };
    const Case cases[] = {
        {"", {}},
        {"a.exe", {"a.exe"}},
        {"a.exe  b\tc ", {"a.exe", "b", "c"}},
        // The program: quotes toggle, backslashes are plain, even before a quote.
        {R"("C:\Program Files\x\dcc32.exe" "C:\D\P.dpk")", {R"(C:\Program Files\x\dcc32.exe)", R"(C:\D\P.dpk)"}},
        {R"(C:\x\"a b"\y.exe z)", {R"(C:\x\a b\y.exe)", "z"}},
        {R"("C:\dir\" x)", {R"(C:\dir\)", "x"}},
        // A quoted run in the middle of an argument.
        {R"(p -U"C:\A;C:\B" -B)", {"p", R"(-UC:\A;C:\B)", "-B"}},
        {R"(p -U"C:\Program Files\lib;C:\X")", {"p", R"(-UC:\Program Files\lib;C:\X)"}},
        {R"(p -U"")", {"p", "-U"}},
        {R"(p "")", {"p", ""}},
        // Backslashes: literal unless they come before a quote.
        {R"(p a\\b c\)", {"p", R"(a\\b)", R"(c\)"}},
        {R"(p a\"b)", {"p", R"(a"b)"}},
        {R"(p a\\"b c")", {"p", R"(a\b c)"}},
        {R"(p a\\\"b)", {"p", R"(a\"b)"}},
        {R"(p "a\\" b)", {"p", R"(a\)", "b"}},
        // Two quotes inside a quoted run are one literal quote, and the run goes on.
        {R"(p "a""b c" d)", {"p", R"(a"b c)", "d"}},
        {R"(p a""b)", {"p", "ab"}},
        // An open quote runs to the end.
        {R"(p "a b)", {"p", "a b"}},
        // Non-ASCII text passes through as it is.
        {"p -NOC:\\Açúcar\\D37", {"p", "-NOC:\\Açúcar\\D37"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitWindowsCommandLine(c.line), c.expected) << c.line;
}

TEST(WindowsCommandLine, QuotedArgumentsSplitBackToThemselves)
{
    const Args arguments = {"C:\\Program Files\\bin\\dcc32.exe",
                            "plain",
                            "",
                            "with space",
                            "tab\there",
                            "quote\"inside",
                            "trailing\\",
                            "spaced trailing\\",
                            "\\\\server\\share\\",
                            "back\\\\\"quote",
                            "-U\"C:\\A;C:\\B\"",
                            "\"\""};
    const std::string line = joinWindowsCommandLine(arguments);
    EXPECT_EQ(splitWindowsCommandLine(line), arguments) << line;

    EXPECT_EQ(quoteWindowsArgument("plain"), "plain");
    EXPECT_EQ(quoteWindowsArgument(""), "\"\"");
    EXPECT_EQ(quoteWindowsArgument("a b\\"), "\"a b\\\\\"");
    EXPECT_EQ(quoteWindowsArgument("a\"b"), "\"a\\\"b\"");
}

} // namespace
} // namespace tarvix::platform
