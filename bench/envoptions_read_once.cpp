// envoptions_read_once [PROPERTY [PLATFORM]]
//
// The program envoptions_read_bench times: in the Wine prefix named by WINEPREFIX, constructs the installation of
// Delphi 13 (HKEY_LOCAL_MACHINE\SOFTWARE\Embarcadero\BDS\37.0, in the 32-bit view as the enumeration reads it)
// and reads one property of its EnvOptions.proj once with ReadEnvOption, evaluated for the platform (default
// DelphiLibraryPath, Win32). Prints the value. Exit code 0, or 1 with the error on standard error.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "ideservices/ide_installation.h"
#include "ideservices/ide_library_paths.h"
#include "platform/registry.h"

int main(int argc, char** argv)
{
    using namespace tarvix;
    using enum TIdeBDSPlatform;
    const std::string property = argc > 1 ? argv[1] : "DelphiLibraryPath";
    const std::string platformName = argc > 2 ? argv[2] : "Win32";
    try {
        TIdeBDSPlatform platform = bpWin32;
        for (int p = 0; p <= static_cast<int>(bpLinux64); ++p)
            if (PlatformName(static_cast<TIdeBDSPlatform>(p)) == platformName) {
                platform = static_cast<TIdeBDSPlatform>(p);
                break;
            }
        std::unique_ptr<TIdeBDSInstallation> ide;
        {
            platform::ScopedRegistryView32 view;
            ide = TIdeBDSInstallation::Create("\\SOFTWARE\\Embarcadero\\BDS\\37.0");
        }
        const std::string value = ide->ReadEnvOption(property, platform, false);
        std::printf("%s\n", value.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "envoptions_read_once: %s\n", e.what());
        return 1;
    }
}
