// The update section over a real update controller and rules updater, on a
// scripted maker's host (no network) with a manual executor, main queue and
// clock: what each row shows, what each control writes, and which router
// action each button reaches.
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "AccessibleToggle.h"
#include "FakeLauncher.h"
#include "QtTestMain.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogManifest.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogStore.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/ResourceBundle.h"
#include "ScourletCore/platform/UnixTime.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/ruleupdates/RulesUpdater.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"
#include "ScourletCore/updateawareness/UpdateAwarenessController.h"
#include "ScourletCore/updateawareness/UpdateMetadata.h"
#include "ScourletCore/updateawareness/UpdateSurfaceRouter.h"
#include "app/settings/LinkButton.h"
#include "app/settings/UpdateAwarenessView.h"
#include "support/FakeHttpTransport.h"
#include "support/FixtureSigner.h"
#include "support/ManualClock.h"
#include "support/ManualExecutor.h"
#include "support/ManualMainQueue.h"
#include "support/ScopedTimeZone.h"
#include "support/TempDir.h"

namespace scourlet::app {

namespace {

constexpr std::string_view kHost = "releases.fixture.example";
const auto kNow =
    std::chrono::system_clock::time_point(std::chrono::seconds(testing::kFixtureGenerated + 100));

// The objects the settings window gives the section, on a scripted host.
struct Fixture {
    Fixture() {
        resources.writeKeyset(testing::keysetText({&key}));
        clock->set(kNow);
        RulesUpdater::Environment rulesEnvironment;
        rulesEnvironment.transport = http;
        rulesEnvironment.executor = executor;
        rulesEnvironment.mainQueue = queue;
        rulesEnvironment.clock = clock;
        rulesEnvironment.awareness = awareness;
        rulesEnvironment.bundle = &bundle;
        rulesEnvironment.host = std::string(kHost);
        rules = std::make_shared<RulesUpdater>(std::make_shared<RulesEngine>(defaults, &bundle),
                                               defaults, std::nullopt, temp / "rules",
                                               std::move(rulesEnvironment));
        controller = std::make_shared<UpdateAwarenessController>(
            rules, awareness,
            UpdateAwarenessController::Environment{
                http, executor, queue, clock,
                PrivacyCatalogStore(temp / "group" / "PrivacyServices",
                                    PrivacyCatalogStore::Trust{resources.bundle(), std::nullopt,
                                                               std::string(kHost)}),
                "1.4", "50", std::string(kHost)});
    }

    void open(std::optional<UpdateSurfaceRouter> router = std::nullopt) {
        view = std::make_unique<UpdateAwarenessView>(controller, rules, std::move(router));
        view->show();
        QCoreApplication::processEvents();
    }

    // Runs the background work and what it posted, then lets the view redraw.
    void settle() const {
        while (executor->runAll() > 0 || queue->runAll() > 0) {
        }
        QCoreApplication::processEvents();
    }

    void serveDesktop(const std::string& addresses) const {
        http->on(
            UpdateMetadata::desktopURL(kHost),
            testing::FakeHttpTransport::ok(
                R"({"product":"Scourlet","desktop":{"currentVersion":"1.5")" + addresses + "}}"));
    }

    // Serves catalog `version`, signed with the fixture key.
    void serveCatalog(std::uint64_t version) const {
        testing::FixtureCatalog catalog;
        catalog.version = version;
        catalog.generated = testing::kFixtureGenerated;
        catalog.services = {testing::FixtureService::nitter("alpha", testing::kFixtureReviewed)};
        const auto files = testing::signCatalog(catalog, key);
        http->on(PrivacyCatalogManifest::endpoint(kHost),
                 testing::FakeHttpTransport::ok(
                     testing::FixtureManifest::describing(files.payload, files.envelope, version,
                                                          testing::kFixtureGenerated, kHost)
                         .text()));
        http->on(PrivacyCatalogManifest::expectedAssetURL(version, "json", kHost),
                 testing::FakeHttpTransport::ok(files.payload));
        http->on(PrivacyCatalogManifest::expectedAssetURL(version, "sig", kHost),
                 testing::FakeHttpTransport::ok(files.envelope));
    }

