// One run of a command-line tool as the IDE services start it: the command line, how its output is taken (lines
// to callbacks or collected text, from the OEM code page or the ANSI one), standard error kept apart or merged,
// the priority, an abort flag, and what the run leaves behind: the exit code and the collected output.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "ideservices/ide_installation.h"

namespace tarvix {

enum class TIdeProcessPriority { ppIdle, ppNormal, ppHigh, ppRealTime, ppBelowNormal, ppAboveNormal };

// How the child's window would be shown on Windows; console tools run hidden.
enum class TStartupVisibility { svHide, svShow, svNotSet };

class TIdeExecuteCmdProcessOptions {
public:
    // A run of CommandLine, hidden, standard error kept apart, output converted from the OEM code page, at
    // normal priority, without an abort hook.
    explicit TIdeExecuteCmdProcessOptions(std::string ACommandLine);

    // Runs the command line in the process's current folder and blocks until the child has ended. Returns True
    // once the child was created; ExitCode() then holds its exit code ($FFFFFFFF when it could not be read,
    // 1223 after an abort), and otherwise the system's error code of the failure to start it. Each pipe's lines
    // go to its callback as they arrive, the unfinished last one after the end; without a callback the pipe's
    // text is collected into Output() or Error(), with every line break made CR LF unless raw. Raises
    // platform::PlatformError when the output cannot be read (the child is stopped first).
    bool Execute();

    std::string FCommandLine;
    // Set to true (by a callback, or by another thread) to stop the child.
    std::atomic<bool>* FAbortPtr = nullptr;
    TTextHandler FOutputLineCallback;
    bool FRawOutput = false;
    bool FMergeError = false;
    TTextHandler FErrorLineCallback;
    bool FRawError = false;
    TIdeProcessPriority FProcessPriority = TIdeProcessPriority::ppNormal;
    bool FAutoConvertOem = true;
    uint32_t FCreateProcessFlags = 0;
    TStartupVisibility FStartupVisibility = TStartupVisibility::svHide;
    // Given the child's process id while it waits to run (a suspended start); the child runs afterwards, also
    // when the callback raises.
    std::function<void(int ProcessId)> FBeforeResume;
    uint32_t FExitCode = 0;
    std::string FOutput;
    std::string FError;

    uint32_t ExitCode() const { return FExitCode; }
    const std::string& Output() const { return FOutput; }
    const std::string& Error() const { return FError; }
};

} // namespace tarvix
