#include "app/settings/TextColours.h"

namespace scourlet::app {

QColor successColour() {
    return QColor(0x1e, 0x88, 0x3a);
}

QColor failureColour() {
    return QColor(Qt::red).darker(120);
}

void paintText(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setForegroundRole(QPalette::WindowText);
}

}  // namespace scourlet::app
