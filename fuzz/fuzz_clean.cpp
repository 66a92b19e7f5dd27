// The whole clean: a cleaned link parses strictly, starts with "http://" or
// "https://", has a host, holds no control, white space or bidirectional
// character, and its result survives the stored-JSON round trip. An unchanged
// or refused link is left as the user wrote it.
//
// The first line of an input is the link. Alone, it is cleaned with the
// shipped rules. Further lines make up providers of the input's own, so that
// the rules are fuzzed too, one line per field, told by its first character:
//
//   P<url pattern>   starts a provider (lines before the first P belong to a
//                    provider for every link)
//   r<rule>  f<referral rule>  w<raw rule>  d<redirection>  x<exception>
//   F<base>          the Reddit front end, with the Reddit rewrite on
//
// Lines starting with any other character are ignored.
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/rules/URLCleaner.h"

namespace {

using namespace scourlet;

std::shared_ptr<RulesEngine> newEngine() {
    return std::make_shared<RulesEngine>(std::make_shared<InMemoryUserDefaults>(), nullptr);
}

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

// The providers file and the privacy settings that the lines after the link describe.
struct FuzzedRules {
    std::string providersFile;
    PrivacyRedirectSettings settings = PrivacyRedirectSettings::disabled();
};

FuzzedRules fuzzedRules(std::string_view lines) {
    FuzzedRules rules;
    Json providers = Json::object();
    Json* provider = nullptr;
    auto startProvider = [&](std::string_view pattern) {
        const std::string name = "fuzzed " + std::to_string(providers.size());
        providers[name] = Json{{"urlPattern", std::string(pattern)}};
        provider = &providers[name];
    };
    while (!lines.empty()) {
        const std::size_t newline = lines.find('\n');
        const std::string_view line = lines.substr(0, newline);
        lines = newline == std::string_view::npos ? std::string_view() : lines.substr(newline + 1);
        if (line.empty()) {
            continue;
        }
        const std::string field(line.substr(1));
        const char* key = nullptr;
        switch (line.front()) {
            case 'P':
                startProvider(field);
                continue;
            case 'F':
                rules.settings.redditRedirectEnabled = true;
                rules.settings.redditFrontendBaseURL = field;
                continue;
            case 'r':
                key = "rules";
                break;
            case 'f':
                key = "referralMarketing";
                break;
            case 'w':
                key = "rawRules";
                break;
            case 'd':
                key = "redirections";
                break;
            case 'x':
                key = "exceptions";
                break;
            default:
                continue;
        }
        if (provider == nullptr) {
            startProvider("^https?://");
        }
        (*provider)[key].push_back(field);
    }
    rules.providersFile = dumpJson(Json{{"providers", providers}});
    return rules;
}

// The engine of the last fuzzed providers file, kept while inputs repeat it.
std::shared_ptr<RulesEngine> engineFor(const std::string& providersFile) {
    static std::string loadedFile;
    static std::shared_ptr<RulesEngine> engine;
    if (!engine || providersFile != loadedFile) {
        engine = newEngine();
        engine->loadRules(providersFile);
        loadedFile = providersFile;
    }
    return engine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size > 4096) {
        return 0;
    }
    const std::string_view input = fuzz::asText(data, size);
    const std::size_t newline = input.find('\n');
    const std::string link(input.substr(0, newline));

    std::unique_ptr<URLCleaner> fuzzedCleaner;
    if (newline != std::string_view::npos) {
        FuzzedRules rules = fuzzedRules(input.substr(newline + 1));
        fuzzedCleaner = std::make_unique<URLCleaner>(
            engineFor(rules.providersFile), nullptr, nullptr, "fuzz", std::move(rules.settings),
            [] { return std::optional<PrivacyServicesCatalog::Verified>(); });
    }
    URLCleaner& cleaner = fuzzedCleaner ? *fuzzedCleaner : shippedCleaner();

    const CleanOutcome outcome = cleaner.cleanWithOutcome(link);
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
    FUZZ_CHECK(parsed->host().has_value() && !parsed->host()->empty());

    const auto decoded = CleanResult::decode(result->encoded());
    FUZZ_CHECK(decoded.ok());
    FUZZ_CHECK(*decoded == *result);
    return 0;
}
