#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/CurlHttpTransport.h"
#include "ruleupdates/RulesUpdaterFixture.h"
#include "support/SecondsTimeText.h"
#include "support/TestCertificateAuthority.h"
#include "support/TestHttpsServer.h"

namespace scourlet::testing {
namespace {

using std::chrono::seconds;
using Kind = RulesUpdateStatus::Kind;
using Result = AutomaticRuleUpdateResult;

constexpr const char* kRejected =
    "Invalid rules manifest: Signed rule feed rejected or unavailable; bundled or last verified "
    "rules retained.";

// Every status the updater published, in order.
struct StatusLog {
    explicit StatusLog(RulesUpdater& updater)
        : connection(updater.updateStatusPublisher().connect(
              [this](const RulesUpdateStatus& s) { kinds.push_back(s.kind()); })) {}
    std::vector<Kind> kinds;
    Connection connection;
};

TEST_F(RulesUpdaterTest, CheckThenInstallReplacesTheRules) {
    const RuleRelease release("2026.03.02.1");
    serve(release);
    auto updater = makeUpdater();
    updater->loadPreferringAppSupport();
    StatusLog log(*updater);

    updater->checkForUpdates();
    EXPECT_EQ(updater->updateStatus(), RulesUpdateStatus::checkingManifest());
    settle();
    ASSERT_EQ(updater->updateStatus().kind(), Kind::updateAvailable)
        << updater->updateStatus().displayText(testing::secondsTimeText).value_or("");
    EXPECT_EQ(updater->updateStatus().displayText(testing::secondsTimeText), "Rules update available: 2026.03.02.1");
    ASSERT_TRUE(updater->availableManifest().has_value());
    const auto& rules = awareness->state().entries.at(UpdateClass::rules);
    EXPECT_EQ(rules.installedVersion, kShippedVersion);
    EXPECT_EQ(rules.availableVersion, release.version);

    clock->advance(seconds(60));
    updater->installAvailableUpdate();
    // Download, verification, trial compile and the store install run in the
    // background; the engine only changes on the main queue.
    executor->runAll();
    EXPECT_TRUE(std::filesystem::exists(root() / SignedRuleFeed::Store::kStateFileName));
    EXPECT_NE(providerNames(), namesOf(release));
    settle();
    EXPECT_EQ(log.kinds, (std::vector<Kind>{Kind::checkingManifest, Kind::updateAvailable,
                                            Kind::downloading, Kind::validating,
                                            Kind::installing, Kind::installed}));
    EXPECT_EQ(updater->updateStatus(), RulesUpdateStatus::installed(release.version, clock->now()));
    EXPECT_EQ(providerNames(), namesOf(release));
    EXPECT_EQ(updater->installedVersion(), release.version);
    EXPECT_EQ(updater->lastUpdateDate(), clock->now());
    EXPECT_EQ(updater->availableManifest(), std::nullopt);
    EXPECT_EQ(defaults->stringForKey(RulesUpdater::kInstalledVersionKey), release.version);
    EXPECT_EQ(defaults->dateForKey(RulesUpdater::kLastUpdateKey), clock->now());
    EXPECT_EQ(awareness->state().entries.at(UpdateClass::rules).installedVersion, release.version);
    EXPECT_EQ(awareness->state().entries.at(UpdateClass::rules).availableVersion, std::nullopt);

    // The next start loads the installed rules.
    engine = std::make_shared<RulesEngine>(std::make_shared<InMemoryUserDefaults>(), &bundle);
    auto restarted = makeUpdater();
    restarted->loadPreferringAppSupport();
    EXPECT_EQ(restarted->installedVersion(), release.version);
    EXPECT_EQ(providerNames(), namesOf(release));

    // Checking again finds nothing newer.
    restarted->checkForUpdates();
    settle();
    EXPECT_EQ(restarted->updateStatus(), RulesUpdateStatus::upToDate(release.version));
}

TEST_F(RulesUpdaterTest, CheckComparesVersionsByTheirNumbers) {
    struct Case {
        const char* installed;  // the shipped version; nothing: no shipped manifest
        const char* offered;
        Kind outcome;
        const char* comparedWith;
    };
    const Case cases[] = {
        {"2026.03.01.9", "2026.03.01.10", Kind::updateAvailable, "2026.03.01.9"},
        {"2026.03.01.10", "2026.03.01.9", Kind::upToDate, "2026.03.01.10"},
        {"2026.03.01.5", "2026.03.01.5", Kind::upToDate, "2026.03.01.5"},
        {nullptr, "2026.03.01.1", Kind::updateAvailable, "0"},
    };
    for (const Case& c : cases) {
        if (c.installed != nullptr) {
            shipped(RuleRelease(c.installed));
        } else {
            removeShippedManifest();
        }
        serve(RuleRelease(c.offered));
        auto updater = makeUpdater();
        updater->checkForUpdates();
        settle();
        EXPECT_EQ(updater->updateStatus().kind(), c.outcome) << c.offered;
        if (c.outcome == Kind::upToDate) {
            EXPECT_EQ(updater->updateStatus().text(), c.comparedWith);
        }
        EXPECT_EQ(updater->availableManifest().has_value(), c.outcome == Kind::updateAvailable);
    }
}

TEST_F(RulesUpdaterTest, CheckFailuresShowTheirTextsAndTellAwarenessNothing) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::optional<std::string> appVersion;
        std::string text;
    };
    const std::string manifest = manifestURL(RuleUpdateChannel::stable, kFixtureRulesHost);
    const FixtureKey stranger = FixtureKey::generate("rules-test");
    const Case cases[] = {
        {"no answer",
         [&] { http->on(manifest, FakeHttpTransport::failure(HttpError::Kind::connectionFailed)); },
         std::nullopt, "Could not check for rule updates: Download failed: "},
        {"redirect not followed",
         [&] {
             serve(RuleRelease("2026.03.02.1"));
             http->on(manifest, FakeHttpTransport::redirect(manifest + "?moved", 301));
         },
         std::nullopt, std::string("Could not check for rule updates: ") + kRejected},
        {"signed with a key that is not trusted",
         [&] { serveSigned(RuleRelease("2026.03.02.1"), RuleUpdateChannel::stable, stranger); },
         std::nullopt, std::string("Could not check for rule updates: ") + kRejected},
        {"Command Guard rules listed",
         [&] {
             RuleRelease release("2026.03.02.1");
             const std::string base = SignedRuleFeed::rulesBase(kFixtureRulesHost);
             release.manifest["files"].push_back(ruleFileEntry(
                 "command-guard", "command-guard-rules.json",
                 base + release.version + "/command-guard-rules.json", "{}"));
             serve(release);
         },
         std::nullopt, std::string("Could not check for rule updates: ") + kRejected},
        // A minimum too large for 64 bits stays out of reach.
        {"minimum beyond 64 bits",
         [&] {
             RuleRelease release("2026.03.02.1");
             release.manifest["minAppVersion"] = "1.99999999999999999999999";
             serve(release);
         },
         "1.9.9",
         "Could not check for rule updates: Rules require Scourlet 1.99999999999999999999999 or "
         "newer."},
        {"application too old",
         [&] {
             RuleRelease release("2026.03.02.1");
             release.manifest["minAppVersion"] = "2.0";
             serve(release);
         },
         "1.9.9", "Could not check for rule updates: Rules require Scourlet 2.0 or newer."},
    };
    for (const Case& c : cases) {
        http = std::make_shared<FakeHttpTransport>();
        c.arrange();
        const auto awarenessBefore = awareness->state();
        auto updater = makeUpdater(std::nullopt, c.appVersion);
        updater->checkForUpdates();
        settle();
        EXPECT_EQ(updater->updateStatus().kind(), Kind::failed) << c.name;
        EXPECT_EQ(updater->updateStatus().text().rfind(c.text, 0), 0u)
            << c.name << ": " << updater->updateStatus().text();
        EXPECT_EQ(updater->availableManifest(), std::nullopt) << c.name;
        EXPECT_EQ(awareness->state(), awarenessBefore) << c.name;
    }
}

