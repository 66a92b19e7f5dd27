#include "app/settings/AdvancedPane.h"

#include <cstdlib>

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ScourletCore/config/AppConfiguration.h"
#include "app/settings/AdvancedContent.h"
#include "app/settings/PaneScrollArea.h"
#include "app/settings/PaneWidgets.h"
#include "app/settings/PlainLabel.h"
#include "app/settings/SettingsPane.h"
#include "app/settings/TextColours.h"

namespace scourlet::app {

using namespace advanced;
using StatusColor = CommandLineToolInstaller::StatusColor;

namespace {

// Our own fixed texts with their code parts in a monospace face. Every run is
// escaped: a path may hold characters that mean something in markup.
QLabel* runsLabel(const std::vector<TextRun>& runs, QWidget* parent, const QString& objectName) {
    QString html;
    for (const TextRun& run : runs) {
        const QString text = qtext(run.text).toHtmlEscaped();
        html += run.code ? QStringLiteral("<code>") + text + QStringLiteral("</code>") : text;
    }
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setText(html);
    return label;
}

QColor colorOf(StatusColor color, const QPalette& palette) {
    switch (color) {
        case StatusColor::green:
            return successColour();
        case StatusColor::red:
            return failureColour();
        case StatusColor::secondary:
            break;
    }
    return palette.color(QPalette::PlaceholderText);
}

// The installer's folder and link as the caption shows them ("~/…").
std::vector<TextRun> captionFor(const CommandLineToolInstaller& installer) {
    const std::optional<CommandLineToolInstaller::Paths>& paths = installer.paths();
    if (!paths) {
        return commandLineCaption(kUsualInstallFolder, kUsualLink);
    }
    const char* home = std::getenv("HOME");
    const std::string_view homeText = home != nullptr ? home : "";
    return commandLineCaption(shownPath(paths->installDirectory, homeText),
                              shownPath(paths->linkPath(), homeText));
}

}  // namespace

AdvancedPane::AdvancedPane(Inputs inputs, QWidget* updateSection, QWidget* parent)
    : QWidget(parent), inputs_(std::move(inputs)) {
    setObjectName(qtext(kPaneId));

    auto* scroll = new PaneScrollArea(qtext(rawValue(SettingsPane::advanced)), this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* form = new QWidget;
    auto* formLayout = new QVBoxLayout(form);
    formLayout->setSpacing(16);

    // Updates
    if (updateSection != nullptr) {
        updateSection->setParent(form);
        formLayout->addWidget(updateSection);
    }

    // Version
    QGroupBox* version = sectionBox(kVersionSection, form);
    QLabel* versionLabel = plainLabel(qtext(versionLine(config::kAppVersion, config::kAppBuild)),
                                      version, Selectable::yes);
    versionLabel->setObjectName(qtext(kVersionLineId));
    QFont headline = versionLabel->font();
    headline.setBold(true);
    versionLabel->setFont(headline);
    version->layout()->addWidget(versionLabel);
    version->layout()->addWidget(captionLabel(kMakerLine, version, qtext(kMakerLineId)));
    formLayout->addWidget(version);

    // Command Line Tool
    QGroupBox* tool = sectionBox(kCommandLineSection, form);
    tool->layout()->addWidget(runsLabel(commandLineIntro(), tool, qtext(kCommandLineIntroId)));
    QLabel* caption = runsLabel(captionFor(*inputs_.installer), tool, qtext(kCommandLineCaptionId));
    makeCaption(caption);
    tool->layout()->addWidget(caption);
    auto* toolButtons = new QHBoxLayout;
    install_ = namedButton(kInstallTitle, kInstallId, tool);
    connect(install_, &QPushButton::clicked, this, &AdvancedPane::startInstall);
    QPushButton* copyTest = namedButton(kCopyTestCommandTitle, kCopyTestCommandId, tool);
    // The monitor's own copy: written plainly, its next poll would clean the
    // trackers out of the very link the command is meant to try.
    connect(copyTest, &QPushButton::clicked, this,
            [this] { inputs_.monitor->writeUserCopy(kTestCommand); });
    toolButtons->addWidget(install_);
    toolButtons->addWidget(copyTest);
    toolButtons->addStretch(1);
    sectionColumn(tool)->addLayout(toolButtons);
    status_ = plainLabel(QString(), tool, Selectable::yes);
    status_->setObjectName(qtext(kStatusId));
    makeCaption(status_);
    tool->layout()->addWidget(status_);
    formLayout->addWidget(tool);

    // Reset
    QGroupBox* reset = sectionBox(kResetSection, form);
    auto* resetButtons = new QHBoxLayout;
    QPushButton* resetStatistics = namedButton(kResetStatisticsTitle, kResetStatisticsId, reset);
    connect(resetStatistics, &QPushButton::clicked, this, &AdvancedPane::resetStatistics);
    QPushButton* resetRules = namedButton(kResetRulesTitle, kResetRulesId, reset);
    connect(resetRules, &QPushButton::clicked, this, &AdvancedPane::resetRules);
    resetButtons->addWidget(resetStatistics);
    resetButtons->addWidget(resetRules);
    resetButtons->addStretch(1);
    sectionColumn(reset)->addLayout(resetButtons);
    formLayout->addWidget(reset);
    formLayout->addStretch(1);

    scroll->setWidget(form);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    showInstaller();
}

AdvancedPane::~AdvancedPane() = default;

void AdvancedPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!installPending_) {
        inputs_.installer->refreshStatus();
        showInstaller();
    }
}

void AdvancedPane::showInstaller() {
    const CommandLineToolInstaller& installer = *inputs_.installer;
    const CommandLineToolContent shown = CommandLineToolContent::from(
        {installer.isInstalled(), installer.isWorking() || installPending_,
         installer.statusMessage(), installer.statusColor(), installer.needsReinstall()});
    install_->setText(qtext(shown.installTitle));
    install_->setEnabled(shown.installEnabled);
    status_->setText(qtext(shown.status.value_or(std::string())));
    status_->setVisible(shown.status.has_value());
    paintText(status_, colorOf(shown.statusColor, status_->palette()));
}

void AdvancedPane::startInstall() {
    if (installPending_) {
        return;
    }
    // Off now, so it shows off while the installation holds this thread.
    installPending_ = true;
    showInstaller();
    QTimer::singleShot(0, this, &AdvancedPane::runInstall);
}

void AdvancedPane::runInstall() {
    inputs_.installer->install();
    installPending_ = false;
    showInstaller();
}

void AdvancedPane::resetStatistics() {
    if (!inputs_.prompts->confirmStatisticsReset(this)) {
        return;
    }
    inputs_.statsTracker->purgeStats();
    // Today's count in the tray menu is a cleaning statistic too.
    inputs_.monitor->resetDailyCleanCounts();
}

void AdvancedPane::resetRules() {
    // Custom rules are gone for good after this: the same question as the rules manager's.
    if (inputs_.rulesPrompts->confirmReset(this)) {
        inputs_.rulesEngine->resetToDefaults();
    }
}

}  // namespace scourlet::app
