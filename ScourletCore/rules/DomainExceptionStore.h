// DomainExceptionStore: the sites for which cleaning is switched off.
//
// The list lives under "domainExceptions_disabledDomains" as JSON data and is
// published to the interface. Hosts are normalized (trimmed, lower-cased, one
// leading "www." dropped) for what is stored and for what is compared; an
// exception covers exactly one host and its "www." form, never subdomains.
//
//   DomainExceptionStore store(defaults);
//   store.disableURL("https://www.shop.example/cart");  // stores "shop.example"
//   store.isDisabledURL("https://shop.example/x");      // true
//   store.isDisabled("WWW.Shop.Example");               // true
//
// Thread-safe: writers serialize on a lock across change and publish, and each
// change is one update() of the store, so it also keeps what another process
// sharing the settings file changed meanwhile; readers see an immutable
// snapshot, so they never race a writer.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "ScourletCore/rules/DomainException.h"

namespace scourlet {

class DomainExceptionStore : public ObservableObject {
public:
    static constexpr std::string_view kStorageKey = "domainExceptions_disabledDomains";

    explicit DomainExceptionStore(std::shared_ptr<UserDefaults> defaults);

    // The excepted hosts in the order they were added.
    std::vector<DomainException> disabledDomains() const { return *snapshot(); }
    // Emits the new list before it becomes visible to readers.
    Signal<std::vector<DomainException>>& disabledDomainsPublisher() const { return publisher_; }

    static std::string normalize(std::string_view host);
    // The normalized host of an "http://" or "https://" link (prefix case-sensitive);
    // nothing for other schemes, unparsable links and links without a host.
    static std::optional<std::string> normalizedHost(std::string_view urlString);

    // True when no host is excepted.
    bool isEmpty() const { return snapshot()->empty(); }
    bool isDisabled(std::string_view host) const;
    bool isDisabledURL(std::string_view urlString) const;

    void disable(std::string_view host);
    // Excepts the link's host and returns it; nothing (and no change) without a host.
    std::optional<std::string> disableURL(std::string_view urlString);
    void enable(std::string_view host);
    std::optional<std::string> enableURL(std::string_view urlString);

    // Re-reads the stored list (another process may have changed it) and publishes it.
    void refresh();

    const std::string& storageKey() const { return storageKey_; }

private:
    using List = std::vector<DomainException>;

    std::shared_ptr<const List> snapshot() const { return snapshot_.load(); }
    List readStored() const;
    void publish(List list);
    template <class Change>
    void modify(Change change);

    std::shared_ptr<UserDefaults> defaults_;
    const std::string storageKey_{kStorageKey};
    std::mutex lock_;
    std::atomic<std::shared_ptr<const List>> snapshot_;
    mutable Signal<List> publisher_;
};

}  // namespace scourlet
