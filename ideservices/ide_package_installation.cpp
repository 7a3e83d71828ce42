// Package installation: building a Delphi package source with the installation's compiler driver and entering
// the built BPL among the IDE's known packages, with a progress line for every step.
#include "ideservices/ide_installation.h"

#include "ideservices/ide_command_line_tools.h"
#include "ideservices/ide_package_source.h"
#include "ideservices/ide_packages.h"
#include "ideservices/ide_text_utils.h"
#include "platform/ascii_case.h"
#include "platform/windows_path.h"

namespace tarvix {

using enum TIdeBorPersonality;

bool TIdeBorRADToolInstallation::InstallPackage(const std::string& PackageName, const std::string& BPLPath,
                                                const std::string& DCPPath)
{
    const std::string extension = ide::ExtractFileExt(PackageName);
    if (platform::equalsIgnoringAsciiCase(extension, ".bpk"))
        return InstallCppPackage(PackageName, BPLPath, DCPPath);
    if (platform::equalsIgnoringAsciiCase(extension, ".dpk"))
        return InstallPascalPackage(PackageName, BPLPath, DCPPath);
    throw EIdeBorRADException(extension + " not a known package extension");
}

bool TIdeBorRADToolInstallation::CompilePackage(const std::string& PackageName, const std::string& BPLPath,
                                                const std::string& DCPPath)
{
    return CompilePackage(PackageName, BPLPath, DCPPath, "");
}

bool TIdeBorRADToolInstallation::CompilePackage(const std::string& PackageName, const std::string& BPLPath,
                                                const std::string& DCPPath, const std::string& ExtraOptions)
{
    const std::string extension = ide::ExtractFileExt(PackageName);
    if (platform::equalsIgnoringAsciiCase(extension, ".bpk"))
        return CompileCppPackage(PackageName, BPLPath, DCPPath);
    if (platform::equalsIgnoringAsciiCase(extension, ".dpk"))
        return CompilePascalPackageEx(PackageName, BPLPath, DCPPath, ExtraOptions);
    throw EIdeBorRADException(extension + " not a known package extension");
}

bool TIdeBorRADToolInstallation::InstallPascalPackage(const std::string& PackageName, const std::string& BPLPath,
                                                      const std::string& DCPPath)
{
    EmitOutput("Installing package " + PackageName);
    const TPackageSourceFacts facts = ReadPackageSourceFacts(PackageName);
    if (facts.IsRunOnly)
        throw EIdeBorRADException("A run-only package cannot be installed");
    bool result = CompilePascalPackage(PackageName, BPLPath, DCPPath);
    if (result)
        result = RegisterPackage(PackageBinaryPath(BPLPath, PackageName), facts.Description);
    EmitOutput("Installation of package finished");
    return result;
}

bool TIdeBorRADToolInstallation::CompilePascalPackage(const std::string& PackageName, const std::string& BPLPath,
                                                      const std::string& DCPPath)
{
    return CompilePascalPackageEx(PackageName, BPLPath, DCPPath, "");
}

bool TIdeBorRADToolInstallation::CompilePascalPackageEx(const std::string& PackageName, const std::string& BPLPath,
                                                        const std::string& DCPPath, const std::string& ExtraOptions)
{
    EmitOutput("Compiling package " + PackageName);
    if (!platform::equalsIgnoringAsciiCase(ide::ExtractFileExt(PackageName), ".dpk"))
        throw EIdeBorRADException(PackageName + " not a Delphi package source file");
    std::string options = ExtraOptions;
    if (FMapCreate)
        options += " -GD";
    // The optional debug-information step after a build is off here, so the build's result is the result.
    const bool result = DCC().MakePackage(PackageName, BPLPath, DCPPath, options, false);
    EmitOutput(result ? "Compilation success" : "Compilation failure");
    return result;
}

bool TIdeBorRADToolInstallation::CompileCppPackage(const std::string&, const std::string&, const std::string&)
{
    NotSupported("CompileCppPackage");
}

bool TIdeBorRADToolInstallation::InstallCppPackage(const std::string&, const std::string&, const std::string&)
{
    NotSupported("InstallCppPackage");
}

bool TIdeBorRADToolInstallation::RegisterPackage(const std::string& BinaryFileName, const std::string& Description)
{
    EmitOutput("Registering package " + BinaryFileName);
    const std::string description =
        Description.empty() ? ide::ChangeFileExt(ide::ExtractFileName(BinaryFileName), "") : Description;
    const bool result = IdePackages().AddPackage(BinaryFileName, description, IsDcc64());
    EmitOutput(result ? "Registration ok" : "Registration failed");
    return result;
}

bool TIdeBorRADToolInstallation::RegisterPackage(const std::string& PackageName, const std::string& BPLPath,
                                                 const std::string& Description)
{
    return RegisterPackage(PackageBinaryPath(BPLPath, PackageName), Description);
}

// --- BDS ----------------------------------------------------------------------------------------------------------

bool TIdeBDSInstallation::CompilePascalPackageEx(const std::string& PackageName, const std::string& BPLPath,
                                                 const std::string& DCPPath, const std::string& ExtraOptions)
{
    std::string options = ExtraOptions;
    if (FDualPackageInstallation) {
        if (!FPersonalities.Contains(bpBCBuilder32))
            throw EIdeBorRADException("This installation of " + Name() + " doesn't support dual packages");
        const std::string dcp = "\"" + platform::excludeTrailingBackslash(DCPPath) + "\"";
        options += " -JL -NB" + dcp + " -NO" + dcp;
    }
    return TIdeBorRADToolInstallation::CompilePascalPackageEx(PackageName, BPLPath, DCPPath, options);
}

bool TIdeBDSInstallation::RegisterPackage(const std::string& BinaryFileName, const std::string& Description)
{
    if (FIDEVersionNumber > 2) {
        // The IDE caches what it learnt of a package; a stale entry would hide the new build.
        const std::string fileName = ide::ExtractFileName(BinaryFileName);
        EmitOutput("Cleaning package cache for " + fileName);
        bool cleaned = false;
        try {
            cleaned = FConfigData->DeleteSection("Package Cache\\" + fileName);
        } catch (...) {
            cleaned = false; // the registration goes on whatever happened to the cache
        }
        EmitOutput(cleaned ? "Cleaning ok" : "Cleaning failed");
    }
    return TIdeBorRADToolInstallation::RegisterPackage(BinaryFileName, Description);
}

} // namespace tarvix
