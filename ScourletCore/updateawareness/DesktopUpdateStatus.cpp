#include "ScourletCore/updateawareness/DesktopUpdateStatus.h"

#include <utility>

namespace scourlet {

DesktopUpdateStatus DesktopUpdateStatus::available(DesktopReleaseInfo release) {
    DesktopUpdateStatus status(Kind::available);
    status.release_ = std::move(release);
    return status;
}

std::optional<std::string> DesktopUpdateStatus::displayText() const {
    switch (kind_) {
        case Kind::idle:
            return std::nullopt;
        case Kind::checking:
            return std::string(kCheckingText);
        case Kind::upToDate:
            return std::string(kUpToDateText);
        case Kind::failed:
            return std::string(kFailedText);
        case Kind::available: {
            std::string text = "Update available: Scourlet " + release_->currentVersion;
            if (release_->currentBuild) {
                text += " (Build " + std::to_string(*release_->currentBuild) + ")";
            }
            return text + ".";
        }
    }
    return std::nullopt;
}

}  // namespace scourlet
