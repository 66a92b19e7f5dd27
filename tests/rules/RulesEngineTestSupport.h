// Small helpers shared by the rules engine tests.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/rules/RulesEngine.h"

namespace scourlet::testing {

// An engine over a fresh in-memory store and no resource bundle.
struct EngineFixture {
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::unique_ptr<RulesEngine> engine = std::make_unique<RulesEngine>(defaults, nullptr);

    // A second engine over the same store, as after a restart.
    std::unique_ptr<RulesEngine> restarted() const {
        return std::make_unique<RulesEngine>(defaults, nullptr);
    }
};

// A providers file holding `providersBody`, the text inside "providers": {...}.
inline std::string providersFile(std::string_view providersBody) {
    std::string text = R"({"providers":{)";
    text.append(providersBody).append("}}");
    return text;
}

inline RuleCategory* categoryOf(const RulesEngine& engine, RuleCategoryType type) {
    for (const auto& category : engine.categories.get()) {
        if (category->type() == type) {
            return category.get();
        }
    }
    return nullptr;
}

inline std::vector<std::string> entryIDs(const RuleCategory& category) {
    std::vector<std::string> ids;
    for (const auto& entry : category.rules()) {
        ids.push_back(entry->id());
    }
    return ids;
}

inline std::vector<std::string> entryIDs(const RulesEngine& engine, RuleCategoryType type) {
    const RuleCategory* category = categoryOf(engine, type);
    return category ? entryIDs(*category) : std::vector<std::string>{};
}

// The first entry with `id` in the category of `type`, or nullptr.
inline RuleEntry* entryOf(const RulesEngine& engine, RuleCategoryType type, std::string_view id) {
    const RuleCategory* category = categoryOf(engine, type);
    return category ? category->entryWithID(id) : nullptr;
}

inline std::vector<std::string> providerNames(const RulesEngine& engine) {
    std::vector<std::string> names;
    for (const auto& provider : engine.compiledProviders()) {
        names.push_back(provider->name);
    }
    return names;
}

// The first compiled provider named `name`, or nullptr.
inline const RulesEngine::CompiledProvider* providerNamed(const RulesEngine& engine,
                                                          std::string_view name) {
    for (const auto& provider : engine.compiledProviders()) {
        if (provider->name == name) {
            return provider.get();
        }
    }
    return nullptr;
}

}  // namespace scourlet::testing
