#include "platform/tls_http10_client.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "platform/ascii_case.h"

namespace tarvix::platform {
namespace {

using Clock = std::chrono::steady_clock;

using detail::FreeWith;
using detail::opensslErrorText;

class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Socket& operator=(Socket&& other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Socket()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

std::string systemText(int error)
{
    return std::strerror(error);
}

std::string milliseconds(std::chrono::milliseconds ms)
{
    return std::to_string(ms.count()) + " ms";
}

bool isIpAddress(const std::string& host)
{
    in6_addr address{};
    return inet_pton(AF_INET, host.c_str(), &address) == 1 || inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

// Waits until the socket is ready for `events`; false when the deadline passes first.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), 60000)));
        if (ready > 0)
            return true; // an error or a hang-up shows in the next call on the socket
        if (ready < 0 && errno != EINTR)
            throw HttpError("waiting on the connection failed: " + systemText(errno));
    }
}

// One post over one connection, plain or TLS.
class Exchange {
public:
    Exchange(const HttpPost& post, HttpUrl url) : post_(post), url_(std::move(url)), where_(httpAuthority(url_)) {}

    std::string run()
    {
        const Clock::time_point connectDeadline = Clock::now() + post_.connectTimeout;
        connect(connectDeadline);
        if (url_.secure)
            startTls(connectDeadline);
        send(request());
        std::string answer = receive();
        finish();
        return bodyOf(answer);
    }

private:
    std::string request() const
    {
        std::string out = "POST " + url_.target + " HTTP/1.0\r\nHost: " + where_ + "\r\n";
        for (const HttpHeader& header : post_.headers)
            out += header.name + ": " + header.value + "\r\n";
        out += "Content-Length: " + std::to_string(post_.body.size()) + "\r\n\r\n";
        out += post_.body;
        return out;
    }

