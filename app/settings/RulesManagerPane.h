// The "Rules" pane: the rule categories of the engine as sections that open
// to list their rules, a search over titles, names and patterns, the switches
// of categories and rules, deleting custom rules, the add-rule dialog, and
// the import, export and reset of the "More rule actions" menu.
//
// The list is an item view over RulesTreeModel, so the thousands of rules of
// the public rule set cost no widgets; the model follows the engine by
// itself. Failed imports and exports are reported; cancelled dialogs are not.
// Each section's chevron and each custom rule's delete button are real buttons
// (with their accessible names, values and press actions); the Delete key
// deletes the selected custom rule too.
//
//   auto* pane = new RulesManagerPane(engine, saver, std::make_shared<RulesManagerPrompts>());
#pragma once

#include <memory>

#include <QWidget>

#include "ScourletCore/rules/RulesEngine.h"
#include "app/settings/FileSaver.h"
#include "app/settings/RulesListView.h"
#include "app/settings/RulesManagerPrompts.h"
#include "app/settings/RulesTreeModel.h"

class QLineEdit;
class QToolButton;

namespace scourlet::app {

class RulesManagerPane final : public QWidget {
    Q_OBJECT
public:
    RulesManagerPane(std::shared_ptr<RulesEngine> engine, std::shared_ptr<FileSaver> saver,
                     std::shared_ptr<RulesManagerPrompts> prompts, QWidget* parent = nullptr);

    RulesTreeModel* model() const { return model_; }
    QTreeView* list() const { return list_; }

    // The actions of the bottom bar and its menu.
    void showAddRule();
    void importRules();
    void exportRules();
    void resetToDefaults();

private:
    void showExpansion();
    // The chevron of every section and the delete button of every custom
    // rule, made again after each reset of the list.
    void placeRowButtons();
    void showChevron(const QModelIndex& header);
    void clicked(const QModelIndex& index);

    std::shared_ptr<RulesEngine> engine_;
    std::shared_ptr<FileSaver> saver_;
    std::shared_ptr<RulesManagerPrompts> prompts_;
    RulesTreeModel* model_ = nullptr;
    QLineEdit* search_ = nullptr;
    QToolButton* clearSearch_ = nullptr;
    RulesListView* list_ = nullptr;
    int scrollBeforeReset_ = 0;
};

}  // namespace scourlet::app
