#include "ideservices/ide_config_store.h"

#include "ideservices/ide_errors.h"
#include "ideservices/ide_registry.h"
#include "platform/errors.h"
#include "platform/system.h"
#include "platform/windows_path.h"

namespace tarvix {

namespace KeyAccess = platform::KeyAccess;

namespace {

constexpr uint32_t kReadAccess = KeyAccess::Read | KeyAccess::Wow64_32Key;
constexpr uint32_t kWriteAccess = KeyAccess::AllAccess | KeyAccess::Wow64_32Key;

} // namespace

TIdeConfigStore::TIdeConfigStore(platform::RegRoot ARootKey, std::string AKey)
    : FRootKey(ARootKey),
      FKey(IdeRegRelativeKey(ARootKey, AKey))
{
    auto& registry = platform::current().registry();
    if (registry.keyExists(FRootKey, FKey, kReadAccess))
        return;
    try {
        registry.openKey(FRootKey, FKey, kWriteAccess, true);
    } catch (const platform::RegistryError&) {
        // The store then reads as empty; writing into it reports the failure.
    }
}

std::string TIdeConfigStore::SectionPath(std::string_view Section) const
{
    std::string path = FKey;
    std::string_view section = Section;
    while (!section.empty() && section.front() == '\\')
        section.remove_prefix(1);
    if (!section.empty())
        path = (path.empty() ? std::string() : platform::includeTrailingBackslash(path)) + std::string(section);
    return path;
}

std::string TIdeConfigStore::ReadString(std::string_view Section, std::string_view Ident,
                                        std::string_view Default) const
{
    auto key = platform::current().registry().openKey(FRootKey, SectionPath(Section), kReadAccess, false);
    if (!key)
        return std::string(Default);
    const auto value = key->value(Ident);
    if (!value)
        return std::string(Default);
    switch (value->type) {
    case platform::RegType::Sz:
    case platform::RegType::ExpandSz: return value->asString();
    case platform::RegType::Dword: return std::to_string(static_cast<int32_t>(value->asDword()));
    default: return std::string(Default);
    }
}

void TIdeConfigStore::WriteString(std::string_view Section, std::string_view Ident, std::string_view Value)
{
    const std::string path = SectionPath(Section);
    uint32_t error = 0;
    auto key = platform::current().registry().openKey(FRootKey, path, kWriteAccess, true, &error);
    if (!key)
        throw EIdeRegistryError("Unable to open key \"" + std::string(platform::rootName(FRootKey)) + "\\" + path +
                                "\" for write");
    key->writeString(Ident, Value);
}

std::vector<std::string> TIdeConfigStore::ReadSection(std::string_view Section) const
{
    auto key = platform::current().registry().openKey(FRootKey, SectionPath(Section), kReadAccess, false);
    return key ? key->valueNames() : std::vector<std::string>();
}

TIdeNameValueList TIdeConfigStore::ReadSectionValues(std::string_view Section) const
{
    TIdeNameValueList values;
    for (const auto& name : ReadSection(Section))
        values.emplace_back(name, ReadString(Section, name));
    return values;
}

bool TIdeConfigStore::SectionExists(std::string_view Section) const
{
    return platform::current().registry().keyExists(FRootKey, SectionPath(Section), kReadAccess);
}

bool TIdeConfigStore::ValueExists(std::string_view Section, std::string_view Ident) const
{
    auto key = platform::current().registry().openKey(FRootKey, SectionPath(Section), kReadAccess, false);
    return key && key->valueInfo(Ident).has_value();
}

void TIdeConfigStore::DeleteKey(std::string_view Section, std::string_view Ident)
{
    auto key = platform::current().registry().openKey(FRootKey, SectionPath(Section), kWriteAccess, false);
    if (key)
        key->deleteValue(Ident);
}

bool TIdeConfigStore::DeleteSection(std::string_view Section)
{
    const std::string path = SectionPath(Section);
    if (path == FKey)
        return false;
    auto& registry = platform::current().registry();
    if (!registry.keyExists(FRootKey, path, kReadAccess))
        return true;
    return registry.deleteKey(FRootKey, path, kWriteAccess);
}

} // namespace tarvix
