#include "app/settings/StatusPane.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "app/settings/CommandRiskSection.h"
#include "app/settings/PaneScrollArea.h"
#include "app/settings/PlainLabel.h"
#include "app/settings/SettingsPane.h"

namespace scourlet::app {

namespace {

QWidget* placeholder(const QString& text, const QString& caption, const QString& name) {
    auto* widget = new QWidget;
    widget->setObjectName(name);
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* first = plainLabel(text, widget);
    first->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(first);
    auto* second = plainLabel(caption, widget);
    makeCaption(second);
    layout->addWidget(second);
    return widget;
}

void replaceContent(QGroupBox* box, QWidget*& current, QWidget* next) {
    // Made as wide as it will be shown: a long text is then laid out for that
    // width first, not for a new widget's default one.
    next->resize(current != nullptr ? current->width() : box->layout()->contentsRect().width(),
                 next->height());
    if (current != nullptr) {
        box->layout()->removeWidget(current);
        delete current;
    }
    current = next;
    box->layout()->addWidget(next);
}

}  // namespace

StatusPane::StatusPane(LastCleanDetailSection::CopyText copy, QWidget* parent)
    : QWidget(parent), copy_(std::move(copy)) {
    setObjectName(QStringLiteral("status-pane"));
    auto* scroll = new PaneScrollArea(qtext(rawValue(SettingsPane::status)), this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* form = new QWidget;
    auto* formLayout = new QVBoxLayout(form);
    warningBox_ = new QGroupBox(QStringLiteral("Last Command Warning"), form);
    warningBox_->setObjectName(QStringLiteral("status-warning-section"));
    new QVBoxLayout(warningBox_);
    cleanBox_ = new QGroupBox(form);
    cleanBox_->setObjectName(QStringLiteral("status-clean-section"));
    new QVBoxLayout(cleanBox_);
    formLayout->addWidget(warningBox_);
    formLayout->addWidget(cleanBox_);
    formLayout->addStretch(1);
    scroll->setWidget(form);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    showStatus(Inputs{});
}

void StatusPane::showStatus(const Inputs& inputs) {
    const bool warningChanged = !shown_ || shown_->commandRisk != inputs.commandRisk;
    const bool cleanChanged = !shown_ || shown_->lastCleanedResult != inputs.lastCleanedResult ||
                              shown_->pendingShareResolution != inputs.pendingShareResolution;
    shown_ = inputs;
    if (warningChanged) {
        showWarning(inputs.commandRisk);
    }
    if (cleanChanged) {
        showClean(inputs.lastCleanedResult, inputs.pendingShareResolution);
    }
}

void StatusPane::showWarning(const std::optional<CommandRiskResult>& commandRisk) {
    if (commandRisk) {
        replaceContent(warningBox_, warningContent_,
                       new CommandRiskSection(CommandRiskPresentation::from(*commandRisk)));
        return;
    }
    replaceContent(warningBox_, warningContent_,
                   placeholder(QStringLiteral("No risky commands detected on the current clipboard."),
                               QStringLiteral("When Command Guard warns, the trigger and matched pattern "
                                              "appear here until the clipboard changes."),
                               QStringLiteral("status-no-warning")));
}

void StatusPane::showClean(const std::optional<CleanResult>& result, bool pendingShareResolution) {
    cleanBox_->setTitle(pendingShareResolution ? QStringLiteral("Link Needs Action")
                                               : QStringLiteral("Last Cleaned Link"));
    if (result) {
        replaceContent(cleanBox_, cleanContent_,
                       new LastCleanDetailSection(LastCleanDetail::from(*result, pendingShareResolution),
                                                  copy_));
        return;
    }
    replaceContent(cleanBox_, cleanContent_,
                   placeholder(QStringLiteral("No cleaned links yet."),
                               QStringLiteral("When Scourlet cleans a link, you\u2019ll see what "
                                              "changed here."),
                               QStringLiteral("status-no-clean")));
}

}  // namespace scourlet::app
