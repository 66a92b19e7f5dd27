#include "app/settings/GeneralSettingsPage.h"

#include <iostream>

#include <QCoreApplication>

#include "ScourletCore/platform/XdgAutostartEntry.h"
#include "app/settings/GeneralSettingsPane.h"
#include "app/shell/AppState.h"

namespace scourlet::app {

GeneralSettingsPage::GeneralSettingsPage(AppState& state, OpenWindow openWindow,
                                         std::shared_ptr<LoginItemService> loginItem)
    : state_(state), openWindow_(std::move(openWindow)), loginItem_(std::move(loginItem)) {}

QWidget* GeneralSettingsPage::createWidget(QWidget* parent) {
    auto launchAtLogin =
        std::make_shared<LaunchAtLogin>(loginItem_, state_.standardDefaults(), std::cout);
    std::shared_ptr<Pasteboard> pasteboard = state_.pasteboard();
    GeneralSettingsPane::Actions actions{
        openWindow_, [pasteboard](std::string_view text) { pasteboard->clearAndWrite(text); }};
    return new GeneralSettingsPane(state_.monitor(), state_.notificationManager(),
                                   std::move(launchAtLogin), std::move(actions), parent);
}

std::shared_ptr<LoginItemService> GeneralSettingsPage::desktopLoginItem() {
    // The same id as the application's launcher file and its notifications.
    return std::make_shared<XdgAutostartEntry>(
        XdgAutostartEntry::Identity{"com.morrowgate.scourlet.desktop", "Scourlet",
                                    "com.morrowgate.scourlet"},
        QCoreApplication::applicationFilePath().toStdString(),
        XdgAutostartEntry::Locations::fromEnvironment());
}

}  // namespace scourlet::app
