// Switching a checkable control as assistive technology does: through its
// accessible "Toggle" action, the one screen readers and voice control call.
// The state changes without a click, so a control that listens to clicks
// alone changes only its look.
//
//   QVERIFY(testing::toggleByAccessibility(checkBox));
#pragma once

#include <QAccessible>

namespace scourlet::testing {

// Runs the toggle action of `control`; false when it offers none.
[[nodiscard]] inline bool toggleByAccessibility(QObject* control) {
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(control);
    QAccessibleActionInterface* actions = node == nullptr ? nullptr : node->actionInterface();
    if (actions == nullptr ||
        !actions->actionNames().contains(QAccessibleActionInterface::toggleAction())) {
        return false;
    }
    actions->doAction(QAccessibleActionInterface::toggleAction());
    return true;
}

}  // namespace scourlet::testing
