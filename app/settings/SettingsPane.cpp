#include "app/settings/SettingsPane.h"

namespace scourlet::app {

SettingsPane paneFromStored(const std::optional<std::string>& stored) {
    if (!stored) {
        return kDefaultSettingsPane;
    }
    return enumFromRawValue<SettingsPane>(*stored).value_or(kDefaultSettingsPane);
}

int tabWidth(SettingsPane pane) {
    switch (pane) {
    case SettingsPane::privacyRedirects:
        return 160;
    case SettingsPane::rules:
    case SettingsPane::stats:
        return 96;
    case SettingsPane::status:
    case SettingsPane::settings:
    case SettingsPane::exceptions:
    case SettingsPane::advanced:
        return 118;
    }
    return 118;
}

std::string_view tabIconName(SettingsPane pane) {
    switch (pane) {
    case SettingsPane::status:
        return "dialog-information";
    case SettingsPane::settings:
        return "preferences-system";
    case SettingsPane::privacyRedirects:
        return "go-jump";
    case SettingsPane::rules:
        return "format-list-unordered";
    case SettingsPane::exceptions:
        return "process-stop";
    case SettingsPane::stats:
        return "x-office-spreadsheet";
    case SettingsPane::advanced:
        return "preferences-other";
    }
    return {};
}

}  // namespace scourlet::app
