#include "ScourletCore/ruleupdates/RuleUpdateManifest.h"

#include <algorithm>

#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/ruleupdates/internal/ManifestDate.h"

namespace scourlet {

namespace {

using File = RuleUpdateManifest::File;
using SourceSummary = RuleUpdateManifest::SourceSummary;

RuleUpdateManifest::Date decodeDate(const Json& json, std::string_view context) {
    const auto text = JsonValue<std::string>::decode(json, context);
    const auto date = internal::parseManifestDate(text);
    if (!date) {
        throwDecoding(context, "expected an internet date-time with whole seconds");
    }
    return *date;
}

std::optional<RuleUpdateManifest::Date> optionalDate(const JsonObjectReader& o,
                                                     std::string_view key) {
    const Json* value = o.find(key);
    if (value == nullptr || value->is_null()) {
        return std::nullopt;
    }
    return decodeDate(*value, key);
}

template <class T>
std::optional<T> optionalRecord(const JsonObjectReader& o, std::string_view key,
                                T (*decode)(const Json&)) {
    const Json* value = o.find(key);
    if (value == nullptr || value->is_null()) {
        return std::nullopt;
    }
    return decode(*value);
}

SourceSummary::ClearURLs decodeClearURLsSource(const Json& json) {
    const JsonObjectReader o(json, "clearurls");
    return {o.optional<std::string>("source"), o.optional<std::string>("upstreamCommit"),
            optionalDate(o, "reviewedAt")};
}

SourceSummary::ScourletSupplementary decodeSupplementarySource(const Json& json) {
    const JsonObjectReader o(json, "scourletSupplementary");
    return {o.optional<std::string>("version")};
}

SourceSummary decodeSourceSummary(const Json& json) {
    const JsonObjectReader o(json, "sourceSummary");
    return {optionalRecord(o, "clearurls", &decodeClearURLsSource),
            optionalRecord(o, "scourletSupplementary", &decodeSupplementarySource)};
}

File decodeFile(const Json& json) {
    const JsonObjectReader o(json, "files");
    File file;
    file.kind = o.required<File::Kind>("kind");
    file.path = o.required<std::string>("path");
    file.url = o.required<std::string>("url");
    // An empty text is no URL; anything else must be a URI reference.
    if (file.url.empty() || !URLComponents::parse(file.url)) {
        throwDecoding("url", "not a URL");
    }
    file.sha256 = o.required<std::string>("sha256");
    file.bytes = o.optional<std::int64_t>("bytes");
    return file;
}

template <class T>
void putOptional(Json& json, std::string_view key, const std::optional<T>& value) {
    if (value) {
        json[std::string(key)] = *value;
    }
}

void putOptionalDate(Json& json, std::string_view key,
                     const std::optional<RuleUpdateManifest::Date>& value) {
    if (value) {
        json[std::string(key)] = internal::formatManifestDate(*value);
    }
}

std::optional<File> firstOfKind(const std::vector<File>& files, File::Kind kind) {
    const auto found =
        std::find_if(files.begin(), files.end(), [kind](const File& f) { return f.kind == kind; });
    if (found == files.end()) {
        return std::nullopt;
    }
    return *found;
}

bool isHexDigest(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

bool usesHTTPS(std::string_view url) {
    const auto parsed = URLComponents::parse(url);
    return parsed && parsed->scheme() == std::optional<std::string_view>("https");
}

Result<void, RuleUpdateError> checkFile(const File& file) {
    if (!usesHTTPS(file.url)) {
        return RuleUpdateError::invalidManifest("Rule file URLs must use HTTPS");
    }
    if (!isHexDigest(file.sha256)) {
        return RuleUpdateError::invalidManifest("Invalid SHA-256 for " + file.path);
    }
    if (file.path.find('/') != std::string::npos || file.path.find("..") != std::string::npos) {
        return RuleUpdateError::invalidManifest("Invalid rule file path");
    }
    return {};
}

}  // namespace

RuleUpdateManifest RuleUpdateManifest::fromJson(const Json& json) {
    const JsonObjectReader o(json, "manifest");
    RuleUpdateManifest m;
    m.product = o.required<std::string>("product");
    m.kind = o.required<std::string>("kind");
    m.schemaVersion = o.required<std::int64_t>("schemaVersion");
    m.currentVersion = o.required<std::string>("currentVersion");
    const Json* published = o.find("publishedAt");
    if (published == nullptr || published->is_null()) {
        throwDecoding("publishedAt", "required key is missing");
    }
    m.publishedAt = decodeDate(*published, "publishedAt");
    m.minAppVersion = o.optional<std::string>("minAppVersion");
    m.sourceSummary = optionalRecord(o, "sourceSummary", &decodeSourceSummary);
    const Json* files = o.find("files");
    if (files == nullptr || files->is_null()) {
        throwDecoding("files", "required key is missing");
    }
    if (!files->is_array()) {
        throwDecoding("files", "expected an array");
    }
    for (const Json& file : *files) {
        m.files.push_back(decodeFile(file));
    }
    m.notes = o.required<std::vector<std::string>>("notes");
    return m;
}

Result<RuleUpdateManifest, DecodingError> RuleUpdateManifest::decode(std::string_view bytes) {
    return decodeJson(bytes, [](const Json& json) { return fromJson(json); });
}

Json RuleUpdateManifest::toJson() const {
    Json json = Json::object();
    json["product"] = product;
    json["kind"] = kind;
    json["schemaVersion"] = schemaVersion;
    json["currentVersion"] = currentVersion;
    json["publishedAt"] = internal::formatManifestDate(publishedAt);
    putOptional(json, "minAppVersion", minAppVersion);
    if (sourceSummary) {
        Json summary = Json::object();
        if (sourceSummary->clearurls) {
            Json clear = Json::object();
            putOptional(clear, "source", sourceSummary->clearurls->source);
            putOptional(clear, "upstreamCommit", sourceSummary->clearurls->upstreamCommit);
            putOptionalDate(clear, "reviewedAt", sourceSummary->clearurls->reviewedAt);
            summary["clearurls"] = std::move(clear);
        }
        if (sourceSummary->scourletSupplementary) {
            Json supplementary = Json::object();
            putOptional(supplementary, "version", sourceSummary->scourletSupplementary->version);
            summary["scourletSupplementary"] = std::move(supplementary);
        }
        json["sourceSummary"] = std::move(summary);
    }
    Json fileList = Json::array();
    for (const File& file : files) {
        Json entry = Json::object();
        entry["kind"] = std::string(rawValue(file.kind));
        entry["path"] = file.path;
        entry["url"] = file.url;
        entry["sha256"] = file.sha256;
        putOptional(entry, "bytes", file.bytes);
        fileList.push_back(std::move(entry));
    }
    json["files"] = std::move(fileList);
    json["notes"] = notes;
    return json;
}

std::string RuleUpdateManifest::encoded() const {
    return dumpJson(toJson());
}

std::optional<File> RuleUpdateManifest::clearURLsFile() const {
    return firstOfKind(files, File::Kind::clearurls);
}

std::optional<File> RuleUpdateManifest::supplementaryFile() const {
    return firstOfKind(files, File::Kind::scourletSupplementary);
}

std::optional<File> RuleUpdateManifest::commandGuardFile() const {
    return firstOfKind(files, File::Kind::commandGuard);
}

Result<void, RuleUpdateError> RuleUpdateManifest::validate(
    std::int64_t supportedSchemaVersion) const {
    if (product != "Scourlet") {
        return RuleUpdateError::invalidManifest("Unexpected product");
    }
    if (kind != "rules") {
        return RuleUpdateError::invalidManifest("Unexpected manifest kind");
    }
    if (schemaVersion > supportedSchemaVersion) {
        return RuleUpdateError::invalidManifest("Unsupported rules schema");
    }
    if (trimmingWhitespaceAndNewlines(currentVersion).empty()) {
        return RuleUpdateError::invalidManifest("Missing rules version");
    }
    if (!clearURLsFile()) {
        return RuleUpdateError::invalidManifest("Missing ClearURLs rule file");
    }
    if (!supplementaryFile()) {
        return RuleUpdateError::invalidManifest("Missing Scourlet supplementary rule file");
    }
    for (const File& file : files) {
        if (auto checked = checkFile(file); !checked) {
            return checked;
        }
    }
    return {};
}

}  // namespace scourlet
