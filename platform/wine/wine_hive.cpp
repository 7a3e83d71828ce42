#include "platform/wine/wine_hive.h"

#include "platform/ascii_case.h"
#include "platform/errors.h"
#include "platform/text_encoding.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <span>
#include <unordered_set>
#include <utility>

#include <sys/mman.h>

// The hive keeps the file's text and refers to it: a key's name, a key line, a value line are spans of that text
// until a change gives them text of their own. Reading a file is one pass over its lines that checks every line
// and builds only the tree of keys; a value's name and data are decoded when somebody asks for them.

namespace tarvix::platform::wine {

namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";
constexpr std::string_view kRelativePrefix = ";; All keys relative to ";

// Lower-case folding of one UTF-16 unit, the way Wine orders and matches names: ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic capitals. Other characters compare as they are.
char16_t fold(char16_t c)
{
    if (c < 0x80)
        return static_cast<char16_t>(asciiLower(static_cast<char>(c)));
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130)
            return u'i';
        if (c == 0x178)
            return 0xFF;
        bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        bool evenUpper = !oddUpper && c != 0x138 && c != 0x149 && c != 0x17F;
        if (oddUpper && (c & 1))
            return static_cast<char16_t>(c + 1);
        if (evenUpper && !(c & 1))
            return static_cast<char16_t>(c + 1);
        return c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x410 && c <= 0x42F)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 0x50);
    return c;
}

std::u16string folded(std::u16string_view s)
{
    std::u16string out(s);
    for (auto& c : out)
        c = fold(c);
    return out;
}

std::u16string toUtf16(std::string_view s)
{
    return utf8ToUtf16(s);
}
std::string toUtf8(std::u16string_view s)
{
    return utf16ToUtf8(s);
}

bool isHexDigit(char32_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isBlank(std::string_view s)
{
    return s.find_first_not_of(" \t") == std::string_view::npos;
}

size_t firstNonBlank(std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    return i;
}

// Where a text is escaped: a quoted name or string, or a key path between brackets.
enum class Context { Quoted, Key };

// Escapes one name, string or key path the way Wine writes it: named escapes for the usual control characters,
// octal for the other ones below 32, \x for everything above 127 (padded to four digits when a hex digit
// follows, so that the reader stops at the right place).
std::string escape(std::u16string_view s, Context context)
{
    std::string out;
    out.reserve(s.size());
    char buf[16];
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        const char16_t next = i + 1 < s.size() ? s[i + 1] : 0;
        switch (c) {
        case u'\\': out += "\\\\"; continue;
        case u'"': out += context == Context::Quoted ? "\\\"" : "\""; continue;
        case u'[': out += context == Context::Key ? "\\[" : "["; continue;
        case u']': out += context == Context::Key ? "\\]" : "]"; continue;
        case 0x07: out += "\\a"; continue;
        case 0x08: out += "\\b"; continue;
        case 0x09: out += "\\t"; continue;
        case 0x0A: out += "\\n"; continue;
        case 0x0B: out += "\\v"; continue;
        case 0x0C: out += "\\f"; continue;
        case 0x0D: out += "\\r"; continue;
        case 0x1B: out += "\\e"; continue;
        default: break;
        }
        if (c < 0x20) {
            std::snprintf(buf, sizeof buf, (next >= u'0' && next <= u'7') ? "\\%03o" : "\\%o", unsigned(c));
            out += buf;
        } else if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            std::snprintf(buf, sizeof buf, isHexDigit(next) ? "\\x%04x" : "\\x%x", unsigned(c));
            out += buf;
        }
    }
    return out;
}

std::u16string unitsOf(const std::string& bytes)
{
    return fromUtf16leBytes(bytes);
}
std::string bytesOf(std::u16string_view units)
{
    return utf16leBytes(units);
}

// One value as Wine writes it, with its line end. Strings of the three text types become quoted text when their
// data is whole UTF-16 ending in a zero; everything else is a list of bytes, wrapped after column 76.
std::string formatValue(std::u16string_view name, const RegValue& value, std::string_view eol)
{
    std::string out = name.empty() ? std::string("@=") : "\"" + escape(name, Context::Quoted) + "\"=";
    const std::string& data = value.data;
    const bool text = value.type == RegType::Sz || value.type == RegType::ExpandSz || value.type == RegType::MultiSz;
    char buf[32];
    if (text && data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0 && data[data.size() - 2] == 0) {
        std::u16string units = unitsOf(data);
        units.pop_back();
        if (value.type != RegType::Sz) {
            std::snprintf(buf, sizeof buf, "str(%x):", unsigned(value.type));
            out += buf;
        }
        out += "\"" + escape(units, Context::Quoted) + "\"";
    } else if (value.type == RegType::Dword && data.size() == 4) {
        std::snprintf(buf, sizeof buf, "dword:%08x", unsigned(value.asDword()));
        out += buf;
    } else {
        if (value.type == RegType::Binary) {
            out += "hex:";
        } else {
            std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(value.type));
            out += buf;
        }
        size_t column = out.size();
        for (size_t i = 0; i < data.size(); ++i) {
            std::snprintf(buf, sizeof buf, "%02x", unsigned(static_cast<unsigned char>(data[i])));
            out += buf;
            column += 2;
            if (i + 1 < data.size()) {
                out.push_back(',');
                ++column;
                if (column > 76) {
                    out += "\\";
                    out += eol;
                    out += "  ";
                    column = 2;
                }
            }
        }
    }
    out += eol;
    return out;
}

// Seconds since 1970 for the key line, and Windows' 100 ns ticks since 1601 for "#time=".
std::string keyLineStamp(WineHive::TimePoint now)
{
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count());
}

std::string filetimeHex(WineHive::TimePoint now)
{
    using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10'000'000>>;
    const int64_t ticks = std::chrono::duration_cast<Ticks>(now.time_since_epoch()).count() + 116444736000000000LL;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(ticks));
    return buf;
}

struct ParseError {
    std::string reason;
};

// Escaped text ------------------------------------------------------------------------------------------------

