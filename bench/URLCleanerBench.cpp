// The whole clean of one link (and of a long text full of links), with the
// shipped rules and with the public ClearURLs rule set, over an in-memory
// settings store and over a settings file (every cleaned link saves the match
// counts).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchData.h"
#include "RealisticLinks.h"

#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/rules/TextURLBlock.h"
#include "ScourletCore/rules/URLCleaner.h"
#include "ScourletCore/rules/internal/RawQuery.h"

namespace scourlet {
namespace {

const std::vector<std::string> kMixedLinks = {
    "https://www.amazon.com/Some-Product-Name/dp/B08N5WRWNW/ref=sr_1_3?crid=2M096C61O4MLT"
    "&keywords=usb+c+cable&qid=1699999999&sprefix=usb%2Caps%2C123&sr=8-3&th=1",
    "https://www.google.com/search?q=rules+engine&client=firefox-b-d&sca_esv=123&ei=abc&ved=0ahUKE"
    "&uact=5&oq=rules&sclient=gws-wiz",
    "https://www.google.com/url?sa=t&rct=j&q=&esrc=s&source=web&cd=1&url=https%3A%2F%2Fexample.org"
    "%2Farticle%3Futm_source%3Dx&usg=AOvVaw0",
    "https://www.youtube.com/watch?v=dQw4w9WgXcQ&feature=share&si=AbCdEfGhIjKlMnOp&pp=ygUJcmljaw",
    "https://youtu.be/dQw4w9WgXcQ?si=AbCdEfGhIjKlMnOp&t=42",
    "https://l.facebook.com/l.php?u=https%3A%2F%2Fnews.example.com%2Fstory%3Fid%3D7&h=AT0abc",
    "https://x.com/someone/status/1234567890123456789?s=20&t=AbCdEfGhIjKlMnOp",
    "https://www.reddit.com/r/programming/comments/abc123/some_title/?utm_source=share"
    "&utm_medium=web2x&context=3&share_id=xyz",
    "https://www.instagram.com/p/Cabc123/?igshid=MzRlODBiNWFlZA==&utm_source=ig_web_copy_link",
    "https://www.linkedin.com/posts/someone_activity-7123-abcd?utm_source=share&trk=public_post",
    "https://news.example.com/2024/05/story.html?utm_source=newsletter&utm_medium=email"
    "&utm_campaign=weekly&mc_cid=abc123&mc_eid=def456",
    "https://blog.example.org/post?_hsenc=p2ANqtz-abc&_hsmi=12345&utm_source=hs_email",
    "https://en.wikipedia.org/wiki/Regular_expression",
    "https://github.com/org/repo/pull/123/files",
    "https://docs.example.com/guide/install?version=2&lang=en#linux",
    "https://www.example.com/",
};

enum class Rules { shipped, publicSet };
enum class Store { memory, file };

// A fresh folder under the system's temporary folder, removed at the end.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "scourlet-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct Setup {
    std::unique_ptr<TemporaryFolder> folder;  // destroyed last: the store writes into it
    std::shared_ptr<UserDefaults> defaults;
    std::shared_ptr<RulesEngine> engine;
    std::unique_ptr<URLCleaner> cleaner;

