#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "ScourletCore/clipboard/ClipboardMonitor.h"
#include "ScourletCore/platform/ThreadExecutor.h"
#include "clipboard/ClipboardMonitorFixture.h"

namespace scourlet {
namespace {

using testing::kAmazonProduct;
using testing::kAmazonShort;
using testing::kInstagramPost;
using testing::kInstagramShare;
using testing::kThreadsPost;
using testing::kThreadsShare;

class ShareLinkTest : public testing::ClipboardMonitorTest {
protected:
    ShareLinkTest() {
        // The service answers with tracking of its own, which the local clean removes.
        resolver.answer(kInstagramShare, std::string(kInstagramPost) + "?utm_source=ig_web",
                        "www.instagram.com");
        resolver.answer(kThreadsShare, kThreadsPost, "www.threads.net");
        resolver.answer(kAmazonShort, kAmazonProduct, "a.co");
    }

    std::string sentence(std::string_view link) const {
        return "Look at this " + std::string(link) + " today";
    }
};

// --- One share link --------------------------------------------------------------

TEST_F(ShareLinkTest, CopiedShareLinkWaitsForResolutionWithoutBeingCounted) {
    copyAndPoll(sentence(kInstagramShare));
    EXPECT_TRUE(pasteboard->writes().empty());
    EXPECT_TRUE(monitor().hasPendingShareLinkResolution());
    ASSERT_TRUE(monitor().lastCleanedResult());
    EXPECT_EQ(monitor().lastCleanedResult()->originalURL, kInstagramShare);
    EXPECT_EQ(monitor().lastCleanedResult()->cleanedURL, kInstagramShare);
    EXPECT_TRUE(defaults->contains(ClipboardMonitor::lastCleanedResultKey));
    EXPECT_EQ(monitor().cleanedCountToday(), 0);
    EXPECT_EQ(cleanNotifications(), 0u);
    EXPECT_EQ(executor->submittedCount(), 0u) << "nothing is sent unless asked";
}

TEST_F(ShareLinkTest, TrackedShareLinkIsCleanedLocallyAndStillWaits) {
    copyAndPoll(std::string(kInstagramShare) + "?utm_source=x");
    EXPECT_EQ(pasteboard->text(), kInstagramShare);
    EXPECT_TRUE(monitor().hasPendingShareLinkResolution());
    EXPECT_EQ(monitor().lastCleanedResult()->cleanedURL, kInstagramShare);
    EXPECT_EQ(monitor().cleanedCountToday(), 0);
    // The monitor's own output, copied again, is not presented anew.
    pasteboard->copy(std::string(kInstagramShare));
    monitor().poll();
    EXPECT_EQ(monitor().lastCleanedResult()->originalURL,
              std::string(kInstagramShare) + "?utm_source=x");
}

TEST_F(ShareLinkTest, ResolvedLinkReplacesTheShareLinkInItsSentenceAndIsCounted) {
    copyAndPoll(sentence(kInstagramShare));
    monitor().resolvePendingShareLink();
    EXPECT_TRUE(monitor().isResolvingShareLink());
    EXPECT_EQ(executor->pendingCount(), 1u);
    EXPECT_TRUE(pasteboard->writes().empty()) << "the answer is applied on the main queue";

    settle();
    EXPECT_EQ(resolver.calls, std::vector<std::string>{std::string(kInstagramShare)});
    EXPECT_EQ(pasteboard->text(), sentence(kInstagramPost));
    EXPECT_FALSE(monitor().isResolvingShareLink());
    EXPECT_EQ(monitor().shareLinkResolutionError(), std::nullopt);
    EXPECT_FALSE(monitor().hasPendingShareLinkResolution());
    EXPECT_EQ(monitor().cleanedCountToday(), 1);
    EXPECT_EQ(stats->totalCleaned(), 1);

    const CleanResult& result = *monitor().lastCleanedResult();
    EXPECT_EQ(result.originalURL, kInstagramShare);
    EXPECT_EQ(result.cleanedURL, kInstagramPost);
    ASSERT_FALSE(result.operations.empty());
    EXPECT_EQ(result.operations.front().kind, CleanOperationKind::networkResolution);
    EXPECT_EQ(result.operations.front().contactedHost, "www.instagram.com");
    ASSERT_TRUE(recorder->current());
    EXPECT_EQ(recorder->current()->surface, "macOSNetworkResolution");
    EXPECT_EQ(poster->posted().back().body, "Resolved direct Instagram link");

    monitor().poll();  // the write was the monitor's own
    EXPECT_EQ(pasteboard->writes().size(), 1u);
}

TEST_F(ShareLinkTest, EachFailureIsReportedAndChangesNothing) {
    struct Case {
        std::optional<ShareLinkResolutionError> error;  // nothing: the resolver throws
        std::string_view message;
    };
    for (const Case& c : {
             Case{ShareLinkResolutionError::unsupported, "This is not a supported share link."},
             Case{ShareLinkResolutionError::unsafeRedirect,
                  "The link tried to leave the expected service, so Scourlet stopped."},
             Case{ShareLinkResolutionError::noCanonicalDestination,
                  "The service did not return a canonical post link."},
             Case{ShareLinkResolutionError::requestFailed,
                  "The share link could not be resolved. The current locally processed link was "
                  "kept."},
             Case{std::nullopt,
                  "The share link could not be resolved. The current locally processed link "
                  "remains available."},
         }) {
        resolver.throws = !c.error;
        if (c.error) {
            resolver.fail(kThreadsShare, *c.error);
        }
        copyAndPoll(sentence(kThreadsShare));
        const auto before = monitor().lastCleanedResult();
        monitor().resolvePendingShareLink();
        settle();
        EXPECT_EQ(monitor().shareLinkResolutionError(), c.message);
        EXPECT_FALSE(monitor().isResolvingShareLink());
        EXPECT_EQ(pasteboard->text(), sentence(kThreadsShare));
        EXPECT_EQ(monitor().lastCleanedResult(), before);
        EXPECT_TRUE(monitor().hasPendingShareLinkResolution());
    }
    EXPECT_TRUE(pasteboard->writes().empty());
    EXPECT_EQ(monitor().cleanedCountToday(), 0);
}

TEST_F(ShareLinkTest, NewerClipboardContentsWinOverASlowAnswer) {
    copyAndPoll(sentence(kAmazonShort));
    const auto pendingResult = monitor().lastCleanedResult();
    monitor().resolvePendingShareLink();
    ASSERT_EQ(executor->pendingCount(), 1u);

    pasteboard->copy("something the user copied meanwhile");
    settle();
    EXPECT_EQ(pasteboard->text(), "something the user copied meanwhile");
    EXPECT_EQ(monitor().shareLinkResolutionError(),
              "The clipboard changed. Its newer contents were kept.");
    EXPECT_FALSE(monitor().isResolvingShareLink());
    EXPECT_EQ(monitor().lastCleanedResult(), pendingResult);
    EXPECT_EQ(monitor().cleanedCountToday(), 0);
    EXPECT_EQ(stats->totalCleaned(), 0);
}

TEST_F(ShareLinkTest, RequestsThatFindNothingToDo) {
    // No last result.
    monitor().resolvePendingShareLink();
    EXPECT_EQ(executor->submittedCount(), 0u);

    // A short link that is pending by its host but has no resolvable shape.
    copyAndPoll("https://a.co/xyz");
    EXPECT_TRUE(monitor().hasPendingShareLinkResolution());
    monitor().resolvePendingShareLink();
    EXPECT_EQ(executor->submittedCount(), 0u);
    EXPECT_EQ(monitor().shareLinkResolutionError(), std::nullopt);

    // The clipboard no longer holds the link.
    copyAndPoll(std::string(kAmazonShort));
    pasteboard->copy("other text");
    monitor().resolvePendingShareLink();
    EXPECT_EQ(executor->submittedCount(), 0u);
    EXPECT_EQ(monitor().shareLinkResolutionError(),
              "The clipboard changed. Copy the share link again to resolve it.");
}

TEST_F(ShareLinkTest, ASecondRequestWhileResolvingIsIgnored) {
    copyAndPoll(std::string(kAmazonShort));
    monitor().resolvePendingShareLink();
    monitor().resolvePendingShareLink();
    EXPECT_EQ(executor->submittedCount(), 1u);
    settle();
    EXPECT_EQ(pasteboard->text(), kAmazonProduct);
    EXPECT_EQ(poster->posted().back().body, "Resolved direct Amazon product link");
}

TEST_F(ShareLinkTest, AutomaticResolutionStartsRightAfterTheClean) {
    monitor().setAutomaticShareLinkResolutionEnabled(true);
    copyAndPoll(sentence(kThreadsShare));
    EXPECT_EQ(executor->pendingCount(), 1u);
    settle();
    EXPECT_EQ(pasteboard->text(), sentence(kThreadsPost));
}

TEST_F(ShareLinkTest, AnswerArrivingAfterTheMonitorIsGoneIsDropped) {
    copyAndPoll(std::string(kAmazonShort));
    monitor().resolvePendingShareLink();
    monitor_.reset();
    settle();
    EXPECT_EQ(pasteboard->text(), kAmazonShort);
}

TEST_F(ShareLinkTest, ResolverRunsOnAnotherThreadAndItsAnswerOnTheMainQueue) {
    std::atomic<std::thread::id> resolverThread;
    auto env = environment();
    env.executor = std::make_shared<ThreadExecutor>();
    env.resolveShareLink = [&](std::string link) {
        resolverThread = std::this_thread::get_id();
        return Result<ResolvedShareLink, ShareLinkResolutionError>(
            ResolvedShareLink{link, std::string(kAmazonProduct), "a.co", 0});
    };
    auto threaded = std::make_unique<ClipboardMonitor>(cleaner, stats, notifications, makeGuard(),
                                                       defaults, pasteboard, env);
    pasteboard->copy(std::string(kAmazonShort));
    threaded->poll();
    threaded->resolvePendingShareLink();

    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (mainQueue->pendingCount() == 0 && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_NE(resolverThread.load(), std::this_thread::get_id());
    EXPECT_TRUE(threaded->isResolvingShareLink());
    mainQueue->runAll();
    EXPECT_EQ(pasteboard->text(), kAmazonProduct);
    EXPECT_FALSE(threaded->isResolvingShareLink());
}

// --- Share links inside a text of several links -----------------------------------

TEST_F(ShareLinkTest, BlockCountsItsTrackedLinkAndPresentsItsShareLink) {
    const std::string copied =
        "Read https://news.example/a?utm_source=x then " + std::string(kInstagramShare);
    copyAndPoll(copied);
    EXPECT_EQ(pasteboard->text(),
              "Read https://news.example/a then " + std::string(kInstagramShare));
    EXPECT_EQ(monitor().cleanedCountToday(), 1);
    EXPECT_EQ(monitor().lastCleanedResult()->cleanedURL, kInstagramShare);
    EXPECT_TRUE(monitor().hasPendingShareLinkResolution());

    monitor().resolvePendingShareLink();
    settle();
    EXPECT_EQ(pasteboard->text(),
              "Read https://news.example/a then " + std::string(kInstagramPost));
    EXPECT_EQ(monitor().cleanedCountToday(), 2);
    EXPECT_EQ(monitor().lastCleanedResult()->cleanedURL, kInstagramPost);
    EXPECT_FALSE(monitor().hasPendingShareLinkResolution());
    EXPECT_EQ(monitor().shareLinkResolutionError(), std::nullopt);

    // Restoring still gives back the text as it was first copied.
    EXPECT_TRUE(monitor().restoreLastOriginal());
    EXPECT_EQ(pasteboard->text(), copied);
}

TEST_F(ShareLinkTest, BlockLinksAreResolvedOneAtATimeAndAFailureLeavesItsLinkAlone) {
    resolver.fail(kInstagramShare, ShareLinkResolutionError::requestFailed);
    const std::string copied =
        "A " + std::string(kInstagramShare) + " B " + std::string(kThreadsShare) + " C";
    copyAndPoll(copied);
    EXPECT_TRUE(pasteboard->writes().empty()) << "nothing to clean locally";

    monitor().resolvePendingShareLink();
    EXPECT_EQ(executor->pendingCount(), 1u);
    executor->runAll();
    EXPECT_EQ(executor->pendingCount(), 0u) << "the next link waits for the main queue";
    mainQueue->runAll();
    EXPECT_EQ(executor->pendingCount(), 1u);
    settle();

    EXPECT_EQ(resolver.calls,
              (std::vector<std::string>{std::string(kInstagramShare), std::string(kThreadsShare)}));
    EXPECT_EQ(pasteboard->text(),
              "A " + std::string(kInstagramShare) + " B " + std::string(kThreadsPost) + " C");
    EXPECT_EQ(monitor().shareLinkResolutionError(),
              "Some shared links could not be resolved and were left unchanged.");
    EXPECT_EQ(monitor().cleanedCountToday(), 1);
    EXPECT_EQ(monitor().lastCleanedResult()->cleanedURL, kInstagramShare);
    EXPECT_TRUE(monitor().hasPendingShareLinkResolution());
    EXPECT_FALSE(monitor().isResolvingShareLink());
}

TEST_F(ShareLinkTest, BlockResolutionStopsWhenTheClipboardChanges) {
    const std::string copied = std::string(kInstagramShare) + " and " + std::string(kThreadsShare);
    copyAndPoll(copied);

    // Before the request.
    pasteboard->copy("changed before asking");
    monitor().resolvePendingShareLink();
    EXPECT_EQ(executor->submittedCount(), 0u);
    EXPECT_EQ(monitor().shareLinkResolutionError(),
              "The clipboard changed. Its newer contents were kept.");

    // While the first answer is on its way.
    copyAndPoll(copied + " ");
    monitor().resolvePendingShareLink();
    executor->runAll();
    pasteboard->copy("changed meanwhile");
    settle();
    EXPECT_EQ(resolver.calls.size(), 1u) << "the second link is not sent";
    EXPECT_EQ(pasteboard->text(), "changed meanwhile");
    EXPECT_EQ(monitor().shareLinkResolutionError(),
              "The clipboard changed. Its newer contents were kept.");
    EXPECT_EQ(monitor().cleanedCountToday(), 0);
    EXPECT_FALSE(monitor().isResolvingShareLink());
}

TEST_F(ShareLinkTest, BlockWrittenByTheMonitorIsNotCleanedAgainButMayBeResolved) {
    copyAndPoll("https://news.example/?utm_source=a " + std::string(kAmazonShort));
    const std::string written = *pasteboard->text();
    ASSERT_EQ(monitor().cleanedCountToday(), 1);

    monitor().setAutomaticShareLinkResolutionEnabled(true);
    pasteboard->copy(written);  // copied again
    monitor().poll();
    EXPECT_EQ(pasteboard->writes().size(), 1u);
    EXPECT_EQ(monitor().cleanedCountToday(), 1);
    EXPECT_EQ(executor->pendingCount(), 1u);
    settle();
    EXPECT_EQ(pasteboard->text(), "https://news.example/ " + std::string(kAmazonProduct));
}

TEST_F(ShareLinkTest, BlockStateDecidesWhatIsPending) {
    copyAndPoll(std::string(kAmazonShort));  // pending single link
    ASSERT_TRUE(monitor().hasPendingShareLinkResolution());
    copyAndPoll("https://a.example/ https://b.example/");
    // The last result is still the share link, but the last clean was of a
    // block without one.
    EXPECT_EQ(monitor().lastCleanedResult()->cleanedURL, kAmazonShort);
    EXPECT_FALSE(monitor().hasPendingShareLinkResolution());
    monitor().resolvePendingShareLink();
    EXPECT_EQ(executor->submittedCount(), 0u);
}

}  // namespace
}  // namespace scourlet
