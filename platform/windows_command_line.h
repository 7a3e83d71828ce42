// Windows command lines: one text that the started program splits into its arguments itself. Programs built
// with Microsoft's C run-time (and wine's) split it by the rules below, so a command line assembled for such a
// program is split here by the same rules when we start the program with an argument vector instead.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvix::platform {

// Splits a command line into arguments.
//   The first argument, the program, runs to the next blank outside double quotes; its double quotes only toggle
//   quoting and its backslashes have no special meaning.
//   In the other arguments, blanks (space, tab) outside double quotes separate arguments; a double quote
//   toggles quoting; 2n backslashes before a double quote stand for n backslashes (the quote then toggles), 2n+1
//   for n backslashes and a literal double quote; two double quotes inside a quoted run stand for one literal
//   double quote; backslashes before anything else are literal.
std::vector<std::string> splitWindowsCommandLine(std::string_view commandLine);

// One argument written so that splitWindowsCommandLine gives it back: as it is when it holds no blank or double
// quote and is not empty, otherwise in double quotes with the backslashes before a quote (or before the closing
// quote) doubled and every inner quote escaped.
std::string quoteWindowsArgument(std::string_view argument);

// The arguments joined into a command line with quoteWindowsArgument, separated by one space. The program (the
// first) is only put in double quotes when it holds a blank; it cannot hold a double quote.
std::string joinWindowsCommandLine(const std::vector<std::string>& arguments);

} // namespace tarvix::platform
