// The "Rules" tab of the settings window: a RulesManagerPane over the
// application's rules engine.
//
//   pages.push_back(std::make_unique<RulesPage>(state.rulesEngine(), saver));
#pragma once

#include <memory>

#include "ScourletCore/rules/RulesEngine.h"
#include "app/settings/FileSaver.h"
#include "app/settings/RulesManagerPrompts.h"
#include "app/settings/SettingsPage.h"

namespace scourlet::app {

class RulesPage final : public SettingsPage {
public:
    RulesPage(std::shared_ptr<RulesEngine> engine, std::shared_ptr<FileSaver> saver,
              std::shared_ptr<RulesManagerPrompts> prompts = std::make_shared<RulesManagerPrompts>());

    SettingsPane pane() const override { return SettingsPane::rules; }
    QWidget* createWidget(QWidget* parent) override;

private:
    std::shared_ptr<RulesEngine> engine_;
    std::shared_ptr<FileSaver> saver_;
    std::shared_ptr<RulesManagerPrompts> prompts_;
};

}  // namespace scourlet::app