// The unit of the escape sequence whose backslash is just before `pos` (which is inside `s`); moves past it.
char16_t readEscape(std::string_view s, size_t& pos)
{
    const char e = s[pos++];
    switch (e) {
    case 'a': return 0x07;
    case 'b': return 0x08;
    case 'e': return 0x1B;
    case 'f': return 0x0C;
    case 'n': return 0x0A;
    case 'r': return 0x0D;
    case 't': return 0x09;
    case 'v': return 0x0B;
    case 'x': {
        unsigned v = 0;
        int digits = 0;
        while (digits < 4 && pos < s.size() && isHexDigit(static_cast<unsigned char>(s[pos]))) {
            v = v * 16 + static_cast<unsigned>(hexValue(s[pos++]));
            ++digits;
        }
        return digits ? static_cast<char16_t>(v) : u'x';
    }
    default:
        if (e >= '0' && e <= '7') {
            unsigned v = static_cast<unsigned>(e - '0');
            for (int digits = 1; digits < 3 && pos < s.size() && s[pos] >= '0' && s[pos] <= '7'; ++digits)
                v = v * 8 + static_cast<unsigned>(s[pos++] - '0');
            return static_cast<char16_t>(v);
        }
        return static_cast<unsigned char>(e); // \\ \" \[ \] and any other character itself
    }
}

// Reads escaped text one UTF-16 unit at a time: raw bytes are UTF-8, and bytes that are not valid UTF-8 are
// dropped, the way Wine reads them. The text ends at the unescaped `end` character (consumed), or, for a name
// already cut out of its line (end 0), where the span ends.
class EscapedReader {
public:
    EscapedReader(std::string_view s, size_t pos, char end) : s_(s), pos_(pos), end_(end) {}

    size_t pos() const { return pos_; }

