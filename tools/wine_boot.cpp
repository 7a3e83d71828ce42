#include "tools/wine_boot.h"

#include <vector>

#include "platform/host_process.h"
#include "platform/wine/wine_environment.h"
#include "tools/prefix_builder.h"

namespace fs = std::filesystem;

namespace tarvix::tools {

bool wineAvailable()
{
    return !platform::findOnPath("wine").empty() && !platform::findOnPath("wineserver").empty();
}

void bootWinePrefix(const fs::path& dir, const std::function<void(const std::string&)>& log)
{
    if (!wineAvailable())
        throw PrefixBuildError("wine is not installed (wine and wineserver must be on PATH)");
    fs::create_directories(dir);
    const platform::wine::WineEnvironmentOptions options{.withoutMonoAndGecko = true, .withoutDisplay = true};
    log("wine wineboot -i in " + dir.string());
    const int booted = platform::wine::runWineCommand(dir, {"wine", "wineboot", "-i"}, options);
    // The hives are written when the server exits.
    platform::wine::waitForWineserver(dir, options);
    if (booted != 0 || !fs::exists(dir / "system.reg") || !fs::exists(dir / "user.reg"))
        throw PrefixBuildError("wine wineboot -i did not make a prefix in " + dir.string() + " (exit code " +
                               std::to_string(booted) + ")");
}

} // namespace tarvix::tools
