#include "support/TestCertificateAuthority.h"

#include <atomic>
#include <cstdio>
#include <stdexcept>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace scourlet::testing {

namespace {

void require(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string("OpenSSL failed: ") + what);
    }
}

std::shared_ptr<EVP_PKEY> newKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    require(key != nullptr, "EC key generation");
    return {key, EVP_PKEY_free};
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    require(extension != nullptr, "extension");
    require(X509_add_ext(certificate, extension, -1) == 1, "adding an extension");
    X509_EXTENSION_free(extension);
}

// A certificate for `key` named `commonName`, issuer fields left to the caller.
std::shared_ptr<X509> newCertificate(EVP_PKEY* key, const std::string& commonName) {
    static std::atomic<long> serial{1};
    std::shared_ptr<X509> certificate(X509_new(), X509_free);
    X509* x = certificate.get();
    require(x != nullptr, "X509_new");
    require(X509_set_version(x, 2) == 1, "version");
    require(ASN1_INTEGER_set(X509_get_serialNumber(x), serial++) == 1, "serial");
    require(X509_gmtime_adj(X509_getm_notBefore(x), -3600) != nullptr, "not before");
    require(X509_gmtime_adj(X509_getm_notAfter(x), 24 * 3600) != nullptr, "not after");
    require(X509_set_pubkey(x, key) == 1, "public key");
    X509_NAME* name = X509_get_subject_name(x);
    require(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                       reinterpret_cast<const unsigned char*>(commonName.c_str()),
                                       -1, -1, 0) == 1,
            "common name");
    return certificate;
}

}  // namespace

TestCertificateAuthority::TestCertificateAuthority(const std::string& commonName) {
    self_.key = newKey();
    self_.certificate = newCertificate(self_.key.get(), commonName);
    X509* x = self_.certificate.get();
    require(X509_set_issuer_name(x, X509_get_subject_name(x)) == 1, "issuer");
    addExtension(x, x, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(x, x, NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(x, x, NID_subject_key_identifier, "hash");
    addExtension(x, x, NID_authority_key_identifier, "keyid:always");
    require(X509_sign(x, self_.key.get(), EVP_sha256()) > 0, "signing the CA");
}

TestCertificate TestCertificateAuthority::issue(const std::vector<std::string>& hostNames) const {
    TestCertificate issued;
    issued.key = newKey();
    issued.certificate =
        newCertificate(issued.key.get(), hostNames.empty() ? "server" : hostNames.front());
    X509* x = issued.certificate.get();
    X509* ca = self_.certificate.get();
    require(X509_set_issuer_name(x, X509_get_subject_name(ca)) == 1, "issuer");
    std::string names;
    for (const auto& host : hostNames) {
        names += (names.empty() ? "DNS:" : ",DNS:") + host;
    }
    addExtension(x, ca, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(x, ca, NID_key_usage, "critical,digitalSignature");
    addExtension(x, ca, NID_ext_key_usage, "serverAuth");
    addExtension(x, ca, NID_subject_key_identifier, "hash");
    addExtension(x, ca, NID_authority_key_identifier, "keyid:always");
    if (!names.empty()) {
        addExtension(x, ca, NID_subject_alt_name, names.c_str());
    }
    require(X509_sign(x, self_.key.get(), EVP_sha256()) > 0, "signing a server certificate");
    return issued;
}

void TestCertificateAuthority::writePem(const std::filesystem::path& path) const {
    std::FILE* file = std::fopen(path.c_str(), "w");
    require(file != nullptr, "opening the PEM file");
    const bool written = PEM_write_X509(file, self_.certificate.get()) == 1;
    std::fclose(file);
    require(written, "writing the PEM file");
}

}  // namespace scourlet::testing
