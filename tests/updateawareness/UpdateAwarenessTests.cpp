#include "ScourletCore/updateawareness/UpdateAwareness.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/UnixTime.h"
#include "support/ManualClock.h"

namespace scourlet {
namespace {

using testing::ManualClock;
using Entry = UpdateAwarenessState::Entry;

class UpdateAwarenessTest : public ::testing::Test {
protected:
    std::string stored() const {
        const auto data = defaults->dataForKey(UpdateAwareness::kStorageKey);
        return data ? std::string(data->begin(), data->end()) : std::string();
    }
    void store(std::string_view text) {
        defaults->setData(UpdateAwareness::kStorageKey, DefaultsData(text.begin(), text.end()));
    }
    std::unique_ptr<UpdateAwareness> make() {
        return std::make_unique<UpdateAwareness>(defaults, clock);
    }
    double now() const { return unixSeconds(clock->now()); }

    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
};

TEST_F(UpdateAwarenessTest, StartsFromTheDefaultWithoutWritingIt) {
    for (const char* storedText : {"", R"({"automaticChecks":false})", "not json"}) {
        if (*storedText != '\0') {
            store(storedText);
        }
        const auto awareness = make();
        EXPECT_EQ(awareness->state(), UpdateAwarenessState{}) << storedText;
        EXPECT_TRUE(awareness->automaticChecks()) << storedText;
        EXPECT_EQ(stored(), storedText) << "nothing is written at start";
    }
}

TEST_F(UpdateAwarenessTest, EveryChangeIsStoredAndReadBackByTheNextStart) {
    {
        const auto awareness = make();
        awareness->installed(UpdateClass::app, "1.2", 40);
        awareness->success(UpdateClass::app, "1.3", 41);
        awareness->setAutomaticChecks(false);
        EXPECT_EQ(stored(), awareness->state().encoded());
    }
    const auto again = make();
    EXPECT_FALSE(again->automaticChecks());
    EXPECT_EQ(again->state().entries.at(UpdateClass::app), (Entry{.lastSuccess = now(),
                                                                  .availableVersion = "1.3",
                                                                  .availableBuild = 41,
                                                                  .installedVersion = "1.2",
                                                                  .installedBuild = 40}));
}

TEST_F(UpdateAwarenessTest, ReserveAtMostOnceADayPerClass) {
    const auto awareness = make();
    EXPECT_TRUE(awareness->reserve(UpdateClass::app));
    EXPECT_TRUE(awareness->reserve(UpdateClass::catalog));
    clock->advance(std::chrono::seconds(86399));
    EXPECT_FALSE(awareness->reserve(UpdateClass::app));
    clock->advance(std::chrono::seconds(1));
    EXPECT_TRUE(awareness->reserve(UpdateClass::app));
    EXPECT_EQ(awareness->state().entries.at(UpdateClass::app).lastAttempt, now());
    EXPECT_EQ(make()->state(), awareness->state());

    // Checks off: refused for every class, and the unchanged state is written.
    awareness->setAutomaticChecks(false);
    defaults->removeObject(UpdateAwareness::kStorageKey);
    clock->advance(std::chrono::hours(48));
    const UpdateAwarenessState before = awareness->state();
    for (const UpdateClass cls : allCases<UpdateClass>()) {
        EXPECT_FALSE(awareness->reserve(cls)) << rawValue(cls);
    }
    EXPECT_EQ(awareness->state(), before);
    EXPECT_EQ(stored(), before.encoded());
}

TEST_F(UpdateAwarenessTest, AnAttemptLeftFarAheadByAFastClockDoesNotBlockChecks) {
    clock->advance(std::chrono::hours(24 * 30));
    {
        const auto ahead = make();
        EXPECT_TRUE(ahead->reserve(UpdateClass::app));
    }
    clock->advance(-std::chrono::hours(24 * 30));  // the clock is put right
    const auto awareness = make();
    EXPECT_TRUE(awareness->reserve(UpdateClass::app));
    EXPECT_EQ(awareness->state().entries.at(UpdateClass::app).lastAttempt, now());
}

TEST_F(UpdateAwarenessTest, RefusedChangesStillStoreTheState) {
    const auto awareness = make();
    awareness->success(UpdateClass::app, "1.3", -1);
    EXPECT_EQ(stored(), R"({"automaticChecks":true,"entries":[]})");
    defaults->removeObject(UpdateAwareness::kStorageKey);
    awareness->installed(UpdateClass::rules, "latest", std::nullopt);
    EXPECT_EQ(stored(), R"({"automaticChecks":true,"entries":[]})");
    defaults->removeObject(UpdateAwareness::kStorageKey);
    awareness->clearRuleChannel();
    EXPECT_EQ(stored(), R"({"automaticChecks":true,"entries":[]})");
}

TEST_F(UpdateAwarenessTest, ClearRuleChannelForgetsTheRuleFindings) {
    const auto awareness = make();
    awareness->installed(UpdateClass::rules, "2026.3.7.1", std::nullopt);
    awareness->success(UpdateClass::rules, "2026.3.8.1", std::nullopt);
    ASSERT_EQ(awareness->state().available(), std::vector{UpdateClass::rules});
    awareness->clearRuleChannel();
    EXPECT_TRUE(awareness->state().available().empty());
    EXPECT_EQ(make()->state().entries.at(UpdateClass::rules),
              (Entry{.installedVersion = "2026.3.7.1"}));
}

TEST_F(UpdateAwarenessTest, ObserversHearOfEveryChangeBeforeItIsVisible) {
    const auto awareness = make();
    std::vector<std::string> heard;
    auto will = awareness->objectWillChange().connect([&] {
        heard.push_back("will:" + std::string(awareness->state().label(UpdateClass::app)));
    });
    auto next = awareness->statePublisher().connect([&](const UpdateAwarenessState& state) {
        heard.push_back("old:" + awareness->state().label(UpdateClass::app) +
                        " new:" + state.label(UpdateClass::app));
    });
    awareness->success(UpdateClass::app, "2.0", std::nullopt);
    EXPECT_EQ(heard, (std::vector<std::string>{"will:Scourlet",
                                               "old:Scourlet new:Scourlet 2.0 available"}));

    heard.clear();
    (void)awareness->reserve(UpdateClass::catalog);
    awareness->setAutomaticChecks(true);  // an equal value is announced too
    EXPECT_EQ(heard.size(), 4u);

    // A caller may edit a copy, publish it and store it.
    UpdateAwarenessState edited = awareness->state();
    edited.reconcile(UpdateClass::app, "2.0", std::nullopt);
    awareness->setState(edited);
    EXPECT_TRUE(awareness->state().available().empty());
    EXPECT_NE(stored(), edited.encoded());
    awareness->save();
    EXPECT_EQ(stored(), edited.encoded());
}

}  // namespace
}  // namespace scourlet
