#include "ideservices/ide_installation.h"

#include <algorithm>
#include <array>
#include <utility>

#include "ideservices/ide_bds_versions.h"
#include "ideservices/ide_command_line_tools.h"
#include "ideservices/ide_packages.h"
#include "ideservices/ide_registry.h"
#include "platform/ascii_case.h"
#include "platform/system.h"
#include "platform/text_format.h"
#include "platform/windows_path.h"

namespace tarvix {

using enum TIdeBorRADToolKind;
using enum TIdeBorRADToolEdition;
using enum TIdeBorPersonality;
using enum TCommandLineTool;
using enum TIdeCompilerSettingsFormat;

using platform::RegRoot;

namespace {

// The number a version key is named by: its text read as a decimal number with "." as the decimal point. A
// number with a non-zero fractional part gives 0, and so does a name that is no decimal number at all
// ("1.2.3", ".", "Backup") or one too large for the field.
int VersionFromKeyName(std::string_view name)
{
    const auto dot = name.find('.');
    const std::string_view whole = name.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (whole.empty() && fraction.empty())
        return 0;
    long long value = 0;
    for (char c : whole) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
        if (value > 0x7FFFFFFF)
            return 0;
    }
    for (char c : fraction) {
        if (c < '0' || c > '9')
            return 0;
        if (c != '0')
            return 0;
    }
    return static_cast<int>(value);
}

bool FileExists(const std::string& path)
{
    return !path.empty() && platform::current().files().fileExists(path);
}

// The command-line tools looked up in the bin folder (bcc64x.exe in the bin64 folder beside it).
struct ToolFile {
    const char* file;
    TCommandLineTool tool;
};
constexpr std::array<ToolFile, 18> kToolFiles{{
    {"tasm32.exe", clAsm},
    {"bcc32.exe", clBcc32},
    {"bcc32c.exe", clBcc32c},
    {"bcc64.exe", clBcc64},
    {"bcc64x.exe", clBcc64x},
    {"dcc32.exe", clDcc32},
    {"dcc64.exe", clDcc64},
    {"dccosx.exe", clDccOSX32},
    {"dccosx64.exe", clDccOSX64},
    {"dccios32.exe", clDcciOSSimulator},
    {"dcciosarm.exe", clDcciOS32},
    {"dcciosarm64.exe", clDcciOS64},
    {"dccaarm.exe", clDccArm32},
    {"dccaarm64.exe", clDccArm64},
    {"dcclinux64.exe", clDccLinux64},
    {"dccil.exe", clDccIL},
    {"make.exe", clMake},
    {"bpr2mak.exe", clProj2Mak},
}};

} // namespace

// --- construction -------------------------------------------------------------------------------------------------

TIdeBorRADToolInstallation::TIdeBorRADToolInstallation(std::string AConfigDataLocation, RegRoot ARootKey)
    : FConfigDataLocation(std::move(AConfigDataLocation)),
      FRootKey(ARootKey == kDefaultRootKey ? RegRoot::CurrentUser : ARootKey)
{}

TIdeBorRADToolInstallation::~TIdeBorRADToolInstallation() = default;
TIdeBDSInstallation::~TIdeBDSInstallation() = default;

std::unique_ptr<TIdeBorRADToolInstallation> TIdeBorRADToolInstallation::Create(const std::string& AConfigDataLocation,
                                                                               RegRoot ARootKey)
{
    return Make<TIdeBorRADToolInstallation>(AConfigDataLocation, ARootKey);
}

void TIdeBorRADToolInstallation::Initialize()
{
    FConfigData = std::make_unique<TIdeConfigStore>(FRootKey, FConfigDataLocation);
    ReadIdentity();
    FMapCreate = FJdbgCreate = FJdbgInsert = FMapDelete = false;
    ProbeCommandLineTools();
}

void TIdeBorRADToolInstallation::ReadIdentity()
{
    ReadGlobals();
    ReadVersionNumber();
    ReadVersionNumberStr();
    ReadPackageVersions();
    ReadRootAndBinFolders();
    ReadEdition();
    ReadInstalledUpdatePack();
}

