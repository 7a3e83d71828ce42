#include "platform/http_post.h"

#include <arpa/inet.h>
#include <csignal>
#include <ctime>
#include <pthread.h>

#include <openssl/err.h>

#include "platform/ascii_case.h"

namespace tarvix::platform {
namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The characters of a host name: letters, digits, '-', '.', '_' (percent-encoded names are not taken).
bool isHostNameChar(char c)
{
    return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_';
}

// A character of HTTP's "token" (header names).
bool isTokenChar(char c)
{
    return isAlpha(c) || isDigit(c) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

[[noreturn]] void refuseUrl(std::string_view url, std::string_view why)
{
    throw HttpError("\"" + std::string(url) + "\" cannot be posted to: " + std::string(why));
}

uint16_t parsePort(std::string_view url, std::string_view text)
{
    if (text.empty())
        refuseUrl(url, "the port number is missing");
    unsigned long value = 0;
    for (char c : text) {
        if (!isDigit(c))
            refuseUrl(url, "the port is no number");
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > 65535)
            refuseUrl(url, "the port is above 65535");
    }
    if (value == 0)
        refuseUrl(url, "port 0 cannot be connected to");
    return static_cast<uint16_t>(value);
}

} // namespace

HttpUrl parseHttpUrl(std::string_view url)
{
    HttpUrl out{};
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos)
        refuseUrl(url, "it is no http:// or https:// address");
    const std::string_view scheme = url.substr(0, schemeEnd);
    if (equalsIgnoringAsciiCase(scheme, "http"))
        out.secure = false;
    else if (equalsIgnoringAsciiCase(scheme, "https"))
        out.secure = true;
    else
        refuseUrl(url, "it is no http:// or https:// address");

    const std::string_view rest = url.substr(schemeEnd + 3);
    const std::size_t authorityEnd = rest.find_first_of("/?#");
    const std::string_view authority = rest.substr(0, authorityEnd);
    if (authority.find('@') != std::string_view::npos)
        refuseUrl(url, "user names and passwords in the address are not supported");

    std::string_view portText;
    bool portGiven = false;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            refuseUrl(url, "the IPv6 address has no closing bracket");
        out.host = std::string(authority.substr(1, close - 1));
        in6_addr address{};
        if (inet_pton(AF_INET6, out.host.c_str(), &address) != 1)
            refuseUrl(url, "the host in brackets is no IPv6 address");
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                refuseUrl(url, "only a port may follow the IPv6 address");
            portText = after.substr(1);
            portGiven = true;
        }
    } else {
        const std::size_t colon = authority.find(':');
        out.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) {
            portText = authority.substr(colon + 1);
            portGiven = true;
        }
        for (char c : out.host)
            if (!isHostNameChar(c))
                refuseUrl(url, "the host name holds a character that is not allowed there");
    }
    if (out.host.empty())
        refuseUrl(url, "no host is given");
    out.port = portGiven ? parsePort(url, portText) : (out.secure ? 443 : 80);

    std::string_view target = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
    target = target.substr(0, target.find('#'));
    for (char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f)
            refuseUrl(url, "the path or query holds a character that must be percent-encoded");
    }
    out.target = target.empty() || target.front() != '/' ? "/" + std::string(target) : std::string(target);
    return out;
}

std::string httpAuthority(const HttpUrl& url)
{
    std::string out = url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
    if (url.port != (url.secure ? 443 : 80))
        out += ":" + std::to_string(url.port);
    return out;
}

HttpUrl checkHttpPost(const HttpPost& post)
{
    HttpUrl url = parseHttpUrl(post.url);
    for (const HttpHeader& header : post.headers) {
        if (header.name.empty())
            throw HttpError("a header of the post to " + httpAuthority(url) + " has no name");
        for (char c : header.name)
            if (!isTokenChar(c))
                throw HttpError("the header name \"" + header.name + "\" holds a character that is not allowed");
        if (header.value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            throw HttpError("the header " + header.name + " holds a line break or a NUL");
        for (const char* own : {"Host", "Content-Length", "Transfer-Encoding"})
            if (equalsIgnoringAsciiCase(header.name, own))
                throw HttpError("the header " + header.name + " is written by the transport itself, not the caller");
    }
    if (post.connectTimeout.count() <= 0 || post.responseTimeout.count() <= 0)
        throw HttpError("the time-outs of the post to " + httpAuthority(url) + " must be longer than zero");
    return url;
}

namespace detail {

std::string opensslErrorText()
{
    std::string text;
    while (const unsigned long code = ERR_get_error()) {
        char line[256];
        ERR_error_string_n(code, line, sizeof line);
        if (!text.empty())
            text += "; ";
        text += line;
    }
    return text.empty() ? "no further detail" : text;
}

namespace {

sigset_t sigpipeOnly()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    return set;
}

bool sigpipePending()
{
    sigset_t pending;
    sigemptyset(&pending);
    return sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
}

} // namespace

SigpipeBlock::SigpipeBlock()
{
    const sigset_t pipe = sigpipeOnly();
    sigset_t previous;
    sigemptyset(&previous);
    pthread_sigmask(SIG_BLOCK, &pipe, &previous);
    wasBlocked_ = sigismember(&previous, SIGPIPE) == 1;
    wasPending_ = sigpipePending();
}

SigpipeBlock::~SigpipeBlock()
{
    const sigset_t pipe = sigpipeOnly();
    if (!wasPending_ && sigpipePending()) {
        const timespec now{};
        sigtimedwait(&pipe, nullptr, &now);
    }
    if (!wasBlocked_)
        pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
}

} // namespace detail

} // namespace tarvix::platform
