#include "ScourletCore/ruleupdates/VerifiedRuleBundleLoader.h"

#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/ruleupdates/SignedRuleStore.h"

namespace scourlet {

std::optional<std::string> VerifiedRuleBundleLoader::load(
    RulesEngine& engine, const std::optional<std::filesystem::path>& root,
    const ResourceBundle* bundle, std::string_view host, std::string_view appVersion) {
    const auto shipped = SignedRuleFeed::shippedManifest(bundle);
    const std::string floor =
        shipped ? shipped->currentVersion : std::string(SignedRuleFeed::kHighestVersion);
    const SignedRuleFeed::Store store{root, SignedRuleFeed::bundledTrust(bundle), std::string(host),
                                      std::string(appVersion)};
    // bestVerifiedRecord() has just verified these very bytes in full with the
    // same key set, so they are loaded without a second pass.
    if (auto best = store.bestVerifiedRecord(floor)) {
        engine.loadRuleBundle(best->record.clear, std::string_view(best->record.supplementary));
        return best->manifest.currentVersion;
    }
    engine.loadBundledRules();
    if (!shipped) {
        return std::nullopt;
    }
    return shipped->currentVersion;
}

}  // namespace scourlet
