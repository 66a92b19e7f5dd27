// InMemoryUserDefaults: a settings store that lives only as long as the object.
//
// For tests, and for scratch objects that must not touch the real settings
// (for example the engine that checks a downloaded rule bundle). It behaves
// exactly like the file-backed store within one process.
//
//   InMemoryUserDefaults defaults;
//   defaults.setBool("stats_collection_enabled", false);
//   RulesEngine engine(defaults);
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/UserDefaults.h"

namespace scourlet {

class InMemoryUserDefaults final : public UserDefaults {
public:
    InMemoryUserDefaults() = default;

    // The stored value, or nothing when the key is absent.
    std::optional<DefaultsValue> object(std::string_view key) const override;
    std::map<std::string, DefaultsValue> dictionaryRepresentation() const override;

protected:
    bool storeValue(std::string_view key, std::optional<DefaultsValue> value) override;
    bool updateValue(std::string_view key,
                     const std::shared_ptr<const DefaultsValueChange>& change) override;

private:
    mutable std::mutex mutex_;
    std::map<std::string, DefaultsValue, std::less<>> values_;
};

}  // namespace scourlet
