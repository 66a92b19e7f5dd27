#include "app/settings/RulesTreeModel.h"

#include <algorithm>

#include "app/settings/DisplayedText.h"
#include "app/settings/RuleSearch.h"
#include "app/settings/RuleSwitches.h"
#include "app/settings/RulesPresentation.h"

namespace scourlet::app {

namespace presentation = rules_presentation;

namespace {

// Top-level rows carry 0; a rule row carries its category's row plus one.
constexpr quintptr kCategoryRow = 0;

QString qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant checkState(bool on) {
    return on ? Qt::Checked : Qt::Unchecked;
}

}  // namespace

RulesTreeModel::RulesTreeModel(std::shared_ptr<RulesEngine> engine, QObject* parent)
    : QAbstractItemModel(parent), engine_(std::move(engine)) {
    subscribe();
    nodes_ = listed();
}

RulesTreeModel::~RulesTreeModel() {
    subscriptions_.clear();
}

void RulesTreeModel::subscribe() {
    subscriptions_.clear();
    subscriptions_.push_back(engine_->objectWillChange().connect([this] { announced(true); }));
    for (const auto& category : engine_->categories.get()) {
        subscriptions_.push_back(category->objectWillChange().connect([this] { announced(false); }));
        subscriptions_.push_back(
            category->rulesPublisher().connect([this](const RuleCategory::Rules&) { announced(true); }));
        for (const auto& entry : category->rules()) {
            subscriptions_.push_back(entry->objectWillChange().connect([this] { announced(false); }));
        }
    }
}

void RulesTreeModel::announced(bool listChanged) {
    // Called before the change: only note it and read everything on a later turn.
    if (listChanged) {
        resubscribe_ = true;
    }
    if (!refreshQueued_.exchange(true)) {
        QMetaObject::invokeMethod(this, [this] { refresh(); }, Qt::QueuedConnection);
    }
}

void RulesTreeModel::refresh() {
    refreshQueued_ = false;
    if (resubscribe_.exchange(false)) {
        subscribe();
    }
    show(listed());
}

std::vector<RulesTreeModel::Node> RulesTreeModel::listed() const {
    const RuleSearch search(query_);
    std::vector<Node> nodes;
    for (const auto& category : engine_->categories.get()) {
        if (search.keeps(*category)) {
            nodes.push_back({category, search.rulesOf(*category)});
        }
    }
    return nodes;
}

void RulesTreeModel::show(std::vector<Node> nodes) {
    const bool sameRows = std::equal(nodes.begin(), nodes.end(), nodes_.begin(), nodes_.end(),
                                     [](const Node& a, const Node& b) {
                                         return a.category == b.category && a.rules == b.rules;
                                     });
    if (!sameRows) {
        beginResetModel();
        nodes_ = std::move(nodes);
        endResetModel();
        return;
    }
    // Same rows: switches and counts may have changed.
    for (int row = 0; row < static_cast<int>(nodes_.size()); ++row) {
        categoryDataChanged(row);
    }
}

void RulesTreeModel::categoryDataChanged(int row) {
    Q_EMIT dataChanged(index(row, ruleColumn), index(row, deleteColumn));
    const int rules = static_cast<int>(nodes_[static_cast<std::size_t>(row)].rules.size());
    if (rules > 0) {
        const QModelIndex parent = index(row, ruleColumn);
        Q_EMIT dataChanged(index(0, ruleColumn, parent), index(rules - 1, deleteColumn, parent));
    }
}

void RulesTreeModel::setQuery(std::string query) {
    query_ = std::move(query);
    show(listed());
}

void RulesTreeModel::setExpanded(const std::string& categoryID, bool expanded) {
    if (isExpanded(categoryID) == expanded) {
        return;
    }
    if (expanded) {
        expanded_.insert(categoryID);
    } else {
        expanded_.erase(categoryID);
    }
    if (const QModelIndex row = categoryIndex(categoryID); row.isValid()) {
        Q_EMIT dataChanged(row, row.siblingAtColumn(deleteColumn),
                           {ExpandLabelRole, ExpandValueRole, Qt::AccessibleTextRole,
                            Qt::AccessibleDescriptionRole});
    }
    Q_EMIT expansionChanged(qstring(categoryID), expanded);
}

void RulesTreeModel::toggleExpanded(const std::string& categoryID) {
    setExpanded(categoryID, !isExpanded(categoryID));
}

bool RulesTreeModel::removeCustomRule(const QModelIndex& index) {
    const std::shared_ptr<RuleEntry> entry = entryAt(index);
    if (!entry || entry->source() != RuleEntry::RuleSource::custom) {
        return false;
    }
    // The engine announces the removal; the rows follow on the next turn.
    engine_->removeCustomRule(entry->id());
    return true;
}

QModelIndex RulesTreeModel::categoryIndex(const std::string& categoryID) const {
    for (std::size_t row = 0; row < nodes_.size(); ++row) {
        if (nodes_[row].category->id() == categoryID) {
            return index(static_cast<int>(row), ruleColumn);
        }
    }
    return {};
}

std::shared_ptr<RuleCategory> RulesTreeModel::categoryAt(const QModelIndex& index) const {
    if (!index.isValid()) {
        return nullptr;
    }
    const std::size_t row = index.internalId() == kCategoryRow ? static_cast<std::size_t>(index.row())
                                                               : index.internalId() - 1;
    return row < nodes_.size() ? nodes_[row].category : nullptr;
}

std::shared_ptr<RuleEntry> RulesTreeModel::entryAt(const QModelIndex& index) const {
    if (!index.isValid() || index.internalId() == kCategoryRow) {
        return nullptr;
    }
    const std::size_t categoryRow = index.internalId() - 1;
    if (categoryRow >= nodes_.size()) {
        return nullptr;
    }
    const auto& rules = nodes_[categoryRow].rules;
    const auto row = static_cast<std::size_t>(index.row());
    return row < rules.size() ? rules[row] : nullptr;
}

QModelIndex RulesTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column > deleteColumn) {
        return {};
    }
    if (!parent.isValid()) {
        return static_cast<std::size_t>(row) < nodes_.size() ? createIndex(row, column, kCategoryRow)
                                                             : QModelIndex();
    }
    if (parent.internalId() != kCategoryRow || static_cast<std::size_t>(parent.row()) >= nodes_.size()) {
        return {};
    }
    const auto& rules = nodes_[static_cast<std::size_t>(parent.row())].rules;
    if (static_cast<std::size_t>(row) >= rules.size()) {
        return {};
    }
    return createIndex(row, column, static_cast<quintptr>(parent.row()) + 1);
}

