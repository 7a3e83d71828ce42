// The first report transport on Linux: the platform's HTTP client, libcurl (OpenSSL flavour).
//
// The request is HTTP/1.1 with exactly the caller's headers plus Host and Content-Length: curl's own Accept,
// Expect: 100-continue and form Content-Type are taken off unless the caller gives them. Certificates and host
// names are verified against the system's store, plus HttpPost::extraCaFile when given. Redirects are not
// followed, and no proxy is used, not even one named in the environment: the second transport knows no proxy
// either, and a report must reach the maker's own server or fail, never a third party that could read it.
#pragma once

#include <string>

#include "platform/http_post.h"

namespace tarvix::platform {

// Posts and returns the answer's body bytes, whatever the status code. Fails with HttpError (curl's error text)
// when the connection cannot be made within connectTimeout, or no byte of the answer arrives for
// responseTimeout once the request went out.
std::string postWithCurl(const HttpPost& post);

} // namespace tarvix::platform
