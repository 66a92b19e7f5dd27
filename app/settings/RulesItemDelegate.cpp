#include "app/settings/RulesItemDelegate.h"

#include <algorithm>

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QTreeView>

#include "app/settings/RulesTreeModel.h"

namespace scourlet::app {

namespace {

constexpr int kLineGap = 1;
constexpr int kVerticalPadding = 4;
constexpr int kTextGap = 6;
constexpr int kBadgeGap = 8;

QFont titleFont(const QFont& base, bool category) {
    if (category) {
        QFont bold = base;
        bold.setBold(true);
        return bold;
    }
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(base.pointSizeF());
    return fixed;
}

QFont captionFont(const QFont& base) {
    QFont small = base;
    small.setPointSizeF(base.pointSizeF() * 0.85);
    return small;
}

}  // namespace

void RulesItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const bool category = index.data(RulesTreeModel::IsCategoryRole).toBool();
    const bool categoryOn = index.data(RulesTreeModel::CategoryEnabledRole).toBool();

    painter->save();
    if (!category && !categoryOn) {
        painter->setOpacity(0.5);
    }
    if (index.column() == RulesTreeModel::deleteColumn) {
        // The row's background; its button draws itself.
        opt.text.clear();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        painter->restore();
        return;
    }

    const QString title = opt.text;
    const QString subtitle = index.data(RulesTreeModel::SubtitleRole).toString();
    opt.text.clear();
    if (category) {
        opt.icon = QIcon::fromTheme(index.data(RulesTreeModel::IconNameRole).toString());
        opt.features |= QStyleOptionViewItem::HasDecoration;
        opt.decorationSize = QSize(20, 20);
    }
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    int left = opt.rect.left() + kTextGap;
    if (opt.features & QStyleOptionViewItem::HasCheckIndicator) {
        left = std::max(left, style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, widget).right() + kTextGap);
    }
    if (opt.features & QStyleOptionViewItem::HasDecoration) {
        left = std::max(left, style->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, widget).right() + kTextGap);
    }
    const int width = std::max(0, opt.rect.right() - left - kTextGap);
    const QPalette::ColorGroup group =
        (opt.state & QStyle::State_Enabled) || !category ? QPalette::Active : QPalette::Disabled;
    const QColor textColor = opt.palette.color(group, (opt.state & QStyle::State_Selected)
                                                          ? QPalette::HighlightedText
                                                          : QPalette::Text);
    const QColor secondary = opt.palette.color(group, QPalette::PlaceholderText);

    const QFont first = titleFont(opt.font, category);
    const QFont second = captionFont(opt.font);
    const QFontMetrics firstMetrics(first);
    const QFontMetrics secondMetrics(second);
    const int top = opt.rect.top() +
                    (opt.rect.height() - firstMetrics.height() - kLineGap - secondMetrics.height()) / 2;

    painter->setFont(first);
    painter->setPen(textColor);
    const QRect firstLine(left, top, width, firstMetrics.height());
    painter->drawText(firstLine, Qt::AlignLeft | Qt::AlignVCenter,
                      firstMetrics.elidedText(title, Qt::ElideRight, width));

    QRect secondLine(left, top + firstMetrics.height() + kLineGap, width, secondMetrics.height());
    painter->setFont(second);
    if (!category) {
        const QString badge = index.data(RulesTreeModel::BadgeRole).toString();
        const bool custom = index.data(RulesTreeModel::IsCustomRole).toBool();
        const QRect badgeBox(secondLine.left(), secondLine.top(),
                             secondMetrics.horizontalAdvance(badge) + 8, secondLine.height());
        QColor fill = custom ? QColor(255, 165, 0) : secondary;
        fill.setAlphaF(custom ? 0.2f : 0.15f);
        QPainterPath path;
        path.addRoundedRect(badgeBox, 3, 3);
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->fillPath(path, fill);
        painter->setPen(textColor);
        painter->drawText(badgeBox, Qt::AlignCenter, badge);
        secondLine.setLeft(badgeBox.right() + kBadgeGap);
    }
    painter->setPen(secondary);
    painter->drawText(secondLine, Qt::AlignLeft | Qt::AlignVCenter,
                      secondMetrics.elidedText(subtitle, Qt::ElideRight, secondLine.width()));
    painter->restore();
}

QSize RulesItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    // Both kinds of row get one height, so the view can take every row's height as one.
    const int first = std::max(QFontMetrics(titleFont(option.font, true)).height(),
                               QFontMetrics(titleFont(option.font, false)).height());
    const int second = QFontMetrics(captionFont(option.font)).height();
    size.setHeight(std::max(size.height(), first + kLineGap + second + 2 * kVerticalPadding));
    return size;
}

void RulesItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const {
    const auto* view = qobject_cast<const QTreeView*>(parent());
    if (view != nullptr && index.data(RulesTreeModel::IsCategoryRole).toBool()) {
        // A section's chevron stands where the tree draws a branch arrow.
        const QRect row = view->visualRect(index.siblingAtColumn(RulesTreeModel::ruleColumn));
        editor->setGeometry(row.left() - view->indentation(), row.top(), view->indentation(),
                            row.height());
        return;
    }
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
}

}  // namespace scourlet::app
