#include "ScourletCore/clipboard/NotificationManager.h"

#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "support/ManualMainQueue.h"
#include "support/RecordingNotificationPoster.h"

namespace scourlet {
namespace {

using testing::ManualMainQueue;
using testing::RecordingNotificationPoster;

CleanResult removal(std::int64_t count, std::vector<std::string> names) {
    CleanResult result;
    result.originalURL = "https://example.com/?a=1";
    result.cleanedURL = "https://example.com/";
    result.paramsRemoved = count;
    result.removedQueryParameters = std::move(names);
    return result;
}

CleanOperation resolution(std::optional<std::string> host) {
    return CleanOperation{CleanOperationKind::networkResolution,
                          "https://a.co/d/abc",
                          "https://www.amazon.com/dp/B0",
                          {},
                          true,
                          std::move(host),
                          std::nullopt};
}

CommandRiskFinding finding(std::string id, CommandRiskSeverity severity, std::string summary) {
    return CommandRiskFinding{std::move(id), "shell", severity, std::move(summary), "", ""};
}

class NotificationManagerTest : public ::testing::Test {
protected:
    std::unique_ptr<NotificationManager> makeManager(bool withPoster = true) {
        return std::make_unique<NotificationManager>(defaults, withPoster ? poster : nullptr,
                                                     queue);
    }

