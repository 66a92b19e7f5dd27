// Loads the rules a process should clean with: the best verified release in
// the signed store, else the rules shipped with the program. The application
// and the command-line tool both load through here, so they never disagree.
//
//   RulesEngine engine(defaults);
//   auto version = VerifiedRuleBundleLoader::load(engine, installedRulesRoot);
//   // version: the rules version now loaded; nothing when the shipped
//   // manifest is missing and nothing stored was usable
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

    // Takes the shipped manifest and key set from `bundle`, the floor from the
    // shipped version (the highest version there is without a shipped
    // manifest), and asks the store at `root` for its best record. When there
    // is one, its two rule files replace the engine's rules and its version is
    // returned; otherwise the engine loads its shipped rules
    // (RulesEngine::loadBundledRules) and the shipped version is returned, or
    // nothing without a shipped manifest.
    static std::optional<std::string> load(
        RulesEngine& engine, const std::optional<std::filesystem::path>& root,
        const ResourceBundle* bundle = ResourceBundle::cleanLinkResources(),
        std::string_view host = config::kMakerHost,
        std::string_view appVersion = config::kAppVersion);
};

}  // namespace scourlet
