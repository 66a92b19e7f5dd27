// One pane of the settings window. The window shows a tab for every page it
// is given and asks a page for its widget the first time its tab is chosen;
// the widget then lives as long as the window and keeps itself current.
//
//   class StatusPage final : public SettingsPage {
//       SettingsPane pane() const override { return SettingsPane::status; }
//       QWidget* createWidget(QWidget* parent) override { return new StatusPane(..., parent); }
//   };
#pragma once

#include <QWidget>

#include "app/settings/SettingsPane.h"

namespace scourlet::app {

class SettingsPage {
public:
    virtual ~SettingsPage() = default;
    virtual SettingsPane pane() const = 0;
    // Called once, on the first selection; the widget is given `parent`.
    virtual QWidget* createWidget(QWidget* parent) = 0;
};

}  // namespace scourlet::app