TEST_F(RulesUpdaterTest, SwitchingTheChannelDuringACheckEndsIdle) {
    serve(RuleRelease("2026.03.02.1"));
    auto updater = makeUpdater();
    updater->checkForUpdates();
    updater->setSelectedChannel(RuleUpdateChannel::beta);  // while the fetch runs
    settle();
    EXPECT_EQ(updater->updateStatus(), RulesUpdateStatus::idle());
    EXPECT_EQ(updater->availableManifest(), std::nullopt);
    updater->installAvailableUpdate();
    EXPECT_EQ(executor->pendingCount(), 0u);  // nothing to install

    // The beta channel has its own manifest.
    serve(RuleRelease("2026.03.03.1"), RuleUpdateChannel::beta);
    updater->checkForUpdates();
    settle();
    EXPECT_EQ(updater->updateStatus().displayText(testing::secondsTimeText), "Rules update available: 2026.03.03.1");
}

TEST_F(RulesUpdaterTest, TheManifestURLMustStillBeOneOfTheFeeds) {
    serve(RuleRelease("2026.03.03.1"), RuleUpdateChannel::beta);
    auto beta = makeUpdater(manifestURL(RuleUpdateChannel::beta, kFixtureRulesHost));
    beta->checkForUpdates();  // stable selected, beta fetched
    settle();
    EXPECT_EQ(beta->updateStatus().kind(), Kind::updateAvailable);

    const std::string elsewhere = "https://mirror.example/scourlet/rules/manifest.json";
    http->on(elsewhere, FakeHttpTransport::ok("{}"));
    auto foreign = makeUpdater(elsewhere);
    const auto sentBefore = http->sent().size();
    foreign->checkForUpdates();
    settle();
    EXPECT_EQ(foreign->updateStatus().text(),
              std::string("Could not check for rule updates: ") + kRejected);
    EXPECT_EQ(http->sent().size(), sentBefore);  // refused before any traffic
}

