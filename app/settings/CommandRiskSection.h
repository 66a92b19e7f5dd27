// The last Command Guard verdict, read-only: severity, rule set, the command
// and every finding (see CommandRiskPresentation).
#pragma once

#include <QWidget>

#include "app/settings/CommandRiskPresentation.h"

namespace scourlet::app {

class CommandRiskSection final : public QWidget {
    Q_OBJECT
public:
    explicit CommandRiskSection(const CommandRiskPresentation& shown, QWidget* parent = nullptr);
};

}  // namespace scourlet::app
