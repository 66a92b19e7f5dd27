#include "ScourletCore/linkrewriting/PrivacyCatalogStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/FixtureSigner.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

namespace fs = std::filesystem;
using testing::FixtureBundle;
using testing::FixtureCatalog;
using testing::FixtureKey;
using testing::FixtureManifest;
using testing::FixtureService;
using testing::kFixtureGenerated;
using testing::kFixtureHost;
using testing::kFixtureReviewed;
using testing::readFile;
using testing::signCatalog;
using testing::TempDir;
using testing::writeFile;
using Verified = PrivacyServicesCatalog::Verified;

struct Candidate {
    PrivacyCatalogManifest manifest;
    std::string payload;
    std::string signature;
};

class CatalogStoreTest : public ::testing::Test {
protected:
    TempDir temp;
    const FixtureKey key = FixtureKey::generate("catalog-key");
    const FixtureBundle resources{temp / "bundle"};
    const fs::path root = temp / "group" / "PrivacyServices";
    std::uint64_t now = kFixtureGenerated + 100;

    void SetUp() override { resources.writeKeyset(testing::keysetText({&key})); }

    static FixtureCatalog catalog(std::uint64_t version,
                                  std::uint64_t generated = kFixtureGenerated,
                                  std::uint64_t reviewed = kFixtureReviewed) {
        FixtureCatalog c;
        c.version = version;
        c.generated = generated;
        c.services = {FixtureService::nitter("alpha", reviewed),
                      FixtureService::nitter("beta", reviewed)};
        return c;
    }

    Candidate candidate(const FixtureCatalog& c) const {
        const auto files = signCatalog(c, key);
        const std::string text = FixtureManifest::describing(files.payload, files.envelope,
                                                             c.version, c.generated, kFixtureHost)
                                     .text();
        auto manifest = PrivacyCatalogManifest::parse(text, kFixtureHost);
        EXPECT_TRUE(manifest.ok()) << text;
        return Candidate{*manifest, files.payload, files.envelope};
    }
    Candidate candidate(std::uint64_t version) const { return candidate(catalog(version)); }

    std::optional<Verified> verifiedCatalog(std::uint64_t version) const {
        const auto files = signCatalog(catalog(version), key);
        auto verified = PrivacyServicesCatalog::verify(files.payload, files.envelope,
                                                       testing::keysetText({&key}), std::nullopt);
        EXPECT_TRUE(verified.ok());
        return *verified;
    }

    PrivacyCatalogStore store(std::optional<Verified> shipped,
                              std::optional<fs::path> storeRoot) const {
        return PrivacyCatalogStore(
            std::move(storeRoot), PrivacyCatalogStore::Trust{resources.bundle(), std::move(shipped),
                                                             std::string(kFixtureHost)});
    }
    PrivacyCatalogStore store() const { return store(verifiedCatalog(1), root); }

    static std::uint64_t versionOf(const std::optional<Verified>& verified) {
        return verified ? verified->catalog().version : 0;
    }

    Result<void, CatalogError> install(const PrivacyCatalogStore& s, const Candidate& c) const {
        return s.install(c.manifest, c.payload, c.signature, now);
    }
};

TEST_F(CatalogStoreTest, NothingInstalledGivesTheShippedCatalogAndCreatesNothing) {
    EXPECT_EQ(versionOf(store().current()), 1u);
    EXPECT_FALSE(fs::exists(root));
    EXPECT_EQ(store(std::nullopt, root).current(), std::nullopt);
}

