#include "tools/test_certificate.h"

#include <functional>
#include <memory>
#include <stdexcept>

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "platform/host_file.h"
#include "platform/http_post.h"

namespace fs = std::filesystem;

namespace tarvix::tools {
namespace {

using platform::detail::FreeWith;
using Key = std::unique_ptr<EVP_PKEY, FreeWith<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, FreeWith<X509_free>>;

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error("cannot make the test certificate (" + what +
                             "): " + platform::detail::opensslErrorText());
}

Key newKey()
{
    Key key(EVP_EC_gen("P-256"));
    if (!key)
        fail("an EC P-256 key");
    return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const std::string& value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    const std::unique_ptr<X509_EXTENSION, FreeWith<X509_EXTENSION_free>> extension(
        X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    if (!extension || X509_add_ext(certificate, extension.get(), -1) != 1)
        fail(std::string(OBJ_nid2sn(nid)) + " " + value);
}

// A certificate for `key` named `commonName`, issued by `issuer` (itself when null); extensions follow before it
// is signed.
Certificate newCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer, int fromDays, int forDays)
{
    Certificate certificate(X509_new());
    const std::unique_ptr<BIGNUM, FreeWith<BN_free>> serial(BN_new());
    if (!certificate || !serial || X509_set_version(certificate.get(), 2) != 1 ||
        BN_rand(serial.get(), 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) != 1 ||
        !BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate.get())))
        fail("a serial number");
    constexpr long day = 24L * 60 * 60;
    if (!X509_gmtime_adj(X509_getm_notBefore(certificate.get()), fromDays * day) ||
        !X509_gmtime_adj(X509_getm_notAfter(certificate.get()), (static_cast<long>(fromDays) + forDays) * day))
        fail("the validity");
    X509_NAME* subject = X509_get_subject_name(certificate.get());
    if (X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(commonName.data()),
                                   static_cast<int>(commonName.size()), -1, 0) != 1 ||
        X509_set_issuer_name(certificate.get(), issuer ? X509_get_subject_name(issuer) : subject) != 1 ||
        X509_set_pubkey(certificate.get(), key) != 1)
        fail("the names");
    return certificate;
}

void sign(X509* certificate, EVP_PKEY* issuerKey)
{
    if (X509_sign(certificate, issuerKey, EVP_sha256()) <= 0)
        fail("the signature");
}

std::string pem(const std::function<int(BIO*)>& write)
{
    const std::unique_ptr<BIO, FreeWith<BIO_free>> bio(BIO_new(BIO_s_mem()));
    if (!bio || write(bio.get()) != 1)
        fail("the PEM text");
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

std::string subjectAltNames(const TestCertificateOptions& options)
{
    std::string names;
    for (const std::string& name : options.dnsNames)
        names += (names.empty() ? "DNS:" : ",DNS:") + name;
    for (const std::string& address : options.ipAddresses)
        names += (names.empty() ? "IP:" : ",IP:") + address;
    return names;
}

} // namespace

TestCertificate makeTestCertificate(const fs::path& folder, std::string_view caName)
{
    return makeTestCertificate(folder, caName, TestCertificateOptions{});
}

TestCertificate makeTestCertificate(const fs::path& folder, std::string_view caName,
                                    const TestCertificateOptions& options)
{
    const Key caKey = newKey();
    const Certificate ca = newCertificate(caKey.get(), std::string(caName), nullptr, -1, 3650);
    addExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE");
    addExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash");
    sign(ca.get(), caKey.get());

    const Key serverKey = newKey();
    const Certificate server =
        newCertificate(serverKey.get(), "Tarvix Test Server", ca.get(), options.validFromDays, options.validForDays);
    addExtension(server.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE");
    addExtension(server.get(), ca.get(), NID_key_usage, "critical,digitalSignature");
    addExtension(server.get(), ca.get(), NID_ext_key_usage, "serverAuth");
    addExtension(server.get(), ca.get(), NID_subject_key_identifier, "hash");
    addExtension(server.get(), ca.get(), NID_authority_key_identifier, "keyid:always");
    if (const std::string names = subjectAltNames(options); !names.empty())
        addExtension(server.get(), ca.get(), NID_subject_alt_name, names);
    sign(server.get(), caKey.get());

    fs::create_directories(folder);
    const TestCertificate files{folder / "ca.pem", folder / "server.pem", folder / "server-key.pem"};
    platform::HostFileOptions readable, secret;
    readable.mode = fs::perms(0644);
    secret.mode = fs::perms(0600);
    platform::replaceHostFile(files.caFile, pem([&](BIO* bio) { return PEM_write_bio_X509(bio, ca.get()); }), readable);
    platform::replaceHostFile(files.certificateFile,
                              pem([&](BIO* bio) { return PEM_write_bio_X509(bio, server.get()); }), readable);
    platform::replaceHostFile(files.keyFile, pem([&](BIO* bio) {
                                  return PEM_write_bio_PrivateKey(bio, serverKey.get(), nullptr, nullptr, 0, nullptr,
                                                                  nullptr);
                              }),
                              secret);
    return files;
}

} // namespace tarvix::tools
