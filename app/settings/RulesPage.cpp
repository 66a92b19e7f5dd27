#include "app/settings/RulesPage.h"

#include "app/settings/RulesManagerPane.h"

namespace scourlet::app {

RulesPage::RulesPage(std::shared_ptr<RulesEngine> engine, std::shared_ptr<FileSaver> saver,
                     std::shared_ptr<RulesManagerPrompts> prompts)
    : engine_(std::move(engine)), saver_(std::move(saver)), prompts_(std::move(prompts)) {}

QWidget* RulesPage::createWidget(QWidget* parent) {
    return new RulesManagerPane(engine_, saver_, prompts_, parent);
}

}  // namespace scourlet::app
