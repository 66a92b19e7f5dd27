// The settings file: whatever decodes encodes again, and the encoded text
// decodes to the same values, kinds included, and encodes to the same text.
#include <string>

#include "FuzzSupport.h"
#include "ScourletCore/platform/internal/DefaultsValueCoding.h"

namespace {

using namespace scourlet;

bool sameValues(const internal::DefaultsMap& a, const internal::DefaultsMap& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
        if (x->first != y->first || !internal::strictlyEqual(x->second, y->second)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const auto decoded = internal::decodeDefaultsFile(fuzz::asText(data, size));
    if (!decoded) {
        return 0;
    }
    for (const auto& [key, value] : *decoded) {
        Json copy = value;
        FUZZ_CHECK(internal::normalizeDefaultsValue(copy));
        FUZZ_CHECK(internal::strictlyEqual(copy, value));
    }
    const auto encoded = internal::encodeDefaultsFile(*decoded);
    FUZZ_CHECK(encoded.ok());
    const auto again = internal::decodeDefaultsFile(*encoded);
    FUZZ_CHECK(again.ok());
    FUZZ_CHECK(sameValues(*again, *decoded));
    const auto reencoded = internal::encodeDefaultsFile(*again);
    FUZZ_CHECK(reencoded.ok() && *reencoded == *encoded);
    return 0;
}
