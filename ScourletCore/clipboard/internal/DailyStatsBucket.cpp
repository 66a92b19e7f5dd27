#include "ScourletCore/clipboard/internal/DailyStatsBucket.h"

#include "ScourletCore/platform/Json.h"

namespace scourlet::internal {

namespace {

DailyStatsBucket::Counts decodeCounts(const JsonObjectReader& bucket, std::string_view key) {
    DailyStatsBucket::Counts counts;
    const Json* value = bucket.find(key);
    if (value == nullptr || value->is_null()) {
        return counts;
    }
    if (!value->is_object()) {
        throwDecoding(key, "expected an object of counts");
    }
    for (const auto& [name, count] : value->items()) {
        counts.emplace(name, JsonValue<std::int64_t>::decode(count, key));
    }
    return counts;
}

DailyStatsBucket decodeBucket(const Json& json) {
    const JsonObjectReader reader(json, "daily bucket");
    DailyStatsBucket bucket;
    bucket.dateKey = reader.required<std::string>("dateKey");
    bucket.totalCleaned = reader.optional<std::int64_t>("totalCleaned").value_or(0);
    bucket.totalCommandWarnings = reader.optional<std::int64_t>("totalCommandWarnings").value_or(0);
    bucket.neutralizedCommands = reader.optional<std::int64_t>("neutralizedCommands").value_or(0);
    bucket.categoryStats = decodeCounts(reader, "categoryStats");
    bucket.commandSeverityStats = decodeCounts(reader, "commandSeverityStats");
    bucket.impactStats = decodeCounts(reader, "impactStats");
    bucket.confidenceStats = decodeCounts(reader, "confidenceStats");
    return bucket;
}

Json encodeCounts(const DailyStatsBucket::Counts& counts) {
    Json json = Json::object();
    for (const auto& [name, count] : counts) {
        json[name] = count;
    }
    return json;
}

}  // namespace

std::optional<DailyStatsBuckets> decodeDailyStatsBuckets(std::string_view bytes) {
    auto decoded = decodeJson(bytes, [](const Json& json) {
        if (!json.is_object()) {
            throwDecoding("daily buckets", "expected an object");
        }
        DailyStatsBuckets buckets;
        for (const auto& [key, value] : json.items()) {
            buckets.insert_or_assign(key, decodeBucket(value));
        }
        return buckets;
    });
    if (!decoded) {
        return std::nullopt;
    }
    return std::move(*decoded);
}

std::optional<std::vector<std::uint8_t>> encodeDailyStatsBuckets(const DailyStatsBuckets& buckets) {
    Json json = Json::object();
    for (const auto& [key, bucket] : buckets) {
        json[key] = Json{
            {"dateKey", bucket.dateKey},
            {"totalCleaned", bucket.totalCleaned},
            {"totalCommandWarnings", bucket.totalCommandWarnings},
            {"neutralizedCommands", bucket.neutralizedCommands},
            {"categoryStats", encodeCounts(bucket.categoryStats)},
            {"commandSeverityStats", encodeCounts(bucket.commandSeverityStats)},
            {"impactStats", encodeCounts(bucket.impactStats)},
            {"confidenceStats", encodeCounts(bucket.confidenceStats)},
        };
    }
    std::string text;
    try {
        text = json.dump();
    } catch (const Json::exception&) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::optional<Json> incrementedStoredCount(std::optional<Json> stored) {
    std::int64_t count = 0;
    if (stored && (stored->is_number_integer() || stored->is_number_unsigned())) {
        count = stored->get<std::int64_t>();
    } else if (stored && stored->is_number_float()) {
        const double value = stored->get<double>();
        count = value >= 9.2e18 ? INT64_MAX : value <= -9.2e18 ? INT64_MIN : static_cast<std::int64_t>(value);
    }
    return Json(incremented(count));
}

}  // namespace scourlet::internal
