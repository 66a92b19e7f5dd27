#include "ScourletCore/updateawareness/UpdateAwarenessController.h"

#include <cassert>
#include <charconv>
#include <utility>

namespace scourlet {

std::optional<std::int64_t> UpdateAwarenessController::parseBuildNumber(std::string_view text) {
    // from_chars takes a "-" but no "+"; after a "+" only digits may follow.
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.starts_with('-')) {
            return std::nullopt;
        }
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::int64_t UpdateAwarenessController::parseBuild(std::string_view text) {
    return parseBuildNumber(text).value_or(0);
}

UpdateAwarenessController::UpdateAwarenessController(std::shared_ptr<RulesUpdaterInterface> rules,
                                                     std::shared_ptr<UpdateAwareness> awareness,
                                                     Environment environment)
    : awareness_(std::move(awareness)),
      rules_(std::move(rules)),
      clock_(environment.clock),
      version_(environment.version.empty() ? "0" : environment.version),
      build_(parseBuild(environment.buildText)) {
    assert(awareness_ && clock_);
    PrivacyCatalogStore store = environment.catalogStore
                                    ? std::move(*environment.catalogStore)
                                    : PrivacyCatalogStore(PrivacyCatalogStore::sharedRoot());
    catalog_ = std::make_shared<PrivacyCatalogUpdater>(
        std::move(store),
        PrivacyCatalogUpdater::Environment{environment.transport, environment.executor,
                                           environment.mainQueue, clock_, awareness_});
    desktop_ = std::make_shared<DesktopUpdateChecker>(DesktopUpdateChecker::Environment{
        environment.transport, environment.executor, environment.mainQueue, awareness_,
        std::move(environment.host)});
    reconcile();
}

void UpdateAwarenessController::reconcile() {
    awareness_->installed(UpdateClass::app, version_, build_);
    if (const auto rulesVersion = rules_ ? rules_->installedVersion() : std::nullopt) {
        awareness_->installed(UpdateClass::rules, *rulesVersion, std::nullopt);
    }
    const auto catalog = catalog_->store().current();
    awareness_->installed(UpdateClass::catalog,
                          catalog ? std::to_string(catalog->catalog().version) : "0", std::nullopt);
}

void UpdateAwarenessController::foreground() {
    reconcile();
    if (awareness_->reserve(UpdateClass::app)) {
        desktop_->check(version_, build_);
    }
    if (rules_) {
        rules_->performAutomaticUpdateIfDue(clock_->now());
    }
    if (awareness_->reserve(UpdateClass::catalog)) {
        catalog_->check();
    }
}

void UpdateAwarenessController::checkApp() {
    desktop_->check(version_, build_);
}

}  // namespace scourlet
