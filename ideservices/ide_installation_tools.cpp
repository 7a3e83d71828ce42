// The installation's drivers of the command-line tools in its bin folder: each made on first use, with the
// folders of its platform, and handed the installation's output callback.
#include "ideservices/ide_installation.h"

#include <array>

#include "ideservices/ide_command_line_tools.h"
#include "ideservices/ide_library_paths.h"
#include "ideservices/ide_packages.h"

namespace tarvix {

using enum TIdeBDSPlatform;
using enum TCommandLineTool;

namespace {

struct PlatformCompilerInfo {
    const char* exeName;
    TCommandLineTool tool;
    TIdeBDSPlatform platform;
};

// The order of TIdeBDSInstallation::FPlatformCompilers.
constexpr std::array<PlatformCompilerInfo, 9> kPlatformCompilers{{
    {"dcc64.exe", clDcc64, bpWin64},
    {"dccosx.exe", clDccOSX32, bpOSX32},
    {"dccosx64.exe", clDccOSX64, bpOSX64},
    {"dccios32.exe", clDcciOSSimulator, bpiOSSimulator},
    {"dcciosarm.exe", clDcciOS32, bpiOSDevice32},
    {"dcciosarm64.exe", clDcciOS64, bpiOSDevice64},
    {"dccaarm.exe", clDccArm32, bpAndroid32},
    {"dccaarm64.exe", clDccArm64, bpAndroid64},
    {"dcclinux64.exe", clDccLinux64, bpLinux64},
}};

} // namespace

void TIdeBorRADToolInstallation::RequireTool(TCommandLineTool Tool, const char* ExeName) const
{
    if (!FCommandLineTools.Contains(Tool))
        throw EIdeBorRADException(std::string(ExeName) + " not found");
}

std::unique_ptr<TIdeDCC32> TIdeBorRADToolInstallation::MakeCompiler(const char* ExeName, TIdeBDSPlatform APlatform)
{
    const std::string dcpPath = GetDCPOutputPath(APlatform);
    const std::string libFolder = GetLibFolderName(APlatform);
    const std::string libDebugFolder = GetLibDebugFolderName(APlatform);
    const std::string objFolder = GetObjFolderName(APlatform);
    std::unique_ptr<TIdeDCC32> compiler;
    if (APlatform == bpWin32)
        compiler = std::make_unique<TIdeDCC32>(FBinFolderName, LongPathBug(), FDCCVersion, CompilerSettingsFormat(),
                                               SupportsNoConfig(), SupportsPlatform(), dcpPath, libFolder,
                                               libDebugFolder, objFolder);
    else
        compiler = std::make_unique<TIdeDCCPlatformCompiler>(
            ExeName, PlatformName(APlatform), FBinFolderName, LongPathBug(), FDCCVersion, CompilerSettingsFormat(),
            SupportsNoConfig(), SupportsPlatform(), dcpPath, libFolder, libDebugFolder, objFolder);
    compiler->FOnEnvironmentVariables = [this]() -> const TIdeNameValueList& { return EnvironmentVariables(); };
    compiler->SetOutputCallback(FOutputCallback);
    return compiler;
}

std::unique_ptr<TIdeBorlandCommandLineTool> TIdeBorRADToolInstallation::MakeTool(const char* ExeName)
{
    auto tool =
        std::make_unique<TIdeCommandLineToolFile>(ExeName, FBinFolderName, LongPathBug(), CompilerSettingsFormat());
    tool->SetOutputCallback(FOutputCallback);
    return tool;
}

TIdeDCC32& TIdeBorRADToolInstallation::DCC32()
{
    RequireTool(clDcc32, "dcc32.exe");
    if (!FDCC32)
        FDCC32 = MakeCompiler("dcc32.exe", bpWin32);
    return *FDCC32;
}

TIdeDCC32& TIdeBorRADToolInstallation::DCC()
{
    return FDCC ? *FDCC : DCC32();
}

TIdeBorlandCommandLineTool& TIdeBorRADToolInstallation::BCC32()
{
    RequireTool(clBcc32, "bcc32.exe");
    if (!FBCC32)
        FBCC32 = MakeTool("bcc32.exe");
    return *FBCC32;
}

TIdeBorlandCommandLineTool& TIdeBorRADToolInstallation::Make()
{
    RequireTool(clMake, "make.exe");
    if (!FMake)
        FMake = MakeTool("make.exe");
    return *FMake;
}

TIdeBorlandCommandLineTool& TIdeBorRADToolInstallation::Bpr2Mak()
{
    RequireTool(clProj2Mak, "bpr2mak.exe");
    if (!FBpr2Mak)
        FBpr2Mak = MakeTool("bpr2mak.exe");
    return *FBpr2Mak;
}

TIdeBorRADToolIdePackages& TIdeBorRADToolInstallation::IdePackages()
{
    if (!FIdePackages)
        FIdePackages = std::make_unique<TIdeBorRADToolIdePackages>(*this);
    return *FIdePackages;
}

void TIdeBorRADToolInstallation::SetOutputCallback(TTextHandler CallbackMethod)
{
    FOutputCallback = std::move(CallbackMethod);
    if (FCommandLineTools.Contains(clBcc32))
        BCC32().SetOutputCallback(FOutputCallback);
    if (FCommandLineTools.Contains(clDcc32))
        DCC32().SetOutputCallback(FOutputCallback);
    if (FCommandLineTools.Contains(clMake))
        Make().SetOutputCallback(FOutputCallback);
    if (FCommandLineTools.Contains(clProj2Mak))
        Bpr2Mak().SetOutputCallback(FOutputCallback);
}

bool TIdeBorRADToolInstallation::IsDcc64() const
{
    return false;
}

void TIdeBorRADToolInstallation::EmitOutput(const std::string& Line) const
{
    if (FOutputCallback)
        FOutputCallback(Line);
}

// --- BDS ----------------------------------------------------------------------------------------------------------

TIdeDCC32& TIdeBDSInstallation::PlatformCompiler(std::size_t Index)
{
    const PlatformCompilerInfo& info = kPlatformCompilers.at(Index);
    RequireTool(info.tool, info.exeName);
    if (!FPlatformCompilers[Index])
        FPlatformCompilers[Index] = MakeCompiler(info.exeName, info.platform);
    return *FPlatformCompilers[Index];
}

TIdeDCC32& TIdeBDSInstallation::DCC64()
{
    return PlatformCompiler(0);
}
TIdeDCC32& TIdeBDSInstallation::DCCOSX32()
{
    return PlatformCompiler(1);
}
TIdeDCC32& TIdeBDSInstallation::DCCOSX64()
{
    return PlatformCompiler(2);
}
TIdeDCC32& TIdeBDSInstallation::DCCiOSSimulator()
{
    return PlatformCompiler(3);
}
TIdeDCC32& TIdeBDSInstallation::DCCiOS32()
{
    return PlatformCompiler(4);
}
TIdeDCC32& TIdeBDSInstallation::DCCiOS64()
{
    return PlatformCompiler(5);
}
TIdeDCC32& TIdeBDSInstallation::DCCArm32()
{
    return PlatformCompiler(6);
}
TIdeDCC32& TIdeBDSInstallation::DCCArm64()
{
    return PlatformCompiler(7);
}
TIdeDCC32& TIdeBDSInstallation::DCCLinux64()
{
    return PlatformCompiler(8);
}

TIdeBorlandCommandLineTool& TIdeBDSInstallation::BCC64()
{
    RequireTool(clBcc64, "bcc64.exe");
    if (!FBCC64)
        FBCC64 = MakeTool("bcc64.exe");
    return *FBCC64;
}

TIdeDCC32& TIdeBDSInstallation::DCCIL()
{
    RequireTool(clDccIL, "dccil.exe");
    if (!FDCCIL) {
        FDCCIL = std::make_unique<TIdeDCCPlatformCompiler>("dccil.exe", "", FBinFolderName, LongPathBug(), FDCCVersion,
                                                           CompilerSettingsFormat(), SupportsNoConfig(), false, "", "",
                                                           "", "");
        FDCCIL->FOnEnvironmentVariables = [this]() -> const TIdeNameValueList& { return EnvironmentVariables(); };
        FDCCIL->SetOutputCallback(FOutputCallback);
    }
    return *FDCCIL;
}

void TIdeBDSInstallation::SetOutputCallback(TTextHandler CallbackMethod)
{
    TIdeBorRADToolInstallation::SetOutputCallback(std::move(CallbackMethod));
    for (std::size_t i = 0; i < kPlatformCompilers.size(); ++i)
        if (FCommandLineTools.Contains(kPlatformCompilers[i].tool))
            PlatformCompiler(i).SetOutputCallback(FOutputCallback);
    if (FCommandLineTools.Contains(clBcc64))
        BCC64().SetOutputCallback(FOutputCallback);
    if (FCommandLineTools.Contains(clDccIL))
        DCCIL().SetOutputCallback(FOutputCallback);
}

bool TIdeBDSInstallation::IsDcc64() const
{
    return FDCC != nullptr && FDCC == FPlatformCompilers[0].get();
}

} // namespace tarvix
