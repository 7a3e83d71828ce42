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

int runWineCommand(const std::filesystem::path& prefixDir, const std::vector<std::string>& argv,
                   const WineEnvironmentOptions& options, std::string* output)
{
    HostProcessSpec spec;
    spec.argv = argv;
    spec.environment = wineEnvironment(prefixDir, options);
    spec.input = StreamMode::Null;
    spec.error = StreamMode::Null;
    spec.output = output ? StreamMode::Pipe : StreamMode::Null;
    spec.readSize = 4096;
    if (output)
        spec.onOutput = [output](std::string_view bytes) { output->append(bytes); };
    const HostProcessResult run = runHostProcess(spec);
    return run.started ? static_cast<int>(run.exitCode) : -1;
}

void waitForWineserver(const std::filesystem::path& prefixDir, const WineEnvironmentOptions& options)
{
    runWineCommand(prefixDir, {"wineserver", "-w"}, options);
}

} // namespace tarvix::platform::wine
