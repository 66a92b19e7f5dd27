#include "app/report/MissedTrackerReportSheet.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "app/settings/AtomicFileWrite.h"
#include "app/settings/DisplayedText.h"
#include "app/settings/PlainLabel.h"
#include "app/settings/WrappingTextView.h"

namespace scourlet::app {

namespace {

using Copy = MissedTrackerReport::SharedCopy;

QWidget* urlBlock(const QString& title, const QColor& colour, const std::string& url, const QString& name,
                  QWidget* parent) {
    auto* block = new QWidget(parent);
    auto* layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* label = plainLabel(title, block);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    layout->addWidget(label);
    const QString shown = qtext(displayedText(url));
    auto* value = new WrappingTextView(shown, block);
    value->setObjectName(name);
    value->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(value);
    block->setAccessibleName(title + QStringLiteral(": ") + shown);
    return block;
}

}  // namespace

MissedTrackerReportSheet::MissedTrackerReportSheet(MissedTrackerReportDraft draft, Actions actions,
                                                   const QString& noteHelpText, QWidget* parent)
    : QWidget(parent), draft_(std::move(draft)), actions_(std::move(actions)) {
    setObjectName(QStringLiteral("report-sheet"));
    setMinimumSize(560, 560);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);

    auto* header = new QWidget(this);
    auto* headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    auto* title = plainLabel(qtext(Copy::reviewTitle), header);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    title->setFont(titleFont);
    headerLayout->addWidget(title);
    auto* helper = plainLabel(qtext(Copy::reviewHelperText), header);
    makeCaption(helper);
    headerLayout->addWidget(helper);
    header->setAccessibleName(qtext(Copy::reviewTitle) + QStringLiteral(". ") + qtext(Copy::reviewHelperText));
    layout->addWidget(header);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    layout->addWidget(divider);

