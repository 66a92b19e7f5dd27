#include "app/shell/TrayIconRenderer.h"

#include <algorithm>

#include <QPainter>
#include <QSvgRenderer>

#include "app/shell/SymbolImage.h"

namespace scourlet::app {

QPixmap renderTraySymbol(std::string_view symbolName, std::optional<std::string_view> badgeName,
                         int size, qreal devicePixelRatio) {
    return drawSymbol(symbolName, size, devicePixelRatio, [badgeName](QPainter& painter, int pixels) {
        if (!badgeName) {
            return;
        }
        QSvgRenderer badge(symbolResource(*badgeName));
        if (badge.isValid()) {
            // 9 points on a 22-point icon, in the bottom-right corner.
            const qreal badgeSize = std::max<qreal>(pixels * 9.0 / 22.0, 6.0);
            badge.render(&painter,
                         QRectF(pixels - badgeSize, pixels - badgeSize, badgeSize, badgeSize));
        }
    });
}

QIcon renderTrayIcon(std::string_view symbolName, std::optional<std::string_view> badgeName) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        for (qreal ratio : {1.0, 2.0}) {
            QPixmap pixmap = renderTraySymbol(symbolName, badgeName, size, ratio);
            if (!pixmap.isNull()) {
                icon.addPixmap(pixmap);
            }
        }
    }
    return icon;
}

}  // namespace scourlet::app
