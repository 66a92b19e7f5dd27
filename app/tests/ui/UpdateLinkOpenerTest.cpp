// Release notes and download pages: from the release file the desktop check
// fetched, through the update section's links, to the link opener; and the
// addresses that never reach it.
#include <memory>
#include <string>

#include <QTest>

#include "FakeAppServices.h"
#include "QtTestMain.h"
#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/updateawareness/UpdateAwarenessSection.h"
#include "ScourletCore/updateawareness/UpdateMetadata.h"
#include "ScourletCore/updateawareness/UpdateSurfaceRouter.h"
#include "app/shell/AppState.h"
#include "app/shell/UpdateLinkOpener.h"

namespace scourlet::app {

namespace {

constexpr std::string_view kHost = "releases.fixture.example";

// Stands in for the link opener, noting what it is handed.
struct OpenedLinks {
    LinkOpener opener() {
        return [this](const QUrl& url) {
            opened.append(url);
            return true;
        };
    }
    QList<QUrl> opened;
};

}  // namespace

class UpdateLinkOpenerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void releaseLinksOfTheCheckOpenInTheBrowser();
    void untrustedAddressesAreNeverOpened();
};

void UpdateLinkOpenerTest::releaseLinksOfTheCheckOpenInTheBrowser() {
    testing::FakeAppServices app;
    const std::string base = "https://" + std::string(kHost) + "/scourlet/";
    app.http->on(UpdateMetadata::desktopURL(kHost),
                 testing::FakeHttpTransport::ok(
                     R"({"product":"Scourlet","desktop":{"currentVersion":")" +
                     std::string(config::kAppVersion) + R"(.1","notesUrl":")" + base +
                     R"(notes","downloadUrl":")" + base + R"(download"}})"));
    AppState::Services s = app.services();
    s.makerHost = std::string(kHost);
    AppState state(std::move(s));

    UpdateSurfaceRouter(state.updates(), state.rulesUpdater())
        .perform(UpdateSurfaceAction::checkApp);
    while (app.executor->runAll() > 0 || app.mainQueue->runAll() > 0) {
    }
    const auto section = UpdateAwarenessSection::make(*state.updates(), {});
    QVERIFY(section.app.releaseNotesLink.has_value());
    QVERIFY(section.app.downloadLink.has_value());

    OpenedLinks browser;
    QVERIFY(openUpdateLink(section.app.releaseNotesLink->url, kHost, browser.opener()));
    QVERIFY(openUpdateLink(section.app.downloadLink->url, kHost, browser.opener()));
    QCOMPARE(browser.opened.size(), 2);
    QCOMPARE(browser.opened.at(0).toString(), QString::fromStdString(base + "notes"));
    QCOMPARE(browser.opened.at(1).toString(), QString::fromStdString(base + "download"));
}

void UpdateLinkOpenerTest::untrustedAddressesAreNeverOpened() {
    const std::string host(kHost);
    const std::string refused[] = {
        "",
        "http://" + host + "/notes",
        "HTTPS://" + host + "/notes",
        "https://evil.example/notes",
        "https://www." + host + "/notes",
        "https://" + host + ".evil.example/notes",
        "https://" + host + ":443/notes",
        "https://user@" + host + "/notes",
        "https://RELEASES.fixture.example/notes",
        " https://" + host + "/notes",
        "https://" + host + "\\@evil.example/",
        "file:///etc/passwd",
        "javascript:alert(1)",
        "/scourlet/notes",
    };
    OpenedLinks browser;
    for (const std::string& url : refused) {
        QVERIFY2(!isOpenableUpdateLink(url, kHost), url.c_str());
        QVERIFY2(!openUpdateLink(url, kHost, browser.opener()), url.c_str());
    }
    QCOMPARE(browser.opened.size(), 0);

    QVERIFY(openUpdateLink("https://" + host + "/scourlet/notes?v=2#top", kHost, browser.opener()));
    QCOMPARE(browser.opened.size(), 1);
    // What the opener answers is the answer.
    QVERIFY(!openUpdateLink("https://" + host + "/scourlet/notes", kHost,
                            [](const QUrl&) { return false; }));
}

SCOURLET_QT_TEST(UpdateLinkOpenerTest);

}  // namespace scourlet::app

#include "UpdateLinkOpenerTest.moc"
