// tarvix-report-receiver --port-file FILE --record FILE [--answer TEXT] [--https FOLDER]
//
// The demo's stand-in for the maker's report endpoint (see tools/report_receiver.h): listens on 127.0.0.1 on a
// free port and writes that port to --port-file, in one step and only once it listens, so that a script can
// wait for the file. Every request is appended to --record as it arrives: its raw bytes, then a blank line.
// Every answer's body is --answer ("OK" by default). With --https it makes a test CA and a server certificate
// for 127.0.0.1 and localhost in FOLDER (ca.pem is what a client trusts) and serves HTTPS. Runs until SIGTERM or
// SIGINT, then exits with 0.
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <pthread.h>
#include <string>

#include "platform/host_file.h"
#include "tools/report_receiver.h"
#include "tools/test_certificate.h"

namespace fs = std::filesystem;
using namespace tarvix::tools;

namespace {

int usage(const std::string& message = {})
{
    if (!message.empty())
        std::cerr << "tarvix-report-receiver: " << message << "\n";
    std::cerr << "usage: tarvix-report-receiver --port-file FILE --record FILE [--answer TEXT] [--https FOLDER]\n";
    return 2;
}

// Appends the requests that arrived since the last call.
void record(const ReportReceiver& receiver, std::ofstream& out, std::size_t& written)
{
    const std::vector<ReceivedRequest> all = receiver.requests();
    for (; written < all.size(); ++written) {
        const std::string& raw = all[written].raw;
        out << raw << (raw.ends_with('\n') ? "\n" : "\n\n");
    }
    out.flush();
}

} // namespace

int main(int argc, char** argv)
{
    // Blocked before any thread starts, so that every thread inherits the mask and the signals wait for the loop
    // below.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    fs::path portFile, recordFile;
    std::optional<fs::path> httpsFolder;
    ReceiverOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port-file" && hasValue)
            portFile = argv[++i];
        else if (arg == "--record" && hasValue)
            recordFile = argv[++i];
        else if (arg == "--answer" && hasValue)
            options.answer = argv[++i];
        else if (arg == "--https" && hasValue)
            httpsFolder = argv[++i];
        else if (arg == "-h" || arg == "--help")
            return usage();
        else
            return usage("unknown or incomplete option " + arg);
    }
    if (portFile.empty() || recordFile.empty())
        return usage("--port-file and --record are needed");

    try {
        if (httpsFolder) {
            const TestCertificate certificate = makeTestCertificate(*httpsFolder);
            options.certificateFile = certificate.certificateFile;
            options.keyFile = certificate.keyFile;
        }
        std::ofstream out(recordFile, std::ios::binary | std::ios::app);
        if (!out)
            throw std::runtime_error("cannot open " + recordFile.string());
        ReportReceiver receiver(options);
        tarvix::platform::replaceHostFile(portFile, std::to_string(receiver.port()) + "\n");
        std::cout << "tarvix-report-receiver: listening on " << receiver.url("/") << std::endl;

        std::size_t written = 0;
        // The signal is looked at before the record is brought up to date, so that every request that came before
        // it is in the record.
        for (;;) {
            const timespec now{};
            const bool stopping = sigtimedwait(&stop, nullptr, &now) > 0;
            record(receiver, out, written);
            if (stopping)
                break;
            receiver.waitForRequests(written + 1, std::chrono::milliseconds(100));
        }
        if (!out)
            throw std::runtime_error("cannot write " + recordFile.string());
    } catch (const std::exception& e) {
        std::cerr << "tarvix-report-receiver: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
