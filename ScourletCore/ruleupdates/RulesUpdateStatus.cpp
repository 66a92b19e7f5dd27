#include "ScourletCore/ruleupdates/RulesUpdateStatus.h"

#include <ctime>
#include <utility>

namespace scourlet {

namespace {

// The locale's short date followed by the hour and minute, in local time.
std::string shortDateAndTime(std::chrono::system_clock::time_point date) {
    const std::time_t whole = std::chrono::system_clock::to_time_t(date);
    std::tm parts{};
    if (localtime_r(&whole, &parts) == nullptr) {
        return {};
    }
    char text[128];
    const std::size_t length = std::strftime(text, sizeof text, "%x %H:%M", &parts);
    return std::string(text, length);
}

}  // namespace

RulesUpdateStatus RulesUpdateStatus::updateAvailable(RuleUpdateManifest manifest) {
    RulesUpdateStatus status(Kind::updateAvailable);
    status.manifest_ = std::move(manifest);
    return status;
}

RulesUpdateStatus RulesUpdateStatus::upToDate(std::string version) {
    RulesUpdateStatus status(Kind::upToDate);
    status.text_ = std::move(version);
    return status;
}

RulesUpdateStatus RulesUpdateStatus::installed(std::string version,
                                               std::chrono::system_clock::time_point date) {
    RulesUpdateStatus status(Kind::installed);
    status.text_ = std::move(version);
    status.date_ = date;
    return status;
}

RulesUpdateStatus RulesUpdateStatus::failed(std::string message) {
    RulesUpdateStatus status(Kind::failed);
    status.text_ = std::move(message);
    return status;
}

RulesUpdateStatus RulesUpdateStatus::success(std::chrono::system_clock::time_point date) {
    return installed("latest", date);
}

bool RulesUpdateStatus::isBusy() const {
    switch (kind_) {
        case Kind::checkingManifest:
        case Kind::downloading:
        case Kind::validating:
        case Kind::installing:
            return true;
        case Kind::idle:
        case Kind::updateAvailable:
        case Kind::upToDate:
        case Kind::installed:
        case Kind::failed:
            return false;
    }
    return false;
}

std::optional<std::string> RulesUpdateStatus::displayText() const {
    switch (kind_) {
        case Kind::idle:
            return std::nullopt;
        case Kind::checkingManifest:
            return "Checking\u2026";
        case Kind::downloading:
            return "Downloading\u2026";
        case Kind::validating:
            return "Validating\u2026";
        case Kind::installing:
            return "Installing\u2026";
        case Kind::updateAvailable:
            return "Rules update available: " + (manifest_ ? manifest_->currentVersion : "");
        case Kind::upToDate:
            return "Rules are up to date: " + text_;
        case Kind::installed:
            return "Installed rules " + text_ + " at " +
                   (date_ ? shortDateAndTime(*date_) : std::string());
        case Kind::failed:
            return text_;
    }
    return std::nullopt;
}

}  // namespace scourlet
