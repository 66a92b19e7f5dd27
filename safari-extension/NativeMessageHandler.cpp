#include "safari-extension/NativeMessageHandler.h"

#include <utility>

#include "ScourletCore/clipboard/MissedTrackerReportBuilder.h"
#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"
#include "ScourletCore/platform/DefaultsSuites.h"
#include "ScourletCore/platform/Diagnostics.h"
#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/OperatingSystemVersion.h"
#include "ScourletCore/platform/RawValueEnum.h"
#include "safari-extension/DesktopClipboardWriter.h"

namespace scourlet::nativehost {
namespace {

const std::string* stringValue(const Json& message, std::string_view key) {
    const auto it = message.find(key);
    return it != message.end() && it->is_string() ? it->get_ptr<const std::string*>() : nullptr;
}

const bool* boolValue(const Json& message, std::string_view key) {
    const auto it = message.find(key);
    return it != message.end() && it->is_boolean() ? it->get_ptr<const bool*>() : nullptr;
}

// A host as the exception store compares it; a blank one ("", "  ", "www.")
// names no site.
std::optional<std::string> nonBlank(std::optional<std::string> host) {
    return host && !host->empty() ? std::move(host) : std::nullopt;
}

Json stringArray(const std::vector<std::string>& values) {
    Json array = Json::array();
    for (const auto& value : values) {
        array.push_back(value);
    }
    return array;
}

}  // namespace

const NativeMessageHandler::ActionEntry NativeMessageHandler::kActions[] = {
    {"getXRedirectChoice", &NativeMessageHandler::getXRedirectChoice},
    {"setXRedirectChoice", &NativeMessageHandler::setXRedirectChoice},
    {"getXRedirectEnabled", &NativeMessageHandler::retireXRedirectEnabled},
    {"setXRedirectEnabled", &NativeMessageHandler::retireXRedirectEnabled},
    {"cleanURL", &NativeMessageHandler::cleanURL},
    {"recordStat", &NativeMessageHandler::recordStat},
    {"isDomainDisabled", &NativeMessageHandler::isDomainDisabled},
    {"setDomainDisabled", &NativeMessageHandler::setDomainDisabled},
    {"getLastClean", &NativeMessageHandler::getLastClean},
    {"applyLastClean", &NativeMessageHandler::applyLastClean},
    {"recordContentClean", &NativeMessageHandler::recordContentClean},
    {"buildMissedReport", &NativeMessageHandler::buildMissedReport},
    {"copyMissedReport", &NativeMessageHandler::copyMissedReport},
};

NativeMessageHandler::Environment NativeMessageHandler::Environment::standard() {
    Environment environment;
    if (auto suite = FileUserDefaults::suite(kSafariExtensionSuiteName)) {
        environment.saveSettings = [suite] {
            if (suite->synchronize()) {
                return true;
            }
            const auto error = suite->lastWriteError();
            printDiagnostic("Warning: Could not save the extension settings: " +
                            (error ? error->message : std::string("unknown error")));
            suite->discardUnsavedChanges();
            return false;
        };
        environment.defaults = std::move(suite);
    } else {
        printDiagnostic("Warning: No settings folder; extension settings are kept in memory only");
        environment.defaults = std::make_shared<InMemoryUserDefaults>();
    }
    environment.appGroupSettings = []() -> std::shared_ptr<const UserDefaults> {
        const auto file = FileUserDefaults::suiteFile(kAppGroupSuiteName);
        if (!file) {
            return nullptr;
        }
        // A copy: the host never writes, locks or renames the application's file.
        auto copy = std::make_shared<InMemoryUserDefaults>();
        for (auto& [key, value] : FileUserDefaults::readOnlySnapshot(*file)) {
            copy->set(key, std::move(value));
        }
        return copy;
    };
    environment.rulesBundle = ResourceBundle::cleanLinkResources();
    environment.clipboard = std::make_shared<DesktopClipboardWriter>();
    environment.osVersion = OperatingSystemVersion::current();
    environment.appVersion = std::string(config::kAppVersion);
    environment.appBuild = std::string(config::kAppBuild);
    return environment;
}

NativeMessageHandler::NativeMessageHandler(Environment environment)
    : environment_(std::move(environment)),
      clock_(environment_.clock ? environment_.clock : &systemClock_),
      exceptionStore_(std::make_shared<DomainExceptionStore>(environment_.defaults)),
      lastCleanRecorder_(std::make_shared<LastCleanRecorder>(clock_)) {}

std::vector<std::string_view> NativeMessageHandler::actionNames() {
    std::vector<std::string_view> names;
    for (const auto& entry : kActions) {
        names.push_back(entry.name);
    }
    return names;
}

Json NativeMessageHandler::handle(const Json& message) {
    static const Json kEmpty = Json::object();
    const Json& request = message.is_object() ? message : kEmpty;
    const std::string* actionText = stringValue(request, "action");
    const std::string_view action = actionText ? std::string_view(*actionText) : "";
    for (const auto& entry : kActions) {
        if (entry.name == action) {
            return (this->*entry.action)(request);
        }
    }
    return Json{{"error", std::string(kUnknownActionPrefix) + std::string(action)}};
}

// ---- Settings -------------------------------------------------------------------

PrivacyRedirectSettings NativeMessageHandler::readPrivacyRedirectSettings() const {
    const auto appGroup = environment_.appGroupSettings ? environment_.appGroupSettings() : nullptr;
    return PrivacyRedirectSettings(*environment_.defaults, appGroup.get());
}

bool NativeMessageHandler::saveSettings() {
    if (!environment_.saveSettings || environment_.saveSettings()) {
        return true;
    }
    // The settings are back to what is on disk; the exception list follows.
    exceptionStore_->refresh();
    return false;
}

Json NativeMessageHandler::saveFailed() {
    return Json{{"ok", false}, {"error", std::string(kSaveFailed)}};
}

Json NativeMessageHandler::getXRedirectChoice(const Json&) {
    return Json{{"ok", true},
                {"choice", std::string(rawValue(readPrivacyRedirectSettings().xRedirectChoice))}};
}

Json NativeMessageHandler::setXRedirectChoice(const Json& message) {
    const std::string* choice = stringValue(message, "choice");
    if (choice == nullptr || !enumFromRawValue<XRedirectChoice>(*choice)) {
        return Json{{"ok", false}};
    }
    environment_.defaults->setString(PrivacyRedirectSettings::xRedirectChoiceKey, *choice);
    if (!saveSettings()) {
        return saveFailed();
    }
    return Json{{"ok", true}, {"choice", *choice}};
}

Json NativeMessageHandler::retireXRedirectEnabled(const Json&) {
    // The old on/off switch gave way to the three-way choice; both of its
    // actions now pin it off so that no older reader acts on it.
    environment_.defaults->setBool(PrivacyRedirectSettings::xRedirectEnabledKey, false);
    if (!saveSettings()) {
        return saveFailed();
    }
    return Json{{"ok", true}, {"enabled", false}};
}

Json NativeMessageHandler::recordStat(const Json&) {
    return Json{{"recorded", true}};
}

// ---- Cleaning -------------------------------------------------------------------

RulesEngine& NativeMessageHandler::rulesEngine() {
    if (!rulesEngine_) {
        rulesEngine_ =
            std::make_shared<RulesEngine>(environment_.defaults, environment_.rulesBundle);
        rulesEngine_->loadBundledRules();
    }
    return *rulesEngine_;
}

URLCleaner NativeMessageHandler::makeCleaner(std::string_view surface) {
    RulesEngine& engine = rulesEngine();
    engine.reloadPersistedState();
    // Another host process, or the user in another browser, may have changed
    // the exceptions since this one last looked.
    exceptionStore_->refresh();
    return URLCleaner(rulesEngine_, exceptionStore_, lastCleanRecorder_, std::string(surface),
                      readPrivacyRedirectSettings(), environment_.catalogSource, clock_);
}

Json NativeMessageHandler::cleanURL(const Json& message) {
    const std::string* url = stringValue(message, "url");
    if (url == nullptr) {
        return Json{{"cleaned", false}};
    }
    URLCleaner cleaner = makeCleaner(kExtensionSurface);
    // Match counts the clean saved are written by the store in the background:
    // no disk write on the cleaning path.
    const CleanOutcome outcome = cleaner.cleanWithOutcome(*url);
    if (const std::string* host = outcome.skippedHost()) {
        return Json{{"cleaned", false}, {"skippedDisabled", true}, {"host", *host}};
    }
    const CleanResult* result = outcome.cleanedResult();
    if (result == nullptr) {
        return Json{{"cleaned", false}};
    }
    Json reply{{"cleaned", true},
               {"cleanedURL", result->cleanedURL},
               {"paramsRemoved", result->paramsRemoved},
               {"removedQueryParameters", stringArray(result->removedQueryParameters)}};
    if (const auto& redirect = result->privacyRedirect) {
        reply["xRedirectVerified"] = redirect->service == PrivacyRedirectService::xTwitter;
        reply["xRedirectChoice"] =
            std::string(rawValue(readPrivacyRedirectSettings().xRedirectChoice));
        reply["privacyRedirect"] = Json{{"service", std::string(rawValue(redirect->service))},
                                        {"originalHost", redirect->originalHost},
                                        {"frontend", redirect->frontendHost}};
    }
    return reply;
}

// ---- Site exceptions ------------------------------------------------------------

std::optional<std::string> NativeMessageHandler::requestedHost(const Json& message) const {
    if (const std::string* host = stringValue(message, "host"); host && !host->empty()) {
        if (auto normalized = nonBlank(DomainExceptionStore::normalize(*host))) {
            return normalized;
        }
    }
    if (const std::string* url = stringValue(message, "url")) {
        return nonBlank(DomainExceptionStore::normalizedHost(*url));
    }
    return std::nullopt;
}

Json NativeMessageHandler::isDomainDisabled(const Json& message) {
    const auto host = requestedHost(message);
    if (!host) {
        return Json{{"disabled", false}};
    }
    exceptionStore_->refresh();
    return Json{{"host", *host}, {"disabled", exceptionStore_->isDisabled(*host)}};
}

Json NativeMessageHandler::setDomainDisabled(const Json& message) {
    const bool* disabled = boolValue(message, "disabled");
    const auto host = requestedHost(message);
    if (disabled == nullptr || !host) {
        return Json{{"ok", false}, {"error", std::string(kMissingHostOrFlag)}};
    }
    // Both changes read the stored list afresh under the store's lock.
    if (*disabled) {
        exceptionStore_->disable(*host);
    } else {
        exceptionStore_->enable(*host);
    }
    if (!saveSettings()) {
        return saveFailed();
    }
    return Json{{"ok", true}, {"host", *host}, {"disabled", *disabled}};
}

// ---- Last clean -----------------------------------------------------------------

Json NativeMessageHandler::getLastClean(const Json& message) {
    const auto record = lastCleanRecorder_->current();
    if (!record) {
        return Json{{"available", false}};
    }
    if (const auto requested = requestedHost(message)) {
        const auto recordHost = nonBlank(DomainExceptionStore::normalizedHost(record->originalURL));
        if (recordHost && *recordHost != *requested) {
            return Json{{"available", false}};
        }
    } else if (const std::string* host = stringValue(message, "host"); host && !host->empty()) {
        // A host that is blank once normalized ("  ", "www.") names no site,
        // so no site's record is its.
        return Json{{"available", false}};
    }
    return Json{{"available", true},
                {"originalURL", record->originalURL},
                {"cleanedURL", record->cleanedURL}};
}

Json NativeMessageHandler::applyLastClean(const Json&) {
    const auto record = lastCleanRecorder_->takeAndClear();
    if (!record) {
        return Json{{"applied", false}};
    }
    return Json{{"applied", true}, {"originalURL", record->originalURL}};
}

Json NativeMessageHandler::recordContentClean(const Json& message) {
    const std::string* original = stringValue(message, "originalURL");
    const std::string* cleaned = stringValue(message, "cleanedURL");
    if (original == nullptr || cleaned == nullptr) {
        return Json{{"recorded", false}};
    }
    lastCleanRecorder_->record(*original, *cleaned, std::string(kContentScriptSurface));
    return Json{{"recorded", true}};
}

// ---- Missed-tracker reports -----------------------------------------------------

Json NativeMessageHandler::buildMissedReport(const Json& message) {
    const std::string* original = stringValue(message, "originalURL");
    if (original == nullptr) {
        return Json{{"ok", false}, {"error", std::string(kMissingOriginalURL)}};
    }
    const std::string* note = stringValue(message, "note");

    URLCleaner cleaner = makeCleaner(kReportSurface);
    CleanOutcome outcome = cleaner.cleanWithOutcome(*original);
    CleanResult result;
    if (CleanResult* cleaned = outcome.cleanedResult()) {
        result = std::move(*cleaned);
    } else {
        const std::string* requestCleaned = stringValue(message, "cleanedURL");
        result.originalURL = *original;
        result.cleanedURL = requestCleaned ? *requestCleaned : *original;
    }

    const MissedTrackerReport report = MissedTrackerReportBuilder::build(
        result, MissedTrackerReport::currentPlatform(), environment_.osVersion,
        environment_.appVersion, environment_.appBuild, MissedTrackerReport::extensionSurface(),
        note ? *note : std::string(), std::nullopt, std::nullopt, clock_->now());

    Json reply{{"ok", true}, {"subject", report.subject()}, {"body", report.bodyText()}};
    if (report.mailtoIsSafeLength()) {
        reply["mailtoURL"] = *report.mailtoURL();
    }
    return reply;
}

Json NativeMessageHandler::copyMissedReport(const Json& message) {
    Json built = buildMissedReport(message);
    const auto body = built.find("body");
    if (built.value("ok", false) != true || body == built.end() || !body->is_string()) {
        return built;
    }
    if (auto written = environment_.clipboard->writeText(body->get_ref<const std::string&>());
        !written) {
        printDiagnostic("Warning: Could not copy the report: " + written.error().message);
        return Json{{"ok", false}, {"error", std::string(kCopyFailed)}};
    }
    return Json{{"ok", true}};
}

}  // namespace scourlet::nativehost
