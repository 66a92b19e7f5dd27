// ClipboardMonitor: watches the clipboard and cleans what the user copies.
//
// Twice a second it compares the pasteboard's change count with the last one
// it saw. New contents that it did not write itself are read (within size,
// time and "changed while reading" limits), shown to Command Guard first, and
// otherwise cleaned: a text with one link gets that link replaced in place, a
// text with several links gets each of them replaced. The clean text is
// written back, and the monitor's own write is recognised on the next tick so
// it is never cleaned twice. Share links (Amazon short links, Instagram and
// Threads share links) can be resolved over the network on request, or
// automatically when the user turned that on; the answer is written back only
// while the clipboard still holds what the monitor put there.
//
//   ClipboardMonitor monitor(cleaner, stats, notifications, guard, defaults, pasteboard,
//                            {timers, mainQueue, executor, clock, monotonicClock});
//   monitor.start();                      // polls every 0.5 s through `timers`
//   monitor.resolvePendingShareLink();    // the menu's "Resolve" action
//
// Lives on the main thread and takes no lock. The share-link resolver runs on
// the background executor; its outcome is applied through the main queue, and
// is dropped when the monitor is gone by then. No operation fails or throws:
// every failure leaves the clipboard as it is; failed resolutions are shown
// through shareLinkResolutionError().
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/clipboard/CommandGuard.h"
#include "ScourletCore/clipboard/CommandRiskResult.h"
#include "ScourletCore/clipboard/CommandRiskSeverity.h"
#include "ScourletCore/clipboard/NotificationManager.h"
#include "ScourletCore/clipboard/Pasteboard.h"
#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/linkrewriting/ResolvedShareLink.h"
#include "ScourletCore/linkrewriting/ShareLinkResolutionError.h"
#include "ScourletCore/platform/BackgroundExecutor.h"
#include "ScourletCore/platform/CalendarDay.h"
#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/MainQueue.h"
#include "ScourletCore/platform/MonotonicClock.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/platform/TimerScheduler.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "ScourletCore/rules/CleanOperation.h"
#include "ScourletCore/rules/CleanResult.h"
#include "ScourletCore/rules/ClipboardLink.h"
#include "ScourletCore/rules/TextURLBlock.h"
#include "ScourletCore/rules/URLCleaner.h"

namespace scourlet {

class ClipboardMonitor final : public ObservableObject {
public:
    // Resolves one share link over the network; may block for as long as its
    // own time limits allow. Runs on the background executor, never on the
    // main thread. An exception it throws counts as a failure without a
    // description.
    using ResolveShareLink =
        std::function<Result<ResolvedShareLink, ShareLinkResolutionError>(std::string)>;
    // Builds the Command Guard that reloadCommandGuard() puts in place.
    using CommandGuardLoader = std::function<std::shared_ptr<const CommandGuard>()>;

    // What the monitor needs of its surroundings besides the objects it works
    // with. Every pointer must be set.
    struct Environment {
        std::shared_ptr<TimerScheduler> timers;                // the poll timer
        std::shared_ptr<MainQueue> mainQueue;                  // where resolutions are applied
        std::shared_ptr<BackgroundExecutor> executor;          // where the resolver runs
        std::shared_ptr<const Clock> clock;                    // which day today's count is for
        std::shared_ptr<const MonotonicClock> monotonicClock;  // clipboard read deadlines
        // Empty: the network resolver, ShareLinkResolver.
        ResolveShareLink resolveShareLink{};
        // Empty: a CommandGuard with the installed rules, else the shipped ones.
        CommandGuardLoader loadCommandGuard{};
    };

    // Keys in the monitor's settings store.
    static constexpr std::string_view lastCleanedResultKey = "clipboardMonitor_lastCleanedResult";
    static constexpr std::string_view commandGuardEnabledKey = "commandGuard_enabled";
    static constexpr std::string_view commandGuardThresholdKey = "commandGuard_threshold";
    static constexpr std::string_view commandGuardNeutralizeKey = "commandGuard_neutralize";
    static constexpr std::string_view lastCommandRiskKey = "commandGuard_lastRisk";
    static constexpr std::string_view automaticShareLinkResolutionKey =
        "automaticShareLinkResolution_enabled";
    // Followed by the day, "yyyy-MM-dd": the number of cleans counted that day.
    static constexpr std::string_view dailyCountKeyPrefix = "cleanedCount_";

