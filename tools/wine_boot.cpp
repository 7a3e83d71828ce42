#include "tools/wine_boot.h"

#include <vector>

#include "platform/host_process.h"
#include "platform/wine/wine_environment.h"
#include "tools/prefix_builder.h"

namespace fs = std::filesystem;

namespace tarvix::tools {

namespace {

// Runs a program found on PATH with its standard streams on /dev/null; returns its exit code (-1 when it could
// not be started).
int runQuietly(const std::vector<std::string>& args, const std::vector<std::string>& env)
{
    platform::HostProcessSpec spec;
    spec.argv = args;
    spec.environment = env;
    spec.input = platform::StreamMode::Null;
    spec.output = platform::StreamMode::Null;
    spec.error = platform::StreamMode::Null;
    const platform::HostProcessResult run = platform::runHostProcess(spec);
    return run.started ? static_cast<int>(run.exitCode) : -1;
}

} // namespace

bool wineAvailable()
{
    return !platform::findOnPath("wine").empty() && !platform::findOnPath("wineserver").empty();
}

void bootWinePrefix(const fs::path& dir, const std::function<void(const std::string&)>& log)
{
    if (!wineAvailable())
        throw PrefixBuildError("wine is not installed (wine and wineserver must be on PATH)");
    fs::create_directories(dir);
    const auto env = platform::wine::wineEnvironment(dir, {.withoutMonoAndGecko = true, .withoutDisplay = true});
    log("wine wineboot -i in " + dir.string());
    const int booted = runQuietly({"wine", "wineboot", "-i"}, env);
    // The hives are written when the server exits.
    runQuietly({"wineserver", "-w"}, env);
    if (booted != 0 || !fs::exists(dir / "system.reg") || !fs::exists(dir / "user.reg"))
        throw PrefixBuildError("wine wineboot -i did not make a prefix in " + dir.string() + " (exit code " +
                               std::to_string(booted) + ")");
}

} // namespace tarvix::tools
