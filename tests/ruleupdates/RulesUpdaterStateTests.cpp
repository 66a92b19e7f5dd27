#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/clipboard/CommandGuard.h"
#include "ScourletCore/platform/AppDirectories.h"
#include "ruleupdates/RulesUpdaterFixture.h"

namespace scourlet::testing {
namespace {

using std::chrono::seconds;
using TimePoint = std::chrono::system_clock::time_point;
using Kind = RulesUpdateStatus::Kind;

TEST_F(RulesUpdaterTest, EmptySettingsGiveTheDefaultsAndWriteNothing) {
    auto updater = makeUpdater();
    EXPECT_EQ(updater->automaticUpdateCadence(), RuleUpdateCadence::never);
    EXPECT_EQ(updater->selectedChannel(), RuleUpdateChannel::stable);
    EXPECT_EQ(updater->lastUpdateDate(), std::nullopt);
    EXPECT_EQ(updater->lastAutomaticCheckDate(), std::nullopt);
    EXPECT_EQ(updater->updateStatus(), RulesUpdateStatus::idle());
    EXPECT_EQ(updater->availableManifest(), std::nullopt);
    EXPECT_EQ(updater->installedVersion(), kShippedVersion);
    EXPECT_TRUE(defaults->dictionaryRepresentation().empty());
    // Nothing is loaded until the start-up load.
    EXPECT_TRUE(engine->compiledProviders().empty());
}

TEST_F(RulesUpdaterTest, StoredSettingsAreReadStrictly) {
    struct Case {
        const char* name;
        std::function<void(UserDefaults&)> store;
        RuleUpdateCadence cadence;
        RuleUpdateChannel channel;
        std::optional<TimePoint> lastUpdate;
        std::optional<TimePoint> lastAutomaticCheck;
    };
    const TimePoint when{seconds(1'700'000'000)};
    const Case cases[] = {
        {"exact raw values",
         [&](UserDefaults& d) {
             d.setString(RulesUpdater::kAutomaticUpdateCadenceKey, "weekly");
             d.setString(RulesUpdater::kSelectedChannelKey, "beta");
             d.setDate(RulesUpdater::kLastUpdateKey, when);
             d.setDate(RulesUpdater::kLastAutomaticCheckKey, when + seconds(5));
         },
         RuleUpdateCadence::weekly, RuleUpdateChannel::beta, when, when + seconds(5)},
        {"other letter case",
         [](UserDefaults& d) {
             d.setString(RulesUpdater::kAutomaticUpdateCadenceKey, "Daily");
             d.setString(RulesUpdater::kSelectedChannelKey, "Beta");
         },
         RuleUpdateCadence::never, RuleUpdateChannel::stable, std::nullopt, std::nullopt},
        {"numbers under the date keys",
         [](UserDefaults& d) {
             d.setDouble(RulesUpdater::kLastUpdateKey, 1'700'000'000.0);
             d.setInteger(RulesUpdater::kLastAutomaticCheckKey, 1'700'000'000);
             d.setString(RulesUpdater::kSelectedChannelKey, "nightly");
         },
         RuleUpdateCadence::never, RuleUpdateChannel::stable, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        defaults = std::make_shared<InMemoryUserDefaults>();
        c.store(*defaults);
        const auto before = defaults->dictionaryRepresentation();
        auto updater = makeUpdater();
        EXPECT_EQ(updater->automaticUpdateCadence(), c.cadence) << c.name;
        EXPECT_EQ(updater->selectedChannel(), c.channel) << c.name;
        EXPECT_EQ(updater->lastUpdateDate(), c.lastUpdate) << c.name;
        EXPECT_EQ(updater->lastAutomaticCheckDate(), c.lastAutomaticCheck) << c.name;
        EXPECT_EQ(defaults->dictionaryRepresentation(), before) << c.name;
    }
}

TEST_F(RulesUpdaterTest, StartUpLoadsTheVerifiedInstalledRecordOverAStaleStoredVersion) {
    const RuleRelease newer("2026.03.02.1");
    installed(newer);
    defaults->setString(RulesUpdater::kInstalledVersionKey, "2020.01.01.1");

    auto updater = makeUpdater();
    EXPECT_EQ(updater->installedVersion(), newer.version);
    ASSERT_TRUE(updater->activeManifest().has_value());
    EXPECT_EQ(updater->activeManifest()->currentVersion, newer.version);

    updater->setInstalledVersion(std::nullopt);
    updater->loadPreferringAppSupport();
    EXPECT_EQ(updater->installedVersion(), newer.version);
    EXPECT_EQ(providerNames(), namesOf(newer));
}

TEST_F(RulesUpdaterTest, StartUpFallsBackToTheShippedRules) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::optional<std::string> version;
    };
    const Case cases[] = {
        {"nothing installed", [] {}, kShippedVersion},
        {"installed record below the shipped version",
         [&] { installed(RuleRelease("2026.03.01.4")); }, kShippedVersion},
        {"installed record with an altered rule file",
         [&] {
             installed(RuleRelease("2026.03.02.1"));
             const auto stateFile = root() / SignedRuleFeed::Store::kStateFileName;
             auto state = SignedRuleFeed::State::decode(readFile(stateFile));
             ASSERT_TRUE(state.ok());
             state->active.clear[10] ^= 1;
             writeFile(stateFile, state->encoded());
         },
         kShippedVersion},
        // Without a shipped manifest no installed record is good enough.
        {"no shipped manifest",
         [&] {
             installed(RuleRelease("2026.03.02.1"));
             removeShippedManifest();
         },
         std::nullopt},
    };
    const RuleRelease shippedRelease(kShippedVersion);
    for (const Case& c : cases) {
        std::filesystem::remove_all(root());
        shipped(shippedRelease);
        engine = std::make_shared<RulesEngine>(std::make_shared<InMemoryUserDefaults>(), &bundle);
        c.arrange();
        auto updater = makeUpdater();
        EXPECT_EQ(updater->installedVersion(), c.version) << c.name;
        updater->loadPreferringAppSupport();
        EXPECT_EQ(updater->installedVersion(), c.version) << c.name;
        EXPECT_EQ(providerNames(), namesOf(shippedRelease)) << c.name;
        EXPECT_EQ(updater->updateStatus(), RulesUpdateStatus::idle()) << c.name;
    }
}

TEST_F(RulesUpdaterTest, ChoosingAChannelAlwaysWritesAndWithdrawsTheOffer) {
    auto updater = makeUpdater();
    RuleUpdateManifest offered;
    offered.currentVersion = "2026.03.02.1";

    struct Case {
        RulesUpdateStatus before;
        Kind after;
    };
    const Case cases[] = {
        {RulesUpdateStatus::updateAvailable(offered), Kind::idle},
        {RulesUpdateStatus::downloading(), Kind::downloading},
        {RulesUpdateStatus::failed("Download failed: x"), Kind::failed},
    };
    for (const Case& c : cases) {
        defaults->removeObject(RulesUpdater::kSelectedChannelKey);
        awareness->success(UpdateClass::rules, "2026.3.2.1", std::nullopt);
        updater->setAvailableManifest(offered);
        updater->setUpdateStatus(c.before);

        // The channel already selected: still written, still withdrawn.
        updater->setSelectedChannel(RuleUpdateChannel::stable);
        EXPECT_EQ(defaults->stringForKey(RulesUpdater::kSelectedChannelKey), "stable");
        EXPECT_EQ(updater->availableManifest(), std::nullopt);
        EXPECT_EQ(updater->updateStatus().kind(), c.after);
        EXPECT_EQ(awareness->state().entries.at(UpdateClass::rules).availableVersion, std::nullopt);
    }
    updater->setSelectedChannel(RuleUpdateChannel::beta);
    EXPECT_EQ(defaults->stringForKey(RulesUpdater::kSelectedChannelKey), "beta");
    EXPECT_EQ(makeUpdater()->selectedChannel(), RuleUpdateChannel::beta);
}

TEST_F(RulesUpdaterTest, ChoosingACadenceWritesOnlyItsKey) {
    auto updater = makeUpdater();
    int announced = 0;
    auto connection =
        updater->automaticUpdateCadencePublisher().connect([&](const auto&) { ++announced; });
    updater->setAutomaticUpdateCadence(RuleUpdateCadence::monthly);
    updater->setAutomaticUpdateCadence(RuleUpdateCadence::monthly);
    EXPECT_EQ(announced, 2);  // also an equal value
    EXPECT_EQ(defaults->dictionaryRepresentation().size(), 1u);
    EXPECT_EQ(defaults->stringForKey(RulesUpdater::kAutomaticUpdateCadenceKey), "monthly");
    EXPECT_EQ(updater->lastAutomaticCheckDate(), std::nullopt);
    EXPECT_EQ(makeUpdater()->automaticUpdateCadence(), RuleUpdateCadence::monthly);
}

TEST_F(RulesUpdaterTest, DirectoriesOfTheInstanceAndTheDefaults) {
    auto updater = makeUpdater();
    EXPECT_EQ(updater->installedRulesRootURL(), root());
    EXPECT_EQ(updater->activeRulesDirectoryURL(), root() / "active");
    EXPECT_EQ(updater->previousRulesDirectoryURL(), root() / "previous");

    const auto support = applicationSupportDirectory();
    ASSERT_TRUE(support.has_value());
    const auto defaultRoot = *support / "com.morrowgate.scourlet" / "rules";
    EXPECT_EQ(RulesUpdater::rulesRootURL(), defaultRoot);
    EXPECT_EQ(RulesUpdater::defaultActiveRulesDirectoryURL(), defaultRoot / "active");
    EXPECT_EQ(RulesUpdater::defaultPreviousRulesDirectoryURL(), defaultRoot / "previous");

    auto plain = std::make_shared<RulesUpdater>(engine, defaults, std::nullopt, std::nullopt,
                                                environment());
    EXPECT_EQ(plain->installedRulesRootURL(), defaultRoot);
}

TEST_F(RulesUpdaterTest, CommandGuardVersionComesFromTheStoreTheInstalledFileOrTheShippedRules) {
    EXPECT_EQ(makeUpdater()->installedCommandGuardVersion(), CommandGuard().rulesVersion());

    const auto installedFile = CommandGuard::defaultInstalledRulesURL();
    ASSERT_TRUE(installedFile.has_value());
    writeFile(*installedFile, R"({"currentVersion":"2026.04.01.1","rules":[]})");
    EXPECT_EQ(makeUpdater()->installedCommandGuardVersion(), "2026.04.01.1");

    defaults->setString(RulesUpdater::kInstalledCommandGuardVersionKey, "2026.05.01.1");
    EXPECT_EQ(makeUpdater()->installedCommandGuardVersion(), "2026.05.01.1");
    std::filesystem::remove(*installedFile);
}

// The legacy move works in the Application Support folder of the test home.
class LegacyRulesMoveTest : public ::testing::Test {
protected:
    void SetUp() override {
        support = *applicationSupportDirectory();
        clean();
    }
    void TearDown() override { clean(); }
    void clean() {
        std::filesystem::remove_all(support / "com.morrowgate.scourlet");
        std::filesystem::remove_all(support / "com.quenby.scourlet");
    }
    std::filesystem::path current() const {
        return support / "com.morrowgate.scourlet" / "data.min.json";
    }
    std::filesystem::path legacy() const {
        return support / "com.quenby.scourlet" / "data.min.json";
    }
    // appSupportRulesURL() and what it printed.
    std::string read() {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(RulesUpdater::appSupportRulesURL(), current());
        return ::testing::internal::GetCapturedStdout();
    }

    std::filesystem::path support;
};

constexpr const char* kSkipped = "RulesUpdater: legacy rules migration skipped \xE2\x80\x94 ";

TEST_F(LegacyRulesMoveTest, CopiesTheOldFileOnceAndKeepsANewerOne) {
    EXPECT_EQ(read(), "");  // neither file: nothing happens
    EXPECT_FALSE(std::filesystem::exists(current()));

    writeFile(legacy(), "old rules");
    EXPECT_EQ(read(), "");
    EXPECT_EQ(readFile(current()), "old rules");
    EXPECT_EQ(readFile(legacy()), "old rules");  // the old file stays

    writeFile(legacy(), "changed later");
    EXPECT_EQ(read(), "");
    EXPECT_EQ(readFile(current()), "old rules");  // a file here is never replaced
}

TEST_F(LegacyRulesMoveTest, RefusesWhatIsNotABoundedRegularFile) {
    struct Case {
        const char* name;
        std::function<void()> plant;
    };
    const Case cases[] = {
        // A pipe would block a plain copy for ever.
        {"pipe",
         [&] {
             std::filesystem::create_directories(legacy().parent_path());
             ASSERT_EQ(::mkfifo(legacy().c_str(), 0600), 0);
         }},
        {"link to a readable file",
         [&] {
             writeFile(support / "elsewhere.json", "somebody else's file");
             std::filesystem::create_directories(legacy().parent_path());
             std::filesystem::create_symlink(support / "elsewhere.json", legacy());
         }},
        {"file over 4 MiB",
         [&] { writeFile(legacy(), std::string(RulesUpdater::kLegacyRulesFileCap + 1, 'x')); }},
        {"new folder cannot be made",
         [&] {
             writeFile(legacy(), "old rules");
             writeFile(support / "com.morrowgate.scourlet", "a file in the way");
         }},
    };
    for (const Case& c : cases) {
        clean();
        c.plant();
        const std::string printed = read();
        EXPECT_EQ(printed.rfind(kSkipped, 0), 0u) << c.name << ": " << printed;
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << c.name;
        EXPECT_FALSE(std::filesystem::is_regular_file(current())) << c.name;
    }
    std::filesystem::remove(support / "elsewhere.json");
}

}  // namespace
}  // namespace scourlet::testing
