#include "app/shell/WindowAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace scourlet::app {

namespace {

// Asked for each class of a widget from the most derived one up, after any
// interface of Qt's own for a more derived class: reaching "QWidget" means
// nothing more specific spoke for this one.
QAccessibleInterface* windowFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("QWidget") || object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (widget->windowType() != Qt::Window) {
        return nullptr;
    }
    // QAccessibleWidget names a window by its title.
    return new QAccessibleWidget(widget, QAccessible::Window);
}

}  // namespace

void installWindowAccessibility() {
    static const bool installed = (QAccessible::installFactory(&windowFactory), true);
    (void)installed;
}

}  // namespace scourlet::app
