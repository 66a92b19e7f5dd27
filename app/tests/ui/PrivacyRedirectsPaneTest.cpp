// The Privacy Redirects pane over a real AppState on an in-memory clipboard,
// with a catalog updater that holds a verified catalog of two instances.
#include <chrono>
#include <memory>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QTest>

#include "AccessibleToggle.h"
#include "FakeAppServices.h"
#include "QtTestMain.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogStore.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogUpdater.h"
#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"
#include "app/settings/LinkButton.h"
#include "app/settings/PrivacyRedirectsPane.h"
#include "app/settings/SettingsWindow.h"
#include "app/settings/SettingsWindowFactory.h"
#include "app/shell/AppState.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"
#include "support/FakeHttpTransport.h"
#include "support/FixtureSigner.h"
#include "support/ManualClock.h"
#include "support/ManualExecutor.h"
#include "support/ManualMainQueue.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;

namespace scourlet::app {

namespace {

using Settings = PrivacyRedirectSettings;

constexpr std::uint64_t kNow = testing::kFixtureGenerated + 100;
const std::string kRedditLink = "https://www.reddit.com/r/pics/comments/abc/title/?utm_source=share";

struct Fixture : testing::FakeAppServices {
    explicit Fixture(bool withAppGroup = true) {
        clock->set(std::chrono::system_clock::time_point(std::chrono::seconds(kNow)));
        AppState::Services s = services();
        s.appGroupDefaults = withAppGroup ? appGroup : nullptr;
        state = std::make_unique<AppState>(std::move(s));
        QCoreApplication::processEvents();

        // A verified catalog of the instances "alpha" and "beta", in force.
        resources.writeKeyset(testing::keysetText({&key}));
        testing::FixtureCatalog catalog;
        catalog.version = 3;
        catalog.generated = testing::kFixtureGenerated;
        catalog.services = {testing::FixtureService::nitter("alpha", testing::kFixtureReviewed),
                            testing::FixtureService::nitter("beta", testing::kFixtureReviewed)};
        const auto files = testing::signCatalog(catalog, key);
        auto verified = PrivacyServicesCatalog::verify(files.payload, files.envelope,
                                                       testing::keysetText({&key}), std::nullopt);
        QVERIFY(verified.ok());
        updater = std::make_shared<PrivacyCatalogUpdater>(
            PrivacyCatalogStore(temp / "group",
                                PrivacyCatalogStore::Trust{resources.bundle(), *verified,
                                                           std::string(testing::kFixtureHost)}),
            PrivacyCatalogUpdater::Environment{
                std::make_shared<testing::FakeHttpTransport>(),
                std::make_shared<testing::ManualExecutor>(),
                std::make_shared<testing::ManualMainQueue>(), clock,
                std::make_shared<UpdateAwareness>(std::make_shared<InMemoryUserDefaults>(),
                                                  clock)});
    }

    // The pane as the settings window makes it, shown.
    void openPane() {
        std::shared_ptr<URLCleaner> cleaner = state->monitor()->urlCleaner();
        pane = std::make_unique<PrivacyRedirectsPane>(PrivacyRedirectsPane::Inputs{
            defaults, state->appGroupDefaults(), updater,
            [cleaner](Settings settings) { cleaner->setPrivacyRedirectSettings(std::move(settings)); },
            clock});
        pane->show();
        QCoreApplication::processEvents();
    }

    // Copies `text` as another program would, lets one poll run, and returns
    // what the clipboard then holds.
    std::string copyAndPoll(const std::string& text) {
        pasteboard->copy(text);
        timers->advance(500ms);
        QCoreApplication::processEvents();
        return pasteboard->items().empty() ? std::string()
                                           : pasteboard->items().front().plainText.value_or("");
    }

    const Settings& installed() const {
        return state->monitor()->urlCleaner()->privacyRedirectSettings();
    }

    template <class T>
    T* find(const char* name) const {
        return pane->findChild<T*>(QString::fromUtf8(name));
    }
    QString text(const char* label) const {
        auto* found = find<QLabel>(label);
        return found == nullptr ? QStringLiteral("<missing>") : found->text();
    }
    // Chooses a row of a picker as the user would.
    static void choose(QComboBox* combo, int row) {
        combo->setCurrentIndex(row);
        Q_EMIT combo->activated(row);
        QCoreApplication::processEvents();
    }
    // Replaces the address field's text by typing.
    void type(const QString& text) const {
        auto* field = find<QLineEdit>("reddit-frontend-url");
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
        QCoreApplication::processEvents();
    }