    // False at the end of the text. Raises ParseError when the end character never comes.
    bool next(char16_t& unit)
    {
        if (pending_) {
            unit = pending_;
            pending_ = 0;
            return true;
        }
        while (true) {
            if (pos_ >= s_.size()) {
                if (end_ == 0)
                    return false;
                throw ParseError{end_ == '"' ? "unterminated quoted text" : "unterminated key name"};
            }
            const char c = s_[pos_];
            if (c == end_ && end_ != 0) {
                ++pos_;
                return false;
            }
            const auto b = static_cast<unsigned char>(c);
            if (c == '\\') {
                if (++pos_ >= s_.size())
                    throw ParseError{"unterminated escape sequence"};
                unit = readEscape(s_, pos_);
                return true;
            }
            if (b < 0x80) {
                unit = b;
                ++pos_;
                return true;
            }
            if (utf8(b, unit))
                return true;
        }
    }

private:
    // A UTF-8 sequence at pos_; a byte that does not start a valid one is dropped (false).
    bool utf8(unsigned char b, char16_t& unit)
    {
        const int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 0;
        const char32_t min = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        char32_t cp = extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool valid = extra > 0;
        for (int k = 1; valid && k <= extra; ++k) {
            if (pos_ + k >= s_.size() || (static_cast<unsigned char>(s_[pos_ + k]) & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (static_cast<unsigned char>(s_[pos_ + k]) & 0x3F);
        }
        if (!valid || cp < min || cp > 0x10FFFF) {
            ++pos_;
            return false;
        }
        pos_ += static_cast<size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit = static_cast<char16_t>(0xD800 + (cp >> 10));
            pending_ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            unit = static_cast<char16_t>(cp);
        }
        return true;
    }

    std::string_view s_;
    size_t pos_;
    char end_;
    char16_t pending_ = 0; // the low surrogate of a character read from four bytes
};

// Reads an escaped text from `s` starting at `pos` up to the unescaped `end` character (which is consumed).
std::u16string unescape(std::string_view s, size_t& pos, char end)
{
    std::u16string out;
    EscapedReader reader(s, pos, end);
    for (char16_t unit; reader.next(unit);)
        out.push_back(unit);
    pos = reader.pos();
    return out;
}

// A name as stored in the file (a key path component or a value name, still escaped), decoded.
std::u16string decodeName(std::string_view raw)
{
    size_t pos = 0;
    return unescape(raw, pos, 0);
}

// Whether an escaped name has no character at all (it may be made of bytes that are not UTF-8 only).
bool decodesToNothing(std::string_view raw)
{
    if (std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return raw.empty();
    char16_t unit = 0;
    return !EscapedReader(raw, 0, 0).next(unit);
}

// Moves past an escaped text up to its unescaped `end` character, with the errors of unescape. Only the end and
// the backslash matter here: the characters an escape goes on with are digits and letters, and a backslash
// takes the character after it whatever it is. So an end character is escaped exactly when an odd run of
// backslashes stands before it.
void skipEscaped(std::string_view s, size_t& pos, char end)
{
    const size_t from = pos;
    size_t at = pos;
    while (true) {
        const size_t found = s.find(end, at);
        const size_t stop = found == std::string_view::npos ? s.size() : found;
        size_t run = 0;
        while (stop - run > from && s[stop - run - 1] == '\\')
            ++run;
        if (found == std::string_view::npos) {
            if (run % 2)
                throw ParseError{"unterminated escape sequence"};
            throw ParseError{end == '"' ? "unterminated quoted text" : "unterminated key name"};
        }
        if (run % 2 == 0) {
            pos = found + 1;
            return;
        }
        at = found + 1;
    }
}

// Compares two escaped names by their folded units: Wine's order of keys and values, and name equality.
int compareRawNames(std::string_view a, std::string_view b)
{
    // Most names are plain ASCII: compare those bytes directly.
    const size_t common = std::min(a.size(), b.size());
    size_t i = 0;
    while (i < common) {
        const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        if (ca >= 0x80 || cb >= 0x80 || ca == '\\' || cb == '\\')
            break;
        const char la = asciiLower(static_cast<char>(ca)), lb = asciiLower(static_cast<char>(cb));
        if (la != lb)
            return static_cast<unsigned char>(la) < static_cast<unsigned char>(lb) ? -1 : 1;
        ++i;
    }
    if (i == common && i == a.size() && i == b.size())
        return 0;
    EscapedReader ra(a, i, 0), rb(b, i, 0);
    while (true) {
        char16_t ua = 0, ub = 0;
        const bool ha = ra.next(ua), hb = rb.next(ub);
        if (!ha || !hb)
            return ha == hb ? 0 : (ha ? 1 : -1);
        ua = fold(ua);
        ub = fold(ub);
        if (ua != ub)
            return ua < ub ? -1 : 1;
    }
}

// Compares an escaped name with a folded one.
int compareRawToFolded(std::string_view raw, std::u16string_view foldedName)
{
    EscapedReader reader(raw, 0, 0);
    size_t i = 0;
    for (char16_t unit; reader.next(unit); ++i) {
        if (i == foldedName.size())
            return 1;
        unit = fold(unit);
        if (unit != foldedName[i])
            return unit < foldedName[i] ? -1 : 1;
    }
    return i == foldedName.size() ? 0 : -1;
}

// Where the plain bytes of a key path starting at `pos` end: at the first "]", backslash or byte of UTF-8.
// Key lines are most of a hive's bytes, so they are looked at eight bytes at a time.
size_t skipPlainKeyBytes(std::string_view s, size_t pos)
{
    constexpr uint64_t ones = 0x0101010101010101ull;
    constexpr uint64_t highs = 0x8080808080808080ull;
    // A word has a zero byte when this is not zero (the classic test; exact for bytes below 0x80).
    auto zeroByte = [](uint64_t v) { return (v - ones) & ~v & highs; };
    while (pos + 8 <= s.size()) {
        uint64_t word;
        std::memcpy(&word, s.data() + pos, 8);
        if (word & highs)
            break;
        if (zeroByte(word ^ (ones * ']')) | zeroByte(word ^ (ones * '\\')))
            break;
        pos += 8;
    }
    while (pos < s.size()) {
        const auto c = static_cast<unsigned char>(s[pos]);
        if (c == ']' || c == '\\' || c >= 0x80)
            break;
        ++pos;
    }
    return pos;
}

// Lines ----------------------------------------------------------------------------------------------------------

// One line of a text: without its line end, and where the next one starts.
struct Line {
    std::string_view content;
    size_t next;
};

Line lineAt(std::string_view text, size_t start)
{
    const size_t nl = text.find('\n', start);
    const size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    std::string_view content = text.substr(start, end - start);
    if (!content.empty() && content.back() == '\n')
        content.remove_suffix(1);
    if (!content.empty() && content.back() == '\r')
        content.remove_suffix(1);
    return {content, end};
}

// Parses a list of hex bytes that may go on over several lines ending in a backslash; `first` is the list's
// start on its first line, `line` that line. Moves `line` to the list's last line and counts the lines moved
// over in `lines`. With `bytes`, the bytes are decoded into it; else they are only checked.
void parseHexList(std::string_view first, std::string_view text, Line& line, size_t& lines, std::string* bytes)
{
    std::string_view s = first;
    while (true) {
        size_t pos = 0;
        bool more = false;
        while (pos < s.size()) {
            const char c = s[pos];
            if (c == ' ' || c == '\t' || c == ',') {
                ++pos;
                continue;
            }
            if (c == '\\') {
                if (!isBlank(s.substr(pos + 1)))
                    throw ParseError{"text after the line continuation"};
                more = true;
                break;
            }
            const int hi = hexValue(c);
            if (hi < 0)
                throw ParseError{"bad hex byte"};
            int value = hi;
            ++pos;
            if (pos < s.size() && hexValue(s[pos]) >= 0)
                value = value * 16 + hexValue(s[pos++]);
            if (pos < s.size() && s[pos] != ',' && s[pos] != ' ' && s[pos] != '\t' && s[pos] != '\\')
                throw ParseError{"bad hex byte"};
            if (bytes)
                bytes->push_back(static_cast<char>(value));
        }
        if (!more)
            return;
        if (line.next >= text.size())
            throw ParseError{"line continuation at the end of the file"};
        line = lineAt(text, line.next);
        ++lines;
        s = line.content;
    }
}

uint32_t parseTypeNumber(std::string_view s, size_t& pos)
{
    uint64_t v = 0;
    size_t start = pos;
    while (pos < s.size() && hexValue(s[pos]) >= 0 && pos - start < 8)
        v = v * 16 + static_cast<uint64_t>(hexValue(s[pos++]));
    if (pos == start || pos >= s.size() || s[pos] != ')')
        throw ParseError{"bad value type"};
    ++pos;
    return static_cast<uint32_t>(v);
}

// The value whose first line `line` is of `text` (a value line: its first character past the blanks is a quote
// or "@"): checks it and, with `out`, decodes its data. Returns where the line after the value starts, and
// counts the continuation lines in `lines`.
size_t parseValue(std::string_view text, Line line, size_t& lines, RegValue* out)
{
    const std::string_view s = line.content;
    size_t pos = firstNonBlank(s);
    if (s[pos] == '@')
        ++pos;
    else
        skipEscaped(s, ++pos, '"'); // past the opening quote
    if (pos >= s.size() || s[pos] != '=')
        throw ParseError{"\"=\" expected after the value name"};
    ++pos;

    const std::string_view rest = s.substr(pos);
    auto quoted = [&](size_t at, uint32_t type) {
        size_t p = at + 1;
        if (out) {
            std::u16string units = unescape(s, p, '"');
            units.push_back(u'\0');
            *out = RegValue{type, bytesOf(units)};
        } else {
            skipEscaped(s, p, '"');
        }
        if (!isBlank(s.substr(p)))
            throw ParseError{"text after the value"};
    };
    if (rest.starts_with('"')) {
        quoted(pos, RegType::Sz);
    } else if (rest.starts_with("str(")) {
        size_t p = pos + 4;
        const uint32_t type = parseTypeNumber(s, p);
        if (p + 1 >= s.size() || s[p] != ':' || s[p + 1] != '"')
            throw ParseError{"quoted text expected after \"str(n):\""};
        quoted(p + 1, type);
    } else if (rest.starts_with("dword:")) {
        size_t p = pos + 6;
        uint32_t v = 0;
        const size_t digits = p;
        while (p < s.size() && hexValue(s[p]) >= 0 && p - digits < 8)
            v = v * 16 + static_cast<uint32_t>(hexValue(s[p++]));
        if (p == digits || !isBlank(s.substr(p)))
            throw ParseError{"bad dword value"};
        if (out)
            *out = RegValue::dword(v);
    } else if (rest.starts_with("hex:") || rest.starts_with("hex(")) {
        uint32_t type = RegType::Binary;
        size_t p = pos + 4;
        if (rest[3] == '(') {
            type = parseTypeNumber(s, p);
            if (p >= s.size() || s[p] != ':')
                throw ParseError{"\":\" expected after \"hex(n)\""};
            ++p;
        }
        std::string bytes;
        parseHexList(s.substr(p), text, line, lines, out ? &bytes : nullptr);
        if (out)
            *out = RegValue{type, std::move(bytes)};
    } else {
        throw ParseError{"unknown value format"};
    }
    return line.next;
}

// The escaped name of a value line ("@" or a quoted name); empty for the default value. The line has been
// checked when it was read.
std::string_view rawValueName(std::string_view itemText)
{
    const size_t pos = firstNonBlank(itemText);
    if (itemText[pos] == '@')
        return {};
    size_t end = pos + 1;
    skipEscaped(itemText, end, '"');
    return itemText.substr(pos + 1, end - pos - 2);
}

// Memory for what a large hive holds in bulk: its text, its keys and their blocks. It comes in regions of
// whole huge pages where the system offers them: the hive of a prefix made by wine is megabytes, and faulting
// in fresh memory page by small page costs more than parsing all of it. Nothing is given back before the end.
class BulkMemory {
public:
    BulkMemory() = default;
    BulkMemory(const BulkMemory&) = delete;
    BulkMemory& operator=(const BulkMemory&) = delete;
    ~BulkMemory()
    {
        for (const auto& region : regions_)
            ::munmap(region.mapping, region.mappingLength);
    }

    // `size` bytes aligned for any object; null when no memory can be had (the caller falls back to the heap).
    void* allocate(size_t size)
    {
        size = (size + kAlign - 1) & ~(kAlign - 1);
        if (regions_.empty() || regions_.back().used + size > regions_.back().length) {
            if (!addRegion(size))
                return nullptr;
        }
        Region& region = regions_.back();
        void* p = region.base + region.used;
        region.used += size;
        return p;
    }

private:
    static constexpr size_t kHugePage = size_t{2} << 20;
    static constexpr size_t kAlign = alignof(std::max_align_t);

    struct Region {
        void* mapping;
        size_t mappingLength;
        char* base; // aligned to a huge page
        size_t length;
        size_t used;
    };

    bool addRegion(size_t atLeast)
    {
        const size_t length = (atLeast + kHugePage - 1) / kHugePage * kHugePage;
        // One huge page more than needed, so that the region can start on a huge page.
        const size_t mappingLength = length + kHugePage;
        void* mapping = ::mmap(nullptr, mappingLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED)
            return false;
        const auto start = reinterpret_cast<uintptr_t>(mapping);
        char* base = reinterpret_cast<char*>((start + kHugePage - 1) & ~(kHugePage - 1));
        ::madvise(base, length, MADV_HUGEPAGE); // a hint: without it the pages are small ones
        regions_.push_back(Region{mapping, mappingLength, base, length, 0});
        return true;
    }

    std::vector<Region> regions_;
};

// Objects that the tree points at, in chunks that never move; from the bulk memory when there is one.
template <class T>
class Arena {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena()
    {
        for (size_t c = 0; c < chunks_.size(); ++c) {
            const size_t count = c + 1 == chunks_.size() ? used_ : kChunk;
            for (size_t i = 0; i < count; ++i)
                chunks_[c].objects[i].~T();
            if (!chunks_[c].bulk)
                ::operator delete(chunks_[c].objects);
        }
    }

    void useBulk(BulkMemory* bulk) { bulk_ = bulk; }

    T* make()
    {
        if (chunks_.empty() || used_ == kChunk) {
            void* memory = bulk_ ? bulk_->allocate(sizeof(T) * kChunk) : nullptr;
            const bool bulk = memory != nullptr;
            if (!memory)
                memory = ::operator new(sizeof(T) * kChunk);
            chunks_.push_back(Chunk{static_cast<T*>(memory), bulk});
            used_ = 0;
        }
        return new (chunks_.back().objects + used_++) T();
    }

private:
    static constexpr size_t kChunk = 256;
    struct Chunk {
        T* objects;
        bool bulk;
    };
    std::vector<Chunk> chunks_;
    size_t used_ = 0;
    BulkMemory* bulk_ = nullptr;
};

// The file's text as the hive keeps it: a string handed in, or, for a large file read here, bulk memory.
class SourceText {
public:
    std::string_view view() const { return bulk_ ? std::string_view(bulk_, size_) : std::string_view(text_); }

    void adopt(std::string text)
    {
        text_ = std::move(text);
        bulk_ = nullptr;
    }

    // Fills the text from `fill` (see WineHive::read), into bulk memory when the text is large.
    void read(size_t sizeHint, const std::function<size_t(char*, size_t)>& fill, BulkMemory* bulk)
    {
        size_t capacity = sizeHint + 1; // one more, to see the end without a second round
        char* buffer = bulk ? static_cast<char*>(bulk->allocate(capacity)) : nullptr;
        if (!buffer) {
            text_.resize(capacity);
            buffer = text_.data();
        }
        size_t used = 0;
        while (true) {
            if (used == capacity) {
                // The file grew meanwhile: go on in a string twice the size.
                std::string larger(capacity * 2, '\0');
                std::memcpy(larger.data(), buffer, used);
                text_ = std::move(larger);
                capacity = text_.size();
                buffer = text_.data();
            }
            const size_t got = fill(buffer + used, capacity - used);
            if (got == 0)
                break;
            used += got;
        }
        if (buffer == text_.data()) {
            text_.resize(used);
            bulk_ = nullptr;
        } else {
            bulk_ = buffer;
            size_ = used;
        }
    }

private:
    std::string text_;
    const char* bulk_ = nullptr;
    size_t size_ = 0;
};

// Texts from this size on are read into bulk memory.
constexpr size_t kBulkTextSize = 256 * 1024;

} // namespace

// ---------------------------------------------------------------------------------------------------------------

// A piece of the hive's text: a span of the file as read, or, once changed, text of its own in one of the hive's
// slots.
struct WineHiveText {
    uint32_t offset = 0;
    uint32_t length = 0;
    int32_t slot = -1;
};

// What a line after a key line is: blank or a comment, an option ("#time=", "#link"), or a value.
enum class WineHiveLineKind : uint8_t { Raw, Option, Value };

struct WineHive::Block {
    using Kind = WineHiveLineKind;
    struct Item {
        Kind kind = Kind::Raw;
        WineHiveText text; // the exact lines, line ends included
    };