TEST_F(CatalogStoreTest, InstallReplacesTheRecordAndCurrentReadsIt) {
    const auto s = store();
    auto installed = install(s, candidate(2));
    ASSERT_TRUE(installed.ok()) << installed.error().message;
    EXPECT_EQ(versionOf(s.current()), 2u);
    EXPECT_EQ(s.current()->bytes(), candidate(2).payload);
    struct stat info {};
    ASSERT_EQ(::stat((root / "install.lock").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    ASSERT_TRUE(install(s, candidate(3)).ok());
    EXPECT_EQ(versionOf(s.current()), 3u);
    // Installing the same version again with the same bytes is allowed; an
    // older one is not.
    EXPECT_TRUE(install(s, candidate(3)).ok());
    EXPECT_FALSE(install(s, candidate(2)).ok());
    EXPECT_EQ(versionOf(s.current()), 3u);
}

TEST_F(CatalogStoreTest, ValidateChecksTimesAgainstNow) {
    const auto s = store();
    const std::uint64_t window = PrivacyServicesCatalog::kReviewWindow;
    struct Case {
        const char* name;
        FixtureCatalog catalog;
        std::uint64_t now;
        bool accepted;
    };
    const Case cases[] = {
        {"produced one second after now", catalog(2), kFixtureGenerated - 1, false},
        {"produced at now", catalog(2, kFixtureGenerated, kFixtureGenerated), kFixtureGenerated,
         true},
        {"reviewed exactly 90 days before now", catalog(2), kFixtureReviewed + window, true},
        {"reviewed 90 days and a second before now", catalog(2), kFixtureReviewed + window + 1,
         false},
    };
    for (const Case& c : cases) {
        const Candidate candidate = this->candidate(c.catalog);
        auto result = s.validate(candidate.manifest, candidate.payload, candidate.signature, c.now);
        EXPECT_EQ(result.ok(), c.accepted) << c.name;
    }
}

TEST_F(CatalogStoreTest, ValidateRefusesMismatchedFiles) {
    const auto s = store();
    const Candidate good = candidate(2);
    using Change = std::function<void(Candidate&)>;
    const std::pair<const char*, Change> cases[] = {
        {"payload one byte off", [](Candidate& c) { c.payload.back() = ' '; }},
        {"payload hash of other bytes",
         [](Candidate& c) { c.manifest.payload.sha256 = std::string(64, '0'); }},
        {"signature size off", [](Candidate& c) { c.signature += " "; }},
        {"manifest names another version",
         [&](Candidate& c) {
             c.manifest.version = 3;
             c.manifest.payload.url =
                 PrivacyCatalogManifest::expectedAssetURL(3, "json", kFixtureHost);
             c.manifest.signature.url =
                 PrivacyCatalogManifest::expectedAssetURL(3, "sig", kFixtureHost);
         }},
        {"manifest names another production time", [](Candidate& c) { c.manifest.generated -= 1; }},
        {"manifest for another host",
         [](Candidate& c) { c.manifest.payload.url.replace(8, 7, "another"); }},
    };
    for (const auto& [name, change] : cases) {
        Candidate c = good;
        change(c);
        auto result = s.validate(c.manifest, c.payload, c.signature, now);
        ASSERT_FALSE(result.ok()) << name;
        EXPECT_TRUE(result.error().isRejected()) << name;
    }
    EXPECT_TRUE(s.validate(good.manifest, good.payload, good.signature, now).ok());
    // No keyset, no trust.
    const PrivacyCatalogStore withoutKeys(
        root,
        PrivacyCatalogStore::Trust{std::nullopt, verifiedCatalog(1), std::string(kFixtureHost)});
    EXPECT_FALSE(withoutKeys.validate(good.manifest, good.payload, good.signature, now).ok());
    // Older than the shipped catalog.
    EXPECT_FALSE(store(verifiedCatalog(3), root)
                     .validate(good.manifest, good.payload, good.signature, now)
                     .ok());
}

TEST_F(CatalogStoreTest, AFailedInstallLeavesTheRecordUntouched) {
    const auto s = store();
    ASSERT_TRUE(install(s, candidate(2)).ok());
    const std::string before = readFile(root / "installed.json");
    Candidate bad = candidate(3);
    bad.signature = testing::envelopeText(bad.payload + " ", key);
    bad.manifest.signature.bytes = static_cast<std::int64_t>(bad.signature.size());
    bad.manifest.signature.sha256 = testing::sha256HexOf(bad.signature);
    auto result = install(s, bad);
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.error().isRejected());
    EXPECT_EQ(readFile(root / "installed.json"), before);
    EXPECT_EQ(versionOf(s.current()), 2u);
}

TEST_F(CatalogStoreTest, ABadRecordLeavesTheShippedCatalogInForce) {
    const auto s = store();
    ASSERT_TRUE(install(s, candidate(2)).ok());
    const std::string record = readFile(root / "installed.json");
    const Json parsed = Json::parse(record);

    auto withRecord = [&](const std::string& text) {
        writeFile(root / "installed.json", text);
        return versionOf(s.current());
    };
    // JSON white space keeps the record decodable, so only the size decides.
    std::string padded52000 = record;
    padded52000.insert(1, 52000 - record.size(), ' ');
    EXPECT_EQ(withRecord(padded52000), 2u);
    EXPECT_EQ(withRecord(" " + padded52000), 1u);

    EXPECT_EQ(withRecord("not json"), 1u);
    EXPECT_EQ(withRecord(""), 1u);
    EXPECT_EQ(withRecord(record.substr(0, record.size() / 2)), 1u);

    Json tampered = parsed;
    std::string payload = candidate(2).payload;
    payload[payload.find("Listed")] = 'l';
    tampered["payload"] = testing::base64Text(payload);
    EXPECT_EQ(withRecord(tampered.dump()), 1u) << "payload differs from the manifest's hash";

    Json badBase64 = parsed;
    badBase64["signature"] = "not base64!";
    EXPECT_EQ(withRecord(badBase64.dump()), 1u);

    Json badManifest = parsed;
    badManifest["manifest"]["kind"] = "other";
    EXPECT_EQ(withRecord(badManifest.dump()), 1u);

    // The manifest must name the catalog's own version and production time.
    Json otherTime = parsed;
    otherTime["manifest"]["generated"] = kFixtureGenerated - 1;
    EXPECT_EQ(withRecord(otherTime.dump()), 1u);
    Json otherVersion = parsed;
    otherVersion["manifest"]["version"] = 3;
    otherVersion["manifest"]["payload"]["url"] =
        PrivacyCatalogManifest::expectedAssetURL(3, "json", kFixtureHost);
    otherVersion["manifest"]["signature"]["url"] =
        PrivacyCatalogManifest::expectedAssetURL(3, "sig", kFixtureHost);
    EXPECT_EQ(withRecord(otherVersion.dump()), 1u);

    // Key order and white space of the stored manifest do not matter.
    Json reordered = Json::object();
    reordered["signature"] = parsed["signature"];
    reordered["payload"] = parsed["payload"];
    Json manifest = Json::object();
    for (auto it = parsed["manifest"].rbegin(); it != parsed["manifest"].rend(); ++it) {
        manifest[it.key()] = it.value();
    }
    reordered["manifest"] = manifest;
    EXPECT_EQ(withRecord(reordered.dump(2)), 2u);

    // A record older than the shipped catalog fails verification against it.
    writeFile(root / "installed.json", record);
    EXPECT_EQ(versionOf(store(verifiedCatalog(3), root).current()), 3u);
}

TEST_F(CatalogStoreTest, APipeAtTheRecordPathDoesNotHangTheReader) {
    const auto s = store();
    std::filesystem::create_directories(root);
    ASSERT_EQ(::mkfifo((root / "installed.json").c_str(), 0600), 0);
    EXPECT_EQ(versionOf(s.current()), 1u);
}

TEST_F(CatalogStoreTest, WithoutAnAppGroupFolderNothingIsCreated) {
    const auto s = store(verifiedCatalog(1), std::nullopt);
    EXPECT_EQ(versionOf(s.current()), 1u);
    auto result = install(s, candidate(2));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, CatalogError::Kind::fileSystem);
    EXPECT_EQ(versionOf(s.current()), 1u);

    // A root that cannot be created fails the same way.
    writeFile(temp / "file", "x");
    auto blocked =
        install(store(verifiedCatalog(1), temp / "file" / "PrivacyServices"), candidate(2));
    ASSERT_FALSE(blocked.ok());
    EXPECT_EQ(blocked.error().kind, CatalogError::Kind::fileSystem);
}