    template <class T>
    T* find(const char* name) const {
        return view->findChild<T*>(QString::fromUtf8(name));
    }
    QLabel* label(const char* name) const { return find<QLabel>(name); }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    QString text(const char* name) const {
        auto* found = label(name);
        return found == nullptr ? QStringLiteral("<missing>") : found->text();
    }
    bool shown(const char* name) const {
        auto* widget = find<QWidget>(name);
        return widget != nullptr && widget->isVisibleTo(view.get());
    }
    QColor colour(const char* name) const {
        auto* found = label(name);
        return found->palette().color(found->foregroundRole());
    }

    testing::TempDir temp;
    const testing::FixtureKey key = testing::FixtureKey::generate("catalog-key");
    const testing::FixtureBundle resources{temp / "catalog-bundle"};
    ResourceBundle bundle{SCOURLET_BUNDLE_DIR};
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<testing::FakeHttpTransport> http =
        std::make_shared<testing::FakeHttpTransport>();
    std::shared_ptr<testing::ManualExecutor> executor = std::make_shared<testing::ManualExecutor>();
    std::shared_ptr<testing::ManualMainQueue> queue = std::make_shared<testing::ManualMainQueue>();
    std::shared_ptr<testing::ManualClock> clock = std::make_shared<testing::ManualClock>();
    std::shared_ptr<UpdateAwareness> awareness = std::make_shared<UpdateAwareness>(defaults, clock);
    std::shared_ptr<RulesUpdater> rules;
    std::shared_ptr<UpdateAwarenessController> controller;
    std::unique_ptr<UpdateAwarenessView> view;
};

RuleUpdateManifest availableRules(std::vector<std::string> notes, bool commandGuard) {
    RuleUpdateManifest manifest;
    manifest.product = "Scourlet";
    manifest.kind = "rules";
    manifest.currentVersion = "2099.01.01.1";
    manifest.notes = std::move(notes);
    if (commandGuard) {
        manifest.files.push_back({RuleUpdateManifest::File::Kind::commandGuard,
                                  "cg.json",
                                  "https://releases.fixture.example/cg.json",
                                  std::string(64, 'a'),
                                  {}});
    }
    return manifest;
}

bool isRed(const QColor& colour) {
    return colour.red() > 2 * colour.green() && colour.red() > 2 * colour.blue();
}

}  // namespace

class UpdateAwarenessViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void beforeAnyCheck();
    void aReleaseShowsOnlyTheLinksItHas();
    void theRulesUpdaterAtWork();
    void changesAndCommandGuardLines();
    void rulesTimestampPrefersTheLastUpdate();
    void catalogOfferAndRejection();
    void everyButtonReachesItsRouterAction();
    void settingsWriteThrough();
    void settingsFollowAccessibilityActions();
    void redrawsOnlyOnTheNextTurn();
    void timesFollowTheLocalZone();
    void timesInUsEnglish();
};

void UpdateAwarenessViewTest::beforeAnyCheck() {
    Fixture f;
    f.open();
    QVERIFY(f.find<QCheckBox>("update-setting-automatic-checks")->isChecked());
    QCOMPARE(f.text("update-state-app"), QStringLiteral("No app update check has run yet."));
    QCOMPARE(f.text("update-version-app"), QStringLiteral("Installed: Scourlet 1.4 (Build 50)"));
    QCOMPARE(f.text("update-state-rules"), QStringLiteral("No rule update check has run yet."));
    QCOMPARE(f.text("update-state-catalog"), QStringLiteral("Not checked"));
    QCOMPARE(f.text("update-version-catalog"), QStringLiteral("No verified catalog is installed."));
    QCOMPARE(f.text("update-rule-channel-explanation"),
             QStringLiteral("Stable receives rules after beta soak and review."));
    QCOMPARE(f.find<QComboBox>("update-setting-rule-cadence")->currentText(),
             QStringLiteral("Never"));
    QVERIFY(f.find<QPushButton>("update-setting-rule-channel-stable")->isChecked());
    for (const char* hidden :
         {"update-timestamp-app", "update-timestamp-rules", "update-timestamp-catalog",
          "update-action-downloadApp", "update-link-releaseNotes", "update-action-installRules",
          "update-action-installCatalog", "update-rule-changes", "update-rule-commandGuard-note"}) {
        QVERIFY2(!f.shown(hidden), hidden);
    }
    for (const char* enabled :
         {"update-action-checkApp", "update-action-checkRules", "update-action-checkCatalog",
          "update-setting-rule-cadence", "update-setting-rule-channel"}) {
        QVERIFY2(f.shown(enabled) && f.find<QWidget>(enabled)->isEnabled(), enabled);
    }
    // Texts from outside are never read as markup.
    QCOMPARE(f.label("update-state-catalog")->textFormat(), Qt::PlainText);
}

