#include "platform/wine/wine_environment.h"

#include "platform/host_process.h"

namespace tarvix::platform::wine {

std::vector<std::string> wineEnvironment(const std::filesystem::path& prefixDir, const WineEnvironmentOptions& options)
{
    std::vector<std::string> changes{"WINEPREFIX=" + prefixDir.string()};
    if (options.quiet)
        changes.push_back("WINEDEBUG=-all");
    if (options.withoutMonoAndGecko)
        changes.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    if (options.withoutDisplay) {
        changes.push_back("DISPLAY");
        changes.push_back("WAYLAND_DISPLAY");
    }
    return withEnvironment(currentEnvironment(), changes);
}

} // namespace tarvix::platform::wine
