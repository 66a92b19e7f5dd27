// Loads the rules a process should clean with: the best verified release in
// the signed store, else the rules shipped with the program. The application
// and the command-line tool both load through here, so they never disagree.
//
//   RulesEngine engine(defaults);
//   auto loaded = VerifiedRuleBundleLoader::load(engine, installedRulesRoot);
//   // loaded.version: the rules version now loaded; nothing when the shipped
//   // manifest is missing and nothing stored was usable
//   if (loaded.refusedUpdate) warn(*loaded.refusedUpdate);
//
// Blocks while it reads and verifies; never fails. The engine is used on the
// caller's thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/platform/ResourceBundle.h"

namespace scourlet {

class RulesEngine;

class VerifiedRuleBundleLoader {
public:
    VerifiedRuleBundleLoader() = delete;

    struct Loaded {
        // The rules version now loaded; nothing when the shipped manifest is
        // missing and nothing stored was usable.
        std::optional<std::string> version;
        // The store's state file when the shipped rules were loaded although
        // it holds a rule update that is not older than them: the update does
        // not verify (a changed or cut file, a key or host it was not signed
        // for) or the file cannot be read. Nothing when no update is
        // installed, one is in use, or every stored update is older than the
        // shipped rules (a newer program retired them, as it should).
        std::optional<std::filesystem::path> refusedUpdate;
    };

    // Takes the shipped manifest and key set from `bundle`, the floor from the
    // shipped version (the highest version there is without a shipped
    // manifest), and asks the store at `root` for its best record. When there
    // is one, its two rule files replace the engine's rules and its version is
    // returned; otherwise the engine loads its shipped rules
    // (RulesEngine::loadBundledRules) and the shipped version is returned, or
    // nothing without a shipped manifest. Prints nothing: whether and how to
    // say that an update was refused is the caller's.
    static Loaded load(RulesEngine& engine, const std::optional<std::filesystem::path>& root,
                       const ResourceBundle* bundle = ResourceBundle::cleanLinkResources(),
                       std::string_view host = config::kMakerHost,
                       std::string_view appVersion = config::kAppVersion);
};

}  // namespace scourlet
