// Texts, numbers and dates, paths, the wait and the key state: everything that needs no more than the message
// pump. The queries of the file system and the shell live in kq_lib_functions_system.cpp.
#include "components/kq_lib_functions.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <locale>

#include "platform/ascii_case.h"
#include "platform/message_pump.h"
#include "platform/text_encoding.h"
#include "platform/windows_path.h"

namespace tarvix {

namespace {

using platform::equalsIgnoringAsciiCase;
using platform::utf16ToUtf8;
using platform::utf8ToUtf16;

// Characters of code 32 or less are single bytes in UTF-8 and never part of a longer sequence, so trimming can
// work on the bytes and leaves everything else exactly as it was.
bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

// --- Upper case ---

bool knowsLettersBeyondAscii(const std::locale& locale)
{
    // U+00E3 (a with tilde) has the upper-case form U+00C3 in every locale that knows Unicode letters.
    return std::use_facet<std::ctype<wchar_t>>(locale).toupper(static_cast<wchar_t>(0xE3)) ==
           static_cast<wchar_t>(0xC3);
}

std::locale chooseCaseLocale()
{
    try {
        std::locale user("");
        if (knowsLettersBeyondAscii(user))
            return user;
    } catch (const std::runtime_error&) {
        // The environment names a locale that is not installed: fall through to the Unicode rules.
    }
    for (const char* name : {"C.UTF-8", "C.utf8"}) {
        try {
            std::locale unicode(name);
            if (knowsLettersBeyondAscii(unicode))
                return unicode;
        } catch (const std::runtime_error&) {}
    }
    return std::locale::classic();
}

const std::ctype<wchar_t>& caseRules()
{
    static const std::locale locale = chooseCaseLocale();
    return std::use_facet<std::ctype<wchar_t>>(locale);
}

char32_t upperCodePoint(char32_t c)
{
    // Where wchar_t is UTF-16 (Windows), characters outside the BMP have no single wchar_t and stay as they are.
    if (c > static_cast<char32_t>(std::numeric_limits<wchar_t>::max()))
        return c;
    const wchar_t upper = caseRules().toupper(static_cast<wchar_t>(c));
    const auto u = static_cast<char32_t>(upper);
    // Keep a code point that would turn into a surrogate or leave the Unicode range (never for sound tables).
    if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF))
        return c;
    return u;
}

void appendCodePoint(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

// --- Positions ---

int length(const std::u16string& s)
{
    return static_cast<int>(s.size());
}

// StrPos on UTF-16 text; the public one converts and calls this.
int strPos16(std::u16string_view sub, std::u16string_view value, int index, int startAt)
{
    if (index < 1 || value.empty() || sub.empty())
        return 0;
    const auto n = static_cast<int>(value.size());
    int found = 0;
    int p = startAt < 1 ? 1 : startAt;
    while (p <= n && found < index) {
        if (value.substr(static_cast<std::size_t>(p - 1)).starts_with(sub))
            ++found;
        ++p;
    }
    return found == index ? p - 1 : 0;
}

int tokenCount16(std::u16string_view value, char16_t sep)
{
    if (value.empty() || sep == 0)
        return 0;
    int count = 1;
    for (char16_t c : value)
        if (c == sep)
            ++count;
    return count;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Texts

std::string StrLeft(std::string_view sValue, int Count)
{
    if (Count <= 0)
        return {};
    const std::u16string s = utf8ToUtf16(sValue);
    if (Count >= length(s))
        return utf16ToUtf8(s);
    return utf16ToUtf8(std::u16string_view(s).substr(0, static_cast<std::size_t>(Count)));
}

std::string StrRight(std::string_view sValue, int Count)
{
    if (Count <= 0)
        return {};
    const std::u16string s = utf8ToUtf16(sValue);
    if (Count >= length(s))
        return utf16ToUtf8(s);
    return utf16ToUtf8(std::u16string_view(s).substr(s.size() - static_cast<std::size_t>(Count)));
}

std::string StrLTrim(std::string_view sValue)
{
    std::size_t i = 0;
    while (i < sValue.size() && isBlank(sValue[i]))
        ++i;
    return std::string(sValue.substr(i));
}

std::string StrRTrim(std::string_view sValue)
{
    std::size_t n = sValue.size();
    while (n > 0 && isBlank(sValue[n - 1]))
        --n;
    return std::string(sValue.substr(0, n));
}

std::string StrAllTrim(std::string_view sValue)
{
    return StrRTrim(StrLTrim(sValue));
}

bool StrEmpty(std::string_view sValue)
{
    for (char c : sValue)
        if (!isBlank(c))
            return false;
    return true;
}

std::string StrUpper(std::string_view sValue)
{
    const std::u16string s = utf8ToUtf16(sValue);
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            const char32_t cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00);
            appendCodePoint(out, upperCodePoint(cp));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out.push_back(c); // an unpaired surrogate stays as it is
        } else {
            appendCodePoint(out, upperCodePoint(c));
        }
    }
    return utf16ToUtf8(out);
}