    testing::TempDir temp;
    const testing::FixtureKey key = testing::FixtureKey::generate("catalog-key");
    const testing::FixtureBundle resources{temp / "bundle"};
    std::shared_ptr<InMemoryUserDefaults> appGroup = std::make_shared<InMemoryUserDefaults>();
    std::unique_ptr<AppState> state;
    std::shared_ptr<PrivacyCatalogUpdater> updater;
    std::unique_ptr<PrivacyRedirectsPane> pane;
};

}  // namespace

class PrivacyRedirectsPaneTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void redditSwitchAndAddressReachTheNextCopiedLink();
    void pickerAndFieldShareOneAddress();
    void unusableAddressNamesTheDefaultInUse();
    void xChoiceAndInstanceKeepTheRedditSettings();
    void switchesActOnTheirAccessibilityActions();
    void withoutTheSharedSuiteTheStandardStoreKeepsTheInstance();
    void settingsWindowOpensThePaneByItsStoredKey();
};

void PrivacyRedirectsPaneTest::redditSwitchAndAddressReachTheNextCopiedLink() {
    Fixture f;
    f.openPane();
    auto* toggle = f.find<QCheckBox>("reddit-redirect-toggle");
    QVERIFY(toggle != nullptr);
    QVERIFY(!toggle->isChecked());
    QCOMPARE(f.text("reddit-redirect-status"),
             QStringLiteral("Reddit links stay on reddit.com unless normal tracking parameters "
                            "are removed."));
    QCOMPARE(f.copyAndPoll(kRedditLink), "https://www.reddit.com/r/pics/comments/abc/title/");

    toggle->click();
    QCOMPARE(f.defaults->boolForKey(Settings::redditRedirectEnabledKey), true);
    QCOMPARE(f.copyAndPoll(kRedditLink), "https://safereddit.com/r/pics/comments/abc/title/");
    QVERIFY(f.text("reddit-redirect-status")
                .startsWith(QStringLiteral("Reddit links will be rewritten to "
                                           "https://safereddit.com. Public posts")));

    // An address with a post path: links go to its base alone.
    f.type(QStringLiteral("https://redlib.example/r/pics"));
    QCOMPARE(f.copyAndPoll(kRedditLink), "https://redlib.example/r/pics/comments/abc/title/");
    QVERIFY(f.text("reddit-redirect-status")
                .startsWith(QStringLiteral("Reddit links will be rewritten to "
                                           "https://redlib.example. ")));

    toggle->click();
    QCOMPARE(f.copyAndPoll(kRedditLink), "https://www.reddit.com/r/pics/comments/abc/title/");
    QVERIFY(f.text("reddit-redirect-status").startsWith(QStringLiteral("Reddit links stay on")));
}

void PrivacyRedirectsPaneTest::pickerAndFieldShareOneAddress() {
    Fixture f;
    f.openPane();
    auto* picker = f.find<QComboBox>("reddit-frontend-picker");
    auto* field = f.find<QLineEdit>("reddit-frontend-url");
    QVERIFY(picker != nullptr && field != nullptr);
    QCOMPARE(picker->count(), 5);
    QCOMPARE(picker->currentIndex(), 0);
    QCOMPARE(picker->itemText(0), QStringLiteral("safereddit.com"));
    QCOMPARE(field->text(), QStringLiteral("https://safereddit.com"));

    // A row stores its whole address, and the field shows it.
    Fixture::choose(picker, 2);
    const QString second = QString::fromStdString(PrivacyRedirectsModel::redditChoices()[2]);
    QCOMPARE(f.defaults->stringForKey(Settings::redditFrontendBaseURLKey), second.toStdString());
    QCOMPARE(field->text(), second);
    QCOMPARE(f.installed().redditFrontendBaseURL, second.toStdString());

    // A typed address outside the list shows as "Custom" …
    f.type(QStringLiteral("https://redlib.example"));
    QCOMPARE(picker->count(), 6);
    QCOMPARE(picker->currentIndex(), 5);
    QCOMPARE(picker->currentText(), QStringLiteral("Custom"));
    QCOMPARE(field->text(), QStringLiteral("https://redlib.example"));
    // … and typing one of the list exactly takes "Custom" away.
    const QString fourth = QString::fromStdString(PrivacyRedirectsModel::redditChoices()[3]);
    f.type(fourth);
    QCOMPARE(picker->count(), 5);
    QCOMPARE(picker->currentIndex(), 3);
}