    Node* node = nullptr;
    Block* nextOfNode = nullptr; // the key's next block, in file order
    WineHiveText rawPath;        // the escaped path between the brackets, kept as read
    WineHiveText keyLine;        // the whole key line with its line end
    // The lines after the key line as read; once a line is changed, added or removed, a list of the block's own.
    uint32_t bodyOffset = 0;
    uint32_t bodyLength = 0;
    bool link = false;
    std::unique_ptr<std::vector<Item>> own;
};

struct WineHive::Node {
    WineHiveText name; // as stored in the file, escaped
    uint32_t depth = 0;
    Node* parent = nullptr;
    std::vector<Node*> children; // sorted by folded name: Wine's order
    Block* firstBlock = nullptr;
    Block* lastBlock = nullptr;
};

namespace {

using Kind = WineHiveLineKind;

// The kind of the line that starts at `start` (not a key line) and where the line after it starts: a value
// runs on over the lines its data continues on, which `lineIndex` counts. A value's syntax is checked; a bad
// one, or a line of no known kind, raises ParseError. A "#link" line sets `link`.
size_t readItem(std::string_view text, size_t start, Kind& kind, bool& link, size_t& lineIndex)
{
    const Line line = lineAt(text, start);
    const std::string_view s = line.content;
    const size_t first = firstNonBlank(s);
    const char lead = first == s.size() ? '\0' : s[first];
    if (lead == '\0' || lead == ';') {
        kind = Kind::Raw;
    } else if (lead == '#') {
        kind = Kind::Option;
        if (s.substr(first) == "#link")
            link = true;
    } else if (lead == '"' || lead == '@') {
        kind = Kind::Value;
        return parseValue(text, line, lineIndex, nullptr);
    } else {
        throw ParseError{"unexpected text (neither a key, a value nor a comment)"};
    }
    return line.next;
}

} // namespace

struct WineHive::Impl {
    using Item = Block::Item;

