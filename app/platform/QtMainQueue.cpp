#include "app/platform/QtMainQueue.h"

#include <atomic>
#include <mutex>

#include <QObject>

namespace scourlet::app {

struct QtMainQueue::State {
    std::mutex mutex;
    QObject* receiver = nullptr;  // lives on the main thread; guarded by mutex
    std::atomic<bool> open{true};
};

QtMainQueue::QtMainQueue() : state_(std::make_shared<State>()) {
    state_->receiver = new QObject;
}

QtMainQueue::~QtMainQueue() {
    close();
    std::lock_guard lock(state_->mutex);
    // Deleting the receiver discards the calls still queued for it.
    delete std::exchange(state_->receiver, nullptr);
}

void QtMainQueue::close() {
    state_->open = false;
}

void QtMainQueue::post(std::function<void()> work) {
    std::lock_guard lock(state_->mutex);
    if (!state_->open || state_->receiver == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        state_->receiver,
        [state = state_, work = std::move(work)] {
            if (state->open) {
                work();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace scourlet::app
