// The signed store: the state file, installs under the lock with the rollback
// rule, the choice of the record in use, and loading verified rules into an
// engine.
#include "ScourletCore/ruleupdates/SignedRuleStore.h"

#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/ExclusiveFileLock.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/ruleupdates/VerifiedRuleBundleLoader.h"
#include "support/ForkedProcesses.h"
#include "support/RuleFeedFixture.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

using namespace std::chrono_literals;
using testing::kFixtureRulesHost;
using testing::RuleRelease;
using Feed = SignedRuleFeed;
using Record = Feed::Record;

const std::string kFloor = "2025.01.01.1";

std::optional<std::string> versionOf(const std::optional<Record>& record) {
    if (!record) {
        return std::nullopt;
    }
    return Json::parse(record->proof.manifest)["currentVersion"].get<std::string>();
}

class SignedRuleStoreTest : public ::testing::Test {
protected:
    testing::TempDir dir_;
    testing::FixtureKey key_ = testing::FixtureKey::generate("rules-test");
    Feed::Store store_{dir_ / "rules", testing::keysetText({&key_}), std::string(kFixtureRulesHost),
                       "1.0"};

    Record record(const std::string& version) const {
        return RuleRelease(version).signedRecord(key_);
    }

    // Writes a state file directly, bypassing the install rules.
    void writeState(const Record& active, std::optional<Record> previous = std::nullopt) const {
        testing::writeFile(*store_.stateFile(), Feed::State{active, std::move(previous)}.encoded());
    }

    std::optional<std::string> activeVersion() const {
        const auto state = store_.loadState();
        return state ? versionOf(state->active) : std::nullopt;
    }
    std::optional<std::string> previousVersion() const {
        const auto state = store_.loadState();
        return state ? versionOf(state->previous) : std::nullopt;
    }

    static Record corrupted(Record r) {
        r.clear[r.clear.size() / 2] ^= 1;
        return r;
    }
};

TEST_F(SignedRuleStoreTest, StateFileRoundTrip) {
    const Feed::State state{record("2026.03.01.1"), record("2026.02.01.1")};
    const auto decoded = Feed::State::decode(state.encoded());
    ASSERT_TRUE(decoded.ok()) << decoded.error().message;
    EXPECT_EQ(*decoded, state);

    const Feed::State alone{record("2026.03.01.1"), std::nullopt};
    EXPECT_EQ(alone.encoded().find("previous"), std::string::npos);
    Json withNull = Json::parse(alone.encoded());
    withNull["previous"] = nullptr;
    EXPECT_EQ(Feed::State::decode(withNull.dump())->previous, std::nullopt);

    Json notBase64 = Json::parse(alone.encoded());
    notBase64["active"]["clear"] = "not base64!";
    EXPECT_FALSE(Feed::State::decode(notBase64.dump()).ok());
    Json noProof = Json::parse(alone.encoded());
    noProof["active"].erase("proof");
    EXPECT_FALSE(Feed::State::decode(noProof.dump()).ok());
}

// Each row: what is stored, what is installed, and what is stored after.
TEST_F(SignedRuleStoreTest, InstallsForwardAndKeepsTheRecordInUse) {
    const Record a = record("2026.01.01.1");
    const Record b = record("2026.02.01.1");
    const Record c = record("2026.03.01.1");
    RuleRelease otherA("2026.01.01.1");
    otherA.manifest["notes"] = Json::array({"other bytes"});
    const Record a2 = otherA.signedRecord(key_);

    struct Case {
        const char* name;
        std::function<void()> arrange;
        Record install;
        bool succeeds;
        std::optional<std::string> active;
        std::optional<std::string> previous;
    };
    const Case cases[] = {
        {"nothing stored", [] {}, a, true, "2026.01.01.1", std::nullopt},
        {"a newer version", [&] { writeState(a); }, b, true, "2026.02.01.1", "2026.01.01.1"},
        {"the oldest record is dropped", [&] { writeState(b, a); }, c, true, "2026.03.01.1",
         "2026.02.01.1"},
        {"active no longer verifies: previous is kept", [&] { writeState(corrupted(b), a); }, c,
         true, "2026.03.01.1", "2026.01.01.1"},
        {"both corrupted: no previous", [&] { writeState(corrupted(b), corrupted(a)); }, c, true,
         "2026.03.01.1", std::nullopt},
        {"an unreadable file counts as none",
         [&] { testing::writeFile(*store_.stateFile(), "{not json"); }, a, true, "2026.01.01.1",
         std::nullopt},
        {"the same version with other bytes", [&] { writeState(a); }, a2, false, "2026.01.01.1",
         std::nullopt},
        {"an older version (rollback)", [&] { writeState(b); }, a, false, "2026.02.01.1",
         std::nullopt},
        {"older than a previous that verifies", [&] { writeState(corrupted(c), b); }, a, false,
         "2026.03.01.1", "2026.02.01.1"},
        {"older than an active whose files broke", [&] { writeState(corrupted(c)); }, b, false,
         "2026.03.01.1", std::nullopt},
        {"files that do not match the manifest", [] {}, corrupted(a), false, std::nullopt,
         std::nullopt},
    };
    for (const Case& row : cases) {
        std::filesystem::remove_all(*store_.root);
        std::filesystem::create_directories(*store_.root);
        row.arrange();
        const auto result = store_.install(row.install, kFloor);
        EXPECT_EQ(result.ok(), row.succeeds) << row.name;
        if (!result.ok()) {
            EXPECT_EQ(result.error(), Feed::rejection()) << row.name;
        }
        EXPECT_EQ(activeVersion(), row.active) << row.name;
        EXPECT_EQ(previousVersion(), row.previous) << row.name;
    }
}