QModelIndex RulesTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kCategoryRow) {
        return {};
    }
    return createIndex(static_cast<int>(child.internalId() - 1), ruleColumn, kCategoryRow);
}

int RulesTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) {
        return static_cast<int>(nodes_.size());
    }
    if (parent.internalId() != kCategoryRow || parent.column() != ruleColumn ||
        static_cast<std::size_t>(parent.row()) >= nodes_.size()) {
        return 0;
    }
    return static_cast<int>(nodes_[static_cast<std::size_t>(parent.row())].rules.size());
}

int RulesTreeModel::columnCount(const QModelIndex&) const {
    return 2;
}

bool RulesTreeModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid()) {
        return !nodes_.empty();
    }
    // Every section can be opened, also one a search left without rows.
    return parent.internalId() == kCategoryRow && parent.column() == ruleColumn;
}

QVariant RulesTreeModel::data(const QModelIndex& index, int role) const {
    const std::shared_ptr<RuleCategory> category = categoryAt(index);
    if (!category) {
        return {};
    }
    const std::string& title = category->id();
    const std::shared_ptr<RuleEntry> entry = entryAt(index);
    if (role == IsCategoryRole) {
        return !entry;
    }
    if (role == CategoryEnabledRole) {
        return category->isEnabled();
    }
    if (!entry) {
        if (index.column() != ruleColumn) {
            // The cell of the section's chevron (the button stands over the
            // branch area): what assistive tools that walk the list's cells
            // read for it, as the button itself says.
            switch (role) {
            case Qt::AccessibleTextRole:
                return qstring(presentation::expandLabel(title, isExpanded(title)));
            case Qt::AccessibleDescriptionRole:
                return qstring(presentation::expandValue(isExpanded(title)));
            default:
                return {};
            }
        }
        switch (role) {
        case Qt::DisplayRole:
            return qstring(title);
        case SubtitleRole:
        case Qt::AccessibleDescriptionRole:
            return qstring(presentation::rulesSummary(category->enabledRuleCount(),
                                                      category->rules().size(),
                                                      category->totalMatchCount()));
        case Qt::CheckStateRole:
            return checkState(category->isEnabled());
        case Qt::AccessibleTextRole:
            return qstring(presentation::categoryToggleLabel(title));
        case IconNameRole:
            return qstring(presentation::categoryThemeIcon(category->type()));
        case SymbolNameRole:
            return qstring(icon(category->type()));
        case ExpandLabelRole:
            return qstring(presentation::expandLabel(title, isExpanded(title)));
        case ExpandValueRole:
            return qstring(presentation::expandValue(isExpanded(title)));
        default:
            return {};
        }
    }
    const bool custom = entry->source() == RuleEntry::RuleSource::custom;
    if (role == IsCustomRole) {
        return custom;
    }
    if (role == RuleIDRole) {
        return qstring(entry->id());
    }
    // Names come from rule files and imports: shown with every hidden character visible.
    const std::string name = displayedText(entry->displayName());
    if (index.column() == deleteColumn) {
        if (!custom) {
            // Empty, but a reader walking the cells stops here: it says why.
            return role == Qt::AccessibleTextRole ? qstring(presentation::kNoActionsLabel)
                                                  : QVariant();
        }
        const QString label = qstring(presentation::deleteLabel(name));
        switch (role) {
        case Qt::AccessibleTextRole:
            return label;
        case Qt::AccessibleDescriptionRole:
            return qstring(presentation::kDeleteHint);
        case Qt::ToolTipRole:
            return QStringLiteral("<qt>") + label.toHtmlEscaped() + QStringLiteral("</qt>");
        case IconNameRole:
            return QStringLiteral("user-trash");
        default:
            return {};
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        return qstring(name);
    case SubtitleRole:
        return qstring(presentation::matchesText(entry->matchCount()));
    case BadgeRole:
        return qstring(presentation::badgeText(entry->source()));
    case Qt::CheckStateRole:
        return checkState(entry->isEnabled());
    case Qt::AccessibleTextRole:
        return qstring(presentation::ruleToggleLabel(name));
    case Qt::AccessibleDescriptionRole:
        return qstring(presentation::ruleToggleHint(category->isEnabled(), title));
    default:
        return {};
    }
}

QVariant RulesTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) {
        return {};
    }
    switch (section) {
    case ruleColumn:
        return qstring(presentation::kRuleColumnTitle);
    case deleteColumn:
        return qstring(presentation::kActionsColumnTitle);
    default:
        return {};
    }
}

