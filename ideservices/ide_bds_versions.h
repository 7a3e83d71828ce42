// The releases of Delphi 7 and of the BDS-family IDEs (C#Builder, Delphi 8 and 2005, BDS 2006, RAD Studio 2007 to
// 13): one table for the installation classes, which look a release up by the BDS version that names its registry
// key (37 for HKEY_LOCAL_MACHINE\SOFTWARE\Embarcadero\BDS\37.0), and for the installer, which names the Delphi
// release it installs into by its Delphi version ("Delphi 13 - Florence" for 37).
#pragma once

#include <string>

namespace tarvix {

struct TBDSVersionInfo {
    const char* ProductName;     // "RAD Studio"
    const char* ReleaseLabel;    // "13"
    const char* CodeName;        // "Florence"; empty for the releases before 10
    float CompilerVersion;       // 37.0
    int BdsVersion;              // 37; 0 for Delphi 7, which came before BDS and no version key names
    int IdeVersion;              // 37: the Delphi version ("d37")
    int PackageVersion;          // 37
    const char* CoreVersionText; // "370"
    bool Listed;
    bool DelphiWin32; // has Delphi for Win32 (C#Builder and the .NET-only Delphi 8 have not)
};

// The row of a BDS version (the last matching row), or null when the version is not a known BDS release.
const TBDSVersionInfo* FindBDSVersion(int BdsVersion);

// The release with Delphi for Win32 whose Delphi version is DelphiVersion, or null when there is none.
const TBDSVersionInfo* FindDelphiRelease(int DelphiVersion);

} // namespace tarvix