    // How often the clipboard's change count is compared.
    static constexpr std::chrono::milliseconds pollInterval{500};
    // Limits on one read of the clipboard. A form longer than
    // maximumStringBytes, or more than maximumItems items, make the whole
    // clipboard be ignored; a read that has not finished within maximumReadTime
    // is given up. A change whose read was given up is read again by the next
    // ticks, up to maximumReadAttempts reads in all; then it is left alone.
    static constexpr std::size_t maximumStringBytes = 65536;
    static constexpr std::size_t maximumItems = 64;
    static constexpr std::chrono::milliseconds maximumReadTime{500};
    static constexpr int maximumReadAttempts = 3;

    // Messages of shareLinkResolutionError() that the monitor itself sets.
    static constexpr std::string_view clipboardChangedBeforeRequestMessage =
        "The clipboard changed. Copy the share link again to resolve it.";
    static constexpr std::string_view clipboardChangedMessage =
        "The clipboard changed. Its newer contents were kept.";
    static constexpr std::string_view undescribedFailureMessage =
        "The share link could not be resolved. The current locally processed link remains "
        "available.";
    static constexpr std::string_view someLinksUnresolvedMessage =
        "Some shared links could not be resolved and were left unchanged.";

    // Surfaces under which the monitor records its own cleans.
    static constexpr std::string_view textBlockSurface = "macOSTextBlock";
    static constexpr std::string_view networkResolutionSurface = "macOSNetworkResolution";

    // Reads the Command Guard settings, today's count, the last result and the
    // last risk from `defaults` (settings are not written back). The stored
    // risk is dropped unless the clipboard still holds a text that `commandGuard`
    // flags at the stored threshold. Does not start polling.
    ClipboardMonitor(std::shared_ptr<URLCleaner> urlCleaner,
                     std::shared_ptr<StatsTracker> statsTracker,
                     std::shared_ptr<NotificationManager> notificationManager,
                     std::shared_ptr<const CommandGuard> commandGuard,
                     std::shared_ptr<UserDefaults> defaults, std::shared_ptr<Pasteboard> pasteboard,
                     Environment environment);
    ~ClipboardMonitor() override;

    // Polls every pollInterval until stop() (or the monitor's end); the
    // clipboard is watched meanwhile. Calling it while started does nothing.
    void start();
    void stop();
    bool isStarted() const { return timer_.connected(); }

    // One tick of the poll timer: handles new contents that the monitor did
    // not write, and moves today's count to a new day after midnight.
    void poll();

    // Handles the clipboard's current text at once, whatever the change count
    // and isEnabled(); does not clear the last risk.
    void cleanNow();

    // Puts the original of the last clean back on the clipboard: the whole text
    // as it was copied when the last clean was of that text, else the original
    // link alone. False when there is no last clean to take (a second call
    // right after answers false). Today's count and the statistics keep the clean.
    bool restoreLastOriginal();

    // Switches cleaning off for the host of the last clean and forgets that
    // clean; returns the host. Nothing when there is no last clean or its link
    // has no host.
    std::optional<std::string> disableLastDomain();

    void clearLastCommandRisk();

    // Clears the clipboard and puts `text` on it as the monitor's own write,
    // for the copy actions of the interface (an original link, a converted map
    // link, a copied command): the next poll neither cleans it, nor shows it to
    // Command Guard, nor counts it. The last clean and the last risk stay as
    // they are. Text that should be handled like a copy of the user's own (a
    // command to try Command Guard with) goes on the clipboard directly instead.
    void writeUserCopy(std::string_view text);

    // Adds a local functional transformation (kind functionalTransformation,
    // no network) to the last result and stores it; any other operation, or no
    // last result, changes nothing.
    void recordFunctionalTransformation(const CleanOperation& operation);

    // Puts a freshly loaded Command Guard in place (after a rules update).
    void reloadCommandGuard();

    // Whether a link of the last clean waits for network resolution.
    bool hasPendingShareLinkResolution() const;
    // Starts resolving the pending share link (or the share links of the last
    // cleaned text) when the clipboard still holds what the monitor wrote.
    // Does nothing while a resolution runs.
    void resolvePendingShareLink();

