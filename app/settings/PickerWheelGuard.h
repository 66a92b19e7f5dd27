// Keeps the mouse wheel from changing a setting by accident: a combo box or
// spin box inside a scrolling pane takes wheel events only while it has
// keyboard focus. Without focus the wheel scrolls the pane around it, as it
// does over any other part of the pane, and the wheel no longer gives the
// picker focus either (a click or Tab does).
//
//   PickerWheelGuard::install(pane);   // every picker inside `pane` now
//
// Main thread only.
#pragma once

#include <QObject>

class QWidget;

namespace scourlet::app {

class PickerWheelGuard final : public QObject {
    Q_OBJECT
public:
    // Guards every combo box and spin box inside `root` (made by then); the
    // guard is a child of `root`.
    static void install(QWidget* root);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

}  // namespace scourlet::app
