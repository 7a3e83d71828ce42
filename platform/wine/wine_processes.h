// Windows programs of a Wine prefix, started on the host. The command line is split by the Windows rules; the
// program file is found the way CreateProcessW finds it (".exe" added when the name has no extension; a name
// without a folder looked up in the current folder, then in C:\windows\system32 and C:\windows). A PE image runs
// as `wine <program> <arguments>`, any other file as a host executable, both with WINEPREFIX naming the prefix and
// the current folder mapped onto the host.
//
// A PE image brings up the prefix's wineserver, which owns the hives while it runs and writes them back when it
// ends. When no wineserver ran before the program started, the run waits for the one it brought up to end, so
// that the hives hold what the program changed and may be written by the caller again.
#pragma once

#include <filesystem>

#include "platform/process.h"

namespace tarvix::platform {

class WineFileSystem;

class WineProcesses : public Processes {
public:
    WineProcesses(const WineFileSystem& files, std::filesystem::path prefixDir);

    ProcessResult run(const ProcessRequest& request) override;

    // The Windows path of the program a command line starts (see above); empty when none exists.
    std::string programFile(const std::string& program, const std::string& currentDirectory) const;

private:
    const WineFileSystem& files_;
    std::filesystem::path prefixDir_;
};

} // namespace tarvix::platform
