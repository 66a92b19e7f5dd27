// MissedTrackerReport: what a user sends the maker when a cleaned link still
// carries tracking, and every text made from it: the e-mail subject, the
// plain-text body with a machine-readable JSON appendix, the share text and a
// mailto link with its length test. Nothing is sent from here; callers show
// the body for review and let the user e-mail, share or copy it.
//
//   MissedTrackerReport report = MissedTrackerReportBuilder::build(result,
//       MissedTrackerReport::currentPlatform(), osVersion, appVersion, std::nullopt,
//       MissedTrackerReport::Surface::clipboard, note, std::nullopt, std::nullopt, now);
//   preview(report.bodyText());
//   if (report.mailtoIsSafeLength()) openURL(*report.mailtoURL());
//
// The derived texts are computed on every call and depend only on the fields,
// so the same report always gives the same texts.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/RawValueEnum.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/rules/RuleCategoryType.h"

// GNU dialects of C++ predefine `linux` as 1, which would turn the enumerator
// below into a syntax error. The build uses ISO C++, where it is not defined;
// this keeps the header usable from a target that switches dialects.
#ifdef linux
#undef linux
#endif

namespace scourlet {

struct MissedTrackerReport {
    // The system a report comes from. The raw value is also the display text.
    enum class Platform {
        macOS,
        iOS,
        windows,
        linux,
    };

    // Where the reported link was cleaned. The raw value is also the display text.
    enum class Surface {
        clipboard,
        manualClean,
        shareExtension,
        safariExtension,
        // Firefox and the Chromium family, through the native-messaging host.
        browserExtension,
    };

    // Fixed texts of the review step, shared by every surface that offers a report.
    struct SharedCopy {
        static constexpr std::string_view reviewTitle = "Review Report";
        static constexpr std::string_view reviewHelperText =
            "Nothing is sent automatically. Review and choose how to share it.";
        static constexpr std::string_view notePrompt = "What should Scourlet have removed?";
        static constexpr std::string_view emptyStateMessage =
            "Clean a link first, then report anything we missed.";
        static constexpr std::string_view reportActionLabel = "Report Missed Tracker";
        static constexpr std::string_view emailButtonLabel = "Email Report";
        static constexpr std::string_view shareButtonLabel = "Share Report";
        static constexpr std::string_view copyButtonLabel = "Copy Report";
        static constexpr std::string_view cancelButtonLabel = "Cancel";
    };

    using TimePoint = std::chrono::system_clock::time_point;

    // The "schemaVersion" of the JSON appendix.
    static constexpr std::int64_t schemaVersion = 1;
    // Longest mailto link, in characters, that callers offer to open.
    static constexpr std::size_t mailtoLengthLimit = 8192;
    // The mailbox reports are addressed to (config::kMissedTrackerReportAddress).
    static std::string_view recipientEmail();

    // The platform this program was built for: linux on Linux, macOS on macOS,
    // windows on Windows.
    static Platform currentPlatform();

    // Where the browser extension's reports come from on the platform this
    // program was built for: safariExtension on macOS, browserExtension
    // elsewhere.
    static Surface extensionSurface();

    Platform platform = Platform::linux;
    std::string osVersion{};
    std::string appVersion{};
    std::optional<std::string> appBuild{};
    Surface surface = Surface::clipboard;
    std::string originalURL{};
    std::string cleanedURL{};
    std::optional<std::string> host{};
    bool wasModified = false;
    std::int64_t paramsRemoved = 0;
    std::vector<RuleCategoryType> matchedCategories{};  // sorted by raw value
    std::vector<std::string> matchedRuleIDs{};
    std::optional<std::int64_t> rulesProviderCount{};
    std::optional<TimePoint> rulesLastUpdate{};
    std::string userNote{};  // at most 500 characters when built by the builder
    TimePoint createdAt{};

    bool operator==(const MissedTrackerReport&) const = default;

    // "[Missed Tracker] <host> - <platform> - v<appVersion>", the host cut to
    // its first 50 characters; "Unknown Host" when there is no host.
    std::string subject() const;

    // The plain-text report: labelled lines for the note, both links, platform,
    // version, surface, counts, matches, rules summary and creation time, then
    // the JSON appendix. Lines are joined by line feeds; none at the end.
    std::string bodyText() const;

    // The JSON appendix as a fenced block ("```json", the pretty-printed JSON
    // with sorted keys, "```"). "{}" without the fence when a text field is
    // not valid UTF-8 and the JSON cannot be written.
    std::string jsonAppendix() const;

    // The text handed to a share sheet or the clipboard: the body.
    std::string shareText() const { return bodyText(); }

    // "mailto:" the report address, with the subject and body as the query
    // items "subject" and "body", percent-encoded. Nothing when the pieces do
    // not form a URL.
    std::optional<std::string> mailtoURL() const;

    // True when mailtoURL() exists and has at most mailtoLengthLimit characters.
    bool mailtoIsSafeLength() const;

    // The record as a JSON object with the field names as keys: enumerations as
    // raw values, dates as ISO 8601 UTC texts (with the fraction of a second
    // when there is one); absent optional fields are left out.
    Json toJson() const;
    std::string encoded() const;

    // Throws DecodingException when a required field is missing, null or
    // mistyped, when a platform, surface or category is not a known raw value,
    // or when a date is not an ISO 8601 UTC text.
    static MissedTrackerReport fromJson(const Json& json);
    // The same from JSON text; fails with a DecodingError instead of throwing.
    static Result<MissedTrackerReport, DecodingError> decode(std::string_view text);
};

template <>
struct RawValueTable<MissedTrackerReport::Platform> {
    static constexpr std::string_view name = "platform";
    static constexpr auto cases = std::to_array<RawValueCase<MissedTrackerReport::Platform>>({
        {MissedTrackerReport::Platform::macOS, "macOS"},
        {MissedTrackerReport::Platform::iOS, "iOS"},
        {MissedTrackerReport::Platform::windows, "Windows"},
        {MissedTrackerReport::Platform::linux, "Linux"},
    });
};

template <>
struct RawValueTable<MissedTrackerReport::Surface> {
    static constexpr std::string_view name = "surface";
    static constexpr auto cases = std::to_array<RawValueCase<MissedTrackerReport::Surface>>({
        {MissedTrackerReport::Surface::clipboard, "Clipboard"},
        {MissedTrackerReport::Surface::manualClean, "Manual Clean"},
        {MissedTrackerReport::Surface::shareExtension, "Share Extension"},
        {MissedTrackerReport::Surface::safariExtension, "Safari Extension"},
        {MissedTrackerReport::Surface::browserExtension, "Browser Extension"},
    });
};

}  // namespace scourlet