TEST_F(RulesUpdaterTest, BusyUpdaterStartsNothing) {
    const RuleRelease release("2026.03.02.1");
    serve(release);
    auto updater = makeUpdater();
    updater->setAutomaticUpdateCadence(RuleUpdateCadence::daily);
    updater->checkForUpdates();
    settle();
    updater->installAvailableUpdate();
    ASSERT_EQ(updater->updateStatus(), RulesUpdateStatus::downloading());

    const auto jobs = executor->submittedCount();
    updater->checkForUpdates();
    updater->installAvailableUpdate();
    std::optional<Result> result;
    updater->performAutomaticUpdateIfDueNow(clock->now(), [&](Result r) { result = r; });
    EXPECT_EQ(result, Result::busy);
    EXPECT_EQ(updater->lastAutomaticCheckDate(), std::nullopt);
    EXPECT_FALSE(defaults->contains(RulesUpdater::kLastAutomaticCheckKey));
    EXPECT_EQ(executor->submittedCount(), jobs);
    EXPECT_EQ(updater->updateStatus(), RulesUpdateStatus::downloading());

    settle();
    EXPECT_EQ(updater->updateStatus().kind(), Kind::installed);
}

TEST_F(RulesUpdaterTest, InstallFailuresKeepTheRulesAndCanBeRetried) {
    struct Case {
        const char* name;
        std::function<void(const RuleRelease&)> spoil;
        std::string text;
    };
    const std::string base = SignedRuleFeed::rulesBase(kFixtureRulesHost);
    const Case cases[] = {
        {"one byte short",
         [&](const RuleRelease& r) {
             http->on(base + r.version + "/data.min.json",
                      FakeHttpTransport::ok(r.clear.substr(0, r.clear.size() - 1)));
         },
         "Downloaded rules were invalid: Unexpected byte count for data.min.json"},
        {"one byte changed",
         [&](const RuleRelease& r) {
             std::string changed = r.supplementary;
             changed[changed.size() / 2] ^= 1;
             http->on(base + r.version + "/scourlet-supplementary.json",
                      FakeHttpTransport::ok(changed));
         },
         "Downloaded rules failed integrity check: scourlet-supplementary.json."},
        {"one byte more",
         [&](const RuleRelease& r) {
             http->on(base + r.version + "/data.min.json", FakeHttpTransport::ok(r.clear + " "));
         },
         kRejected},
        {"redirected",
         [&](const RuleRelease& r) {
             http->on(base + r.version + "/data.min.json",
                      FakeHttpTransport::redirect(base + "2026.03.01.1/data.min.json", 307));
         },
         kRejected},
        {"no answer",
         [&](const RuleRelease& r) {
             http->on(base + r.version + "/data.min.json",
                      FakeHttpTransport::failure(HttpError::Kind::totalTimeout));
         },
         "Download failed: "},
    };
    const RuleRelease shippedRelease(kShippedVersion);
    int serial = 1;
    for (const Case& c : cases) {
        const RuleRelease release("2026.04.01." + std::to_string(serial++));
        serve(release);
        auto updater = makeUpdater();
        updater->loadPreferringAppSupport();
        const auto installedBefore = updater->installedVersion();
        updater->checkForUpdates();
        settle();
        ASSERT_EQ(updater->updateStatus().kind(), Kind::updateAvailable) << c.name;

        c.spoil(release);
        updater->installAvailableUpdate();
        settle();
        EXPECT_EQ(updater->updateStatus().kind(), Kind::failed) << c.name;
        EXPECT_EQ(updater->updateStatus().text().rfind(c.text, 0), 0u)
            << c.name << ": " << updater->updateStatus().text();
        EXPECT_EQ(updater->installedVersion(), installedBefore) << c.name;
        EXPECT_EQ(updater->availableManifest()->currentVersion, release.version) << c.name;
        EXPECT_NE(providerNames(), namesOf(release)) << c.name;

        // The same offer installs once the files are right.
        serve(release);
        updater->installAvailableUpdate();
        settle();
        EXPECT_EQ(updater->updateStatus().kind(), Kind::installed) << c.name;
        EXPECT_EQ(providerNames(), namesOf(release)) << c.name;
    }
}

