// Running programs from a benchmark: whole-process wall time, CPU time and peak memory of a child, and the
// comparison of several programs timed alternately in one run, so that the machine's load falls on all alike.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tarvix::bench {

struct ChildRun {
    double seconds = 0;    // wall time, from before the fork until the child was reaped
    double cpuSeconds = 0; // user and system time of the child
    long maxRssKiB = 0;    // the child's peak resident memory
    int status = 0;        // exit code, or 128 + signal number
};

// Starts `args` (found on PATH when it has no slash) and waits for it. With `quiet`, its standard output goes to
// /dev/null. Raises std::runtime_error when it cannot be started or waited for.
ChildRun runChild(const std::vector<std::string>& args, bool quiet = false);

double median(std::vector<double> values);

// One thing a comparison times: the commands run one after the other, their times added up (a floor such as
// "cp, then sync" is one contender). `prepare` runs before each measurement and is not timed.
struct Contender {
    std::string label;
    std::vector<std::vector<std::string>> commands;
    std::function<void()> prepare;
};

struct Timing {
    std::vector<double> wall;
    std::vector<double> cpu;
    double medianWall() const { return median(wall); }
    double medianCpu() const { return median(cpu); }
    double minWall() const;
};

// Runs every contender `warmups` times untimed (which also checks that each command exits with 0), then `runs`
// rounds in which each contender is measured once, in turn. Raises std::runtime_error when a command fails; the
// message names it and its exit code.
std::vector<Timing> timeAlternately(const std::vector<Contender>& contenders, int runs, int warmups = 2);

// Prints the medians of ours and of the floor and their ratio against the target ("... ratio 2.10 (target at most
// 4.0): met"); true when the ratio is within the target.
bool reportRatio(const std::string& what, const Contender& ours, const Timing& oursTiming, const Contender& floor,
                 const Timing& floorTiming, double target);

// The main program of a benchmark that compares contenders `runs` times each in a scratch folder: reads
// "--dir DIR" (default `dir`) and "--runs N" (default `runs`), calls `run` with the absolute folder and the count,
// and returns its exit code; 2 with a usage line for other arguments, 2 with the message when `run` raises.
int benchmarkMain(int argc, char** argv, const char* name, std::filesystem::path dir, int runs,
                  const std::function<int(const std::filesystem::path& dir, int runs)>& run);

} // namespace tarvix::bench
