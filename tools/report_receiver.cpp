#include "tools/report_receiver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "platform/ascii_case.h"

namespace tarvix::tools {

struct ReportReceiver::Tls {
    SSL_CTX* context = nullptr;
    ~Tls() { SSL_CTX_free(context); }
};

namespace {

constexpr std::size_t kHeadLimit = 1 << 20;

// Our own threads never die of SIGPIPE: a client that goes away while we answer is no reason to end the tests.
void blockSigpipe()
{
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
}

// One accepted connection, plain or TLS, on a non-blocking socket. Every wait also watches the receiver's stop
// pipe; once it is readable every call gives up.
class Peer {
public:
    Peer(int fd, int stopFd, SSL_CTX* context) : fd_(fd), stopFd_(stopFd)
    {
        if (context) {
            ssl_ = SSL_new(context);
            if (ssl_)
                SSL_set_fd(ssl_, fd_);
        }
    }
    ~Peer()
    {
        SSL_free(ssl_);
        // The closing FIN goes out before the close resets a connection whose client still sends: that client's
        // next write then meets a broken pipe, which is what a client must survive.
        ::shutdown(fd_, SHUT_WR);
        ::close(fd_);
        ERR_clear_error();
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool usable(bool tls) const { return !tls || ssl_; }

    // True when the TLS handshake succeeded (or there is no TLS).
    bool handshake()
    {
        if (!ssl_)
            return true;
        for (;;) {
            const int done = SSL_accept(ssl_);
            if (done == 1)
                return true;
            if (!waitForSsl(done))
                return false;
        }
    }

    // Some bytes into `buffer`; 0 at the end of the connection, on an error, or when the receiver stops.
    std::size_t readSome(char* buffer, std::size_t size)
    {
        for (;;) {
            if (ssl_) {
                const int got = SSL_read(ssl_, buffer, static_cast<int>(size));
                if (got > 0)
                    return static_cast<std::size_t>(got);
                if (!waitForSsl(got))
                    return 0;
            } else {
                const ssize_t got = ::recv(fd_, buffer, size, 0);
                if (got >= 0)
                    return static_cast<std::size_t>(got);
                if (errno != EINTR && !(errno == EAGAIN && wait(POLLIN)))
                    return 0;
            }
        }
    }

    bool writeAll(std::string_view bytes)
    {
        while (!bytes.empty()) {
            if (ssl_) {
                const int sent = SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()));
                if (sent > 0)
                    bytes.remove_prefix(static_cast<std::size_t>(sent));
                else if (!waitForSsl(sent))
                    return false;
            } else {
                const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
                if (sent >= 0)
                    bytes.remove_prefix(static_cast<std::size_t>(sent));
                else if (errno != EINTR && !(errno == EAGAIN && wait(POLLOUT)))
                    return false;
            }
        }
        return true;
    }

    void close()
    {
        if (ssl_)
            SSL_shutdown(ssl_);
    }

    // Waits for the receiver to stop.
    void hold() { wait(0); }

private:
    // Waits for the socket (when `events` is not 0) or the stop pipe; false when the receiver stops or the socket
    // broke.
    bool wait(short events)
    {
        pollfd entries[2] = {{stopFd_, POLLIN, 0}, {fd_, events, 0}};
        for (;;) {
            const int ready = ::poll(entries, events ? 2 : 1, -1);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0 || entries[0].revents)
                return false;
            return true;
        }
    }

    bool waitForSsl(int result)
    {
        const int why = SSL_get_error(ssl_, result);
        if (why == SSL_ERROR_WANT_READ)
            return wait(POLLIN);
        if (why == SSL_ERROR_WANT_WRITE)
            return wait(POLLOUT);
        return false;
    }

    int fd_;
    int stopFd_;
    SSL* ssl_ = nullptr;
};

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The request line and the header lines of a head (without its closing empty line); false when it is malformed.
bool parseHead(std::string_view head, ReceivedRequest& request, std::size_t& contentLength)
{
    contentLength = 0;
    std::size_t lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    const std::size_t space1 = requestLine.find(' ');
    const std::size_t space2 = requestLine.rfind(' ');
    if (space1 == std::string_view::npos || space1 == space2)
        return false;
    request.method = requestLine.substr(0, space1);
    request.target = requestLine.substr(space1 + 1, space2 - space1 - 1);
    request.version = requestLine.substr(space2 + 1);
    while (lineEnd != std::string_view::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string_view line = head.substr(start, lineEnd == std::string_view::npos ? lineEnd : lineEnd - start);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            return false;
        platform::HttpHeader header{std::string(line.substr(0, colon)),
                                    std::string(trimBlanks(line.substr(colon + 1)))};
        if (platform::equalsIgnoringAsciiCase(header.name, "Content-Length")) {
            if (header.value.empty() || header.value.size() > 12 ||
                header.value.find_first_not_of("0123456789") != std::string::npos)
                return false;
            contentLength = std::stoull(header.value);
        }
        request.headers.push_back(std::move(header));
    }
    return true;
}

