#include "ScourletCore/ruleupdates/VerifiedRuleBundleLoader.h"

#include <system_error>
#include <vector>

#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/ruleupdates/SignedRuleStore.h"

namespace scourlet {

namespace {

// The state file of `store` when it holds an update that bestVerifiedRecord()
// passed over for any reason but its age (see Loaded::refusedUpdate). Runs
// only after nothing stored was usable, so a record whose proof verifies at or
// above the floor is one whose rule files failed the full check.
std::optional<std::filesystem::path> refusedUpdate(const SignedRuleFeed::Store& store,
                                                   std::string_view floor) {
    const auto file = store.stateFile();
    if (!file) {
        return std::nullopt;
    }
    std::error_code ec;
    if (std::filesystem::symlink_status(*file, ec).type() ==
        std::filesystem::file_type::not_found) {
        return std::nullopt;  // nothing installed
    }
    const auto state = store.loadState();
    const auto floorComponents = SignedRuleFeed::versionComponents(floor);
    if (!state || !floorComponents) {
        return file;
    }
    std::vector<const SignedRuleFeed::Record*> records{&state->active};
    if (state->previous) {
        records.push_back(&*state->previous);
    }
    for (const SignedRuleFeed::Record* record : records) {
        // The signature alone tells the version a record claims; cheap next
        // to the full check, and only run when an update was already refused.
        const auto manifest =
            SignedRuleFeed::verify(record->proof.manifest, record->proof.signature, store.trust,
                                   store.host, store.appVersion);
        if (!manifest) {
            return file;
        }
        const auto version = SignedRuleFeed::versionComponents(manifest->currentVersion);
        if (!version || SignedRuleFeed::compareComponents(*version, *floorComponents) >= 0) {
            return file;
        }
    }
    return std::nullopt;
}

}  // namespace

VerifiedRuleBundleLoader::Loaded VerifiedRuleBundleLoader::load(
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
        return {best->manifest.currentVersion, std::nullopt};
    }
    engine.loadBundledRules();
    Loaded loaded{std::nullopt, refusedUpdate(store, floor)};
    if (shipped) {
        loaded.version = shipped->currentVersion;
    }
    return loaded;
}

}  // namespace scourlet
