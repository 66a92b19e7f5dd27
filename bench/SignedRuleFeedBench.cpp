// Verifying and installing a signed rules release of the public rule set's
// size (or the shipped one's, as the rows' names say): the work each start-up
// load and each install does.
#include <sodium.h>

#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "BenchData.h"
#include "ScourletCore/platform/Crypto.h"
#include "ScourletCore/ruleupdates/SignedRuleStore.h"

namespace scourlet {
namespace {

constexpr std::string_view kHost = "rules.bench.example";
constexpr std::string_view kVersion = "2027.01.15.1";

struct SignedRelease {
    SignedRuleFeed::Record record;
    std::string trust;
};

const SignedRelease& release() {
    static const SignedRelease signedRelease = [] {
        if (sodium_init() < 0) {
            std::abort();
        }
        const std::string& clear = bench::largeRuleSet().data;
        const std::string supplementary =
            R"({"providers":{"Bench":{"urlPattern":"^https?://example\\.com","rules":["x"]}}})";
        auto file = [](std::string_view kind, std::string_view name, const std::string& bytes) {
            return R"({"kind":")" + std::string(kind) + R"(","path":")" + std::string(name) +
                   R"(","url":")" + SignedRuleFeed::ruleFileURL(kVersion, name, kHost) +
                   R"(","sha256":")" + sha256Hex(bytes) + R"(","bytes":)" +
                   std::to_string(bytes.size()) + "}";
        };
        const std::string manifest =
            R"({"product":"Scourlet","kind":"rules","schemaVersion":1,"currentVersion":")" +
            std::string(kVersion) + R"(","publishedAt":"2027-01-15T08:00:00Z","files":[)" +
            file("clearurls", "data.min.json", clear) + "," +
            file("scourlet-supplementary", "scourlet-supplementary.json", supplementary) +
            R"(],"notes":[]})";
        unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
        unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
        crypto_sign_keypair(publicKey, secretKey);
        const std::string message = std::string(SignedRuleFeed::kMessageHeader) + manifest;
        unsigned char signature[crypto_sign_BYTES];
        crypto_sign_detached(signature, nullptr,
                             reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                             secretKey);
        const std::string envelope =
            R"({"algorithm":"Ed25519","keyID":"bench","signature":")" +
            base64Encode(
                std::string_view(reinterpret_cast<const char*>(signature), sizeof signature)) +
            R"("})";
        const std::string trust = R"({"bench":")" +
                                  base64Encode(std::string_view(
                                      reinterpret_cast<const char*>(publicKey), sizeof publicKey)) +
                                  R"("})";
        return SignedRelease{{{manifest, envelope}, clear, supplementary}, trust};
    }();
    return signedRelease;
}

void BM_VerifyRecord(benchmark::State& state) {
    const SignedRelease& r = release();
    for (auto _ : state) {
        auto manifest = SignedRuleFeed::verify(r.record, r.trust, kHost, "1.0");
        if (!manifest) {
            state.SkipWithError("the release did not verify");
            return;
        }
        benchmark::DoNotOptimize(manifest);
    }
}
[[maybe_unused]] const bool kVerifyRecordRow =
    bench::registerRuleSetRow("BM_VerifyRecord", BM_VerifyRecord, benchmark::kMillisecond, "_size");

// A first install into an empty store: lock, verify, compare, write.
void BM_InstallRecord(benchmark::State& state) {
    const SignedRelease& r = release();
    const auto root = std::filesystem::temp_directory_path() / "scourlet-bench-rule-store";
    const SignedRuleFeed::Store store{root, r.trust, std::string(kHost), "1.0"};
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(root);
        state.ResumeTiming();
        if (!store.install(r.record, "2026.01.01.1")) {
            state.SkipWithError("the install failed");
            return;
        }
    }
    std::filesystem::remove_all(root);
}
[[maybe_unused]] const bool kInstallRecordRow = bench::registerRuleSetRow(
    "BM_InstallRecord", BM_InstallRecord, benchmark::kMillisecond, "_size");

// Choosing the record in use at start-up, with one stored record.
void BM_BestRecord(benchmark::State& state) {
    const SignedRelease& r = release();
    const auto root = std::filesystem::temp_directory_path() / "scourlet-bench-rule-store-best";
    std::filesystem::remove_all(root);
    const SignedRuleFeed::Store store{root, r.trust, std::string(kHost), "1.0"};
    if (!store.install(r.record, "2026.01.01.1")) {
        state.SkipWithError("the install failed");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.bestRecord("2026.01.01.1"));
    }
    std::filesystem::remove_all(root);
}
[[maybe_unused]] const bool kBestRecordRow =
    bench::registerRuleSetRow("BM_BestRecord", BM_BestRecord, benchmark::kMillisecond, "_size");

}  // namespace
}  // namespace scourlet
