#include "app/platform/QtTimerScheduler.h"

#include <memory>

#include <QTimer>

namespace scourlet::app {

namespace {

// Shared by the timer's slot and the handle, so that either may go first.
struct RepeatingTimer {
    std::function<void()> action;
    QTimer* timer = nullptr;
    bool running = false;
    bool cancelled = false;
};

}  // namespace

Connection QtTimerScheduler::scheduleRepeating(std::chrono::milliseconds interval,
                                               std::function<void()> action) {
    auto state = std::make_shared<RepeatingTimer>();
    state->action = std::move(action);
    state->timer = new QTimer;
    state->timer->setInterval(interval);
    QObject::connect(state->timer, &QTimer::timeout, [weak = std::weak_ptr(state)] {
        auto timer = weak.lock();
        if (!timer || timer->cancelled || timer->running) {
            return;  // stopped, or the previous tick still runs
        }
        timer->running = true;
        // The action may end the handle (and so this state) while it runs; the
        // local copy keeps both alive until it returns.
        auto tick = timer->action;
        tick();
        timer->running = false;
    });
    state->timer->start();
    return Connection([state] {
        state->cancelled = true;
        QTimer* timer = std::exchange(state->timer, nullptr);
        if (timer == nullptr) {
            return;
        }
        timer->stop();
        if (state->running) {
            timer->deleteLater();  // the handle ended from inside its own tick
        } else {
            delete timer;
        }
    });
}

}  // namespace scourlet::app
