#include "app/settings/UpdateAwarenessView.h"

#include <cassert>
#include <utility>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/settings/LinkButton.h"
#include "app/settings/PaneWidgets.h"
#include "app/settings/PlainLabel.h"
#include "app/settings/TextColours.h"
#include "app/shell/UpdateLinkOpener.h"

namespace scourlet::app {

namespace {

using Section = UpdateAwarenessSection;
using Tone = Section::Tone;

// A link of the release shown: opened through openReleaseLink(), which reads the
// address again from the release in force when the link is chosen.
LinkButton* releaseLink(std::string_view title, QWidget* parent, const QString& name) {
    auto* link = new LinkButton(qtext(title), QUrl(), parent);
    link->setObjectName(name);
    return link;
}

void makeCaptionFont(QWidget* widget) {
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    widget->setFont(font);
}

QColor toneColour(Tone tone, const QPalette& palette) {
    switch (tone) {
        case Tone::accent:
            return palette.color(QPalette::Highlight);
        case Tone::success:
            return successColour();
        case Tone::failure:
            return failureColour();
        case Tone::secondary:
            break;
    }
    return palette.color(QPalette::PlaceholderText);
}

void draw(QLabel* label, const Section::Line& line, const QPalette& source) {
    label->setText(qtext(line.text));
    paintText(label, toneColour(line.tone, source));
    label->setVisible(true);
}

void draw(QLabel* label, const std::optional<Section::Line>& line, const QPalette& source) {
    if (line) {
        draw(label, *line, source);
    } else {
        label->setVisible(false);
    }
}

void draw(QLabel* label, const std::optional<Section::Timestamp>& stamp) {
    label->setVisible(stamp.has_value());
    if (stamp) {
        label->setText(qtext(stamp->label) + formatUpdateTime(stamp->time));
    }
}

void draw(QPushButton* button, const Section::Button& model) {
    button->setEnabled(model.enabled);
    button->setVisible(true);
}

void draw(QPushButton* button, const std::optional<Section::Button>& model) {
    if (model) {
        draw(button, *model);
    } else {
        button->setVisible(false);
    }
}

QDateTime localDateTime(std::chrono::system_clock::time_point time) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count()).toLocalTime();
}

// The locale's date with the month abbreviated and no weekday ("MMM d, yyyy"
// in en_US, "d MMM yyyy" in fr_FR): Qt offers only the short (numeric) and
// the long (weekday, full month) styles, so it is made from the long one.
QString abbreviatedDateFormat(const QLocale& locale) {
    static const QRegularExpression weekday(QStringLiteral("\\s*d{4}[\\s,.\u060C\uFF0C]*"));
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

// A row of buttons, packed to the leading edge (the caller adds a stretch last).
QHBoxLayout* buttonRow(int spacing) {
    auto* row = new QHBoxLayout;
    row->setSpacing(spacing);
    return row;
}

}  // namespace

QString formatUpdateTime(std::chrono::system_clock::time_point time, const QLocale& locale) {
    const QDateTime local = localDateTime(time);
    return locale.toString(local.date(), abbreviatedDateFormat(locale)) + QStringLiteral(" at ") +
           locale.toString(local.time(), QLocale::ShortFormat);
}

QString formatStatusTime(std::chrono::system_clock::time_point time, const QLocale& locale) {
    return locale.toString(localDateTime(time), QLocale::ShortFormat);
}

