#include "ideservices/ide_bds_versions.h"

#include <array>

namespace tarvix {

namespace {

constexpr std::array<TBDSVersionInfo, 23> kVersions{{
    {"C#Builder", "1.0", 0.0f, 1, 1, 1, "71", true},
    {"Delphi", "8", 15.0f, 2, 8, 7, "71", true},
    {"Delphi", "2005", 17.0f, 3, 9, 9, "90", true},
    {"Borland Developer Studio", "2006", 18.0f, 4, 10, 10, "100", true},
    {"RAD Studio", "2007", 18.5f, 5, 11, 10, "100", true},
    {"RAD Studio", "2009", 20.0f, 6, 12, 12, "120", true},
    {"RAD Studio", "2010", 21.0f, 7, 14, 14, "140", true},
    {"RAD Studio", "XE", 22.0f, 8, 15, 15, "150", true},
    {"RAD Studio", "XE2", 23.0f, 9, 16, 16, "160", true},
    {"RAD Studio", "XE3", 24.0f, 10, 17, 17, "170", true},
    {"RAD Studio", "XE4", 25.0f, 11, 18, 18, "180", true},
    {"RAD Studio", "XE5", 26.0f, 12, 19, 19, "190", true},
    {"RAD Studio", "XE6", 27.0f, 14, 20, 20, "200", true},
    {"RAD Studio", "XE7", 28.0f, 15, 21, 21, "210", true},
    {"RAD Studio", "XE8", 29.0f, 16, 22, 22, "220", true},
    {"RAD Studio", "10", 30.0f, 17, 23, 23, "230", true},
    {"RAD Studio", "10.1", 31.0f, 18, 24, 24, "240", true},
    {"RAD Studio", "10.2", 32.0f, 19, 25, 25, "250", true},
    {"RAD Studio", "10.3", 33.0f, 20, 26, 26, "260", true},
    {"RAD Studio", "10.4", 34.0f, 21, 27, 27, "270", true},
    {"RAD Studio", "11", 35.0f, 22, 28, 28, "280", true},
    {"RAD Studio", "12", 36.0f, 23, 29, 29, "290", true},
    {"RAD Studio", "13", 37.0f, 37, 37, 37, "370", true},
}};

} // namespace

std::span<const TBDSVersionInfo> BDSVersions()
{
    return kVersions;
}

const TBDSVersionInfo* FindBDSVersion(int BdsVersion)
{
    const TBDSVersionInfo* found = nullptr;
    for (const auto& row : kVersions)
        if (row.BdsVersion == BdsVersion)
            found = &row;
    return found;
}

} // namespace tarvix