    void connect(Clock::time_point deadline)
    {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* found = nullptr;
        const std::string port = std::to_string(url_.port);
        if (const int failed = getaddrinfo(url_.host.c_str(), port.c_str(), &hints, &found))
            throw HttpError("the host " + url_.host + " cannot be found: " + gai_strerror(failed));
        const std::unique_ptr<addrinfo, FreeWith<freeaddrinfo>> addresses(found);

        std::string lastFailure = "it has no address";
        for (const addrinfo* a = addresses.get(); a; a = a->ai_next) {
            Socket candidate(::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
            if (candidate.fd() < 0) {
                lastFailure = systemText(errno);
                continue;
            }
            if (::connect(candidate.fd(), a->ai_addr, a->ai_addrlen) != 0) {
                if (errno != EINPROGRESS) {
                    lastFailure = systemText(errno);
                    continue;
                }
                if (!waitFor(candidate.fd(), POLLOUT, deadline))
                    throw HttpError("no connection to " + where_ + " within " + milliseconds(post_.connectTimeout));
                int error = 0;
                socklen_t size = sizeof error;
                if (getsockopt(candidate.fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                    error = errno;
                if (error != 0) {
                    lastFailure = systemText(error);
                    continue;
                }
            }
            socket_ = std::move(candidate);
            return;
        }
        throw HttpError("cannot connect to " + where_ + ": " + lastFailure);
    }

    void startTls(Clock::time_point deadline)
    {
        ERR_clear_error();
        context_.reset(SSL_CTX_new(TLS_client_method()));
        if (!context_)
            throw HttpError("TLS cannot be set up: " + opensslErrorText());
        SSL_CTX_set_min_proto_version(context_.get(), TLS1_2_VERSION);
        // A server that closes after its answer without TLS's closing message ends the answer as a plain close
        // does; a cut-short answer is still caught by its Content-Length.
        SSL_CTX_set_options(context_.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
        if (SSL_CTX_set_default_verify_paths(context_.get()) != 1)
            throw HttpError("the system's certificate store cannot be read: " + opensslErrorText());
        if (!post_.extraCaFile.empty() &&
            SSL_CTX_load_verify_locations(context_.get(), post_.extraCaFile.c_str(), nullptr) != 1)
            throw HttpError("the certificate file " + post_.extraCaFile + " cannot be used: " + opensslErrorText());
        SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER, nullptr);

        ssl_.reset(SSL_new(context_.get()));
        if (!ssl_ || SSL_set_fd(ssl_.get(), socket_.fd()) != 1)
            throw HttpError("TLS cannot be set up: " + opensslErrorText());
        if (isIpAddress(url_.host)) {
            // SNI carries names only; the certificate must hold the address itself.
            if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_.get()), url_.host.c_str()) != 1)
                throw HttpError("TLS cannot check the address " + url_.host + ": " + opensslErrorText());
        } else {
            SSL_set_hostflags(ssl_.get(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            if (SSL_set_tlsext_host_name(ssl_.get(), url_.host.c_str()) != 1 ||
                SSL_set1_host(ssl_.get(), url_.host.c_str()) != 1)
                throw HttpError("TLS cannot check the name " + url_.host + ": " + opensslErrorText());
        }

        for (;;) {
            ERR_clear_error();
            const int done = SSL_connect(ssl_.get());
            if (done == 1)
                return;
            const int why = SSL_get_error(ssl_.get(), done);
            if (why == SSL_ERROR_WANT_READ || why == SSL_ERROR_WANT_WRITE) {
                if (!waitFor(socket_.fd(), why == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline))
                    throw HttpError("no TLS connection to " + where_ + " within " + milliseconds(post_.connectTimeout));
                continue;
            }
            const long verified = SSL_get_verify_result(ssl_.get());
            if (verified != X509_V_OK)
                throw HttpError("the certificate of " + where_ +
                                " is refused: " + X509_verify_cert_error_string(verified));
            throw tlsFailure("the TLS handshake with " + where_ + " failed", why);
        }
    }

    // The error of a failed TLS call; `why` is SSL_get_error's answer.
    HttpError tlsFailure(const std::string& what, int why) const
    {
        if (why == SSL_ERROR_SYSCALL) {
            const int error = errno;
            ERR_clear_error();
            return HttpError(what + ": " + (error ? systemText(error) : "the server closed the connection"));
        }
        return HttpError(what + ": " + opensslErrorText());
    }

    void send(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const char* data = bytes.data() + done;
            const std::size_t size = bytes.size() - done;
            short wanted = POLLOUT;
            if (ssl_) {
                ERR_clear_error();
                const int sent = SSL_write(ssl_.get(), data, static_cast<int>(std::min<std::size_t>(size, 1 << 30)));
                if (sent > 0) {
                    done += static_cast<std::size_t>(sent);
                    continue;
                }
                const int why = SSL_get_error(ssl_.get(), sent);
                if (why != SSL_ERROR_WANT_READ && why != SSL_ERROR_WANT_WRITE)
                    throw tlsFailure("the request cannot be sent to " + where_, why);
                wanted = why == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
            } else {
                const ssize_t sent = ::send(socket_.fd(), data, size, MSG_NOSIGNAL);
                if (sent >= 0) {
                    done += static_cast<std::size_t>(sent);
                    continue;
                }
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    throw HttpError("the request cannot be sent to " + where_ + ": " + systemText(errno));
            }
            if (!waitFor(socket_.fd(), wanted, Clock::now() + post_.responseTimeout))
                throw HttpError(where_ + " took no more of the request for " + milliseconds(post_.responseTimeout));
        }
    }

    // Reads until the server closes the connection; each wait lasts at most responseTimeout.
    std::string receive()
    {
        std::string answer;
        char buffer[16384];
        for (;;) {
            short wanted = POLLIN;
            if (ssl_) {
                ERR_clear_error();
                const int got = SSL_read(ssl_.get(), buffer, sizeof buffer);
                if (got > 0) {
                    answer.append(buffer, static_cast<std::size_t>(got));
                    continue;
                }
                const int why = SSL_get_error(ssl_.get(), got);
                if (why == SSL_ERROR_ZERO_RETURN)
                    return answer;
                if (why != SSL_ERROR_WANT_READ && why != SSL_ERROR_WANT_WRITE)
                    throw tlsFailure("the answer of " + where_ + " cannot be read", why);
                wanted = why == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
            } else {
                const ssize_t got = ::recv(socket_.fd(), buffer, sizeof buffer, 0);
                if (got > 0) {
                    answer.append(buffer, static_cast<std::size_t>(got));
                    continue;
                }
                if (got == 0)
                    return answer;
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    throw HttpError("the answer of " + where_ + " cannot be read: " + systemText(errno));
            }
            if (!waitFor(socket_.fd(), wanted, Clock::now() + post_.responseTimeout))
                throw HttpError("no answer from " + where_ + " within " + milliseconds(post_.responseTimeout));
        }
    }

    // Says goodbye as TLS asks (one closing message, not waiting for the server's); the socket closes with the
    // object. The answer is complete already, so a failure here changes nothing.
    void finish()
    {
        if (ssl_) {
            SSL_shutdown(ssl_.get());
            ERR_clear_error();
        }
    }

    std::string bodyOf(const std::string& answer) const
    {
        if (answer.empty())
            throw HttpError(where_ + " closed the connection without an answer");
        if (!answer.starts_with("HTTP/"))
            throw HttpError("the answer of " + where_ + " is not HTTP");
        const std::size_t crlf = answer.find("\r\n\r\n");
        const std::size_t lf = answer.find("\n\n");
        if (crlf == std::string::npos && lf == std::string::npos)
            throw HttpError("the answer of " + where_ + " ends before its head does");
        const std::size_t headEnd = crlf < lf ? crlf + 4 : lf + 2;
        std::string body = answer.substr(headEnd);

        std::size_t lineStart = answer.find('\n') + 1;
        while (lineStart < headEnd) {
            const std::size_t lineEnd = answer.find('\n', lineStart);
            std::string_view line(answer.data() + lineStart, lineEnd - lineStart);
            lineStart = lineEnd + 1;
            constexpr std::string_view name = "content-length:";
            if (!startsWithIgnoringAsciiCase(line, name))
                continue;
            unsigned long long length = 0;
            bool digits = false;
            for (char c : line.substr(name.size())) {
                if (c >= '0' && c <= '9') {
                    length = length * 10 + static_cast<unsigned long long>(c - '0');
                    digits = true;
                } else if (c != ' ' && c != '\t' && c != '\r') {
                    digits = false;
                    break;
                }
            }
            if (!digits)
                continue;
            if (body.size() < length)
                throw HttpError("the connection to " + where_ + " closed before the whole answer arrived");
            body.resize(length);
        }
        return body;
    }

    const HttpPost& post_;
    const HttpUrl url_;
    const std::string where_;
    Socket socket_;
    std::unique_ptr<SSL_CTX, FreeWith<SSL_CTX_free>> context_;
    std::unique_ptr<SSL, FreeWith<SSL_free>> ssl_; // declared after the context and the socket: freed before both
};

} // namespace

std::string postHttp10(const HttpPost& post)
{
    HttpUrl url = checkHttpPost(post);
    detail::SigpipeBlock sigpipe; // TLS writes through a socket BIO, which sends without MSG_NOSIGNAL
    return Exchange(post, std::move(url)).run();
}

} // namespace tarvix::platform
