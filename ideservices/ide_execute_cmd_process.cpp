#include "ideservices/ide_execute_cmd_process.h"

#include "platform/host_process.h"
#include "platform/output_line_splitter.h"
#include "platform/system.h"

namespace tarvix {

using enum TIdeProcessPriority;

namespace {

platform::ProcessPriority PriorityOf(TIdeProcessPriority priority)
{
    switch (priority) {
    case ppIdle: return platform::ProcessPriority::Idle;
    case ppBelowNormal: return platform::ProcessPriority::BelowNormal;
    case ppNormal: return platform::ProcessPriority::Normal;
    case ppAboveNormal: return platform::ProcessPriority::AboveNormal;
    case ppHigh: return platform::ProcessPriority::High;
    case ppRealTime: return platform::ProcessPriority::RealTime;
    }
    return platform::ProcessPriority::Normal;
}

} // namespace

TIdeExecuteCmdProcessOptions::TIdeExecuteCmdProcessOptions(std::string ACommandLine)
    : FCommandLine(std::move(ACommandLine))
{}

bool TIdeExecuteCmdProcessOptions::Execute()
{
    FExitCode = platform::NoExitCode;
    platform::System& system = platform::current();
    const uint32_t codePage = FAutoConvertOem ? system.shell().oemCodePage() : system.shell().ansiCodePage();
    platform::OutputLineSplitter output(codePage, FRawOutput, FOutputLineCallback);
    platform::OutputLineSplitter error(codePage, FRawError, FErrorLineCallback);

    platform::ProcessRequest request;
    request.commandLine = FCommandLine;
    request.mergeError = FMergeError;
    request.onOutput = [&](std::string_view bytes) { output.feed(bytes); };
    request.onError = [&](std::string_view bytes) { error.feed(bytes); };
    request.readSize = 255;
    request.priority = PriorityOf(FProcessPriority);
    request.abort = FAbortPtr;
    request.beforeStart = FBeforeResume;
    const platform::ProcessResult result = system.processes().run(request);
    FExitCode = result.exitCode;
    if (!result.started)
        return false;

    output.finish();
    error.finish();
    if (!FOutputLineCallback)
        FOutput = output.text();
    if (!FErrorLineCallback && !FMergeError)
        FError = error.text();
    return true;
}

} // namespace tarvix
