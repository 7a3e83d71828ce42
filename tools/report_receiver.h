// A loopback stand-in for the maker's report endpoint, for the tests and the demo: it records every request it
// gets, byte for byte, and answers each with a fixed text. Plain HTTP or HTTPS (TLS 1.2 and newer, with a
// certificate such as tools/test_certificate.h makes). It listens on 127.0.0.1 only, never on every interface.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/http_post.h"

namespace tarvix::tools {

struct ReceivedRequest {
    std::string method, target, version;       // of the request line: "POST", "/tarvix/instalar.php", "HTTP/1.0"
    std::vector<platform::HttpHeader> headers; // in arrival order, names as sent, values without the blanks around
    std::string body;                          // Content-Length bytes
    std::string raw;                           // the head and the body exactly as they arrived
};

struct ReceiverOptions {
    std::string answer = "OK";     // the body of every answer (HTTP/1.1, Content-Type text/plain, Connection: close)
    std::string status = "200 OK"; // the status code and reason phrase of every answer
    // Accept, read the request, then answer nothing and keep the connection open until stopped.
    bool neverAnswer = false;
    std::filesystem::path certificateFile, keyFile; // both set: HTTPS (TLS 1.2+); else plain HTTP
    // When set, these bytes are sent as they stand in place of the formed answer, and the connection closes: a
    // broken server for the clients' tests (empty: it closes without a byte).
    std::optional<std::string> rawAnswer;
};

class ReportReceiver {
public:
    // Listens on 127.0.0.1, on a free port (bind port 0), and serves on its own thread; each connection gets a
    // thread of its own, so that a client that never finishes holds up nobody else. Raises std::runtime_error when
    // it cannot listen or the certificate and key cannot be used. A connection that breaks off, a request that
    // cannot be read and a TLS handshake that fails (the client refused our certificate) are dropped unrecorded.
    explicit ReportReceiver(ReceiverOptions options);
    ~ReportReceiver(); // stops, joins, closes every connection
    ReportReceiver(const ReportReceiver&) = delete;
    ReportReceiver& operator=(const ReportReceiver&) = delete;

    uint16_t port() const;
    std::string url(std::string_view path = "/tarvix/instalar.php") const; // "http(s)://127.0.0.1:<port><path>"
    std::vector<ReceivedRequest> requests() const; // every request so far, in arrival order (thread-safe)
    void setAnswer(std::string answer);            // later requests get this
    // True once `count` requests have arrived; false when the time-out passes first.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    struct Tls;

    void serve();
    void serveConnection(int fd);
    bool stopping() const;

    ReceiverOptions options_;
    std::unique_ptr<Tls> tls_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1}; // written once on stop; every poll of the receiver watches its read end
    uint16_t port_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<ReceivedRequest> requests_;
    std::vector<std::thread> connections_;
    std::thread server_;
};

} // namespace tarvix::tools
