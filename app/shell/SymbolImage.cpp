#include "app/shell/SymbolImage.h"

#include <cmath>

#include <QPainter>
#include <QSvgRenderer>

// The symbols live in a static library, whose resources are registered by hand.
static void registerIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace scourlet::app {

QString symbolResource(std::string_view name) {
    static const bool registered = (registerIconResources(), true);
    (void)registered;
    return QStringLiteral(":/icons/") +
           QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) +
           QStringLiteral(".svg");
}

QPixmap drawSymbol(std::string_view name, int size, qreal devicePixelRatio,
                   const std::function<void(QPainter&, int pixels)>& drawOver) {
    QSvgRenderer symbol(symbolResource(name));
    if (!symbol.isValid() || size <= 0) {
        return {};
    }
    const int pixels = static_cast<int>(std::lround(size * devicePixelRatio));
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        symbol.render(&painter, QRectF(0, 0, pixels, pixels));
        if (drawOver) {
            drawOver(painter, pixels);
        }
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QPixmap symbolPixmap(std::string_view name, int size, const QColor& tint, qreal devicePixelRatio) {
    return drawSymbol(name, size, devicePixelRatio, [&tint](QPainter& painter, int pixels) {
        // The drawing's shape, in the one colour asked for.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(QRect(0, 0, pixels, pixels), tint);
    });
}

}  // namespace scourlet::app
