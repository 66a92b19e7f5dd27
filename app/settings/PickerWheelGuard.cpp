#include "app/settings/PickerWheelGuard.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QWheelEvent>

namespace scourlet::app {

namespace {

QAbstractScrollArea* enclosingScrollArea(QWidget* widget) {
    for (QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(up)) {
            return area;
        }
    }
    return nullptr;
}

}  // namespace

void PickerWheelGuard::install(QWidget* root) {
    auto* guard = new PickerWheelGuard(root);
    const auto guardOne = [guard](QWidget* picker) {
        // A wheel turn over the picker must not focus it on the way.
        picker->setFocusPolicy(Qt::StrongFocus);
        picker->installEventFilter(guard);
    };
    for (QComboBox* picker : root->findChildren<QComboBox*>()) {
        guardOne(picker);
    }
    for (QAbstractSpinBox* picker : root->findChildren<QAbstractSpinBox*>()) {
        guardOne(picker);
    }
}

bool PickerWheelGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel) {
        return false;
    }
    auto* picker = qobject_cast<QWidget*>(watched);
    if (picker == nullptr || picker->hasFocus()) {
        return false;
    }
    auto* wheel = static_cast<QWheelEvent*>(event);
    QAbstractScrollArea* area = enclosingScrollArea(picker);
    if (area == nullptr) {
        // Nothing here scrolls: the picker just lets the turn pass by.
        wheel->ignore();
        return true;
    }
    // Handed to the pane's scroll area directly, which scrolls as if the
    // pointer stood on its empty background.
    QWidget* viewport = area->viewport();
    QWheelEvent scroll(viewport->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(),
                       wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(),
                       wheel->modifiers(), wheel->phase(), wheel->inverted(), wheel->source(),
                       wheel->pointingDevice());
    QCoreApplication::sendEvent(viewport, &scroll);
    wheel->accept();  // taken: it goes no further up
    return true;
}

}  // namespace scourlet::app
