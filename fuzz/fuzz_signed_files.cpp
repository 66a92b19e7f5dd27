// Signed files: the shipped catalog, its signature envelope and keyset, and the
// update manifest. Only the signed bytes are accepted: a catalog or envelope
// that verifies is byte for byte the shipped one, any one changed byte of
// either is refused, a keyset that lets them verify holds the signing key,
// and a manifest is accepted only in its canonical form.
#include <fuzzer/FuzzedDataProvider.h>

#include <fstream>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogManifest.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"

namespace {

using namespace scourlet;

std::string readResource(const char* name) {
    std::ifstream in(fuzz::resourcesFolder() / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Shipped {
    std::string payload = readResource("privacy-services.json");
    std::string envelope = readResource("privacy-services.sig");
    std::string keys = readResource("privacy-services-keys.json");
    PrivacyServicesCatalog::Keyset keyset;

    Shipped() {
        auto parsed = PrivacyServicesCatalog::parseKeyset(keys);
        FUZZ_CHECK(parsed.ok());
        keyset = *parsed;
        FUZZ_CHECK(PrivacyServicesCatalog::verify(payload, envelope, keys, std::nullopt).ok());
    }
};

const Shipped& shipped() {
    static const Shipped files;
    return files;
}

bool verifies(std::string_view payload, std::string_view envelope, std::string_view keys) {
    return PrivacyServicesCatalog::verify(payload, envelope, keys, std::nullopt).ok();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const Shipped& files = shipped();
    FuzzedDataProvider input(data, size);
    switch (input.ConsumeIntegralInRange(0, 4)) {
        case 0: {
            const std::string payload = input.ConsumeRemainingBytesAsString();
            if (verifies(payload, files.envelope, files.keys)) {
                FUZZ_CHECK(payload == files.payload);
            }
            (void)PrivacyServicesCatalog::decode(payload);
            break;
        }
        case 1: {
            const std::string envelope = input.ConsumeRemainingBytesAsString();
            if (verifies(files.payload, envelope, files.keys)) {
                FUZZ_CHECK(envelope == files.envelope);
            }
            break;
        }
        case 2: {
            const std::string keys = input.ConsumeRemainingBytesAsString();
            const auto keyset = PrivacyServicesCatalog::parseKeyset(keys);
            if (verifies(files.payload, files.envelope, keys)) {
                FUZZ_CHECK(keyset.ok());
                for (const auto& [id, key] : files.keyset) {
                    const auto it = keyset->find(id);
                    FUZZ_CHECK(it != keyset->end() && it->second == key);
                }
            }
            break;
        }
        case 3: {
            // One byte of the catalog or of its envelope changed.
            const bool inPayload = input.ConsumeBool();
            std::string payload = files.payload;
            std::string envelope = files.envelope;
            std::string& changed = inPayload ? payload : envelope;
            const auto at = input.ConsumeIntegralInRange<std::size_t>(0, changed.size() - 1);
            const auto byte = input.ConsumeIntegral<unsigned char>();
            if (static_cast<unsigned char>(changed[at]) == byte) {
                break;
            }
            changed[at] = static_cast<char>(byte);
            FUZZ_CHECK(!verifies(payload, envelope, files.keys));
            break;
        }
        default: {
            const std::string text = input.ConsumeRemainingBytesAsString();
            if (const auto manifest = PrivacyCatalogManifest::parse(text, "updates.example")) {
                FUZZ_CHECK(manifest->canonicalJSON() == text);
            }
            break;
        }
    }
    return 0;
}
