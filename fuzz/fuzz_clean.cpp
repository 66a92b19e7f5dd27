// The whole clean with the shipped rules: a cleaned link parses strictly,
// starts with "http://" or "https://", holds no control, white space or
// bidirectional character, and its result survives the stored-JSON round trip.
// An unchanged or refused link is left as the user wrote it.
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/rules/URLCleaner.h"

namespace {

using namespace scourlet;

URLCleaner& shippedCleaner() {
    static URLCleaner* const cleaner = [] {
        auto engine = std::make_shared<RulesEngine>(std::make_shared<InMemoryUserDefaults>(),
                                                    &fuzz::shippedResources());
        engine->loadBundledRules();
        FUZZ_CHECK(!engine->compiledProviders().empty());
        return new URLCleaner(engine, nullptr, nullptr, "fuzz",
                              PrivacyRedirectSettings::disabled());
    }();
    return *cleaner;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size > 4096) {
        return 0;
    }
    const std::string link(fuzz::asText(data, size));
    const CleanOutcome outcome = shippedCleaner().cleanWithOutcome(link);
    const CleanResult* result = outcome.cleanedResult();
    if (result == nullptr) {
        return 0;
    }
    const std::string& cleaned = result->cleanedURL;
    FUZZ_CHECK(cleaned.starts_with("http://") || cleaned.starts_with("https://"));
    // A strict parse refuses controls, white space and every non-ASCII byte,
    // bidirectional controls among them.
    const auto parsed = URLComponents::parse(cleaned);
    FUZZ_CHECK(parsed.has_value());
    FUZZ_CHECK(parsed->host().has_value());

    const auto decoded = CleanResult::decode(result->encoded());
    FUZZ_CHECK(decoded.ok());
    FUZZ_CHECK(*decoded == *result);
    return 0;
}
