// Provider files: any text either loads or is refused without harm; the
// validation that rule updates run agrees with what a load compiles, and an
// engine that loaded the file cleans links without fault.
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/rules/ProvidersFile.h"
#include "ScourletCore/rules/URLCleaner.h"

namespace {

using namespace scourlet;

constexpr const char* kLinks[] = {
    "https://www.example.com/path?utm_source=a&id=1&fbclid=x#frag",
    "https://l.example.net/l.php?u=https%3A%2F%2Fa.example%2F%3Fq%3D1&h=2",
    "http://a.example/?ref=b&a=%FF%00",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size > 65536) {
        return 0;
    }
    const std::string_view text = fuzz::asText(data, size);
    (void)ProvidersFile::decode(text);

    const bool valid = RulesEngine::validateRuleBundle(text, std::nullopt).ok();
    auto engine = std::make_shared<RulesEngine>(std::make_shared<InMemoryUserDefaults>(), nullptr);
    engine->loadRules(text);
    FUZZ_CHECK(valid == !engine->compiledProviders().empty());
    if (!valid) {
        return 0;
    }
    URLCleaner cleaner(engine, nullptr, nullptr, "fuzz", PrivacyRedirectSettings::disabled());
    for (const char* link : kLinks) {
        (void)cleaner.cleanWithOutcome(link);
    }
    return 0;
}
