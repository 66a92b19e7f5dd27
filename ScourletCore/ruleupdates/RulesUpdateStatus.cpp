#include "ScourletCore/ruleupdates/RulesUpdateStatus.h"

#include <utility>

namespace scourlet {

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

std::optional<std::string> RulesUpdateStatus::displayText(const TimeFormatter& formatTime) const {
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
                   (date_ && formatTime ? formatTime(*date_) : std::string());
        case Kind::failed:
            return text_;
    }
    return std::nullopt;
}

}  // namespace scourlet
