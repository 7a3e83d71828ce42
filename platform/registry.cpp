#include "platform/registry.h"

#include "platform/ascii_case.h"
#include "platform/text_encoding.h"

#include <array>

namespace tarvix::platform {

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

// Whole UTF-16 units only: a stray last byte is not part of the text.
std::string_view evenPart(std::string_view bytes)
{
    return bytes.substr(0, bytes.size() & ~size_t(1));
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
        if (equalsIgnoringAsciiCase(name, r.full) || equalsIgnoringAsciiCase(name, r.shortName))
            return r.root;
    }
    return std::nullopt;
}

RegValue RegValue::string(std::string_view utf8, uint32_t type)
{
    std::u16string text = utf8ToUtf16(utf8);
    text.push_back(u'\0');
    return RegValue{type, utf16leBytes(text)};
}

RegValue RegValue::multiString(const std::vector<std::string>& utf8Strings)
{
    std::u16string text;
    for (const auto& s : utf8Strings) {
        text += utf8ToUtf16(s);
        text.push_back(u'\0');
    }
    text.push_back(u'\0');
    return RegValue{RegType::MultiSz, utf16leBytes(text)};
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
    std::u16string units = fromUtf16leBytes(evenPart(data));
    if (auto zero = units.find(u'\0'); zero != std::u16string::npos)
        units.resize(zero);
    return utf16ToUtf8(units);
}

std::vector<std::string> RegValue::asMultiString() const
{
    std::vector<std::string> strings;
    const std::u16string units = fromUtf16leBytes(evenPart(data));
    size_t start = 0;
    while (start < units.size()) {
        size_t end = units.find(u'\0', start);
        if (end == std::u16string::npos)
            end = units.size(); // the last string lacks its terminator: it still counts
        if (end == start)
            break; // the empty string ends the list
        strings.push_back(utf16ToUtf8(std::u16string_view(units).substr(start, end - start)));
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