    // Forgets the cleans counted per day, with the statistics reset: today's
    // count becomes 0 and no day's count stays stored. Cleans after this count
    // from 0 again.
    void resetDailyCleanCounts();

    // "cleanedCount_" followed by the local calendar day of `now`.
    static std::string dailyCountKey(std::chrono::system_clock::time_point now);

    // --- Published state -------------------------------------------------------
    bool isEnabled() const { return isEnabled_.get(); }
    void setIsEnabled(bool enabled) { isEnabled_.set(enabled); }
    Signal<bool>& isEnabledPublisher() const { return isEnabled_.publisher(); }

    const std::optional<CleanResult>& lastCleanedResult() const { return lastCleanedResult_.get(); }
    void setLastCleanedResult(std::optional<CleanResult> r) {
        lastCleanedResult_.set(std::move(r));
    }
    Signal<std::optional<CleanResult>>& lastCleanedResultPublisher() const {
        return lastCleanedResult_.publisher();
    }

    const std::optional<std::string>& lastSkippedDomain() const { return lastSkippedDomain_.get(); }
    void setLastSkippedDomain(std::optional<std::string> d) {
        lastSkippedDomain_.set(std::move(d));
    }
    Signal<std::optional<std::string>>& lastSkippedDomainPublisher() const {
        return lastSkippedDomain_.publisher();
    }

    const std::optional<CommandRiskResult>& lastCommandRisk() const {
        return lastCommandRisk_.get();
    }
    void setLastCommandRisk(std::optional<CommandRiskResult> r) {
        lastCommandRisk_.set(std::move(r));
    }
    Signal<std::optional<CommandRiskResult>>& lastCommandRiskPublisher() const {
        return lastCommandRisk_.publisher();
    }

    // Cleans counted on the current local calendar day.
    std::int64_t cleanedCountToday() const { return cleanedCountToday_.get(); }
    void setCleanedCountToday(std::int64_t count) { cleanedCountToday_.set(count); }
    Signal<std::int64_t>& cleanedCountTodayPublisher() const {
        return cleanedCountToday_.publisher();
    }

    // The four settings below publish, then store the value, on every assignment.
    bool isCommandGuardEnabled() const { return isCommandGuardEnabled_.get(); }
    void setIsCommandGuardEnabled(bool enabled);
    Signal<bool>& isCommandGuardEnabledPublisher() const {
        return isCommandGuardEnabled_.publisher();
    }

    CommandRiskSeverity commandGuardThreshold() const { return commandGuardThreshold_.get(); }
    void setCommandGuardThreshold(CommandRiskSeverity threshold);
    Signal<CommandRiskSeverity>& commandGuardThresholdPublisher() const {
        return commandGuardThreshold_.publisher();
    }

    bool shouldNeutralizeRiskyCommands() const { return shouldNeutralizeRiskyCommands_.get(); }
    void setShouldNeutralizeRiskyCommands(bool neutralize);
    Signal<bool>& shouldNeutralizeRiskyCommandsPublisher() const {
        return shouldNeutralizeRiskyCommands_.publisher();
    }

    bool automaticShareLinkResolutionEnabled() const {
        return automaticShareLinkResolutionEnabled_.get();
    }
    void setAutomaticShareLinkResolutionEnabled(bool enabled);
    Signal<bool>& automaticShareLinkResolutionEnabledPublisher() const {
        return automaticShareLinkResolutionEnabled_.publisher();
    }

    bool isResolvingShareLink() const { return isResolvingShareLink_.get(); }
    Signal<bool>& isResolvingShareLinkPublisher() const {
        return isResolvingShareLink_.publisher();
    }

    const std::optional<std::string>& shareLinkResolutionError() const {
        return shareLinkResolutionError_.get();
    }
    Signal<std::optional<std::string>>& shareLinkResolutionErrorPublisher() const {
        return shareLinkResolutionError_.publisher();
    }

    const std::shared_ptr<const CommandGuard>& commandGuard() const { return commandGuard_.get(); }
    Signal<std::shared_ptr<const CommandGuard>>& commandGuardPublisher() const {
        return commandGuard_.publisher();
    }

