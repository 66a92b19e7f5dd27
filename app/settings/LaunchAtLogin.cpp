#include "app/settings/LaunchAtLogin.h"

#include <ostream>

namespace scourlet::app {

LaunchAtLogin::LaunchAtLogin(std::shared_ptr<LoginItemService> loginItem,
                             std::shared_ptr<UserDefaults> standardDefaults, std::ostream& log)
    : loginItem_(std::move(loginItem)), defaults_(std::move(standardDefaults)), log_(log) {
    on_ = storedFlag();
}

bool LaunchAtLogin::storedFlag() const {
    return defaults_ && defaults_->boolForKey(kLaunchAtLoginKey);
}

void LaunchAtLogin::store(bool on) {
    // Written only on a change, so a refresh that finds agreement writes nothing.
    if (defaults_ && storedFlag() != on) {
        defaults_->setBool(kLaunchAtLoginKey, on);
    }
}

bool LaunchAtLogin::refresh() {
    on_ = loginItem_->isRegistered();
    failure_.reset();
    store(on_);
    return on_;
}

bool LaunchAtLogin::set(bool on) {
    store(on);
    Result<void, Error> outcome =
        on ? loginItem_->registerLoginItem() : loginItem_->unregisterLoginItem();
    if (outcome) {
        on_ = on;
        failure_.reset();
        return on_;
    }
    log_ << "Failed to set launch at login: " << outcome.error().message << std::endl;
    on_ = loginItem_->isRegistered();
    store(on_);
    failure_ = std::string(on ? "Could not turn on launch at login: "
                              : "Could not turn off launch at login: ") +
               outcome.error().message;
    return on_;
}

}  // namespace scourlet::app
