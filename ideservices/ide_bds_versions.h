// The releases of the BDS-family IDEs (C#Builder, Delphi 8 and 2005, BDS 2006, RAD Studio 2007 to 13), keyed by
// the BDS version that names their registry key (37 for HKEY_LOCAL_MACHINE\SOFTWARE\Embarcadero\BDS\37.0).
#pragma once

#include <span>
#include <string>

namespace tarvix {

struct TBDSVersionInfo {
    const char* ProductName;   // "RAD Studio"
    const char* ReleaseLabel;  // "13"
    float CompilerVersion;     // 37.0
    int BdsVersion;            // 37
    int IdeVersion;            // 37
    int PackageVersion;        // 37
    const char* CoreVersionText; // "370"
    bool Listed;
};

// The 23 known releases, oldest first. There is no BDS 13, and the numbering jumps from 23 to 37.
std::span<const TBDSVersionInfo> BDSVersions();

// The row of a BDS version (the last matching row), or null when the version is not a known release.
const TBDSVersionInfo* FindBDSVersion(int BdsVersion);

} // namespace tarvix