    std::unique_ptr<BulkMemory> bulk; // for a large hive
    SourceText source;                // the file's text, which the spans point into
    WineHiveText preamble;            // header, comments and options before the first key, as read
    std::string eol = "\n";
    std::string arch;
    std::string relativeTo;
    Node root;
    std::vector<Block*> blocks; // file order
    Arena<Node> nodeArena;
    Arena<Block> blockArena;
    std::deque<std::string> owned; // the texts of their own, by slot
    std::vector<int32_t> freeSlots;

    // Texts --------------------------------------------------------------------------------------------------

    std::string_view view(const WineHiveText& text) const
    {
        if (text.slot >= 0)
            return owned[static_cast<size_t>(text.slot)];
        return source.view().substr(text.offset, text.length);
    }

    WineHiveText span(size_t offset, size_t length) const
    {
        return {static_cast<uint32_t>(offset), static_cast<uint32_t>(length), -1};
    }

    void setText(WineHiveText& text, std::string value)
    {
        if (text.slot < 0) {
            if (freeSlots.empty()) {
                owned.emplace_back();
                text.slot = static_cast<int32_t>(owned.size() - 1);
            } else {
                text.slot = freeSlots.back();
                freeSlots.pop_back();
            }
        }
        owned[static_cast<size_t>(text.slot)] = std::move(value);
    }

    WineHiveText ownText(std::string value)
    {
        WineHiveText text;
        setText(text, std::move(value));
        return text;
    }

    void releaseText(WineHiveText& text)
    {
        if (text.slot >= 0) {
            owned[static_cast<size_t>(text.slot)].clear();
            freeSlots.push_back(text.slot);
        }
        text = {};
    }

    // Makes sure the text ends with a line end, for something to follow it.
    void endLine(WineHiveText& text)
    {
        const std::string_view v = view(text);
        if (!v.empty() && v.back() != '\n')
            setText(text, std::string(v) + eol);
    }

    // Blocks and keys ----------------------------------------------------------------------------------------

    // The lines of a block as read, one item each (a value with its continuation lines).
    std::vector<Item> scan(const Block* block) const
    {
        std::vector<Item> items;
        const std::string_view text = source.view();
        const size_t end = size_t{block->bodyOffset} + block->bodyLength;
        size_t lines = 0;
        bool link = false;
        for (size_t start = block->bodyOffset; start < end;) {
            Kind kind = Kind::Raw;
            const size_t next = readItem(text, start, kind, link, lines);
            items.push_back(Item{kind, span(start, next - start)});
            start = next;
        }
        return items;
    }

    // The block's lines: its own list, or, for a block as read, `scratch` filled with them.
    std::span<const Item> itemsOf(const Block* block, std::vector<Item>& scratch) const
    {
        if (block->own)
            return *block->own;
        scratch = scan(block);
        return scratch;
    }

    // The block's lines as a list of its own, for lines to be changed, added or removed.
    std::vector<Item>& expand(Block* block)
    {
        if (!block->own)
            block->own = std::make_unique<std::vector<Item>>(scan(block));
        return *block->own;
    }

    void attach(Node* node, Block* block)
    {
        block->node = node;
        block->nextOfNode = nullptr;
        if (node->lastBlock)
            node->lastBlock->nextOfNode = block;
        else
            node->firstBlock = block;
        node->lastBlock = block;
    }

    // The child of that escaped name, made when missing (with `name` as its name).
    Node* ensureChild(Node* parent, std::string_view rawName, const WineHiveText& name)
    {
        auto& children = parent->children;
        auto pos = children.end();
        // Files list keys in Wine's order, so a new child usually goes last.
        if (!children.empty()) {
            const int last = compareRawNames(view(children.back()->name), rawName);
            if (last == 0)
                return children.back();
            if (last > 0) {
                pos = std::lower_bound(
                    children.begin(), children.end(), rawName,
                    [this](const Node* n, std::string_view raw) { return compareRawNames(view(n->name), raw) < 0; });
                if (compareRawNames(view((*pos)->name), rawName) == 0)
                    return *pos;
            }
        }
        Node* node = nodeArena.make();
        node->name = name;
        node->parent = parent;
        node->depth = parent->depth + 1;
        children.insert(pos, node);
        return node;
    }

    // The child whose name folds to `foldedName`, or null; with `index`, its place among the children.
    Node* findChild(const Node* parent, std::u16string_view foldedName, size_t* index = nullptr) const
    {
        const auto& children = parent->children;
        const auto pos = std::lower_bound(
            children.begin(), children.end(), foldedName,
            [this](const Node* n, std::u16string_view name) { return compareRawToFolded(view(n->name), name) < 0; });
        if (pos == children.end() || compareRawToFolded(view((*pos)->name), foldedName) != 0)
            return nullptr;
        if (index)
            *index = static_cast<size_t>(pos - children.begin());
        return *pos;
    }

