#include "ScourletCore/rules/DomainExceptionStore.h"

#include <algorithm>

#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"

namespace scourlet {

DomainExceptionStore::DomainExceptionStore(std::shared_ptr<UserDefaults> defaults)
    : defaults_(std::move(defaults)), snapshot_(std::make_shared<const List>()) {
    std::lock_guard guard(lock_);
    publish(readStored());
}

std::string DomainExceptionStore::normalize(std::string_view host) {
    std::string normalized = lowercased(trimmingWhitespaceAndNewlines(host));
    if (normalized.starts_with("www.")) {
        normalized.erase(0, 4);
    }
    return normalized;
}

std::optional<std::string> DomainExceptionStore::normalizedHost(std::string_view urlString) {
    const std::string_view trimmed = trimmingWhitespaceAndNewlines(urlString);
    if (!trimmed.starts_with("http://") && !trimmed.starts_with("https://")) {
        return std::nullopt;
    }
    const auto components = URLComponents::parseLenient(trimmed);
    if (!components) {
        return std::nullopt;
    }
    const auto host = components->host();
    if (!host || host->empty()) {
        return std::nullopt;
    }
    return normalize(*host);
}

bool DomainExceptionStore::isDisabled(std::string_view host) const {
    const std::string normalized = normalize(host);
    const auto list = snapshot();
    return std::any_of(list->begin(), list->end(),
                       [&](const DomainException& e) { return e.host == normalized; });
}

bool DomainExceptionStore::isDisabledURL(std::string_view urlString) const {
    const auto host = normalizedHost(urlString);
    return host && isDisabled(*host);
}

namespace {

using List = std::vector<DomainException>;

// The list that a stored value holds; empty when there is none or it does not decode.
List decodeList(const std::optional<DefaultsValue>& stored) {
    if (!stored || !stored->is_binary()) {
        return {};
    }
    const auto& bytes = stored->get_binary();
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    auto decoded = decodeJson(text, [](const Json& json) {
        return JsonValue<List>::decode(json, "disabledDomains");
    });
    return decoded ? std::move(*decoded) : List{};
}

DefaultsValue encodeList(const List& list) {
    Json array = Json::array();
    for (const auto& exception : list) {
        array.push_back(exception.toJson());
    }
    const std::string text = dumpJson(array);
    return DefaultsValue::binary(DefaultsData(text.begin(), text.end()));
}

}  // namespace

// The change is made to the list as stored at the moment of the change, in one
// step of the store, so that a change another process makes at the same time
// is kept (the store makes it again on the file's list when it writes).
template <class Change>
void DomainExceptionStore::modify(Change change) {
    std::lock_guard guard(lock_);
    defaults_->update(storageKey_, [change = std::move(change)](
                                       std::optional<DefaultsValue> stored) {
        const List list = decodeList(stored);
        List updated = change(list);
        return updated == list ? stored : std::optional<DefaultsValue>(encodeList(updated));
    });
    List current = readStored();
    if (current != *snapshot()) {
        publish(std::move(current));
    }
}

void DomainExceptionStore::disable(std::string_view host) {
    modify([normalized = normalize(host)](const List& stored) {
        List updated = stored;
        if (std::find(stored.begin(), stored.end(), DomainException{normalized}) == stored.end()) {
            updated.push_back(DomainException{normalized});
        }
        return updated;
    });
}

void DomainExceptionStore::enable(std::string_view host) {
    modify([normalized = normalize(host)](const List& stored) {
        List updated;
        std::copy_if(stored.begin(), stored.end(), std::back_inserter(updated),
                     [&](const DomainException& e) { return e.host != normalized; });
        return updated;
    });
}

std::optional<std::string> DomainExceptionStore::disableURL(std::string_view urlString) {
    auto host = normalizedHost(urlString);
    if (host) {
        disable(*host);
    }
    return host;
}

std::optional<std::string> DomainExceptionStore::enableURL(std::string_view urlString) {
    auto host = normalizedHost(urlString);
    if (host) {
        enable(*host);
    }
    return host;
}

void DomainExceptionStore::refresh() {
    std::lock_guard guard(lock_);
    publish(readStored());
}

DomainExceptionStore::List DomainExceptionStore::readStored() const {
    return decodeList(defaults_->object(storageKey_));
}

void DomainExceptionStore::publish(List list) {
    objectWillChange().emit();
    publisher_.emit(list);
    snapshot_.store(std::make_shared<const List>(std::move(list)));
}

}  // namespace scourlet
