#include "platform/wine/wine_hive.h"

#include "platform/ascii_case.h"
#include "platform/errors.h"
#include "platform/text_encoding.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <unordered_set>
#include <utility>

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

// Reads an escaped text from `s` starting at `pos` up to the unescaped `end` character (which is consumed).
// Raw bytes are UTF-8; bytes that are not valid UTF-8 are dropped, the way Wine reads them.
std::u16string unescape(std::string_view s, size_t& pos, char end)
{
    std::u16string out;
    while (true) {
        if (pos >= s.size())
            throw ParseError{end == '"' ? "unterminated quoted text" : "unterminated key name"};
        const char c = s[pos];
        if (c == end) {
            ++pos;
            return out;
        }
        if (c == '\\') {
            ++pos;
            if (pos >= s.size())
                throw ParseError{"unterminated escape sequence"};
            const char e = s[pos++];
            switch (e) {
            case 'a': out.push_back(0x07); continue;
            case 'b': out.push_back(0x08); continue;
            case 'e': out.push_back(0x1B); continue;
            case 'f': out.push_back(0x0C); continue;
            case 'n': out.push_back(0x0A); continue;
            case 'r': out.push_back(0x0D); continue;
            case 't': out.push_back(0x09); continue;
            case 'v': out.push_back(0x0B); continue;
            case 'x': {
                unsigned v = 0;
                int digits = 0;
                while (digits < 4 && pos < s.size() && isHexDigit(static_cast<unsigned char>(s[pos]))) {
                    v = v * 16 + static_cast<unsigned>(hexValue(s[pos++]));
                    ++digits;
                }
                out.push_back(digits ? static_cast<char16_t>(v) : u'x');
                continue;
            }
            default:
                if (e >= '0' && e <= '7') {
                    unsigned v = static_cast<unsigned>(e - '0');
                    for (int digits = 1; digits < 3 && pos < s.size() && s[pos] >= '0' && s[pos] <= '7'; ++digits)
                        v = v * 8 + static_cast<unsigned>(s[pos++] - '0');
                    out.push_back(static_cast<char16_t>(v));
                } else {
                    out.push_back(static_cast<unsigned char>(e)); // \\ \" \[ \] and any other character itself
                }
                continue;
            }
        }
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(b);
            ++pos;
            continue;
        }
        // A UTF-8 sequence; a byte that does not start a valid one is dropped.
        const int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 0;
        const char32_t min = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        char32_t cp = extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool valid = extra > 0;
        for (int k = 1; valid && k <= extra; ++k) {
            if (pos + k >= s.size() || (static_cast<unsigned char>(s[pos + k]) & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (static_cast<unsigned char>(s[pos + k]) & 0x3F);
        }
        size_t len = 1;
        if (valid && cp >= min && cp <= 0x10FFFF) {
            len = static_cast<size_t>(extra) + 1;
            if (cp >= 0x10000) {
                cp -= 0x10000;
                out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
            } else {
                out.push_back(static_cast<char16_t>(cp));
            }
        }
        pos += len;
    }
}

std::vector<std::u16string> splitPath(const std::u16string& path)
{
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (true) {
        size_t sep = path.find(u'\\', start);
        parts.push_back(path.substr(start, sep == std::u16string::npos ? std::u16string::npos : sep - start));
        if (sep == std::u16string::npos)
            break;
        start = sep + 1;
    }
    return parts;
}

int compareFolded(std::u16string_view a, std::u16string_view b)
{
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

struct WineHive::Block {
    enum class Kind { Raw, Option, Value };
    struct Item {
        Kind kind = Kind::Raw;
        std::string text;      // the exact lines, line ends included
        std::u16string name;   // Value: the name as stored
        std::u16string folded; // Value: the name for comparisons
        RegValue value;
    };

    Node* node = nullptr;
    std::string rawPath; // the escaped path between the brackets, kept as read
    std::string keyLine; // the whole key line with its line end
    std::vector<Item> items;
    bool link = false;
};

struct WineHive::Node {
    std::u16string name;
    Node* parent = nullptr;
    std::map<std::u16string, std::unique_ptr<Node>> children; // by folded name: Wine's order
    std::vector<Block*> blocks;                               // in file order
};

struct WineHive::Impl {
    std::string preamble; // header, comments and options before the first key, as read
    std::string eol = "\n";
    std::string arch;
    std::string relativeTo;
    Node root;
    std::vector<std::unique_ptr<Block>> blocks; // file order

    Node* ensureChild(Node* parent, const std::u16string& name)
    {
        auto& slot = parent->children[folded(name)];
        if (!slot) {
            slot = std::make_unique<Node>();
            slot->name = name;
            slot->parent = parent;
        }
        return slot.get();
    }

    std::vector<const Node*> pathOf(const Node* node) const
    {
        std::vector<const Node*> path;
        for (; node && node != &root; node = node->parent)
            path.push_back(node);
        std::reverse(path.begin(), path.end());
        return path;
    }

    // Wine writes keys depth first, children in case-insensitive order.
    int compareTreeOrder(const Node* a, const Node* b) const
    {
        auto pa = pathOf(a);
        auto pb = pathOf(b);
        for (size_t i = 0; i < pa.size() && i < pb.size(); ++i) {
            if (pa[i] == pb[i])
                continue;
            return compareFolded(folded(pa[i]->name), folded(pb[i]->name));
        }
        return pa.size() < pb.size() ? -1 : (pa.size() == pb.size() ? 0 : 1);
    }

    void touch(Block* block, TimePoint now)
    {
        block->keyLine = "[" + block->rawPath + "] " + keyLineStamp(now) + eol;
        std::string time = "#time=" + filetimeHex(now) + eol;
        for (auto& item : block->items) {
            if (item.kind == Block::Kind::Option && item.text.rfind("#time=", 0) == 0) {
                item.text = time;
                return;
            }
        }
        block->items.insert(block->items.begin(), Block::Item{Block::Kind::Option, time, {}, {}, {}});
    }

    // A new, empty block for a key that has none, placed where Wine would write it.
    Block* addBlock(Node* node, TimePoint now)
    {
        auto block = std::make_unique<Block>();
        block->node = node;
        for (const Node* part : pathOf(node)) {
            if (!block->rawPath.empty())
                block->rawPath += "\\\\";
            block->rawPath += escape(part->name, Context::Key);
        }
        block->items.push_back(Block::Item{Block::Kind::Raw, eol, {}, {}, {}});
        touch(block.get(), now);

        auto pos = std::find_if(blocks.begin(), blocks.end(),
                                [&](const auto& b) { return compareTreeOrder(b->node, node) > 0; });
        if (pos == blocks.end()) {
            // Appending: the text before must end with a line end.
            std::string* last = nullptr;
            if (!blocks.empty())
                last = blocks.back()->items.empty() ? &blocks.back()->keyLine : &blocks.back()->items.back().text;
            else
                last = &preamble;
            if (!last->empty() && last->back() != '\n')
                *last += eol;
        }
        Block* raw = block.get();
        blocks.insert(pos, std::move(block));
        node->blocks.push_back(raw);
        return raw;
    }

    // The last occurrence of a value of the key: its block and item index.
    std::pair<Block*, size_t> findValue(const Node* node, const std::u16string& foldedName) const
    {
        for (auto b = node->blocks.rbegin(); b != node->blocks.rend(); ++b) {
            auto& items = (*b)->items;
            for (size_t i = items.size(); i-- > 0;) {
                if (items[i].kind == Block::Kind::Value && items[i].folded == foldedName)
                    return {*b, i};
            }
        }
        return {nullptr, 0};
    }

    void collect(Node* node, std::unordered_set<const Block*>& out)
    {
        out.insert(node->blocks.begin(), node->blocks.end());
        for (auto& [key, child] : node->children)
            collect(child.get(), out);
    }

    void parse(std::string_view text);
    void parseValue(Block& block, const std::vector<std::pair<std::string_view, std::string_view>>& lines,
                    size_t& index);
};

// Parsing ------------------------------------------------------------------------------------------------------

namespace {

// Parses a list of hex bytes that may go on over several lines ending in a backslash. `index` is the line of
// the list's start and moves to its last line.
std::string parseHexList(std::string_view first,
                         const std::vector<std::pair<std::string_view, std::string_view>>& lines, size_t& index)
{
    std::string bytes;
    std::string_view s = first;
    while (true) {
        size_t pos = 0;
        bool more = false;
        while (pos < s.size()) {
            char c = s[pos];
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
            int hi = hexValue(c);
            if (hi < 0)
                throw ParseError{"bad hex byte"};
            int value = hi;
            ++pos;
            if (pos < s.size() && hexValue(s[pos]) >= 0)
                value = value * 16 + hexValue(s[pos++]);
            if (pos < s.size() && s[pos] != ',' && s[pos] != ' ' && s[pos] != '\t' && s[pos] != '\\')
                throw ParseError{"bad hex byte"};
            bytes.push_back(static_cast<char>(value));
        }
        if (!more)
            return bytes;
        if (index + 1 >= lines.size())
            throw ParseError{"line continuation at the end of the file"};
        s = lines[++index].first;
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

} // namespace

void WineHive::Impl::parseValue(Block& block, const std::vector<std::pair<std::string_view, std::string_view>>& lines,
                                size_t& index)
{
    const size_t firstLine = index;
    std::string_view s = lines[index].first;
    size_t pos = s.find_first_not_of(" \t");
    Block::Item item;
    item.kind = Block::Kind::Value;
    if (s[pos] == '@') {
        ++pos;
    } else {
        ++pos; // the opening quote
        item.name = unescape(s, pos, '"');
    }
    if (pos >= s.size() || s[pos] != '=')
        throw ParseError{"\"=\" expected after the value name"};
    ++pos;

    std::string_view rest = s.substr(pos);
    auto quoted = [&](size_t at, uint32_t type) {
        size_t p = at + 1;
        std::u16string units = unescape(s, p, '"');
        if (!isBlank(s.substr(p)))
            throw ParseError{"text after the value"};
        units.push_back(u'\0');
        item.value = RegValue{type, bytesOf(units)};
    };
    if (rest.rfind("\"", 0) == 0) {
        quoted(pos, RegType::Sz);
    } else if (rest.rfind("str(", 0) == 0) {
        size_t p = pos + 4;
        uint32_t type = parseTypeNumber(s, p);
        if (p + 1 >= s.size() || s[p] != ':' || s[p + 1] != '"')
            throw ParseError{"quoted text expected after \"str(n):\""};
        quoted(p + 1, type);
    } else if (rest.rfind("dword:", 0) == 0) {
        size_t p = pos + 6;
        uint32_t v = 0;
        size_t start = p;
        while (p < s.size() && hexValue(s[p]) >= 0 && p - start < 8)
            v = v * 16 + static_cast<uint32_t>(hexValue(s[p++]));
        if (p == start || !isBlank(s.substr(p)))
            throw ParseError{"bad dword value"};
        item.value = RegValue::dword(v);
    } else if (rest.rfind("hex:", 0) == 0) {
        item.value = RegValue{RegType::Binary, parseHexList(s.substr(pos + 4), lines, index)};
    } else if (rest.rfind("hex(", 0) == 0) {
        size_t p = pos + 4;
        uint32_t type = parseTypeNumber(s, p);
        if (p >= s.size() || s[p] != ':')
            throw ParseError{"\":\" expected after \"hex(n)\""};
        item.value = RegValue{type, parseHexList(s.substr(p + 1), lines, index)};
    } else {
        throw ParseError{"unknown value format"};
    }
    item.folded = folded(item.name);
    for (size_t i = firstLine; i <= index; ++i)
        item.text += lines[i].second;
    block.items.push_back(std::move(item));
}

void WineHive::Impl::parse(std::string_view text)
{
    // Lines: (text without line end, text with line end).
    std::vector<std::pair<std::string_view, std::string_view>> lines;
    for (size_t start = 0; start < text.size();) {
        size_t nl = text.find('\n', start);
        size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
        std::string_view full = text.substr(start, end - start);
        std::string_view content = full;
        if (!content.empty() && content.back() == '\n')
            content.remove_suffix(1);
        if (!content.empty() && content.back() == '\r')
            content.remove_suffix(1);
        lines.emplace_back(content, full);
        start = end;
    }
    if (lines.empty() || lines[0].first != kHeader)
        throw ParseError{"line 1: not a Wine registry file (the first line must be \"WINE REGISTRY Version 2\")"};
    if (lines[0].second.size() >= 2 && lines[0].second.substr(lines[0].second.size() - 2) == "\r\n")
        eol = "\r\n";

    size_t i = 0;
    Block* block = nullptr;
    try {
        for (; i < lines.size(); ++i) {
            std::string_view s = lines[i].first;
            size_t first = s.find_first_not_of(" \t");
            char lead = first == std::string_view::npos ? '\0' : s[first];
            if (lead == '[') {
                auto b = std::make_unique<Block>();
                size_t pos = first + 1;
                std::u16string path = unescape(s, pos, ']');
                b->rawPath = std::string(s.substr(first + 1, pos - first - 2));
                std::string_view stamp = s.substr(pos);
                size_t digits = stamp.find_first_not_of(" \t");
                if (digits != std::string_view::npos &&
                    stamp.substr(digits).find_first_not_of("0123456789 \t") != std::string_view::npos)
                    throw ParseError{"text after the key name is not a time stamp"};
                Node* node = &root;
                for (const auto& part : splitPath(path)) {
                    if (part.empty())
                        throw ParseError{"empty key name in the key path"};
                    node = ensureChild(node, part);
                }
                b->node = node;
                b->keyLine = std::string(lines[i].second);
                block = b.get();
                node->blocks.push_back(block);
                blocks.push_back(std::move(b));
                continue;
            }
            if (!block) {
                // The header: comments, options and blank lines before the first key.
                if (i > 0 && lead != '\0' && lead != ';' && lead != '#')
                    throw ParseError{"unexpected text before the first key"};
                if (s.rfind("#arch=", 0) == 0)
                    arch = std::string(s.substr(6));
                if (s.rfind(kRelativePrefix, 0) == 0) {
                    size_t pos = kRelativePrefix.size();
                    std::string withEnd = std::string(s) + "\n"; // read the name up to the line end
                    relativeTo = toUtf8(unescape(withEnd, pos, '\n'));
                }
                preamble += lines[i].second;
                continue;
            }
            if (lead == '\0' || lead == ';') {
                block->items.push_back(Block::Item{Block::Kind::Raw, std::string(lines[i].second), {}, {}, {}});
            } else if (lead == '#') {
                if (s.substr(first) == "#link")
                    block->link = true;
                block->items.push_back(Block::Item{Block::Kind::Option, std::string(lines[i].second), {}, {}, {}});
            } else if (lead == '"' || lead == '@') {
                parseValue(*block, lines, i);
            } else {
                throw ParseError{"unexpected text (neither a key, a value nor a comment)"};
            }
        }
    } catch (const ParseError& e) {
        throw ParseError{"line " + std::to_string(i + 1) + ": " + e.reason};
    }
}

// WineHive -----------------------------------------------------------------------------------------------------

WineHive::WineHive() : impl_(std::make_unique<Impl>()) {}
WineHive::~WineHive() = default;
WineHive::WineHive(WineHive&&) noexcept = default;
WineHive& WineHive::operator=(WineHive&&) noexcept = default;

WineHive WineHive::parse(std::string_view text, const std::string& source)
{
    WineHive hive;
    try {
        hive.impl_->parse(text);
    } catch (const ParseError& e) {
        throw RegistryError("The registry file \"" + source + "\" cannot be read: " + e.reason + ".", WinError::BadDb);
    }
    return hive;
}

WineHive WineHive::makeEmpty(std::string_view relativeTo, std::string_view arch)
{
    WineHive hive;
    Impl& impl = *hive.impl_;
    impl.relativeTo = std::string(relativeTo);
    impl.arch = std::string(arch);
    impl.preamble = std::string(kHeader) + "\n";
    if (!relativeTo.empty())
        impl.preamble += std::string(kRelativePrefix) + escape(toUtf16(relativeTo), Context::Key) + "\n";
    impl.preamble += "\n";
    if (!arch.empty())
        impl.preamble += "#arch=" + std::string(arch) + "\n\n";
    return hive;
}

std::string WineHive::serialize() const
{
    size_t size = impl_->preamble.size();
    for (const auto& block : impl_->blocks) {
        size += block->keyLine.size();
        for (const auto& item : block->items)
            size += item.text.size();
    }
    std::string out;
    out.reserve(size);
    out += impl_->preamble;
    for (const auto& block : impl_->blocks) {
        out += block->keyLine;
        for (const auto& item : block->items)
            out += item.text;
    }
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
    auto it = parent->children.find(folded(toUtf16(name)));
    return it == parent->children.end() ? nullptr : it->second.get();
}

WineHive::Node* WineHive::child(Node* parent, std::string_view name)
{
    return const_cast<Node*>(std::as_const(*this).child(parent, name));
}

std::string WineHive::name(const Node* key) const
{
    return toUtf8(key->name);
}

std::vector<std::string> WineHive::subKeyNames(const Node* key) const
{
    std::vector<std::string> names;
    names.reserve(key->children.size());
    for (const auto& [f, child] : key->children)
        names.push_back(toUtf8(child->name));
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
    for (; i < path.size(); ++i)
        node = impl_->ensureChild(node, toUtf16(path[i]));
    // Like Wine, only the new leaf is written: the keys between are implied by its path.
    impl_->addBlock(node, now);
    if (!existing->blocks.empty())
        impl_->touch(existing->blocks.back(), now);
    return node;
}

bool WineHive::removeChild(Node* parent, std::string_view name, TimePoint now)
{
    auto it = parent->children.find(folded(toUtf16(name)));
    if (it == parent->children.end())
        return false;
    std::unordered_set<const Block*> doomed;
    impl_->collect(it->second.get(), doomed);
    auto& blocks = impl_->blocks;
    blocks.erase(std::remove_if(blocks.begin(), blocks.end(), [&](const auto& b) { return doomed.count(b.get()) > 0; }),
                 blocks.end());
    parent->children.erase(it);
    if (parent != &impl_->root) {
        // A key that lost its last subkey must be written out, or it would vanish on the next load.
        if (parent->blocks.empty() && parent->children.empty())
            impl_->addBlock(parent, now);
        else if (!parent->blocks.empty())
            impl_->touch(parent->blocks.back(), now);
    }
    return true;
}

std::vector<std::string> WineHive::valueNames(const Node* key) const
{
    std::map<std::u16string, std::u16string> names; // folded -> as stored, last occurrence wins
    for (const Block* block : key->blocks) {
        for (const auto& item : block->items) {
            if (item.kind == Block::Kind::Value)
                names[item.folded] = item.name;
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
    return block->items[index].value;
}

void WineHive::setValue(Node* key, std::string_view name, const RegValue& value, TimePoint now)
{
    if (key == &impl_->root)
        throw RegistryError("The root of a registry file holds no values.", WinError::AccessDenied);
    const std::u16string name16 = toUtf16(name);
    const std::u16string f = folded(name16);
    auto [block, index] = impl_->findValue(key, f);
    if (block) {
        auto& item = block->items[index];
        item.value = value;
        item.text = formatValue(item.name, value, impl_->eol); // the stored name keeps its case
        impl_->touch(block, now);
        return;
    }
    block = key->blocks.empty() ? impl_->addBlock(key, now) : key->blocks.back();
    Block::Item item{Block::Kind::Value, formatValue(name16, value, impl_->eol), name16, f, value};
    auto& items = block->items;
    // Wine keeps a key's values sorted by name; insert before the first greater one, else after the last value
    // or option line (before the blank line that ends the block).
    size_t pos = items.size();
    size_t afterLast = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].kind == Block::Kind::Value && items[i].folded > f) {
            pos = i;
            break;
        }
        if (items[i].kind != Block::Kind::Raw)
            afterLast = i + 1;
    }
    if (pos == items.size())
        pos = afterLast;
    if (pos > 0 && !items[pos - 1].text.empty() && items[pos - 1].text.back() != '\n')
        items[pos - 1].text += impl_->eol; // the file ended without a line end
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(pos), std::move(item));
    impl_->touch(block, now);
}

bool WineHive::deleteValue(Node* key, std::string_view name, TimePoint now)
{
    const std::u16string f = folded(toUtf16(name));
    bool removed = false;
    for (Block* block : key->blocks) {
        auto& items = block->items;
        auto end = std::remove_if(items.begin(), items.end(), [&](const Block::Item& item) {
            return item.kind == Block::Kind::Value && item.folded == f;
        });
        if (end != items.end()) {
            items.erase(end, items.end());
            impl_->touch(block, now);
            removed = true;
        }
    }
    return removed;
}

bool WineHive::isLink(const Node* key) const
{
    return std::any_of(key->blocks.begin(), key->blocks.end(), [](const Block* b) { return b->link; });
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
