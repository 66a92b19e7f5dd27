#include "ScourletCore/rules/LastCleanRecord.h"

#include <cmath>

namespace scourlet {

namespace {
// 2001-01-01T00:00:00Z in Unix seconds.
constexpr double kReferenceDateOffset = 978307200.0;

// The clock counts in a 64-bit integer (nanoseconds: about 292 years either
// side of 1970). A time beyond that has no time_point, and converting it
// anyway is undefined behaviour, so such a record does not decode. One second
// of margin keeps the rounding of the conversion inside the range.
constexpr double kLargestUnixSeconds =
    static_cast<double>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::duration::max())
            .count()) -
    1.0;
}  // namespace

Json LastCleanRecord::toJson() const {
    const double unixSeconds = std::chrono::duration<double>(cleanedAt.time_since_epoch()).count();
    Json json = Json::object();
    json["originalURL"] = originalURL;
    json["cleanedURL"] = cleanedURL;
    json["cleanedAt"] = unixSeconds - kReferenceDateOffset;
    json["surface"] = surface;
    return json;
}

LastCleanRecord LastCleanRecord::fromJson(const Json& json) {
    JsonObjectReader reader(json, "LastCleanRecord");
    LastCleanRecord record;
    record.originalURL = reader.required<std::string>("originalURL");
    record.cleanedURL = reader.required<std::string>("cleanedURL");
    const double unixSeconds = reader.required<double>("cleanedAt") + kReferenceDateOffset;
    if (!std::isfinite(unixSeconds) || std::abs(unixSeconds) > kLargestUnixSeconds) {
        throwDecoding("cleanedAt", "time out of range");
    }
    record.cleanedAt = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::duration<double>(unixSeconds)));
    record.surface = reader.required<std::string>("surface");
    return record;
}

}  // namespace scourlet
