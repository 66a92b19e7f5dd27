#include "ScourletCore/rules/LastCleanRecorder.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "support/ManualClock.h"

namespace scourlet {
namespace {

using testing::ManualClock;

TEST(LastCleanRecorder, TakeAndClearHandsARecordOutOnce) {
    ManualClock clock;
    LastCleanRecorder recorder(&clock);
    EXPECT_EQ(recorder.takeAndClear(), std::nullopt);

    recorder.record("https://a/?x=1", "https://a/", "macOSClipboard");
    clock.advance(std::chrono::seconds(5));
    recorder.record("https://b/?x=1", "https://b/", "macOSTextBlock");

    const auto taken = recorder.takeAndClear();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->originalURL, "https://b/?x=1");
    EXPECT_EQ(taken->surface, "macOSTextBlock");
    EXPECT_EQ(taken->cleanedAt, clock.now());
    EXPECT_EQ(recorder.takeAndClear(), std::nullopt);
    EXPECT_EQ(recorder.current(), std::nullopt);
}

TEST(LastCleanRecorder, ObserversSeeTheOldValueBeforeEveryChange) {
    LastCleanRecorder recorder;
    std::vector<bool> heldBefore;
    auto c = recorder.objectWillChange().connect(
        [&] { heldBefore.push_back(recorder.current().has_value()); });
    recorder.clear();
    recorder.record("o", "c", "s");
    recorder.clear();
    EXPECT_EQ(heldBefore, (std::vector<bool>{false, false, true}));
}

TEST(LastCleanRecorder, ConcurrentTakersGetTheRecordOnce) {
    for (int round = 0; round < 50; ++round) {
        LastCleanRecorder recorder;
        recorder.record("o", "c", "s");
        std::atomic<int> winners{0};
        std::vector<std::thread> takers;
        for (int i = 0; i < 4; ++i) {
            takers.emplace_back([&] {
                if (recorder.takeAndClear()) {
                    ++winners;
                }
            });
        }
        for (auto& t : takers) {
            t.join();
        }
        ASSERT_EQ(winners.load(), 1);
    }
}

TEST(LastCleanRecord, JsonRoundTripAndRequiredKeys) {
    const LastCleanRecord record{
        "https://a/?x=1", "https://a/",
        std::chrono::system_clock::time_point(std::chrono::seconds(978307200 + 10)),
        "macOSClipboard"};
    const Json json = record.toJson();
    EXPECT_EQ(json["cleanedAt"], 10.0);
    EXPECT_EQ(LastCleanRecord::fromJson(json), record);

    Json missing = json;
    missing.erase("surface");
    EXPECT_THROW(LastCleanRecord::fromJson(missing), DecodingException);

    // A time the system clock cannot hold is refused rather than converted.
    for (const double outOfRange : {1e300, -1e300, 2e10, -2e10}) {
        Json far = json;
        far["cleanedAt"] = outOfRange;
        EXPECT_THROW(LastCleanRecord::fromJson(far), DecodingException) << outOfRange;
    }
    Json early = json;
    early["cleanedAt"] = -978307200.0;
    EXPECT_EQ(LastCleanRecord::fromJson(early).cleanedAt.time_since_epoch().count(), 0);
}

}  // namespace
}  // namespace scourlet