    Setup(Rules rules, bool collectStats, Store store = Store::memory) {
        if (store == Store::file) {
            folder = std::make_unique<TemporaryFolder>();
            defaults = std::make_shared<FileUserDefaults>(folder->path() / "settings.json");
        } else {
            defaults = std::make_shared<InMemoryUserDefaults>();
        }
        defaults->setBool(StatsTracker::kCollectionEnabledKey, collectStats);
        engine = std::make_shared<RulesEngine>(defaults);
        if (rules == Rules::shipped) {
            engine->loadBundledRules();
        } else {
            engine->loadRules(bench::largeRuleSet().data);
        }
        cleaner =
            std::make_unique<URLCleaner>(engine, std::make_shared<DomainExceptionStore>(defaults),
                                         std::make_shared<LastCleanRecorder>(), "macOSClipboard",
                                         PrivacyRedirectSettings::disabled());
    }
};

// One link per iteration, cycling through the mixed set; the rate is links/s.
void BM_CleanLink(benchmark::State& state, Rules rules, bool collectStats,
                  Store store = Store::memory) {
    Setup setup(rules, collectStats, store);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(setup.cleaner->cleanWithOutcome(kMixedLinks[i]));
        i = (i + 1) % kMixedLinks.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_CleanLink, shipped_stats_on, Rules::shipped, true);
BENCHMARK_CAPTURE(BM_CleanLink, shipped_stats_off, Rules::shipped, false);
// Without the public rule set its rows would repeat the shipped ones.
[[maybe_unused]] const bool kPublicCleanLinkRows = [] {
    if (bench::largeRuleSet().isPublic) {
        benchmark::RegisterBenchmark("BM_CleanLink/public_stats_on", BM_CleanLink, Rules::publicSet,
                                     true, Store::memory);
        benchmark::RegisterBenchmark("BM_CleanLink/public_stats_off", BM_CleanLink,
                                     Rules::publicSet, false, Store::memory);
    }
    return true;
}();
BENCHMARK_CAPTURE(BM_CleanLink, shipped_stats_on_file_store, Rules::shipped, true, Store::file);

// The whole clean over some 400 distinct realistic links (RealisticLinks.h),
// public rule set, match counting on. Besides the mean it reports the median
// time of one clean ("median_ns", each clean timed on its own, clock reads
// included), the floor ("floor_ns": parsing each link, splitting its query and
// putting it back together with nothing removed) and their ratio.
std::int64_t medianOf(std::vector<std::int64_t> samples) {
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

// Parse, split the query, rebuild it from every item, re-assemble.
std::string parsedAndReassembled(std::string_view link) {
    auto components = URLComponents::parse(link);
    if (!components) {
        return std::string(link);
    }
    const auto items = internal::parseRawQuery(components->percentEncodedQuery());
    if (!items.empty()) {
        std::string query;
        for (const auto& item : items) {
            query.append(item.separator).append(item.segment);
        }
        (void)components->setPercentEncodedQuery(std::string_view(query));
    }
    return components->string();
}

void BM_CleanRealisticLinks(benchmark::State& state, Rules rules) {
    Setup setup(rules, true);
    const std::vector<std::string> links = bench::realisticLinks();
    using Clock = std::chrono::steady_clock;
    auto nanoseconds = [](Clock::duration d) {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    };
    std::vector<std::int64_t> floorSamples;
    for (int round = 0; round < 20; ++round) {
        for (const auto& link : links) {
            const auto started = Clock::now();
            benchmark::DoNotOptimize(parsedAndReassembled(link));
            floorSamples.push_back(nanoseconds(Clock::now() - started));
        }
    }
    std::vector<std::int64_t> samples;
    for (auto _ : state) {
        for (const auto& link : links) {
            const auto started = Clock::now();
            benchmark::DoNotOptimize(setup.cleaner->cleanWithOutcome(link));
            samples.push_back(nanoseconds(Clock::now() - started));
        }
    }
    const auto median = static_cast<double>(medianOf(samples));
    const auto floor = static_cast<double>(medianOf(floorSamples));
    state.counters["links"] = static_cast<double>(links.size());
    state.counters["median_ns"] = median;
    state.counters["floor_ns"] = floor;
    state.counters["ratio"] = floor > 0 ? median / floor : 0;
    state.counters["per_link"] = benchmark::Counter(
        static_cast<double>(links.size()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * links.size()));
}
[[maybe_unused]] const bool kPublicRealisticRows = [] {
    if (bench::largeRuleSet().isPublic) {
        benchmark::RegisterBenchmark("BM_CleanRealisticLinks/public_stats_on",
                                     BM_CleanRealisticLinks, Rules::publicSet)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();
BENCHMARK_CAPTURE(BM_CleanRealisticLinks, shipped_stats_on, Rules::shipped)
    ->Unit(benchmark::kMillisecond);

// A 40 KiB text of prose with 160 links.
std::string textWithLinks() {
    std::string text;
    for (int paragraph = 0; paragraph < 10; ++paragraph) {
        for (const auto& link : kMixedLinks) {
            text.append("Some words about the thing, and then a link: ")
                .append(link)
                .append(" .\n");
        }
    }
    return text;
}

// The text above with every link cleaned in place.
void BM_CleanTextBlock(benchmark::State& state, Store store) {
    Setup setup(Rules::shipped, true, store);
    const std::string text = textWithLinks();
    for (auto _ : state) {
        auto block = TextURLBlock::make(text);
        std::string out = block->replacingURLs([&](std::size_t, std::string_view url) {
            auto outcome = setup.cleaner->cleanWithOutcome(url);
            const CleanResult* result = outcome.cleanedResult();
            return result ? result->cleanedURL : std::string(url);
        });
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK_CAPTURE(BM_CleanTextBlock, memory_store, Store::memory)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CleanTextBlock, file_store, Store::file)->Unit(benchmark::kMillisecond);

// Only finding the links of the same text (and copying each out, as a block
// does): what a text block costs besides cleaning.
void BM_FindLinksInText(benchmark::State& state) {
    const std::string text = textWithLinks();
    std::size_t links = 0;
    for (auto _ : state) {
        auto block = TextURLBlock::make(text);
        links = block->matches().size();
        benchmark::DoNotOptimize(block);
    }
    state.counters["links"] = static_cast<double>(links);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FindLinksInText)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace scourlet
