// The IDEs installed on the machine: every valid Delphi, C++Builder and BDS-family installation registered under
// HKEY_LOCAL_MACHINE (32-bit view), found when the collection is made.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ideservices/ide_installation.h"

namespace tarvix {

class TIdeBorRADToolInstallations {
public:
    // Enumerates at once, in the 32-bit registry view (the calling thread's view mode is restored afterwards,
    // also when an installation raises while it is constructed; the error then propagates).
    TIdeBorRADToolInstallations();
    ~TIdeBorRADToolInstallations();
    TIdeBorRADToolInstallations(const TIdeBorRADToolInstallations&) = delete;
    TIdeBorRADToolInstallations& operator=(const TIdeBorRADToolInstallations&) = delete;

    int Count() const { return static_cast<int>(FList.size()); }
    // Index from 0; an index out of range raises std::out_of_range.
    TIdeBorRADToolInstallation* Installations(int Index) const { return FList.at(static_cast<size_t>(Index)).get(); }

    // The first BDS installation of that IDEVersionNumber, or null.
    TIdeBorRADToolInstallation* GetBDSInstallationFromVersion(int VersionNumber) const;
    // The first Delphi (C++Builder) installation of that IDEVersionNumber, or BDS installation of that
    // IDEPackageVersionNumber, or null.
    TIdeBorRADToolInstallation* GetDelphiInstallationFromVersion(int VersionNumber) const;
    TIdeBorRADToolInstallation* GetBCBInstallationFromVersion(int VersionNumber) const;
    bool GetBDSVersionInstalled(int VersionNumber) const { return GetBDSInstallationFromVersion(VersionNumber); }
    bool GetDelphiVersionInstalled(int VersionNumber) const { return GetDelphiInstallationFromVersion(VersionNumber); }
    bool GetBCBVersionInstalled(int VersionNumber) const { return GetBCBInstallationFromVersion(VersionNumber); }

    // Calls TraverseMethod for the installations in order until one call returns false; returns false then,
    // true otherwise (also when there are none).
    bool Iterate(const std::function<bool(TIdeBorRADToolInstallation&)>& TraverseMethod) const;

    // Adds the valid installations of one registry root: every subkey of HKEY_LOCAL_MACHINE\Key whose name is
    // made of digits and "." becomes an object of Class (kept when Valid). With TestPersonalities only version
    // keys whose "Personalities" subkey names "Delphi.Win32", "BCB", "Delphi8" or "C#Builder" count.
    void ScanRegistryRoot(const std::string& Key, TIdeBorRADToolInstallationClass Class, bool TestPersonalities);

private:
    std::vector<std::unique_ptr<TIdeBorRADToolInstallation>> FList;
};

} // namespace tarvix