bool RulesTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != ruleColumn) {
        return false;
    }
    const std::shared_ptr<RuleCategory> category = categoryAt(index);
    if (!category) {
        return false;
    }
    const bool on = value.toInt() == Qt::Checked;
    const std::shared_ptr<RuleEntry> entry = entryAt(index);
    if (entry) {
        if (!category->isEnabled()) {
            return false;  // the rules of a category that is off cannot be switched
        }
        setRuleEnabled(*engine_, *category, entry->id(), on);
    } else {
        setCategoryEnabled(*engine_, *category, on);
    }
    // The values are stored now: the header's count, every row of the id and,
    // for a category, whether its rules can be switched.
    const int categoryRow = entry ? static_cast<int>(index.internalId() - 1) : index.row();
    categoryDataChanged(categoryRow);
    return true;
}

Qt::ItemFlags RulesTreeModel::flags(const QModelIndex& index) const {
    const std::shared_ptr<RuleCategory> category = categoryAt(index);
    if (!category) {
        return Qt::NoItemFlags;
    }
    const std::shared_ptr<RuleEntry> entry = entryAt(index);
    if (!entry) {
        return index.column() == ruleColumn
                   ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable
                   : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }
    Qt::ItemFlags flags = Qt::ItemNeverHasChildren | Qt::ItemIsSelectable;
    if (index.column() == ruleColumn) {
        flags |= Qt::ItemIsUserCheckable;
        if (category->isEnabled()) {
            flags |= Qt::ItemIsEnabled;
        }
    } else if (entry->source() == RuleEntry::RuleSource::custom) {
        flags |= Qt::ItemIsEnabled;
    }
    return flags;
}

}  // namespace scourlet::app
