// Certificates for the loopback HTTPS tests and the demo, made with OpenSSL's library (no `openssl` command): a
// fresh certificate authority and a server certificate it signed. Every call makes new keys, so two calls give
// two unrelated authorities: a client that trusts one refuses the other's server.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix::tools {

struct TestCertificate {
    std::filesystem::path caFile;          // the authority's certificate (PEM): what a client trusts
    std::filesystem::path certificateFile; // the server's certificate (PEM)
    std::filesystem::path keyFile;         // the server's private key (PEM, readable by the owner only)
};

// What the server certificate is for, and when.
struct TestCertificateOptions {
    std::vector<std::string> dnsNames{"localhost"};    // subjectAltName DNS entries
    std::vector<std::string> ipAddresses{"127.0.0.1"}; // subjectAltName IP entries (IPv4 or IPv6 text)
    int validFromDays = -1;                            // start of validity, in days from now
    int validForDays = 30;                             // length of validity, in days
};

// A CA (basicConstraints CA:TRUE, self-signed) and a server certificate signed by it for IP 127.0.0.1 and DNS
// localhost, valid from a day ago for 30 days; EC P-256 keys. Writes ca.pem, server.pem and server-key.pem into
// `folder` (made when missing) and returns their paths. Raises std::runtime_error.
TestCertificate makeTestCertificate(const std::filesystem::path& folder, std::string_view caName = "Tarvix Test CA");
// The same, with the server certificate's names and validity chosen: a certificate for another name, or one that
// has expired.
TestCertificate makeTestCertificate(const std::filesystem::path& folder, std::string_view caName,
                                    const TestCertificateOptions& options);

} // namespace tarvix::tools
