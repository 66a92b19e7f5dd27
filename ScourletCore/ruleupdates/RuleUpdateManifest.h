// The manifest of one rules release: a small JSON document that the maker's
// host serves per update channel, naming the release's version and its rule
// files with their URLs, SHA-256 digests and sizes.
//
// decode() reads the format strictly (every required key present and of its
// type, dates as RFC 3339 with whole seconds, file kinds and URLs checked);
// validate() then runs the structural checks every downloaded manifest must
// pass. The signed feed adds its own stricter checks on top.
//
//   auto manifest = RuleUpdateManifest::decode(bytes);
//   if (!manifest) return;                              // the decoder's error
//   if (auto valid = manifest->validate(1); !valid) show(valid.error().errorDescription());
//   if (auto file = manifest->clearURLsFile()) download(file->url);
//
// Plain values; usable from any thread.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/RawValueEnum.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/ruleupdates/RuleUpdateError.h"

namespace scourlet {

struct RuleUpdateManifest {
    // Dates are whole seconds; equality compares instants.
    using Date = std::chrono::sys_seconds;

    // Where the rules of the release come from (shown to the user only).
    struct SourceSummary {
        struct ClearURLs {
            std::optional<std::string> source;          // "source"
            std::optional<std::string> upstreamCommit;  // "upstreamCommit"
            std::optional<Date> reviewedAt;             // "reviewedAt"
            bool operator==(const ClearURLs&) const = default;
        };
        struct ScourletSupplementary {
            std::optional<std::string> version;  // "version"
            bool operator==(const ScourletSupplementary&) const = default;
        };

        std::optional<ClearURLs> clearurls;                          // "clearurls"
        std::optional<ScourletSupplementary> scourletSupplementary;  // "scourletSupplementary"
        bool operator==(const SourceSummary&) const = default;
    };

    // One rule file of the release.
    struct File {
        enum class Kind {
            clearurls,              // "clearurls": the ClearURLs-format providers file
            scourletSupplementary,  // "scourlet-supplementary": the supplementary rules
            commandGuard,           // "command-guard": the Command Guard rules
        };

        Kind kind = Kind::clearurls;
        std::string path;                   // file name the file is stored under
        std::string url;                    // the URL text as written (a valid URL reference)
        std::string sha256;                 // hexadecimal SHA-256 of the file
        std::optional<std::int64_t> bytes;  // size of the file in bytes
        bool operator==(const File&) const = default;
    };

    std::string product;  // must be "Scourlet"
    std::string kind;     // must be "rules"
    std::int64_t schemaVersion = 0;
    std::string currentVersion;  // the rules version
    Date publishedAt{};
    std::optional<std::string> minAppVersion;  // the oldest application that may use it
    std::optional<SourceSummary> sourceSummary;
    std::vector<File> files;         // in the order given
    std::vector<std::string> notes;  // may be empty, never absent

    bool operator==(const RuleUpdateManifest&) const = default;

    // The manifest in `bytes`, or the decoder's error: a required key missing
    // or null, a value of the wrong JSON type, an unknown file kind, a URL text
    // that is not a URL, or a date that is not "yyyy-MM-ddTHH:mm:ss" with "Z" or
    // "+HH:MM"/"-HH:MM" (a fraction of a second fails). Unknown keys are
    // ignored; optional keys that are absent or null read as nothing.
    static Result<RuleUpdateManifest, DecodingError> decode(std::string_view bytes);

    // Throws DecodingException (see decode()).
    static RuleUpdateManifest fromJson(const Json& json);

    // The manifest as JSON with the same keys; optional fields that hold
    // nothing are left out and dates are written in UTC ("...Z").
    Json toJson() const;
    std::string encoded() const;

    // The first file of each kind, in list order; nothing when none has it.
    std::optional<File> clearURLsFile() const;
    std::optional<File> supplementaryFile() const;
    std::optional<File> commandGuardFile() const;

    // The structural checks, in this order, the first failure giving
    // RuleUpdateError::invalidManifest with its text:
    //   product "Scourlet" ("Unexpected product"); kind "rules" ("Unexpected
    //   manifest kind"); schemaVersion <= supported ("Unsupported rules
    //   schema"); a version that is not blank ("Missing rules version"); a
    //   ClearURLs file ("Missing ClearURLs rule file") and a supplementary file
    //   ("Missing Scourlet supplementary rule file"); then every file in order:
    //   scheme exactly "https" ("Rule file URLs must use HTTPS"), 64 hex digits
    //   of either case ("Invalid SHA-256 for <path>"), no "/" and no ".." in the
    //   path ("Invalid rule file path").
    // Sizes, dates, notes and repeated kinds are not looked at.
    Result<void, RuleUpdateError> validate(std::int64_t supportedSchemaVersion) const;
};

template <>
struct RawValueTable<RuleUpdateManifest::File::Kind> {
    static constexpr std::string_view name = "rule file kind";
    static constexpr auto cases = std::to_array<RawValueCase<RuleUpdateManifest::File::Kind>>({
        {RuleUpdateManifest::File::Kind::clearurls, "clearurls"},
        {RuleUpdateManifest::File::Kind::scourletSupplementary, "scourlet-supplementary"},
        {RuleUpdateManifest::File::Kind::commandGuard, "command-guard"},
    });
};

}  // namespace scourlet
