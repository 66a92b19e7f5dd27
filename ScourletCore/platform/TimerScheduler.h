// TimerScheduler: repeating timers on the main thread.
//
// Core objects that work on a beat (the clipboard monitor's poll) ask a
// scheduler for a timer and keep the handle it returns: the timer runs while
// the handle lives and stops for good when the handle is destroyed or reset,
// so no start/stop flags have to be kept beside it. The application supplies
// one over its event loop; tests use ManualTimerScheduler and move time by hand.
//
//   Connection timer = scheduler.scheduleRepeating(std::chrono::milliseconds(500),
//                                                  [this] { poll(); });
//   timer.reset();   // no further call
#pragma once

#include <chrono>
#include <functional>

#include "ScourletCore/platform/Observable.h"

namespace scourlet {

class TimerScheduler {
public:
    virtual ~TimerScheduler() = default;

    // Calls `action` on the main thread every `interval` (a positive
    // duration), the first time one interval from now, until the returned
    // handle is destroyed or reset; after that `action` is never called again.
    // A tick that falls due while the previous one still runs is skipped, not
    // queued. Never fails. Call on the main thread; the handle may outlive the
    // scheduler.
    [[nodiscard]] virtual Connection scheduleRepeating(std::chrono::milliseconds interval,
                                                       std::function<void()> action) = 0;
};

}  // namespace scourlet
