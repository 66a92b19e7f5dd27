#include "app/menu/TrayMenu.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

#include "ScourletCore/linkrewriting/MapLinkTransformer.h"
#include "app/menu/MenuModel.h"
#include "app/menu/MenuText.h"
#include "app/shell/AppState.h"
#include "app/shell/TrayLabel.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"

namespace scourlet::app {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Tooltips guess rich text; outside text must stay literal.
QString plainToolTip(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    return QStringLiteral("<qt>") + fromUtf8(text).toHtmlEscaped() + QStringLiteral("</qt>");
}

}  // namespace

TrayMenu::TrayMenu(AppState& state, WindowManager& windows, QWidget* parent)
    : QMenu(parent), state_(state), windows_(windows) {
    setObjectName(QStringLiteral("tray-menu"));
    setToolTipsVisible(true);
    connect(this, &QMenu::aboutToShow, this, [this] {
        rebuild();
        state_.applicationBecameActive();
    });
    connect(&state_, &AppState::changed, this, &TrayMenu::rebuild);
    rebuild();
}

TrayMenu::~TrayMenu() = default;

QAction* TrayMenu::actionFor(std::string_view identifier) const {
    const QString name = fromUtf8(identifier);
    for (QAction* action : actions()) {
        if (action->objectName() == name) {
            return action;
        }
    }
    return nullptr;
}

void TrayMenu::rebuild() {
    const QList<QAction*> old = actions();
    for (QAction* action : old) {
        removeAction(action);
        action->deleteLater();
    }
    MenuWindows available;
    available.settings = windows_.hasWindow(kSettingsWindowId);
    available.report = windows_.hasWindow(kReportWindowId);
    available.welcome = windows_.hasWindow(kWelcomeWindowId);
    std::vector<MenuItem> items = updateRows(state_.updateAwareness()->state());
    if (!available.settings) {
        for (MenuItem& row : items) {
            if (row.command == MenuCommand::showUpdate) {
                row.command = MenuCommand::none;  // informs; nothing to open yet
                row.enabled = false;
            }
        }
    }
    std::vector<MenuItem> menu = buildMenu(menuInputs(*state_.monitor(), available));
    items.insert(items.end(), std::make_move_iterator(menu.begin()),
                 std::make_move_iterator(menu.end()));
    for (const MenuItem& item : items) {
        addAction(makeAction(item));
    }
}

QAction* TrayMenu::makeAction(const MenuItem& item) {
    auto* action = new QAction(this);
    action->setObjectName(fromUtf8(item.identifier));
    if (item.kind == MenuItem::Kind::separator) {
        action->setSeparator(true);
        return action;
    }
    action->setText(fromUtf8(withLiteralAmpersands(item.text)));
    action->setToolTip(plainToolTip(item.toolTip));
    if (!item.accessibleName.empty()) {
        action->setProperty("accessibleName", fromUtf8(item.accessibleName));
    }
    action->setEnabled(item.enabled && item.kind != MenuItem::Kind::text);
    if (item.kind == MenuItem::Kind::toggle) {
        action->setCheckable(true);
        action->setChecked(item.checked);
    }
    if (item.command != MenuCommand::none) {
        connect(action, &QAction::triggered, this, [this, item] { perform(item); });
    }
    return action;
}

void TrayMenu::perform(const MenuItem& item) {
    ClipboardMonitor& monitor = *state_.monitor();
    switch (item.command) {
        case MenuCommand::none:
            break;
        case MenuCommand::toggleAutoClean:
            monitor.setIsEnabled(!monitor.isEnabled());
            break;
        case MenuCommand::toggleAutoResolve:
            monitor.setAutomaticShareLinkResolutionEnabled(
                !monitor.automaticShareLinkResolutionEnabled());
            break;
        case MenuCommand::cleanNow:
            monitor.cleanNow();
            break;
        case MenuCommand::openSettings:
            if (item.payload.empty()) {
                windows_.showWindow(kSettingsWindowId);
            } else {
                windows_.showSettingsPane(item.payload);
            }
            break;
        case MenuCommand::openReport:
            windows_.showWindow(kReportWindowId);
            break;
        case MenuCommand::openWelcome:
            state_.standardDefaults()->setBool(kWelcomeAcknowledgedKey, true);
            windows_.showWindow(kWelcomeWindowId);
            break;
        case MenuCommand::copyText:
            monitor.writeUserCopy(item.payload);
            break;
        case MenuCommand::clearCommandWarning:
            monitor.clearLastCommandRisk();
            break;
        case MenuCommand::resolveShareLink:
            monitor.resolvePendingShareLink();
            break;
        case MenuCommand::openMapLink:
            openMapLink();
            break;
        case MenuCommand::restoreOriginal:
            (void)monitor.restoreLastOriginal();
            break;
        case MenuCommand::disableCleaningForSite:
            (void)monitor.disableLastDomain();
            break;
        case MenuCommand::showUpdate:
            windows_.showSettingsPane(item.payload);
            break;
        case MenuCommand::quit:
            QCoreApplication::quit();
            break;
    }
}

void TrayMenu::openMapLink() {
    // Converted again from the result in force now, which is the one whose
    // steps the conversion is recorded with.
    ClipboardMonitor& monitor = *state_.monitor();
    const std::optional<CleanResult>& result = monitor.lastCleanedResult();
    if (!result) {
        return;
    }
    const std::optional<MapLinkTransformation> converted =
        MapLinkTransformer::transform(result->cleanedURL);
    if (!converted) {
        return;
    }
    // Recorded only once the desktop took the link: a failed open changed nothing.
    if (QDesktopServices::openUrl(QUrl(fromUtf8(converted->url)))) {
        monitor.recordFunctionalTransformation(converted->operation);
    }
}

}  // namespace scourlet::app
