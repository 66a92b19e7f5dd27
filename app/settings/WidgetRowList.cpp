#include "app/settings/WidgetRowList.h"

#include <algorithm>

#include <QAccessible>
#include <QAccessibleWidget>

#include "app/settings/AccessibleFactory.h"
#include "app/settings/ListRow.h"

namespace scourlet::app {

namespace {

// The list's children are its rows in the list's order, so the index the view
// gives with its focus events (the current row) names the row itself.
class WidgetRowListAccessible final : public QAccessibleWidget {
public:
    explicit WidgetRowListAccessible(WidgetRowList* list)
        : QAccessibleWidget(list, QAccessible::List) {}

    int childCount() const override { return list()->count(); }

    QAccessibleInterface* child(int index) const override {
        ListRow* row = list()->rowAt(index);
        return row == nullptr ? nullptr : QAccessible::queryAccessibleInterface(row);
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == nullptr) {
            return -1;
        }
        for (int index = 0; index < list()->count(); ++index) {
            if (list()->rowAt(index) == child->object()) {
                return index;
            }
        }
        return -1;
    }

private:
    WidgetRowList* list() const { return static_cast<WidgetRowList*>(widget()); }
};

}  // namespace

WidgetRowList::WidgetRowList(QWidget* parent) : QListWidget(parent) {
    installAccessibleInterface<WidgetRowList, WidgetRowListAccessible>();
}

QListWidgetItem* WidgetRowList::insertRow(int index, ListRow* row) {
    auto* item = new QListWidgetItem;
    item->setSizeHint(row->sizeHint());
    insertItem(index, item);
    setItemWidget(item, row);
    // Announced from its place in the list: a reader that keeps the list's
    // children learns of the new row.
    QAccessibleEvent added(row, QAccessible::ObjectCreated);
    QAccessible::updateAccessibility(&added);
    return item;
}

void WidgetRowList::removeRow(int index) {
    if (ListRow* row = rowAt(index)) {
        QWidget* focused = window()->focusWidget();
        if (focused != nullptr && row->isAncestorOf(focused)) {
            // Handed on before the row goes: a deleted focus widget leaves
            // the focus wherever Qt finds the next stop of the window.
            const int successor = index + 1 < count() ? index + 1 : index - 1;
            passFocusTo(successor, focused->objectName());
        }
        // Told while the row still knows its list: Qt's own notice, when the
        // widget is deleted later, names no list the row left.
        QAccessibleEvent removed(row, QAccessible::ObjectDestroyed);
        QAccessible::updateAccessibility(&removed);
    }
    delete takeItem(index);
}

void WidgetRowList::passFocusTo(int index, const QString& objectName) {
    ListRow* row = rowAt(index);
    if (row == nullptr) {
        setFocus(Qt::OtherFocusReason);
        return;
    }
    // The control of the same kind (the next row's remove button), else the
    // row's first focus stop, else the list.
    const QList<QWidget*> controls = row->findChildren<QWidget*>();
    const auto takesFocus = [](const QWidget* control) {
        return (control->focusPolicy() & Qt::TabFocus) != 0 && control->isEnabled();
    };
    auto target = std::find_if(controls.begin(), controls.end(), [&](const QWidget* control) {
        return takesFocus(control) && control->objectName() == objectName;
    });
    if (target == controls.end()) {
        target = std::find_if(controls.begin(), controls.end(), takesFocus);
    }
    scrollToItem(item(index));
    if (target != controls.end()) {
        (*target)->setFocus(Qt::OtherFocusReason);
    } else {
        setFocus(Qt::OtherFocusReason);
    }
}

ListRow* WidgetRowList::rowAt(int index) const {
    QListWidgetItem* row = item(index);
    return row == nullptr ? nullptr : qobject_cast<ListRow*>(itemWidget(row));
}

}  // namespace scourlet::app