void PrivacyRedirectsPaneTest::unusableAddressNamesTheDefaultInUse() {
    Fixture f;
    f.defaults->setBool(Settings::redditRedirectEnabledKey, true);
    f.openPane();
    f.type(QStringLiteral("<b>not</b> an address"));
    auto* status = f.find<QLabel>("reddit-redirect-status");
    QCOMPARE(status->textFormat(), Qt::PlainText);
    QCOMPARE(status->text(),
             QStringLiteral("\u201C<b>not</b> an address\u201D is not a usable address; using "
                            "https://safereddit.com. Reddit links will be rewritten to "
                            "https://safereddit.com. Public posts and communities usually work, "
                            "but quarantined, private, mature, deleted, or login-only content may "
                            "not."));
    // The field keeps what was typed, and links really go to the default.
    QCOMPARE(f.find<QLineEdit>("reddit-frontend-url")->text(),
             QStringLiteral("<b>not</b> an address"));
    QCOMPARE(f.copyAndPoll(kRedditLink), "https://safereddit.com/r/pics/comments/abc/title/");
}

void PrivacyRedirectsPaneTest::xChoiceAndInstanceKeepTheRedditSettings() {
    Fixture f;
    f.defaults->setBool(Settings::redditRedirectEnabledKey, true);
    f.defaults->setString(Settings::redditFrontendBaseURLKey, "https://redlib.example");
    // No X/Twitter choice stored yet; the shared suite's older switch says Nitter.
    f.appGroup->setBool(Settings::nitterEnabledKey, true);
    f.openPane();

    auto* choice = f.find<QComboBox>("x-redirect-choice");
    auto* instance = f.find<QComboBox>("x-redirect-instance");
    auto* automatic = f.find<QCheckBox>("x-redirect-automatic");
    QVERIFY(choice != nullptr && instance != nullptr && automatic != nullptr);
    // Shown once: the older switch became the stored choice, and it is installed.
    QCOMPARE(f.defaults->stringForKey(Settings::xRedirectChoiceKey), "nitter");
    QCOMPARE(choice->count(), 3);
    QCOMPARE(choice->currentIndex(), 1);
    QVERIFY(f.find<QWidget>("x-redirect-nitter-section")->isVisible());
    QCOMPARE(f.installed().xRedirectChoice, XRedirectChoice::nitter);

    QCOMPARE(instance->count(), 3);
    QCOMPARE(instance->itemText(0), QStringLiteral("Choose an instance"));
    QCOMPARE(instance->itemText(1), QStringLiteral("Instance alpha"));
    QVERIFY(instance->isEnabled());
    QVERIFY(!f.find<QLabel>("x-redirect-no-instances")->isVisible());

    Fixture::choose(instance, 2);
    QCOMPARE(f.appGroup->stringForKey(Settings::nitterServiceIDKey), "beta");
    QVERIFY(!f.defaults->contains(Settings::nitterServiceIDKey));
    QCOMPARE(f.installed().nitterServiceID, "beta");
    // The X/Twitter change kept the Reddit settings in the cleaner.
    QVERIFY(f.installed().redditRedirectEnabled);
    QCOMPARE(f.installed().redditFrontendBaseURL, "https://redlib.example");

    automatic->click();
    QCoreApplication::processEvents();
    QVERIFY(f.appGroup->boolForKey(Settings::nitterAutomaticKey));
    QVERIFY(!instance->isEnabled());
    QCOMPARE(instance->currentIndex(), 2);  // the explicit pick stays
    QVERIFY(f.text("nitter-selection-status").startsWith(QStringLiteral("Automatic selection: ")));

    Fixture::choose(choice, 2);
    QCOMPARE(f.defaults->stringForKey(Settings::xRedirectChoiceKey), "twitterViewer");
    QVERIFY(!f.find<QWidget>("x-redirect-nitter-section")->isVisible());
    QVERIFY(f.find<QWidget>("x-redirect-twitterviewer-section")->isVisible());
    QCOMPARE(f.find<LinkButton>("x-redirect-privacy-policy")->url(),
             QUrl(QStringLiteral("https://twitterviewer.net/privacy-policy")));
    QCOMPARE(f.installed().xRedirectChoice, XRedirectChoice::twitterViewer);
    QVERIFY(f.installed().redditRedirectEnabled);

    Fixture::choose(choice, 0);
    QVERIFY(f.find<QWidget>("x-redirect-off-section")->isVisible());
    QCOMPARE(f.installed().xRedirectChoice, XRedirectChoice::off);
    QCOMPARE(f.installed().nitterServiceID, "beta");
}