int StrPos(std::string_view SubStr, std::string_view sValue, int Index, int StartAt)
{
    return strPos16(utf8ToUtf16(SubStr), utf8ToUtf16(sValue), Index, StartAt);
}

std::string StrSubst(std::string_view sValue, std::string_view Del, std::string_view Ins, int Count)
{
    if (sValue.empty() || Del.empty() || Del == Ins)
        return std::string(sValue);
    // Scanning the original text and writing the replacements to a new one is the same as replacing in place
    // and moving past the inserted text, without the quadratic cost of repeated inserts.
    const std::u16string s = utf8ToUtf16(sValue);
    const std::u16string del = utf8ToUtf16(Del);
    const std::u16string ins = utf8ToUtf16(Ins);
    const std::u16string_view view(s);
    std::u16string out;
    out.reserve(s.size());
    int found = 0;
    std::size_t p = 0;
    while (p < s.size() && (Count == 0 || found < Count)) {
        if (view.substr(p).starts_with(del)) {
            ++found;
            out += ins;
            p += del.size();
        } else {
            out.push_back(s[p]);
            ++p;
        }
    }
    out.append(view.substr(p));
    return utf16ToUtf8(out);
}

int StrTokenCount(std::string_view sValue, char16_t Sep)
{
    return tokenCount16(utf8ToUtf16(sValue), Sep);
}

std::string StrToken(std::string_view sValue, char16_t Sep, int Index)
{
    const std::u16string s = utf8ToUtf16(sValue);
    if (Index < 1 || tokenCount16(s, Sep) < Index)
        return {};
    const std::u16string sep(1, Sep);
    const int a = Index == 1 ? 0 : strPos16(sep, s, Index - 1, 1);
    const int b = strPos16(sep, s + sep, Index, 1);
    return utf16ToUtf8(std::u16string_view(s).substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a - 1)));
}

int MatchValueIndex(std::string_view sSearch, std::span<const std::string> AValues)
{
    for (std::size_t i = 0; i < AValues.size(); ++i)
        if (equalsIgnoringAsciiCase(sSearch, AValues[i]))
            return static_cast<int>(i);
    return -1;
}

int MatchValueIndex(std::string_view sSearch, std::initializer_list<std::string_view> AValues)
{
    int i = 0;
    for (std::string_view value : AValues) {
        if (equalsIgnoringAsciiCase(sSearch, value))
            return i;
        ++i;
    }
    return -1;
}

// ---------------------------------------------------------------------------------------------------------------
// Numbers and dates

int64_t IntVal(std::string_view sValue)
{
    const bool negative = !sValue.empty() && sValue.front() == '-';
    std::string digits;
    for (char c : sValue)
        if (c >= '0' && c <= '9')
            digits.push_back(c);

    // Leading zeros add nothing; the magnitude may reach 2^63 only for a negative number.
    const uint64_t limit = negative ? uint64_t{1} << 63 : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    uint64_t magnitude = 0;
    for (char c : digits) {
        const auto d = static_cast<uint64_t>(c - '0');
        if (magnitude > (limit - d) / 10)
            throw EConvertError("The number \"" + std::string(negative ? "-" : "") + digits +
                                "\" does not fit in a 64-bit integer");
        magnitude = magnitude * 10 + d;
    }
    if (!negative)
        return static_cast<int64_t>(magnitude);
    return magnitude == uint64_t{1} << 63 ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(magnitude);
}

double Min(double A, double B)
{
    return A <= B ? A : B;
}

double Max(double A, double B)
{
    return A >= B ? A : B;
}

int MinInt(int A, int B)
{
    return static_cast<int>(std::lround(Min(A, B)));
}

int MaxInt(int A, int B)
{
    return static_cast<int>(std::lround(Max(A, B)));
}

int Year(TDateTime Dt)
{
    return DecodeDateTime(Dt).Year;
}

// ---------------------------------------------------------------------------------------------------------------
// Paths

std::string IncPathDelimiter(std::string_view Path)
{
    return platform::includeTrailingBackslash(Path);
}

// ---------------------------------------------------------------------------------------------------------------
// Waiting

void MSleep(int MSec)
{
    using clock = std::chrono::steady_clock;
    const clock::time_point limit = clock::now() + std::chrono::milliseconds(MSec);
    // The pump is asked for anew on every pass: a handler that runs meanwhile may install another one.
    while (clock::now() <= limit && !platform::messagePump().terminating())
        platform::messagePump().processMessages();
}

bool IsKeyPressed(uint16_t Key)
{
    return (platform::messagePump().keyState(Key) & KEY_PRESSED) == KEY_PRESSED;
}

} // namespace tarvix
