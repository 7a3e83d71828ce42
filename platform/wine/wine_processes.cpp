#include "platform/wine/wine_processes.h"

#include <cstdlib>
#include <fstream>

#include "platform/errors.h"
#include "platform/windows_command_line.h"
#include "platform/windows_path.h"
#include "platform/wine/wine_environment.h"
#include "platform/wine/wine_file_system.h"
#include "platform/wine/wineserver_lock.h"

namespace tarvix::platform {

namespace {

bool hasFolder(std::string_view name)
{
    return name.find_first_of("\\/:") != std::string_view::npos;
}

bool hasExtension(std::string_view name)
{
    const auto dot = name.find_last_of('.');
    return dot != std::string_view::npos && name.find_first_of("\\/", dot) == std::string_view::npos;
}

bool isPeImage(const std::string& hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    char magic[2] = {};
    return in.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

} // namespace

WineProcesses::WineProcesses(const WineFileSystem& files, std::filesystem::path prefixDir)
    : files_(files),
      prefixDir_(std::move(prefixDir))
{}

std::string WineProcesses::programFile(const std::string& program, const std::string& currentDirectory) const
{
    if (program.empty())
        return {};
    const std::string name = hasExtension(program) ? program : program + ".exe";
    std::vector<std::string> candidates;
    if (hasFolder(name)) {
        candidates.push_back(name); // relative names are taken against the current folder by the file layer
        if (!currentDirectory.empty() && name.find(':') == std::string::npos && name.front() != '\\')
            candidates.insert(candidates.begin(), includeTrailingBackslash(currentDirectory) + name);
    } else {
        if (!currentDirectory.empty())
            candidates.push_back(includeTrailingBackslash(currentDirectory) + name);
        candidates.push_back(name);
        candidates.push_back("C:\\windows\\system32\\" + name);
        candidates.push_back("C:\\windows\\" + name);
    }
    for (const std::string& candidate : candidates)
        if (files_.fileExists(candidate))
            return candidate;
    return {};
}

ProcessResult WineProcesses::run(const ProcessRequest& request)
{
    ProcessResult result;
    const std::vector<std::string> args = splitWindowsCommandLine(request.commandLine);
    const std::string program = args.empty() ? std::string() : programFile(args[0], request.currentDirectory);
    if (program.empty()) {
        result.exitCode = WinError::FileNotFound;
        return result;
    }
    const std::string hostProgram = files_.toHostPath(program);

    HostProcessSpec spec;
    static_cast<ChildRunOptions&>(spec) = request;
    const bool pe = isPeImage(hostProgram);
    if (pe) {
        spec.argv.push_back("wine");
        spec.argv.push_back(program);
    } else {
        spec.argv.push_back(hostProgram);
    }
    spec.argv.insert(spec.argv.end(), args.begin() + 1, args.end());
    wine::WineEnvironmentOptions envOptions;
    envOptions.quiet = !std::getenv("WINEDEBUG");
    spec.environment = wine::wineEnvironment(prefixDir_, envOptions);
    if (!request.currentDirectory.empty())
        spec.workingDirectory = files_.toHostPath(request.currentDirectory);
    spec.input = StreamMode::Inherit;
    spec.output = StreamMode::Pipe;
    spec.error = StreamMode::Pipe;

    const bool serverBefore = pe && wine::wineserverRunning(prefixDir_);
    const HostProcessResult run = runHostProcess(spec);
    if (pe && run.started && !serverBefore)
        wine::waitForWineserver(prefixDir_, envOptions);

    result.started = run.started;
    result.aborted = run.aborted;
    // A file that is neither a PE image nor a host program is no program, as Windows puts it.
    if (!run.started)
        result.exitCode = run.startError == WinError::AccessDenied && !pe ? WinError::BadExeFormat : run.startError;
    else
        result.exitCode = run.exitCode;
    return result;
}

} // namespace tarvix::platform
