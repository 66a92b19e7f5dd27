// Certificates made while the tests run: a throwaway certificate authority
// and server certificates it signs, all with fresh P-256 keys. Nothing is
// read from or written to a real trust store.
//
//   TestCertificateAuthority ca("Scourlet Test CA");
//   TestCertificate server = ca.issue({"a.co", "www.amazon.com"});
//   ca.writePem(dir / "ca.pem");   // for CurlHttpTransport::Settings::caFile
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace scourlet::testing {

struct TestCertificate {
    std::shared_ptr<X509> certificate;
    std::shared_ptr<EVP_PKEY> key;
};

class TestCertificateAuthority {
public:
    // A self-signed CA named `commonName`, valid from an hour ago for a day.
    // Throws std::runtime_error when OpenSSL fails.
    explicit TestCertificateAuthority(const std::string& commonName);

    // A server certificate for `hostNames` (its subject alternative names),
    // signed by this CA. Throws std::runtime_error when OpenSSL fails.
    TestCertificate issue(const std::vector<std::string>& hostNames) const;

    // Writes the CA certificate as PEM to `path`.
    void writePem(const std::filesystem::path& path) const;

private:
    TestCertificate self_;
};

}  // namespace scourlet::testing