TEST_F(SignedRuleStoreTest, ReinstallingTheRecordInUseWritesNothing) {
    const Record a = record("2026.01.01.1");
    ASSERT_TRUE(store_.install(a, kFloor).ok());
    const auto file = *store_.stateFile();
    const auto written = std::filesystem::last_write_time(file);
    const std::string before = testing::readFile(file);
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(store_.install(a, kFloor).ok());
    EXPECT_EQ(std::filesystem::last_write_time(file), written);
    EXPECT_EQ(testing::readFile(file), before);

    struct stat lockStat {};
    ASSERT_EQ(::stat(store_.lockFile()->c_str(), &lockStat), 0);
    EXPECT_EQ(lockStat.st_mode & 0777, 0600u);
}

TEST_F(SignedRuleStoreTest, TheFloorDecides) {
    const Record r = record("2026.03.01.1");
    struct Case {
        std::string floor;
        bool installs;
    };
    const Case cases[] = {
        {"2026.03.01.1", true},                       // equal to the shipped version
        {"2026.03.01.2", false},                      // below the shipped version
        {std::string(Feed::kHighestVersion), false},  // no shipped manifest
        {"not a version", false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(*store_.root);
        EXPECT_EQ(store_.install(r, c.floor).ok(), c.installs) << c.floor;
        writeState(r);
        EXPECT_EQ(store_.bestRecord(c.floor).has_value(), c.installs) << c.floor;
    }
    EXPECT_EQ(Feed::minimumVersion(nullptr), Feed::kHighestVersion);
}

TEST_F(SignedRuleStoreTest, ChoosesTheNewestRecordThatStillVerifies) {
    const Record a = record("2026.01.01.1");
    const Record b = record("2026.02.01.1");
    EXPECT_EQ(store_.bestRecord(kFloor), std::nullopt);  // no file

    struct Case {
        const char* name;
        Record active;
        std::optional<Record> previous;
        std::optional<std::string> chosen;
    };
    const Case cases[] = {
        {"active", b, a, "2026.02.01.1"},
        {"a newer previous wins", a, b, "2026.02.01.1"},
        {"active corrupted", corrupted(b), a, "2026.01.01.1"},
        {"both corrupted", corrupted(b), corrupted(a), std::nullopt},
        {"below the floor", record("2024.12.01.1"), std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        writeState(c.active, c.previous);
        EXPECT_EQ(versionOf(store_.bestRecord(kFloor)), c.chosen) << c.name;
    }

    // A trust without the signing key verifies nothing.
    writeState(b, a);
    Feed::Store stranger = store_;
    stranger.trust = "{}";
    EXPECT_EQ(stranger.bestRecord(kFloor), std::nullopt);
}

TEST_F(SignedRuleStoreTest, StateFileSizeCap) {
    const Record a = record("2026.01.01.1");
    const std::string encoded = Feed::State{a, std::nullopt}.encoded();
    std::filesystem::create_directories(*store_.root);
    // White space after the JSON keeps it valid; only the size differs.
    testing::writeFile(*store_.stateFile(),
                       encoded + std::string(Feed::Store::kMaxStateBytes - encoded.size(), ' '));
    EXPECT_EQ(versionOf(store_.bestRecord(kFloor)), "2026.01.01.1");
    testing::writeFile(
        *store_.stateFile(),
        encoded + std::string(Feed::Store::kMaxStateBytes + 1 - encoded.size(), ' '));
    EXPECT_EQ(store_.loadState(), std::nullopt);

    // A link planted in place of the file is not followed.
    std::filesystem::remove(*store_.stateFile());
    testing::writeFile(dir_ / "elsewhere.json", encoded);
    std::filesystem::create_symlink(dir_ / "elsewhere.json", *store_.stateFile());
    EXPECT_EQ(store_.loadState(), std::nullopt);
}

TEST_F(SignedRuleStoreTest, InstallsWaitForTheLock) {
    std::filesystem::create_directories(*store_.root);
    auto held = ExclusiveFileLock::acquire(*store_.lockFile());
    ASSERT_TRUE(held.ok());
    auto first = std::async(std::launch::async,
                            [&] { return store_.install(record("2026.01.01.1"), kFloor); });
    auto second = std::async(std::launch::async,
                             [&] { return store_.install(record("2026.02.01.1"), kFloor); });
    EXPECT_EQ(first.wait_for(100ms), std::future_status::timeout);
    EXPECT_EQ(second.wait_for(0ms), std::future_status::timeout);
    EXPECT_FALSE(std::filesystem::exists(*store_.stateFile()));
    { auto release = std::move(held).value(); }
    const auto r1 = first.get();
    const auto r2 = second.get();
    // In either order the newer ends active; when it came first, the older
    // was refused as a rollback, otherwise it is kept as the previous.
    EXPECT_TRUE(r2.ok());
    EXPECT_EQ(activeVersion(), "2026.02.01.1");
    EXPECT_EQ(previousVersion(),
              r1.ok() ? std::optional<std::string>("2026.01.01.1") : std::nullopt);
}

// Two processes (the application and the tool, say) installing at once: the
// lock file keeps them apart, so both wait while a third holds it, and the
// state ends as one install after the other left it.
TEST_F(SignedRuleStoreTest, InstallsOfTwoProcessesAreSerializedByTheLockFile) {
    std::filesystem::create_directories(*store_.root);
    const std::string versions[] = {"2026.01.01.1", "2026.02.01.1"};
    const Record records[] = {record(versions[0]), record(versions[1])};
    std::optional<ExclusiveFileLock> held;
    const bool succeeded = testing::runInForkedProcesses(
        2,
        [&](int index) {
            const auto result = store_.install(records[index], kFloor);
            testing::writeFile(dir_ / ("result-" + std::to_string(index)),
                               result.ok() ? "installed" : "refused");
            // Only the older one may be refused: as a rollback, when it came second.
            return result.ok() || index == 0;
        },
        [&] {
            auto lock = ExclusiveFileLock::acquire(*store_.lockFile());
            ASSERT_TRUE(lock.ok());
            held.emplace(std::move(lock).value());
        },
        [&] {
            std::this_thread::sleep_for(300ms);
            EXPECT_FALSE(std::filesystem::exists(*store_.stateFile()))
                << "an install went ahead while another process held the lock";
            held.reset();
        });
    ASSERT_TRUE(succeeded);
    EXPECT_EQ(activeVersion(), versions[1]);
    const bool olderInstalled = testing::readFile(dir_ / "result-0") == "installed";
    EXPECT_EQ(previousVersion(), olderInstalled ? std::optional(versions[0]) : std::nullopt)
        << "an install that succeeded must not be lost";
}

TEST_F(SignedRuleStoreTest, WithoutARootNothingIsStored) {
    const Feed::Store nowhere{std::nullopt, store_.trust, store_.host, store_.appVersion};
    const auto result = nowhere.install(record("2026.01.01.1"), kFloor);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, RuleUpdateError::Kind::fileSystem);
    EXPECT_EQ(nowhere.bestRecord(kFloor), std::nullopt);

    // A root under a file cannot be made.
    testing::writeFile(dir_ / "file", "x");
    const Feed::Store blocked{dir_ / "file" / "rules", store_.trust, store_.host,
                              store_.appVersion};
    EXPECT_EQ(blocked.install(record("2026.01.01.1"), kFloor).error().kind,
              RuleUpdateError::Kind::fileSystem);
}

// --- Loading into an engine ---------------------------------------------------------

class VerifiedRuleBundleLoaderTest : public SignedRuleStoreTest {
protected:
    VerifiedRuleBundleLoaderTest() {
        testing::writeFile(bundleDir_ / "data.min.json", testing::fixtureProvidersFile("shipped"));
        testing::writeFile(bundleDir_ / "scourlet-supplementary.json",
                           testing::fixtureProvidersFile("shipped_supplementary"));
        testing::writeFile(bundleDir_ / "rule-feed-keys.json", store_.trust);
        testing::writeFile(bundleDir_ / "manifest.json",
                           RuleRelease("2026.02.01.1").manifestText());
    }

    std::optional<std::string> load(RulesEngine& engine) { return loadWhole(engine).version; }
    VerifiedRuleBundleLoader::Loaded loadWhole(RulesEngine& engine) {
        return VerifiedRuleBundleLoader::load(engine, store_.root, &bundle_, kFixtureRulesHost,
                                              "1.0");
    }

    static std::vector<std::string> providerNames(const RulesEngine& engine) {
        std::vector<std::string> names;
        for (const auto& provider : engine.compiledProviders()) {
            names.push_back(provider->name);
        }
        return names;
    }

    testing::TempDir bundleDir_;
    ResourceBundle bundle_{bundleDir_.path()};
    std::shared_ptr<InMemoryUserDefaults> defaults_ = std::make_shared<InMemoryUserDefaults>();
};

TEST_F(VerifiedRuleBundleLoaderTest, LoadsTheBestVerifiedRecordElseTheShippedRules) {
    const std::vector<std::string> shipped{"Fixture shipped", "Fixture shipped_supplementary"};
    {
        RulesEngine engine(defaults_, &bundle_);
        EXPECT_EQ(load(engine), "2026.02.01.1");  // nothing stored
        EXPECT_EQ(providerNames(engine), shipped);
    }
    ASSERT_TRUE(store_.install(record("2026.03.01.1"), "2026.02.01.1").ok());
    {
        RulesEngine engine(defaults_, &bundle_);
        EXPECT_EQ(load(engine), "2026.03.01.1");
        EXPECT_EQ(providerNames(engine),
                  (std::vector<std::string>{"Fixture clear_2026_03_01_1",
                                            "Fixture supplementary_2026_03_01_1"}));
    }
    // An update of the program that ships newer rules retires the stored ones.
    testing::writeFile(bundleDir_ / "manifest.json", RuleRelease("2026.04.01.1").manifestText());
    {
        RulesEngine engine(defaults_, &bundle_);
        EXPECT_EQ(load(engine), "2026.04.01.1");
        EXPECT_EQ(providerNames(engine), shipped);
    }
    // Without a shipped manifest only the shipped rules are used, and no version is known.
    std::filesystem::remove(bundleDir_ / "manifest.json");
    {
        RulesEngine engine(defaults_, &bundle_);
        EXPECT_EQ(load(engine), std::nullopt);
        EXPECT_EQ(providerNames(engine), shipped);
    }
}

// Only an update that could have been used and was not is refused: one that
// no longer verifies, or a state file that cannot be read. An update older
// than the shipped rules is retired, not refused.
TEST_F(VerifiedRuleBundleLoaderTest, SaysWhenTheShippedRulesStandInForARefusedUpdate) {
    const auto otherKey = testing::FixtureKey::generate("rules-test");
    const std::vector<std::string> shipped{"Fixture shipped", "Fixture shipped_supplementary"};
    struct Case {
        const char* name;
        std::function<void()> store;  // what the state file holds
        std::string version;          // the version loaded
        bool refused;
    };
    const std::vector<Case> cases = {
        {"nothing installed", [] {}, "2026.02.01.1", false},
        {"an update in use", [&] { writeState(record("2026.03.01.1")); }, "2026.03.01.1", false},
        {"a changed rule file", [&] { writeState(corrupted(record("2026.03.01.1"))); },
         "2026.02.01.1", true},
        {"signed with a key not in the key set",
         [&] { writeState(RuleRelease("2026.03.01.1").signedRecord(otherKey)); }, "2026.02.01.1",
         true},
        {"a changed update before an outdated rollback copy",
         [&] { writeState(corrupted(record("2026.03.01.1")), record("2026.01.01.1")); },
         "2026.02.01.1", true},
        {"a changed update before a usable rollback copy",
         [&] { writeState(corrupted(record("2026.03.01.1")), record("2026.02.15.1")); },
         "2026.02.15.1", false},
        {"older than the shipped rules", [&] { writeState(record("2026.01.01.1")); },
         "2026.02.01.1", false},
        {"older than the shipped rules and changed",
         [&] { writeState(corrupted(record("2026.01.01.1"))); }, "2026.02.01.1", false},
        {"a state file that does not decode",
         [&] { testing::writeFile(*store_.stateFile(), "{\"active\":"); }, "2026.02.01.1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(*store_.root);
        std::filesystem::create_directories(*store_.root);
        c.store();
        RulesEngine engine(defaults_, &bundle_);
        const auto loaded = loadWhole(engine);
        EXPECT_EQ(loaded.version, c.version);
        EXPECT_EQ(loaded.refusedUpdate,
                  c.refused ? store_.stateFile() : std::optional<std::filesystem::path>());
        if (c.refused) {
            EXPECT_EQ(providerNames(engine), shipped);
        }
    }
}

}  // namespace
}  // namespace scourlet
