#include "safari-extension/NativeMessageHandler.h"

#include <gtest/gtest.h>

#include "ScourletCore/clipboard/MissedTrackerReportBuilder.h"
#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"
#include "ScourletCore/platform/DefaultsSuites.h"
#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/rules/DomainExceptionStore.h"
#include "nativehost/NativeHostTestSupport.h"
#include "support/ForkedProcesses.h"
#include "support/ScopedEnvironment.h"

namespace scourlet::nativehost {
namespace {

using testing::HandlerFixture;

class NativeMessageHandlerTest : public ::testing::Test, public HandlerFixture {};

// Requests that must get a negative or fixed answer and change nothing.
TEST_F(NativeMessageHandlerTest, MalformedAndNegativeRequestsChangeNothing) {
    struct Case {
        Json request;
        Json reply;
    };
    const Json missingHostOrFlag = {{"ok", false}, {"error", "Missing host or disabled flag"}};
    const Json missingOriginal = {{"ok", false}, {"error", "Missing originalURL"}};
    const std::vector<Case> cases = {
        {Json::object(), {{"error", "Unknown action: "}}},
        {Json::array({"cleanURL"}), {{"error", "Unknown action: "}}},
        {{{"action", 5}}, {{"error", "Unknown action: "}}},
        {{{"action", "CleanURL"}}, {{"error", "Unknown action: CleanURL"}}},
        {{{"action", "recordStat"}, {"count", 3}}, {{"recorded", true}}},
        {{{"action", "cleanURL"}}, {{"cleaned", false}}},
        {{{"action", "cleanURL"}, {"url", 7}}, {{"cleaned", false}}},
        {{{"action", "cleanURL"}, {"url", "no link here"}}, {{"cleaned", false}}},
        {{{"action", "cleanURL"}, {"url", "ftp://example.com/?utm_source=x"}},
         {{"cleaned", false}}},
        {{{"action", "cleanURL"}, {"url", "https://example.com/page?id=1"}}, {{"cleaned", false}}},
        {{{"action", "setXRedirectChoice"}}, {{"ok", false}}},
        {{{"action", "setXRedirectChoice"}, {"choice", "Nitter"}}, {{"ok", false}}},
        {{{"action", "setXRedirectChoice"}, {"choice", true}}, {{"ok", false}}},
        {{{"action", "isDomainDisabled"}}, {{"disabled", false}}},
        {{{"action", "isDomainDisabled"}, {"host", "   "}}, {{"disabled", false}}},
        {{{"action", "isDomainDisabled"}, {"url", "https://www./x"}}, {{"disabled", false}}},
        {{{"action", "setDomainDisabled"}, {"host", "a.example"}}, missingHostOrFlag},
        {{{"action", "setDomainDisabled"}, {"host", "a.example"}, {"disabled", "true"}},
         missingHostOrFlag},
        {{{"action", "setDomainDisabled"}, {"host", "a.example"}, {"disabled", 1}},
         missingHostOrFlag},
        {{{"action", "setDomainDisabled"}, {"disabled", true}}, missingHostOrFlag},
        // A blank host names no site: it must not become an exception for "".
        {{{"action", "setDomainDisabled"}, {"host", " www. "}, {"disabled", true}},
         missingHostOrFlag},
        {{{"action", "setDomainDisabled"}, {"url", "mailto:a@b.example"}, {"disabled", true}},
         missingHostOrFlag},
        {{{"action", "getLastClean"}}, {{"available", false}}},
        {{{"action", "applyLastClean"}}, {{"applied", false}}},
        {{{"action", "recordContentClean"}, {"originalURL", "https://a.example/"}},
         {{"recorded", false}}},
        {{{"action", "recordContentClean"}, {"originalURL", 1}, {"cleanedURL", "x"}},
         {{"recorded", false}}},
        {{{"action", "buildMissedReport"}}, missingOriginal},
        {{{"action", "buildMissedReport"}, {"originalURL", 3}}, missingOriginal},
        {{{"action", "copyMissedReport"}, {"note", "n"}}, missingOriginal},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(send(c.request), c.reply) << c.request.dump();
    }
    EXPECT_TRUE(defaults->dictionaryRepresentation().empty());
    EXPECT_TRUE(appGroup->dictionaryRepresentation().empty());
    EXPECT_TRUE(clipboard->written.empty());
    EXPECT_EQ(send({{"action", "getLastClean"}}), Json({{"available", false}}));
}

TEST_F(NativeMessageHandlerTest, XRedirectChoiceLivesInTheHostsOwnSettings) {
    EXPECT_EQ(send({{"action", "getXRedirectChoice"}}), Json({{"ok", true}, {"choice", "off"}}));

    EXPECT_EQ(send({{"action", "setXRedirectChoice"}, {"choice", "nitter"}}),
              Json({{"ok", true}, {"choice", "nitter"}}));
    EXPECT_EQ(defaults->stringForKey(PrivacyRedirectSettings::xRedirectChoiceKey), "nitter");
    EXPECT_EQ(flushes, 1);
    EXPECT_EQ(send({{"action", "setXRedirectChoice"}, {"choice", "NITTER"}}),
              Json({{"ok", false}}));
    EXPECT_EQ(send({{"action", "getXRedirectChoice"}}), Json({{"ok", true}, {"choice", "nitter"}}));

    // The application's choice in the app group is not the extension's; its
    // older Nitter flag there still decides when the extension stored none.
    defaults->removeObject(PrivacyRedirectSettings::xRedirectChoiceKey);
    appGroup->setString(PrivacyRedirectSettings::xRedirectChoiceKey, "twitterViewer");
    EXPECT_EQ(send({{"action", "getXRedirectChoice"}})["choice"], "off");
    appGroup->setBool(PrivacyRedirectSettings::nitterEnabledKey, true);
    EXPECT_EQ(send({{"action", "getXRedirectChoice"}})["choice"], "nitter");
}

TEST_F(NativeMessageHandlerTest, TheOldXRedirectSwitchIsPinnedOff) {
    for (const char* action : {"getXRedirectEnabled", "setXRedirectEnabled"}) {
        defaults->setBool(PrivacyRedirectSettings::xRedirectEnabledKey, true);
        EXPECT_EQ(send({{"action", action}, {"enabled", true}}),
                  Json({{"ok", true}, {"enabled", false}}));
        EXPECT_EQ(defaults->object(PrivacyRedirectSettings::xRedirectEnabledKey), Json(false));
    }
}

TEST_F(NativeMessageHandlerTest, CleanURLAnswersTheResultAndRecordsTheLastClean) {
    const std::string link = "https://www.example.com/p?utm_source=a&ref=b&id=1";
    EXPECT_EQ(send({{"action", "cleanURL"}, {"url", link}}),
              Json({{"cleaned", true},
                    {"cleanedURL", "https://www.example.com/p?id=1"},
                    {"paramsRemoved", 2},
                    {"removedQueryParameters", {"utm_source", "ref"}}}));
    EXPECT_EQ(send({{"action", "getLastClean"}, {"host", "example.com"}}),
              Json({{"available", true},
                    {"originalURL", link},
                    {"cleanedURL", "https://www.example.com/p?id=1"}}));

    // A rule switched off by the application's rule settings applies to the next clean.
    const std::string switches = R"({"rule:Analytics:ref":false})";
    defaults->setData(RulesEngine::enabledStateKey, DefaultsData(switches.begin(), switches.end()));
    EXPECT_EQ(send({{"action", "cleanURL"}, {"url", link}})["removedQueryParameters"],
              Json::array({"utm_source"}));
}

TEST_F(NativeMessageHandlerTest, PrivacyRedirectsAreDescribed) {
    defaults->setString(PrivacyRedirectSettings::xRedirectChoiceKey, "twitterViewer");
    defaults->setBool(PrivacyRedirectSettings::redditRedirectEnabledKey, true);
    defaults->setString(PrivacyRedirectSettings::redditFrontendBaseURLKey,
                        "https://redlib.example");

    EXPECT_EQ(send({{"action", "cleanURL"}, {"url", "https://x.com/someone"}}),
              Json({{"cleaned", true},
                    {"cleanedURL", "https://twitterviewer.net/someone"},
                    {"paramsRemoved", 0},
                    {"removedQueryParameters", Json::array()},
                    {"xRedirectVerified", true},
                    {"xRedirectChoice", "twitterViewer"},
                    {"privacyRedirect",
                     {{"service", "xTwitter"},
                      {"originalHost", "x.com"},
                      {"frontend", "twitterviewer.net"}}}}));

    const Json reddit = send({{"action", "cleanURL"}, {"url", "https://old.reddit.com/r/x/"}});
    EXPECT_EQ(reddit["cleanedURL"], "https://redlib.example/r/x/");
    EXPECT_EQ(reddit["xRedirectVerified"], false);
    EXPECT_EQ(reddit["privacyRedirect"], Json({{"service", "reddit"},
                                               {"originalHost", "old.reddit.com"},
                                               {"frontend", "redlib.example"}}));
}

TEST_F(NativeMessageHandlerTest, SiteExceptionsByHostOrLink) {
    EXPECT_EQ(
        send({{"action", "setDomainDisabled"}, {"host", " WWW.Shop.Example "}, {"disabled", true}}),
        Json({{"ok", true}, {"host", "shop.example"}, {"disabled", true}}));
    EXPECT_EQ(flushes, 1);
    EXPECT_EQ(
        send({{"action", "isDomainDisabled"}, {"host", ""}, {"url", "https://shop.example/a"}}),
        Json({{"host", "shop.example"}, {"disabled", true}}));
    EXPECT_EQ(send({{"action", "cleanURL"}, {"url", "https://www.shop.example/?utm_source=1"}}),
              Json({{"cleaned", false}, {"skippedDisabled", true}, {"host", "shop.example"}}));

    // A blank host falls back to the link.
    EXPECT_EQ(send({{"action", "setDomainDisabled"},
                    {"host", "www."},
                    {"url", "https://shop.example/"},
                    {"disabled", false}}),
              Json({{"ok", true}, {"host", "shop.example"}, {"disabled", false}}));
    EXPECT_EQ(send({{"action", "isDomainDisabled"}, {"host", "shop.example"}}),
              Json({{"host", "shop.example"}, {"disabled", false}}));
    EXPECT_EQ(
        send({{"action", "cleanURL"}, {"url", "https://shop.example/?utm_source=1"}})["cleaned"],
        true);
    EXPECT_EQ(DomainExceptionStore(defaults).disabledDomains(), std::vector<DomainException>{});
}

TEST_F(NativeMessageHandlerTest, LastCleanIsHandedOverOnceAndOnlyToItsSite) {
    EXPECT_EQ(send({{"action", "recordContentClean"},
                    {"originalURL", "https://news.example/a?utm_source=x"},
                    {"cleanedURL", "https://news.example/a"}}),
              Json({{"recorded", true}}));
    const Json available = {{"available", true},
                            {"originalURL", "https://news.example/a?utm_source=x"},
                            {"cleanedURL", "https://news.example/a"}};
    EXPECT_EQ(send({{"action", "getLastClean"}}), available);
    EXPECT_EQ(send({{"action", "getLastClean"}, {"url", "https://www.news.example/other"}}),
              available);
    EXPECT_EQ(send({{"action", "getLastClean"}, {"host", "other.example"}}),
              Json({{"available", false}}));
    // A host that is blank once normalized names no site, so not this one;
    // beside a link, the link's host counts.
    for (const char* blank : {"   ", "www.", " WWW. ", "\t\n"}) {
        EXPECT_EQ(send({{"action", "getLastClean"}, {"host", blank}}),
                  Json({{"available", false}}))
            << blank;
        EXPECT_EQ(send({{"action", "getLastClean"}, {"host", blank}, {"url", "mailto:a@b.example"}}),
                  Json({{"available", false}}))
            << blank;
    }
    EXPECT_EQ(send({{"action", "getLastClean"}, {"host", "www."}, {"url", "https://news.example/"}}),
              available);

    EXPECT_EQ(send({{"action", "applyLastClean"}}),
              Json({{"applied", true}, {"originalURL", "https://news.example/a?utm_source=x"}}));
    EXPECT_EQ(send({{"action", "applyLastClean"}}), Json({{"applied", false}}));
    EXPECT_EQ(send({{"action", "getLastClean"}}), Json({{"available", false}}));
}

class MissedReportTest : public NativeMessageHandlerTest {
protected:
    // The report the host must build for `result` and `note`.
    MissedTrackerReport expectedReport(const CleanResult& result, const std::string& note) {
        return MissedTrackerReportBuilder::build(result, MissedTrackerReport::Platform::linux,
                                                 environment().osVersion, "1.4.2", "42",
                                                 MissedTrackerReport::Surface::browserExtension,
                                                 note, std::nullopt, std::nullopt, clock.now());
    }
    Json expectedReply(const MissedTrackerReport& report) {
        Json reply = {{"ok", true}, {"subject", report.subject()}, {"body", report.bodyText()}};
        if (report.mailtoIsSafeLength()) {
            reply["mailtoURL"] = *report.mailtoURL();
        }
        return reply;
    }
};

TEST_F(MissedReportTest, ReportOfACleanedLinkUsesTheRulesResult) {
    const Json reply = send({{"action", "buildMissedReport"},
                             {"originalURL", "https://example.com/p?ref=x&q=1"},
                             {"cleanedURL", "https://ignored.example/"},
                             {"note", "q is tracking too"}});
    CleanResult result;
    result.originalURL = "https://example.com/p?ref=x&q=1";
    result.cleanedURL = "https://example.com/p?q=1";
    result.paramsRemoved = 1;
    result.removedQueryParameters = {"ref"};
    result.matchedRuleIDs = {"Analytics:ref"};
    result.matchedCategories = {RuleCategoryType::analytics};
    const MissedTrackerReport report = expectedReport(result, "q is tracking too");
    EXPECT_EQ(reply["subject"], report.subject());
    EXPECT_EQ(reply["body"], report.bodyText());
    EXPECT_TRUE(reply.contains("mailtoURL"));
    // The platform and surface are what serves the extension here, in the
    // text and in its machine-readable appendix alike.
    const std::string body = reply["body"].get<std::string>();
    for (const char* says :
         {"Platform:\nLinux Debian GNU/Linux 12", "Surface:\nBrowser Extension\n",
          "\"platform\": \"Linux\"", "\"surface\": \"Browser Extension\""}) {
        EXPECT_NE(body.find(says), std::string::npos) << says << "\n" << body;
    }
    EXPECT_EQ(body.find("Safari"), std::string::npos) << body;
}

TEST_F(MissedReportTest, ReportOfAnUnchangedLinkUsesTheRequestOrTheOriginal) {
    for (const auto& [given, cleaned] : std::vector<std::pair<Json, std::string>>{
             {"https://mine.example/", "https://mine.example/"},
             {Json(5), "https://example.com/keep?id=1"},
             {Json(), "https://example.com/keep?id=1"}}) {
        Json request = {{"action", "buildMissedReport"},
                        {"originalURL", "https://example.com/keep?id=1"}};
        if (!given.is_null()) {
            request["cleanedURL"] = given;
        }
        CleanResult result;
        result.originalURL = "https://example.com/keep?id=1";
        result.cleanedURL = cleaned;
        EXPECT_EQ(send(request), expectedReply(expectedReport(result, ""))) << given.dump();
    }
}

TEST_F(MissedReportTest, MailtoLinkIsOfferedUpTo8192Characters) {
    // Find inputs whose mailto link is exactly 8192 and 8193 characters long.
    // A letter of the path counts four times and one of the note twice; a
    // quote in the note nine times ("%22" in the text, "%5C%22" in the JSON).
    auto requestFor = [](std::size_t pathLength, std::size_t noteLength, bool quote) {
        return Json{{"action", "buildMissedReport"},
                    {"originalURL", "https://example.com/" + std::string(pathLength, 'p')},
                    {"note", std::string(noteLength, 'n') + (quote ? "\"" : "")}};
    };
    auto mailtoLength = [&](const Json& request) {
        CleanResult result;
        result.originalURL = result.cleanedURL = request["originalURL"].get<std::string>();
        const auto mailto = expectedReport(result, request["note"].get<std::string>()).mailtoURL();
        return mailto ? mailto->size() : 0;
    };
    std::optional<Json> atLimit;
    std::optional<Json> overLimit;
    // Start a little below the path length that the growth per letter points to.
    const std::size_t base = mailtoLength(requestFor(1000, 0, false));
    const std::size_t perLetter = mailtoLength(requestFor(1001, 0, false)) - base;
    ASSERT_GT(perLetter, 0u);
    ASSERT_LT(base, 8192u);
    const std::size_t start = 1000 + (8192 - base) / perLetter - 4;
    for (std::size_t path = start; path < start + 16 && !(atLimit && overLimit); ++path) {
        for (std::size_t note = 0; note < 4; ++note) {
            for (const bool quote : {false, true}) {
                const Json request = requestFor(path, note, quote);
                const std::size_t length = mailtoLength(request);
                if (length == 8192 && !atLimit) {
                    atLimit = request;
                } else if (length == 8193 && !overLimit) {
                    overLimit = request;
                }
            }
        }
    }
    ASSERT_TRUE(atLimit && overLimit) << "no inputs give the boundary lengths";

    const Json at = send(*atLimit);
    ASSERT_TRUE(at.contains("mailtoURL"));
    EXPECT_EQ(at["mailtoURL"].get<std::string>().size(), 8192u);
    const Json over = send(*overLimit);
    EXPECT_EQ(over["ok"], true);
    EXPECT_FALSE(over.contains("mailtoURL"));
    EXPECT_TRUE(over.contains("body"));
}

TEST_F(MissedReportTest, CopyPutsTheBodyOnTheClipboardAndReportsAFailedWrite) {
    const Json request = {{"action", "copyMissedReport"},
                          {"originalURL", "https://example.com/?ref=1"}};
    const Json built =
        send({{"action", "buildMissedReport"}, {"originalURL", "https://example.com/?ref=1"}});

    EXPECT_EQ(send(request), Json({{"ok", true}}));
    ASSERT_EQ(clipboard->written.size(), 1u);
    EXPECT_EQ(clipboard->written[0], built["body"]);

    clipboard->failure = "xclip exited with status 1";
    EXPECT_EQ(send(request), Json({{"ok", false}, {"error", "Could not copy the report"}}));
}

// Two host processes over one settings file, as when two browsers (or two
// messages of an extension without an open port) start the host at once.
TEST(NativeMessageHandlerProcesses, ChangesOfAnotherHostAreSeenAndKept) {
    scourlet::testing::TempDir settingsDir;
    const auto file = settingsDir / "com.morrowgate.scourlet.safari-extension.json";
    auto settingsA = std::make_shared<FileUserDefaults>(file);
    auto settingsB = std::make_shared<FileUserDefaults>(file);
    HandlerFixture a(settingsA);
    HandlerFixture b(settingsB);
    a.handler = std::make_unique<NativeMessageHandler>([&] {
        auto e = a.environment();
        e.saveSettings = [settingsA] { return settingsA->synchronize(); };
        return e;
    }());
    b.handler = std::make_unique<NativeMessageHandler>([&] {
        auto e = b.environment();
        e.saveSettings = [settingsB] { return settingsB->synchronize(); };
        return e;
    }());
    // Both have looked at the (empty) list before either changes it.
    EXPECT_EQ(a.send({{"action", "isDomainDisabled"}, {"host", "b.example"}})["disabled"], false);
    EXPECT_EQ(b.send({{"action", "isDomainDisabled"}, {"host", "a.example"}})["disabled"], false);

    EXPECT_EQ(
        a.send({{"action", "setDomainDisabled"}, {"host", "a.example"}, {"disabled", true}})["ok"],
        true);
    EXPECT_EQ(
        b.send({{"action", "setDomainDisabled"}, {"host", "b.example"}, {"disabled", true}})["ok"],
        true);

    EXPECT_EQ(a.send({{"action", "isDomainDisabled"}, {"host", "b.example"}})["disabled"], true);
    EXPECT_EQ(a.send({{"action", "cleanURL"}, {"url", "https://b.example/?utm_source=x"}}),
              Json({{"cleaned", false}, {"skippedDisabled", true}, {"host", "b.example"}}));
    EXPECT_EQ(b.send({{"action", "isDomainDisabled"}, {"host", "a.example"}})["disabled"], true);

    // What is on disk, as a third process would read it.
    auto stored = std::make_shared<InMemoryUserDefaults>();
    for (auto& [key, value] : FileUserDefaults::readOnlySnapshot(file)) {
        stored->set(key, value);
    }
    EXPECT_EQ(DomainExceptionStore(stored).disabledDomains(),
              (std::vector<DomainException>{{"a.example"}, {"b.example"}}));

    ASSERT_EQ(b.send({{"action", "setXRedirectChoice"}, {"choice", "twitterViewer"}})["ok"], true);
    EXPECT_EQ(a.send({{"action", "getXRedirectChoice"}})["choice"], "twitterViewer");
}

// Four host processes changing exceptions at the same time over one settings
// file: each writes its change before it answers, and none may undo another's.
TEST(NativeMessageHandlerProcesses, ExceptionsSetAtOnceByManyHostsAreAllKept) {
    constexpr int kProcesses = 4;
    constexpr int kHostsEach = 100;
    scourlet::testing::TempDir settingsDir;
    const auto file = settingsDir / "com.morrowgate.scourlet.safari-extension.json";
    const bool succeeded = scourlet::testing::runInForkedProcesses(kProcesses, [&](int process) {
        auto settings = std::make_shared<FileUserDefaults>(file);
        HandlerFixture host(settings);
        host.handler = std::make_unique<NativeMessageHandler>([&] {
            auto e = host.environment();
            e.saveSettings = [settings] { return settings->synchronize(); };
            return e;
        }());
        for (int i = 0; i < kHostsEach; ++i) {
            const std::string site = "p" + std::to_string(process) + "-" + std::to_string(i) + ".example";
            if (host.send({{"action", "setDomainDisabled"}, {"host", site}, {"disabled", true}}) !=
                Json({{"ok", true}, {"host", site}, {"disabled", true}})) {
                return false;
            }
        }
        return true;
    });
    ASSERT_TRUE(succeeded);

    HandlerFixture fresh(std::make_shared<FileUserDefaults>(file));
    EXPECT_EQ(DomainExceptionStore(fresh.defaults).disabledDomains().size(),
              static_cast<std::size_t>(kProcesses * kHostsEach));
    for (int process = 0; process < kProcesses; ++process) {
        for (int i = 0; i < kHostsEach; ++i) {
            const std::string site = "p" + std::to_string(process) + "-" + std::to_string(i) + ".example";
            ASSERT_EQ(fresh.send({{"action", "isDomainDisabled"}, {"host", site}})["disabled"], true)
                << site;
        }
    }
}

// With a file where the settings folder should be, nothing can be saved: the
// host says so, and what it shows and what a later save writes are what is on
// disk, not the change it could not save.
TEST(NativeMessageHandlerStandard, AChangeThatCannotBeSavedIsRefusedAndDropped) {
    scourlet::testing::TempDir configHome;
    scourlet::testing::ScopedEnvironment env;
    env.set("XDG_CONFIG_HOME", configHome.path().string());
    const auto blocker = configHome / "scourlet";
    scourlet::testing::writeFile(blocker, "a file where the settings folder should be");

    NativeMessageHandler handler(NativeMessageHandler::Environment::standard());
    const Json saveFailed = {{"ok", false}, {"error", "Could not save the setting"}};
    EXPECT_EQ(handler.handle({{"action", "setDomainDisabled"}, {"host", "shop.example"}, {"disabled", true}}),
              saveFailed);
    EXPECT_EQ(handler.handle({{"action", "isDomainDisabled"}, {"host", "shop.example"}}),
              Json({{"host", "shop.example"}, {"disabled", false}}));
    EXPECT_EQ(handler.handle({{"action", "cleanURL"}, {"url", "https://shop.example/?utm_source=x"}})["cleaned"],
              true);
    EXPECT_EQ(handler.handle({{"action", "setXRedirectChoice"}, {"choice", "twitterViewer"}}),
              saveFailed);
    EXPECT_EQ(handler.handle({{"action", "getXRedirectChoice"}}),
              Json({{"ok", true}, {"choice", "off"}}));
    EXPECT_EQ(handler.handle({{"action", "setXRedirectEnabled"}}), saveFailed);
    EXPECT_EQ(scourlet::testing::readFile(blocker), "a file where the settings folder should be");

    // Once the folder can be made, the next change is saved, and only it.
    std::filesystem::remove(blocker);
    EXPECT_EQ(handler.handle({{"action", "setDomainDisabled"}, {"host", "other.example"}, {"disabled", true}})["ok"],
              true);
    const auto own = FileUserDefaults::suiteFile(kSafariExtensionSuiteName);
    ASSERT_TRUE(own);
    auto stored = std::make_shared<InMemoryUserDefaults>();
    for (auto& [key, value] : FileUserDefaults::readOnlySnapshot(*own)) {
        stored->set(key, value);
    }
    EXPECT_EQ(DomainExceptionStore(stored).disabledDomains(),
              std::vector<DomainException>{{"other.example"}});
    EXPECT_FALSE(stored->contains("privacyRedirects_xRedirectChoice"));
}

// The running host's own wiring reads the application's shared settings
// without writing, locking or replacing its file.
TEST(NativeMessageHandlerStandard, ReadsTheAppGroupSuiteWithoutTouchingIt) {
    const auto appGroupFile = FileUserDefaults::suiteFile(kAppGroupSuiteName);
    ASSERT_TRUE(appGroupFile);
    const std::string text = R"({"privacyRedirects_nitterEnabled":true})";
    scourlet::testing::writeFile(*appGroupFile, text);
    const auto before = std::filesystem::last_write_time(*appGroupFile);

    NativeMessageHandler handler(NativeMessageHandler::Environment::standard());
    EXPECT_EQ(handler.handle({{"action", "getXRedirectChoice"}}),
              Json({{"ok", true}, {"choice", "nitter"}}));
    EXPECT_EQ(handler.handle({{"action", "setXRedirectChoice"}, {"choice", "off"}})["ok"], true);
    EXPECT_EQ(handler.handle({{"action", "cleanURL"},
                              {"url", "https://example.com/?utm_source=x"}})["cleanedURL"],
              "https://example.com/");

    EXPECT_EQ(scourlet::testing::readFile(*appGroupFile), text);
    EXPECT_EQ(std::filesystem::last_write_time(*appGroupFile), before);
    EXPECT_FALSE(std::filesystem::exists(appGroupFile->string() + ".lock"));
    // The extension's own choice went to its own suite, on disk before the reply.
    const auto own = FileUserDefaults::suiteFile(kSafariExtensionSuiteName);
    ASSERT_TRUE(own);
    EXPECT_EQ(FileUserDefaults::readOnlySnapshot(*own).at("privacyRedirects_xRedirectChoice"),
              "off");
    std::filesystem::remove(*appGroupFile);
}

}  // namespace
}  // namespace scourlet::nativehost
