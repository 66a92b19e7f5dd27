// The "Advanced" pane of the settings window, top to bottom: the update
// section (a widget made elsewhere, shown as given), the version and maker
// line, the command-line tool installer and the two resets. See
// AdvancedContent for the texts and ids.
//
// - The installer's status is refreshed each time the pane is shown. The
//   install button turns off at once when clicked; the installation runs on
//   the next turn of the event loop (on this thread) and the button comes back
//   with the installer's status line, green or red.
// - "Copy Test Command" puts the sample command on the clipboard as the
//   monitor's own copy, so the monitor does not clean its trackers away.
// - Both resets ask first. "Reset All Statistics" clears the statistics and
//   the per-day counts of cleans the tray menu shows; "Reset Rules to
//   Defaults" (which deletes custom rules for good) asks with the rules
//   manager's own confirmation.
// - New Command Guard rules are loaded by AppState whenever their installed
//   version changes, shown or not; the pane does not reload them a second time.
//
//   auto* pane = new AdvancedPane({engine, stats, monitor, std::move(installer),
//                                  rulesPrompts, prompts}, updateSection, parent);
//
// Main thread only.
#pragma once

#include <memory>

#include <QWidget>

#include "ScourletCore/clipboard/ClipboardMonitor.h"
#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "app/cli-installer/CommandLineToolInstaller.h"
#include "app/settings/AdvancedPanePrompts.h"
#include "app/settings/RulesManagerPrompts.h"

class QLabel;
class QPushButton;

namespace scourlet::app {

class AdvancedPane final : public QWidget {
    Q_OBJECT
public:
    struct Inputs {
        std::shared_ptr<RulesEngine> rulesEngine;
        std::shared_ptr<StatsTracker> statsTracker;
        std::shared_ptr<ClipboardMonitor> monitor;
        // Owned by the pane: one installer for as long as the pane lives.
        std::unique_ptr<CommandLineToolInstaller> installer;
        std::shared_ptr<RulesManagerPrompts> rulesPrompts;
        std::shared_ptr<AdvancedPanePrompts> prompts;
    };

    // `updateSection` (may be null: nothing shown there) becomes the pane's child.
    AdvancedPane(Inputs inputs, QWidget* updateSection, QWidget* parent = nullptr);
    ~AdvancedPane() override;

    const CommandLineToolInstaller& installer() const { return *inputs_.installer; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showInstaller();
    void startInstall();
    void runInstall();
    void resetStatistics();
    void resetRules();

    Inputs inputs_;
    // Clicked, installation not yet finished.
    bool installPending_ = false;

    QPushButton* install_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace scourlet::app
