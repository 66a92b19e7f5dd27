// SettingsWindow: the settings window's tab bar and the pane it shows.
//
// The selected pane is the standard settings' "settings.selectedPane"; the
// window shows the pane stored there (Status for anything that names no pane
// it has), stores the pane of a clicked tab, and follows the key while open,
// so storing a pane and showing the window opens it there. Tabs appear only
// for the panes the window was given; a pane's widget is made on its first
// selection. The tabs wrap into two rows (the first four panes, then the rest)
// when one row does not fit. The pickers of every pane scroll the pane when the
// wheel turns over them unfocused (PickerWheelGuard). A pane shown while the
// keyboard focus is on another tab (a screen reader checked this pane's tab)
// takes the focus to its own tab.
//
//   auto* window = new SettingsWindow(defaults, std::move(pages));
//   defaults->setString(kSelectedSettingsPaneKey, "Stats");   // an open window follows
//
// Main thread only.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include <QWidget>

#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "app/settings/SettingsPage.h"
#include "app/settings/SettingsPane.h"

class QButtonGroup;
class QGridLayout;
class QStackedWidget;
class QToolButton;

namespace scourlet::app {

class SettingsWindow final : public QWidget {
    Q_OBJECT
public:
    SettingsWindow(std::shared_ptr<UserDefaults> standardDefaults,
                   std::vector<std::unique_ptr<SettingsPage>> pages, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    SettingsPane currentPane() const { return current_; }
    // The pane's widget, once it was made; null before.
    QWidget* paneWidget(SettingsPane pane) const;
    bool tabsWrapped() const { return wrapped_; }

    QSize sizeHint() const override { return {960, 640}; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void selectStoredPane();
    void showPane(SettingsPane pane);
    void layOutTabs(bool wrapped);
    int oneRowWidth() const;

    std::shared_ptr<UserDefaults> defaults_;
    std::vector<std::unique_ptr<SettingsPage>> pages_;
    std::map<SettingsPane, QToolButton*> tabs_;
    std::map<SettingsPane, QWidget*> widgets_;
    QButtonGroup* tabGroup_ = nullptr;
    QGridLayout* tabLayout_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    SettingsPane current_ = kDefaultSettingsPane;
    // The tab whose toggle chose its pane since the last press, so that the
    // click ending that press does not choose it again.
    QToolButton* chosenByToggle_ = nullptr;
    bool wrapped_ = false;
    Connection storedPaneObservation_;
};

}  // namespace scourlet::app
