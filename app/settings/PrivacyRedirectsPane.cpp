#include "app/settings/PrivacyRedirectsPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

#include "app/settings/PlainLabel.h"
#include "app/settings/PaneWidgets.h"
#include "app/settings/XRedirectSettingsWidget.h"

namespace scourlet::app {

namespace {

using Model = PrivacyRedirectsModel;

// The rows of this pane's sections stand a little further apart than in other panes.
constexpr int kSectionSpacing = 10;

}  // namespace

PrivacyRedirectsPane::PrivacyRedirectsPane(Inputs inputs, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("privacy-redirects-pane"));
    model_ = std::make_shared<PrivacyRedirectsModel>(
        inputs.standardDefaults, inputs.appGroupDefaults, std::move(inputs.install));
    xModel_ = std::make_shared<XRedirectSettingsModel>(
        inputs.standardDefaults, model_->nitterDefaults(), std::move(inputs.catalogUpdater),
        [model = model_.get()] { model->applyRedirectSettings(); }, std::move(inputs.clock));

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(16);

    auto* intro = plainLabel(qtext(Model::kIntro), this);
    intro->setObjectName(QStringLiteral("privacy-redirects-intro"));
    intro->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(intro);

    auto* x = sectionBox(Model::kXSectionTitle, this, QStringLiteral("privacy-redirects-x"),
                         kSectionSpacing);
    xWidget_ = new XRedirectSettingsWidget(xModel_, x);
    x->layout()->addWidget(xWidget_);
    x->layout()->addWidget(
        captionLabel(Model::kExtensionCaption, x, QStringLiteral("privacy-redirects-extension")));
    layout->addWidget(x);

    auto* reddit = sectionBox(Model::kRedditSectionTitle, this,
                              QStringLiteral("privacy-redirects-reddit"), kSectionSpacing);
    redditToggle_ = new QCheckBox(qtext(Model::kRedditToggle), reddit);
    redditToggle_->setObjectName(QStringLiteral("reddit-redirect-toggle"));
    reddit->layout()->addWidget(redditToggle_);
    connect(redditToggle_, &QCheckBox::toggled, this,
            [this](bool checked) { model_->setRedditRedirectEnabled(checked); });
    reddit->layout()->addWidget(captionLabel(Model::redditCaption(), reddit));

    auto* form = new QFormLayout;
    frontendPicker_ = new QComboBox(reddit);
    frontendPicker_->setObjectName(QStringLiteral("reddit-frontend-picker"));
    frontendPicker_->setAccessibleName(qtext(Model::kFrontendLabel));
    form->addRow(qtext(Model::kFrontendLabel), frontendPicker_);
    connect(frontendPicker_, &QComboBox::activated, this, [this](int index) {
        const QString value = frontendPicker_->itemData(index).toString();
        model_->setRedditFrontendBaseURL(value.toStdString());
        // The field follows the choice at once; the rest redraws a turn later.
        frontendField_->setText(value);
    });
    frontendField_ = new QLineEdit(reddit);
    frontendField_->setObjectName(QStringLiteral("reddit-frontend-url"));
    frontendField_->setAccessibleName(qtext(Model::kCustomFieldTitle));
    frontendField_->setPlaceholderText(qtext(Model::kCustomFieldTitle));
    form->addRow(qtext(Model::kCustomFieldTitle), frontendField_);
    // Every edit is stored at once, as typed.
    connect(frontendField_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_->setRedditFrontendBaseURL(text.toStdString()); });
    sectionColumn(reddit)->addLayout(form);
    reddit->layout()->addWidget(
        captionLabel(Model::helpCaption(), reddit, QStringLiteral("reddit-frontend-help")));
    status_ = captionLabel({}, reddit, QStringLiteral("reddit-redirect-status"));
    reddit->layout()->addWidget(status_);
    reddit->layout()->addWidget(fixedLinkCaption(Model::kRedlibLinkTitle, Model::redlibURL(),
                                                 reddit, QStringLiteral("reddit-redlib-link")));
    layout->addWidget(reddit);

    auto* privacy = sectionBox(Model::kPrivacySectionTitle, this,
                               QStringLiteral("privacy-redirects-privacy"), kSectionSpacing);
    privacy->layout()->addWidget(captionLabel(Model::kPrivacyCaption, privacy));
    layout->addWidget(privacy);
    layout->addStretch(1);

    modelSubscription_ = model_->objectWillChange().connect([this] { scheduleRefresh(); });
    refresh();
}

PrivacyRedirectsPane::~PrivacyRedirectsPane() = default;

void PrivacyRedirectsPane::scheduleRefresh() {
    if (refreshQueued_) {
        return;
    }
    refreshQueued_ = true;
    QPointer<PrivacyRedirectsPane> self(this);
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

void PrivacyRedirectsPane::refresh() {
    {
        const QSignalBlocker blocker(redditToggle_);
        redditToggle_->setChecked(model_->redditRedirectEnabled());
    }
    {
        const QSignalBlocker blocker(frontendPicker_);
        frontendPicker_->clear();
        for (const auto& option : model_->frontendOptions()) {
            frontendPicker_->addItem(qtext(option.text), qtext(option.value));
        }
        frontendPicker_->setCurrentIndex(static_cast<int>(model_->selectedFrontendIndex()));
    }
    // Only a value that differs: rewriting the text while the user types would
    // move the cursor to the end.
    const QString stored = qtext(model_->redditFrontendBaseURL());
    if (frontendField_->text() != stored) {
        frontendField_->setText(stored);
    }
    status_->setText(qtext(model_->statusCaption()));
}

void PrivacyRedirectsPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    model_->applyRedirectSettings();
}

}  // namespace scourlet::app
