// The component library's free utility functions: texts, numbers and dates, paths and a few system queries.
//
// Texts are UTF-8, but every length, count and position is in UTF-16 code units and positions start at 1, so
// "ação" has length 4 and StrLeft("ação", 2) is "aç". Separators and single characters are UTF-16 code units.
// The functions hold no state; the system queries go through platform::current() and the message pump.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "components/component.h"
#include "components/kq_datetime.h"

namespace tarvix {

// The bit of a key state that means the key is held down.
inline constexpr uint16_t KEY_PRESSED = 0x80;

// Raised by IntVal when the digits do not fit in 64 bits.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A form carries one of these to pull the utilities in; it adds nothing to TComponent.
class TKqLibFunctions : public TComponent {
public:
    TKqLibFunctions() = default;
};

// ---------------------------------------------------------------------------------------------------------------
// Texts

// The first Count characters; the whole text when Count >= its length; empty when Count <= 0.
std::string StrLeft(std::string_view sValue, int Count);
// The last Count characters; the whole text when Count >= its length; empty when Count <= 0.
std::string StrRight(std::string_view sValue, int Count);
// Without the leading, trailing or both characters whose code is 32 or less (space and control characters).
std::string StrLTrim(std::string_view sValue);
std::string StrRTrim(std::string_view sValue);
std::string StrAllTrim(std::string_view sValue);
// True when nothing but spaces and control characters.
bool StrEmpty(std::string_view sValue);
// Upper case by the user's locale, every letter that has an upper-case form (not only ASCII). When the user's
// locale knows no letters beyond ASCII (the C or POSIX locale), the Unicode case rules of C.UTF-8 are used.
std::string StrUpper(std::string_view sValue);

// Position of the Index-th occurrence of SubStr in sValue that begins at or after StartAt (StartAt below 1 is
// taken as 1); 0 when there is none, or when Index < 1 or either text is empty. Case-sensitive. Occurrences may
// overlap: "aa" occurs three times in "aaaa".
int StrPos(std::string_view SubStr, std::string_view sValue, int Index = 1, int StartAt = 1);
// sValue with the occurrences of Del replaced by Ins, left to right; Count = 0 replaces all, Count > 0 at most
// Count of them (a negative Count none). Case-sensitive; inserted text is never scanned again. Unchanged when
// sValue or Del is empty or Del equals Ins.
std::string StrSubst(std::string_view sValue, std::string_view Del, std::string_view Ins, int Count = 0);
// 0 when sValue is empty or Sep is the character 0; otherwise the number of Sep characters in sValue plus 1.
int StrTokenCount(std::string_view sValue, char16_t Sep);
// The Index-th piece (from 1) of sValue cut at every Sep; empty when Index < 1 or Index > StrTokenCount. So
// "|A|B|" cut at '|' has the four pieces "", "A", "B", "".
std::string StrToken(std::string_view sValue, char16_t Sep, int Index);
// Index (from 0) of the first element that equals sSearch without regard to ASCII letter case; -1 if none.
int MatchValueIndex(std::string_view sSearch, std::span<const std::string> AValues);
int MatchValueIndex(std::string_view sSearch, std::initializer_list<std::string_view> AValues);

// ---------------------------------------------------------------------------------------------------------------
// Numbers and dates

// The number formed by every decimal digit of sValue, wherever it stands, in order; negative when sValue begins
// with "-"; 0 without digits. So "d37" is 37, "-d37" is -37, "d-37" is 37 and "d10.3" is 103. Raises
// EConvertError when the digits do not fit in a signed 64-bit integer.
int64_t IntVal(std::string_view sValue);

// Adds N to Value.
template <typename T, typename U = T>
inline void Inc(T& Value, U N = 1)
{
    Value += N;
}

// Min: A when A <= B, else B. Max: A when A >= B, else B. When either is NaN the comparison fails and both give B.
double Min(double A, double B);
double Max(double A, double B);
int MinInt(int A, int B);
int MaxInt(int A, int B);

// The calendar year of a date-time value.
int Year(TDateTime Dt);

// Waits MSec milliseconds while letting the message pump process pending messages, busily (no sleeping
// between passes), so the user interface stays responsive; event handlers may run meanwhile. Returns early
// when the application is terminating. The wait is measured on a steady clock, so a change of the wall clock
// (daylight saving time, a clock adjustment) neither stretches nor shortens it.
void MSleep(int MSec);

// ---------------------------------------------------------------------------------------------------------------
// Files and system (Windows paths)

// Path with a backslash appended unless it ends with one; "" gives "\".
std::string IncPathDelimiter(std::string_view Path);
// The user's temporary folder ending in a backslash; empty when the system does not give one or when it is
// longer than 260 characters (a cut path would name a different folder).
std::string GetTempDir();
// The process's current folder ending in a backslash; empty when the system does not give one or when it is
// longer than 259 characters.
std::string GetCurrentDir();
// The path of an existing file with every component spelled as the file system stores it, the drive part in
// upper case; in long form, or in short (8.3) form where a component has a short name (Long = false; the Wine
// prefix keeps no short names, so there the long name is used). A name without a drive part is taken against
// the current folder. Empty when no such file exists (a folder does not count), and for a relative name when
// there is no current folder to take it against.
std::string TranslateFileName(std::string_view FileName, bool Long);
std::string GetLongFileName(std::string_view FileName);
// GetLongFileName of the running executable.
std::string ExeName();
// True when a top-level window with the title AppName, or else of the window class AppName, exists. Only the
// first 39 characters of AppName are compared.
bool IsRunning(std::string_view AppName);
// True when the virtual key is held down at the time of the current input message.
bool IsKeyPressed(uint16_t Key);

} // namespace tarvix
