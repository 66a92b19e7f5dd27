// The on-disk store of verified rule releases under the installed-rules root:
// one state file, "signed-rules-v1.json", with the active record (the rules in
// use) and at most one previous record (the rollback copy), and the lock file
// "signed-install.lock" that serializes installs across threads and processes.
//
// Nothing read from disk is trusted: every load verifies the stored records
// again in full (signature, sizes, SHA-256, a trial compile) and takes the
// newest that still verifies and is not older than the shipped rules. An
// install goes forward only: never below the floor, never below a stored
// record whose proof still verifies, and one version never with two different
// manifests.
//
//   SignedRuleFeed::Store store{root, SignedRuleFeed::bundledTrust()};
//   const std::string floor = SignedRuleFeed::minimumVersion();
//   if (auto r = store.install(record, floor); !r) show(r.error().errorDescription());
//   auto inUse = store.bestRecord(floor);   // nothing: use the shipped rules
//
// Each operation blocks on file access; install() also waits, without a time
// limit, for another install to finish. Run them off the main thread. The
// store keeps nothing in memory between calls; readers take no lock, since the
// state file is only ever replaced whole.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/ruleupdates/RuleUpdateError.h"
#include "ScourletCore/ruleupdates/SignedRuleFeed.h"

namespace scourlet {

// What the state file holds. In JSON: {"active":record,"previous":record}
// ("previous" left out when absent; missing or null reads as absent), a record
// being {"proof":{"manifest":..,"signature":..},"clear":..,"supplementary":..}
// with every byte string in standard padded base64.
struct SignedRuleFeed::State {
    Record active;
    std::optional<Record> previous;

    bool operator==(const State&) const = default;

    // The state in `bytes`; the decoder's error when a member is missing, of
    // the wrong type or not exact base64.
    static Result<State, DecodingError> decode(std::string_view bytes);
    std::string encoded() const;
};

struct SignedRuleFeed::Store {
    static constexpr std::string_view kStateFileName = "signed-rules-v1.json";
    static constexpr std::string_view kLockFileName = "signed-install.lock";
    static constexpr std::size_t kMaxStateBytes = 25165824;  // 24 MiB, read and written

    // The installed-rules root; nothing when the user has no data folder (then
    // nothing is stored and install() fails with a file-system error).
    std::optional<std::filesystem::path> root;
    // The key set every verification uses (SignedRuleFeed::bundledTrust()).
    std::string trust;
    // What the stored manifests are checked against (tests use their own).
    std::string host{config::kMakerHost};
    std::string appVersion{config::kAppVersion};

    // The state file when it is a regular file (no link) of at most 24 MiB that
    // decodes; nothing otherwise. Never fails loudly.
    std::optional<State> loadState() const;

    // The record to use: of `active` and `previous`, those that verify in full
    // and whose version is at least `minimumVersion` (a feed version), the one
    // with the highest version, `active` on a tie. Nothing when none is left.
    std::optional<Record> bestRecord(std::string_view minimumVersion) const;

    // The same with its verified manifest.
    struct VerifiedRecord {
        Record record;
        RuleUpdateManifest manifest;
    };
    std::optional<VerifiedRecord> bestVerifiedRecord(std::string_view minimumVersion) const;

    // Installs `record` under the lock: it must verify in full (else that
    // error), be at least `minimumVersion`, not be older than any stored
    // record whose proof verifies, and have the same manifest bytes as a
    // stored record of the same version (each of these else the feed
    // rejection). When the record in use already has these manifest bytes
    // nothing is written; otherwise the state becomes {active: record,
    // previous: the record in use before}, written atomically. A root that
    // cannot be made or a state that cannot be written fails with
    // RuleUpdateError::fileSystem; a lock that cannot be taken or a state above
    // 24 MiB is the feed rejection. A failed install leaves the file as it was.
    Result<void, RuleUpdateError> install(const Record& record,
                                          std::string_view minimumVersion) const;

    std::optional<std::filesystem::path> stateFile() const;
    std::optional<std::filesystem::path> lockFile() const;
};

}  // namespace scourlet
