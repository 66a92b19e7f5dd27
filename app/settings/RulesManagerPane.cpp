#include "app/settings/RulesManagerPane.h"

#include <filesystem>

#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/settings/AddCustomRuleDialog.h"
#include "app/settings/RulesDocument.h"
#include "app/settings/RulesFileTransfer.h"
#include "app/settings/RulesItemDelegate.h"
#include "app/settings/RulesListView.h"
#include "app/settings/SectionChevron.h"

namespace scourlet::app {

RulesManagerPane::RulesManagerPane(std::shared_ptr<RulesEngine> engine, std::shared_ptr<FileSaver> saver,
                                   std::shared_ptr<RulesManagerPrompts> prompts, QWidget* parent)
    : QWidget(parent), engine_(std::move(engine)), saver_(std::move(saver)), prompts_(std::move(prompts)) {
    setObjectName(QStringLiteral("rules-pane"));
    model_ = new RulesTreeModel(engine_, this);

    // The search bar.
    auto* searchBar = new QWidget(this);
    searchBar->setObjectName(QStringLiteral("rules-search-bar"));
    searchBar->setAutoFillBackground(true);
    searchBar->setBackgroundRole(QPalette::Base);
    auto* searchRow = new QHBoxLayout(searchBar);
    searchRow->setContentsMargins(8, 8, 8, 8);
    auto* glass = new QLabel(searchBar);
    glass->setPixmap(QIcon::fromTheme(QStringLiteral("system-search")).pixmap(16, 16));
    searchRow->addWidget(glass);
    search_ = new QLineEdit(searchBar);
    search_->setObjectName(QStringLiteral("rules-search"));
    search_->setPlaceholderText(QStringLiteral("Search rules\u2026"));
    search_->setAccessibleName(QStringLiteral("Search rules"));
    search_->setFrame(false);
    searchRow->addWidget(search_, 1);
    clearSearch_ = new QToolButton(searchBar);
    clearSearch_->setObjectName(QStringLiteral("rules-search-clear"));
    clearSearch_->setIcon(QIcon::fromTheme(QStringLiteral("edit-clear")));
    clearSearch_->setText(QStringLiteral("Clear"));
    clearSearch_->setAccessibleName(QStringLiteral("Clear rule search"));
    clearSearch_->setToolTip(QStringLiteral("Clear rule search"));
    clearSearch_->setAutoRaise(true);
    clearSearch_->hide();
    searchRow->addWidget(clearSearch_);
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        clearSearch_->setVisible(!text.isEmpty());
        model_->setQuery(text.toStdString());
    });
    connect(clearSearch_, &QToolButton::clicked, search_, &QLineEdit::clear);

    // The list.
    list_ = new RulesListView(this);
    list_->setObjectName(QStringLiteral("rules-list"));
    list_->setAccessibleName(QStringLiteral("Rules"));
    list_->setModel(model_);
    list_->setItemDelegate(new RulesItemDelegate(list_));
    list_->setHeaderHidden(true);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(RulesTreeModel::ruleColumn, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(RulesTreeModel::deleteColumn, QHeaderView::Fixed);
    list_->header()->resizeSection(RulesTreeModel::deleteColumn, 32);
    connect(list_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (const auto category = model_->categoryAt(index); category && !model_->entryAt(index)) {
            model_->setExpanded(category->id(), true);
        }
    });
    connect(list_, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (const auto category = model_->categoryAt(index); category && !model_->entryAt(index)) {
            model_->setExpanded(category->id(), false);
        }
    });
    connect(model_, &RulesTreeModel::expansionChanged, this, [this](const QString& id, bool expanded) {
        const QModelIndex row = model_->categoryIndex(id.toStdString());
        if (row.isValid() && list_->isExpanded(row) != expanded) {
            list_->setExpanded(row, expanded);
        }
        showChevron(row);
    });
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { scrollBeforeReset_ = list_->verticalScrollBar()->value(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        showExpansion();
        placeRowButtons();
        list_->doItemsLayout();  // the scroll range of the new rows, before the old place returns
        list_->verticalScrollBar()->setValue(scrollBeforeReset_);
    });
    connect(list_, &QTreeView::clicked, this, &RulesManagerPane::clicked);
    // From the keyboard: Delete on a custom rule's row; other rows stay.
    connect(list_, &RulesListView::deleteRequested, this,
            [this](const QModelIndex& index) { model_->removeCustomRule(index); });
    placeRowButtons();

    // The bottom bar.
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(8, 8, 8, 8);
    auto* add = new QPushButton(QIcon::fromTheme(QStringLiteral("list-add")), QStringLiteral("Add Rule"), this);
    add->setObjectName(QStringLiteral("rules-add"));
    connect(add, &QPushButton::clicked, this, &RulesManagerPane::showAddRule);
    bottom->addWidget(add);
    bottom->addStretch(1);
    auto* more = new QToolButton(this);
    more->setObjectName(QStringLiteral("rules-more"));
    more->setIcon(QIcon::fromTheme(QStringLiteral("view-more"), QIcon::fromTheme(QStringLiteral("open-menu"))));
    more->setText(QStringLiteral("\u2026"));
    more->setAccessibleName(QStringLiteral("More rule actions"));
    more->setToolTip(QStringLiteral("More rule actions"));
    more->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(more);
    menu->setObjectName(QStringLiteral("rules-more-menu"));
    QAction* importAction = menu->addAction(QStringLiteral("Import Rules\u2026"), this, &RulesManagerPane::importRules);
    importAction->setObjectName(QStringLiteral("rules-import"));
    QAction* exportAction = menu->addAction(QStringLiteral("Export Rules\u2026"), this, &RulesManagerPane::exportRules);
    exportAction->setObjectName(QStringLiteral("rules-export"));
    menu->addSeparator();
    QAction* resetAction = menu->addAction(QStringLiteral("Reset to Defaults"), this, &RulesManagerPane::resetToDefaults);
    resetAction->setObjectName(QStringLiteral("rules-reset"));
    more->setMenu(menu);
    bottom->addWidget(more);

    auto* searchArea = new QVBoxLayout;
    searchArea->setContentsMargins(12, 8, 12, 0);
    searchArea->addWidget(searchBar);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(searchArea);
    layout->addWidget(list_, 1);
    layout->addLayout(bottom);
}