TEST_F(CatalogStoreTest, SharedRootIsInTheAppGroupContainer) {
    const auto shared = PrivacyCatalogStore::sharedRoot();
    ASSERT_TRUE(shared.has_value());
    EXPECT_EQ(shared->filename(), "PrivacyServices");
    EXPECT_EQ(shared->parent_path().filename(), "group.com.morrowgate.scourlet");
}

// Another process holding the lock is stood in for by a second open file
// description in this process: flock locks conflict between descriptions.
TEST_F(CatalogStoreTest, AnInstallWaitsForTheLockAndSeesWhatWasInstalledMeanwhile) {
    const auto s = store();
    fs::create_directories(root);
    const int lockFd = ::open((root / "install.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(lockFd, 0);
    ASSERT_EQ(::flock(lockFd, LOCK_EX), 0);

    std::atomic<bool> finished = false;
    Result<void, CatalogError> waitingResult;
    const Candidate older = candidate(2);
    std::thread waiting([&] {
        waitingResult = install(s, older);
        finished = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(finished.load());

    // "The other process" installs version 3 while holding the lock.
    TempDir elsewhere;
    const auto other = store(verifiedCatalog(1), elsewhere.path());
    ASSERT_TRUE(install(other, candidate(3)).ok());
    writeFile(root / "installed.json", readFile(elsewhere / "installed.json"));
    ::flock(lockFd, LOCK_UN);
    ::close(lockFd);

    waiting.join();
    ASSERT_FALSE(waitingResult.ok());
    EXPECT_TRUE(waitingResult.error().isRejected());
    EXPECT_EQ(versionOf(s.current()), 3u);
}

TEST_F(CatalogStoreTest, AssetMatchesComparesSizeAndLowerCaseHash) {
    const std::string data = "payload";
    const PrivacyCatalogManifest::Asset asset{7, testing::sha256HexOf(data), "u"};
    EXPECT_TRUE(PrivacyCatalogStore::assetMatches(data, asset));
    EXPECT_FALSE(PrivacyCatalogStore::assetMatches(data + " ", asset));
    auto upper = asset;
    for (char& c : upper.sha256)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_FALSE(PrivacyCatalogStore::assetMatches(data, upper));
    auto wrongSize = asset;
    wrongSize.bytes = 8;
    EXPECT_FALSE(PrivacyCatalogStore::assetMatches(data, wrongSize));
}

}  // namespace
}  // namespace scourlet
