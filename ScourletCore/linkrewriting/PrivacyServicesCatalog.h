// The signed privacy-services catalog: the list of front-ends that X/Twitter
// links may be rewritten to, and the one routine through which every copy of
// it must pass (the copy shipped in the resource bundle, the installed copy
// and every download).
//
// A catalog is accepted only when its keyset, its Ed25519 signature envelope
// and every field pass their checks, when both files are byte for byte their
// own canonical JSON form (compact, keys sorted, "/" unescaped), and when it
// does not roll back the catalog accepted before it. The result, a Verified,
// then answers which services may be offered now (`choices`), whether one
// service is eligible, and whether the catalog is fresh.
//
//   auto verified = PrivacyServicesCatalog::verify(payload, envelope, keysetText, previous);
//   if (!verified) return;   // CatalogError: rejected (no detail) or decoding
//   for (const auto& service : verified->choices(nowSeconds)) offer(service.id);
//
// Records are plain values; a Verified is immutable and cheap to copy (its
// state is shared). Everything here may run on any thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/linkrewriting/CatalogError.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/ResourceBundle.h"
#include "ScourletCore/platform/Result.h"

namespace scourlet {

struct PrivacyServicesCatalog {
    // One front-end the catalog lists. The three optional fields are written
    // only when present.
    struct Service {
        std::optional<std::string> displayName;  // name shown to the user
        std::optional<std::string> family;       // "nitter", "bird-makeup" or "other"
        std::optional<std::string> history;      // free text, may be empty
        std::string destination;                 // base URL of the front-end
        std::string id;                          // a-z, 0-9 and "-", 1 to 64 characters
        std::string operatorURL;                 // https URL of the operator
        std::string reason;                      // why the entry is listed
        std::uint64_t reviewed = 0;              // last review, seconds since 1970 UTC
        std::vector<std::string> shapes;         // "profile", "status"
        std::vector<std::string> sourceHosts;    // the X/Twitter hosts it serves
        std::string sourceURL;                   // https URL the entry is based on
        std::string state;                       // "active", "paused" or "retired"

        bool operator==(const Service&) const = default;

        // Throws DecodingException when a required key is missing or any key
        // has the wrong type; unknown keys are ignored.
        static Service fromJson(const Json& json);
    };

    // The signature record of a signed file: which key signed it and the
    // 64-byte Ed25519 signature in standard padded base64.
    struct Envelope {
        std::string algorithm;  // only "Ed25519" is accepted
        std::string keyID;
        std::string signature;

        bool operator==(const Envelope&) const = default;

        // Throws DecodingException when a key is missing or not a string.
        static Envelope fromJson(const Json& json);
        // The envelope in `bytes`, or the decoder's error.
        static Result<Envelope, DecodingError> decode(std::string_view bytes);
    };

    using Rejected = CatalogRejected;

    // Key ID to the key's base64 text (the bytes are decoded again on use).
    using Keyset = std::map<std::string, std::string, std::less<>>;

    class Verified;

    // --- Fields (JSON keys are the field names, all required) ----------------
    bool automaticFailover = false;  // must be false in an accepted catalog
    std::uint64_t generated = 0;     // production time, seconds since 1970 UTC
    std::string kind;                // "privacy-services"
    std::string product;             // "Scourlet"
    std::uint64_t schema = 0;        // 1 or 2
    std::vector<Service> services;   // 1 to 32
    std::uint64_t version = 0;       // 1 to 2^53 - 1

    bool operator==(const PrivacyServicesCatalog&) const = default;

    // --- Limits ---------------------------------------------------------------
    static constexpr std::size_t kMaxPayloadBytes = 32768;
    static constexpr std::size_t kMaxEnvelopeBytes = 2048;
    static constexpr std::size_t kMaxKeysetBytes = 4096;
    static constexpr std::size_t kMaxKeysetEntries = 16;
    static constexpr std::size_t kMaxServices = 32;
    static constexpr std::uint64_t kMaxVersion = 9007199254740991;   // 2^53 - 1
    static constexpr std::uint64_t kEarliestGenerated = 1789689600;  // 2026-09-18 00:00 UTC
    static constexpr std::uint64_t kLatestGenerated = 4102444800;    // 2100-01-01 00:00 UTC
    static constexpr std::uint64_t kReviewWindow = 7776000;          // 90 days

    // Throws DecodingException (see Service::fromJson).
    static PrivacyServicesCatalog fromJson(const Json& json);
    // The catalog in `bytes`, or the decoder's error.
    static Result<PrivacyServicesCatalog, DecodingError> decode(std::string_view bytes);

    // The canonical JSON form. Never fails; strings are written as they are
    // (decoded records always hold valid UTF-8).
    static std::string canonical(const PrivacyServicesCatalog& catalog);
    static std::string canonical(const Envelope& envelope);

