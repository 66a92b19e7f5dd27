#include "app/shell/WelcomeWindow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ScourletCore/clipboard/MissedTrackerReport.h"

namespace scourlet::app {

namespace {

QLabel* text(const QString& content, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setText(content);
    return label;
}

QLabel* secondary(QLabel* label, double scale) {
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

}  // namespace

WelcomeWindow::WelcomeWindow(std::shared_ptr<UserDefaults> standardDefaults,
                             std::function<bool()> canReport, std::function<void()> openReport,
                             QWidget* parent)
    : QWidget(parent),
      defaults_(std::move(standardDefaults)),
      canReport_(std::move(canReport)),
      openReport_(std::move(openReport)) {
    setObjectName(QStringLiteral("welcome-window"));
    setMinimumWidth(460);
    setMaximumWidth(640);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(16);

    auto* title = text(QStringLiteral("Welcome to Scourlet"), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    title->setFont(titleFont);
    layout->addWidget(title);
    layout->addWidget(text(QStringLiteral("Scourlet cleans copied links and warns about risky terminal "
                                          "commands while keeping everything local on your computer."),
                           this));

    auto* bullets = new QVBoxLayout;
    bullets->setSpacing(10);
    const QString bulletTexts[] = {
        QStringLiteral("Removes common trackers like utm_* and similar parameters"),
        QStringLiteral("Preserves functional parameters when needed"),
        QStringLiteral("Warns when copied terminal commands match risky patterns"),
        QStringLiteral("Can optionally neutralize risky commands by replacing them with commented text"),
        QStringLiteral("Processes links locally on your computer"),
        QStringLiteral("Lets you report missed trackers from the app"),
    };
    int index = 0;
    for (const QString& bullet : bulletTexts) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        auto* check = text(QStringLiteral("\u2714"), this);
        QPalette palette = check->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 150, 0));
        check->setPalette(palette);
        check->setContentsMargins(0, 2, 0, 0);
        row->addWidget(check, 0, Qt::AlignTop);
        auto* label = text(bullet, this);
        label->setObjectName(QStringLiteral("welcome-bullet-%1").arg(index++));
        row->addWidget(label, 1);
        bullets->addLayout(row);
    }
    layout->addLayout(bullets);

    layout->addWidget(secondary(
        text(QStringLiteral("Some URL parameters are intentionally kept because they control content, restore "
                            "state, or keep a link functioning. Command Guard warns on risky patterns; it "
                            "does not claim to prove whether a command is malware."),
             this),
        0.85));
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    layout->addWidget(divider);
    auto* how = text(QStringLiteral("How it works"), this);
    QFont bold = how->font();
    bold.setBold(true);
    how->setFont(bold);
    layout->addWidget(how);
    layout->addWidget(secondary(
        text(QStringLiteral("Scourlet checks copied links for known tracking parameters and copied command text "
                            "for risky shell patterns. It does not need to send clipboard contents to a cloud "
                            "service just to clean or classify them."),
             this),
        0.95));

    auto* buttons = new QHBoxLayout;
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    done->setObjectName(QStringLiteral("welcome-done"));
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, [this] {
        acknowledge();
        close();
    });
    buttons->addWidget(done);
    buttons->addStretch(1);
    const std::string_view reportLabel = MissedTrackerReport::SharedCopy::reportActionLabel;
    report_ = new QPushButton(QString::fromUtf8(reportLabel.data(), static_cast<qsizetype>(reportLabel.size())),
                              this);
    report_->setObjectName(QStringLiteral("welcome-report"));
    connect(report_, &QPushButton::clicked, this, [this] { openReport_(); });
    buttons->addWidget(report_);
    layout->addLayout(buttons);
    refresh();
}

void WelcomeWindow::refresh() {
    report_->setEnabled(canReport_());
}

void WelcomeWindow::acknowledge() {
    if (defaults_) {
        defaults_->setBool(kAcknowledgedKey, true);
    }
}

// A close, not a hide: minimising hides the window too, and a user who
// minimised it has not finished reading it.
void WelcomeWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    acknowledge();
}

void WelcomeWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        acknowledge();
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace scourlet::app
