// ThreadExecutor: a BackgroundExecutor that starts one thread per job.
//
// Meant for rare, blocking jobs such as a share-link request, not for a steady
// stream of small tasks. Destroying the executor waits for the jobs still
// running, so their own time limits bound how long that takes.
//
//   auto executor = std::make_shared<ThreadExecutor>();
//   executor->run([] { blockingRequest(); });
#pragma once

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "ScourletCore/platform/BackgroundExecutor.h"

namespace scourlet {

class ThreadExecutor final : public BackgroundExecutor {
public:
    ThreadExecutor() = default;
    ThreadExecutor(const ThreadExecutor&) = delete;
    ThreadExecutor& operator=(const ThreadExecutor&) = delete;
    // Waits for every job that is still running.
    ~ThreadExecutor() override;

    // Starts a thread for `job`. When the system refuses a new thread, the job
    // runs on the calling thread instead, so it is never lost.
    void run(std::function<void()> job) override;

private:
    struct Worker {
        std::thread thread;
        bool finished = false;
    };
    void joinFinished();

    std::mutex mutex_;
    std::list<std::shared_ptr<Worker>> workers_;
};

}  // namespace scourlet
