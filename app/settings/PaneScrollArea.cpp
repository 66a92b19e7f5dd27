#include "app/settings/PaneScrollArea.h"

#include <QApplication>

namespace scourlet::app {

PaneScrollArea::PaneScrollArea(const QString& accessibleName, QWidget* parent)
    : QScrollArea(parent) {
    setAccessibleName(accessibleName);
}

bool PaneScrollArea::focusNextPrevChild(bool next) {
    const QWidget* leaving = QApplication::focusWidget();
    if (leaving != nullptr && !leaving->isEnabled() && isAncestorOf(leaving)) {
        // The window moves the focus; QScrollArea would then scroll to it.
        return QWidget::focusNextPrevChild(next);
    }
    return QScrollArea::focusNextPrevChild(next);
}

}  // namespace scourlet::app
