#include "tools/ide_setup.h"

namespace tarvix::tools {

int leadingNumber(std::string_view versionKey)
{
    int n = 0;
    for (char c : versionKey) {
        if (c < '0' || c > '9')
            break;
        n = n * 10 + (c - '0');
        if (n > 100000)
            break;
    }
    return n;
}

namespace {

// The vendor folder of a BDS release's per-user files; `version` is the release, its key's leading number.
std::string vendorOfBdsUserData(int version)
{
    if (version >= 8)
        return "Embarcadero";
    if (version >= 6)
        return "CodeGear";
    return "Borland";
}

// Delphi and C++Builder before the BDS: \SOFTWARE\Borland\<product>\<versionKey>, installed in
// Borland\<folder><release> below the program files folder, without MSBuild files or rsvars.bat.
IdeSetup borlandIde(IdeSetup::Kind kind, std::string_view product, std::string_view folder, std::string_view versionKey,
                    std::string_view app, std::vector<std::string> binFiles)
{
    IdeSetup s;
    s.kind = kind;
    const std::string key(versionKey);
    s.machineKey = "SOFTWARE\\Borland\\" + std::string(product) + "\\" + key;
    s.rootBelowProgramFiles = "Borland\\" + std::string(folder) + std::to_string(leadingNumber(key));
    s.appRelative = app;
    s.machineValues = {{"Version", "PRO"}};
    s.binFiles = std::move(binFiles);
    s.envOptions = s.environmentProj = s.rsvars = false;
    return s;
}

} // namespace

IdeSetup IdeSetup::bds(std::string_view vendor, std::string_view versionKey)
{
    IdeSetup s;
    s.kind = Kind::BDS;
    const std::string key(versionKey);
    const int version = leadingNumber(key);
    s.machineKey = "SOFTWARE\\" + std::string(vendor) + "\\BDS\\" + key;
    if (vendor == "Borland")
        s.rootBelowProgramFiles = "Borland\\BDS\\" + key;
    else if (vendor == "CodeGear")
        s.rootBelowProgramFiles = "CodeGear\\RAD Studio\\" + key;
    else if (version >= 14 || version == 0)
        s.rootBelowProgramFiles = std::string(vendor) + "\\Studio\\" + key;
    else
        s.rootBelowProgramFiles = std::string(vendor) + "\\RAD Studio\\" + key;
    s.appRelative = "bin\\bds.exe";
    s.machineValues = {{"Edition", "Professional"}, {"ProductVersion", key + ".0.0"}};
    s.personalities = {{"Delphi.Win32", "Delphi"}};
    s.binFiles = {"dcc32.exe", "brcc32.exe"};
    // The IDE keeps its per-user files under its own version, "%d.0", whatever its key is named.
    s.userDataFolder = vendorOfBdsUserData(version) + "\\BDS\\" + std::to_string(version) + ".0";
    // EnvOptions.proj and rsvars.bat exist from RAD Studio 2007 (BDS 5) on.
    s.envOptions = s.environmentProj = s.rsvars = version >= 5;
    if (version >= 14)
        s.commonDirBelowDocuments = s.userDirBelowDocuments = "Embarcadero\\Studio\\" + key;
    else if (version >= 5)
        s.commonDirBelowDocuments = s.userDirBelowDocuments = "RAD Studio\\" + key;
    return s;
}

IdeSetup IdeSetup::delphi13()
{
    IdeSetup s = bds("Embarcadero", "37.0");
    s.machineValues = {
        {"Edition", "Professional"},
        {"ProductVersion", "37.0.57242.3601"},
        {"InstallLanguage", "EN"},
    };
    s.binFiles = {"dcc32.exe",    "dcc64.exe",       "dcclinux64.exe", "dccaarm64.exe",
                  "dccosx64.exe", "dcciosarm64.exe", "brcc32.exe",     "cgrc.exe"};
    s.knownPackages = {
        {"$(BDS)\\bin\\dclstd370.bpl", "Embarcadero Standard Components"},
        {"$(BDS)\\bin\\dcldb370.bpl", "Embarcadero Database Components"},
    };
    return s;
}

IdeSetup IdeSetup::delphi(std::string_view versionKey)
{
    return borlandIde(Kind::Delphi, "Delphi", "Delphi", versionKey, "bin\\delphi32.exe",
                      {"dcc32.exe", "brcc32.exe", "make.exe"});
}

IdeSetup IdeSetup::cppBuilder(std::string_view versionKey)
{
    return borlandIde(Kind::CppBuilder, "C++Builder", "CBuilder", versionKey, "bin\\bcb.exe",
                      {"bcc32.exe", "dcc32.exe", "make.exe", "bpr2mak.exe", "tasm32.exe", "brcc32.exe"});
}

IdeSetup IdeSetup::delphi7()
{
    return delphi("7.0");
}
IdeSetup IdeSetup::cppBuilder6()
{
    return cppBuilder("6.0");
}

} // namespace tarvix::tools
