#include "platform/registry.h"

#include "platform/registry_utf16.h"

#include <array>
#include <cctype>

namespace tarvix::platform {

namespace detail {

std::u16string registryUtf8ToUtf16(std::string_view in)
{
    std::u16string out;
    out.reserve(in.size());
    size_t i = 0;
    while (i < in.size()) {
        const auto b0 = static_cast<unsigned char>(in[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((b0 & 0xE0) == 0xC0) {
            extra = 1, cp = b0 & 0x1F, min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, cp = b0 & 0x0F, min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, cp = b0 & 0x07, min = 0x10000;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        int got = 0;
        while (got < extra && i + 1 + got < in.size() &&
               (static_cast<unsigned char>(in[i + 1 + got]) & 0xC0) == 0x80) {
            cp = (cp << 6) | (static_cast<unsigned char>(in[i + 1 + got]) & 0x3F);
            ++got;
        }
        if (got < extra || cp < min || cp > 0x10FFFF) {
            // A truncated or overlong sequence: one replacement for the lead byte and the continuation bytes
            // that belonged to it.
            out.push_back(0xFFFD);
            i += 1 + got;
            continue;
        }
        i += 1 + extra;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp)); // a lone surrogate comes back as itself
        }
    }
    return out;
}

std::string registryUtf16ToUtf8(std::u16string_view in)
{
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        char32_t cp = in[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

} // namespace detail

namespace {

struct RootNames {
    RegRoot root;
    std::string_view full;
    std::string_view shortName;
};

constexpr std::array<RootNames, 7> kRoots{{
    {RegRoot::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
    {RegRoot::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {RegRoot::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {RegRoot::Users, "HKEY_USERS", "HKU"},
    {RegRoot::PerformanceData, "HKEY_PERFORMANCE_DATA", "HKPD"},
    {RegRoot::CurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC"},
    {RegRoot::DynData, "HKEY_DYN_DATA", "HKDD"},
}};

bool equalsAsciiNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string utf16Bytes(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

// The data as UTF-16 code units; an odd last byte is dropped.
std::u16string utf16Units(std::string_view bytes)
{
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return units;
}

thread_local bool t_view32 = false;

} // namespace

std::string_view rootName(RegRoot root)
{
    for (const auto& r : kRoots) {
        if (r.root == root)
            return r.full;
    }
    return {};
}

std::optional<RegRoot> rootFromName(std::string_view name)
{
    for (const auto& r : kRoots) {
        if (equalsAsciiNoCase(name, r.full) || equalsAsciiNoCase(name, r.shortName))
            return r.root;
    }
    return std::nullopt;
}

RegValue RegValue::string(std::string_view utf8, uint32_t type)
{
    std::u16string text = detail::registryUtf8ToUtf16(utf8);
    text.push_back(u'\0');
    return RegValue{type, utf16Bytes(text)};
}

RegValue RegValue::multiString(const std::vector<std::string>& utf8Strings)
{
    std::u16string text;
    for (const auto& s : utf8Strings) {
        text += detail::registryUtf8ToUtf16(s);
        text.push_back(u'\0');
    }
    text.push_back(u'\0');
    return RegValue{RegType::MultiSz, utf16Bytes(text)};
}

RegValue RegValue::dword(uint32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return RegValue{RegType::Dword, bytes};
}

RegValue RegValue::binary(std::string_view bytes)
{
    return RegValue{RegType::Binary, std::string(bytes)};
}

std::string RegValue::asString() const
{
    std::u16string units = utf16Units(data);
    if (auto zero = units.find(u'\0'); zero != std::u16string::npos)
        units.resize(zero);
    return detail::registryUtf16ToUtf8(units);
}

std::vector<std::string> RegValue::asMultiString() const
{
    std::vector<std::string> strings;
    const std::u16string units = utf16Units(data);
    size_t start = 0;
    while (start < units.size()) {
        size_t end = units.find(u'\0', start);
        if (end == std::u16string::npos)
            end = units.size(); // the last string lacks its terminator: it still counts
        if (end == start)
            break; // the empty string ends the list
        strings.push_back(detail::registryUtf16ToUtf8(std::u16string_view(units).substr(start, end - start)));
        start = end + 1;
    }
    return strings;
}

uint32_t RegValue::asDword() const
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && i < data.size(); ++i)
        value |= static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
    return value;
}

std::optional<std::string> RegistryKey::readString(std::string_view name) const
{
    auto v = value(name);
    if (!v || (v->type != RegType::Sz && v->type != RegType::ExpandSz))
        return std::nullopt;
    return v->asString();
}

std::optional<uint32_t> RegistryKey::readDword(std::string_view name) const
{
    auto v = value(name);
    if (!v || v->type != RegType::Dword)
        return std::nullopt;
    return v->asDword();
}

void RegistryKey::writeString(std::string_view name, std::string_view utf8, uint32_t type)
{
    setValue(name, RegValue::string(utf8, type));
}

void RegistryKey::writeDword(std::string_view name, uint32_t value)
{
    setValue(name, RegValue::dword(value));
}

bool Registry::threadView32()
{
    return t_view32;
}

bool Registry::setThreadView32(bool on)
{
    bool previous = t_view32;
    t_view32 = on;
    return previous;
}

} // namespace tarvix::platform
