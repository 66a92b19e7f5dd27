// MenuModel: what the tray menu shows, as a list of rows computed from the
// core's state at the moment the menu is built.
//
// buildMenu() is a pure function of MenuInputs, so every form of the menu can
// be tested as a table; menuInputs() reads those inputs from the clipboard
// monitor and its cleaner. Rows that open a window are left out while that
// window has no handler (it is not part of this build yet); rows that only
// inform stay, and cannot be chosen.
//
//   MenuInputs inputs = menuInputs(*state.monitor(), windowsAvailable);
//   for (const MenuItem& item : buildMenu(inputs)) addAction(item);
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ScourletCore/clipboard/ClipboardMonitor.h"
#include "ScourletCore/clipboard/CommandRiskResult.h"
#include "ScourletCore/rules/CleanOperationKind.h"
#include "ScourletCore/rules/CleanResult.h"
#include "app/menu/MenuItem.h"

namespace scourlet::app {

// Which windows can be opened from the menu.
struct MenuWindows {
    bool settings = false;
    bool report = false;
    bool welcome = false;
};

// A map link the cleaned link converts to.
struct MenuMapLink {
    bool opensInAppleMaps = false;  // else Google Maps
    std::string url;
};

struct MenuInputs {
    bool cleaningEnabled = true;
    bool automaticShareLinkResolution = false;
    std::optional<CommandRiskResult> commandRisk;
    std::optional<CleanResult> lastCleanedResult;
    std::optional<std::string> lastSkippedDomain;
    bool pendingShareLink = false;
    bool resolvingShareLink = false;
    std::optional<std::string> shareLinkResolutionError;
    // Whether the cleaned link has the shape of a supported share service.
    bool shareServiceSupported = false;
    std::int64_t cleanedToday = 0;
    // Whether the cleaner holds a last-clean record (the "Copy Original URL" row).
    bool hasLastCleanRecord = false;
    // The host of the last-clean record, for "Disable Cleaning for This Site".
    std::optional<std::string> lastCleanHost;
    // The Internet Archive lookup link of the cleaned link, when it has one.
    std::optional<std::string> waybackLink;
    std::optional<MenuMapLink> mapLink;
    MenuWindows windows;
};

// Cut limits of the rows that show outside text.
inline constexpr std::size_t kFindingTextLimit = 58;
inline constexpr std::size_t kURLRowLimit = 60;
inline constexpr std::size_t kResolutionErrorLimit = 52;

// The texts the menu chooses for itself where a row's wording is ours.
inline constexpr std::string_view kLastCleanHeader = "Last cleaned link";
inline constexpr std::string_view kNeedsActionStatus = "Needs action: resolve the direct link";
inline constexpr std::string_view kCleanedURLAccessibleName = "Cleaned URL";

std::vector<MenuItem> buildMenu(const MenuInputs& inputs);

// What was removed, for the status row: the first three parameter names and
// "+k more"; else the privacy rewrite; else "nothing" for an unchanged link;
// else "redirect or path pattern".
std::string removedSummary(const CleanResult& result);

// The words after "Operation: " for the kind of the last operation.
std::string operationDescription(CleanOperationKind kind);

// "Info", "Warning" or "Danger".
std::string severityTitle(CommandRiskSeverity severity);

// The inputs as the monitor and its cleaner hold them now.
MenuInputs menuInputs(const ClipboardMonitor& monitor, MenuWindows windows);

}  // namespace scourlet::app
