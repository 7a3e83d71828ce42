#include "platform/private_profile.h"

#include "platform/ascii_case.h"
#include "platform/errors.h"
#include "platform/system.h"
#include "platform/text_encoding.h"

namespace tarvix::platform {

namespace {

bool isBlank(char16_t c)
{
    return c <= 0x20;
}

std::u16string_view trim(std::u16string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Upper case of the ASCII and Latin-1 letters; everything else stays as it is.
char16_t foldCase(char16_t c)
{
    if (c < 0x80)
        return static_cast<char16_t>(asciiUpper(static_cast<char>(c)));
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<char16_t>(c - 0x20);
    return c;
}

bool sameName(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    }
    return true;
}

std::u16string_view unquote(std::u16string_view value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::u16string_view cut(std::u16string_view value)
{
    if (value.size() <= ProfileValueMaxLength)
        return value;
    std::size_t length = ProfileValueMaxLength;
    // Half a surrogate pair is no character: leave the whole pair out.
    if (value[length - 1] >= 0xD800 && value[length - 1] <= 0xDBFF)
        --length;
    return value.substr(0, length);
}

std::optional<uint32_t> digitValue(char c, int base)
{
    uint32_t d;
    if (c >= '0' && c <= '9')
        d = static_cast<uint32_t>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f')
        d = static_cast<uint32_t>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F')
        d = static_cast<uint32_t>(c - 'A' + 10);
    else
        return std::nullopt;
    return d;
}

} // namespace

std::u16string decodeProfileText(std::string_view bytes, uint32_t ansiCodePage)
{
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
        return fromUtf16leBytes(bytes.substr(2, (bytes.size() - 2) & ~std::size_t(1)));
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
        std::u16string text;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text.push_back(static_cast<char16_t>((static_cast<unsigned char>(bytes[i]) << 8) |
                                                 static_cast<unsigned char>(bytes[i + 1])));
        }
        return text;
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return utf8ToUtf16(bytes.substr(3));
    return utf8ToUtf16(decodeCodePage(bytes, ansiCodePage));
}

std::optional<std::string> findProfileValue(std::u16string_view text, std::string_view section, std::string_view key)
{
    const std::u16string wantedSection = utf8ToUtf16(section);
    const std::u16string wantedKey = utf8ToUtf16(key);
    const std::u16string_view sectionName = trim(wantedSection);
    const std::u16string_view keyName = trim(wantedKey);

    bool inSection = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of(u"\r\n", pos);
        if (end == std::u16string_view::npos)
            end = text.size();
        const std::u16string_view line = trim(text.substr(pos, end - pos));
        pos = end + 1;

        if (line.empty() || line.front() == u';')
            continue;
        if (line.front() == u'[') {
            std::u16string_view name = line.substr(1);
            if (const std::size_t close = name.find(u']'); close != std::u16string_view::npos)
                name = name.substr(0, close);
            inSection = sameName(trim(name), sectionName);
            continue;
        }
        if (!inSection)
            continue;
        const std::size_t equals = line.find(u'=');
        if (equals == std::u16string_view::npos || !sameName(trim(line.substr(0, equals)), keyName))
            continue;
        return utf16ToUtf8(cut(unquote(trim(line.substr(equals + 1)))));
    }
    return std::nullopt;
}

std::optional<int32_t> parseProfileInt(std::string_view value)
{
    bool negative = false;
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    int base = 10;
    if (value.size() >= 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        base = 16;
        value.remove_prefix(2);
    } else if (!value.empty() && value.front() == '$') {
        base = 16;
        value.remove_prefix(1);
    }
    if (value.empty())
        return std::nullopt;

    if (base == 16) {
        uint32_t bits = 0;
        int significant = 0;
        for (char c : value) {
            auto d = digitValue(c, 16);
            if (!d)
                return std::nullopt;
            if (significant > 0 || *d != 0)
                ++significant;
            if (significant > 8)
                return std::nullopt;
            bits = (bits << 4) | *d;
        }
        if (negative)
            bits = 0u - bits;
        return static_cast<int32_t>(bits);
    }

    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t magnitude = 0;
    for (char c : value) {
        auto d = digitValue(c, 10);
        if (!d)
            return std::nullopt;
        magnitude = magnitude * 10 + *d;
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

std::optional<std::string> privateProfileValue(std::string_view section, std::string_view key,
                                               std::string_view fileName)
{
    std::u16string text;
    try {
        System& system = current();
        if (!system.files().fileExists(fileName))
            return std::nullopt;
        text = decodeProfileText(system.files().readFile(fileName), system.shell().ansiCodePage());
    } catch (const PlatformError&) {
        return std::nullopt; // unreadable: as if it were missing
    }
    return findProfileValue(text, section, key);
}

std::string privateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                 std::string_view fileName)
{
    if (auto value = privateProfileValue(section, key, fileName))
        return std::move(*value);
    return std::string(defaultValue);
}

int32_t privateProfileInt(std::string_view section, std::string_view key, int32_t defaultValue,
                          std::string_view fileName)
{
    const std::string text = privateProfileString(section, key, {}, fileName);
    return parseProfileInt(text).value_or(defaultValue);
}

} // namespace tarvix::platform
