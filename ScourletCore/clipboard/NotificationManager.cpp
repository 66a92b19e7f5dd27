#include "ScourletCore/clipboard/NotificationManager.h"

#include <cassert>
#include <utility>
#include <vector>

#include "ScourletCore/clipboard/internal/RandomUUID.h"
#include "ScourletCore/config/ServiceConfiguration.h"
#include "ScourletCore/platform/Text.h"

namespace scourlet {

namespace {

bool storedSwitch(const UserDefaults& defaults, std::string_view key) {
    return !defaults.contains(key) || defaults.boolForKey(key);
}

std::string resolvedShareLinkBody(const CleanOperation& resolution) {
    const std::string host = lowercased(resolution.contactedHost.value_or(std::string()));
    if (host == config::kAmazonShortLinkHost) {
        return "Resolved direct Amazon product link";
    }
    if (host.find("threads") != std::string::npos) {
        return "Resolved direct Threads link";
    }
    return "Resolved direct Instagram link";
}

std::string removedTrackersBody(const CleanResult& result) {
    std::string body = "Removed " + std::to_string(result.paramsRemoved) +
                       (result.paramsRemoved == 1 ? " tracker" : " trackers");
    const std::vector<std::string>& names = result.removedQueryParameters;
    if (names.empty()) {
        return body;
    }
    body += ": ";
    body += names[0];
    if (names.size() >= 2) {
        body += ", ";
        body += names[1];
    }
    if (names.size() > 2) {
        body += ", +" + std::to_string(names.size() - 2) + " more";
    }
    return body;
}

}  // namespace

NotificationManager::NotificationManager(std::shared_ptr<UserDefaults> defaults,
                                         std::shared_ptr<NotificationPoster> poster,
                                         std::shared_ptr<MainQueue> mainQueue)
    : defaults_(std::move(defaults)),
      poster_(std::move(poster)),
      mainQueue_(std::move(mainQueue)),
      isEnabled_(*this, storedSwitch(*defaults_, kEnabledKey)),
      areCommandWarningsEnabled_(*this, storedSwitch(*defaults_, kCommandWarningsEnabledKey)) {
    assert(defaults_ && mainQueue_);
}

void NotificationManager::setIsEnabled(bool enabled) {
    isEnabled_.set(enabled);
    defaults_->setBool(kEnabledKey, enabled);
}

void NotificationManager::setAreCommandWarningsEnabled(bool enabled) {
    areCommandWarningsEnabled_.set(enabled);
    defaults_->setBool(kCommandWarningsEnabledKey, enabled);
}

void NotificationManager::requestPermission() {
    if (!poster_) {
        return;
    }
    std::weak_ptr<int> alive = lifetime_;
    std::shared_ptr<MainQueue> queue = mainQueue_;
    poster_->requestPermission([this, alive, queue](bool granted) {
        queue->post([this, alive, granted] {
            // The manager lives and dies on the main thread, where this runs,
            // so it cannot go away between the check and the write.
            if (alive.lock()) {
                authorized_.set(granted);
            }
        });
    });
}

void NotificationManager::sendCleanNotification(const CleanResult& result) {
    if (!isEnabled() || !canPostNotifications()) {
        return;
    }
    post(kCleanTitle, notificationBody(result));
}

void NotificationManager::sendCommandWarningNotification(const CommandRiskResult& result,
                                                         bool neutralized) {
    if (!areCommandWarningsEnabled() || !canPostNotifications()) {
        return;
    }
    post(neutralized ? kCommandNeutralizedTitle : kCommandCopiedTitle,
         commandWarningBody(result, neutralized));
}

std::string NotificationManager::notificationBody(const CleanResult& result) {
    for (const CleanOperation& operation : result.operations) {
        if (operation.kind == CleanOperationKind::networkResolution) {
            return resolvedShareLinkBody(operation);
        }
    }
    if (!result.privacyRedirect || result.paramsRemoved != 0) {
        return removedTrackersBody(result);
    }
    return "Rewritten for privacy: " + result.privacyRedirect->originalHost + " \u2192 " +
           result.privacyRedirect->frontendHost;
}

std::string NotificationManager::commandWarningBody(const CommandRiskResult& result,
                                                    bool neutralized) {
    const auto primary = result.primaryFinding();
    std::string body = primary ? primary->summary
                               : std::string("Scourlet found a risky terminal command pattern.");
    if (!neutralized) {
        return body;
    }
    // A finding's summary is a phrase without a closing stop, the fallback a
    // whole sentence: the note follows as a sentence of its own either way.
    constexpr std::string_view kNeutralizedNote = "Clipboard replaced with commented text.";
    std::string sentence(trimmingWhitespaceAndNewlines(body));
    if (sentence.empty()) {
        return std::string(kNeutralizedNote);
    }
    if (sentence.back() != '.' && sentence.back() != '!' && sentence.back() != '?') {
        sentence += '.';
    }
    return sentence + ' ' + std::string(kNeutralizedNote);
}

void NotificationManager::post(std::string_view title, std::string body) {
    poster_->post(NotificationPoster::Notification{internal::randomUUIDString(), std::string(title),
                                                   std::move(body)});
}

}  // namespace scourlet
