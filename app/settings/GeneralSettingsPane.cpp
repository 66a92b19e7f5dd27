#include "app/settings/GeneralSettingsPane.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ScourletCore/clipboard/CommandGuard.h"
#include "ScourletCore/clipboard/MissedTrackerReport.h"
#include "app/settings/GeneralSettingsContent.h"
#include "app/settings/PaneScrollArea.h"
#include "app/settings/PaneWidgets.h"
#include "app/settings/PlainLabel.h"
#include "app/settings/SettingsPane.h"
#include "app/settings/TextColours.h"
#include "app/shell/WindowIds.h"

namespace scourlet::app {

using namespace general_settings;

namespace {

QCheckBox* switchFor(const GeneralSettingsContent::Switch& shown, QWidget* parent) {
    auto* box = new QCheckBox(qtext(shown.title), parent);
    box->setObjectName(qtext(shown.id));
    return box;
}

void display(QCheckBox* box, const GeneralSettingsContent::Switch& shown) {
    if (box->isChecked() != shown.on) {
        const QSignalBlocker quiet(box);
        box->setChecked(shown.on);
    }
    box->setEnabled(shown.enabled);
}

}  // namespace

GeneralSettingsPane::GeneralSettingsPane(std::shared_ptr<ClipboardMonitor> monitor,
                                         std::shared_ptr<NotificationManager> notifications,
                                         std::shared_ptr<LaunchAtLogin> launchAtLogin,
                                         Actions actions, QWidget* parent)
    : QWidget(parent),
      monitor_(std::move(monitor)),
      notifications_(std::move(notifications)),
      launchAtLogin_(std::move(launchAtLogin)),
      actions_(std::move(actions)) {
    setObjectName(qtext(kPaneId));
    // Ids and titles only; values come with refresh().
    const GeneralSettingsContent names = GeneralSettingsContent::from({});

    auto* scroll = new PaneScrollArea(qtext(rawValue(SettingsPane::settings)), this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* form = new QWidget;
    auto* formLayout = new QVBoxLayout(form);
    formLayout->setSpacing(16);

    // Welcome
    QGroupBox* welcome = sectionBox(kWelcomeSection, form);
    welcome->layout()->addWidget(plainLabel(qtext(kWelcomeText), welcome));
    welcome->layout()->addWidget(captionLabel(kWelcomeCaption, welcome));
    auto* welcomeButtons = new QHBoxLayout;
    QPushButton* howItWorks = namedButton(kHowItWorksTitle, kHowItWorksId, welcome);
    connect(howItWorks, &QPushButton::clicked, this,
            [this] { actions_.openWindow(kWelcomeWindowId); });
    welcomeReport_ =
        namedButton(MissedTrackerReport::SharedCopy::reportActionLabel, kWelcomeReportId, welcome);
    connect(welcomeReport_, &QPushButton::clicked, this,
            [this] { actions_.openWindow(kReportWindowId); });
    welcomeButtons->addWidget(howItWorks);
    welcomeButtons->addWidget(welcomeReport_);
    welcomeButtons->addStretch(1);
    sectionColumn(welcome)->addLayout(welcomeButtons);
    formLayout->addWidget(welcome);

    // Startup
    QGroupBox* startup = sectionBox(kStartupSection, form);
    launch_ = switchFor(names.launchAtLogin, startup);
    connect(launch_, &QCheckBox::toggled, this, [this](bool on) {
        launchAtLogin_->set(on);
        refresh();
    });
    launchFailure_ = plainLabel(QString(), startup, Selectable::yes);
    launchFailure_->setObjectName(qtext(kLaunchAtLoginFailureId));
    makeCaption(launchFailure_);
    paintText(launchFailure_, failureColour());
    launchFailure_->hide();
    startup->layout()->addWidget(launch_);
    startup->layout()->addWidget(launchFailure_);
    formLayout->addWidget(startup);

    // Cleaning
    QGroupBox* cleaning = sectionBox(kCleaningSection, form);
    autoClean_ = switchFor(names.autoClean, cleaning);
    connect(autoClean_, &QCheckBox::toggled, this, [this](bool on) {
        monitor_->setIsEnabled(on);
        refresh();
    });
    autoResolve_ = switchFor(names.autoResolve, cleaning);
    connect(autoResolve_, &QCheckBox::toggled, this, [this](bool on) {
        monitor_->setAutomaticShareLinkResolutionEnabled(on);
        refresh();
    });
    cleaning->layout()->addWidget(autoClean_);
    cleaning->layout()->addWidget(autoResolve_);
    cleaning->layout()->addWidget(captionLabel(kCleaningCaption, cleaning));
    formLayout->addWidget(cleaning);

    // Command Guard
    QGroupBox* guard = sectionBox(kCommandGuardSection, form);
    commandGuard_ = switchFor(names.commandGuard, guard);
    connect(commandGuard_, &QCheckBox::toggled, this, [this](bool on) {
        monitor_->setIsCommandGuardEnabled(on);
        refresh();
    });
    guard->layout()->addWidget(commandGuard_);
    auto* thresholdRow = new QHBoxLayout;
    thresholdTitle_ = plainLabel(qtext(kThresholdTitle), guard);
    thresholdTitle_->setWordWrap(false);
    thresholdRow->addWidget(thresholdTitle_);
    auto* segments = new QWidget(guard);
    segments->setObjectName(qtext(kThresholdId));
    segments->setAccessibleName(qtext(kThresholdTitle));
    auto* segmentLayout = new QHBoxLayout(segments);
    segmentLayout->setContentsMargins(0, 0, 0, 0);
    segmentLayout->setSpacing(0);
    for (std::size_t i = 0; i < names.threshold.size(); ++i) {
        const GeneralSettingsContent::Segment& segment = names.threshold[i];
        auto* segmentButton = namedButton(segment.title, segment.id, segments);
        segmentButton->setCheckable(true);
        const CommandRiskSeverity value = segment.value;
        // Checked however it came (click, key, accessibility action): that
        // threshold. Unchecked: refresh() checks the segment of the stored one again.
        connect(segmentButton, &QPushButton::toggled, this, [this, value](bool checked) {
            if (checked) {
                monitor_->setCommandGuardThreshold(value);
            }
            refresh();
        });
        segmentLayout->addWidget(segmentButton);
        thresholdSegments_[i] = segmentButton;
    }
    thresholdRow->addWidget(segments);
    thresholdRow->addStretch(1);
    sectionColumn(guard)->addLayout(thresholdRow);
    neutralize_ = switchFor(names.neutralize, guard);
    connect(neutralize_, &QCheckBox::toggled, this, [this](bool on) {
        monitor_->setShouldNeutralizeRiskyCommands(on);
        refresh();
    });
    guard->layout()->addWidget(neutralize_);
    auto* testRow = new QHBoxLayout;
    QPushButton* copyTest = namedButton(kCopyTestCommandTitle, kCopyTestCommandId, guard);
    // Put there as the user's own copy on purpose: the next poll tries Command Guard on it.
    connect(copyTest, &QPushButton::clicked, this, [this] { actions_.copyAsUser(kTestCommand); });
    rulesVersion_ = captionLabel({}, guard, qtext(kRulesVersionId));
    rulesVersion_->setWordWrap(false);
    testRow->addWidget(copyTest);
    testRow->addWidget(rulesVersion_);
    testRow->addStretch(1);
    sectionColumn(guard)->addLayout(testRow);
    guard->layout()->addWidget(captionLabel(kCommandGuardCaption, guard));
    formLayout->addWidget(guard);

    // Notifications
    QGroupBox* notices = sectionBox(kNotificationsSection, form);
    cleanNotifications_ = switchFor(names.cleanNotifications, notices);
    connect(cleanNotifications_, &QCheckBox::toggled, this, [this](bool on) {
        notifications_->setIsEnabled(on);
        if (on) {
            notifications_->requestPermission();
        }
        refresh();
    });
    commandNotifications_ = switchFor(names.commandNotifications, notices);
    connect(commandNotifications_, &QCheckBox::toggled, this, [this](bool on) {
        notifications_->setAreCommandWarningsEnabled(on);
        if (on) {
            notifications_->requestPermission();
        }
        refresh();
    });
    notices->layout()->addWidget(cleanNotifications_);
    notices->layout()->addWidget(commandNotifications_);
    notices->layout()->addWidget(captionLabel(kNotificationsCaption, notices));
    formLayout->addWidget(notices);

    // Support
    QGroupBox* support = sectionBox(kSupportSection, form);
    supportReport_ =
        namedButton(MissedTrackerReport::SharedCopy::reportActionLabel, kSupportReportId, support);
    connect(supportReport_, &QPushButton::clicked, this,
            [this] { actions_.openWindow(kReportWindowId); });
    auto* supportRow = new QHBoxLayout;
    supportRow->addWidget(supportReport_);
    supportRow->addStretch(1);
    sectionColumn(support)->addLayout(supportRow);
    supportCaption_ = captionLabel({}, support);
    supportCaption_->setObjectName(qtext(kSupportCaptionId));
    support->layout()->addWidget(supportCaption_);
    formLayout->addWidget(support);

    // About
    QGroupBox* about = sectionBox(kAboutSection, form);
    about->layout()->addWidget(plainLabel(qtext(kAboutText), about));
    about->layout()->addWidget(captionLabel(kFounderLine, about));
    QLabel* contact =
        plainLabel(QStringLiteral("Contact: ") + qtext(kContactAddress), about, Selectable::yes);
    makeCaption(contact);
    about->layout()->addWidget(contact);
    about->layout()->addWidget(
        fixedLinkCaption(kXProfileTitle, kXProfileURL, about, qtext(kXProfileId)));
    formLayout->addWidget(about);
    formLayout->addStretch(1);

    scroll->setWidget(form);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    monitorSubscription_ = monitor_->objectWillChange().connect([this] { queueRefresh(); });
    notificationsSubscription_ =
        notifications_->objectWillChange().connect([this] { queueRefresh(); });
    refresh();
}

GeneralSettingsPane::~GeneralSettingsPane() = default;

void GeneralSettingsPane::queueRefresh() {
    // Announced before the change, perhaps from another thread: read it on a later turn, once.
    if (refreshQueued_.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(this, &GeneralSettingsPane::refresh, Qt::QueuedConnection);
}

void GeneralSettingsPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    launchAtLogin_->refresh();
    refresh();
}

void GeneralSettingsPane::refresh() {
    refreshQueued_ = false;
    GeneralSettingsInputs inputs;
    inputs.cleaningEnabled = monitor_->isEnabled();
    inputs.automaticShareLinkResolution = monitor_->automaticShareLinkResolutionEnabled();
    inputs.commandGuardEnabled = monitor_->isCommandGuardEnabled();
    inputs.threshold = monitor_->commandGuardThreshold();
    inputs.neutralizeRiskyCommands = monitor_->shouldNeutralizeRiskyCommands();
    const std::shared_ptr<const CommandGuard>& guard = monitor_->commandGuard();
    inputs.rulesVersion =
        guard ? guard->rulesVersion() : std::string(CommandGuard::unavailableRulesVersion);
    inputs.hasLastCleanedResult = monitor_->lastCleanedResult().has_value();
    inputs.pendingShareLinkResolution = monitor_->hasPendingShareLinkResolution();
    inputs.cleanNotifications = notifications_->isEnabled();
    inputs.commandNotifications = notifications_->areCommandWarningsEnabled();
    inputs.launchAtLogin = launchAtLogin_->isOn();
    inputs.launchAtLoginFailure = launchAtLogin_->failureCaption();
    const GeneralSettingsContent shown = GeneralSettingsContent::from(inputs);

    welcomeReport_->setEnabled(shown.reportEnabled);
    supportReport_->setEnabled(shown.reportEnabled);
    supportCaption_->setText(qtext(shown.supportCaption));

    display(launch_, shown.launchAtLogin);
    launchFailure_->setText(qtext(shown.launchAtLoginFailure.value_or(std::string())));
    launchFailure_->setVisible(shown.launchAtLoginFailure.has_value());

    display(autoClean_, shown.autoClean);
    display(autoResolve_, shown.autoResolve);
    display(commandGuard_, shown.commandGuard);
    thresholdTitle_->setEnabled(shown.thresholdEnabled);
    for (std::size_t i = 0; i < shown.threshold.size(); ++i) {
        {
            const QSignalBlocker quiet(thresholdSegments_[i]);
            thresholdSegments_[i]->setChecked(shown.threshold[i].selected);
        }
        thresholdSegments_[i]->setEnabled(shown.thresholdEnabled);
    }
    display(neutralize_, shown.neutralize);
    rulesVersion_->setText(qtext(shown.rulesCaption));
    display(cleanNotifications_, shown.cleanNotifications);
    display(commandNotifications_, shown.commandNotifications);
}

}  // namespace scourlet::app