void RulesManagerPane::showExpansion() {
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QModelIndex index = model_->index(row, RulesTreeModel::ruleColumn);
        list_->setExpanded(index, model_->isExpanded(model_->categoryAt(index)->id()));
    }
}

void RulesManagerPane::placeRowButtons() {
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QModelIndex header = model_->index(row, RulesTreeModel::ruleColumn);
        auto* chevron = new SectionChevron(list_->viewport());
        const std::string id = model_->categoryAt(header)->id();
        connect(chevron, &SectionChevron::clicked, this, [this, id] { model_->toggleExpanded(id); });
        list_->setIndexWidget(header.siblingAtColumn(RulesTreeModel::deleteColumn), chevron);
        showChevron(header);
        for (int child = 0; child < model_->rowCount(header); ++child) {
            const QModelIndex cell = model_->index(child, RulesTreeModel::deleteColumn, header);
            if (!cell.data(RulesTreeModel::IsCustomRole).toBool()) {
                continue;
            }
            auto* trash = new QToolButton(list_->viewport());
            trash->setObjectName(QStringLiteral("rules-delete"));
            trash->setAutoRaise(true);
            trash->setIcon(QIcon::fromTheme(cell.data(RulesTreeModel::IconNameRole).toString(),
                                            style()->standardIcon(QStyle::SP_TrashIcon)));
            trash->setAccessibleName(cell.data(Qt::AccessibleTextRole).toString());
            trash->setAccessibleDescription(cell.data(Qt::AccessibleDescriptionRole).toString());
            trash->setToolTip(cell.data(Qt::ToolTipRole).toString());
            const QPersistentModelIndex rule(cell);
            // At once, without a question: the rule can be added again.
            connect(trash, &QToolButton::clicked, this, [this, rule] {
                if (rule.isValid()) {
                    model_->removeCustomRule(rule);
                }
            });
            list_->setIndexWidget(cell, trash);
        }
    }
}

void RulesManagerPane::showChevron(const QModelIndex& header) {
    if (!header.isValid()) {
        return;
    }
    auto* chevron = qobject_cast<SectionChevron*>(
        list_->indexWidget(header.siblingAtColumn(RulesTreeModel::deleteColumn)));
    if (chevron != nullptr) {
        const std::string& id = model_->categoryAt(header)->id();
        chevron->setObjectName(QStringLiteral("rules-chevron-") + QString::fromStdString(id));
        chevron->setState(model_->isExpanded(id),
                          header.data(RulesTreeModel::ExpandLabelRole).toString(),
                          header.data(RulesTreeModel::ExpandValueRole).toString());
    }
}

void RulesManagerPane::clicked(const QModelIndex& index) {
    if (index.column() == RulesTreeModel::deleteColumn) {
        // At once, without a question: the rule can be added again.
        model_->removeCustomRule(index);
    }
}

void RulesManagerPane::showAddRule() {
    auto* dialog = new AddCustomRuleDialog(engine_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void RulesManagerPane::importRules() {
    const std::optional<QString> path = prompts_->chooseImportFile(this);
    if (!path || path->isEmpty()) {
        return;
    }
    if (const auto failed = importRulesFile(*engine_, std::filesystem::path(QFile::encodeName(*path).toStdString()))) {
        prompts_->reportImportError(this, QString::fromStdString(*failed));
    }
}

void RulesManagerPane::exportRules() {
    const std::shared_ptr<RulesEngine> engine = engine_;
    saver_->save(this,
                 {QStringLiteral("Export Rules"), QStringLiteral("Scourlet-Rules.json"),
                  QString::fromLatin1(RulesDocument::nameFilter),
                  QString::fromLatin1(RulesDocument::defaultSuffix)},
                 // Encoded when written: the file holds the rules as they are then.
                 [engine](const QString& path) { return writeRulesExport(engine->exportRules(), path); });
}

void RulesManagerPane::resetToDefaults() {
    if (prompts_->confirmReset(this)) {
        engine_->resetToDefaults();
    }
}

}  // namespace scourlet::app
