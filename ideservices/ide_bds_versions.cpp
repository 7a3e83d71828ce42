#include "ideservices/ide_bds_versions.h"

#include <array>

namespace tarvix {

namespace {

// Oldest first. There is no BDS 13, and the numbering jumps from 23 to 37.
constexpr std::array<TBDSVersionInfo, 24> kVersions{{
    {"Delphi", "7", "", 15.0f, 0, 7, 7, "70", true, true},
    {"C#Builder", "1.0", "", 0.0f, 1, 1, 1, "71", true, false},
    {"Delphi", "8", "", 15.0f, 2, 8, 7, "71", true, false},
    {"Delphi", "2005", "", 17.0f, 3, 9, 9, "90", true, true},
    {"Borland Developer Studio", "2006", "", 18.0f, 4, 10, 10, "100", true, true},
    {"RAD Studio", "2007", "", 18.5f, 5, 11, 10, "100", true, true},
    {"RAD Studio", "2009", "", 20.0f, 6, 12, 12, "120", true, true},
    {"RAD Studio", "2010", "", 21.0f, 7, 14, 14, "140", true, true},
    {"RAD Studio", "XE", "", 22.0f, 8, 15, 15, "150", true, true},
    {"RAD Studio", "XE2", "", 23.0f, 9, 16, 16, "160", true, true},
    {"RAD Studio", "XE3", "", 24.0f, 10, 17, 17, "170", true, true},
    {"RAD Studio", "XE4", "", 25.0f, 11, 18, 18, "180", true, true},
    {"RAD Studio", "XE5", "", 26.0f, 12, 19, 19, "190", true, true},
    {"RAD Studio", "XE6", "", 27.0f, 14, 20, 20, "200", true, true},
    {"RAD Studio", "XE7", "", 28.0f, 15, 21, 21, "210", true, true},
    {"RAD Studio", "XE8", "", 29.0f, 16, 22, 22, "220", true, true},
    {"RAD Studio", "10", "Seattle", 30.0f, 17, 23, 23, "230", true, true},
    {"RAD Studio", "10.1", "Berlin", 31.0f, 18, 24, 24, "240", true, true},
    {"RAD Studio", "10.2", "Tokyo", 32.0f, 19, 25, 25, "250", true, true},
    {"RAD Studio", "10.3", "Rio", 33.0f, 20, 26, 26, "260", true, true},
    {"RAD Studio", "10.4", "Sydney", 34.0f, 21, 27, 27, "270", true, true},
    {"RAD Studio", "11", "Alexandria", 35.0f, 22, 28, 28, "280", true, true},
    {"RAD Studio", "12", "Athens", 36.0f, 23, 29, 29, "290", true, true},
    {"RAD Studio", "13", "Florence", 37.0f, 37, 37, 37, "370", true, true},
}};

} // namespace

const TBDSVersionInfo* FindBDSVersion(int BdsVersion)
{
    // A key that reads as version 0 ("37.5") is no release, and Delphi 7 is found by its own key.
    if (BdsVersion == 0)
        return nullptr;
    const TBDSVersionInfo* found = nullptr;
    for (const auto& row : kVersions)
        if (row.BdsVersion == BdsVersion)
            found = &row;
    return found;
}

const TBDSVersionInfo* FindDelphiRelease(int DelphiVersion)
{
    for (const auto& row : kVersions)
        if (row.DelphiWin32 && row.IdeVersion == DelphiVersion)
            return &row;
    return nullptr;
}

} // namespace tarvix
