#include "support/RuleFeedFixture.h"

namespace scourlet::testing {

std::string fixtureProvidersFile(std::string_view parameter) {
    const std::string p(parameter);
    return R"({"providers":{"Fixture )" + p +
           R"(":{"urlPattern":"^https?://(?:www\\.)?example\\.com","completeProvider":false,)"
           R"("rules":[")" +
           p +
           R"("],"rawRules":[],"referralMarketing":[],"exceptions":[],"redirections":[],)"
           R"("forceRedirection":false}}})";
}

std::string signRuleManifest(std::string_view manifest, const FixtureKey& key) {
    std::string message(SignedRuleFeed::kMessageHeader);
    message.append(manifest);
    return envelopeText(message, key);
}

Json ruleFileEntry(std::string_view kind, std::string_view path, std::string_view url,
                   std::string_view bytes) {
    return Json{{"kind", kind},
                {"path", path},
                {"url", url},
                {"sha256", sha256HexOf(bytes)},
                {"bytes", static_cast<std::int64_t>(bytes.size())}};
}

RuleRelease::RuleRelease(std::string version_, std::string_view host)
    : version(std::move(version_)) {
    std::string tag = version;
    for (char& c : tag) {
        c = c == '.' ? '_' : c;
    }
    clear = fixtureProvidersFile("clear_" + tag);
    supplementary = fixtureProvidersFile("supplementary_" + tag);
    const std::string base = SignedRuleFeed::rulesBase(host) + version + "/";
    manifest = Json{
        {"product", "Scourlet"},
        {"kind", "rules"},
        {"schemaVersion", 1},
        {"currentVersion", version},
        {"publishedAt", "2026-03-01T08:00:00Z"},
        {"files",
         Json::array({ruleFileEntry("clearurls", "data.min.json", base + "data.min.json", clear),
                      ruleFileEntry("scourlet-supplementary", "scourlet-supplementary.json",
                                    base + "scourlet-supplementary.json", supplementary)})},
        {"notes", Json::array()}};
}

SignedRuleFeed::Proof RuleRelease::proof(const FixtureKey& key) const {
    const std::string text = manifestText();
    return {text, signRuleManifest(text, key)};
}

SignedRuleFeed::Record RuleRelease::signedRecord(const FixtureKey& key) const {
    return {proof(key), clear, supplementary};
}

}  // namespace scourlet::testing
