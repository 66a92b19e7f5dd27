#include "ScourletCore/clipboard/ClipboardMonitor.h"

#include <cassert>
#include <utility>

#include "ScourletCore/clipboard/internal/DailyStatsBucket.h"
#include "ScourletCore/clipboard/internal/PasteboardRead.h"
#include "ScourletCore/linkrewriting/ShareLinkResolutionPolicy.h"
#include "ScourletCore/linkrewriting/ShareLinkResolver.h"
#include "ScourletCore/rules/CleanOutcome.h"
#include "ScourletCore/rules/PastePayloadSelector.h"

namespace scourlet {

namespace {

DefaultsData toData(const std::string& text) {
    return DefaultsData(text.begin(), text.end());
}

std::string_view asText(const DefaultsData& data) {
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

// A stored settings switch: the default while the key is absent.
bool storedBool(const UserDefaults& defaults, std::string_view key, bool fallback) {
    return defaults.contains(key) ? defaults.boolForKey(key) : fallback;
}

std::optional<CleanResult> storedCleanResult(const UserDefaults& defaults, std::string_view key) {
    const auto data = defaults.dataForKey(key);
    if (!data) {
        return std::nullopt;
    }
    auto decoded = CleanResult::decode(asText(*data));
    return decoded ? std::optional<CleanResult>(std::move(*decoded)) : std::nullopt;
}

std::optional<CommandRiskResult> storedCommandRisk(const UserDefaults& defaults,
                                                   std::string_view key) {
    const auto data = defaults.dataForKey(key);
    if (!data) {
        return std::nullopt;
    }
    auto decoded = CommandRiskResult::decode(asText(*data));
    return decoded ? std::optional<CommandRiskResult>(std::move(*decoded)) : std::nullopt;
}

}  // namespace

ClipboardMonitor::ClipboardMonitor(std::shared_ptr<URLCleaner> urlCleaner,
                                   std::shared_ptr<StatsTracker> statsTracker,
                                   std::shared_ptr<NotificationManager> notificationManager,
                                   std::shared_ptr<const CommandGuard> commandGuard,
                                   std::shared_ptr<UserDefaults> defaults,
                                   std::shared_ptr<Pasteboard> pasteboard, Environment environment)
    : urlCleaner_(std::move(urlCleaner)),
      statsTracker_(std::move(statsTracker)),
      notificationManager_(std::move(notificationManager)),
      defaults_(std::move(defaults)),
      pasteboard_(std::move(pasteboard)),
      environment_(std::move(environment)),
      commandGuard_(*this, std::move(commandGuard)),
      countedDay_(CalendarDay::local(environment_.clock->now())) {
    assert(urlCleaner_ && statsTracker_ && notificationManager_ && commandGuard_.get() &&
           defaults_ && pasteboard_);
    assert(environment_.timers && environment_.mainQueue && environment_.executor &&
           environment_.clock && environment_.monotonicClock);
    if (!environment_.resolveShareLink) {
        environment_.resolveShareLink = [](std::string link) {
            return ShareLinkResolver::resolve(link);
        };
    }
    if (!environment_.loadCommandGuard) {
        environment_.loadCommandGuard = [] { return std::make_shared<const CommandGuard>(); };
    }

    lastChangeCount_ = pasteboard_->changeCount();
    isCommandGuardEnabled_.set(storedBool(*defaults_, commandGuardEnabledKey, true));
    const auto threshold = defaults_->stringForKey(commandGuardThresholdKey);
    commandGuardThreshold_.set(threshold ? enumFromRawValue<CommandRiskSeverity>(*threshold)
                                               .value_or(CommandRiskSeverity::warning)
                                         : CommandRiskSeverity::warning);
    shouldNeutralizeRiskyCommands_.set(defaults_->boolForKey(commandGuardNeutralizeKey));
    automaticShareLinkResolutionEnabled_.set(
        defaults_->boolForKey(automaticShareLinkResolutionKey));
    cleanedCountToday_.set(
        defaults_->integerForKey(std::string(dailyCountKeyPrefix) + countedDay_.key()));
    if (auto stored = storedCleanResult(*defaults_, lastCleanedResultKey)) {
        lastCleanedResult_.set(std::move(stored));
    }

    // A warning is only worth showing while the risky text is still there to
    // be pasted; the settings switch does not matter for that check.
    const std::optional<std::string> text = readClipboard();
    if (!text || !commandGuard_.get()->analyze(*text, commandGuardThreshold_.get())) {
        defaults_->removeObject(lastCommandRiskKey);
    }
    lastCommandRisk_.set(storedCommandRisk(*defaults_, lastCommandRiskKey));
}

ClipboardMonitor::~ClipboardMonitor() = default;

// --- Settings ----------------------------------------------------------------

void ClipboardMonitor::setIsCommandGuardEnabled(bool enabled) {
    isCommandGuardEnabled_.set(enabled);
    defaults_->setBool(commandGuardEnabledKey, enabled);
}

void ClipboardMonitor::setCommandGuardThreshold(CommandRiskSeverity threshold) {
    commandGuardThreshold_.set(threshold);
    defaults_->setString(commandGuardThresholdKey, std::string(rawValue(threshold)));
}

void ClipboardMonitor::setShouldNeutralizeRiskyCommands(bool neutralize) {
    shouldNeutralizeRiskyCommands_.set(neutralize);
    defaults_->setBool(commandGuardNeutralizeKey, neutralize);
}

void ClipboardMonitor::setAutomaticShareLinkResolutionEnabled(bool enabled) {
    automaticShareLinkResolutionEnabled_.set(enabled);
    defaults_->setBool(automaticShareLinkResolutionKey, enabled);
}

std::string ClipboardMonitor::dailyCountKey(std::chrono::system_clock::time_point now) {
    return std::string(dailyCountKeyPrefix) + calendarDayKey(now);
}

// --- Polling -----------------------------------------------------------------

void ClipboardMonitor::start() {
    if (isStarted()) {
        return;
    }
    watching_ = pasteboard_->watch();
    // The handle dies with the monitor, and a scheduler never calls a
    // cancelled timer, so `this` cannot dangle here.
    timer_ = environment_.timers->scheduleRepeating(pollInterval, [this] { poll(); });
}

void ClipboardMonitor::stop() {
    timer_.reset();
    watching_.reset();
}

void ClipboardMonitor::poll() {
    refreshDailyCount();
    const std::int64_t count = pasteboard_->changeCount();
    if (count == lastChangeCount_) {
        return;
    }
    if (count == ownWriteChangeCount_) {
        lastChangeCount_ = count;
        return;
    }
    const ClipboardRead read = readClipboardContents();
    if (read.timedOut) {
        // A slow owner of the contents may hand them over next time: the
        // change stays unhandled for the next ticks, up to the attempt limit.
        if (timedOutChangeCount_ != count) {
            timedOutChangeCount_ = count;
            timedOutReads_ = 0;
        }
        if (++timedOutReads_ < maximumReadAttempts) {
            return;
        }
    }
    lastChangeCount_ = count;
    const std::optional<std::string>& text = read.text;
    if (!text) {
        return;
    }
    if (guardCommand(*text)) {
        return;
    }
    lastCommandRisk_.set(std::nullopt);
    defaults_->removeObject(lastCommandRiskKey);
    if (isEnabled_.get()) {
        clean(*text);
    }
}

void ClipboardMonitor::cleanNow() {
    const std::optional<std::string> text = readClipboard();
    if (text && !guardCommand(*text)) {
        clean(*text);
    }
}

ClipboardMonitor::ClipboardRead ClipboardMonitor::readClipboardContents() const {
    const auto forms = internal::readPasteboardForms(*pasteboard_, *environment_.monotonicClock,
                                                     {.maximumStringBytes = maximumStringBytes,
                                                      .maximumItems = maximumItems,
                                                      .maximumReadTime = maximumReadTime});
    if (!forms) {
        return {std::nullopt, forms.error() == internal::PasteboardReadFailure::timedOut};
    }
    return {PastePayloadSelector::select(*forms), false};
}

void ClipboardMonitor::writeBack(std::string_view text) {
    const std::int64_t count = pasteboard_->clearAndWrite(text);
    ownWriteChangeCount_ = count;
    lastChangeCount_ = count;
}

// --- Command Guard -----------------------------------------------------------

bool ClipboardMonitor::guardCommand(const std::string& text) {
    if (!isCommandGuardEnabled_.get()) {
        return false;
    }
    const std::optional<CommandRiskResult> risk =
        commandGuard_.get()->analyze(text, commandGuardThreshold_.get());
    if (!risk) {
        return false;
    }
    if (shouldNeutralizeRiskyCommands_.get()) {
        writeBack(CommandGuard::neutralizedCommand(text));
        statsTracker_->recordCommandRisk(*risk, true);
        notificationManager_->sendCommandWarningNotification(*risk, true);
        // Nothing risky is left to paste, so no warning stands.
        lastCommandRisk_.set(std::nullopt);
        defaults_->removeObject(lastCommandRiskKey);
    } else {
        lastCommandRisk_.set(risk);
        defaults_->setData(lastCommandRiskKey, toData(risk->encoded()));
        statsTracker_->recordCommandRisk(*risk, false);
        notificationManager_->sendCommandWarningNotification(*risk, false);
    }
    return true;
}

// --- Cleaning ----------------------------------------------------------------

bool ClipboardMonitor::clean(const std::string& text) {
    std::optional<TextURLBlock> block = TextURLBlock::make(text);
    std::optional<ClipboardLink> link;
    if (block && !block->matches().empty()) {
        if (block->matches().size() > 1) {
            return cleanTextBlock(std::move(*block));
        }
        // Both readers must agree on the one link before it is replaced in
        // place; otherwise the block's reading, which keeps every byte around
        // each link, is the safe one.
        link = ClipboardLink::make(text);
        if (!link || link->url() != block->matches().front().url) {
            return cleanTextBlock(std::move(*block));
        }
    } else {
        link = ClipboardLink::make(text);
    }

    textBlockState_.reset();
    if (!link) {
        return false;
    }
    CleanOutcome outcome = urlCleaner_->cleanWithOutcome(link->url());
    switch (outcome.kind()) {
        case CleanOutcome::Kind::invalid:
            lastSkippedDomain_.set(std::nullopt);
            return false;
        case CleanOutcome::Kind::skippedDisabled:
            lastSkippedDomain_.set(*outcome.skippedHost());
            return true;
        case CleanOutcome::Kind::cleaned:
        case CleanOutcome::Kind::unchanged:
            break;
    }

    CleanResult* const cleaned = outcome.cleanedResult();
    const bool pending =
        ShareLinkResolutionPolicy::needsResolution(cleaned ? cleaned->cleanedURL : link->url());
    if (cleaned) {
        clipboardRecovery_ = ClipboardRecovery{link->url(), text};
    }
    if (!pending) {
        lastSkippedDomain_.set(std::nullopt);
        if (!cleaned) {
            return false;
        }
        writeBack(link->replacingURL(cleaned->cleanedURL));
        recordCleanedResult(*cleaned);
        return true;
    }

    if (cleaned) {
        writeBack(link->replacingURL(cleaned->cleanedURL));
        presentPendingShareLinkResult(*cleaned);
    } else {
        // The clipboard may hold the monitor's own earlier output for this link
        // (copied again, or "clean now"): then it is already presented.
        const std::optional<CleanResult>& last = lastCleanedResult_.get();
        bool alreadyPresented = false;
        if (last && last->cleanedURL == link->url() && clipboardRecovery_) {
            const auto recovered = ClipboardLink::make(clipboardRecovery_->text);
            alreadyPresented = recovered && recovered->replacingURL(link->url()) == text;
        }
        if (!alreadyPresented) {
            clipboardRecovery_ = ClipboardRecovery{link->url(), text};
            presentPendingShareLinkResult(
                CleanResult{.originalURL = link->url(), .cleanedURL = link->url()});
        }
    }
    if (automaticShareLinkResolutionEnabled_.get()) {
        resolvePendingShareLink();
    }
    return true;
}

// --- Recording ---------------------------------------------------------------

void ClipboardMonitor::refreshDailyCount() {
    const CalendarDay today = CalendarDay::local(environment_.clock->now());
    if (today == countedDay_) {
        return;
    }
    // After midnight the running count belongs to yesterday; today's starts
    // from what was stored for today, if anything.
    countedDay_ = today;
    cleanedCountToday_.set(
        defaults_->integerForKey(std::string(dailyCountKeyPrefix) + today.key()));
}

void ClipboardMonitor::recordCleanedResult(const CleanResult& result) {
    lastCleanedResult_.set(result);
    refreshDailyCount();
    cleanedCountToday_.set(internal::incremented(cleanedCountToday_.get()));
    // One added to the stored count, not this count stored: another process
    // counting into the same settings keeps its cleans.
    defaults_->update(std::string(dailyCountKeyPrefix) + countedDay_.key(),
                      internal::incrementedStoredCount);
    storeLastCleanedResult(result);
    statsTracker_->recordClean(result);
    notificationManager_->sendCleanNotification(result);
}

void ClipboardMonitor::resetDailyCleanCounts() {
    // Earlier days' counts are shown nowhere, but they are cleaning
    // statistics all the same: none is kept.
    for (const auto& [key, value] : defaults_->dictionaryRepresentation()) {
        if (key.starts_with(dailyCountKeyPrefix)) {
            defaults_->removeObject(key);
        }
    }
    countedDay_ = CalendarDay::local(environment_.clock->now());
    cleanedCountToday_.set(0);
}

void ClipboardMonitor::storeLastCleanedResult(const CleanResult& result) {
    defaults_->setData(lastCleanedResultKey, toData(result.encoded()));
}

void ClipboardMonitor::presentPendingShareLinkResult(const CleanResult& result) {
    lastCleanedResult_.set(result);
    lastSkippedDomain_.set(std::nullopt);
    shareLinkResolutionError_.set(std::nullopt);
    storeLastCleanedResult(result);
}

void ClipboardMonitor::recordTextBlockClean(const std::string& text, const BlockResults& results) {
    for (const auto& result : results) {
        if (!result || result->originalURL == result->cleanedURL) {
            continue;
        }
        clipboardRecovery_ = ClipboardRecovery{result->originalURL, text};
        if (const auto& recorder = urlCleaner_->lastCleanRecorder()) {
            recorder->record(result->originalURL, result->cleanedURL,
                             std::string(textBlockSurface));
        }
        return;
    }
}

// --- Actions -----------------------------------------------------------------

bool ClipboardMonitor::restoreLastOriginal() {
    const auto& recorder = urlCleaner_->lastCleanRecorder();
    if (!recorder) {
        return false;
    }
    const std::optional<LastCleanRecord> record = recorder->takeAndClear();
    if (!record) {
        return false;
    }
    const bool wholeText = clipboardRecovery_ && clipboardRecovery_->url == record->originalURL;
    writeBack(wholeText ? clipboardRecovery_->text : record->originalURL);
    clipboardRecovery_.reset();
    textBlockState_.reset();
    lastCleanedResult_.set(std::nullopt);
    defaults_->removeObject(lastCleanedResultKey);
    return true;
}

std::optional<std::string> ClipboardMonitor::disableLastDomain() {
    const auto& exceptions = urlCleaner_->exceptionStore();
    const auto& recorder = urlCleaner_->lastCleanRecorder();
    if (!exceptions || !recorder) {
        return std::nullopt;
    }
    const std::optional<LastCleanRecord> record = recorder->current();
    if (!record) {
        return std::nullopt;
    }
    std::optional<std::string> host = DomainExceptionStore::normalizedHost(record->originalURL);
    if (!host) {
        return std::nullopt;
    }
    exceptions->disable(*host);
    recorder->clear();
    return host;
}

void ClipboardMonitor::writeUserCopy(std::string_view text) {
    writeBack(text);
}

void ClipboardMonitor::clearLastCommandRisk() {
    lastCommandRisk_.set(std::nullopt);
    defaults_->removeObject(lastCommandRiskKey);
}

void ClipboardMonitor::recordFunctionalTransformation(const CleanOperation& operation) {
    if (operation.kind != CleanOperationKind::functionalTransformation || operation.networkUsed) {
        return;
    }
    const std::optional<CleanResult>& last = lastCleanedResult_.get();
    if (!last) {
        return;
    }
    lastCleanedResult_.set(last->appendingOperation(operation, std::nullopt));
    storeLastCleanedResult(*lastCleanedResult_.get());
}

void ClipboardMonitor::reloadCommandGuard() {
    if (auto guard = environment_.loadCommandGuard()) {
        commandGuard_.set(std::move(guard));
    }
}

}  // namespace scourlet