void UpdateAwarenessViewTest::aReleaseShowsOnlyTheLinksItHas() {
    Fixture f;
    f.serveDesktop({});
    f.open();
    QTest::mouseClick(f.button("update-action-checkApp"), Qt::LeftButton);
    QCoreApplication::processEvents();
    QCOMPARE(f.text("update-state-app"), QStringLiteral("Checking..."));
    QVERIFY(!f.button("update-action-checkApp")->isEnabled());
    f.settle();
    QCOMPARE(f.text("update-state-app"), QStringLiteral("Update available: Scourlet 1.5."));
    QCOMPARE(f.colour("update-state-app"), f.view->palette().color(QPalette::Highlight));
    QVERIFY(f.button("update-action-checkApp")->isEnabled());
    QVERIFY(!f.shown("update-action-downloadApp"));
    QVERIFY(!f.shown("update-link-releaseNotes"));
    QVERIFY(f.shown("update-timestamp-app"));
    QCOMPARE(f.text("update-timestamp-app"),
             QStringLiteral("Last checked: ") + formatUpdateTime(kNow));

    // A release with both pages: each link opens its own page, on the host only.
    const std::string base = "https://" + std::string(kHost) + "/scourlet/";
    f.serveDesktop(R"(,"notesUrl":")" + base + R"(notes","downloadUrl":")" + base + R"(get")");
    QTest::mouseClick(f.button("update-action-checkApp"), Qt::LeftButton);
    f.settle();
    QVERIFY(f.shown("update-action-downloadApp"));
    QVERIFY(f.shown("update-link-releaseNotes"));
    {
        testing::FakeLauncher browser;
        QTest::mouseClick(f.find<LinkButton>("update-action-downloadApp"), Qt::LeftButton);
        QTRY_COMPARE(browser.opened().size(), 1);
        QTest::mouseClick(f.find<LinkButton>("update-link-releaseNotes"), Qt::LeftButton);
        QTRY_COMPARE(browser.opened(), (QStringList{QString::fromStdString(base + "get"),
                                                    QString::fromStdString(base + "notes")}));
    }

    // A failed check: red, and the links of the earlier release are gone.
    f.http->on(UpdateMetadata::desktopURL(kHost), testing::FakeHttpTransport::ok({}, 500));
    QTest::mouseClick(f.button("update-action-checkApp"), Qt::LeftButton);
    f.settle();
    QCOMPARE(f.text("update-state-app"),
             QStringLiteral("Could not check for updates. Try again later."));
    QVERIFY(isRed(f.colour("update-state-app")));
    QVERIFY(!f.shown("update-action-downloadApp"));
}

void UpdateAwarenessViewTest::theRulesUpdaterAtWork() {
    Fixture f;
    f.open();
    // The check starts through the router and runs until the executor is stepped.
    QTest::mouseClick(f.button("update-action-checkRules"), Qt::LeftButton);
    QCoreApplication::processEvents();
    QCOMPARE(f.rules->updateStatus().kind(), RulesUpdateStatus::Kind::checkingManifest);
    QVERIFY(!f.button("update-action-checkRules")->isEnabled());
    QVERIFY(!f.find<QComboBox>("update-setting-rule-cadence")->isEnabled());
    QVERIFY(f.find<QWidget>("update-setting-rule-channel")->isEnabled());
    QVERIFY(!f.shown("update-action-installRules"));

    // An update on offer: its install button shows.
    f.rules->setAvailableManifest(availableRules({}, false));
    f.rules->setUpdateStatus(RulesUpdateStatus::updateAvailable(availableRules({}, false)));
    QCoreApplication::processEvents();
    QVERIFY(f.shown("update-action-installRules"));
    QVERIFY(f.button("update-action-installRules")->isEnabled());
    QCOMPARE(f.text("update-state-rules"), QStringLiteral("Rules update available: 2099.01.01.1"));
    f.rules->setUpdateStatus(RulesUpdateStatus::downloading());
    QCoreApplication::processEvents();
    QVERIFY(!f.shown("update-action-installRules"));  // only while an update is on offer
    QVERIFY(!f.button("update-action-checkRules")->isEnabled());

    f.rules->setUpdateStatus(RulesUpdateStatus::failed("Could not check for rule updates: x"));
    QCoreApplication::processEvents();
    QVERIFY(f.button("update-action-checkRules")->isEnabled());
    QVERIFY(f.find<QComboBox>("update-setting-rule-cadence")->isEnabled());
    QVERIFY(isRed(f.colour("update-state-rules")));
}

