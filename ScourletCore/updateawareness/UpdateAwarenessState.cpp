#include "ScourletCore/updateawareness/UpdateAwarenessState.h"

#include <utility>

#include "ScourletCore/platform/UnixTime.h"
#include "ScourletCore/updateawareness/UpdateVersion.h"

namespace scourlet {

namespace {

std::optional<double> storedTime(const JsonObjectReader& reader, std::string_view key) {
    const std::optional<double> seconds = reader.optional<double>(key);
    if (seconds && !isRepresentableUnixSeconds(*seconds)) {
        return std::nullopt;
    }
    return seconds;
}

}  // namespace

// --- Entry ---------------------------------------------------------------------

Json UpdateAwarenessState::Entry::toJson() const {
    Json json = Json::object();
    if (lastAttempt) {
        json["lastAttempt"] = *lastAttempt;
    }
    if (lastSuccess) {
        json["lastSuccess"] = *lastSuccess;
    }
    if (availableVersion) {
        json["availableVersion"] = *availableVersion;
    }
    if (availableBuild) {
        json["availableBuild"] = *availableBuild;
    }
    if (installedVersion) {
        json["installedVersion"] = *installedVersion;
    }
    if (installedBuild) {
        json["installedBuild"] = *installedBuild;
    }
    return json;
}

UpdateAwarenessState::Entry UpdateAwarenessState::Entry::fromJson(const Json& json) {
    const JsonObjectReader reader(json, "entry");
    Entry entry;
    entry.lastAttempt = storedTime(reader, "lastAttempt");
    entry.lastSuccess = storedTime(reader, "lastSuccess");
    entry.availableVersion = reader.optional<std::string>("availableVersion");
    entry.availableBuild = reader.optional<std::int64_t>("availableBuild");
    entry.installedVersion = reader.optional<std::string>("installedVersion");
    entry.installedBuild = reader.optional<std::int64_t>("installedBuild");
    return entry;
}

// --- Queries -------------------------------------------------------------------

std::vector<UpdateClass> UpdateAwarenessState::available() const {
    std::vector<UpdateClass> classes;
    for (const UpdateClass cls : allCases<UpdateClass>()) {
        const auto it = entries.find(cls);
        if (it != entries.end() && it->second.availableVersion) {
            classes.push_back(cls);
        }
    }
    return classes;
}

std::string UpdateAwarenessState::label(UpdateClass cls) const {
    std::string text(title(cls));
    const auto it = entries.find(cls);
    if (it == entries.end() || !it->second.availableVersion) {
        return text;
    }
    text += ' ';
    text += *it->second.availableVersion;
    if (it->second.availableBuild) {
        text += " (Build " + std::to_string(*it->second.availableBuild) + ")";
    }
    text += " available";
    return text;
}

std::string UpdateAwarenessState::accessibilityLabel() const {
    const std::size_t count = available().size();
    if (count == 0) {
        return "Settings";
    }
    return "Settings, " + std::to_string(count) + " updates available";
}

std::string_view UpdateAwarenessState::indicator(bool commandWarning, bool cleaningEnabled) const {
    if (commandWarning) {
        return warningIndicator;
    }
    if (!available().empty()) {
        return updateIndicator;
    }
    return cleaningEnabled ? enabledIndicator : disabledIndicator;
}

std::string_view UpdateAwarenessState::indicatorAccessibilityLabel(bool commandWarning,
                                                                   bool cleaningEnabled) const {
    const std::string_view shown = indicator(commandWarning, cleaningEnabled);
    if (shown == warningIndicator) {
        return "Scourlet, Command Guard warning";
    }
    if (shown == updateIndicator) {
        return "Scourlet, updates available";
    }
    if (shown == enabledIndicator) {
        return "Scourlet";
    }
    return "Scourlet, cleaning disabled";
}

// --- Changes -------------------------------------------------------------------

bool UpdateAwarenessState::beginAutomatic(UpdateClass cls, double now) {
    if (!automaticChecks || !isRepresentableUnixSeconds(now) || now < 0) {
        return false;
    }
    const auto it = entries.find(cls);
    if (it != entries.end() && it->second.lastAttempt) {
        const double sinceAttempt = now - *it->second.lastAttempt;
        // An attempt up to a day ahead still counts as recent; one further
        // ahead was left by a clock that ran fast and would otherwise block
        // checks until that date.
        if (sinceAttempt < automaticCheckInterval && sinceAttempt >= -automaticCheckInterval) {
            return false;
        }
    }
    entries[cls].lastAttempt = now;
    return true;
}

void UpdateAwarenessState::recordSuccess(UpdateClass cls, std::string_view version,
                                         std::optional<std::int64_t> build, double now) {
    if (!UpdateVersion::isValid(version) || !isRepresentableUnixSeconds(now) ||
        (build && *build < 0)) {
        return;
    }
    Entry& entry = entries[cls];
    entry.lastSuccess = now;
    entry.availableVersion = std::string(version);
    entry.availableBuild = build;
    if (entry.installedVersion) {
        // Copied first: reconcile() writes the fields it is handed.
        const std::string installed = *entry.installedVersion;
        reconcile(cls, installed, entry.installedBuild);
    }
}

void UpdateAwarenessState::reconcile(UpdateClass cls, std::string_view version,
                                     std::optional<std::int64_t> build) {
    if (!UpdateVersion::isValid(version)) {
        return;
    }
    Entry& entry = entries[cls];
    entry.installedVersion = std::string(version);
    entry.installedBuild = build;
    if (!entry.availableVersion) {
        return;
    }
    const std::optional<int> order = UpdateVersion::compare(*entry.availableVersion, version);
    bool covered = false;
    if (order == -1) {
        covered = true;
    } else if (order == 0) {
        covered = cls != UpdateClass::app ||
                  entry.availableBuild.value_or(0) <= entry.installedBuild.value_or(0);
    }
    if (covered) {
        entry.availableVersion.reset();
        entry.availableBuild.reset();
    }
}

void UpdateAwarenessState::clearRuleChannel() {
    const auto it = entries.find(UpdateClass::rules);
    if (it == entries.end()) {
        return;
    }
    it->second.lastSuccess.reset();
    it->second.availableVersion.reset();
    it->second.availableBuild.reset();
}

// --- JSON ----------------------------------------------------------------------

Json UpdateAwarenessState::toJson() const {
    Json pairs = Json::array();
    for (const auto& [cls, entry] : entries) {
        pairs.push_back(std::string(rawValue(cls)));
        pairs.push_back(entry.toJson());
    }
    Json json = Json::object();
    json["automaticChecks"] = automaticChecks;
    json["entries"] = std::move(pairs);
    return json;
}

std::string UpdateAwarenessState::encoded() const {
    return dumpJson(toJson());
}

UpdateAwarenessState UpdateAwarenessState::fromJson(const Json& json) {
    const JsonObjectReader reader(json, "update awareness");
    UpdateAwarenessState state;
    state.automaticChecks = reader.required<bool>("automaticChecks");
    const Json* pairs = reader.find("entries");
    if (pairs == nullptr || pairs->is_null()) {
        throwDecoding("entries", "required key is missing");
    }
    if (!pairs->is_array()) {
        throwDecoding("entries", "expected an array");
    }
    if (pairs->size() % 2 != 0) {
        throwDecoding("entries", "expected pairs of an update class and its entry");
    }
    for (std::size_t i = 0; i < pairs->size(); i += 2) {
        const Json& key = (*pairs)[i];
        if (!key.is_string()) {
            throwDecoding("entries", "expected a string naming the update class");
        }
        // A class that a newer build added: its entry means nothing here, and
        // dropping the whole state for it would turn automatic checks back on.
        const auto cls = enumFromRawValue<UpdateClass>(key.get_ref<const std::string&>());
        if (!cls) {
            continue;
        }
        state.entries.insert_or_assign(*cls, Entry::fromJson((*pairs)[i + 1]));
    }
    return state;
}

Result<UpdateAwarenessState, DecodingError> UpdateAwarenessState::decode(std::string_view text) {
    return decodeJson(text, [](const Json& json) { return fromJson(json); });
}

}  // namespace scourlet