void PrivacyRedirectsPaneTest::switchesActOnTheirAccessibilityActions() {
    Fixture f;
    f.defaults->setString(Settings::xRedirectChoiceKey, "nitter");
    f.openPane();
    auto* reddit = f.find<QCheckBox>("reddit-redirect-toggle");
    QVERIFY(testing::toggleByAccessibility(reddit));
    QCOMPARE(f.defaults->boolForKey(Settings::redditRedirectEnabledKey), true);
    QCOMPARE(f.copyAndPoll(kRedditLink), "https://safereddit.com/r/pics/comments/abc/title/");
    QVERIFY(reddit->isChecked());
    QVERIFY(testing::toggleByAccessibility(reddit));
    QCOMPARE(f.copyAndPoll(kRedditLink), "https://www.reddit.com/r/pics/comments/abc/title/");
    QVERIFY(!reddit->isChecked());

    auto* automatic = f.find<QCheckBox>("x-redirect-automatic");
    QVERIFY(!automatic->isChecked());
    QVERIFY(testing::toggleByAccessibility(automatic));
    QCoreApplication::processEvents();
    QVERIFY(f.appGroup->boolForKey(Settings::nitterAutomaticKey));
    QVERIFY(automatic->isChecked());
    QVERIFY(testing::toggleByAccessibility(automatic));
    QCoreApplication::processEvents();
    QVERIFY(!f.appGroup->boolForKey(Settings::nitterAutomaticKey));
    QVERIFY(!automatic->isChecked());
}

void PrivacyRedirectsPaneTest::withoutTheSharedSuiteTheStandardStoreKeepsTheInstance() {
    Fixture f(/*withAppGroup=*/false);
    f.openPane();
    QCOMPARE(f.defaults->stringForKey(Settings::xRedirectChoiceKey), "off");
    Fixture::choose(f.find<QComboBox>("x-redirect-choice"), 1);
    Fixture::choose(f.find<QComboBox>("x-redirect-instance"), 1);
    QCOMPARE(f.defaults->stringForKey(Settings::nitterServiceIDKey), "alpha");
    QVERIFY(!f.appGroup->contains(Settings::nitterServiceIDKey));
    QCOMPARE(f.installed().nitterServiceID, "alpha");
    QCOMPARE(f.installed().xRedirectChoice, XRedirectChoice::nitter);
}

void PrivacyRedirectsPaneTest::settingsWindowOpensThePaneByItsStoredKey() {
    Fixture f;
    // Changed behind the cleaner's back: showing the pane installs it.
    f.defaults->setBool(Settings::redditRedirectEnabledKey, true);
    QVERIFY(!f.installed().redditRedirectEnabled);
    // What the tray's catalog update row stores before it opens the window.
    f.defaults->setString(kSelectedSettingsPaneKey, "Privacy Redirects");

    WindowManager windows(f.defaults);
    std::unique_ptr<QWidget> widget(makeSettingsWindow(*f.state, windows));
    auto* window = qobject_cast<SettingsWindow*>(widget.get());
    QVERIFY(window != nullptr);
    window->show();
    QCoreApplication::processEvents();

    QCOMPARE(window->currentPane(), SettingsPane::privacyRedirects);
    QVERIFY(window->findChild<QWidget*>(QStringLiteral("settings-tab-Privacy Redirects")) != nullptr);
    auto* scroll = qobject_cast<QScrollArea*>(window->paneWidget(SettingsPane::privacyRedirects));
    QVERIFY(scroll != nullptr);
    QCOMPARE(scroll->widget()->objectName(), QStringLiteral("privacy-redirects-pane"));
    QVERIFY(f.installed().redditRedirectEnabled);
    QCOMPARE(f.copyAndPoll(kRedditLink), "https://safereddit.com/r/pics/comments/abc/title/");
}

SCOURLET_QT_TEST(PrivacyRedirectsPaneTest);

}  // namespace scourlet::app

#include "PrivacyRedirectsPaneTest.moc"
