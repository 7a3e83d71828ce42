#include "ideservices/ide_packages.h"

#include <algorithm>

#include "ideservices/ide_installation.h"
#include "ideservices/ide_library_paths.h"
#include "platform/ascii_case.h"

namespace tarvix {

using enum TIdeBorRADToolKind;

namespace {

const char* const KnownPackagesName = "Known Packages";
const char* const DisabledPackagesName = "Disabled Packages";
const char* const KnownIDEPackagesName = "Known IDE Packages";
const char* const ExpertsName = "Experts";

std::string Section(const char* name, bool IsDcc64)
{
    return IsDcc64 ? std::string(name) + " x64" : std::string(name);
}

TIdePackageList ReadList(const TIdeConfigStore& store, const std::string& section)
{
    TIdePackageList list = store.ReadSectionValues(section);
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
        return platform::asciiLowerCase(a.first) < platform::asciiLowerCase(b.first);
    });
    return list;
}

} // namespace

TIdeBorRADToolIdePackages::TIdeBorRADToolIdePackages(TIdeBorRADToolInstallation& AInstallation)
    : FInstallation(AInstallation)
{
    ReadPackages();
}

std::string TIdeBorRADToolIdePackages::KnownPackagesSection(bool IsDcc64)
{
    return Section(KnownPackagesName, IsDcc64);
}

std::string TIdeBorRADToolIdePackages::DisabledPackagesSection(bool IsDcc64)
{
    return Section(DisabledPackagesName, IsDcc64);
}

void TIdeBorRADToolIdePackages::ReadPackages()
{
    const TIdeConfigStore& store = FInstallation.ConfigData();
    const bool bds = FInstallation.RadToolKind() == brBorlandDevStudio;
    const bool wide = FInstallation.IDEVersionNumber() > 22;
    const auto read = [&](const char* name, bool IsDcc64, bool wanted) {
        return wanted ? ReadList(store, Section(name, IsDcc64)) : TIdePackageList();
    };
    FDisabledPackages32 = read(DisabledPackagesName, false, true);
    FKnownPackages32 = read(KnownPackagesName, false, true);
    FKnownIDEPackages32 = read(KnownIDEPackagesName, false, bds);
    FExperts32 = read(ExpertsName, false, true);
    FDisabledPackages64 = read(DisabledPackagesName, true, wide);
    FKnownPackages64 = read(KnownPackagesName, true, wide);
    FKnownIDEPackages64 = read(KnownIDEPackagesName, true, bds && wide);
    FExperts64 = read(ExpertsName, true, wide);
}

bool TIdeBorRADToolIdePackages::PackageDisabled(const std::string& FileName, bool IsDcc64) const
{
    const TIdePackageList& disabled = DisabledPackages(IsDcc64);
    return std::any_of(disabled.begin(), disabled.end(),
                       [&](const auto& entry) { return platform::equalsIgnoringAsciiCase(entry.first, FileName); });
}

bool TIdeBorRADToolIdePackages::AddPackage(const std::string& FileName, const std::string& Description, bool IsDcc64)
{
    TIdeConfigStore& store = FInstallation.ConfigData();
    // A copy: re-reading the lists replaces the one being walked.
    const TIdePackageList disabled = DisabledPackages(IsDcc64);
    for (const auto& [name, description] : disabled) {
        if (SameFolder(FInstallation.SubstitutePath(name), FileName)) {
            store.DeleteKey(DisabledPackagesSection(IsDcc64), name);
            ReadPackages();
            break;
        }
    }
    store.WriteString(KnownPackagesSection(IsDcc64), FileName, Description);
    ReadPackages();
    return true;
}

} // namespace tarvix
