// An installation's configuration store: one registry key (for the Delphi 13 installation
// HKEY_CURRENT_USER\SOFTWARE\Embarcadero\BDS\37.0) seen as sections and string values. A section is a subkey (its
// name may hold backslashes: "Library\Win32" is a nested subkey; the empty section is the key itself); an
// identifier is a value name. Every open adds KEY_WOW64_32KEY, the 32-bit registry view the IDE itself uses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ideservices/ide_msbuild_properties.h"
#include "platform/registry.h"

namespace tarvix {

class TIdeConfigStore {
public:
    // Creates the key when it is missing. A key that cannot be created (a read-only registry, a Wine prefix whose
    // wineserver owns the hives) leaves the store empty: reads give their defaults and writes raise.
    TIdeConfigStore(platform::RegRoot ARootKey, std::string AKey);

    platform::RegRoot RootKey() const { return FRootKey; }
    const std::string& Key() const { return FKey; }

    // The string value (REG_SZ or REG_EXPAND_SZ as stored; REG_DWORD as its decimal text), or Default when the
    // section or the value is missing or holds another type.
    std::string ReadString(std::string_view Section, std::string_view Ident, std::string_view Default = {}) const;
    // Stores a REG_SZ value, creating the section's subkey when needed. Registry failures raise.
    void WriteString(std::string_view Section, std::string_view Ident, std::string_view Value);
    // Value names of a section in the registry's order; empty when the section is missing.
    std::vector<std::string> ReadSection(std::string_view Section) const;
    // The section's string values as Name=Value pairs, in the registry's order.
    TIdeNameValueList ReadSectionValues(std::string_view Section) const;
    bool SectionExists(std::string_view Section) const;
    bool ValueExists(std::string_view Section, std::string_view Ident) const;
    // Deletes one value; nothing happens when it is missing.
    void DeleteKey(std::string_view Section, std::string_view Ident);
    // Deletes a section with all its subsections. True when it is gone afterwards, also when it never existed;
    // the store's own key (the empty section) is never deleted. Registry failures raise.
    bool DeleteSection(std::string_view Section);

private:
    std::string SectionPath(std::string_view Section) const;

    platform::RegRoot FRootKey;
    std::string FKey; // below the root, without leading backslash
};

} // namespace tarvix