// Reads one request: the head up to its empty line, then Content-Length bytes of body.
bool readRequest(Peer& peer, ReceivedRequest& request)
{
    std::string& raw = request.raw;
    char buffer[16384];
    std::size_t headEnd = std::string::npos;
    while ((headEnd = raw.find("\r\n\r\n")) == std::string::npos) {
        if (raw.size() > kHeadLimit)
            return false;
        const std::size_t got = peer.readSome(buffer, sizeof buffer);
        if (got == 0)
            return false;
        raw.append(buffer, got);
    }
    std::size_t length = 0;
    if (!parseHead(std::string_view(raw).substr(0, headEnd), request, length))
        return false;
    const std::size_t bodyStart = headEnd + 4;
    while (raw.size() < bodyStart + length) {
        const std::size_t got = peer.readSome(buffer, sizeof buffer);
        if (got == 0)
            return false;
        raw.append(buffer, got);
    }
    raw.resize(bodyStart + length); // bytes a client sent after its request are dropped
    request.body = raw.substr(bodyStart);
    return true;
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ReportReceiver::ReportReceiver(ReceiverOptions options) : options_(std::move(options))
{
    try {
        const bool certificate = !options_.certificateFile.empty(), key = !options_.keyFile.empty();
        if (certificate != key)
            throw std::runtime_error("the report receiver needs both a certificate and its key for HTTPS");
        if (certificate) {
            tls_ = std::make_unique<Tls>();
            tls_->context = SSL_CTX_new(TLS_server_method());
            if (!tls_->context || SSL_CTX_set_min_proto_version(tls_->context, TLS1_2_VERSION) != 1 ||
                SSL_CTX_use_certificate_chain_file(tls_->context, options_.certificateFile.c_str()) != 1 ||
                SSL_CTX_use_PrivateKey_file(tls_->context, options_.keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
                SSL_CTX_check_private_key(tls_->context) != 1)
                throw std::runtime_error("the report receiver cannot use the certificate " +
                                         options_.certificateFile.string() + " and the key " +
                                         options_.keyFile.string() + ": " + platform::detail::opensslErrorText());
        }
        if (::pipe2(stopPipe_, O_CLOEXEC) != 0)
            throw std::runtime_error(std::string("the report receiver cannot make a pipe: ") + std::strerror(errno));
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t size = sizeof address;
        if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listenFd_, 64) != 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            throw std::runtime_error(std::string("the report receiver cannot listen on 127.0.0.1: ") +
                                     std::strerror(errno));
        port_ = ntohs(address.sin_port);
        server_ = std::thread([this] { serve(); });
    } catch (...) {
        closeFd(listenFd_);
        closeFd(stopPipe_[0]);
        closeFd(stopPipe_[1]);
        throw;
    }
}

ReportReceiver::~ReportReceiver()
{
    const char stop = 1;
    while (::write(stopPipe_[1], &stop, 1) < 0 && errno == EINTR) {}
    server_.join();
    for (std::thread& connection : connections_)
        connection.join();
    closeFd(listenFd_);
    closeFd(stopPipe_[0]);
    closeFd(stopPipe_[1]);
}

uint16_t ReportReceiver::port() const
{
    return port_;
}

std::string ReportReceiver::url(std::string_view path) const
{
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<ReceivedRequest> ReportReceiver::requests() const
{
    const std::lock_guard lock(mutex_);
    return requests_;
}

void ReportReceiver::setAnswer(std::string answer)
{
    const std::lock_guard lock(mutex_);
    options_.answer = std::move(answer);
}

bool ReportReceiver::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

bool ReportReceiver::stopping() const
{
    pollfd entry{stopPipe_[0], POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

void ReportReceiver::serve()
{
    blockSigpipe(); // the connections' threads inherit the mask
    pollfd entries[2] = {{stopPipe_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
    for (;;) {
        if (::poll(entries, 2, -1) < 0 && errno != EINTR)
            return;
        if (entries[0].revents || stopping())
            return;
        if (!entries[1].revents)
            continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const std::lock_guard lock(mutex_);
        connections_.emplace_back([this, fd] { serveConnection(fd); });
    }
}

void ReportReceiver::serveConnection(int fd)
{
    Peer peer(fd, stopPipe_[0], tls_ ? tls_->context : nullptr);
    if (!peer.usable(tls_ != nullptr) || !peer.handshake())
        return;
    ReceivedRequest request;
    if (!readRequest(peer, request))
        return;
    std::string answer;
    {
        const std::lock_guard lock(mutex_);
        requests_.push_back(std::move(request));
        if (options_.rawAnswer)
            answer = *options_.rawAnswer;
        else
            answer = "HTTP/1.1 " + options_.status +
                     "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(options_.answer.size()) +
                     "\r\nConnection: close\r\n\r\n" + options_.answer;
    }
    arrived_.notify_all();
    if (options_.neverAnswer) {
        peer.hold();
        return;
    }
    if (peer.writeAll(answer))
        peer.close();
}

} // namespace tarvix::tools
