// Child processes of the host system: the one runner that the product, the tools, the tests and the benchmarks
// start programs with. A program runs with its arguments, an environment, a current folder, its standard input
// taken from this process or from nothing, and its standard output and error on pipes that are read as the bytes
// arrive (at most `readSize` bytes a read), or passed through, or thrown away. The call blocks until the child
// has ended; the callbacks run on the calling thread meanwhile.
//
// Windows programs are not started here directly: Processes (platform/process.h) turns a Windows command line
// into a host run (through wine for a PE image on Linux).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"

namespace tarvix::platform {

// The priority classes of Windows; on Linux they become nice values (see niceValue).
enum class ProcessPriority { Idle, BelowNormal, Normal, AboveNormal, High, RealTime };

// The nice value of a priority class: Idle 19, BelowNormal 10, Normal 0, AboveNormal -5, High -10, RealTime
// -20. Raising the priority needs privileges the installer rarely has; a child that cannot get it runs at the
// priority it inherited.
int niceValue(ProcessPriority priority);

// Exit code of a child that was stopped because its run was aborted (ERROR_CANCELLED).
inline constexpr uint32_t AbortedExitCode = WinError::Cancelled;
// Exit code when none could be read (the child never ran, or waiting for it failed).
inline constexpr uint32_t NoExitCode = 0xFFFFFFFF;

// Where one of the child's standard streams goes.
enum class StreamMode {
    Pipe,    // to the callback (output and error only)
    Inherit, // this process's own stream
    Null,    // /dev/null
};

// What every run of a child shares, whichever way the program is named: how its output is taken, its priority,
// and how it may be stopped or looked at before it starts.
struct ChildRunOptions {
    // Standard error goes where standard output goes (its pipe and callback, when that is a pipe).
    bool mergeError = false;
    // Bytes as they arrive on the pipes, in arrival order per pipe. Without a callback the bytes are read and
    // dropped, so that the child never blocks on a full pipe.
    std::function<void(std::string_view)> onOutput;
    std::function<void(std::string_view)> onError;
    std::size_t readSize = 255;

    ProcessPriority priority = ProcessPriority::Normal;
    // Polled while the child runs (also right after each callback): once it is true the child is killed and the
    // run ends with AbortedExitCode.
    const std::atomic<bool>* abort = nullptr;
    // Called with the child's process id once it exists, before it runs the program (which waits meanwhile, as a
    // suspended process does). The program is started also when the callback raises; the error then ends the
    // run.
    std::function<void(int processId)> beforeStart;
};

struct HostProcessSpec : ChildRunOptions {
    // The program and its arguments. A program name without "/" is looked up on the PATH of the child's
    // environment.
    std::vector<std::string> argv;
    // "NAME=value" entries; nothing means this process's environment.
    std::optional<std::vector<std::string>> environment;
    // The child's current folder (a host path); empty means this process's.
    std::string workingDirectory;

    StreamMode input = StreamMode::Inherit; // Pipe is not offered: the child reads our input or nothing
    StreamMode output = StreamMode::Pipe;
    StreamMode error = StreamMode::Pipe;
};

struct HostProcessResult {
    bool started = false;
    // Why the child could not be started, as the Windows error code of the same failure (2 file not found, 5
    // access denied, 193 not an executable); 0 once started.
    uint32_t startError = 0;
    // The exit code; 128 + the signal number for a child ended by a signal (as a shell reports it);
    // AbortedExitCode after an abort; NoExitCode when it never ran.
    uint32_t exitCode = NoExitCode;
    bool aborted = false;

    // What the run cost the child: wall time from the start until it was reaped, its user and system time and
    // its peak resident memory.
    double wallSeconds = 0;
    double cpuSeconds = 0;
    long maxRssKiB = 0;
};

// Runs the child to its end. Standard output and error are read until the child has ended and then drained of
// what they still hold without waiting for more (a grandchild that keeps a pipe open cannot stall the run).
// Raises PlatformError when the pipes cannot be made or read; the child is killed and reaped first.
HostProcessResult runHostProcess(const HostProcessSpec& spec);

// This process's environment as "NAME=value" entries.
std::vector<std::string> currentEnvironment();

// `environment` with the entries of `changes` applied: "NAME=value" replaces or adds NAME, "NAME" alone removes
// it. Names compare exactly, as the host system's do.
std::vector<std::string> withEnvironment(std::vector<std::string> environment, const std::vector<std::string>& changes);

// The full path of a program found on PATH (the PATH of `environment`, else this process's); empty when none is
// an executable regular file.
std::string findOnPath(std::string_view program, const std::vector<std::string>* environment = nullptr);

} // namespace tarvix::platform
