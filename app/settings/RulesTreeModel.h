// RulesTreeModel: the categories and rules of the "Rules" pane as a two-level
// item model (categories, then their rules), filtered by the pane's search.
//
// Column 0 holds a category's or rule's switch (check state), title and
// second line; column 1 the delete action of a custom rule, and for a
// category the accessible label and state of its chevron. Rule rows stand
// for entries, not ids: a category may list one id twice, and switching
// either row switches both (see RuleSwitches.h).
//
// The engine, its categories and their entries announce before they change;
// the model then reads them again on a later turn of the event loop, once for
// any number of announcements (a clean raises match counts). When the listed
// categories and rules stay the same it only reports changed data, so a
// switch or a new count keeps the view's place; otherwise it resets.
//
// Which categories are expanded is the pane's view state, kept here so it
// lasts through searches and resets; nothing is stored.
//
//   RulesTreeModel model(engine);
//   view->setModel(&model);
//   model.setQuery("utm");
//
// Main thread only, except that announcements may come from any thread.
#pragma once

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QAbstractItemModel>

#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/rules/RulesEngine.h"

namespace scourlet::app {

class RulesTreeModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { ruleColumn = 0, deleteColumn = 1 };
    enum Role {
        SubtitleRole = Qt::UserRole + 1,  // header: the rules summary; rule: "<n> matches"
        BadgeRole,                        // rule: the source badge's text
        IsCategoryRole,                   // bool
        IsCustomRole,                     // bool: a custom rule (it can be deleted)
        CategoryEnabledRole,              // bool: the switch of the row's category
        IconNameRole,                     // freedesktop icon name (header; delete column)
        SymbolNameRole,                   // header: the category's system symbol name
        ExpandLabelRole,                  // header: "Expand <title> rules" / "Collapse ..."
        ExpandValueRole,                  // header: "Expanded" / "Collapsed"
        RuleIDRole,                       // rule: the entry's id
    };

    explicit RulesTreeModel(std::shared_ptr<RulesEngine> engine, QObject* parent = nullptr);
    ~RulesTreeModel() override;

    const std::shared_ptr<RulesEngine>& engine() const { return engine_; }

    // The search text as typed; re-filters at once.
    void setQuery(std::string query);
    const std::string& query() const { return query_; }

    bool isExpanded(const std::string& categoryID) const { return expanded_.count(categoryID) > 0; }
    void setExpanded(const std::string& categoryID, bool expanded);
    void toggleExpanded(const std::string& categoryID);
    const std::set<std::string>& expandedCategories() const { return expanded_; }

    // Removes the custom rule of a rule row (either column); false for any other row.
    bool removeCustomRule(const QModelIndex& index);

    // Reads the engine now; announcements schedule this for the next turn.
    void refresh();

    // The row of a listed category; invalid when it is not listed.
    QModelIndex categoryIndex(const std::string& categoryID) const;
    std::shared_ptr<RuleCategory> categoryAt(const QModelIndex& index) const;
    // Null for a category row.
    std::shared_ptr<RuleEntry> entryAt(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    void expansionChanged(const QString& categoryID, bool expanded);

private:
    struct Node {
        std::shared_ptr<RuleCategory> category;
        std::vector<std::shared_ptr<RuleEntry>> rules;
    };

    std::vector<Node> listed() const;
    void show(std::vector<Node> nodes);
    void subscribe();
    void announced(bool listChanged);
    void categoryDataChanged(int row);

    std::shared_ptr<RulesEngine> engine_;
    std::string query_;
    std::set<std::string> expanded_;
    std::vector<Node> nodes_;
    std::vector<Connection> subscriptions_;
    std::atomic<bool> refreshQueued_{false};
    std::atomic<bool> resubscribe_{false};
};

}  // namespace scourlet::app
