// How a row of the "Rules" list is drawn: the switch, then two lines.
//
// A category shows its icon, its title in bold and the rules summary below; a
// rule its display name in a fixed-width font and, below, the source badge
// and its match count, the whole row at half strength while its category is
// off. Column 1 holds the row's button (the list places it): a custom rule's
// delete button in the cell, a category's chevron moved over the branch area
// before the row. Every text is drawn as plain text. The switch sits where the
// style puts an item's check box, so the base delegate's click and key
// handling toggles it.
#pragma once

#include <QStyledItemDelegate>

namespace scourlet::app {

class RulesItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
};

}  // namespace scourlet::app
