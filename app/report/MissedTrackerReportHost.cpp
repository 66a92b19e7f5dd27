#include "app/report/MissedTrackerReportHost.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

#include "app/settings/PlainLabel.h"

namespace scourlet::app {

namespace {

// A notice of a fixed size, in the middle of the window however large it is.
QWidget* notice(QStyle::StandardPixmap icon, const QString& text, const QString& name, QSize size,
                QWidget* host) {
    auto* page = new QWidget;
    page->setObjectName(name);
    auto* centring = new QVBoxLayout(page);
    auto* frame = new QWidget(page);
    frame->setObjectName(name + QStringLiteral("-frame"));
    frame->setFixedSize(size);
    centring->addWidget(frame, 0, Qt::AlignCenter);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(30, 30, 30, 30);
    layout->setSpacing(14);
    auto* symbol = new QLabel(frame);
    symbol->setPixmap(host->style()->standardIcon(icon).pixmap(36, 36));
    symbol->setAlignment(Qt::AlignCenter);
    layout->addWidget(symbol);
    auto* message = plainLabel(text, frame);
    message->setAlignment(Qt::AlignCenter);
    layout->addWidget(message);
    auto* close = new QPushButton(QStringLiteral("Close"), frame);
    close->setObjectName(name + QStringLiteral("-close"));
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, host, &QWidget::close);
    layout->addWidget(close, 0, Qt::AlignCenter);
    return page;
}

}  // namespace

MissedTrackerReportHost::MissedTrackerReportHost(Source source, QWidget* parent)
    : QWidget(parent), source_(std::move(source)) {
    setObjectName(QStringLiteral("report-window"));
    source_.actions.dismiss = [this] { close(); };
    pages_ = new QStackedWidget(this);
    pendingNotice_ = notice(QStyle::SP_MessageBoxWarning,
                            QStringLiteral("Resolve the direct share link before reporting a missed tracker."),
                            QStringLiteral("report-pending-notice"), QSize(440, 220), this);
    emptyState_ = notice(QStyle::SP_FileDialogInfoView,
                         qtext(MissedTrackerReport::SharedCopy::emptyStateMessage),
                         QStringLiteral("report-empty-state"), QSize(400, 220), this);
    pages_->addWidget(pendingNotice_);
    pages_->addWidget(emptyState_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);
}

void MissedTrackerReportHost::refresh() {
    const std::optional<CleanResult> result = source_.lastCleanedResult();
    state_ = reportHostState(source_.pendingShareResolution(), result.has_value());
    switch (state_) {
    case ReportHostState::pendingResolution:
        pages_->setCurrentWidget(pendingNotice_);
        return;
    case ReportHostState::noResult:
        pages_->setCurrentWidget(emptyState_);
        return;
    case ReportHostState::sheet:
        break;
    }
    if (sheet_ == nullptr) {
        sheet_ = new MissedTrackerReportSheet(
            MissedTrackerReportDraft(*result, source_.environment(), source_.clock), source_.actions,
            QString::fromLatin1(noteHelpText));
        pages_->addWidget(sheet_);
    }
    sheet_->setNewerCleanNotice(*result != sheet_->draft().result());
    pages_->setCurrentWidget(sheet_);
}

void MissedTrackerReportHost::discardSheet() {
    if (sheet_ != nullptr) {
        pages_->removeWidget(sheet_);
        sheet_->deleteLater();
        sheet_ = nullptr;
    }
}

void MissedTrackerReportHost::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

// A close, not a hide: the window system also hides a window it minimises,
// and a minimised report is a draft the user means to come back to.
void MissedTrackerReportHost::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    discardSheet();
}

void MissedTrackerReportHost::keyPressEvent(QKeyEvent* event) {
    const bool confirm = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (state_ != ReportHostState::sheet && (confirm || event->key() == Qt::Key_Escape)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace scourlet::app