void UpdateAwarenessViewTest::changesAndCommandGuardLines() {
    Fixture f;
    f.open();
    f.rules->setAvailableManifest(availableRules({}, true));
    QCoreApplication::processEvents();
    QVERIFY(!f.shown("update-rule-changes"));
    QVERIFY(f.shown("update-rule-commandGuard-note"));
    QCOMPARE(f.text("update-rule-commandGuard-note"),
             QStringLiteral("This update includes Command Guard detection rules."));

    f.rules->setAvailableManifest(
        availableRules({"Adds <b>two</b> parameters", "Fixes &amp;"}, false));
    QCoreApplication::processEvents();
    QVERIFY(f.shown("update-rule-changes"));
    QVERIFY(!f.shown("update-rule-commandGuard-note"));
    QStringList lines;
    for (const QLabel* line : f.find<QWidget>("update-rule-changes")->findChildren<QLabel*>()) {
        QCOMPARE(line->textFormat(), Qt::PlainText);
        lines.append(line->text());
    }
    QCOMPARE(lines, (QStringList{QStringLiteral("Changes"),
                                 QStringLiteral("\u2022 Adds <b>two</b> parameters"),
                                 QStringLiteral("\u2022 Fixes &amp;")}));

    // Withdrawn: the block goes.
    f.rules->setAvailableManifest(std::nullopt);
    QCoreApplication::processEvents();
    QVERIFY(!f.shown("update-rule-changes"));
}

void UpdateAwarenessViewTest::rulesTimestampPrefersTheLastUpdate() {
    Fixture f;
    f.open();
    f.awareness->success(UpdateClass::rules, "2026.03.01.1", std::nullopt);
    QCoreApplication::processEvents();
    QCOMPARE(f.text("update-timestamp-rules"),
             QStringLiteral("Last checked: ") + formatUpdateTime(kNow));

    const auto installedAt = kNow - std::chrono::hours(30);
    f.rules->setLastUpdateDate(installedAt);
    f.rules->setInstalledVersion("2026.03.01.9");
    f.rules->setInstalledCommandGuardVersion("4");
    QCoreApplication::processEvents();
    QCOMPARE(f.view->findChildren<QLabel*>(QStringLiteral("update-timestamp-rules")).size(), 1);
    QCOMPARE(f.text("update-timestamp-rules"),
             QStringLiteral("Last updated: ") + formatUpdateTime(installedAt));
    QCOMPARE(f.text("update-version-rules"), QStringLiteral("Installed URL rules: 2026.03.01.9"));
    QCOMPARE(f.text("update-version-commandGuard"),
             QStringLiteral("Installed Command Guard rules: 4"));
}

void UpdateAwarenessViewTest::catalogOfferAndRejection() {
    Fixture f;
    f.open();
    // Nothing served: the check is rejected, in red.
    QTest::mouseClick(f.button("update-action-checkCatalog"), Qt::LeftButton);
    QCoreApplication::processEvents();
    QVERIFY(!f.button("update-action-checkCatalog")->isEnabled());
    f.settle();
    QCOMPARE(f.text("update-state-catalog"),
             QStringLiteral("Update rejected or unavailable. Last verified catalog retained."));
    QVERIFY(isRed(f.colour("update-state-catalog")));
    QVERIFY(!f.shown("update-action-installCatalog"));

    // A newer signed catalog is offered, then installed through the router.
    f.serveCatalog(2);
    QTest::mouseClick(f.button("update-action-checkCatalog"), Qt::LeftButton);
    f.settle();
    QCOMPARE(f.text("update-state-catalog"), QStringLiteral("Verified version 2 ready to install"));
    QCOMPARE(f.colour("update-state-catalog"), f.view->palette().color(QPalette::Highlight));
    QVERIFY(f.shown("update-action-installCatalog"));
    QCOMPARE(f.text("update-timestamp-catalog"),
             QStringLiteral("Last checked: ") + formatUpdateTime(kNow));
    QTest::mouseClick(f.button("update-action-installCatalog"), Qt::LeftButton);
    f.settle();
    QCOMPARE(f.text("update-state-catalog"), QStringLiteral("Verified catalog installed"));
    QCOMPARE(f.text("update-version-catalog"), QStringLiteral("Installed catalog: Version 2"));
    QVERIFY(!f.shown("update-action-installCatalog"));
}