    // A manager whose poster has answered the permission request.
    std::unique_ptr<NotificationManager> authorizedManager() {
        auto manager = makeManager();
        poster->answerAtOnce(true);
        manager->requestPermission();
        queue->runAll();
        return manager;
    }

    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<RecordingNotificationPoster> poster =
        std::make_shared<RecordingNotificationPoster>();
    std::shared_ptr<ManualMainQueue> queue = std::make_shared<ManualMainQueue>();
};

TEST_F(NotificationManagerTest, SwitchesReadOnWhileAbsentAndAreStoredOnEverySet) {
    defaults->setBool(NotificationManager::kCommandWarningsEnabledKey, false);
    auto manager = makeManager();
    EXPECT_TRUE(manager->isEnabled());
    EXPECT_FALSE(manager->areCommandWarningsEnabled());
    EXPECT_FALSE(defaults->contains(NotificationManager::kEnabledKey)) << "init wrote back";

    // Observers run before the store is written.
    std::optional<bool> storedWhenPublished;
    Connection watch = manager->isEnabledPublisher().connect([&](const bool&) {
        storedWhenPublished = defaults->contains(NotificationManager::kEnabledKey);
    });
    manager->setIsEnabled(true);
    EXPECT_EQ(storedWhenPublished, false);
    EXPECT_TRUE(defaults->boolForKey(NotificationManager::kEnabledKey));
    manager->setAreCommandWarningsEnabled(true);
    EXPECT_TRUE(defaults->boolForKey(NotificationManager::kCommandWarningsEnabledKey));
}

TEST_F(NotificationManagerTest, PostsOnlyWithPosterPermissionAndSwitch) {
    struct Case {
        const char* name;
        bool withPoster;
        std::optional<bool> answer;  // nothing: the service never answered
        bool cleanSwitch;
        bool warningSwitch;
        std::vector<std::string> expectedTitles;
    };
    const Case cases[] = {
        {"granted", true, true, true, true, {"URL Cleaned", "Risky command copied"}},
        {"no poster", false, std::nullopt, true, true, {}},
        {"not answered yet", true, std::nullopt, true, true, {}},
        {"denied", true, false, true, true, {}},
        {"cleans off", true, true, false, true, {"Risky command copied"}},
        {"warnings off", true, true, true, false, {"URL Cleaned"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        poster = std::make_shared<RecordingNotificationPoster>();
        auto manager = makeManager(c.withPoster);
        manager->setIsEnabled(c.cleanSwitch);
        manager->setAreCommandWarningsEnabled(c.warningSwitch);
        manager->requestPermission();
        if (c.answer) {
            poster->answerPending(*c.answer);
        }
        queue->runAll();

        manager->sendCleanNotification(removal(1, {"gclid"}));
        manager->sendCommandWarningNotification(CommandRiskResult{});
        std::vector<std::string> titles;
        for (const auto& n : poster->posted()) {
            titles.push_back(n.title);
        }
        EXPECT_EQ(titles, c.expectedTitles);
    }
}

TEST_F(NotificationManagerTest, PermissionAnswerFromAnotherThreadAppliesOnTheMainQueue) {
    auto manager = makeManager();
    manager->requestPermission();
    EXPECT_EQ(poster->permissionRequests(), 1u);
    std::thread service([this] { poster->answerPending(true); });
    service.join();
    EXPECT_FALSE(manager->authorized()) << "written off the main queue";
    EXPECT_FALSE(manager->canPostNotifications());
    queue->runAll();
    EXPECT_TRUE(manager->authorized());
    EXPECT_TRUE(manager->canPostNotifications());

    // A later refusal takes permission away again.
    manager->requestPermission();
    poster->answerPending(false);
    queue->runAll();
    EXPECT_FALSE(manager->canPostNotifications());
}

TEST_F(NotificationManagerTest, AnswerArrivingAfterTheManagerIsGoneIsDropped) {
    auto manager = makeManager();
    manager->requestPermission();
    manager.reset();
    poster->answerPending(true);
    EXPECT_EQ(queue->runAll(), 1);  // runs, and touches nothing
}

TEST_F(NotificationManagerTest, EachNotificationHasAFreshUUIDAndTheBody) {
    auto manager = authorizedManager();
    manager->sendCleanNotification(removal(3, {"utm_source", "utm_medium", "fbclid"}));
    manager->sendCleanNotification(removal(0, {}));
    const auto posted = poster->posted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].body, "Removed 3 trackers: utm_source, utm_medium, +1 more");
    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    EXPECT_TRUE(std::regex_match(posted[0].identifier, uuid)) << posted[0].identifier;
    EXPECT_NE(posted[0].identifier, posted[1].identifier);
}

TEST_F(NotificationManagerTest, CleanNotificationBody) {
    struct Case {
        const char* name;
        CleanResult result;
        std::string body;
    };
    std::vector<Case> cases = {
        {"no names", removal(0, {}), "Removed 0 trackers"},
        {"one", removal(1, {"gclid"}), "Removed 1 tracker: gclid"},
        {"two names", removal(2, {"a", "b"}), "Removed 2 trackers: a, b"},
        {"more names than two", removal(4, {"a", "b", "c", "d"}),
         "Removed 4 trackers: a, b, +2 more"},
        {"count and names disagree", removal(5, {"a"}), "Removed 5 trackers: a"},
    };
    CleanResult amazon = removal(0, {});
    amazon.operations = {resolution("A.CO")};
    cases.push_back({"amazon host in capitals", amazon, "Resolved direct Amazon product link"});
    CleanResult threads = removal(2, {"igsh"});
    threads.operations = {CleanOperation{}, resolution("www.threads.net"), resolution("a.co")};
    cases.push_back({"first resolution counts", threads, "Resolved direct Threads link"});
    CleanResult instagram = removal(0, {});
    instagram.operations = {resolution(std::nullopt)};
    cases.push_back({"no contacted host", instagram, "Resolved direct Instagram link"});
    CleanResult rewritten = removal(0, {});
    rewritten.privacyRedirect =
        PrivacyRedirectInfo{PrivacyRedirectService::xTwitter, "x.com", "nitter.example"};
    cases.push_back(
        {"rewrite only", rewritten, "Rewritten for privacy: x.com \u2192 nitter.example"});
    CleanResult both = rewritten;
    both.paramsRemoved = 2;
    both.removedQueryParameters = {"s", "t"};
    cases.push_back({"rewrite with removals", both, "Removed 2 trackers: s, t"});

    for (const Case& c : cases) {
        EXPECT_EQ(NotificationManager::notificationBody(c.result), c.body) << c.name;
    }
}

TEST_F(NotificationManagerTest, CommandWarningUsesThePrimaryFinding) {
    auto manager = authorizedManager();
    manager->setIsEnabled(false);  // does not gate warnings
    CommandRiskResult risk;
    risk.severity = CommandRiskSeverity::danger;
    // Stored out of finding order: the danger finding is still the primary one.
    risk.findings = {
        finding("b-warn", CommandRiskSeverity::warning, "Changes permissions"),
        finding("z-danger", CommandRiskSeverity::danger, "Pipes a download into a shell")};
    manager->sendCommandWarningNotification(risk);
    manager->sendCommandWarningNotification(CommandRiskResult{}, true);

    const auto posted = poster->posted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].title, "Risky command copied");
    EXPECT_EQ(posted[0].body, "Pipes a download into a shell");
    EXPECT_EQ(posted[1].title, "Risky command neutralized");
    EXPECT_EQ(posted[1].body,
              "Scourlet found a risky terminal command pattern. Clipboard replaced with "
              "commented text.");
}

TEST_F(NotificationManagerTest, NeutralizedNoteFollowsTheSummaryAsASentenceOfItsOwn) {
    struct Case {
        const char* name;
        std::string summary;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"phrase", "Downloads a script and runs it in a shell",
         "Downloads a script and runs it in a shell. Clipboard replaced with commented text."},
        {"full stop", "Runs a download.",
         "Runs a download. Clipboard replaced with commented text."},
        {"exclamation", "Erases the disk!",
         "Erases the disk! Clipboard replaced with commented text."},
        {"trailing blank", "Pipes to a shell ",
         "Pipes to a shell. Clipboard replaced with commented text."},
        {"empty", "", "Clipboard replaced with commented text."},
    };
    for (const Case& c : cases) {
        CommandRiskResult risk;
        risk.severity = CommandRiskSeverity::danger;
        risk.findings = {finding("pipe", CommandRiskSeverity::danger, c.summary)};
        EXPECT_EQ(NotificationManager::commandWarningBody(risk, true), c.body) << c.name;
        EXPECT_EQ(NotificationManager::commandWarningBody(risk, false), c.summary) << c.name;
    }
}

}  // namespace
}  // namespace scourlet
