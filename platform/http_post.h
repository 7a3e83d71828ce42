// One HTTP POST as the installer sends its report, and what both report transports share: the request, the error
// they raise, and the reading of the address. The transports themselves are platform/curl_http_client.h (the
// platform's HTTP client) and platform/tls_http10_client.h (our own HTTP/1.0 client over OpenSSL).
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix::platform {

// A header line of the request, sent as "name: value".
struct HttpHeader {
    std::string name;
    std::string value;
};

struct HttpPost {
    std::string url;                 // "http://host[:port]/path?query" or "https://…"
    std::vector<HttpHeader> headers; // sent in this order, as given
    std::string body;                // bytes
    // Longest wait for the connection to be made, TLS handshake included.
    std::chrono::milliseconds connectTimeout{10000};
    std::chrono::milliseconds responseTimeout{5000}; // longest wait for the next bytes of the answer
    std::string extraCaFile; // PEM file trusted besides the system's store; empty: the store only
};

// Every failure of a post: an address that cannot be used, a host that cannot be reached, a certificate that is
// refused, a server that does not answer in time. The message is plain English and names the host.
class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The parts of an address that a client needs.
struct HttpUrl {
    bool secure;        // https
    std::string host;   // a name, an IPv4 address, or an IPv6 address without its brackets
    uint16_t port;      // the one given, else 80 or 443
    std::string target; // path + query, "/" when empty; the fragment is dropped (it is never sent)
};

// Reads "http://" and "https://" addresses (scheme in any letter case, IPv6 literals in brackets). Raises
// HttpError on anything else: another scheme, no host, user information, a port that is no number from 1 to
// 65535, a character that must be percent-encoded.
HttpUrl parseHttpUrl(std::string_view url);

// "host" or "host:port" as the Host header carries it: the port only when it is not the scheme's default, an
// IPv6 address in brackets.
std::string httpAuthority(const HttpUrl& url);

// What both transports check before they connect: parses the address and refuses the caller's headers that
// would break the request (a name that is no HTTP token, a CR or LF in a value, and Host or Content-Length,
// which the transports write themselves). Raises HttpError.
HttpUrl checkHttpPost(const HttpPost& post);

namespace detail {

// A std::unique_ptr deleter that calls a C library's free function: std::unique_ptr<SSL, FreeWith<SSL_free>>.
template <auto Free>
struct FreeWith {
    template <typename T>
    void operator()(T* object) const
    {
        Free(object);
    }
};

// OpenSSL's queued errors of the calling thread as one text, the queue emptied; "no further detail" when none is
// queued. Shared by the transports and the loopback receiver.
std::string opensslErrorText();

// Keeps a write to a connection the peer has closed from killing the process with SIGPIPE, without touching the
// process's signal handlers: SIGPIPE is blocked in the calling thread while the object lives, and a SIGPIPE that
// became pending meanwhile is taken off before the thread's previous mask returns.
class SigpipeBlock {
public:
    SigpipeBlock();
    ~SigpipeBlock();
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

private:
    bool wasPending_ = false;
    bool wasBlocked_ = false;
};

} // namespace detail

} // namespace tarvix::platform
