// One step of an automatic rules update, in the order in which the steps run.
#pragma once

namespace scourlet {

enum class AutomaticRuleUpdateAction {
    check,
    install,
};

}  // namespace scourlet
