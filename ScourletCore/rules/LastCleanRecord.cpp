#include "ScourletCore/rules/LastCleanRecord.h"

namespace scourlet {

namespace {
// 2001-01-01T00:00:00Z in Unix seconds.
constexpr double kReferenceDateOffset = 978307200.0;
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
    const double sinceReference = reader.required<double>("cleanedAt");
    record.cleanedAt = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::duration<double>(sinceReference + kReferenceDateOffset)));
    record.surface = reader.required<std::string>("surface");
    return record;
}

}  // namespace scourlet
