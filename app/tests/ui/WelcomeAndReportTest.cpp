// The welcome window and the report window with its sheet.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTest>
#include <QTextLayout>

#include "QtTestMain.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "app/report/MissedTrackerReportHost.h"
#include "app/settings/WrappingTextView.h"
#include "app/shell/WelcomeWindow.h"
#include "support/ManualClock.h"
#include "support/TempDir.h"

namespace scourlet::app {

namespace {

class ScriptedSaver final : public FileSaver {
public:
    std::optional<QString> target;
    std::vector<QString> errors;

protected:
    std::optional<QString> chooseTarget(QWidget*, const Request&) override { return target; }
    void reportError(QWidget*, const QString& message) override { errors.push_back(message); }
};

// What the report window reads and does, under the test's control.
struct ReportFixture {
    std::optional<CleanResult> result;
    bool pending = false;
    std::vector<std::string> copied;
    std::vector<QUrl> opened;
    bool mailProgram = true;
    std::shared_ptr<ScriptedSaver> saver = std::make_shared<ScriptedSaver>();
    std::shared_ptr<testing::ManualClock> clock = std::make_shared<testing::ManualClock>();

    MissedTrackerReportHost::Source source() {
        MissedTrackerReportHost::Source s;
        s.lastCleanedResult = [this] { return result; };
        s.pendingShareResolution = [this] { return pending; };
        s.environment = [] {
            MissedTrackerReportDraft::Environment environment;
            environment.osVersion = "Test OS";
            environment.appVersion = "1.0.0";
            environment.rulesProviderCount = 3;
            return environment;
        };
        s.clock = clock;
        s.actions.copy = [this](const std::string& text) { copied.push_back(text); };
        s.actions.openURL = [this](const QUrl& url) {
            opened.push_back(url);
            return mailProgram;
        };
        s.actions.saver = saver;
        return s;
    }
};

const CleanResult kTracked{.originalURL = "https://shop.example/p?utm_source=news&fbclid=1",
                           .cleanedURL = "https://shop.example/p?fbclid=1"};

template <class T>
T* child(QWidget& root, const char* name) {
    return root.findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

class WelcomeAndReportTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void welcomeDoneAndCloseRecordTheFlag();
    void welcomeReportFollowsWhetherThereIsAnythingToReport();
    void reportHostPages();
    void noteKeepsFiveHundredOfAPastedSixHundred();
    void copyWritesThePreviewAndShowsFeedback();
    void emailOpensTheMailtoLinkOrSaysWhy();
    void saveWritesTheReportOrKeepsTheOldFile();
    void sheetStaysPinnedWhenANewerLinkIsCleaned();
    void closingDiscardsTheNote();
    void minimisingKeepsTheDraftAndTheWelcomeUnread();
    void noticePagesSitInTheMiddleOfTheWindow();
    void reportAddressNeverBreaksInsideItself();
};

void WelcomeAndReportTest::welcomeDoneAndCloseRecordTheFlag() {
    for (int way = 0; way < 3; ++way) {
        auto defaults = std::make_shared<InMemoryUserDefaults>();
        WelcomeWindow welcome(defaults, [] { return false; }, [] {});
        welcome.show();
        QVERIFY(!defaults->boolForKey(WelcomeWindow::kAcknowledgedKey));
        if (way == 0) {
            child<QPushButton>(welcome, "welcome-done")->click();
        } else if (way == 1) {
            QTest::keyClick(&welcome, Qt::Key_Return);
        } else {
            welcome.close();  // the window's close button
        }
        QVERIFY(!welcome.isVisible());
        QVERIFY(defaults->boolForKey(WelcomeWindow::kAcknowledgedKey));
    }
}

void WelcomeAndReportTest::welcomeReportFollowsWhetherThereIsAnythingToReport() {
    bool reportable = false;
    int opened = 0;
    WelcomeWindow welcome(std::make_shared<InMemoryUserDefaults>(), [&] { return reportable; },
                          [&] { ++opened; });
    welcome.show();
    auto* report = child<QPushButton>(welcome, "welcome-report");
    QCOMPARE(report->text(), QStringLiteral("Report Missed Tracker"));
    QVERIFY(!report->isEnabled());
    reportable = true;
    welcome.refresh();
    QVERIFY(report->isEnabled());
    report->click();
    QCOMPARE(opened, 1);
    QVERIFY(welcome.isVisible());
}

void WelcomeAndReportTest::reportHostPages() {
    ReportFixture fixture;
    MissedTrackerReportHost host(fixture.source());
    host.show();
    QCOMPARE(host.state(), ReportHostState::noResult);
    auto* pages = host.findChild<QStackedWidget*>();
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("report-empty-state"));
    QTest::keyClick(&host, Qt::Key_Return);
    QVERIFY(!host.isVisible());