    const std::shared_ptr<URLCleaner>& urlCleaner() const { return urlCleaner_; }
    const std::shared_ptr<StatsTracker>& statsTracker() const { return statsTracker_; }
    const std::shared_ptr<NotificationManager>& notificationManager() const {
        return notificationManager_;
    }

private:
    struct ClipboardRecovery {
        std::string url;   // the link as copied
        std::string text;  // the whole text as copied
    };
    using BlockResults = std::vector<std::optional<CleanResult>>;
    struct TextBlockState {
        TextURLBlock block;
        BlockResults results;  // one per link of the block
        std::string output;    // what was (or would have been) written for the block
    };
    // What a resolver call came to: the link, or the error when it has one
    // (nothing: the resolver failed without one).
    struct ShareLinkAnswer {
        std::optional<ResolvedShareLink> resolved;
        std::optional<ShareLinkResolutionError> error;
    };
    struct TextBlockResolution;

    // Clipboard reading and writing. A read gives the text to handle, if any,
    // and whether it ran out of time (and may succeed when tried again).
    struct ClipboardRead {
        std::optional<std::string> text;
        bool timedOut = false;
    };
    ClipboardRead readClipboardContents() const;
    std::optional<std::string> readClipboard() const { return readClipboardContents().text; }
    void writeBack(std::string_view text);

    // The copy routines.
    bool guardCommand(const std::string& text);
    bool clean(const std::string& text);
    bool cleanSingleLink(const std::string& text);
    bool cleanTextBlock(TextURLBlock block);
    static std::string blockOutput(const TextURLBlock& block, const BlockResults& results);

    // Recording.
    void recordCleanedResult(const CleanResult& result);
    void recordTextBlockClean(const std::string& text, const BlockResults& results);
    void presentPendingShareLinkResult(const CleanResult& result);
    void storeLastCleanedResult(const CleanResult& result);
    void refreshDailyCount();

    // Share-link resolution.
    void resolveSingleShareLink();
    void resolvePendingTextBlockShareLinks();
    void resolveInBackground(std::string link, std::function<void(ShareLinkAnswer)> apply);
    void applySingleShareLinkAnswer(ShareLinkAnswer answer, const CleanResult& prior,
                                    const ClipboardLink& clipboardLink, std::int64_t startCount);
    void continueTextBlockResolution(const std::shared_ptr<TextBlockResolution>& run);
    void finishTextBlockResolution(const std::shared_ptr<TextBlockResolution>& run);
    void reportShareLinkFailure(const std::optional<ShareLinkResolutionError>& error);

    std::shared_ptr<URLCleaner> urlCleaner_;
    std::shared_ptr<StatsTracker> statsTracker_;
    std::shared_ptr<NotificationManager> notificationManager_;
    std::shared_ptr<UserDefaults> defaults_;
    std::shared_ptr<Pasteboard> pasteboard_;
    Environment environment_;

    Published<bool> isEnabled_{*this, true};
    Published<std::optional<CleanResult>> lastCleanedResult_{*this, std::nullopt};
    Published<std::optional<std::string>> lastSkippedDomain_{*this, std::nullopt};
    Published<std::optional<CommandRiskResult>> lastCommandRisk_{*this, std::nullopt};
    Published<std::int64_t> cleanedCountToday_{*this, 0};
    Published<bool> isCommandGuardEnabled_{*this, true};
    Published<CommandRiskSeverity> commandGuardThreshold_{*this, CommandRiskSeverity::warning};
    Published<bool> shouldNeutralizeRiskyCommands_{*this, false};
    Published<bool> automaticShareLinkResolutionEnabled_{*this, false};
    Published<bool> isResolvingShareLink_{*this, false};
    Published<std::optional<std::string>> shareLinkResolutionError_{*this, std::nullopt};
    Published<std::shared_ptr<const CommandGuard>> commandGuard_;

    // The poll timer and the clipboard watch, held together while started.
    Connection timer_;
    Connection watching_;
    std::int64_t lastChangeCount_ = 0;
    std::int64_t ownWriteChangeCount_ = -1;
    // The change whose reads ran out of time, and how many did.
    std::int64_t timedOutChangeCount_ = -1;
    int timedOutReads_ = 0;
    // The day whose stored count cleanedCountToday holds.
    CalendarDay countedDay_;
    std::optional<ClipboardRecovery> clipboardRecovery_;
    std::optional<TextBlockState> textBlockState_;
    // Watched weakly by outcomes on their way back from the executor, so an
    // outcome that arrives after the monitor is gone is dropped. Only touched
    // on the main thread.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

}  // namespace scourlet
