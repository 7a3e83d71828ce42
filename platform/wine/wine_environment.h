// The environment of a program run by `wine` in a given prefix, and the runs of wine's own commands (wine,
// wineserver, wineboot through wine) in it. Every wine run of the product, the tools and the tests goes through
// here, so that they all pick the same prefix and the same quiet settings.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tarvix::platform::wine {

struct WineEnvironmentOptions {
    // WINEDEBUG=-all (wine's own diagnostics on standard error are noise to our callers); false keeps what the
    // user set.
    bool quiet = true;
    // No Mono or Gecko installer dialogs on a prefix's first start: WINEDLLOVERRIDES="mscoree,mshtml=", so the
    // prefix gets no .NET runtime or HTML engine.
    bool withoutMonoAndGecko = false;
    // Without DISPLAY and WAYLAND_DISPLAY wine opens no windows (prefix creation, tests).
    bool withoutDisplay = false;
};

// This process's environment with WINEPREFIX set to `prefixDir` and the options applied.
std::vector<std::string> wineEnvironment(const std::filesystem::path& prefixDir,
                                         const WineEnvironmentOptions& options = {});

// Runs one of wine's commands (`argv[0]` found on PATH) in the prefix, with standard input and error on /dev/null
// and standard output collected into `output` when one is given (else dropped). Returns the exit code, -1 when
// the command could not be started.
int runWineCommand(const std::filesystem::path& prefixDir, const std::vector<std::string>& argv,
                   const WineEnvironmentOptions& options = {}, std::string* output = nullptr);

// Blocks until the prefix's wineserver has ended (`wineserver -w`), after which the hives hold what it had in
// memory; returns at once when none runs.
void waitForWineserver(const std::filesystem::path& prefixDir, const WineEnvironmentOptions& options = {});

} // namespace tarvix::platform::wine
