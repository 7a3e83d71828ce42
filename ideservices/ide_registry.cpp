#include "ideservices/ide_registry.h"

#include "ideservices/ide_errors.h"
#include "platform/system.h"

namespace tarvix {

namespace KeyAccess = platform::KeyAccess;
using platform::RegRoot;

namespace {

std::string RootAndPath(RegRoot root, std::string_view relative)
{
    std::string text(platform::rootName(root));
    if (!relative.empty())
        text += "\\" + std::string(relative);
    return text;
}

// Opens an existing key for reading; nullptr when it does not exist; raises when it exists but cannot be opened.
std::unique_ptr<platform::RegistryKey> OpenForRead(RegRoot root, std::string_view key)
{
    const std::string relative = IdeRegRelativeKey(root, key);
    auto& registry = platform::current().registry();
    if (!registry.keyExists(root, relative, KeyAccess::Read))
        return nullptr;
    uint32_t error = 0;
    auto opened = registry.openKey(root, relative, KeyAccess::Read, false, &error);
    if (!opened)
        throw EIdeRegistryError("Unable to open key \"" + RootAndPath(root, relative) + "\" for read");
    return opened;
}

} // namespace

std::string IdeRegRelativeKey(RegRoot root, std::string_view key)
{
    std::string_view path = key;
    while (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    const auto slash = path.find('\\');
    const std::string_view first = path.substr(0, slash);
    // Only the full root names count: "HKCU" may well be the name of a key.
    if (first.size() > 5 && (first.substr(0, 5) == "HKEY_" || first.substr(0, 5) == "hkey_")) {
        const auto named = platform::rootFromName(first);
        if (named) {
            if (*named != root)
                throw EIdeRegistryError("\"" + std::string(key) + "\" does not match RootKey");
            path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        }
    }
    return std::string(path);
}

bool IdeRegKeyExists(RegRoot root, std::string_view key)
{
    return platform::current().registry().keyExists(root, IdeRegRelativeKey(root, key), KeyAccess::Read);
}

bool IdeRegGetKeyNames(RegRoot root, std::string_view key, std::vector<std::string>& names)
{
    auto opened = platform::current().registry().openKey(root, IdeRegRelativeKey(root, key), KeyAccess::Read, false);
    if (!opened)
        return false;
    for (auto& name : opened->subKeyNames())
        names.push_back(std::move(name));
    return true;
}

bool IdeRegGetValueNames(RegRoot root, std::string_view key, std::vector<std::string>& names)
{
    auto opened = OpenForRead(root, key);
    if (!opened)
        return false;
    for (auto& name : opened->valueNames())
        names.push_back(std::move(name));
    return true;
}

bool IdeRegGetStringValues(RegRoot root, std::string_view key, TIdeNameValueList& values)
{
    auto opened = OpenForRead(root, key);
    if (!opened)
        return false;
    for (const auto& name : opened->valueNames()) {
        const auto value = opened->value(name);
        if (!value)
            continue;
        switch (value->type) {
        case platform::RegType::Sz:
        case platform::RegType::ExpandSz:
        case platform::RegType::Binary: values.emplace_back(name, value->asString()); break;
        default: break;
        }
    }
    return true;
}

} // namespace tarvix