    // Parses a keyset text: one line of printable ASCII, at most 4096 bytes,
    // "{}" or up to 16 entries "id":"base64 key" joined by single commas, IDs
    // strictly ascending, every key the exact base64 of 32 bytes that pass
    // isAcceptedEd25519Point(). "{}" gives an empty map. Any violation, also
    // in one entry only: Rejected::invalid.
    static Result<Keyset, Rejected> parseKeyset(std::string_view bytes);

    // Checks a decoded envelope against a parsed keyset over the signed
    // `message`: algorithm "Ed25519"; a well-formed key ID that the (non-empty)
    // keyset holds; key and signature texts that are exact base64 of 32 and 64
    // bytes; key and R accepted points, S a canonical scalar; and a valid
    // Ed25519 signature. Any failure: Rejected::invalid.
    static Result<void, Rejected> checkEnvelope(const Envelope& envelope, const Keyset& keys,
                                                std::string_view message);

    // The one acceptance routine. `payload` is the catalog file, `envelope`
    // the signature file, `keys` the keyset text, `previous` the catalog
    // accepted before (nothing for none). Fails with a keyset's rejection,
    // with the decoder's error when a file is not JSON of its record, and with
    // Rejected::invalid for every other rule: sizes (32768 and 2048 bytes),
    // printable-ASCII payload, canonical form of both files, the envelope
    // check, every field and service rule, and the rollback rule against
    // `previous` (no older schema, version or production time; the same
    // version only with the same bytes; no service dropped, no review older,
    // no second-format destination moved).
    static Result<Verified, CatalogError> verify(std::string_view payload,
                                                 std::string_view envelope, std::string_view keys,
                                                 const std::optional<Verified>& previous);

    // For whoever writes catalogs, since verify() refuses without detail:
    // the rule of the file format that `payload` breaks, as one line that
    // names the rule and, for a service rule, the service by id and position
    // (e.g. `service "b" (number 2 in "services"): service ids must be unique
    // and in ascending order, ...`). Nothing when the payload keeps every
    // rule that verify() checks besides the keyset, the signature and the
    // rollback rule; verify() refuses every payload it names something for.
    static std::optional<std::string> brokenRule(std::string_view payload);

    // The catalog shipped in the core's resource bundle ("privacy-services"
    // .json and .sig, keyset "privacy-services-keys.json"), verified with no
    // previous catalog on first use and kept for the life of the process.
    // Nothing when a file is missing or anything fails (silently).
    static const std::optional<Verified>& bundled();

    // The same lookup in `bundle`, every call afresh (for tests and tools).
    static std::optional<Verified> loadShipped(const ResourceBundle& bundle);
};

// A catalog that passed verify(), with the exact bytes that passed. Made only
// by verify(); nothing changes it afterwards.
class PrivacyServicesCatalog::Verified {
public:
    const PrivacyServicesCatalog& catalog() const { return state_->catalog; }
    const std::string& bytes() const { return state_->bytes; }

    // The services that may be offered as X/Twitter front-ends at `now`
    // (seconds since 1970 UTC), in catalog order. Empty when `now` is before
    // `generated`, when any one service was reviewed after `now` or more than
    // 90 days before it, or when the catalog is of the first format.
    // Otherwise every service with an id other than "xcancel", state
    // "active", family "nitter", at least one shape, a destination that is a
    // bare https origin and not an X/Twitter host.
    std::vector<Service> choices(std::uint64_t now) const;

    // Whether the service with `id` passes the service test of choices(),
    // without the time tests; false for a first-format catalog.
    bool eligible(std::string_view id) const;

    // True when `now` >= `generated` and every service was reviewed at or
    // before `now` and at most 90 days before it.
    bool fresh(std::uint64_t now) const;

    // The offerable services at `now` as pointers into this catalog, in
    // catalog order: what choices() copies. Valid while this Verified (or a
    // copy of it) lives.
    std::vector<const Service*> choicePointers(std::uint64_t now) const;

    // Same catalog and bytes.
    bool operator==(const Verified& other) const {
        return state_ == other.state_ || state_->bytes == other.state_->bytes;
    }

private:
    friend struct PrivacyServicesCatalog;

    struct State {
        PrivacyServicesCatalog catalog;
        std::string bytes;
        // Facts that do not depend on the time, worked out once at verification
        // so that the per-link questions stay cheap.
        std::vector<std::size_t> offerable;  // indices passing the service test
        std::uint64_t oldestReview = 0;
        std::uint64_t newestReview = 0;
    };

    explicit Verified(std::shared_ptr<const State> state) : state_(std::move(state)) {}

    std::shared_ptr<const State> state_;
};

}  // namespace scourlet
