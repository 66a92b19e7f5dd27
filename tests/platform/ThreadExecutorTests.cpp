#include "ScourletCore/platform/ThreadExecutor.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

TEST(ThreadExecutor, RunsJobsOffTheCallingThreadAndWaitsForThemAtTheEnd) {
    std::atomic<int> done = 0;
    std::atomic<bool> ranElsewhere = true;
    const std::thread::id caller = std::this_thread::get_id();
    {
        ThreadExecutor executor;
        for (int i = 0; i < 3; ++i) {
            executor.run([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                if (std::this_thread::get_id() == caller) {
                    ranElsewhere = false;
                }
                ++done;
            });
        }
    }
    EXPECT_EQ(done, 3);
    EXPECT_TRUE(ranElsewhere);
}

}  // namespace
}  // namespace scourlet
