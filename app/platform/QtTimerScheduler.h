// QtTimerScheduler: the core's repeating timers over QTimer, on the thread
// that runs the Qt event loop.
//
// A tick never re-enters: a clipboard read inside a tick can spin a nested
// event loop in which the timer falls due again; that tick is skipped, as the
// TimerScheduler contract asks.
//
//   auto timers = std::make_shared<QtTimerScheduler>();
//   Connection c = timers->scheduleRepeating(500ms, [&] { poll(); });
#pragma once

#include "ScourletCore/platform/TimerScheduler.h"

namespace scourlet::app {

class QtTimerScheduler final : public TimerScheduler {
public:
    [[nodiscard]] Connection scheduleRepeating(std::chrono::milliseconds interval,
                                               std::function<void()> action) override;
};

}  // namespace scourlet::app
