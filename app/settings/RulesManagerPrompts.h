// The questions and messages of the "Rules" pane that need the user: the
// file to import, the reset confirmation and the report of a failed import.
// Tests replace them by overriding.
//
//   if (prompts.confirmReset(this)) engine->resetToDefaults();
#pragma once

#include <optional>

#include <QString>

#include "app/settings/DialogFolder.h"

class QWidget;

namespace scourlet::app {

class RulesManagerPrompts {
public:
    virtual ~RulesManagerPrompts() = default;

    // The JSON file chosen in the open dialog, which opens in the home folder
    // and then where the last file was chosen; nothing when cancelled.
    virtual std::optional<QString> chooseImportFile(QWidget* parent);
    // "Reset to Defaults?": true for "Reset", false for "Cancel".
    virtual bool confirmReset(QWidget* parent);
    virtual void reportImportError(QWidget* parent, const QString& message);

private:
    DialogFolder importFolder_;
};

}  // namespace scourlet::app
