// NativeMessageHandler: answers the browser extension's native messages from
// the core.
//
// Each message is a JSON object with an "action" key; each answer is one JSON
// object whose values are Booleans, integers, strings, arrays of strings or
// objects of strings. The actions clean a link, ask and change per-site
// exceptions, hand over the last clean, keep the extension's X/Twitter
// redirect choice and build or copy missed-tracker reports. None uses the
// network. Anything malformed gets a negative answer, never a failure:
//
//   {"action":"cleanURL","url":"https://a.example/?utm_source=x"}
//     -> {"cleaned":true,"cleanedURL":"https://a.example/","paramsRemoved":1,
//         "removedQueryParameters":["utm_source"]}
//   {"action":"setDomainDisabled","disabled":"yes","host":"a.example"}
//     -> {"ok":false,"error":"Missing host or disabled flag"}
//   {} -> {"error":"Unknown action: "}
//
//   NativeMessageHandler handler(NativeMessageHandler::Environment::standard());
//   Json reply = handler.handle(message);
//
// The host keeps its own settings suite (the X/Twitter choice, site
// exceptions, rule switches and match counts) and only reads the app-group
// suite, where the application keeps the chosen Nitter-compatible instance.
// Several host processes may run at once (one per browser, or per message for
// extensions that do not keep a port open): the exception list is read again
// before every action that uses it, and every change of a setting (an
// exception, the X/Twitter choice) is written to disk before its reply
// leaves, so no process overwrites another's change. A change that cannot be
// written (a settings folder that cannot be written, a full disk) is dropped
// and answered with "ok" false and kSaveFailed, so what is on disk is what
// the user was told. Match counts saved by a clean are left to the store's
// background write.
//
// The rules engine is built and loaded on first use and kept; its switches
// and custom rules are read again for every clean. The last clean is kept in
// memory only, for the life of the handler.
//
// Not thread-safe: answer one message at a time (the host reads one frame,
// answers it, then reads the next).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/ResourceBundle.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "ScourletCore/rules/DomainExceptionStore.h"
#include "ScourletCore/rules/LastCleanRecorder.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/rules/URLCleaner.h"
#include "safari-extension/ClipboardWriter.h"

namespace scourlet::nativehost {

class NativeMessageHandler {
public:
    // Surfaces recorded with the cleans and reports of the extension.
    static constexpr std::string_view kExtensionSurface = "macOSSafariExtension";
    static constexpr std::string_view kReportSurface = "macOSSafariExtensionReport";
    static constexpr std::string_view kContentScriptSurface = "macOSSafariContentScript";

    // Error texts of the replies.
    static constexpr std::string_view kMissingHostOrFlag = "Missing host or disabled flag";
    static constexpr std::string_view kMissingOriginalURL = "Missing originalURL";
    static constexpr std::string_view kUnknownActionPrefix = "Unknown action: ";
    static constexpr std::string_view kCopyFailed = "Could not copy the report";
    static constexpr std::string_view kSaveFailed = "Could not save the setting";

    struct Environment {
        // The host's own settings. Required.
        std::shared_ptr<UserDefaults> defaults;
        // Writes changes of `defaults` to disk; called after every settings
        // change and before its reply. Returns false when they could not be
        // written, after dropping them from `defaults`, so that it holds what
        // is on disk again. Empty: nothing to write (an in-memory store).
        std::function<bool()> saveSettings;
        // The app-group settings as they are now, read-only: a fresh copy per
        // call. Empty, or a null result: no app-group suite (the Nitter
        // settings then come from `defaults`).
        std::function<std::shared_ptr<const UserDefaults>()> appGroupSettings;
        // Where the rules engine finds the shipped rules; null: nowhere (the
        // engine then holds no rules).
        const ResourceBundle* rulesBundle = nullptr;
        // Where "copyMissedReport" puts the report. Required.
        std::shared_ptr<ClipboardWriter> clipboard;
        // "now" for the last clean and for reports; the system clock when null.
        // Must outlive the handler.
        const Clock* clock = nullptr;
        // Written into missed-tracker reports.
        std::string osVersion;
        std::string appVersion;
        std::optional<std::string> appBuild;
        // The verified services catalog for Nitter-compatible rewrites; empty:
        // the shared catalog store.
        URLCleaner::CatalogSource catalogSource;

        // The running host: its settings suite, the app-group suite, the
        // resource bundle beside the program and the desktop clipboard.
        static Environment standard();
    };

    explicit NativeMessageHandler(Environment environment);

    // The answer to one message. `message` may be any JSON value; anything
    // but an object counts as an empty message. Never throws.
    Json handle(const Json& message);

    // The "action" values answered, in the order they are matched.
    static std::vector<std::string_view> actionNames();

private:
    using Action = Json (NativeMessageHandler::*)(const Json&);
    struct ActionEntry {
        std::string_view name;
        Action action;
    };
    static const ActionEntry kActions[];

    Json getXRedirectChoice(const Json& message);
    Json setXRedirectChoice(const Json& message);
    Json retireXRedirectEnabled(const Json& message);
    Json cleanURL(const Json& message);
    Json recordStat(const Json& message);
    Json isDomainDisabled(const Json& message);
    Json setDomainDisabled(const Json& message);
    Json getLastClean(const Json& message);
    Json applyLastClean(const Json& message);
    Json recordContentClean(const Json& message);
    Json buildMissedReport(const Json& message);
    Json copyMissedReport(const Json& message);

    RulesEngine& rulesEngine();
    PrivacyRedirectSettings readPrivacyRedirectSettings() const;
    URLCleaner makeCleaner(std::string_view surface);
    std::optional<std::string> requestedHost(const Json& message) const;
    // Whether the settings changed by the current request were saved; when
    // not, the change is gone and the objects over the settings show that.
    bool saveSettings();
    static Json saveFailed();

    Environment environment_;
    SystemClock systemClock_;
    const Clock* clock_;
    std::shared_ptr<RulesEngine> rulesEngine_;  // built on first use
    std::shared_ptr<DomainExceptionStore> exceptionStore_;
    std::shared_ptr<LastCleanRecorder> lastCleanRecorder_;
};

}  // namespace scourlet::nativehost