void UpdateAwarenessViewTest::everyButtonReachesItsRouterAction() {
    Fixture f;
    std::vector<UpdateSurfaceAction> performed;
    const auto record = [&performed](UpdateSurfaceAction action) {
        return [&performed, action] { performed.push_back(action); };
    };
    f.open(UpdateSurfaceRouter(
        record(UpdateSurfaceAction::checkApp), record(UpdateSurfaceAction::checkRules),
        record(UpdateSurfaceAction::installRules), record(UpdateSurfaceAction::checkCatalog),
        record(UpdateSurfaceAction::installCatalog)));
    // Both install buttons on offer.
    f.rules->setUpdateStatus(RulesUpdateStatus::updateAvailable(availableRules({}, false)));
    f.serveCatalog(2);
    f.controller->catalog()->check();
    f.settle();
    const std::size_t jobs = f.executor->submittedCount();
    const std::size_t requests = f.http->sent().size();

    for (const UpdateSurfaceAction action : allCases<UpdateSurfaceAction>()) {
        performed.clear();
        const std::string name = accessibilityIdentifier(action);
        QPushButton* button = f.button(name.c_str());
        QVERIFY2(button != nullptr && button->isVisibleTo(f.view.get()), name.c_str());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(performed, std::vector<UpdateSurfaceAction>{action});
    }
    // The view itself started nothing.
    QCOMPARE(f.executor->submittedCount(), jobs);
    QCOMPARE(f.http->sent().size(), requests);
}

void UpdateAwarenessViewTest::settingsWriteThrough() {
    Fixture f;
    f.open();
    QTest::mouseClick(f.find<QCheckBox>("update-setting-automatic-checks"), Qt::LeftButton);
    QVERIFY(!f.awareness->automaticChecks());
    QVERIFY(f.defaults->dataForKey(UpdateAwareness::kStorageKey).has_value());
    QVERIFY(!UpdateAwareness(f.defaults, f.clock).automaticChecks());  // stored at once

    QTest::mouseClick(f.button("update-setting-rule-channel-beta"), Qt::LeftButton);
    QCOMPARE(f.rules->selectedChannel(), RuleUpdateChannel::beta);
    QCoreApplication::processEvents();
    QVERIFY(f.text("update-rule-channel-explanation").startsWith(QStringLiteral("Beta receives")));
    QVERIFY(f.button("update-setting-rule-channel-beta")->isChecked());

    // Picking the channel in use again keeps the update it offers.
    f.rules->setAvailableManifest(availableRules({"Note"}, false));
    f.rules->setUpdateStatus(RulesUpdateStatus::updateAvailable(availableRules({"Note"}, false)));
    QCoreApplication::processEvents();
    QTest::mouseClick(f.button("update-setting-rule-channel-beta"), Qt::LeftButton);
    QVERIFY(f.rules->availableManifest().has_value());
    // Another channel forgets it.
    QTest::mouseClick(f.button("update-setting-rule-channel-stable"), Qt::LeftButton);
    QVERIFY(!f.rules->availableManifest().has_value());
    QCOMPARE(f.rules->selectedChannel(), RuleUpdateChannel::stable);

    auto* cadence = f.find<QComboBox>("update-setting-rule-cadence");
    QCOMPARE(cadence->count(), 4);
    cadence->setCurrentIndex(2);
    Q_EMIT cadence->activated(2);
    QCOMPARE(f.rules->automaticUpdateCadence(), RuleUpdateCadence::weekly);
}

