// Giving a widget class of our own its accessible interface: assistive
// technology then reads every widget of `Widget` through `Accessible`, an
// interface made from a `Widget*`.
//
//   MyWidget::MyWidget(QWidget* parent) : QWidget(parent) {
//       installAccessibleInterface<MyWidget, MyWidgetAccessible>();
//   }
//
// Main thread only.
#pragma once

#include <QAccessible>
#include <QString>

namespace scourlet::app {

// Installs the factory once per widget class; later calls do nothing. Called
// from the widget's constructor, before assistive technology can ask.
template <class Widget, class Accessible>
void installAccessibleInterface() {
    static const bool installed = [] {
        QAccessible::installFactory(
            [](const QString& className, QObject* object) -> QAccessibleInterface* {
                if (className != QLatin1String(Widget::staticMetaObject.className())) {
                    return nullptr;
                }
                auto* widget = qobject_cast<Widget*>(object);
                return widget == nullptr ? nullptr : new Accessible(widget);
            });
        return true;
    }();
    static_cast<void>(installed);
}

}  // namespace scourlet::app
