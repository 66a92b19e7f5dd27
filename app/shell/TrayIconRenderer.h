// Draws the tray icon: one of the application's symbols with an optional badge
// in its bottom-right corner, at the usual tray sizes and device pixel ratios.
//
//   QIcon icon = renderTrayIcon("link.circle.fill", "arrow.down.circle.fill");
#pragma once

#include <optional>
#include <string_view>

#include <QIcon>
#include <QPixmap>

namespace scourlet::app {

// The symbol drawn at `size` device-independent pixels (the badge, when given,
// at 9/22 of that, in the bottom-right corner), for `devicePixelRatio`. A null
// pixmap when the symbol is not one of the shipped ones.
QPixmap renderTraySymbol(std::string_view symbolName, std::optional<std::string_view> badgeName,
                         int size, qreal devicePixelRatio = 1.0);

QIcon renderTrayIcon(std::string_view symbolName, std::optional<std::string_view> badgeName);

}  // namespace scourlet::app
