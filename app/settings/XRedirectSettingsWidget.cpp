#include "app/settings/XRedirectSettingsWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

#include "app/settings/PlainLabel.h"

namespace scourlet::app {

namespace {

using Model = XRedirectSettingsModel;

// Sets a picker's rows and selection without the changes reaching the model.
void fill(QComboBox* combo, const std::vector<Model::Option>& options, int selected) {
    const QSignalBlocker blocker(combo);
    combo->clear();
    for (const auto& option : options) {
        combo->addItem(qtext(option.text), qtext(option.value));
    }
    combo->setCurrentIndex(selected);
}

}  // namespace

XRedirectSettingsWidget::XRedirectSettingsWidget(std::shared_ptr<XRedirectSettingsModel> model,
                                                 QWidget* parent)
    : QWidget(parent), model_(std::move(model)) {
    setObjectName(QStringLiteral("x-redirect-settings"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto* choiceRow = new QFormLayout;
    choice_ = new QComboBox(this);
    choice_->setObjectName(qtext(Model::kChoiceAccessibilityID));
    choice_->setAccessibleName(qtext(Model::kChoiceLabel));
    choiceRow->addRow(qtext(Model::kChoiceLabel), choice_);
    layout->addLayout(choiceRow);
    connect(choice_, &QComboBox::activated, this, [this](int index) {
        const auto& options = Model::choiceOptions();
        if (index >= 0 && static_cast<std::size_t>(index) < options.size()) {
            model_->setChoice(options[static_cast<std::size_t>(index)].value);
        }
    });

    nitterSection_ = new QWidget(this);
    nitterSection_->setObjectName(QStringLiteral("x-redirect-nitter-section"));
    auto* nitter = new QVBoxLayout(nitterSection_);
    nitter->setContentsMargins(0, 0, 0, 0);
    nitter->setSpacing(12);
    auto* instanceRow = new QFormLayout;
    instance_ = new QComboBox(nitterSection_);
    instance_->setObjectName(QStringLiteral("x-redirect-instance"));
    instance_->setAccessibleName(qtext(Model::kInstanceLabel));
    instance_->setAccessibleDescription(qtext(Model::kInstanceHint));
    instance_->setToolTip(qtext(Model::kInstanceHint));
    instanceRow->addRow(qtext(Model::kInstanceLabel), instance_);
    nitter->addLayout(instanceRow);
    connect(instance_, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && static_cast<std::size_t>(index) < instanceValues_.size()) {
            model_->setSelectedID(instanceValues_[static_cast<std::size_t>(index)]);
        }
    });
    automatic_ = new QCheckBox(qtext(Model::kAutomaticToggle), nitterSection_);
    automatic_->setObjectName(QStringLiteral("x-redirect-automatic"));
    nitter->addWidget(automatic_);
    connect(automatic_, &QCheckBox::toggled, this,
            [this](bool checked) { model_->setAutomatic(checked); });
    status_ = captionLabel({}, nitterSection_, qtext(Model::kStatusAccessibilityID));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    nitter->addWidget(status_);
    noInstances_ =
        captionLabel(Model::kNoInstancesCaption, nitterSection_, QStringLiteral("x-redirect-no-instances"));
    nitter->addWidget(noInstances_);
    nitter->addWidget(captionLabel(Model::kNitterCaption, nitterSection_));
    layout->addWidget(nitterSection_);

    twitterViewerSection_ = new QWidget(this);
    twitterViewerSection_->setObjectName(QStringLiteral("x-redirect-twitterviewer-section"));
    auto* viewer = new QVBoxLayout(twitterViewerSection_);
    viewer->setContentsMargins(0, 0, 0, 0);
    viewer->setSpacing(12);
    viewer->addWidget(captionLabel(Model::kTwitterViewerCaption, twitterViewerSection_));
    viewer->addWidget(fixedLinkCaption(Model::kPrivacyPolicyTitle, Model::privacyPolicyURL(),
                                       twitterViewerSection_,
                                       QStringLiteral("x-redirect-privacy-policy")));
    layout->addWidget(twitterViewerSection_);

    offSection_ = new QWidget(this);
    offSection_->setObjectName(QStringLiteral("x-redirect-off-section"));
    auto* off = new QVBoxLayout(offSection_);
    off->setContentsMargins(0, 0, 0, 0);
    off->addWidget(captionLabel(Model::kOffCaption, offSection_));
    layout->addWidget(offSection_);

    // The model announces as its stores or catalog change: redraw a turn later.
    modelSubscription_ = model_->objectWillChange().connect([this] { scheduleRefresh(); });
    refresh();
}

void XRedirectSettingsWidget::scheduleRefresh() {
    if (refreshQueued_) {
        return;
    }
    refreshQueued_ = true;
    QPointer<XRedirectSettingsWidget> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (self) {
                self->refreshQueued_ = false;
                self->refresh();
            }
        },
        Qt::QueuedConnection);
}

void XRedirectSettingsWidget::refresh() {
    const auto selectedChoice = model_->selectedChoiceIndex();
    fill(choice_, Model::choiceOptions(), selectedChoice ? static_cast<int>(*selectedChoice) : -1);

    const Model::Section section = model_->section();
    nitterSection_->setVisible(section == Model::Section::nitter);
    twitterViewerSection_->setVisible(section == Model::Section::twitterViewer);
    offSection_->setVisible(section == Model::Section::off);

    const auto options = model_->instanceOptions();
    instanceValues_.clear();
    for (const auto& option : options) {
        instanceValues_.push_back(option.value);
    }
    fill(instance_, options, static_cast<int>(model_->selectedInstanceIndex()));
    instance_->setEnabled(model_->instancePickerEnabled());
    {
        const QSignalBlocker blocker(automatic_);
        automatic_->setChecked(model_->automatic());
    }
    status_->setText(qtext(model_->statusLine()));
    noInstances_->setVisible(model_->showsNoInstancesCaption());
}

void XRedirectSettingsWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    model_->appear();
}

}  // namespace scourlet::app
