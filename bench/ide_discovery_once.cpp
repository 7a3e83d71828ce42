// ide_discovery_once: the program hive_bench times for the discovery of the installed IDEs. In the Wine prefix
// named by WINEPREFIX it enumerates the installations the way the wizard does when its window is made (both
// hives loaded: the installation keys of HKEY_LOCAL_MACHINE, the user's settings of HKEY_CURRENT_USER) and prints
// how many it found. Exit code 0 when it found at least one, 3 when none, 1 with the error on standard error.
#include <cstdio>
#include <exception>

#include "ideservices/ide_installations.h"

int main()
{
    try {
        const tarvix::TIdeBorRADToolInstallations installations;
        std::printf("%d\n", installations.Count());
        return installations.Count() > 0 ? 0 : 3;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ide_discovery_once: %s\n", e.what());
        return 1;
    }
}
