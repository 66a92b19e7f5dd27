#include "ScourletCore/linkrewriting/PrivacyCatalogUpdater.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/CurlHttpTransport.h"
#include "ScourletCore/platform/ThreadExecutor.h"
#include "linkrewriting/CatalogUpdaterFixture.h"
#include "support/TestCertificateAuthority.h"
#include "support/TestHttpsServer.h"

namespace scourlet {
namespace {

namespace fs = std::filesystem;
using testing::FakeHttpTransport;
using testing::kFixtureHost;
using testing::PublishedCatalog;
using Updater = PrivacyCatalogUpdater;

// What update awareness holds for the catalog: installed and available version.
struct CatalogEntry {
    std::optional<std::string> installed;
    std::optional<std::string> available;
    bool operator==(const CatalogEntry&) const = default;
};

CatalogEntry entryOf(const UpdateAwarenessState& state) {
    const auto found = state.entries.find(UpdateClass::catalog);
    if (found == state.entries.end()) {
        return {};
    }
    return {found->second.installedVersion, found->second.availableVersion};
}

class PrivacyCatalogUpdaterTest : public testing::CatalogUpdaterFixture {};

TEST_F(PrivacyCatalogUpdaterTest, StartsUncheckedWithTheCatalogInForce) {
    const auto updater = makeUpdater(verified(3));
    EXPECT_EQ(updater->status(), Updater::kNotChecked);
    EXPECT_EQ(updater->availableVersion(), std::nullopt);
    EXPECT_FALSE(updater->busy());
    EXPECT_EQ(versionOf(updater->installed()), 3u);
    EXPECT_TRUE(http->sent().empty());
}

TEST_F(PrivacyCatalogUpdaterTest, CheckOffersANewerVerifiedCatalogAndTellsAwarenessInOrder) {
    serve(2);
    const auto updater = makeUpdater(verified(1));
    std::vector<CatalogEntry> told;
    Connection c = awareness->statePublisher().connect(
        [&](const UpdateAwarenessState& next) { told.push_back(entryOf(next)); });

    updater->check();
    EXPECT_TRUE(updater->busy());
    EXPECT_EQ(updater->status(), Updater::kChecking);
    EXPECT_TRUE(told.empty()) << "nothing is told before the check ends";
    settle();

    EXPECT_FALSE(updater->busy());
    EXPECT_EQ(updater->status(), "Verified version 2 ready to install");
    EXPECT_EQ(updater->availableVersion(), 2u);
    EXPECT_EQ(versionOf(updater->installed()), 1u) << "a check installs nothing";
    EXPECT_EQ(told, (std::vector<CatalogEntry>{{"1", std::nullopt}, {"1", "2"}}));

    // Each download was bounded by what was known of it.
    const auto sent = http->sent();
    ASSERT_EQ(sent.size(), 3u);
    const PublishedCatalog files = published(2);
    EXPECT_EQ(sent[0].url, "https://catalog.fixture.example/privacy-services/current.json");
    EXPECT_EQ(sent[0].options.maxBodyBytes(), Updater::kManifestCap);
    EXPECT_EQ(sent[1].url, files.payloadURL);
    EXPECT_EQ(sent[1].options.maxBodyBytes(), files.payload.size());
    EXPECT_EQ(sent[2].url, files.signatureURL);
    EXPECT_EQ(sent[2].options.maxBodyBytes(), files.signature.size());
    for (const auto& request : sent) {
        EXPECT_FALSE(request.hasRedirectHook);
        EXPECT_EQ(request.options.maxRedirects(), 0);
    }
}

struct CheckCase {
    const char* name;
    std::optional<std::uint64_t> shipped;  // nothing: no catalog shipped (or installed)
    std::function<void(const testing::CatalogUpdaterFixture&, FakeHttpTransport&)> script;
    std::string_view status;
    std::optional<std::uint64_t> offered;
};

TEST_F(PrivacyCatalogUpdaterTest, CheckOutcomes) {
    const std::string endpoint = PrivacyCatalogManifest::endpoint(kFixtureHost);
    auto serveVersion = [](std::uint64_t version) {
        return [version](const testing::CatalogUpdaterFixture& f, FakeHttpTransport&) {
            f.serve(version);
        };
    };
    auto tamper = [](auto change) {
        return [change](const testing::CatalogUpdaterFixture& f, FakeHttpTransport& http) {
            PublishedCatalog p = f.published(2);
            f.serve(p);
            change(p, http);
        };
    };
    const CheckCase cases[] = {
        {"an equal version is up to date", 2, serveVersion(2), Updater::kUpToDate, {}},
        {"nothing installed or shipped: any verified version is offered",
         {},
         serveVersion(1),
         "Verified version 1 ready to install",
         1},
        {"an older catalog is refused", 3, serveVersion(2), Updater::kRejected, {}},
        {"a redirect on the manifest is a rejection",
         1,
         [endpoint](const testing::CatalogUpdaterFixture& f, FakeHttpTransport& http) {
             f.serve(2);
             http.on(endpoint,
                     FakeHttpTransport::redirect(
                         "https://catalog.fixture.example/privacy-services/other.json", 301));
         },
         Updater::kRejected,
         {}},
        {"a manifest over 4096 bytes is not read",
         1,
         [endpoint](const testing::CatalogUpdaterFixture&, FakeHttpTransport& http) {
             http.on(endpoint, FakeHttpTransport::ok(std::string(4097, ' ')));
         },
         Updater::kRejected,
         {}},
        {"the manifest host unreachable",
         1,
         [endpoint](const testing::CatalogUpdaterFixture&, FakeHttpTransport& http) {
             http.on(endpoint, FakeHttpTransport::failure(HttpError::Kind::connectTimeout));
         },
         Updater::kRejected,
         {}},
        {"a manifest that is not canonical",
         1,
         tamper([endpoint](PublishedCatalog& p, FakeHttpTransport& http) {
             http.on(endpoint, FakeHttpTransport::ok(p.manifest + "\n"));
         }),
         Updater::kRejected,
         {}},
        {"a payload longer than announced is cut off",
         1,
         tamper([](PublishedCatalog& p, FakeHttpTransport& http) {
             http.on(p.payloadURL, FakeHttpTransport::ok(p.payload + " "));
         }),
         Updater::kRejected,
         {}},
        {"a payload shorter than announced fails its hash",
         1,
         tamper([](PublishedCatalog& p, FakeHttpTransport& http) {
             http.on(p.payloadURL, FakeHttpTransport::ok(p.payload.substr(1)));
         }),
         Updater::kRejected,
         {}},
        {"a missing signature",
         1,
         tamper([](PublishedCatalog& p, FakeHttpTransport& http) {
             http.on(p.signatureURL, FakeHttpTransport::ok("", 404));
         }),
         Updater::kRejected,
         {}},
        {"a signature by an unknown key",
         1,
         tamper([](PublishedCatalog& p, FakeHttpTransport& http) {
             const auto stranger = testing::FixtureKey::generate("catalog-key");
             const std::string forged = testing::envelopeText(p.payload, stranger);
             ASSERT_EQ(forged.size(), p.signature.size());
             http.on(p.signatureURL, FakeHttpTransport::ok(forged));
         }),
         Updater::kRejected,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        http = std::make_shared<FakeHttpTransport>();
        awarenessDefaults = std::make_shared<InMemoryUserDefaults>();
        awareness = std::make_shared<UpdateAwareness>(awarenessDefaults, clock);
        c.script(*this, *http);
        const auto updater =
            makeUpdater(c.shipped ? verified(*c.shipped) : std::optional<Verified>());

        updater->check();
        settle();

        EXPECT_EQ(updater->status(), c.status);
        EXPECT_EQ(updater->availableVersion(), c.offered);
        EXPECT_FALSE(updater->busy());
        EXPECT_EQ(versionOf(updater->installed()), c.shipped.value_or(0));
        if (c.status == Updater::kRejected) {
            EXPECT_EQ(entryOf(awareness->state()), CatalogEntry{}) << "awareness is not told";
        } else {
            EXPECT_EQ(entryOf(awareness->state()).installed, std::to_string(c.shipped.value_or(0)));
        }
    }
}

TEST_F(PrivacyCatalogUpdaterTest, TwoChecksAtOnceRunOne) {
    serve(2);
    const auto updater = makeUpdater(verified(1));
    updater->check();
    updater->check();
    EXPECT_EQ(executor->submittedCount(), 1u);
    settle();
    EXPECT_EQ(http->sent().size(), 3u);
    EXPECT_EQ(updater->availableVersion(), 2u);
}

TEST_F(PrivacyCatalogUpdaterTest, InstallWithNothingPendingOrWhileBusyDoesNothing) {
    serve(2);
    const auto updater = makeUpdater(verified(1));
    updater->install();
    EXPECT_EQ(executor->submittedCount(), 0u);
    EXPECT_EQ(updater->status(), Updater::kNotChecked);

    updater->check();
    settle();
    ASSERT_EQ(updater->availableVersion(), 2u);
    updater->check();  // withdraws the offer and runs
    updater->install();
    EXPECT_EQ(executor->submittedCount(), 2u) << "no install while a check runs";
    EXPECT_EQ(updater->status(), Updater::kChecking);
    settle();
    EXPECT_FALSE(fs::exists(root / "installed.json"));
}

TEST_F(PrivacyCatalogUpdaterTest, InstallThenRecheckIsUpToDate) {
    serve(2);
    const auto updater = makeUpdater(verified(1));
    updater->check();
    settle();

    updater->install();
    EXPECT_TRUE(updater->busy()) << "the install runs in the background";
    EXPECT_EQ(updater->availableVersion(), 2u) << "the offer stands until the outcome";
    updater->check();
    updater->install();
    EXPECT_EQ(executor->pendingCount(), 1u) << "nothing else starts while installing";
    settle();

    EXPECT_FALSE(updater->busy());
    EXPECT_EQ(updater->status(), Updater::kInstalled);
    EXPECT_EQ(updater->availableVersion(), std::nullopt);
    EXPECT_EQ(versionOf(updater->installed()), 2u);
    EXPECT_EQ(versionOf(updater->store().current()), 2u);
    EXPECT_EQ(entryOf(awareness->state()), (CatalogEntry{"2", std::nullopt}));

    updater->check();
    settle();
    EXPECT_EQ(updater->status(), Updater::kUpToDate);
    EXPECT_EQ(updater->availableVersion(), std::nullopt);
}

TEST_F(PrivacyCatalogUpdaterTest, AFailedInstallWithdrawsTheOfferAndKeepsTheCatalog) {
    serve(2);
    // A file where the store's folder would be made: the install cannot write.
    testing::writeFile(temp / "blocked", "");
    const auto updater = std::make_shared<PrivacyCatalogUpdater>(
        store(verified(1), temp / "blocked" / "PrivacyServices"), environment());
    updater->check();
    settle();
    ASSERT_EQ(updater->availableVersion(), 2u);

    updater->install();
    settle();
    EXPECT_EQ(updater->status(), Updater::kInstallFailed);
    EXPECT_EQ(updater->availableVersion(), std::nullopt);
    EXPECT_EQ(versionOf(updater->installed()), 1u);
    EXPECT_FALSE(updater->busy());
    EXPECT_EQ(entryOf(awareness->state()), (CatalogEntry{"1", "2"}))
        << "a failed install reports no installed version";
}

// An install waits for another process's lock off the main thread: the main
// thread returns at once and stays free; the outcome arrives on the main queue
// once the lock is released.
TEST_F(PrivacyCatalogUpdaterTest, AnInstallWaitingForTheLockDoesNotHoldTheMainThread) {
    serve(2);
    auto threads = std::make_shared<ThreadExecutor>();
    auto updater = std::make_shared<PrivacyCatalogUpdater>(
        store(verified(1), root),
        PrivacyCatalogUpdater::Environment{http, threads, queue, clock, awareness});
    updater->check();
    auto waitForQueue = [&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (queue->pendingCount() == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return queue->runAll();
    };
    ASSERT_EQ(waitForQueue(), 1);
    ASSERT_EQ(updater->availableVersion(), 2u);

    // Another process's install: the lock held through a descriptor of its own,
    // released on every way out of this test so the install thread can end.
    struct HeldLock {
        int fd = -1;
        ~HeldLock() { release(); }
        void release() {
            if (fd >= 0) {
                ::close(std::exchange(fd, -1));
            }
        }
    } other;
    fs::create_directories(root);
    other.fd = ::open((root / "install.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(other.fd, 0);
    ASSERT_EQ(::flock(other.fd, LOCK_EX), 0);

    const auto started = std::chrono::steady_clock::now();
    updater->install();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_TRUE(updater->busy());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(queue->pendingCount(), 0u) << "still waiting for the lock";

    other.release();
    ASSERT_EQ(waitForQueue(), 1);
    EXPECT_EQ(updater->status(), Updater::kInstalled);
    EXPECT_EQ(versionOf(updater->installed()), 2u);
}

TEST_F(PrivacyCatalogUpdaterTest, OutcomesOfAGoneUpdaterAreDropped) {
    serve(2);
    auto updater = makeUpdater(verified(1));
    updater->check();
    updater.reset();
    settle();  // runs the download and posts an outcome nobody may apply
    EXPECT_EQ(entryOf(awareness->state()), CatalogEntry{});
}

// The whole round over libcurl against a local HTTPS server posing as the
// maker's host: check, install, check again; then the host moves its manifest.
TEST_F(PrivacyCatalogUpdaterTest, ChecksAndInstallsOverRealHttps) {
    testing::TestCertificateAuthority ca("Scourlet Test CA");
    ca.writePem(temp / "ca.pem");
    testing::TestHttpsServer server(ca.issue({std::string(kFixtureHost)}));
    const PublishedCatalog files = published(2);
    std::atomic<bool> manifestMoved = false;
    auto serveText = [](std::string text) {
        return [text](const httplib::Request&, httplib::Response& res) {
            res.set_content(text, "application/json");
        };
    };
    server.on(std::string(kFixtureHost), "/privacy-services/current.json",
              [&](const httplib::Request&, httplib::Response& res) {
                  if (manifestMoved) {
                      res.status = 301;
                      res.set_header("Location", "https://catalog.fixture.example/elsewhere.json");
                  } else {
                      res.set_content(files.manifest, "application/json");
                  }
              });
    server.on(std::string(kFixtureHost), "/privacy-services/versions/2/privacy-services.json",
              serveText(files.payload));
    server.on(std::string(kFixtureHost), "/privacy-services/versions/2/privacy-services.sig",
              serveText(files.signature));
    server.on(std::string(kFixtureHost), "/elsewhere.json", serveText(files.manifest));
    server.start();
    CurlHttpTransport::Settings settings;
    settings.connectOverrides.push_back({"", 0, "127.0.0.1", server.port()});
    settings.caFile = (temp / "ca.pem").string();
    auto curl = CurlHttpTransport::withSettings(std::move(settings));
    ASSERT_TRUE(curl.ok());
    auto transport = std::make_shared<CurlHttpTransport>(std::move(curl).value());
    const auto updater = std::make_shared<PrivacyCatalogUpdater>(
        store(verified(1), root),
        PrivacyCatalogUpdater::Environment{transport, executor, queue, clock, awareness});

    updater->check();
    settle();
    EXPECT_EQ(updater->status(), "Verified version 2 ready to install");
    updater->install();
    settle();
    EXPECT_EQ(updater->status(), Updater::kInstalled);
    EXPECT_EQ(versionOf(updater->installed()), 2u);
    updater->check();
    settle();
    EXPECT_EQ(updater->status(), Updater::kUpToDate);

    manifestMoved = true;
    const std::size_t before = server.requests().size();
    updater->check();
    settle();
    EXPECT_EQ(updater->status(), Updater::kRejected);
    EXPECT_EQ(server.requests().size(), before + 1) << "the redirect was not followed";
    EXPECT_EQ(versionOf(updater->installed()), 2u);
}

}  // namespace
}  // namespace scourlet
