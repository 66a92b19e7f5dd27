// The state of the rules updater's last or running check or install, as the
// interface shows it.
//
//   status = RulesUpdateStatus::upToDate("2026.03.01.1");
//   status.displayText(formatTime);   // "Rules are up to date: 2026.03.01.1"
//   if (!status.isBusy()) startCheck();
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "ScourletCore/ruleupdates/RuleUpdateManifest.h"

namespace scourlet {

class RulesUpdateStatus {
public:
    enum class Kind {
        idle,              // nothing running, nothing to report
        checkingManifest,  // fetching and verifying the manifest
        downloading,       // downloading the rule files
        validating,        // checking the downloaded files
        installing,        // installing the validated files
        updateAvailable,   // manifest(): a verified manifest newer than the rules in use
        upToDate,          // text(): the installed rules version
        installed,         // text(): the rules version; date(): when installed
        failed,            // text(): the message to show
    };

    // Writes an install time as the interface shows it: the short date and
    // the short time of the user's locale, in the local time zone. The
    // interface supplies it; the core knows no locale.
    using TimeFormatter = std::function<std::string(std::chrono::system_clock::time_point)>;

    RulesUpdateStatus() = default;  // idle

    static RulesUpdateStatus idle() { return RulesUpdateStatus(Kind::idle); }
    static RulesUpdateStatus checkingManifest() { return RulesUpdateStatus(Kind::checkingManifest); }
    static RulesUpdateStatus downloading() { return RulesUpdateStatus(Kind::downloading); }
    static RulesUpdateStatus validating() { return RulesUpdateStatus(Kind::validating); }
    static RulesUpdateStatus installing() { return RulesUpdateStatus(Kind::installing); }
    static RulesUpdateStatus updateAvailable(RuleUpdateManifest manifest);
    static RulesUpdateStatus upToDate(std::string version);
    static RulesUpdateStatus installed(std::string version,
                                       std::chrono::system_clock::time_point date);
    static RulesUpdateStatus failed(std::string message);
    // installed("latest", date).
    static RulesUpdateStatus success(std::chrono::system_clock::time_point date);

    Kind kind() const { return kind_; }
    // The manifest of updateAvailable; nothing for every other kind.
    const std::optional<RuleUpdateManifest>& manifest() const { return manifest_; }
    // The version of upToDate and installed, the message of failed; empty
    // otherwise.
    const std::string& text() const { return text_; }
    // The install time of installed; nothing otherwise.
    const std::optional<std::chrono::system_clock::time_point>& date() const { return date_; }

    // True while a check or an install runs (checkingManifest, downloading,
    // validating, installing); the updater starts nothing new then.
    bool isBusy() const;

    // The status line: nothing for idle; "Checking…", "Downloading…",
    // "Validating…", "Installing…" (ending in U+2026); "Rules update available:
    // <manifest version>"; "Rules are up to date: <version>"; "Installed rules
    // <version> at <date>" with the date as `formatTime` writes it; the
    // message of failed as it is.
    std::optional<std::string> displayText(const TimeFormatter& formatTime) const;

    // Same kind and equal payloads.
    bool operator==(const RulesUpdateStatus&) const = default;

private:
    explicit RulesUpdateStatus(Kind kind) : kind_(kind) {}

    Kind kind_ = Kind::idle;
    std::optional<RuleUpdateManifest> manifest_;
    std::string text_;
    std::optional<std::chrono::system_clock::time_point> date_;
};

}  // namespace scourlet
