#include "bench/child_run.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Timing::minWall() const
{
    return wall.empty() ? 0 : *std::min_element(wall.begin(), wall.end());
}

namespace {

ChildRun measure(const Contender& contender)
{
    if (contender.prepare)
        contender.prepare();
    ChildRun total;
    for (const auto& command : contender.commands) {
        const ChildRun run = runChild(command, true);
        if (run.status != 0)
            throw std::runtime_error(contender.label + ": " + command.front() + " failed (exit " +
                                     std::to_string(run.status) + ")");
        total.seconds += run.seconds;
        total.cpuSeconds += run.cpuSeconds;
    }
    return total;
}

} // namespace

std::vector<Timing> timeAlternately(const std::vector<Contender>& contenders, int runs, int warmups)
{
    for (int i = 0; i < warmups; ++i)
        for (const auto& contender : contenders)
            measure(contender);
    std::vector<Timing> timings(contenders.size());
    for (int i = 0; i < runs; ++i) {
        for (std::size_t k = 0; k < contenders.size(); ++k) {
            const ChildRun run = measure(contenders[k]);
            timings[k].wall.push_back(run.seconds);
            timings[k].cpu.push_back(run.cpuSeconds);
        }
    }
    return timings;
}

bool reportRatio(const std::string& what, const Contender& ours, const Timing& oursTiming, const Contender& floor,
                 const Timing& floorTiming, double target)
{
    auto line = [](const Contender& c, const Timing& t) {
        std::printf("  %-58s wall median %8.2f ms, min %8.2f ms; cpu median %8.2f ms\n", (c.label + ":").c_str(),
                    t.medianWall() * 1000, t.minWall() * 1000, t.medianCpu() * 1000);
    };
    line(ours, oursTiming);
    line(floor, floorTiming);
    const double ratio = oursTiming.medianWall() / floorTiming.medianWall();
    const bool met = ratio <= target;
    std::printf("%s: ratio of the wall medians %.2f (target at most %.2f; cpu ratio %.2f) over %zu runs each: %s\n",
                what.c_str(), ratio, target, oursTiming.medianCpu() / floorTiming.medianCpu(), oursTiming.wall.size(),
                met ? "met" : "MISSED");
    return met;
}

int benchmarkMain(int argc, char** argv, const char* name, std::filesystem::path dir, int runs,
                  const std::function<int(const std::filesystem::path& dir, int runs)>& run)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            dir = argv[++i];
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--dir DIR] [--runs N]\n", name);
            return 2;
        }
    }
    try {
        return run(std::filesystem::absolute(dir), runs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
        return 2;
    }
}

} // namespace tarvix::bench