    auto* scroll = new QScrollArea(this);
    // A focus stop (the arrow keys scroll it): read by what it holds.
    scroll->setAccessibleName(QStringLiteral("Report"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* body = new QWidget;
    auto* column = new QVBoxLayout(body);
    column->setSpacing(12);
    column->addWidget(urlBlock(QStringLiteral("Original URL"), QColor(Qt::red), draft_.result().originalURL,
                               QStringLiteral("report-original-url"), body));
    column->addWidget(urlBlock(QStringLiteral("Cleaned URL"), QColor(0, 140, 0), draft_.result().cleanedURL,
                               QStringLiteral("report-cleaned-url"), body));
    newerClean_ = plainLabel(QStringLiteral("A newer link was cleaned. Close and reopen to report it."), body);
    newerClean_->setObjectName(QStringLiteral("report-newer-clean"));
    makeCaption(newerClean_);
    newerClean_->hide();
    column->addWidget(newerClean_);

    auto* prompt = plainLabel(qtext(Copy::notePrompt), body);
    column->addWidget(prompt);
    auto* help = plainLabel(noteHelpText, body);
    makeCaption(help);
    column->addWidget(help);
    note_ = new QPlainTextEdit(body);
    note_->setObjectName(QStringLiteral("report-note"));
    note_->setAccessibleName(qtext(Copy::notePrompt));
    note_->setMinimumHeight(70);
    note_->setMaximumHeight(100);
    column->addWidget(note_);
    counter_ = plainLabel(QString(), body);
    counter_->setObjectName(QStringLiteral("report-note-counter"));
    counter_->setAlignment(Qt::AlignRight);
    makeCaption(counter_);
    column->addWidget(counter_);

    column->addWidget(plainLabel(QStringLiteral("Report preview"), body));
    preview_ = new QPlainTextEdit(body);
    preview_->setObjectName(QStringLiteral("report-preview"));
    preview_->setAccessibleName(QStringLiteral("Report preview"));
    preview_->setReadOnly(true);
    preview_->setMaximumHeight(140);
    preview_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    column->addWidget(preview_);
    scroll->setWidget(body);
    layout->addWidget(scroll, 1);

    tooLong_ = plainLabel(QStringLiteral("This report is too long for email compose. Use Save Report or Copy Report."),
                          this);
    tooLong_->setObjectName(QStringLiteral("report-too-long"));
    makeCaption(tooLong_);
    layout->addWidget(tooLong_);
    const QString mailFailedStart = QStringLiteral(
        "No e-mail program opened the report. Use Copy Report and paste it into a message to ");
    const QString recipient = qtext(MissedTrackerReport::recipientEmail());
    mailFailed_ = plainLabel(mailFailedStart + keptWhole(recipient) + QStringLiteral("."), this);
    mailFailed_->setObjectName(QStringLiteral("report-mail-failed"));
    // Read without the joiners that keep the address on one line.
    mailFailed_->setAccessibleName(mailFailedStart + recipient + QStringLiteral("."));
    makeCaption(mailFailed_);
    mailFailed_->hide();
    layout->addWidget(mailFailed_);

    auto* buttons = new QHBoxLayout;
    auto* cancel = new QPushButton(qtext(Copy::cancelButtonLabel), this);
    cancel->setObjectName(QStringLiteral("report-cancel"));
    connect(cancel, &QPushButton::clicked, this, [this] { actions_.dismiss(); });
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    copyFeedback_ = plainLabel(QStringLiteral("Copied"), this);
    copyFeedback_->setObjectName(QStringLiteral("report-copy-feedback"));
    copyFeedback_->setAccessibleName(QStringLiteral("Copied"));
    copyFeedback_->setAccessibleDescription(QStringLiteral("Report copied"));
    makeCaption(copyFeedback_);
    copyFeedback_->hide();
    buttons->addWidget(copyFeedback_);
    auto* copy = new QPushButton(qtext(Copy::copyButtonLabel), this);
    copy->setObjectName(QStringLiteral("report-copy"));
    connect(copy, &QPushButton::clicked, this, &MissedTrackerReportSheet::copyReport);
    buttons->addWidget(copy);
    auto* save = new QPushButton(QStringLiteral("Save Report\u2026"), this);
    save->setObjectName(QStringLiteral("report-save"));
    connect(save, &QPushButton::clicked, this, &MissedTrackerReportSheet::saveReport);
    buttons->addWidget(save);
    email_ = new QPushButton(qtext(Copy::emailButtonLabel), this);
    email_->setObjectName(QStringLiteral("report-email"));
    email_->setDefault(true);
    connect(email_, &QPushButton::clicked, this, &MissedTrackerReportSheet::emailReport);
    buttons->addWidget(email_);
    layout->addLayout(buttons);

    feedbackTimer_ = new QTimer(this);
    feedbackTimer_->setSingleShot(true);
    feedbackTimer_->setInterval(copyFeedbackMilliseconds);
    connect(feedbackTimer_, &QTimer::timeout, copyFeedback_, &QWidget::hide);

    connect(note_, &QPlainTextEdit::textChanged, this, &MissedTrackerReportSheet::noteEdited);
    showCurrentReport();
}

void MissedTrackerReportSheet::setNewerCleanNotice(bool shown) {
    newerClean_->setVisible(shown);
}

void MissedTrackerReportSheet::noteEdited() {
    if (draft_.setNote(note_->toPlainText().toStdString())) {
        const QSignalBlocker quiet(note_);
        note_->setPlainText(qtext(draft_.note()));
        note_->moveCursor(QTextCursor::End);
    }
    showCurrentReport();
}

MissedTrackerReport MissedTrackerReportSheet::showCurrentReport() {
    MissedTrackerReport report = draft_.report();
    counter_->setText(qtext(draft_.counterText()));
    const QString body = qtext(report.bodyText());
    if (preview_->toPlainText() != body) {
        preview_->setPlainText(body);
    }
    const bool emailAvailable = report.mailtoIsSafeLength();
    email_->setEnabled(emailAvailable);
    tooLong_->setVisible(!emailAvailable);
    return report;
}

void MissedTrackerReportSheet::copyReport() {
    actions_.copy(showCurrentReport().bodyText());
    copyFeedback_->show();
    // A second copy restarts the 1.6 seconds.
    feedbackTimer_->start();
}

void MissedTrackerReportSheet::saveReport() {
    const std::string body = showCurrentReport().bodyText();
    actions_.saver->save(this,
                         {QStringLiteral("Save Report"), QStringLiteral("Scourlet-Report.txt"),
                          QStringLiteral("Text (*.txt)"), QStringLiteral("txt")},
                         [&body](const QString& path) { return writeFileAtomically(path, body); });
}

void MissedTrackerReportSheet::emailReport() {
    const MissedTrackerReport report = showCurrentReport();
    if (!report.mailtoIsSafeLength()) {
        return;
    }
    const std::string mailto = *report.mailtoURL();
    const QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(mailto), QUrl::StrictMode);
    mailFailed_->setVisible(!url.isValid() || !actions_.openURL(url));
}

void MissedTrackerReportSheet::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        actions_.dismiss();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && email_->isEnabled()) {
        emailReport();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace scourlet::app
