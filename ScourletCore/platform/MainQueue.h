// The main queue: where work that touches published state runs.
//
// The application implements it over its event loop; tests use ManualMainQueue
// and run the posted work when they choose.
//
//   queue.post([this] { applyResult(r); });
#pragma once

#include <functional>

namespace scourlet {

class MainQueue {
public:
    virtual ~MainQueue() = default;
    // Runs `work` later on the main thread, in posting order. Thread-safe.
    virtual void post(std::function<void()> work) = 0;
};

}  // namespace scourlet
