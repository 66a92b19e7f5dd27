// The "Settings" page of the settings window: the general settings pane over
// the application's clipboard monitor and notification manager, with launch at
// login through the given login item.
//
//   pages.push_back(std::make_unique<GeneralSettingsPage>(
//       state, [&windows](std::string_view id) { windows.showWindow(id); },
//       GeneralSettingsPage::desktopLoginItem()));
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "ScourletCore/platform/LoginItemService.h"
#include "app/settings/SettingsPage.h"

namespace scourlet::app {

class AppState;

class GeneralSettingsPage final : public SettingsPage {
public:
    using OpenWindow = std::function<void(std::string_view windowId)>;

    GeneralSettingsPage(AppState& state, OpenWindow openWindow,
                        std::shared_ptr<LoginItemService> loginItem);

    SettingsPane pane() const override { return SettingsPane::settings; }
    QWidget* createWidget(QWidget* parent) override;

    // Launch at login for the running program: its XDG autostart entry, named
    // after the application's desktop file.
    static std::shared_ptr<LoginItemService> desktopLoginItem();

private:
    AppState& state_;
    OpenWindow openWindow_;
    std::shared_ptr<LoginItemService> loginItem_;
};

}  // namespace scourlet::app
