// LoginItemService: whether the running program starts when the user logs in,
// and switching that on or off. The desktop's way of doing it (an autostart
// entry on Linux) is chosen by the program's start and passed in; tests use a
// scripted fake.
//
//   if (auto r = loginItem.registerLoginItem(); !r) show(r.error().message);
//   bool startsAtLogin = loginItem.isRegistered();
//
// Calls do file work on the calling thread; main thread in the application.
#pragma once

#include "ScourletCore/platform/Result.h"

namespace scourlet {

class LoginItemService {
public:
    virtual ~LoginItemService() = default;

    // Whether the desktop will start this program at the next login, as the
    // desktop's own records say now (not as last asked). Never fails: anything
    // unreadable counts as "no".
    virtual bool isRegistered() const = 0;

    // Makes the desktop start this program at login. Fails, changing nothing
    // the desktop reads, with a message naming the file and the reason.
    virtual Result<void, Error> registerLoginItem() = 0;

    // Stops the desktop from starting this program at login; succeeds when it
    // was not registered. Fails with a message naming the file and the reason.
    virtual Result<void, Error> unregisterLoginItem() = 0;
};

}  // namespace scourlet
