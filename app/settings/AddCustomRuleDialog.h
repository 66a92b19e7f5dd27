// The "Add Custom Rule" dialog of the "Rules" pane: a parameter name, an
// optional display name and a category (Custom unless chosen). "Add" (Return)
// adds the rule through AddRuleForm and closes; it stays disabled for an
// empty name or one the category lists already, the latter with a hint.
// "Cancel" (Escape) closes without adding. Each opening starts empty.
//
//   auto* dialog = new AddCustomRuleDialog(engine, pane);
//   dialog->setAttribute(Qt::WA_DeleteOnClose);
//   dialog->open();
#pragma once

#include <memory>

#include <QDialog>

#include "ScourletCore/rules/RulesEngine.h"
#include "app/settings/AddRuleForm.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace scourlet::app {

class AddCustomRuleDialog final : public QDialog {
    Q_OBJECT
public:
    AddCustomRuleDialog(std::shared_ptr<RulesEngine> engine, QWidget* parent = nullptr);

    AddRuleForm form() const;
    // The action of "Add".
    void addRule();

    QSize sizeHint() const override;

private:
    void updateState();

    std::shared_ptr<RulesEngine> engine_;
    QLineEdit* pattern_ = nullptr;
    QLineEdit* displayName_ = nullptr;
    QComboBox* category_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* add_ = nullptr;
};

}  // namespace scourlet::app