    fixture.result = kTracked;
    fixture.pending = true;
    host.show();
    QCOMPARE(host.state(), ReportHostState::pendingResolution);
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("report-pending-notice"));
    QVERIFY(host.sheet() == nullptr);

    fixture.pending = false;
    host.refresh();
    QCOMPARE(host.state(), ReportHostState::sheet);
    QVERIFY(host.sheet() != nullptr);
    // Shown as plain text (the view has no rich text), wrapping inside the window.
    QCOMPARE(child<WrappingTextView>(host, "report-original-url")->text(),
             QString::fromStdString(kTracked.originalURL));
    // An empty note still builds the report.
    QVERIFY(child<QPlainTextEdit>(host, "report-preview")->toPlainText().contains(
        QString::fromStdString(kTracked.cleanedURL)));
    QCOMPARE(child<QLabel>(host, "report-note-counter")->text(), QStringLiteral("0 / 500"));
}

void WelcomeAndReportTest::noteKeepsFiveHundredOfAPastedSixHundred() {
    ReportFixture fixture;
    fixture.result = kTracked;
    MissedTrackerReportHost host(fixture.source());
    host.show();
    auto* note = child<QPlainTextEdit>(host, "report-note");
    QString pasted;
    for (int i = 0; i < 300; ++i) {
        pasted += QStringLiteral("\U0001F44D\U0001F3FDx");  // an emoji (one character) and a letter
    }
    note->insertPlainText(pasted);
    QCOMPARE(child<QLabel>(host, "report-note-counter")->text(), QStringLiteral("500 / 500"));
    QString kept;
    for (int i = 0; i < 250; ++i) {
        kept += QStringLiteral("\U0001F44D\U0001F3FDx");
    }
    QCOMPARE(note->toPlainText(), kept);
    QVERIFY(child<QPlainTextEdit>(host, "report-preview")->toPlainText().contains(kept));
}

void WelcomeAndReportTest::copyWritesThePreviewAndShowsFeedback() {
    ReportFixture fixture;
    fixture.result = kTracked;
    MissedTrackerReportHost host(fixture.source());
    host.show();
    QTest::keyClicks(child<QPlainTextEdit>(host, "report-note"), QStringLiteral("fbclid stays"));
    auto* preview = child<QPlainTextEdit>(host, "report-preview");
    // Copied a minute after the last edit: the report copied is built afresh,
    // and the preview shows that very report, creation time included.
    const QString previewBefore = preview->toPlainText();
    fixture.clock->advance(std::chrono::minutes(1));
    child<QPushButton>(host, "report-copy")->click();
    QCOMPARE(fixture.copied.size(), 1u);
    QCOMPARE(QString::fromStdString(fixture.copied[0]), preview->toPlainText());
    QVERIFY(preview->toPlainText() != previewBefore);
    QVERIFY(preview->toPlainText().contains(QStringLiteral("fbclid stays")));
    auto* feedback = child<QLabel>(host, "report-copy-feedback");
    QVERIFY(feedback->isVisible());
    QCOMPARE(feedback->text(), QStringLiteral("Copied"));
    QTest::qWait(MissedTrackerReportSheet::copyFeedbackMilliseconds / 2);
    QVERIFY(feedback->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!feedback->isVisible(), 3000);
}

