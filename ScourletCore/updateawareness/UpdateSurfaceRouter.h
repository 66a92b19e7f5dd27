// Binds each update action to the object that performs it, so that the update
// section only forwards clicks: perform(action) calls exactly the one bound
// operation. The standard bindings come from the update controller and the
// rules updater; tests bind recording functions instead.
//
//   UpdateSurfaceRouter router(controller, rulesUpdater);
//   button->onClick([router] { router.perform(UpdateSurfaceAction::checkApp); });
//
// Each bound operation returns at once; the checks and installs run in the
// background of their own objects. The standard bindings keep the controller
// and the rules updater alive as long as the router lives. Main thread only.
#pragma once

#include <functional>
#include <memory>

#include "ScourletCore/updateawareness/RulesUpdaterInterface.h"
#include "ScourletCore/updateawareness/UpdateAwarenessController.h"
#include "ScourletCore/updateawareness/UpdateSurfaceAction.h"

namespace scourlet {

class UpdateSurfaceRouter {
public:
    using Operation = std::function<void()>;

    // Stores the five operations unchanged.
    UpdateSurfaceRouter(Operation checkApp, Operation checkRules, Operation installRules,
                        Operation checkCatalog, Operation installCatalog);

    // The standard bindings: the controller's checkApp(), the rules updater's
    // checkForUpdates() and installAvailableUpdate(), and check() and
    // install() of the controller's catalog updater. Without a rules updater
    // (null `rules`) the two rule actions do nothing.
    UpdateSurfaceRouter(std::shared_ptr<UpdateAwarenessController> controller,
                        std::shared_ptr<RulesUpdaterInterface> rules);

    // Calls the operation bound to `action` (nothing when it is empty).
    void perform(UpdateSurfaceAction action) const;

private:
    Operation checkApp_;
    Operation checkRules_;
    Operation installRules_;
    Operation checkCatalog_;
    Operation installCatalog_;
};

}  // namespace scourlet
