#include "app/settings/AddCustomRuleDialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/settings/PlainLabel.h"

namespace scourlet::app {

AddCustomRuleDialog::AddCustomRuleDialog(std::shared_ptr<RulesEngine> engine, QWidget* parent)
    : QDialog(parent), engine_(std::move(engine)) {
    setObjectName(QStringLiteral("add-rule-dialog"));
    setWindowTitle(QStringLiteral("Add Custom Rule"));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(400);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(16);
    auto* title = plainLabel(QStringLiteral("Add Custom Rule"), this);
    QFont headline = title->font();
    headline.setBold(true);
    title->setFont(headline);
    layout->addWidget(title);

    pattern_ = new QLineEdit(this);
    pattern_->setObjectName(QStringLiteral("add-rule-pattern"));
    pattern_->setPlaceholderText(QStringLiteral("Parameter name (e.g., tracking_id)"));
    pattern_->setAccessibleName(QStringLiteral("Parameter name"));
    layout->addWidget(pattern_);

    displayName_ = new QLineEdit(this);
    displayName_->setObjectName(QStringLiteral("add-rule-display-name"));
    displayName_->setPlaceholderText(QStringLiteral("Display name (optional)"));
    displayName_->setAccessibleName(QStringLiteral("Display name"));
    layout->addWidget(displayName_);

    auto* categoryRow = new QHBoxLayout;
    auto* categoryLabel = plainLabel(QStringLiteral("Category:"), this);
    categoryLabel->setWordWrap(false);
    category_ = new QComboBox(this);
    category_->setObjectName(QStringLiteral("add-rule-category"));
    for (RuleCategoryType type : allCases<RuleCategoryType>()) {
        category_->addItem(qtext(rawValue(type)), static_cast<int>(type));
    }
    category_->setCurrentIndex(category_->findData(static_cast<int>(RuleCategoryType::custom)));
    categoryLabel->setBuddy(category_);
    categoryRow->addWidget(categoryLabel);
    categoryRow->addWidget(category_, 1);
    layout->addLayout(categoryRow);

    hint_ = plainLabel(QString(), this);
    hint_->setObjectName(QStringLiteral("add-rule-hint"));
    makeCaption(hint_);
    hint_->hide();
    layout->addWidget(hint_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("add-rule-cancel"));
    cancel->setAutoDefault(false);
    add_ = new QPushButton(QStringLiteral("Add"), this);
    add_->setObjectName(QStringLiteral("add-rule-add"));
    add_->setDefault(true);
    buttons->addWidget(cancel);
    buttons->addWidget(add_);
    layout->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);  // Escape rejects too
    connect(add_, &QPushButton::clicked, this, &AddCustomRuleDialog::addRule);
    connect(pattern_, &QLineEdit::textChanged, this, &AddCustomRuleDialog::updateState);
    connect(category_, &QComboBox::currentIndexChanged, this, &AddCustomRuleDialog::updateState);
    updateState();
}

QSize AddCustomRuleDialog::sizeHint() const {
    return {440, QDialog::sizeHint().height()};
}

AddRuleForm AddCustomRuleDialog::form() const {
    return {pattern_->text().toStdString(), displayName_->text().toStdString(),
            static_cast<RuleCategoryType>(category_->currentData().toInt())};
}

void AddCustomRuleDialog::updateState() {
    const AddRuleForm current = form();
    add_->setEnabled(current.canAdd(*engine_));
    const std::string hint = current.hint(*engine_);
    hint_->setText(qtext(hint));
    hint_->setVisible(!hint.empty());
}

void AddCustomRuleDialog::addRule() {
    // Checked again: the rules may have changed while the dialog was open.
    if (form().add(*engine_)) {
        accept();
    } else {
        updateState();
    }
}

}  // namespace scourlet::app