void UpdateAwarenessViewTest::settingsFollowAccessibilityActions() {
    Fixture f;
    f.open();
    auto* automatic = f.find<QCheckBox>("update-setting-automatic-checks");
    QVERIFY(testing::toggleByAccessibility(automatic));
    QVERIFY(!f.awareness->automaticChecks());
    QVERIFY(!UpdateAwareness(f.defaults, f.clock).automaticChecks());
    QVERIFY(testing::toggleByAccessibility(automatic));
    QVERIFY(f.awareness->automaticChecks());

    QPushButton* stable = f.button("update-setting-rule-channel-stable");
    QPushButton* beta = f.button("update-setting-rule-channel-beta");
    QVERIFY(testing::toggleByAccessibility(beta));
    QCOMPARE(f.rules->selectedChannel(), RuleUpdateChannel::beta);
    QCoreApplication::processEvents();
    QVERIFY(beta->isChecked() && !stable->isChecked());
    // The channel in use toggled again stays chosen and keeps the update it offers.
    f.rules->setAvailableManifest(availableRules({"Note"}, false));
    QCoreApplication::processEvents();
    QVERIFY(testing::toggleByAccessibility(beta));
    QVERIFY(beta->isChecked() && !stable->isChecked());
    QVERIFY(f.rules->availableManifest().has_value());
    QVERIFY(testing::toggleByAccessibility(stable));
    QCOMPARE(f.rules->selectedChannel(), RuleUpdateChannel::stable);
    QVERIFY(!f.rules->availableManifest().has_value());
    QCoreApplication::processEvents();
    QVERIFY(stable->isChecked() && !beta->isChecked());
}

void UpdateAwarenessViewTest::redrawsOnlyOnTheNextTurn() {
    Fixture f;
    f.open();
    f.rules->setUpdateStatus(RulesUpdateStatus::failed("first"));
    f.rules->setUpdateStatus(RulesUpdateStatus::failed("second"));
    QCOMPARE(f.text("update-state-rules"), QStringLiteral("No rule update check has run yet."));
    QCoreApplication::processEvents();
    QCOMPARE(f.text("update-state-rules"), QStringLiteral("second"));

    // Announcements after the view is gone reach nothing.
    f.view.reset();
    f.rules->setUpdateStatus(RulesUpdateStatus::failed("third"));
    f.awareness->setAutomaticChecks(false);
    QCoreApplication::processEvents();
}

void UpdateAwarenessViewTest::timesFollowTheLocalZone() {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const auto time = std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000));
    struct Case {
        const char* zone;
        const char* updateTime;  // "Last checked" and "Last updated"
        const char* statusTime;  // "Installed rules … at …"
    };
    const Case cases[] = {
        {"UTC0", "Jan 15, 2027 at 8:00 AM", "1/15/27 8:00 AM"},
        {testing::kTokyoTimeZone, "Jan 15, 2027 at 5:00 PM", "1/15/27 5:00 PM"},
        {testing::kNewYorkTimeZone, "Jan 15, 2027 at 3:00 AM", "1/15/27 3:00 AM"},
    };
    for (const Case& c : cases) {
        testing::ScopedTimeZone zone(c.zone);
        QCOMPARE(formatUpdateTime(time, english), QString::fromUtf8(c.updateTime));
        QCOMPARE(formatStatusTime(time, english), QString::fromUtf8(c.statusTime));
    }
    // A 24-hour locale keeps its own order and clock.
    testing::ScopedTimeZone zone(testing::kTokyoTimeZone);
    const QLocale german(QLocale::German, QLocale::Germany);
    QCOMPARE(formatStatusTime(time, german), QStringLiteral("15.01.27 17:00"));
    const QString update = formatUpdateTime(time, german);
    QVERIFY2(update.startsWith(QStringLiteral("15. Jan")) && update.endsWith(QStringLiteral(" 17:00")),
             qPrintable(update));
}

// The view writes its times in the user's locale: both styles of the section.
void UpdateAwarenessViewTest::timesInUsEnglish() {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    testing::ScopedTimeZone zone("UTC0");
    Fixture f;
    f.open();
    const auto time = std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000));
    f.rules->setUpdateStatus(RulesUpdateStatus::installed("2027.01.15.1", time));
    f.rules->setLastUpdateDate(time);
    QCoreApplication::processEvents();
    const QString status = f.text("update-state-rules");
    const QString stamp = f.text("update-timestamp-rules");
    QLocale::setDefault(before);
    QCOMPARE(status, QStringLiteral("Installed rules 2027.01.15.1 at 1/15/27 8:00 AM"));
    QCOMPARE(stamp, QStringLiteral("Last updated: Jan 15, 2027 at 8:00 AM"));
}

SCOURLET_QT_TEST(UpdateAwarenessViewTest);

}  // namespace scourlet::app

#include "UpdateAwarenessViewTest.moc"
