// The second report transport: our own HTTP/1.0 client, over OpenSSL for https:// and over plain TCP for
// http://. It sends
//
//     POST <target> HTTP/1.0\r\n
//     Host: <host>[:<port> when not the scheme's default]\r\n
//     <each caller header>\r\n
//     Content-Length: <n>\r\n
//     \r\n
//     <body>
//
// and reads the answer until the server closes the connection.
//
// TLS is 1.2 or newer; the server's certificate must chain to the system's store or HttpPost::extraCaFile and
// name the host (a DNS name, or the IP address when the host is one). Names are sent by SNI.
#pragma once

#include <string>

#include "platform/http_post.h"

namespace tarvix::platform {

// Posts and returns the answer's body bytes, whatever the status code. connectTimeout bounds the connection
// (every address of the host, and the TLS handshake); each wait for the next bytes of the answer is at most
// responseTimeout. Resolving the name is left to the system's resolver and its own time-outs. Fails with
// HttpError; a refused certificate says why in OpenSSL's words ("certificate has expired").
std::string postHttp10(const HttpPost& post);

} // namespace tarvix::platform
