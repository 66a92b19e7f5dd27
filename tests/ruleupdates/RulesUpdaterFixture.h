// A rules updater over fakes: a bundle of its own (trusted key, shipped
// manifest and rule files), an installed-rules root in a temporary folder, a
// scripted transport serving releases on the fixture host, and a manual
// executor, main queue and clock that the test steps.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/ResourceBundle.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/ruleupdates/RuleUpdateChannel.h"
#include "ScourletCore/ruleupdates/RulesUpdater.h"
#include "ScourletCore/ruleupdates/SignedRuleFeed.h"
#include "ScourletCore/ruleupdates/SignedRuleStore.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"
#include "support/FakeHttpTransport.h"
#include "support/FixtureSigner.h"
#include "support/ManualClock.h"
#include "support/ManualExecutor.h"
#include "support/ManualMainQueue.h"
#include "support/RuleFeedFixture.h"
#include "support/TempDir.h"

namespace scourlet::testing {

inline constexpr const char* kShippedVersion = "2026.03.01.5";

class RulesUpdaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(bundleFolder());
        writeFile(bundleFolder() / "rule-feed-keys.json", keysetText({&key}));
        shipped(RuleRelease(kShippedVersion));
        clock->set(std::chrono::system_clock::time_point(std::chrono::seconds(1'780'000'000)));
    }

    std::filesystem::path bundleFolder() const { return dir / "bundle"; }
    std::filesystem::path root() const { return dir / "installed"; }

    // Makes `release` the rules shipped with the program.
    void shipped(const RuleRelease& release) {
        writeFile(bundleFolder() / "manifest.json", release.manifestText());
        writeFile(bundleFolder() / "data.min.json", release.clear);
        writeFile(bundleFolder() / "scourlet-supplementary.json", release.supplementary);
    }
    void removeShippedManifest() { std::filesystem::remove(bundleFolder() / "manifest.json"); }

    RulesUpdater::Environment environment() {
        RulesUpdater::Environment env;
        env.transport = http;
        env.executor = executor;
        env.mainQueue = queue;
        env.clock = clock;
        env.awareness = awareness;
        env.bundle = &bundle;
        env.host = std::string(kFixtureRulesHost);
        env.appVersion = "1.0";
        return env;
    }

    std::shared_ptr<RulesUpdater> makeUpdater(std::optional<std::string> manifestURL = std::nullopt,
                                              std::optional<std::string> appVersion = std::nullopt) {
        auto env = environment();
        if (appVersion) {
            env.appVersion = *appVersion;
        }
        return std::make_shared<RulesUpdater>(engine, defaults, std::move(manifestURL), root(),
                                              std::move(env));
    }

    // Serves `release` as the channel's current release, signed with `signer`.
    void serve(const RuleRelease& release, RuleUpdateChannel channel = RuleUpdateChannel::stable) {
        serveSigned(release, channel, key);
    }
    void serveSigned(const RuleRelease& release, RuleUpdateChannel channel,
                     const FixtureKey& signer) {
        const std::string manifest = manifestURL(channel, kFixtureRulesHost);
        const auto proof = release.proof(signer);
        http->on(manifest, FakeHttpTransport::ok(proof.manifest));
        http->on(SignedRuleFeed::signatureURL(manifest), FakeHttpTransport::ok(proof.signature));
        const std::string base = SignedRuleFeed::rulesBase(kFixtureRulesHost) + release.version;
        http->on(base + "/data.min.json", FakeHttpTransport::ok(release.clear));
        http->on(base + "/scourlet-supplementary.json",
                 FakeHttpTransport::ok(release.supplementary));
    }

    // Puts `release` into the store under the root, as an earlier install would.
    void installed(const RuleRelease& release) {
        SignedRuleFeed::Store store{root(), keysetText({&key}), std::string(kFixtureRulesHost),
                                    "1.0"};
        ASSERT_TRUE(store.install(release.signedRecord(key), "2000.01.01.1").ok());
    }

    // Runs background jobs and main-queue work until neither has any left.
    void settle() {
        while (executor->runAll() + queue->runAll() > 0) {
        }
    }

    // The providers the engine holds, by name.
    std::vector<std::string> providerNames() const {
        std::vector<std::string> names;
        for (const auto& provider : engine->compiledProviders()) {
            names.push_back(provider->name);
        }
        return names;
    }
    static std::vector<std::string> namesOf(const RuleRelease& release) {
        std::string tag = release.version;
        for (char& c : tag) {
            c = c == '.' ? '_' : c;
        }
        return {"Fixture clear_" + tag, "Fixture supplementary_" + tag};
    }

    TempDir dir;
    FixtureKey key = FixtureKey::generate("rules-test");
    ResourceBundle bundle{dir / "bundle"};
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<FakeHttpTransport> http = std::make_shared<FakeHttpTransport>();
    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    std::shared_ptr<ManualMainQueue> queue = std::make_shared<ManualMainQueue>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<UpdateAwareness> awareness =
        std::make_shared<UpdateAwareness>(std::make_shared<InMemoryUserDefaults>(), clock);
    std::shared_ptr<RulesEngine> engine = std::make_shared<RulesEngine>(
        std::make_shared<InMemoryUserDefaults>(), &bundle);
};

}  // namespace scourlet::testing
