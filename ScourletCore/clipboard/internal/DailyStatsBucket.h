// The counts of one local calendar day, and the stored form of all days.
//
// The maps are keyed by raw-value strings rather than enumerations, so that an
// entry this version does not know (written by a later one, say) survives a
// read and write-back; windows simply do not count it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Json.h"

namespace scourlet::internal {

struct DailyStatsBucket {
    using Counts = std::map<std::string, std::int64_t, std::less<>>;

    std::string dateKey{};  // "yyyy-MM-dd"
    std::int64_t totalCleaned = 0;
    std::int64_t totalCommandWarnings = 0;
    std::int64_t neutralizedCommands = 0;
    Counts categoryStats{};
    Counts commandSeverityStats{};
    Counts impactStats{};
    Counts confidenceStats{};

    bool operator==(const DailyStatsBucket&) const = default;
};

using DailyStatsBuckets = std::map<std::string, DailyStatsBucket, std::less<>>;

// Reads the stored buckets: UTF-8 JSON of an object from date key to bucket.
// In a bucket "dateKey" is required; the three counts may be missing (0) and
// the four maps may be missing (empty). Nothing when the bytes are not such
// JSON, a value has the wrong type or a bucket lacks its "dateKey".
std::optional<DailyStatsBuckets> decodeDailyStatsBuckets(std::string_view bytes);

// The stored form of `buckets`, compact JSON as bytes. Nothing when a text in
// them is not UTF-8 and cannot be written as JSON.
std::optional<std::vector<std::uint8_t>> encodeDailyStatsBuckets(const DailyStatsBuckets& buckets);

// count + 1, held at the largest count instead of overflowing.
inline std::int64_t incremented(std::int64_t count) {
    return count == INT64_MAX ? count : count + 1;
}

// Adds one to a stored count (a missing or non-numeric one counts as 0), for
// UserDefaults::update(), so that counts other processes add meanwhile stay.
std::optional<Json> incrementedStoredCount(std::optional<Json> stored);

// a + b, held at the limits of the count type instead of overflowing.
inline std::int64_t saturatingSum(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? INT64_MAX : INT64_MIN;
    }
    return sum;
}

}  // namespace scourlet::internal