// An install downloads only what the verified proof describes: an offer
// without a proof, or one that is not the manifest the proof verified, is
// refused before any request and changes nothing.
TEST_F(RulesUpdaterTest, AnOfferTheProofDoesNotCoverSendsNoRequestAndChangesNothing) {
    const RuleRelease checked("2026.04.01.1");
    const RuleRelease other("2026.05.01.1");
    serve(checked);
    serve(other, RuleUpdateChannel::beta);  // its files would download fine
    const auto manifestOf = [](const RuleRelease& release) {
        auto manifest = RuleUpdateManifest::decode(release.manifestText());
        EXPECT_TRUE(manifest.ok());
        return *manifest;
    };
    struct Case {
        const char* name;
        bool checkFirst;  // a check leaves the proof of `checked` pending
        RuleUpdateManifest offered;
    };
    RuleUpdateManifest relabelled = manifestOf(checked);
    relabelled.currentVersion = other.version;
    const Case cases[] = {
        {"no proof", false, manifestOf(checked)},
        {"another release's manifest", true, manifestOf(other)},
        {"the checked manifest with another version", true, relabelled},
    };
    for (const Case& c : cases) {
        auto updater = makeUpdater();
        updater->loadPreferringAppSupport();
        const auto installedBefore = updater->installedVersion();
        const auto providersBefore = providerNames();
        if (c.checkFirst) {
            updater->checkForUpdates();
            settle();
            ASSERT_EQ(updater->updateStatus().kind(), Kind::updateAvailable) << c.name;
        }
        const std::size_t sentBefore = http->sent().size();
        updater->setAvailableManifest(c.offered);
        updater->installAvailableUpdate();
        settle();
        EXPECT_EQ(updater->updateStatus().kind(), Kind::failed) << c.name;
        EXPECT_EQ(updater->updateStatus().text(), kRejected) << c.name;
        EXPECT_EQ(http->sent().size(), sentBefore) << c.name << ": a request was sent";
        EXPECT_EQ(updater->installedVersion(), installedBefore) << c.name;
        EXPECT_EQ(providerNames(), providersBefore) << c.name;
        EXPECT_FALSE(std::filesystem::exists(root())) << c.name << ": the store was touched";
    }
}