// Per-user before machine-wide, the "Globals" subkey before the version key itself.
void TIdeBorRADToolInstallation::ReadGlobals()
{
    const std::string& key = FConfigDataLocation;
    const std::string globals = platform::includeTrailingBackslash(key) + "Globals";
    FGlobals.clear();
    IdeRegGetStringValues(RegRoot::CurrentUser, globals, FGlobals);
    IdeRegGetStringValues(RegRoot::CurrentUser, key, FGlobals);
    IdeRegGetStringValues(RegRoot::LocalMachine, globals, FGlobals);
    IdeRegGetStringValues(RegRoot::LocalMachine, key, FGlobals);
}

// The version number from the key's last component.
void TIdeBorRADToolInstallation::ReadVersionNumber()
{
    const std::string& key = FConfigDataLocation;
    const auto slash = key.find_last_of('\\');
    FIDEVersionNumber = VersionFromKeyName(slash == std::string::npos ? key : key.substr(slash + 1));
}

// The short version string ("d37", "c6", "cs1").
void TIdeBorRADToolInstallation::ReadVersionNumberStr()
{
    switch (RadToolKind()) {
    case brDelphi: FIDEVersionNumberStr = "d" + std::to_string(FIDEVersionNumber); break;
    case brCppBuilder: FIDEVersionNumberStr = "c" + std::to_string(FIDEVersionNumber); break;
    case brBorlandDevStudio:
        if (FIDEVersionNumber == 1) {
            FIDEVersionNumberStr = "cs1";
        } else {
            // BDS versions count from C#Builder; the Delphi numbers run ahead of them (and BDS 13 was skipped).
            int n = FIDEVersionNumber;
            if (n < 37) {
                if (n < 7 || n > 12)
                    n += 6;
                else
                    n += 7;
            }
            FIDEVersionNumberStr = "d" + std::to_string(n);
        }
        break;
    }
}

// The package numbers and the compiler version: a BDS release's from the release table, the older IDEs' from
// their version number.
void TIdeBorRADToolInstallation::ReadPackageVersions()
{
    if (RadToolKind() == brBorlandDevStudio) {
        FPackageVersionNumber = FIDEPackageVersionNumber = 0;
        FDCCVersion = 0.0f;
        if (const TBDSVersionInfo* row = FindBDSVersion(FIDEVersionNumber)) {
            FPackageVersionNumber = row->PackageVersion;
            FIDEPackageVersionNumber = row->IdeVersion;
            FDCCVersion = row->CompilerVersion;
        }
    } else {
        FPackageVersionNumber = FIDEPackageVersionNumber = FIDEVersionNumber;
        FDCCVersion = static_cast<float>(FIDEVersionNumber + 8);
    }
}

void TIdeBorRADToolInstallation::ReadRootAndBinFolders()
{
    // One trailing backslash goes, also from a drive root ("C:\" gives "C:"): every folder below the root is
    // written RootDir + "\...", which then holds one backslash ("C:\bin\").
    FRootDir = GlobalValue("RootDir");
    if (!FRootDir.empty() && FRootDir.back() == '\\')
        FRootDir.pop_back();
    FBinFolderName = FRootDir + "\\bin\\";
}

// The edition's text ("Edition", else "Version") and its code: the first letters, in any case.
void TIdeBorRADToolInstallation::ReadEdition()
{
    FEditionStr = GlobalValue("Edition");
    if (FEditionStr.empty())
        FEditionStr = GlobalValue("Version");
    FEdition = deSTD;
    const std::string upper = platform::asciiUpperCase(FEditionStr);
    const std::array<std::pair<const char*, TIdeBorRADToolEdition>, 4> codes{
        {{"STD", deSTD}, {"PRO", dePRO}, {"CSS", deCSS}, {"ARC", deARC}}};
    for (const auto& [code, edition] : codes)
        if (upper.starts_with(code))
            FEdition = edition;
}