void WelcomeAndReportTest::emailOpensTheMailtoLinkOrSaysWhy() {
    ReportFixture fixture;
    fixture.result = kTracked;
    MissedTrackerReportHost host(fixture.source());
    host.show();
    auto* email = child<QPushButton>(host, "report-email");
    QVERIFY(email->isEnabled());
    QVERIFY(!child<QLabel>(host, "report-too-long")->isVisible());
    email->click();
    QCOMPARE(fixture.opened.size(), 1u);
    QCOMPARE(fixture.opened[0].scheme(), QStringLiteral("mailto"));
    QVERIFY(!child<QLabel>(host, "report-mail-failed")->isVisible());

    fixture.mailProgram = false;
    email->click();
    QVERIFY(child<QLabel>(host, "report-mail-failed")->isVisible());
    QVERIFY(child<QLabel>(host, "report-mail-failed")->text().contains(QStringLiteral("Copy Report")));
}

void WelcomeAndReportTest::saveWritesTheReportOrKeepsTheOldFile() {
    testing::TempDir dir;
    ReportFixture fixture;
    fixture.result = kTracked;
    MissedTrackerReportHost host(fixture.source());
    host.show();
    auto* save = child<QPushButton>(host, "report-save");
    QCOMPARE(save->text(), QStringLiteral("Save Report\u2026"));
    fixture.saver->target = QString::fromStdString((dir / "report.txt").string());
    save->click();
    QVERIFY(fixture.saver->errors.empty());
    QCOMPARE(QString::fromStdString(testing::readFile(dir / "report.txt")),
             child<QPlainTextEdit>(host, "report-preview")->toPlainText());

    testing::writeFile(dir / "old.txt", "old");
    std::filesystem::create_directories(dir / "taken.txt");
    fixture.saver->target = QString::fromStdString((dir / "taken.txt").string());
    save->click();
    QCOMPARE(fixture.saver->errors.size(), 1u);
    QCOMPARE(testing::readFile(dir / "old.txt"), std::string("old"));
}

void WelcomeAndReportTest::sheetStaysPinnedWhenANewerLinkIsCleaned() {
    ReportFixture fixture;
    fixture.result = kTracked;
    MissedTrackerReportHost host(fixture.source());
    host.show();
    QTest::keyClicks(child<QPlainTextEdit>(host, "report-note"), QStringLiteral("utm left"));
    auto* newer = child<QLabel>(host, "report-newer-clean");
    QVERIFY(!newer->isVisible());

    fixture.result = CleanResult{.originalURL = "https://other.example/?gclid=9",
                                 .cleanedURL = "https://other.example/"};
    host.refresh();
    QVERIFY(newer->isVisible());
    QCOMPARE(child<WrappingTextView>(host, "report-original-url")->text(),
             QString::fromStdString(kTracked.originalURL));
    QCOMPARE(child<QPlainTextEdit>(host, "report-note")->toPlainText(), QStringLiteral("utm left"));
    child<QPushButton>(host, "report-copy")->click();
    QVERIFY(fixture.copied.back().find(kTracked.originalURL) != std::string::npos);
    QVERIFY(fixture.copied.back().find("other.example") == std::string::npos);
}

void WelcomeAndReportTest::closingDiscardsTheNote() {
    ReportFixture fixture;
    fixture.result = kTracked;
    MissedTrackerReportHost host(fixture.source());
    host.show();
    QTest::keyClicks(child<QPlainTextEdit>(host, "report-note"), QStringLiteral("something"));
    child<QPushButton>(host, "report-cancel")->click();
    QVERIFY(!host.isVisible());
    host.show();
    QTRY_COMPARE(host.findChildren<MissedTrackerReportSheet*>().size(), 1);
    QCOMPARE(child<QPlainTextEdit>(host, "report-note")->toPlainText(), QString());
    QTest::keyClick(host.sheet(), Qt::Key_Escape);
    QVERIFY(!host.isVisible());
}

