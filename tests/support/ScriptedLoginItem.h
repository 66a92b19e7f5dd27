#pragma once

#include <optional>
#include <string>

#include "ScourletCore/platform/LoginItemService.h"

namespace scourlet::testing {

// A login item whose state the test sets and whose next register or
// unregister fails with a given message; a failed call changes nothing.
class ScriptedLoginItem final : public LoginItemService {
public:
    bool registered = false;
    std::optional<std::string> registerFailure;
    std::optional<std::string> unregisterFailure;
    int calls = 0;

    bool isRegistered() const override { return registered; }
    Result<void, Error> registerLoginItem() override { return change(true, registerFailure); }
    Result<void, Error> unregisterLoginItem() override { return change(false, unregisterFailure); }

private:
    Result<void, Error> change(bool on, const std::optional<std::string>& failure) {
        ++calls;
        if (failure) {
            return Error{*failure};
        }
        registered = on;
        return {};
    }
};

}  // namespace scourlet::testing