UpdateAwarenessView::UpdateAwarenessView(std::shared_ptr<UpdateAwarenessController> controller,
                                         std::shared_ptr<RulesUpdater> rules,
                                         std::optional<UpdateSurfaceRouter> router, QWidget* parent)
    : QWidget(parent),
      controller_(std::move(controller)),
      rules_(std::move(rules)),
      router_(router ? std::move(*router) : UpdateSurfaceRouter(controller_, rules_)) {
    assert(controller_ && rules_);
    setObjectName(QStringLiteral("update-awareness-view"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);

    // Updates.
    auto* updates =
        sectionBox(Section::kUpdatesTitle, this, QStringLiteral("update-section-updates"));
    automaticChecks_ = new QCheckBox(qtext(Section::kAutomaticChecksTitle), updates);
    automaticChecks_->setObjectName(qtext(Section::kAutomaticChecksIdentifier));
    connect(automaticChecks_, &QCheckBox::toggled, this,
            [this](bool checked) { controller_->awareness()->setAutomaticChecks(checked); });
    sectionColumn(updates)->addWidget(automaticChecks_);
    sectionColumn(updates)->addWidget(
        captionLabel(UpdateAwareness::privacyText, updates, QStringLiteral("update-privacy-text")));
    layout->addWidget(updates);

    // App Updates.
    auto* app = sectionBox(Section::kAppTitle, this, QStringLiteral("update-section-app"));
    sectionColumn(app)->addWidget(
        captionLabel(Section::kAppExplanation, app, QStringLiteral("update-explanation-app")));
    auto* appRow = buttonRow(8);
    checkApp_ = actionButton(UpdateSurfaceAction::checkApp, app);
    checkApp_->setText(qtext(Section::kCheckAppTitle));
    appRow->addWidget(checkApp_);
    downloadApp_ =
        releaseLink(Section::kDownloadAppTitle, app, qtext(Section::kDownloadAppIdentifier));
    downloadApp_->setOpener([this](const QUrl&) { return openReleaseLink(true); });
    appRow->addWidget(downloadApp_);
    appRow->addStretch(1);
    sectionColumn(app)->addLayout(appRow);
    appStatus_ = captionLabel({}, app, QStringLiteral("update-state-app"));
    sectionColumn(app)->addWidget(appStatus_);
    appVersion_ = captionLabel({}, app, QStringLiteral("update-version-app"));
    sectionColumn(app)->addWidget(appVersion_);
    appTimestamp_ = captionLabel({}, app, QStringLiteral("update-timestamp-app"));
    sectionColumn(app)->addWidget(appTimestamp_);
    releaseNotes_ =
        releaseLink(Section::kReleaseNotesTitle, app, QStringLiteral("update-link-releaseNotes"));
    makeCaptionFont(releaseNotes_);
    releaseNotes_->setOpener([this](const QUrl&) { return openReleaseLink(false); });
    auto* notesRow = buttonRow(0);
    notesRow->addWidget(releaseNotes_);
    notesRow->addStretch(1);
    sectionColumn(app)->addLayout(notesRow);
    layout->addWidget(app);

    // Rule Updates.
    auto* rulesBox = sectionBox(Section::kRulesTitle, this, QStringLiteral("update-section-rules"));
    sectionColumn(rulesBox)->addWidget(captionLabel(Section::kRulesExplanation, rulesBox,
                                                    QStringLiteral("update-explanation-rules")));
    const Section initial = section();
    auto* form = new QFormLayout;
    channel_ = new QWidget(rulesBox);
    channel_->setObjectName(QStringLiteral("update-setting-rule-channel"));
    channel_->setAccessibleName(qtext(Section::kChannelTitle));
    auto* segments = new QHBoxLayout(channel_);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    channelButtons_ = new QButtonGroup(channel_);
    channelButtons_->setExclusive(true);
    for (std::size_t row = 0; row < initial.rules.channel.choices.size(); ++row) {
        const auto channel = Section::RulesInput::channelAt(row);
        auto* segment = new QPushButton(qtext(initial.rules.channel.choices[row]), channel_);
        segment->setCheckable(true);
        segment->setObjectName(QStringLiteral("update-setting-rule-channel-") +
                               (channel ? qtext(id(*channel)) : QString::number(row)));
        channelButtons_->addButton(segment, static_cast<int>(row));
        segments->addWidget(segment);
    }
    segments->addStretch(1);
    // The segment that becomes checked, by click, key or accessibility action.
    connect(channelButtons_, &QButtonGroup::idToggled, this, [this](int row, bool checked) {
        if (!checked) {
            return;
        }
        const auto channel = Section::RulesInput::channelAt(static_cast<std::size_t>(row));
        // Choosing the channel in use again would drop the update it offers.
        if (channel && *channel != rules_->selectedChannel()) {
            rules_->setSelectedChannel(*channel);
        }
    });
    form->addRow(qtext(Section::kChannelTitle), channel_);
    sectionColumn(rulesBox)->addLayout(form);
    channelExplanation_ =
        captionLabel({}, rulesBox, QStringLiteral("update-rule-channel-explanation"));
    sectionColumn(rulesBox)->addWidget(channelExplanation_);

    auto* cadenceForm = new QFormLayout;
    cadence_ = new QComboBox(rulesBox);
    cadence_->setObjectName(QStringLiteral("update-setting-rule-cadence"));
    cadence_->setAccessibleName(qtext(Section::kCadenceTitle));
    for (const std::string& choice : initial.rules.cadence.choices) {
        cadence_->addItem(qtext(choice));
    }
    connect(cadence_, &QComboBox::activated, this, [this](int row) {
        const auto cadence = Section::RulesInput::cadenceAt(static_cast<std::size_t>(row));
        if (cadence && *cadence != rules_->automaticUpdateCadence()) {
            rules_->setAutomaticUpdateCadence(*cadence);
        }
    });
    cadenceForm->addRow(qtext(Section::kCadenceTitle), cadence_);
    sectionColumn(rulesBox)->addLayout(cadenceForm);
    sectionColumn(rulesBox)->addWidget(captionLabel(
        Section::kCadenceExplanation, rulesBox, QStringLiteral("update-rule-cadence-explanation")));

    auto* rulesRow = buttonRow(10);
    checkRules_ = actionButton(UpdateSurfaceAction::checkRules, rulesBox);
    checkRules_->setText(qtext(Section::kCheckRulesTitle));
    rulesRow->addWidget(checkRules_);
    installRules_ = actionButton(UpdateSurfaceAction::installRules, rulesBox);
    installRules_->setText(qtext(Section::kInstallRulesTitle));
    rulesRow->addWidget(installRules_);
    rulesRow->addStretch(1);
    sectionColumn(rulesBox)->addLayout(rulesRow);
    rulesStatus_ = captionLabel({}, rulesBox, QStringLiteral("update-state-rules"));
    sectionColumn(rulesBox)->addWidget(rulesStatus_);
    changes_ = new QWidget(rulesBox);
    changes_->setObjectName(QStringLiteral("update-rule-changes"));
    changesLayout_ = new QVBoxLayout(changes_);
    changesLayout_->setContentsMargins(0, 0, 0, 0);
    changesLayout_->setSpacing(4);
    sectionColumn(rulesBox)->addWidget(changes_);
    rulesVersion_ = captionLabel({}, rulesBox, QStringLiteral("update-version-rules"));
    sectionColumn(rulesBox)->addWidget(rulesVersion_);
    commandGuardVersion_ =
        captionLabel({}, rulesBox, QStringLiteral("update-version-commandGuard"));
    sectionColumn(rulesBox)->addWidget(commandGuardVersion_);
    rulesTimestamp_ = captionLabel({}, rulesBox, QStringLiteral("update-timestamp-rules"));
    sectionColumn(rulesBox)->addWidget(rulesTimestamp_);
    commandGuardNote_ = captionLabel({}, rulesBox, QStringLiteral("update-rule-commandGuard-note"));
    sectionColumn(rulesBox)->addWidget(commandGuardNote_);
    layout->addWidget(rulesBox);

    // Privacy Services Catalog.
    auto* catalog =
        sectionBox(Section::kCatalogTitle, this, QStringLiteral("update-section-catalog"));
    sectionColumn(catalog)->addWidget(captionLabel(Section::kCatalogExplanation, catalog,
                                                   QStringLiteral("update-explanation-catalog")));
    auto* catalogRow = buttonRow(8);
    checkCatalog_ = actionButton(UpdateSurfaceAction::checkCatalog, catalog);
    checkCatalog_->setText(qtext(Section::kCheckCatalogTitle));
    catalogRow->addWidget(checkCatalog_);
    installCatalog_ = actionButton(UpdateSurfaceAction::installCatalog, catalog);
    installCatalog_->setText(qtext(Section::kInstallCatalogTitle));
    catalogRow->addWidget(installCatalog_);
    catalogRow->addStretch(1);
    sectionColumn(catalog)->addLayout(catalogRow);
    catalogStatus_ = captionLabel({}, catalog, QStringLiteral("update-state-catalog"));
    sectionColumn(catalog)->addWidget(catalogStatus_);
    catalogVersion_ = captionLabel({}, catalog, QStringLiteral("update-version-catalog"));
    sectionColumn(catalog)->addWidget(catalogVersion_);
    catalogTimestamp_ = captionLabel({}, catalog, QStringLiteral("update-timestamp-catalog"));
    sectionColumn(catalog)->addWidget(catalogTimestamp_);
    layout->addWidget(catalog);
    layout->addStretch(1);

    const auto announce = [this] { scheduleRefresh(); };
    subscriptions_.push_back(controller_->awareness()->objectWillChange().connect(announce));
    subscriptions_.push_back(rules_->objectWillChange().connect(announce));
    subscriptions_.push_back(controller_->catalog()->objectWillChange().connect(announce));
    subscriptions_.push_back(controller_->desktop()->objectWillChange().connect(announce));
    refresh();
}

UpdateAwarenessView::~UpdateAwarenessView() {
    // No announcement may reach a half-destroyed view.
    subscriptions_.clear();
}

QPushButton* UpdateAwarenessView::actionButton(UpdateSurfaceAction action, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setObjectName(qtext(accessibilityIdentifier(action)));
    connect(button, &QPushButton::clicked, this, [this, action] { router_.perform(action); });
    return button;
}

UpdateAwarenessSection UpdateAwarenessView::section() const {
    return Section::make(*controller_,
                         Section::RulesInput::of(*rules_, [](std::chrono::system_clock::time_point time) {
                             return formatStatusTime(time).toStdString();
                         }));
}

void UpdateAwarenessView::scheduleRefresh() {
    if (refreshPending_.exchange(true)) {
        return;  // a redraw is already on its way
    }
    QMetaObject::invokeMethod(this, &UpdateAwarenessView::redraw, Qt::QueuedConnection);
}

void UpdateAwarenessView::redraw() {
    refreshPending_ = false;
    refresh();
}

bool UpdateAwarenessView::openReleaseLink(bool download) {
    // The link of the release shown now, checked again against the host the
    // release file came from.
    const Section current = section();
    const auto& link = download ? current.app.downloadLink : current.app.releaseNotesLink;
    return link && openUpdateLink(link->url, controller_->desktop()->host());
}

void UpdateAwarenessView::showChanges(const std::string& title,
                                      const std::vector<std::string>& changes) {
    changes_->setVisible(!changes.empty());
    QStringList wanted;
    if (!changes.empty()) {
        wanted.append(qtext(title));
        for (const std::string& change : changes) {
            wanted.append(qtext(change));
        }
    }
    QStringList shown;
    const auto labels = changes_->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    for (const QLabel* label : labels) {
        shown.append(label->text());
    }
    if (shown == wanted) {
        return;
    }
    for (QLabel* label : labels) {
        delete label;
    }
    if (wanted.isEmpty()) {
        return;
    }
    auto* heading = captionLabel(title, changes_, QStringLiteral("update-rule-changes-title"));
    QFont font = heading->font();
    font.setWeight(QFont::DemiBold);
    heading->setFont(font);
    heading->setForegroundRole(QPalette::WindowText);
    changesLayout_->addWidget(heading);
    for (const std::string& change : changes) {
        changesLayout_->addWidget(captionLabel(change, changes_));
    }
}

void UpdateAwarenessView::refresh() {
    const Section s = section();
    const QPalette& source = palette();

    {
        const QSignalBlocker blocker(automaticChecks_);
        automaticChecks_->setChecked(s.updates.automaticChecks);
    }

    draw(checkApp_, s.app.check);
    downloadApp_->setVisible(s.app.downloadLink.has_value());
    draw(appStatus_, s.app.status, source);
    draw(appVersion_, s.app.installed, source);
    draw(appTimestamp_, s.app.lastChecked);
    releaseNotes_->setVisible(s.app.releaseNotesLink.has_value());

    {
        const QSignalBlocker blocker(channelButtons_);
        if (QAbstractButton* selected =
                channelButtons_->button(static_cast<int>(s.rules.channel.selected))) {
            selected->setChecked(true);
        }
    }
    channel_->setEnabled(s.rules.channel.enabled);
    channelExplanation_->setText(qtext(s.rules.channelExplanation));
    {
        const QSignalBlocker blocker(cadence_);
        cadence_->setCurrentIndex(static_cast<int>(s.rules.cadence.selected));
    }
    cadence_->setEnabled(s.rules.cadence.enabled);
    draw(checkRules_, s.rules.check);
    draw(installRules_, s.rules.install);
    draw(rulesStatus_, s.rules.status, source);
    showChanges(s.rules.changesTitle, s.rules.changes);
    draw(rulesVersion_, s.rules.installedVersion, source);
    draw(commandGuardVersion_, s.rules.installedCommandGuardVersion, source);
    draw(rulesTimestamp_, s.rules.timestamp);
    draw(commandGuardNote_, s.rules.commandGuardNote, source);

    draw(checkCatalog_, s.catalog.check);
    draw(installCatalog_, s.catalog.install);
    draw(catalogStatus_, s.catalog.status, source);
    draw(catalogVersion_, s.catalog.version, source);
    draw(catalogTimestamp_, s.catalog.lastChecked);
}

}  // namespace scourlet::app
