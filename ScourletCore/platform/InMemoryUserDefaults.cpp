#include "ScourletCore/platform/InMemoryUserDefaults.h"

#include "ScourletCore/platform/internal/DefaultsValueCoding.h"

namespace scourlet {

std::optional<DefaultsValue> InMemoryUserDefaults::object(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const auto it = values_.find(key);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::map<std::string, DefaultsValue> InMemoryUserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    return {values_.begin(), values_.end()};
}

bool InMemoryUserDefaults::storeValue(std::string_view key, std::optional<DefaultsValue> value) {
    std::lock_guard lock(mutex_);
    const auto it = values_.find(key);
    if (!value) {
        if (it == values_.end()) {
            return false;
        }
        values_.erase(it);
        return true;
    }
    if (it == values_.end()) {
        values_.emplace(std::string(key), std::move(*value));
        return true;
    }
    if (internal::strictlyEqual(it->second, *value)) {
        return false;
    }
    it->second = std::move(*value);
    return true;
}

bool InMemoryUserDefaults::updateValue(std::string_view key,
                                       const std::shared_ptr<const DefaultsValueChange>& change) {
    std::lock_guard lock(mutex_);
    return applyChangeIn(values_, key, *change);
}

}  // namespace scourlet