// The window system hides a window it minimises: only a close ends the
// report's draft or counts as having read the welcome window.
void WelcomeAndReportTest::minimisingKeepsTheDraftAndTheWelcomeUnread() {
    ReportFixture fixture;
    fixture.result = kTracked;
    MissedTrackerReportHost host(fixture.source());
    host.show();
    QTest::keyClicks(child<QPlainTextEdit>(host, "report-note"), QStringLiteral("utm left"));
    MissedTrackerReportSheet* sheet = host.sheet();
    fixture.result = CleanResult{.originalURL = "https://other.example/?gclid=9",
                                 .cleanedURL = "https://other.example/"};
    host.showMinimized();
    QTRY_VERIFY(host.isMinimized());
    host.showNormal();
    QTRY_VERIFY(!host.isMinimized());
    QCoreApplication::processEvents();
    QVERIFY(host.sheet() == sheet);  // the same sheet, not a fresh one
    QCOMPARE(child<QPlainTextEdit>(host, "report-note")->toPlainText(), QStringLiteral("utm left"));
    QCOMPARE(child<WrappingTextView>(host, "report-original-url")->text(),
             QString::fromStdString(kTracked.originalURL));
    QVERIFY(child<QLabel>(host, "report-newer-clean")->isVisible());

    auto defaults = std::make_shared<InMemoryUserDefaults>();
    WelcomeWindow welcome(defaults, [] { return false; }, [] {});
    welcome.show();
    welcome.showMinimized();
    QTRY_VERIFY(welcome.isMinimized());
    welcome.showNormal();
    QTRY_VERIFY(!welcome.isMinimized());
    QVERIFY(!defaults->boolForKey(WelcomeWindow::kAcknowledgedKey));
    welcome.close();
    QVERIFY(defaults->boolForKey(WelcomeWindow::kAcknowledgedKey));
}

void WelcomeAndReportTest::noticePagesSitInTheMiddleOfTheWindow() {
    ReportFixture fixture;
    MissedTrackerReportHost host(fixture.source());
    host.resize(760, 700);
    for (bool pending : {false, true}) {
        fixture.pending = pending;
        fixture.result = pending ? std::optional<CleanResult>(kTracked) : std::nullopt;
        host.show();
        host.refresh();
        QCoreApplication::processEvents();
        // The notice: the fixed-size frame of the symbol, the text and "Close".
        const QString name = pending ? QStringLiteral("report-pending-notice-close")
                                     : QStringLiteral("report-empty-state-close");
        auto* close = host.findChild<QPushButton*>(name);
        QVERIFY2(close != nullptr && close->isVisible(), qPrintable(name));
        QWidget* frame = close->parentWidget();
        const QRect inWindow(frame->mapTo(&host, QPoint(0, 0)), frame->size());
        QVERIFY2(std::abs(inWindow.center().x() - host.rect().center().x()) <= 1 &&
                     std::abs(inWindow.center().y() - host.rect().center().y()) <= 1,
                 qPrintable(name));
    }
}

// However the line falls, the address to write to stays on one line: no
// "missed-" at the end of one line and "trackers@…" at the start of the next.
void WelcomeAndReportTest::reportAddressNeverBreaksInsideItself() {
    ReportFixture fixture;
    fixture.result = kTracked;
    fixture.mailProgram = false;
    MissedTrackerReportHost host(fixture.source());
    host.show();
    child<QPushButton>(host, "report-email")->click();
    auto* failed = child<QLabel>(host, "report-mail-failed");
    const QString address = QString::fromUtf8(MissedTrackerReport::recipientEmail().data());
    const QString text = failed->text();
    // The address as shown: its characters, with nothing but invisible joiners between them.
    QStringList characters;
    for (QChar c : address) {
        characters << QRegularExpression::escape(QString(c));
    }
    const QRegularExpressionMatch shown =
        QRegularExpression(characters.join(QStringLiteral("\\x{2060}?"))).match(text);
    QVERIFY(shown.hasMatch());
    const qsizetype first = shown.capturedStart();
    const qsizetype last = shown.capturedEnd() - 1;
    for (int width = 120; width <= 900; width += 3) {
        QTextLayout layout(text, failed->font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        int firstLine = -1;
        int lastLine = -1;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            if (first >= line.textStart() && first < line.textStart() + line.textLength()) {
                firstLine = line.lineNumber();
            }
            if (last >= line.textStart() && last < line.textStart() + line.textLength()) {
                lastLine = line.lineNumber();
            }
        }
        layout.endLayout();
        QVERIFY2(firstLine == lastLine, qPrintable(QStringLiteral("width %1").arg(width)));
    }
}

SCOURLET_QT_TEST(WelcomeAndReportTest);

}  // namespace scourlet::app

#include "WelcomeAndReportTest.moc"
