// The IDE's lists of packages and experts, as its configuration store keeps them: the sections "Known
// Packages", "Disabled Packages", "Known IDE Packages" and "Experts" (and the same names followed by " x64" for the
// 64-bit IDE), each value named by a file and holding its description. An entry of "Known Packages" whose file is
// also in "Disabled Packages" is disabled: the IDE does not load it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tarvix {

class TIdeBorRADToolInstallation;

// File = description pairs, sorted by file name without regard to case.
using TIdePackageList = std::vector<std::pair<std::string, std::string>>;

class TIdeBorRADToolIdePackages {
public:
    // Reads the lists (made by the installation on first use of IdePackages).
    explicit TIdeBorRADToolIdePackages(TIdeBorRADToolInstallation& AInstallation);

    // Registers FileName (a BPL's full path) with Description among the known packages of the chosen width. A
    // disabled entry for the same file, written with IDE variables ("$(BDSCOMMONDIR)\Bpl\X.bpl") or in another
    // letter case, is enabled again first: the first one whose expanded name is the same path is removed from
    // "Disabled Packages". The lists are read again afterwards. True unless the registry raises.
    bool AddPackage(const std::string& FileName, const std::string& Description, bool IsDcc64);

    // Reads every list again from the configuration store.
    void ReadPackages();

    const TIdePackageList& KnownPackages(bool IsDcc64 = false) const
    {
        return IsDcc64 ? FKnownPackages64 : FKnownPackages32;
    }
    const TIdePackageList& DisabledPackages(bool IsDcc64 = false) const
    {
        return IsDcc64 ? FDisabledPackages64 : FDisabledPackages32;
    }
    const TIdePackageList& KnownIDEPackages(bool IsDcc64 = false) const
    {
        return IsDcc64 ? FKnownIDEPackages64 : FKnownIDEPackages32;
    }
    const TIdePackageList& Experts(bool IsDcc64 = false) const { return IsDcc64 ? FExperts64 : FExperts32; }
    // Whether a known package's file is also listed as disabled (same name, ignoring case).
    bool PackageDisabled(const std::string& FileName, bool IsDcc64 = false) const;

    // The registry sections: "Known Packages", or "Known Packages x64" for the 64-bit IDE, and so on.
    static std::string KnownPackagesSection(bool IsDcc64);
    static std::string DisabledPackagesSection(bool IsDcc64);

private:
    TIdeBorRADToolInstallation& FInstallation;
    TIdePackageList FDisabledPackages32;
    TIdePackageList FDisabledPackages64;
    TIdePackageList FKnownPackages32;
    TIdePackageList FKnownIDEPackages32;
    TIdePackageList FExperts32;
    TIdePackageList FKnownPackages64;
    TIdePackageList FKnownIDEPackages64;
    TIdePackageList FExperts64;
};

} // namespace tarvix
