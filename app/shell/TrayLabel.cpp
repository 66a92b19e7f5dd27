#include "app/shell/TrayLabel.h"

#include "ScourletCore/platform/RawValueEnum.h"
#include "app/menu/MenuText.h"
#include "app/shell/WindowIds.h"

namespace scourlet::app {

TrayLabel trayLabel(const UpdateAwarenessState& state, bool commandWarning, bool cleaningEnabled) {
    TrayLabel label;
    const std::string_view indicator = state.indicator(commandWarning, cleaningEnabled);
    if (indicator == "warning") {
        label.symbolName = kWarningSymbol;
    } else {
        label.symbolName = cleaningEnabled ? kCleaningOnSymbol : kCleaningOffSymbol;
    }
    if (!commandWarning && !state.available().empty()) {
        label.badgeSymbolName = std::string(kUpdateBadgeSymbol);
    }
    label.accessibilityLabel =
        std::string(state.indicatorAccessibilityLabel(commandWarning, cleaningEnabled));
    return label;
}

std::string_view settingsPaneFor(UpdateClass updateClass) {
    return updateClass == UpdateClass::catalog ? kPrivacyRedirectsPane : kAdvancedPane;
}

std::vector<MenuItem> updateRows(const UpdateAwarenessState& state) {
    std::vector<MenuItem> rows;
    for (UpdateClass updateClass : state.available()) {
        MenuItem row;
        row.command = MenuCommand::showUpdate;
        row.identifier = "update-row-" + std::string(rawValue(updateClass));
        row.text = visibleText(state.label(updateClass));
        row.payload = std::string(settingsPaneFor(updateClass));
        rows.push_back(std::move(row));
    }
    if (!rows.empty()) {
        MenuItem separator;
        separator.kind = MenuItem::Kind::separator;
        separator.identifier = "update-rows-separator";
        rows.push_back(std::move(separator));
    }
    return rows;
}

}  // namespace scourlet::app
