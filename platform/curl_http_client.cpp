#include "platform/curl_http_client.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string_view>

#include <curl/curl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include "platform/ascii_case.h"

namespace tarvix::platform {
namespace {

using Clock = std::chrono::steady_clock;

// libcurl asks to be set up once per process, before any other call, and not from two threads at once.
void startCurl()
{
    static const CURLcode started = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (started != CURLE_OK)
        throw HttpError(std::string("libcurl cannot be started: ") + curl_easy_strerror(started));
}

using detail::FreeWith;
using Easy = std::unique_ptr<CURL, FreeWith<curl_easy_cleanup>>;
using Multi = std::unique_ptr<CURLM, FreeWith<curl_multi_cleanup>>;
using HeaderList = std::unique_ptr<curl_slist, FreeWith<curl_slist_free_all>>;

// What the callbacks share with the transfer.
struct Exchange {
    std::string answer;
    std::optional<Clock::time_point> lastArrival; // the last bytes of the answer, head or body
    bool headEnded = false; // the empty line after the answer's head arrived (curl takes a head cut short)
    const std::string* extraCaFile = nullptr;
    std::string caError; // why the extra CA file could not be added
};

size_t keepBody(char* data, size_t size, size_t count, void* user)
{
    auto* exchange = static_cast<Exchange*>(user);
    exchange->answer.append(data, size * count);
    exchange->lastArrival = Clock::now();
    return size * count;
}

size_t noteHead(char* data, size_t size, size_t count, void* user)
{
    auto* exchange = static_cast<Exchange*>(user);
    const std::string_view line(data, size * count);
    exchange->lastArrival = Clock::now();
    exchange->headEnded = line == "\r\n" || line == "\n";
    return size * count;
}

// CURLOPT_CAINFO would replace the system's bundle, so the extra CA goes into the OpenSSL store of the
// connection instead, which curl fills from its bundle as well: both are trusted.
CURLcode addExtraCa(CURL*, void* sslContext, void* user)
{
    auto* exchange = static_cast<Exchange*>(user);
    X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
    ERR_clear_error();
    if (X509_STORE_load_file(store, exchange->extraCaFile->c_str()) == 1)
        return CURLE_OK;
    exchange->caError =
        "the certificate file " + *exchange->extraCaFile + " cannot be used: " + detail::opensslErrorText();
    return CURLE_SSL_CACERT_BADFILE;
}

bool curlUsesOpenssl()
{
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    return info->ssl_version && startsWithIgnoringAsciiCase(info->ssl_version, "OpenSSL");
}

bool callerGives(const HttpPost& post, std::string_view name)
{
    return std::any_of(post.headers.begin(), post.headers.end(),
                       [&](const HttpHeader& h) { return equalsIgnoringAsciiCase(h.name, name); });
}

// The caller's headers, then the removal of what curl would add on its own. curl reads "Name:" as "remove" and
// "Name;" as "send empty".
HeaderList headerList(const HttpPost& post)
{
    HeaderList list;
    const auto add = [&](const std::string& line) {
        curl_slist* longer = curl_slist_append(list.get(), line.c_str());
        if (!longer)
            throw HttpError("out of memory for the request's headers");
        (void)list.release();
        list.reset(longer);
    };
    for (const HttpHeader& header : post.headers)
        add(header.value.empty() ? header.name + ";" : header.name + ": " + header.value);
    for (const char* added : {"Accept", "Expect", "Content-Type"})
        if (!callerGives(post, added))
            add(std::string(added) + ":");
    return list;
}

template <typename Value>
void set(CURL* easy, CURLoption option, Value value)
{
    const CURLcode code = curl_easy_setopt(easy, option, value);
    if (code != CURLE_OK)
        throw HttpError(std::string("libcurl refused an option: ") + curl_easy_strerror(code));
}

// Once the request starts going out, the post fails when nothing moves, neither the request's bytes out nor the
// answer's bytes in, for responseTimeout. The transfer runs through the multi interface so that this loop chooses
// its own waits and ends the post on time, not at curl's next progress call.
bool requestUnderway(CURL* easy)
{
    curl_off_t pretransfer = 0;
    curl_easy_getinfo(easy, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
    return pretransfer > 0;
}

curl_off_t bytesSent(CURL* easy)
{
    curl_off_t sent = 0;
    curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &sent);
    return sent;
}

} // namespace

std::string postWithCurl(const HttpPost& post)
{
    const HttpUrl url = checkHttpPost(post);
    const std::string where = httpAuthority(url);
    startCurl();
    if (!post.extraCaFile.empty() && url.secure && !curlUsesOpenssl())
        throw HttpError("libcurl is not built with OpenSSL, so it cannot trust " + post.extraCaFile);
    detail::SigpipeBlock sigpipe; // curl is told not to touch signals (CURLOPT_NOSIGNAL), so it is kept off here

    const Multi multi(curl_multi_init());
    const Easy easy(curl_easy_init());
    if (!multi || !easy)
        throw HttpError("libcurl cannot start a transfer");
    CURL* e = easy.get();
    Exchange exchange;
    exchange.extraCaFile = &post.extraCaFile;
    char errorText[CURL_ERROR_SIZE] = "";
    const std::string address = (url.secure ? "https://" : "http://") + where + url.target;
    const auto headers = headerList(post);

    set(e, CURLOPT_ERRORBUFFER, errorText);
    set(e, CURLOPT_URL, address.c_str());
    set(e, CURLOPT_PROTOCOLS_STR, "http,https");
    set(e, CURLOPT_PROXY, "");
    set(e, CURLOPT_FOLLOWLOCATION, 0L);
    set(e, CURLOPT_NOSIGNAL, 1L);
    set(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(e, CURLOPT_POST, 1L);
    set(e, CURLOPT_POSTFIELDS, post.body.data());
    set(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(post.body.size()));
    set(e, CURLOPT_HTTPHEADER, headers.get());
    set(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(post.connectTimeout.count()));
    set(e, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    set(e, CURLOPT_SSL_VERIFYPEER, 1L);
    set(e, CURLOPT_SSL_VERIFYHOST, 2L);
    set(e, CURLOPT_WRITEFUNCTION, keepBody);
    set(e, CURLOPT_WRITEDATA, &exchange);
    set(e, CURLOPT_HEADERFUNCTION, noteHead);
    set(e, CURLOPT_HEADERDATA, &exchange);
    if (!post.extraCaFile.empty() && url.secure) {
        // A cached store would be shared with later transfers of the same handle; this one is ours alone.
        set(e, CURLOPT_CA_CACHE_TIMEOUT, 0L);
        set(e, CURLOPT_SSL_CTX_FUNCTION, addExtraCa);
        set(e, CURLOPT_SSL_CTX_DATA, &exchange);
    }

    if (curl_multi_add_handle(multi.get(), e) != CURLM_OK)
        throw HttpError("libcurl cannot start a transfer");
    struct Detach {
        CURLM* multi;
        CURL* easy;
        ~Detach() { curl_multi_remove_handle(multi, easy); }
    } detach{multi.get(), e};

    std::optional<Clock::time_point> lastMove; // set once the request is underway
    curl_off_t sent = 0;
    for (;;) {
        int running = 0;
        const CURLMcode step = curl_multi_perform(multi.get(), &running);
        if (step != CURLM_OK)
            throw HttpError("the post to " + where + " failed: " + curl_multi_strerror(step));
        if (running == 0)
            break;
        const Clock::time_point now = Clock::now();
        if (!lastMove && requestUnderway(e))
            lastMove = now;
        if (lastMove) {
            if (const curl_off_t nowSent = bytesSent(e); nowSent != sent) {
                sent = nowSent;
                lastMove = now;
            }
            if (exchange.lastArrival && *exchange.lastArrival > *lastMove)
                lastMove = exchange.lastArrival;
        }
        auto wait = std::chrono::milliseconds(100);
        if (lastMove) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*lastMove + post.responseTimeout - now);
            if (left.count() <= 0)
                throw HttpError("no answer from " + where + " within " + std::to_string(post.responseTimeout.count()) +
                                " ms");
            wait = std::min(left, std::chrono::milliseconds(1000));
        }
        const CURLMcode polled = curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(wait.count()), nullptr);
        if (polled != CURLM_OK)
            throw HttpError("the post to " + where + " failed: " + curl_multi_strerror(polled));
    }

    CURLcode result = CURLE_OK;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &left))
        if (message->msg == CURLMSG_DONE && message->easy_handle == e)
            result = message->data.result;
    if (result != CURLE_OK) {
        const std::string text =
            !exchange.caError.empty() ? exchange.caError : (*errorText ? errorText : curl_easy_strerror(result));
        throw HttpError("the post to " + where + " failed: " + text);
    }
    if (!exchange.headEnded)
        throw HttpError("the answer of " + where + " ends before its head does");
    return std::move(exchange.answer);
}

} // namespace tarvix::platform
