#include "ScourletCore/ruleupdates/SignedRuleStore.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "ScourletCore/platform/AtomicFileWrite.h"
#include "ScourletCore/platform/BoundedFileRead.h"
#include "ScourletCore/platform/Crypto.h"
#include "ScourletCore/platform/ExclusiveFileLock.h"

namespace scourlet {

namespace {

using Record = SignedRuleFeed::Record;
using State = SignedRuleFeed::State;

std::string bytesMember(const JsonObjectReader& o, std::string_view key) {
    auto bytes = base64Decode(o.required<std::string>(key));
    if (!bytes) {
        throwDecoding(key, "not base64");
    }
    return std::move(*bytes);
}

Record decodeRecord(const Json& json) {
    const JsonObjectReader o(json, "record");
    const Json* proofJson = o.find("proof");
    if (proofJson == nullptr || proofJson->is_null()) {
        throwDecoding("proof", "required key is missing");
    }
    const JsonObjectReader proof(*proofJson, "proof");
    Record record;
    record.proof.manifest = bytesMember(proof, "manifest");
    record.proof.signature = bytesMember(proof, "signature");
    record.clear = bytesMember(o, "clear");
    record.supplementary = bytesMember(o, "supplementary");
    return record;
}

Json encodeRecord(const Record& record) {
    Json json = Json::object();
    json["proof"] = Json{{"manifest", base64Encode(record.proof.manifest)},
                         {"signature", base64Encode(record.proof.signature)}};
    json["clear"] = base64Encode(record.clear);
    json["supplementary"] = base64Encode(record.supplementary);
    return json;
}

// The components of a feed version.
using Components = std::vector<std::uint64_t>;

// The records `state` holds, `active` first.
std::vector<const Record*> storedRecords(const State& state) {
    std::vector<const Record*> stored{&state.active};
    if (state.previous) {
        stored.push_back(&*state.previous);
    }
    return stored;
}

// The record of `state` to use with the version floor `floor` (see
// Store::bestRecord).
std::optional<SignedRuleFeed::Store::VerifiedRecord> bestOf(const SignedRuleFeed::Store& store,
                                                            const State& state,
                                                            const Components& floor) {
    // The signatures are checked first, which is cheap and tells the version
    // each candidate claims; the full check (digests and a trial compile of
    // the rules) then runs from the highest claim down and stops at the first
    // that passes. That is the same choice as checking every candidate in
    // full, with one compile instead of two in the usual case.
    struct Candidate {
        const Record* record;
        Components version;
    };
    std::vector<Candidate> candidates;
    for (const Record* record : storedRecords(state)) {
        const auto manifest = SignedRuleFeed::verify(record->proof.manifest, record->proof.signature,
                                                     store.trust, store.host, store.appVersion);
        if (!manifest) {
            continue;
        }
        auto version = SignedRuleFeed::versionComponents(manifest->currentVersion);
        if (!version || SignedRuleFeed::compareComponents(*version, floor) < 0) {
            continue;
        }
        candidates.push_back({record, std::move(*version)});
    }
    // Stable: on equal versions `active` stays first.
    std::stable_sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
        return SignedRuleFeed::compareComponents(a.version, b.version) > 0;
    });
    for (const Candidate& candidate : candidates) {
        if (auto manifest =
                SignedRuleFeed::verify(*candidate.record, store.trust, store.host, store.appVersion)) {
            return SignedRuleFeed::Store::VerifiedRecord{*candidate.record,
                                                         std::move(manifest).value()};
        }
    }
    return std::nullopt;
}

}  // namespace

Result<State, DecodingError> State::decode(std::string_view bytes) {
    return decodeJson(bytes, [](const Json& json) {
        const JsonObjectReader o(json, "state");
        const Json* active = o.find("active");
        if (active == nullptr || active->is_null()) {
            throwDecoding("active", "required key is missing");
        }
        State state;
        state.active = decodeRecord(*active);
        if (const Json* previous = o.find("previous");
            previous != nullptr && !previous->is_null()) {
            state.previous = decodeRecord(*previous);
        }
        return state;
    });
}

