// The program tarvix-report-receiver as the demo runs it: the port file appears once it listens, every request is
// appended to the record as it arrives, --answer and --https take effect, and SIGTERM ends it with 0.
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/host_process.h"
#include "platform/tls_http10_client.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace tarvix::tools {
namespace {

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The program running on a thread of its own, until it is told to stop.
class RunningReceiver {
public:
    explicit RunningReceiver(std::vector<std::string> arguments)
    {
        run_.argv = {TARVIX_REPORT_RECEIVER};
        run_.argv.insert(run_.argv.end(), arguments.begin(), arguments.end());
        run_.input = platform::StreamMode::Null;
        run_.onError = [this](std::string_view bytes) { error_ += bytes; };
        run_.beforeStart = [this](int processId) { processId_ = processId; };
        runner_ = std::thread([this] {
            result_ = platform::runHostProcess(run_);
            ended_ = true;
        });
    }
    ~RunningReceiver()
    {
        if (runner_.joinable())
            stop(SIGKILL);
    }

    // Waits for the port file; 0 when it does not appear within ten seconds.
    uint16_t port(const fs::path& portFile) const
    {
        for (int i = 0; i < 1000; ++i) {
            if (fs::exists(portFile))
                return static_cast<uint16_t>(std::stoi(readAll(portFile)));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }

    platform::HostProcessResult stop(int signal = SIGTERM)
    {
        while (processId_ == 0 && !ended_)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!ended_)
            ::kill(processId_, signal);
        runner_.join();
        return result_;
    }

    const std::string& error() const { return error_; }

private:
    platform::HostProcessSpec run_;
    std::atomic<int> processId_{0};
    std::atomic<bool> ended_{false};
    std::string error_;
    platform::HostProcessResult result_;
    std::thread runner_;
};

TEST(ReportReceiverProgram, RecordsEveryRequestAndStopsOnSigterm)
{
    test::TempDir dir;
    RunningReceiver receiver(
        {"--port-file", (dir / "port").string(), "--record", (dir / "record").string(), "--answer", "recebido"});
    const uint16_t port = receiver.port(dir / "port");
    ASSERT_NE(port, 0) << receiver.error();
    platform::HttpPost post;
    post.url = "http://127.0.0.1:" + std::to_string(port) + "/tarvix/instalar.php";
    post.body = "versao=37";
    EXPECT_EQ(platform::postHttp10(post), "recebido");
    post.body = "versao=38\n";
    EXPECT_EQ(platform::postHttp10(post), "recebido");
    const platform::HostProcessResult result = receiver.stop();
    EXPECT_EQ(result.exitCode, 0u) << receiver.error();
    const std::string head = "POST /tarvix/instalar.php HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
    EXPECT_EQ(readAll(dir / "record"),
              head + "Content-Length: 9\r\n\r\nversao=37\n\n" + head + "Content-Length: 10\r\n\r\nversao=38\n\n");
}

TEST(ReportReceiverProgram, ServesHttpsWithTheCertificateItMakes)
{
    test::TempDir dir;
    RunningReceiver receiver({"--port-file", (dir / "port").string(), "--record", (dir / "record").string(), "--https",
                              (dir / "certificates").string()});
    const uint16_t port = receiver.port(dir / "port");
    ASSERT_NE(port, 0) << receiver.error();
    platform::HttpPost post;
    post.url = "https://localhost:" + std::to_string(port) + "/";
    post.extraCaFile = (dir / "certificates" / "ca.pem").string();
    EXPECT_EQ(platform::postHttp10(post), "OK");
    post.extraCaFile.clear();
    EXPECT_THROW(platform::postHttp10(post), platform::HttpError);
    EXPECT_EQ(receiver.stop(SIGINT).exitCode, 0u) << receiver.error();
    EXPECT_EQ(readAll(dir / "record").find("POST / HTTP/1.0\r\n"), 0u);
}

TEST(ReportReceiverProgram, RefusesAnIncompleteCommandLine)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--port-file", "p"},
        {"--record", "r"},
        {"--port-file", "p", "--record"},
        {"--port-file", "p", "--record", "r", "--unknown"},
    };
    for (const auto& arguments : cases) {
        platform::HostProcessSpec run;
        run.argv = {TARVIX_REPORT_RECEIVER};
        run.argv.insert(run.argv.end(), arguments.begin(), arguments.end());
        run.input = platform::StreamMode::Null;
        EXPECT_EQ(platform::runHostProcess(run).exitCode, 2u) << arguments.size() << " arguments";
    }
}

} // namespace
} // namespace tarvix::tools
