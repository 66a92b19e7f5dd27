#include "ScourletCore/platform/ThreadExecutor.h"

#include <system_error>
#include <utility>
#include <vector>

namespace scourlet {

ThreadExecutor::~ThreadExecutor() {
    std::list<std::shared_ptr<Worker>> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (const auto& worker : workers) {
        if (worker->thread.joinable()) {
            worker->thread.join();
        }
    }
}

void ThreadExecutor::run(std::function<void()> job) {
    joinFinished();
    auto work = std::make_shared<std::function<void()>>(std::move(job));
    auto worker = std::make_shared<Worker>();
    {
        std::lock_guard lock(mutex_);
        try {
            // The thread marks itself finished under the lock held here while
            // it is stored, so it is never joined before it is stored.
            worker->thread = std::thread([this, worker, work] {
                (*work)();
                std::lock_guard done(mutex_);
                worker->finished = true;
            });
            workers_.push_back(std::move(worker));
            return;
        } catch (const std::system_error&) {
            // No thread to be had; fall through.
        }
    }
    // Run the job here rather than drop it: its caller waits for the outcome.
    (*work)();
}

void ThreadExecutor::joinFinished() {
    std::vector<std::shared_ptr<Worker>> finished;
    {
        std::lock_guard lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            if ((*it)->finished) {
                finished.push_back(*it);
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& worker : finished) {
        worker->thread.join();
    }
}

}  // namespace scourlet