    // Wine writes keys depth first, children in case-insensitive order.
    int compareTreeOrder(const Node* a, const Node* b) const
    {
        if (a == b)
            return 0;
        const Node* x = a;
        const Node* y = b;
        while (x->depth > y->depth)
            x = x->parent;
        while (y->depth > x->depth)
            y = y->parent;
        if (x == y) // one lies below the other: the shorter path comes first
            return a->depth < b->depth ? -1 : 1;
        while (x->parent != y->parent) {
            x = x->parent;
            y = y->parent;
        }
        return compareRawNames(view(x->name), view(y->name)) < 0 ? -1 : 1;
    }

    void touch(Block* block, TimePoint now)
    {
        setText(block->keyLine, "[" + std::string(view(block->rawPath)) + "] " + keyLineStamp(now) + eol);
        std::string time = "#time=" + filetimeHex(now) + eol;
        auto& items = expand(block);
        for (auto& item : items) {
            if (item.kind == Kind::Option && view(item.text).starts_with("#time=")) {
                setText(item.text, std::move(time));
                return;
            }
        }
        items.insert(items.begin(), Item{Kind::Option, ownText(std::move(time))});
    }

    // A new, empty block for a key that has none, placed where Wine would write it.
    Block* addBlock(Node* node, TimePoint now)
    {
        Block* block = blockArena.make();
        std::vector<const Node*> path;
        for (const Node* n = node; n && n != &root; n = n->parent)
            path.push_back(n);
        std::string rawPath;
        for (auto part = path.rbegin(); part != path.rend(); ++part) {
            if (!rawPath.empty())
                rawPath += "\\\\";
            rawPath += escape(decodeName(view((*part)->name)), Context::Key);
        }
        block->rawPath = ownText(std::move(rawPath));
        block->own = std::make_unique<std::vector<Item>>();
        block->own->push_back(Item{Kind::Raw, ownText(eol)});
        touch(block, now);

        auto pos = std::find_if(blocks.begin(), blocks.end(),
                                [&](const Block* b) { return compareTreeOrder(b->node, node) > 0; });
        if (pos == blocks.end()) {
            // Appending: the text before must end with a line end.
            if (blocks.empty()) {
                endLine(preamble);
            } else {
                Block* last = blocks.back();
                auto& lastItems = expand(last);
                endLine(lastItems.empty() ? last->keyLine : lastItems.back().text);
            }
        }
        blocks.insert(pos, block);
        attach(node, block);
        return block;
    }

    // The escaped name of a value item.
    std::string_view valueName(const Item& item) const { return rawValueName(view(item.text)); }

    // The last occurrence of a value of the key: its block and the index of its line.
    std::pair<Block*, size_t> findValue(const Node* node, std::u16string_view foldedName) const
    {
        std::pair<Block*, size_t> found{nullptr, 0};
        std::vector<Item> scratch;
        for (Block* b = node->firstBlock; b; b = b->nextOfNode) {
            const auto items = itemsOf(b, scratch);
            for (size_t i = 0; i < items.size(); ++i) {
                if (items[i].kind == Kind::Value && compareRawToFolded(valueName(items[i]), foldedName) == 0)
                    found = {b, i};
            }
        }
        return found;
    }

    void collect(Node* node, std::unordered_set<const Block*>& out)
    {
        for (const Block* b = node->firstBlock; b; b = b->nextOfNode)
            out.insert(b);
        for (Node* child : node->children)
            collect(child, out);
    }

    // Reading ------------------------------------------------------------------------------------------------

    // Reads `source`.
    void parse();
    Block* parseKeyLine(std::string_view s, size_t first, size_t start, size_t end,
                        std::vector<std::pair<std::string_view, Node*>>& previous);
};

// Reads the key line `s` (its text runs from `start` to `end` in the source, line end included; `first` is the
// bracket) and opens its block. `previous` holds the components of the key line before and their keys: a file
// lists keys in tree order, so most of a path is the one before.
WineHive::Block* WineHive::Impl::parseKeyLine(std::string_view s, size_t first, size_t start, size_t end,
                                              std::vector<std::pair<std::string_view, Node*>>& previous)
{
    // The components are cut where an escape gives a backslash; everything else stays as it is written.
    struct Part {
        std::string_view raw;
        bool plain; // ASCII without escapes: never empty once decoded
    };
    thread_local std::vector<Part> parts;
    parts.clear();
    size_t pos = first + 1;
    size_t partStart = pos;
    bool plain = true;
    while (true) {
        pos = skipPlainKeyBytes(s, pos);
        if (pos >= s.size())
            throw ParseError{"unterminated key name"};
        const char c = s[pos];
        if (c == ']') {
            parts.push_back({s.substr(partStart, pos - partStart), plain});
            ++pos;
            break;
        }
        if (c != '\\') {
            plain = false; // a byte of UTF-8, which may be dropped
            ++pos;
            continue;
        }
        const size_t escapeStart = pos;
        if (++pos >= s.size())
            throw ParseError{"unterminated escape sequence"};
        if (readEscape(s, pos) == u'\\') {
            parts.push_back({s.substr(partStart, escapeStart - partStart), plain});
            partStart = pos;
            plain = true;
        }
    }
    for (size_t i = pos; i < s.size(); ++i) {
        const char c = s[i];
        if ((c < '0' || c > '9') && c != ' ' && c != '\t')
            throw ParseError{"text after the key name is not a time stamp"};
    }

    Node* node = &root;
    bool same = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string_view raw = parts[i].raw;
        if (raw.empty() || (!parts[i].plain && decodesToNothing(raw)))
            throw ParseError{"empty key name in the key path"};
        if (same && i < previous.size() && previous[i].first == raw) {
            node = previous[i].second;
            continue;
        }
        same = false;
        node = ensureChild(node, raw, span(static_cast<size_t>(raw.data() - source.view().data()), raw.size()));
        previous.resize(i);
        previous.emplace_back(raw, node);
    }
    previous.resize(parts.size());

    Block* block = blockArena.make();
    block->rawPath = span(start + first + 1, pos - first - 2);
    block->keyLine = span(start, end - start);
    block->bodyOffset = static_cast<uint32_t>(end);
    attach(node, block);
    blocks.push_back(block);
    return block;
}