std::string State::encoded() const {
    Json json = Json::object();
    json["active"] = encodeRecord(active);
    if (previous) {
        json["previous"] = encodeRecord(*previous);
    }
    return dumpJson(json);
}

std::optional<std::filesystem::path> SignedRuleFeed::Store::stateFile() const {
    if (!root) {
        return std::nullopt;
    }
    return *root / kStateFileName;
}

std::optional<std::filesystem::path> SignedRuleFeed::Store::lockFile() const {
    if (!root) {
        return std::nullopt;
    }
    return *root / kLockFileName;
}

std::optional<State> SignedRuleFeed::Store::loadState() const {
    const auto file = stateFile();
    if (!file) {
        return std::nullopt;
    }
    const auto bytes = readFileAtMost(*file, kMaxStateBytes, SymlinkPolicy::refuse);
    if (!bytes) {
        return std::nullopt;
    }
    auto state = State::decode(*bytes);
    if (!state) {
        return std::nullopt;
    }
    return std::move(state).value();
}

std::optional<Record> SignedRuleFeed::Store::bestRecord(std::string_view minimumVersion) const {
    auto best = bestVerifiedRecord(minimumVersion);
    if (!best) {
        return std::nullopt;
    }
    return std::move(best->record);
}

std::optional<SignedRuleFeed::Store::VerifiedRecord> SignedRuleFeed::Store::bestVerifiedRecord(
    std::string_view minimumVersion) const {
    const auto floor = versionComponents(minimumVersion);
    if (!floor) {
        return std::nullopt;
    }
    const auto state = loadState();
    if (!state) {
        return std::nullopt;
    }
    return bestOf(*this, *state, *floor);
}

Result<void, RuleUpdateError> SignedRuleFeed::Store::install(
    const Record& record, std::string_view minimumVersion) const {
    if (!root) {
        return RuleUpdateError::fileSystem("there is no folder for installed rules");
    }
    std::error_code ec;
    std::filesystem::create_directories(*root, ec);
    if (ec) {
        return RuleUpdateError::fileSystem("could not create " + root->string() + ": " +
                                           ec.message());
    }
    const auto lock = ExclusiveFileLock::acquire(*lockFile());
    if (!lock) {
        return rejection();
    }
    // Everything below runs under the lock, so a concurrent install is seen
    // as stored and cannot be rolled back or overwritten.
    auto manifest = verify(record, trust, host, appVersion);
    if (!manifest) {
        return manifest.error();
    }
    const auto version = versionComponents(manifest->currentVersion);
    const auto floor = versionComponents(minimumVersion);
    if (!version || !floor || compareComponents(*version, *floor) < 0) {
        return rejection();
    }
    const auto state = loadState();
    std::optional<Record> inUse;
    if (state) {
        for (const Record* old : storedRecords(*state)) {
            const auto oldManifest =
                verify(old->proof.manifest, old->proof.signature, trust, host, appVersion);
            if (!oldManifest) {
                continue;
            }
            const auto oldVersion = versionComponents(oldManifest->currentVersion);
            if (!oldVersion || compareComponents(*version, *oldVersion) < 0) {
                return rejection();
            }
            if (oldManifest->currentVersion == manifest->currentVersion &&
                old->proof.manifest != record.proof.manifest) {
                return rejection();
            }
        }
        if (auto best = bestOf(*this, *state, *floor)) {
            inUse = std::move(best->record);
        }
    }
    if (inUse && inUse->proof.manifest == record.proof.manifest) {
        return {};
    }
    const State next{record, std::move(inUse)};
    const std::string encoded = next.encoded();
    if (encoded.size() > kMaxStateBytes) {
        return rejection();
    }
    if (auto written = writeFileAtomically(*stateFile(), encoded); !written) {
        return RuleUpdateError::fileSystem(written.error().message);
    }
    return {};
}

}  // namespace scourlet
