// Running a program from a benchmark: whole-process wall time, CPU time and peak memory of the child.
#pragma once

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

} // namespace tarvix::bench