void WineHive::Impl::parse()
{
    const std::string_view text = source.view();
    if (text.empty())
        throw ParseError{"line 1: not a Wine registry file (the first line must be \"WINE REGISTRY Version 2\")"};
    const Line head = lineAt(text, 0);
    if (head.content != kHeader)
        throw ParseError{"line 1: not a Wine registry file (the first line must be \"WINE REGISTRY Version 2\")"};
    if (text.size() > UINT32_MAX)
        throw ParseError{"line 1: the file is too large for a registry file"};
    if (text.substr(0, head.next).ends_with("\r\n"))
        eol = "\r\n";

    std::vector<std::pair<std::string_view, Node*>> previous;
    size_t lineIndex = 0;
    Block* block = nullptr;
    auto closeBlock = [&](size_t at) {
        if (block)
            block->bodyLength = static_cast<uint32_t>(at - block->bodyOffset);
    };
    try {
        for (size_t start = 0; start < text.size(); ++lineIndex) {
            const Line line = lineAt(text, start);
            const std::string_view s = line.content;
            const size_t first = firstNonBlank(s);
            const char lead = first == s.size() ? '\0' : s[first];
            if (lead == '[') {
                closeBlock(start);
                block = parseKeyLine(s, first, start, line.next, previous);
                start = line.next;
                continue;
            }
            if (!block) {
                // The header: comments, options and blank lines before the first key.
                if (lineIndex > 0 && lead != '\0' && lead != ';' && lead != '#')
                    throw ParseError{"unexpected text before the first key"};
                if (s.starts_with("#arch="))
                    arch = std::string(s.substr(6));
                if (s.starts_with(kRelativePrefix)) {
                    size_t pos = kRelativePrefix.size();
                    std::string withEnd = std::string(s) + "\n"; // read the name up to the line end
                    relativeTo = toUtf8(unescape(withEnd, pos, '\n'));
                }
                preamble = span(0, line.next);
                start = line.next;
                continue;
            }
            Kind kind = Kind::Raw;
            start = readItem(text, start, kind, block->link, lineIndex);
        }
    } catch (const ParseError& e) {
        throw ParseError{"line " + std::to_string(lineIndex + 1) + ": " + e.reason};
    }
    closeBlock(text.size());
}

// WineHive -----------------------------------------------------------------------------------------------------

WineHive::WineHive() : impl_(std::make_unique<Impl>()) {}
WineHive::~WineHive() = default;
WineHive::WineHive(WineHive&&) noexcept = default;
WineHive& WineHive::operator=(WineHive&&) noexcept = default;

WineHive WineHive::parse(std::string text, const std::string& source)
{
    WineHive hive;
    hive.impl_->source.adopt(std::move(text));
    hive.parseSource(source);
    return hive;
}

WineHive WineHive::read(size_t sizeHint, const std::function<size_t(char*, size_t)>& fill, const std::string& source)
{
    WineHive hive;
    Impl& impl = *hive.impl_;
    if (sizeHint >= kBulkTextSize) {
        impl.bulk = std::make_unique<BulkMemory>();
        impl.nodeArena.useBulk(impl.bulk.get());
        impl.blockArena.useBulk(impl.bulk.get());
    }
    impl.source.read(sizeHint, fill, impl.bulk.get());
    hive.parseSource(source);
    return hive;
}

void WineHive::parseSource(const std::string& source)
{
    try {
        impl_->parse();
    } catch (const ParseError& e) {
        throw RegistryError("The registry file \"" + source + "\" cannot be read: " + e.reason + ".", WinError::BadDb);
    }
}

WineHive WineHive::makeEmpty(std::string_view relativeTo, std::string_view arch)
{
    WineHive hive;
    Impl& impl = *hive.impl_;
    impl.relativeTo = std::string(relativeTo);
    impl.arch = std::string(arch);
    std::string preamble = std::string(kHeader) + "\n";
    if (!relativeTo.empty())
        preamble += std::string(kRelativePrefix) + escape(toUtf16(relativeTo), Context::Key) + "\n";
    preamble += "\n";
    if (!arch.empty())
        preamble += "#arch=" + std::string(arch) + "\n\n";
    impl.preamble = impl.ownText(std::move(preamble));
    return hive;
}

void WineHive::write(const std::function<void(std::string_view)>& sink) const
{
    const Impl& impl = *impl_;
    // Pieces that follow each other in memory (the file's text as read) go out as one.
    const char* pending = nullptr;
    size_t pendingSize = 0;
    auto add = [&](std::string_view piece) {
        if (piece.empty())
            return;
        if (pending && pending + pendingSize == piece.data()) {
            pendingSize += piece.size();
            return;
        }
        if (pending)
            sink(std::string_view(pending, pendingSize));
        pending = piece.data();
        pendingSize = piece.size();
    };
    add(impl.view(impl.preamble));
    for (const Block* block : impl.blocks) {
        add(impl.view(block->keyLine));
        if (block->own) {
            for (const auto& item : *block->own)
                add(impl.view(item.text));
        } else {
            add(impl.source.view().substr(block->bodyOffset, block->bodyLength));
        }
    }
    if (pending)
        sink(std::string_view(pending, pendingSize));
}

std::string WineHive::serialize() const
{
    std::vector<std::string_view> pieces;
    size_t size = 0;
    write([&](std::string_view piece) {
        pieces.push_back(piece);
        size += piece.size();
    });
    std::string out;
    out.reserve(size);
    for (const auto piece : pieces)
        out += piece;
    return out;
}

const std::string& WineHive::arch() const
{
    return impl_->arch;
}
const std::string& WineHive::relativeTo() const
{
    return impl_->relativeTo;
}

WineHive::Node* WineHive::root()
{
    return &impl_->root;
}
const WineHive::Node* WineHive::root() const
{
    return &impl_->root;
}

const WineHive::Node* WineHive::child(const Node* parent, std::string_view name) const
{
    return impl_->findChild(parent, folded(toUtf16(name)));
}

WineHive::Node* WineHive::child(Node* parent, std::string_view name)
{
    return const_cast<Node*>(std::as_const(*this).child(parent, name));
}

std::string WineHive::name(const Node* key) const
{
    if (key == &impl_->root)
        return {};
    return toUtf8(decodeName(impl_->view(key->name)));
}

std::vector<std::string> WineHive::subKeyNames(const Node* key) const
{
    std::vector<std::string> names;
    names.reserve(key->children.size());
    for (const Node* child : key->children)
        names.push_back(name(child));
    return names;
}

WineHive::Node* WineHive::createChild(Node* parent, std::string_view name, TimePoint now)
{
    return createKey(parent, {std::string(name)}, now);
}

