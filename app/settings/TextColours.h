// The colours the panes show status lines in: one green for what went well
// and one red for what failed, the same on every pane.
//
//   paintText(status, failed ? failureColour() : successColour());
#pragma once

#include <QColor>
#include <QLabel>

namespace scourlet::app {

QColor successColour();
QColor failureColour();

// Shows the text of `label` in `colour` (over any caption grey).
void paintText(QLabel* label, const QColor& colour);

}  // namespace scourlet::app
