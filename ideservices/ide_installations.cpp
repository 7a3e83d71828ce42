#include "ideservices/ide_installations.h"

#include <array>

#include "ideservices/ide_registry.h"
#include "platform/ascii_case.h"

namespace tarvix {

using enum TIdeBorRADToolKind;

using platform::RegRoot;

namespace {

template <typename T>
std::unique_ptr<TIdeBorRADToolInstallation> CreateAs(const std::string& AConfigDataLocation, RegRoot ARootKey)
{
    return T::Create(AConfigDataLocation, ARootKey);
}

bool IsVersionKeyName(const std::string& name)
{
    if (name.empty())
        return false;
    for (char c : name)
        if (!((c >= '0' && c <= '9') || c == '.'))
            return false;
    return true;
}

} // namespace

TIdeBorRADToolInstallations::TIdeBorRADToolInstallations()
{
    FList.clear();
    platform::ScopedRegistryView32 view;
    ScanRegistryRoot("\\SOFTWARE\\Borland\\Delphi", &CreateAs<TIdeDelphiInstallation>, false);
    ScanRegistryRoot("\\SOFTWARE\\Borland\\C++Builder", &CreateAs<TIdeBCBInstallation>, false);
    ScanRegistryRoot("\\SOFTWARE\\Borland\\BDS", &CreateAs<TIdeBDSInstallation>, true);
    ScanRegistryRoot("\\SOFTWARE\\CodeGear\\BDS", &CreateAs<TIdeBDSInstallation>, true);
    ScanRegistryRoot("\\SOFTWARE\\Embarcadero\\BDS", &CreateAs<TIdeBDSInstallation>, true);
}

TIdeBorRADToolInstallations::~TIdeBorRADToolInstallations() = default;

void TIdeBorRADToolInstallations::ScanRegistryRoot(const std::string& Key, TIdeBorRADToolInstallationClass Class,
                                                   bool TestPersonalities)
{
    std::vector<std::string> versions;
    if (!IdeRegKeyExists(RegRoot::LocalMachine, Key) || !IdeRegGetKeyNames(RegRoot::LocalMachine, Key, versions))
        return;
    static constexpr std::array<const char*, 4> kPersonalities{"Delphi.Win32", "BCB", "Delphi8", "C#Builder"};
    for (const auto& name : versions) {
        if (!IsVersionKeyName(name))
            continue;
        const std::string versionKey = Key + "\\" + name;
        if (!IdeRegKeyExists(RegRoot::LocalMachine, versionKey))
            continue;
        if (TestPersonalities) {
            std::vector<std::string> personalities;
            IdeRegGetValueNames(RegRoot::LocalMachine, versionKey + "\\Personalities", personalities);
            bool known = false;
            for (const char* wanted : kPersonalities)
                for (const auto& present : personalities)
                    known = known || platform::equalsIgnoringAsciiCase(present, wanted);
            if (!known)
                continue;
        }
        auto installation = Class(versionKey, kDefaultRootKey);
        if (installation->Valid())
            FList.push_back(std::move(installation));
    }
}

TIdeBorRADToolInstallation* TIdeBorRADToolInstallations::GetBDSInstallationFromVersion(int VersionNumber) const
{
    for (const auto& installation : FList)
        if (installation->IDEVersionNumber() == VersionNumber && installation->RadToolKind() == brBorlandDevStudio)
            return installation.get();
    return nullptr;
}

TIdeBorRADToolInstallation* TIdeBorRADToolInstallations::GetDelphiInstallationFromVersion(int VersionNumber) const
{
    for (const auto& installation : FList) {
        const auto kind = installation->RadToolKind();
        if ((kind == brDelphi && installation->IDEVersionNumber() == VersionNumber) ||
            (kind == brBorlandDevStudio && installation->IDEPackageVersionNumber() == VersionNumber))
            return installation.get();
    }
    return nullptr;
}

TIdeBorRADToolInstallation* TIdeBorRADToolInstallations::GetBCBInstallationFromVersion(int VersionNumber) const
{
    for (const auto& installation : FList) {
        const auto kind = installation->RadToolKind();
        if ((kind == brCppBuilder && installation->IDEVersionNumber() == VersionNumber) ||
            (kind == brBorlandDevStudio && installation->IDEPackageVersionNumber() == VersionNumber))
            return installation.get();
    }
    return nullptr;
}

bool TIdeBorRADToolInstallations::Iterate(const std::function<bool(TIdeBorRADToolInstallation&)>& TraverseMethod) const
{
    for (const auto& installation : FList)
        if (!TraverseMethod(*installation))
            return false;
    return true;
}

} // namespace tarvix
