#include "SecretKey.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "CommandArguments.h"
#include "CommandLine.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "ScourletCore/linkrewriting/SigningChecks.h"
#include "SigningFiles.h"

namespace scourlet::signtool {

namespace fs = std::filesystem;

namespace {

// Makes the missing folders of `folder`, each with mode 0700: what holds a
// secret key is nobody else's to list. Why one could not be made, if so.
std::optional<std::string> makePrivateFolders(const fs::path& folder) {
    std::error_code ec;
    if (folder.empty() || fs::is_directory(folder, ec)) {
        return std::nullopt;
    }
    if (auto error = makePrivateFolders(folder.parent_path())) {
        return error;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return "could not make the folder " + folder.string() + ": " + std::strerror(errno);
    }
    return std::nullopt;
}

int generateKey(const fs::path& keyFile, const std::string& keyID) {
    if (!validKeyID(keyID)) {
        return fail("a key id has 1 to 64 characters from a-z, 0-9 and \"-\"");
    }
    if (isInsideSourceTree(keyFile)) {
        return fail("refusing to write a secret key inside the source tree: " + keyFile.string());
    }
    KeyPair pair;
    // Draw until the public key passes the strict point test (almost always the first).
    do {
        crypto_sign_keypair(pair.publicKey, pair.secretKey);
    } while (!isAcceptedEd25519Point(
        std::string_view(reinterpret_cast<const char*>(pair.publicKey), sizeof pair.publicKey)));
    const std::string seed = base64(pair.secretKey, crypto_sign_SEEDBYTES) + "\n";
    if (auto error = makePrivateFolders(keyFile.parent_path())) {
        return fail(*error);
    }
    const int fd = ::open(keyFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return fail("could not create " + keyFile.string() + ": " +
                    (errno == EEXIST ? "it exists already, and a key is never overwritten"
                                     : std::strerror(errno)));
    }
    const bool written = ::write(fd, seed.data(), seed.size()) == static_cast<ssize_t>(seed.size());
    ::close(fd);
    if (!written) {
        return fail("could not write " + keyFile.string());
    }
    std::cout << "\"" << keyID << "\":\"" << base64(pair.publicKey, sizeof pair.publicKey)
              << "\"\n";
    return kSuccess;
}

}  // namespace

std::string base64(const unsigned char* bytes, std::size_t size) {
    std::string out(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
    out.pop_back();
    return out;
}

bool validKeyID(std::string_view id) {
    return !id.empty() && id.size() <= 64 && !containsNonKeyIDCharacter(id);
}

int generateKeyCommand(const std::vector<std::string>& args) {
    const auto arguments = CommandArguments::read(args, {});
    if (!arguments) {
        return usageError(arguments.error());
    }
    if (arguments->plain().size() != 2) {
        return usageError("generate-key takes a secret key file and a key id; it was given " +
                          std::to_string(arguments->plain().size()) + " argument" +
                          (arguments->plain().size() == 1 ? "" : "s"));
    }
    return generateKey(arguments->plain()[0], arguments->plain()[1]);
}

std::optional<std::string> loadSecretKey(const fs::path& keyFile, KeyPair& pair) {
    if (isInsideSourceTree(keyFile)) {
        return "refusing to read a secret key inside the source tree: " + keyFile.string();
    }
    // As ssh does: a key that others may read is no longer secret, and one
    // they may write is no longer the maintainer's.
    struct stat info {};
    if (::stat(keyFile.c_str(), &info) == 0 && (info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return "the secret key " + keyFile.string() + " has mode " + mode +
               ", so others may read or change it; make it private with: chmod 600 " +
               keyFile.string();
    }
    std::string error;
    auto text = readFile(keyFile, "the secret key", error);
    if (!text) {
        return error;
    }
    while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) {
        text->pop_back();
    }
    unsigned char seed[crypto_sign_SEEDBYTES];
    std::size_t length = 0;
    if (sodium_base642bin(seed, sizeof seed, text->data(), text->size(), nullptr, &length, nullptr,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != sizeof seed) {
        sodium_memzero(seed, sizeof seed);
        return keyFile.string() + " does not hold the base64 text of a 32-byte seed";
    }
    crypto_sign_seed_keypair(pair.publicKey, pair.secretKey, seed);
    sodium_memzero(seed, sizeof seed);
    return std::nullopt;
}

std::string signedEnvelope(std::string_view message, const KeyPair& pair,
                           const std::string& keyID) {
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                         message.size(), pair.secretKey);
    return PrivacyServicesCatalog::canonical(
        PrivacyServicesCatalog::Envelope{"Ed25519", keyID, base64(signature, sizeof signature)});
}

}  // namespace scourlet::signtool
