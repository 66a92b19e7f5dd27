#include "app/settings/ListRow.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>

#include "app/settings/AccessibleFactory.h"

namespace scourlet::app {

namespace {

// A row is a child of its view's viewport; to assistive technology it is a
// child of the view itself, as the view reads it (WidgetRowList).
class ListRowAccessible final : public QAccessibleWidget {
public:
    explicit ListRowAccessible(ListRow* row) : QAccessibleWidget(row, QAccessible::ListItem) {}

    QAccessibleInterface* parent() const override {
        if (QAbstractItemView* view = owningView()) {
            return QAccessible::queryAccessibleInterface(view);
        }
        return QAccessibleWidget::parent();
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (QAbstractItemView* view = owningView()) {
            state.focusable = view->focusPolicy() != Qt::NoFocus;
            state.focused = view->hasFocus() &&
                            view->indexAt(widget()->geometry().center()) == view->currentIndex();
        }
        return state;
    }

private:
    QAbstractItemView* owningView() const {
        QWidget* viewport = widget()->parentWidget();
        auto* view = viewport == nullptr
                         ? nullptr
                         : qobject_cast<QAbstractItemView*>(viewport->parentWidget());
        return view != nullptr && view->viewport() == viewport ? view : nullptr;
    }
};

}  // namespace

ListRow::ListRow(const QString& name, QWidget* parent) : QWidget(parent) {
    installAccessibleInterface<ListRow, ListRowAccessible>();
    setAccessibleName(name);
}

}  // namespace scourlet::app