// The installed update pack: a BDS release's "UpdatePackInstalled" number, an older IDE's highest "Update #<digit>"
// value name.
void TIdeBorRADToolInstallation::ReadInstalledUpdatePack()
{
    FInstalledUpdatePack = 0;
    if (RadToolKind() == brBorlandDevStudio) {
        const std::string text = GlobalValue("UpdatePackInstalled");
        int value = 0;
        bool number = !text.empty();
        size_t i = (text.size() > 1 && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
        for (; number && i < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9' || value > 100000000)
                number = false;
            else
                value = value * 10 + (text[i] - '0');
        }
        FInstalledUpdatePack = number ? (text[0] == '-' ? -value : value) : 0;
    } else {
        for (const auto& [name, value] : FGlobals) {
            if (name.size() > 8 && platform::startsWithIgnoringAsciiCase(name, "Update #") && name[8] >= '0' &&
                name[8] <= '9')
                FInstalledUpdatePack = std::max(FInstalledUpdatePack, name[8] - '0');
        }
    }
}

void TIdeBorRADToolInstallation::ProbeCommandLineTools()
{
    FCommandLineTools = {};
    const std::string bin64 = platform::excludeTrailingBackslash(FBinFolderName) + "64\\";
    for (const auto& [file, tool] : kToolFiles) {
        const std::string& folder = tool == clBcc64x ? bin64 : FBinFolderName;
        if (FileExists(folder + file))
            FCommandLineTools.Include(tool);
    }
}

void TIdeDelphiInstallation::Initialize()
{
    TIdeBorRADToolInstallation::Initialize();
    FPersonalities = {bpDelphi32};
}

void TIdeBCBInstallation::Initialize()
{
    TIdeBorRADToolInstallation::Initialize();
    FPersonalities = {bpBCBuilder32};
    if (FCommandLineTools.Contains(clDcc32))
        FPersonalities.Include(bpDelphi32);
}

void TIdeBDSInstallation::Initialize()
{
    TIdeBorRADToolInstallation::Initialize();
    FPersonalities = {};
    auto present = [&](const char* name) { return !FConfigData->ReadString("Personalities", name).empty(); };
    if (present("C#Builder"))
        FPersonalities.Include(bpCSBuilder32);
    if (present("BCB"))
        FPersonalities.Include(bpBCBuilder32);
    if (present("Delphi.Win32"))
        FPersonalities.Include(bpDelphi32);
    if (present("Delphi.NET") || present("Delphi8")) {
        FPersonalities.Include(bpDelphiNet32);
        if (FIDEVersionNumber > 4)
            FPersonalities.Include(bpDelphiNet64);
    }
    if (!FPersonalities.Contains(bpBCBuilder32)) {
        FCommandLineTools = FCommandLineTools - TCommandLineTools{clBcc32c, clBcc64, clBcc64x};
        FPersonalities.Exclude(bpBCBuilder64);
    }
    const std::array<std::pair<TCommandLineTool, TIdeBorPersonality>, 12> compilers{{
        {clDcc32, bpDelphi32},
        {clDcc64, bpDelphi64},
        {clDccOSX32, bpDelphiOSX32},
        {clDccOSX64, bpDelphiOSX64},
        {clDcciOSSimulator, bpDelphiiOSSimulator},
        {clDcciOS32, bpDelphiiOSDevice32},
        {clDcciOS64, bpDelphiiOSDevice64},
        {clDccArm32, bpDelphiAndroid32},
        {clDccArm64, bpDelphiAndroid64},
        {clDccLinux64, bpDelphiLinux64},
        {clBcc64, bpBCBuilder64},
        {clBcc64x, bpBCBuilder64},
    }};
    for (const auto& [tool, personality] : compilers)
        if (FCommandLineTools.Contains(tool))
            FPersonalities.Include(personality);
}

std::unique_ptr<TIdeDelphiInstallation> TIdeDelphiInstallation::Create(const std::string& AConfigDataLocation,
                                                                       RegRoot ARootKey)
{
    return Make<TIdeDelphiInstallation>(AConfigDataLocation, ARootKey);
}

std::unique_ptr<TIdeBCBInstallation> TIdeBCBInstallation::Create(const std::string& AConfigDataLocation,
                                                                 RegRoot ARootKey)
{
    return Make<TIdeBCBInstallation>(AConfigDataLocation, ARootKey);
}

std::unique_ptr<TIdeBDSInstallation> TIdeBDSInstallation::Create(const std::string& AConfigDataLocation,
                                                                 RegRoot ARootKey)
{
    return Make<TIdeBDSInstallation>(AConfigDataLocation, ARootKey);
}

// --- properties ---------------------------------------------------------------------------------------------------

std::string TIdeBorRADToolInstallation::GlobalValue(std::string_view Name) const
{
    for (const auto& [name, value] : FGlobals)
        if (platform::equalsIgnoringAsciiCase(name, Name))
            return value;
    return {};
}

std::string TIdeBorRADToolInstallation::IdeExeFileName() const
{
    return GlobalValue("App");
}

std::string TIdeBorRADToolInstallation::IDEPackageVersionNumberStr() const
{
    return FIDEPackageVersionNumber < 1 ? std::string() : std::to_string(FIDEPackageVersionNumber) + "0";
}

std::string TIdeBorRADToolInstallation::PackageVersionNumberStr() const
{
    return FPackageVersionNumber < 1 ? std::string() : std::to_string(FPackageVersionNumber) + "0";
}

bool TIdeBorRADToolInstallation::Valid() const
{
    return !FConfigDataLocation.empty() && !FRootDir.empty() && FileExists(IdeExeFileName());
}

std::string TIdeBorRADToolInstallation::Name() const
{
    return platform::formatText("%s %d", {RadToolName(), std::to_string(FIDEVersionNumber)});
}

std::string TIdeBorRADToolInstallation::Description() const
{
    std::string edition = FEditionStr;
    if (edition.size() == 3) {
        const bool bds = RadToolKind() == brBorlandDevStudio;
        switch (FEdition) {
        case deSTD: edition = !bds && FIDEVersionNumber < 6 ? "Standard" : "Personal"; break;
        case dePRO: edition = "Professional"; break;
        case deCSS: edition = !bds && FIDEVersionNumber < 5 ? "Client/Server" : "Enterprise"; break;
        case deARC: edition = "Architect"; break;
        }
    }
    std::string text = Name() + " " + edition;
    if (IsUpdatePackInstalled())
        text += " " + platform::formatText("Update Pack #%d", {std::to_string(FInstalledUpdatePack)});
    return text;
}

bool TIdeBorRADToolInstallation::SupportsNoConfig() const
{
    return RadToolKind() == brBorlandDevStudio && FIDEVersionNumber > 3;
}

bool TIdeBorRADToolInstallation::SupportsPlatform() const
{
    return RadToolKind() == brBorlandDevStudio && FIDEVersionNumber > 8;
}

bool TIdeBorRADToolInstallation::SupportsLibSuffix() const
{
    return RadToolKind() == brBorlandDevStudio || FIDEVersionNumber > 5;
}

bool TIdeBorRADToolInstallation::LongPathBug() const
{
    return RadToolKind() != brBorlandDevStudio || FIDEVersionNumber < 3;
}

TIdeCompilerSettingsFormat TIdeBorRADToolInstallation::CompilerSettingsFormat() const
{
    if (RadToolKind() == brBorlandDevStudio)
        return FIDEVersionNumber > 4 ? csfMsBuild : csfBDSProj;
    return csfDOF;
}

// --- identity -----------------------------------------------------------------------------------------------------

int TIdeBorRADToolInstallation::GetLatestUpdatePackForVersion(int) const
{
    throw EAbstractError();
}
std::string TIdeBorRADToolInstallation::PackageSourceFileExtension() const
{
    throw EAbstractError();
}
std::string TIdeBorRADToolInstallation::ProjectSourceFileExtension() const
{
    throw EAbstractError();
}
TIdeBorRADToolKind TIdeBorRADToolInstallation::RadToolKind() const
{
    throw EAbstractError();
}
std::string TIdeBorRADToolInstallation::RadToolName() const
{
    throw EAbstractError();
}

int TIdeDelphiInstallation::GetLatestUpdatePackForVersion(int Version) const
{
    return Version == 5 ? 1 : Version == 6 ? 2 : 0;
}
std::string TIdeDelphiInstallation::PackageSourceFileExtension() const
{
    return ".dpk";
}
std::string TIdeDelphiInstallation::ProjectSourceFileExtension() const
{
    return ".dpr";
}
TIdeBorRADToolKind TIdeDelphiInstallation::RadToolKind() const
{
    return brDelphi;
}
std::string TIdeDelphiInstallation::RadToolName() const
{
    return "Delphi";
}

int TIdeBCBInstallation::GetLatestUpdatePackForVersion(int Version) const
{
    return Version == 6 ? 4 : 0;
}
std::string TIdeBCBInstallation::PackageSourceFileExtension() const
{
    return ".bpk";
}
std::string TIdeBCBInstallation::ProjectSourceFileExtension() const
{
    return ".bpr";
}
TIdeBorRADToolKind TIdeBCBInstallation::RadToolKind() const
{
    return brCppBuilder;
}
std::string TIdeBCBInstallation::RadToolName() const
{
    return "C++Builder";
}

int TIdeBDSInstallation::GetLatestUpdatePackForVersion(int Version) const
{
    return Version == 9 || Version == 10 ? 1 : 0;
}
std::string TIdeBDSInstallation::PackageSourceFileExtension() const
{
    return ".dpk";
}
std::string TIdeBDSInstallation::ProjectSourceFileExtension() const
{
    return ".dpr";
}
TIdeBorRADToolKind TIdeBDSInstallation::RadToolKind() const
{
    return brBorlandDevStudio;
}

std::string TIdeBDSInstallation::RadToolName() const
{
    if (FIDEVersionNumber == 5) {
        if (FPersonalities == TIdeBorPersonalities{bpDelphi32})
            return "Delphi";
        if (FPersonalities == TIdeBorPersonalities{bpBCBuilder32})
            return "C++Builder";
    }
    const TBDSVersionInfo* row = FindBDSVersion(FIDEVersionNumber);
    return row ? row->ProductName : "Borland Developer Studio";
}

std::string TIdeBDSInstallation::Name() const
{
    const TBDSVersionInfo* row = FindBDSVersion(FIDEVersionNumber);
    if (row)
        return RadToolName() + " " + row->ReleaseLabel;
    return platform::formatText("%s ***%d***", {RadToolName(), std::to_string(FIDEVersionNumber)});
}

bool TIdeBDSInstallation::Valid() const
{
    if (!TIdeBorRADToolInstallation::Valid())
        return false;
    if (FIDEVersionNumber > 4)
        return FileExists(EnvOptionsFileName()) && FileExists(FRootDir + "\\bin\\rsvars.bat");
    return true;
}

std::string TIdeBDSInstallation::EnvOptionsFileName() const
{
    const char* pattern;
    if (FIDEVersionNumber >= 8)
        pattern = "%sEmbarcadero\\BDS\\%d.0\\EnvOptions.proj";
    else if (FIDEVersionNumber >= 6)
        pattern = "%sCodeGear\\BDS\\%d.0\\EnvOptions.proj";
    else if (FIDEVersionNumber == 5)
        pattern = "%sBorland\\BDS\\%d.0\\EnvOptions.proj";
    else
        throw EIdeBorRADException("MSBuild is not supported by this IDE");

    std::string appData;
    if (FRootKey == RegRoot::CurrentUser) {
        appData = platform::current().shell().appDataFolder();
    } else {
        auto key = platform::current().registry().openKey(
            FRootKey, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
            platform::KeyAccess::Read, false);
        if (key)
            appData = key->readString("AppData").value_or("");
    }
    return platform::formatText(pattern,
                                {platform::includeTrailingBackslash(appData), std::to_string(FIDEVersionNumber)});
}

std::string TIdeBDSInstallation::EnvironmentProjFileName() const
{
    const std::string envOptions = EnvOptionsFileName();
    return envOptions.substr(0, envOptions.find_last_of('\\') + 1) + "environment.proj";
}

// --- operations this installation cannot do ---------------------------------------------------------------------

void TIdeBorRADToolInstallation::NotSupported(const char* Operation) const
{
    throw EIdeBorRADException(std::string(Operation) + " is not supported by this installation");
}

std::string TIdeBorRADToolInstallation::GetVclIncludeDir(TIdeBDSPlatform)
{
    NotSupported("GetVclIncludeDir");
}

} // namespace tarvix
