#include "ScourletCore/updateawareness/UpdateSurfaceRouter.h"

#include <cassert>
#include <utility>

namespace scourlet {

UpdateSurfaceRouter::UpdateSurfaceRouter(Operation checkApp, Operation checkRules,
                                         Operation installRules, Operation checkCatalog,
                                         Operation installCatalog)
    : checkApp_(std::move(checkApp)),
      checkRules_(std::move(checkRules)),
      installRules_(std::move(installRules)),
      checkCatalog_(std::move(checkCatalog)),
      installCatalog_(std::move(installCatalog)) {}

UpdateSurfaceRouter::UpdateSurfaceRouter(std::shared_ptr<UpdateAwarenessController> controller,
                                         std::shared_ptr<RulesUpdaterInterface> rules)
    : UpdateSurfaceRouter([controller] { controller->checkApp(); },
                          rules ? Operation([rules] { rules->checkForUpdates(); }) : Operation(),
                          rules ? Operation([rules] { rules->installAvailableUpdate(); })
                                : Operation(),
                          [controller] { controller->catalog()->check(); },
                          [controller] { controller->catalog()->install(); }) {
    assert(controller);
}

void UpdateSurfaceRouter::perform(UpdateSurfaceAction action) const {
    const Operation* operation = nullptr;
    switch (action) {
        case UpdateSurfaceAction::checkApp:
            operation = &checkApp_;
            break;
        case UpdateSurfaceAction::checkRules:
            operation = &checkRules_;
            break;
        case UpdateSurfaceAction::installRules:
            operation = &installRules_;
            break;
        case UpdateSurfaceAction::checkCatalog:
            operation = &checkCatalog_;
            break;
        case UpdateSurfaceAction::installCatalog:
            operation = &installCatalog_;
            break;
    }
    if (operation != nullptr && *operation) {
        (*operation)();
    }
}

}  // namespace scourlet