TEST_F(RulesUpdaterTest, AutomaticRuns) {
    struct Case {
        const char* name;
        RuleUpdateCadence cadence;
        std::optional<std::chrono::system_clock::time_point> lastCheck;
        std::function<void()> arrange;
        Result result;
        Kind status;
        bool checked;
    };
    const std::string manifest = manifestURL(RuleUpdateChannel::stable, kFixtureRulesHost);
    const Case cases[] = {
        {"never", RuleUpdateCadence::never, std::nullopt, [] {}, Result::notDue, Kind::idle, false},
        {"checked an hour ago", RuleUpdateCadence::daily, clock->now() - seconds(3600), [] {},
         Result::notDue, Kind::idle, false},
        {"up to date", RuleUpdateCadence::daily, clock->now() - seconds(86400),
         [&] { serve(RuleRelease(kShippedVersion)); }, Result::succeeded, Kind::upToDate, true},
        {"update found and installed", RuleUpdateCadence::weekly, std::nullopt,
         [&] { serve(RuleRelease("2026.03.02.1")); }, Result::succeeded, Kind::installed, true},
        {"check fails", RuleUpdateCadence::monthly, std::nullopt,
         [&] { http->on(manifest, FakeHttpTransport::failure(HttpError::Kind::totalTimeout)); },
         Result::failed, Kind::failed, true},
        {"install fails", RuleUpdateCadence::daily, std::nullopt,
         [&] {
             const RuleRelease release("2026.03.02.1");
             serve(release);
             http->on(SignedRuleFeed::rulesBase(kFixtureRulesHost) + release.version +
                          "/data.min.json",
                      FakeHttpTransport::ok("{}"));
         },
         Result::failed, Kind::failed, true},
        // A stored date the settings file accepts, further from now than a
        // time point difference can hold.
        {"checked in 1732", RuleUpdateCadence::daily,
         std::chrono::system_clock::time_point(seconds(-7'500'000'000)),
         [&] { serve(RuleRelease(kShippedVersion)); }, Result::succeeded, Kind::upToDate, true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(root());
        http = std::make_shared<FakeHttpTransport>();
        defaults = std::make_shared<InMemoryUserDefaults>();
        if (c.lastCheck) {
            defaults->setDate(RulesUpdater::kLastAutomaticCheckKey, *c.lastCheck);
        }
        c.arrange();
        auto updater = makeUpdater();
        updater->setAutomaticUpdateCadence(c.cadence);
        const auto lastCheckBefore = updater->lastAutomaticCheckDate();

        std::optional<Result> result;
        updater->performAutomaticUpdateIfDueNow(clock->now(), [&](Result r) { result = r; });
        settle();
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(updater->updateStatus().kind(), c.status) << c.name;
        if (c.checked) {
            EXPECT_EQ(updater->lastAutomaticCheckDate(), clock->now()) << c.name;
            EXPECT_EQ(defaults->dateForKey(RulesUpdater::kLastAutomaticCheckKey), clock->now())
                << c.name;
        } else {
            EXPECT_EQ(updater->lastAutomaticCheckDate(), lastCheckBefore) << c.name;
            EXPECT_TRUE(http->sent().empty()) << c.name;
        }
    }
}

TEST_F(RulesUpdaterTest, AutomaticRunCancelledDuringTheCheckInstallsNothing) {
    serve(RuleRelease("2026.03.02.1"));
    auto updater = makeUpdater();
    updater->setAutomaticUpdateCadence(RuleUpdateCadence::daily);
    std::stop_source cancel;
    std::optional<Result> result;
    updater->performAutomaticUpdateIfDueNow(
        clock->now(), [&](Result r) { result = r; }, cancel.get_token());
    cancel.request_stop();
    settle();
    EXPECT_EQ(result, Result::cancelled);
    EXPECT_EQ(updater->updateStatus().kind(), Kind::updateAvailable);  // what the check found
    EXPECT_EQ(updater->installedVersion(), kShippedVersion);
}

TEST_F(RulesUpdaterTest, OutcomesAfterTheUpdaterEndedAreDropped) {
    serve(RuleRelease("2026.03.02.1"));
    auto updater = makeUpdater();
    updater->checkForUpdates();
    updater.reset();
    settle();  // the fetch runs, its outcome finds no updater
    EXPECT_TRUE(awareness->state().entries.empty());
}

// The whole road over real TLS: the feed host pinned to a local server that
// trusts only the test's own certificate authority.
TEST_F(RulesUpdaterTest, ChecksAndInstallsOverHttps) {
    const RuleRelease release("2026.03.02.1");
    const auto proof = release.proof(key);
    TestCertificateAuthority ca("Scourlet rules test CA");
    ca.writePem(dir / "ca.pem");
    TestHttpsServer server(ca.issue({std::string(kFixtureRulesHost)}));
    auto serveBytes = [&](const std::string& path, std::string body) {
        server.on(std::string(kFixtureRulesHost), path,
                  [body](const httplib::Request&, httplib::Response& res) {
                      res.set_content(body, "application/json");
                  });
    };
    const std::string folder = "/scourlet/rules/" + release.version + "/";
    serveBytes("/scourlet/rules/manifest.json", proof.manifest);
    serveBytes("/scourlet/rules/manifest.sig", proof.signature);
    serveBytes(folder + "data.min.json", release.clear);
    serveBytes(folder + "scourlet-supplementary.json", release.supplementary);
    server.start();

    CurlHttpTransport::Settings settings;
    settings.connectOverrides.push_back({"", 0, "127.0.0.1", server.port()});
    settings.caFile = (dir / "ca.pem").string();
    auto curl = CurlHttpTransport::withSettings(std::move(settings));
    ASSERT_TRUE(curl.ok());
    auto env = environment();
    env.transport = std::make_shared<CurlHttpTransport>(std::move(*curl));
    auto updater = std::make_shared<RulesUpdater>(engine, defaults, std::nullopt, root(), env);

    updater->checkForUpdates();
    settle();
    ASSERT_EQ(updater->updateStatus().kind(), Kind::updateAvailable)
        << updater->updateStatus().displayText(testing::secondsTimeText).value_or("");
    updater->installAvailableUpdate();
    settle();
    EXPECT_EQ(updater->updateStatus().kind(), Kind::installed)
        << updater->updateStatus().displayText(testing::secondsTimeText).value_or("");
    EXPECT_EQ(providerNames(), namesOf(release));
    EXPECT_EQ(server.requests().size(), 4u);
}

}  // namespace
}  // namespace scourlet::testing
