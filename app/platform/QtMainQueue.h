// QtMainQueue: the core's main queue over the Qt event loop of the thread that
// made it.
//
// post() is thread-safe; the work runs on a later turn of the loop, in posting
// order. Once close() ran (the application is quitting) or the queue is gone,
// posted work is dropped, never run: a background job that finishes during
// shutdown must not touch objects that are being torn down.
//
//   auto queue = std::make_shared<QtMainQueue>();
//   QObject::connect(qApp, &QCoreApplication::aboutToQuit, [queue] { queue->close(); });
#pragma once

#include <memory>

#include "ScourletCore/platform/MainQueue.h"

namespace scourlet::app {

class QtMainQueue final : public MainQueue {
public:
    QtMainQueue();
    ~QtMainQueue() override;
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;

    void post(std::function<void()> work) override;
    // From now on posted work is dropped, and work already posted is dropped
    // when its turn comes. Main thread only.
    void close();

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace scourlet::app
