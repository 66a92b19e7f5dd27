// BackgroundExecutor: where blocking work (a network request) runs, off the
// main thread.
//
// A job never touches published state itself: it hands its outcome to the
// MainQueue, which applies it on the main thread. The application uses
// ThreadExecutor; tests use ManualExecutor and run the held jobs when they
// choose, on the test's own thread.
//
//   executor.run([queue, link] {
//       auto outcome = resolve(link);                  // may take seconds
//       queue->post([outcome] { apply(outcome); });
//   });
#pragma once

#include <functional>

namespace scourlet {

class BackgroundExecutor {
public:
    virtual ~BackgroundExecutor() = default;

    // Runs `job` later on a thread other than the caller's, without waiting for
    // it. Jobs may run at the same time as each other. Never fails; a job must
    // not throw. Thread-safe.
    virtual void run(std::function<void()> job) = 0;
};

}  // namespace scourlet
