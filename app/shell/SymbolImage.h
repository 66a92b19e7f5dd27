// The application's own symbols (links, warnings, the globe of a site, the
// rule categories), drawn from the SVG files shipped inside the program, so
// they show whatever icon theme or fonts the desktop has.
//
//   icon->setPixmap(symbolPixmap("globe", 16, palette().color(QPalette::PlaceholderText),
//                                devicePixelRatioF()));
#pragma once

#include <functional>
#include <string_view>

#include <QColor>
#include <QPainter>
#include <QPixmap>
#include <QString>

namespace scourlet::app {

// The resource path of the symbol `name`, e.g. ":/icons/globe.svg".
QString symbolResource(std::string_view name);

// The symbol drawn at `size` device-independent pixels for `devicePixelRatio`,
// then `drawOver` (may be empty) called with the painter still on it and the
// pixmap's side in device pixels. A null pixmap when the symbol is not a
// shipped one.
QPixmap drawSymbol(std::string_view name, int size, qreal devicePixelRatio,
                   const std::function<void(QPainter&, int pixels)>& drawOver);

// The symbol drawn at `size` device-independent pixels in one colour, `tint`,
// for `devicePixelRatio`. A null pixmap when the symbol is not a shipped one.
QPixmap symbolPixmap(std::string_view name, int size, const QColor& tint,
                     qreal devicePixelRatio = 1.0);

}  // namespace scourlet::app