WineHive::Node* WineHive::createKey(Node* parent, const std::vector<std::string>& path, TimePoint now)
{
    Node* node = parent;
    size_t i = 0;
    for (; i < path.size(); ++i) {
        Node* next = child(node, path[i]);
        if (!next)
            break;
        node = next;
    }
    if (i == path.size())
        return node;
    Node* existing = node;
    for (; i < path.size(); ++i) {
        // The name is kept escaped, as the names read from a file are.
        const WineHiveText name = impl_->ownText(escape(toUtf16(path[i]), Context::Key));
        node = impl_->ensureChild(node, impl_->view(name), name);
    }
    // Like Wine, only the new leaf is written: the keys between are implied by its path.
    impl_->addBlock(node, now);
    if (existing->lastBlock)
        impl_->touch(existing->lastBlock, now);
    return node;
}

bool WineHive::removeChild(Node* parent, std::string_view name, TimePoint now)
{
    size_t index = 0;
    Node* node = impl_->findChild(parent, folded(toUtf16(name)), &index);
    if (!node)
        return false;
    std::unordered_set<const Block*> doomed;
    impl_->collect(node, doomed);
    auto& blocks = impl_->blocks;
    blocks.erase(std::remove_if(blocks.begin(), blocks.end(), [&](const Block* b) { return doomed.count(b) > 0; }),
                 blocks.end());
    parent->children.erase(parent->children.begin() + static_cast<std::ptrdiff_t>(index));
    if (parent != &impl_->root) {
        // A key that lost its last subkey must be written out, or it would vanish on the next load.
        if (!parent->firstBlock && parent->children.empty())
            impl_->addBlock(parent, now);
        else if (parent->lastBlock)
            impl_->touch(parent->lastBlock, now);
    }
    return true;
}

std::vector<std::string> WineHive::valueNames(const Node* key) const
{
    std::map<std::u16string, std::u16string> names; // folded -> as stored, last occurrence wins
    std::vector<Block::Item> scratch;
    for (const Block* block = key->firstBlock; block; block = block->nextOfNode) {
        for (const auto& item : impl_->itemsOf(block, scratch)) {
            if (item.kind == Kind::Value) {
                std::u16string name = decodeName(impl_->valueName(item));
                names[folded(name)] = std::move(name);
            }
        }
    }
    std::vector<std::string> out;
    out.reserve(names.size());
    for (const auto& [f, n] : names)
        out.push_back(toUtf8(n));
    return out;
}

std::optional<RegValue> WineHive::value(const Node* key, std::string_view name) const
{
    auto [block, index] = impl_->findValue(key, folded(toUtf16(name)));
    if (!block)
        return std::nullopt;
    std::vector<Block::Item> scratch;
    const std::string_view text = impl_->view(impl_->itemsOf(block, scratch)[index].text);
    RegValue value;
    size_t lines = 0;
    try {
        parseValue(text, lineAt(text, 0), lines, &value);
    } catch (const ParseError&) {
        return std::nullopt; // not reached: the line was checked when it was read or written
    }
    return value;
}

bool WineHive::setValue(Node* key, std::string_view name, const RegValue& value, TimePoint now)
{
    if (key == &impl_->root)
        throw RegistryError("The root of a registry file holds no values.", WinError::AccessDenied);
    const std::u16string name16 = toUtf16(name);
    const std::u16string f = folded(name16);
    auto [block, index] = impl_->findValue(key, f);
    if (block) {
        std::vector<Block::Item> scratch;
        RegValue stored;
        size_t lines = 0;
        const std::string_view text = impl_->view(impl_->itemsOf(block, scratch)[index].text);
        parseValue(text, lineAt(text, 0), lines, &stored);
        if (stored == value)
            return false;
        auto& item = impl_->expand(block)[index];
        // The stored name keeps its case.
        impl_->setText(item.text, formatValue(decodeName(impl_->valueName(item)), value, impl_->eol));
        impl_->touch(block, now);
        return true;
    }
    block = key->lastBlock ? key->lastBlock : impl_->addBlock(key, now);
    auto& items = impl_->expand(block);
    // Wine keeps a key's values sorted by name; insert before the first greater one, else after the last value
    // or option line (before the blank line that ends the block).
    size_t pos = items.size();
    size_t afterLast = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].kind == Kind::Value && compareRawToFolded(impl_->valueName(items[i]), f) > 0) {
            pos = i;
            break;
        }
        if (items[i].kind != Kind::Raw)
            afterLast = i + 1;
    }
    if (pos == items.size())
        pos = afterLast;
    if (pos > 0)
        impl_->endLine(items[pos - 1].text); // the file ended without a line end
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(pos),
                 Block::Item{Kind::Value, impl_->ownText(formatValue(name16, value, impl_->eol))});
    impl_->touch(block, now);
    return true;
}

bool WineHive::deleteValue(Node* key, std::string_view name, TimePoint now)
{
    const std::u16string f = folded(toUtf16(name));
    auto matches = [&](const Block::Item& item) {
        return item.kind == Kind::Value && compareRawToFolded(impl_->valueName(item), f) == 0;
    };
    bool removed = false;
    std::vector<Block::Item> scratch;
    for (Block* block = key->firstBlock; block; block = block->nextOfNode) {
        const auto range = impl_->itemsOf(block, scratch);
        if (std::none_of(range.begin(), range.end(), matches))
            continue;
        auto& items = impl_->expand(block);
        auto end = std::remove_if(items.begin(), items.end(), [&](Block::Item& item) {
            if (!matches(item))
                return false;
            impl_->releaseText(item.text);
            return true;
        });
        items.erase(end, items.end());
        impl_->touch(block, now);
        removed = true;
    }
    return removed;
}

bool WineHive::isLink(const Node* key) const
{
    for (const Block* b = key->firstBlock; b; b = b->nextOfNode)
        if (b->link)
            return true;
    return false;
}

std::optional<std::string> WineHive::linkTarget(const Node* key) const
{
    if (!isLink(key))
        return std::nullopt;
    auto v = value(key, "SymbolicLinkValue");
    if (!v || v->type != RegType::Link)
        return std::nullopt;
    std::u16string units = unitsOf(v->data);
    if (auto zero = units.find(u'\0'); zero != std::u16string::npos)
        units.resize(zero);
    return toUtf8(units);
}

bool WineHive::namesEqual(std::string_view a, std::string_view b)
{
    return folded(toUtf16(a)) == folded(toUtf16(b));
}

} // namespace tarvix::platform::wine
