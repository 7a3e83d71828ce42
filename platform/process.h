// Starting Windows programs: what CreateProcessW does for the core. A run is given a Windows command line (the
// program is its first argument), a current folder, and callbacks for the bytes of its standard output and error;
// standard input is this process's. It blocks until the program has ended.
//
// On Linux the Wine backend splits the command line by the Windows rules and starts a PE image (a file beginning
// with "MZ") through `wine` in the prefix, and a host executable directly, both with the prefix in WINEPREFIX.
#pragma once

#include <cstdint>
#include <string>

#include "platform/host_process.h"

namespace tarvix::platform {

// Standard output and error always go to pipes here (the callbacks of ChildRunOptions).
struct ProcessRequest : ChildRunOptions {
    std::string commandLine;
    // A Windows path; empty means this process's current folder (FileSystem::currentDirectory).
    std::string currentDirectory;
};

struct ProcessResult {
    bool started = false;
    // The program's exit code once started (AbortedExitCode after an abort); otherwise the Windows error code
    // of the failure to start it (2 when the program file does not exist, 193 when it is no program).
    uint32_t exitCode = NoExitCode;
    bool aborted = false;
};

class Processes {
public:
    virtual ~Processes() = default;
    // Raises PlatformError when the program's output cannot be read; the program is stopped first.
    virtual ProcessResult run(const ProcessRequest& request) = 0;
};

} // namespace tarvix::platform
