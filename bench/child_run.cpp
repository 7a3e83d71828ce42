#include "bench/child_run.h"

#include <stdexcept>

#include "platform/host_process.h"

namespace tarvix::bench {

ChildRun runChild(const std::vector<std::string>& args, bool quiet)
{
    platform::HostProcessSpec spec;
    spec.argv = args;
    spec.output = quiet ? platform::StreamMode::Null : platform::StreamMode::Inherit;
    spec.error = platform::StreamMode::Inherit;
    const platform::HostProcessResult run = platform::runHostProcess(spec);
    if (!run.started)
        throw std::runtime_error("cannot start " + (args.empty() ? std::string("(nothing)") : args[0]));
    ChildRun result;
    result.seconds = run.wallSeconds;
    result.cpuSeconds = run.cpuSeconds;
    result.maxRssKiB = run.maxRssKiB;
    result.status = static_cast<int>(run.exitCode);
    return result;
}

} // namespace tarvix::bench
