// Costs of the rules engine: a full load of the public ClearURLs rule set (or
// the shipped one in its place, as the rows' names say), and the questions the
// cleaner asks for every copied link.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchData.h"

#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/rules/RulesEngine.h"

namespace scourlet {
namespace {

// Links as people copy them: shops, search, video, social networks, newsletters
// and links that are clean already.
const std::vector<std::string> kLinks = {
    "https://www.amazon.com/Some-Product-Name/dp/B08N5WRWNW/ref=sr_1_3?crid=2M096C61O4MLT"
    "&keywords=usb+c+cable&qid=1699999999&sprefix=usb%2Caps%2C123&sr=8-3&th=1",
    "https://www.amazon.de/gp/product/B07XJ8C8F5?pf_rd_r=ABCDEF&pf_rd_p=1234&pd_rd_wg=xyz&psc=1",
    "https://www.google.com/search?q=rules+engine&client=firefox-b-d&sca_esv=123&ei=abc&ved=0ahUKE"
    "&uact=5&oq=rules&gs_lp=Egxnd3Mtd2l6&sclient=gws-wiz",
    "https://www.google.com/url?sa=t&rct=j&q=&esrc=s&source=web&cd=1&url=https%3A%2F%2Fexample.org"
    "%2Farticle&usg=AOvVaw0",
    "https://www.youtube.com/watch?v=dQw4w9WgXcQ&feature=share&si=AbCdEfGhIjKlMnOp&pp=ygUJcmljaw",
    "https://youtu.be/dQw4w9WgXcQ?si=AbCdEfGhIjKlMnOp&t=42",
    "https://music.youtube.com/watch?v=abc123&si=xyz&feature=share",
    "https://www.facebook.com/somepage/posts/"
    "12345?__cft__[0]=AZX&__tn__=%2CO%2CP-R&fbclid=IwAR0abc",
    "https://l.facebook.com/l.php?u=https%3A%2F%2Fnews.example.com%2Fstory%3Fid%3D7&h=AT0abc",
    "https://x.com/someone/status/1234567890123456789?s=20&t=AbCdEfGhIjKlMnOp",
    "https://twitter.com/someone/status/1234567890123456789?ref_src=twsrc%5Etfw",
    "https://www.reddit.com/r/programming/comments/abc123/some_title/?utm_source=share"
    "&utm_medium=web2x&context=3&share_id=xyz",
    "https://www.instagram.com/p/Cabc123/?igshid=MzRlODBiNWFlZA==&utm_source=ig_web_copy_link",
    "https://www.tiktok.com/@someone/video/7234567890123456789?is_from_webapp=1&sender_device=pc"
    "&web_id=7234567890",
    "https://www.linkedin.com/posts/someone_activity-7123-abcd?utm_source=share&utm_medium="
    "member_desktop&trk=public_post",
    "https://news.example.com/2024/05/story.html?utm_source=newsletter&utm_medium=email"
    "&utm_campaign=weekly&utm_content=top&mc_cid=abc123&mc_eid=def456",
    "https://blog.example.org/post?_hsenc=p2ANqtz-abc&_hsmi=12345&utm_source=hs_email",
    "https://shop.example.net/item/42?gclid=Cj0KCQjw&gclsrc=aw.ds&msclkid=abcdef",
    "https://www.ebay.com/itm/123456789?hash=item1c&_trkparms=amclksrc%3DITM&_trksid=p2047675",
    "https://www.aliexpress.com/item/1005001234567890.html?spm=a2g0o.productlist.0.0&algo_pvid=abc"
    "&aem_p4p_detail=2023",
    "https://open.spotify.com/track/4uLU6hMCjMI75M1A2tKUQC?si=abcdef1234567890",
    "https://www.nytimes.com/2024/05/01/world/story.html?smid=tw-share&unlocked_article_code=abc",
    "https://medium.com/@someone/a-post-1a2b3c4d5e6f?source=email-abc--writer.postDistributed",
    "https://github.com/someone/project/issues/42",
    "https://en.wikipedia.org/wiki/Uniform_Resource_Locator",
    "https://www.example.com/",
    "https://docs.example.com/guide/intro?lang=en&version=2",
    "https://www.bing.com/search?q=rules&form=QBLH&sp=-1&pq=rules&sc=8-5&qs=n&sk=&cvid=ABC",
    "https://www.imdb.com/title/tt0111161/?ref_=nv_sr_srsg_0",
    "https://www.airbnb.com/rooms/12345?source_impression_id=p3_abc&check_in=2024-06-01",
};

// The decoded names of each link's query parameters, split once outside the
// timed loops.
struct Link {
    std::string url;
    std::vector<std::string> parameterNames;
};

std::vector<Link> links() {
    std::vector<Link> out;
    for (const std::string& url : kLinks) {
        Link link{url, {}};
        if (auto components = URLComponents::parse(url)) {
            if (auto items = components->queryItems()) {
                for (auto& item : *items) {
                    link.parameterNames.push_back(std::move(item.name));
                }
            }
        }
        out.push_back(std::move(link));
    }
    return out;
}

std::unique_ptr<RulesEngine> loadedEngine() {
    auto engine = std::make_unique<RulesEngine>(std::make_shared<InMemoryUserDefaults>(), nullptr);
    engine->loadRules(bench::largeRuleSet().data);
    return engine;
}

// Reports the time per item (link, parameter name) beside the time per iteration.
void timePer(benchmark::State& state, const char* item, std::size_t count) {
    state.counters[item] = benchmark::Counter(
        static_cast<double>(count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_LoadRuleSet(benchmark::State& state) {
    const std::string data = bench::largeRuleSet().data;
    RulesEngine engine(std::make_shared<InMemoryUserDefaults>(), nullptr);
    for (auto _ : state) {
        engine.loadRules(data);
        benchmark::DoNotOptimize(engine.compiledProviders().size());
    }
}
[[maybe_unused]] const bool kLoadRuleSetRow =
    bench::registerRuleSetRow("BM_LoadRuleSet", BM_LoadRuleSet, benchmark::kMillisecond);

// The shipped providers file and supplementary rules, read from the bundle.
void BM_LoadShippedRules(benchmark::State& state) {
    RulesEngine engine(std::make_shared<InMemoryUserDefaults>());
    for (auto _ : state) {
        engine.loadBundledRules();
        benchmark::DoNotOptimize(engine.compiledProviders().size());
    }
}
BENCHMARK(BM_LoadShippedRules)->Unit(benchmark::kMillisecond);

void BM_MatchingProviders(benchmark::State& state) {
    const auto engine = loadedEngine();
    const auto all = links();
    for (auto _ : state) {
        for (const Link& link : all) {
            benchmark::DoNotOptimize(engine->matchingProviders(link.url));
        }
    }
    timePer(state, "per_link", all.size());
}
[[maybe_unused]] const bool kMatchingProvidersRow = bench::registerRuleSetRow(
    "BM_MatchingProviders", BM_MatchingProviders, benchmark::kMicrosecond);

// What the cleaner asks per link: the matching providers, then for each query
// parameter the provider rules and, when none applies, the fallback rules.
void BM_ParameterQueries(benchmark::State& state) {
    const auto engine = loadedEngine();
    const auto all = links();
    std::size_t parameters = 0;
    for (const Link& link : all) {
        parameters += link.parameterNames.size();
    }
    for (auto _ : state) {
        for (const Link& link : all) {
            const auto providers = engine->matchingProviders(link.url);
            for (const std::string& name : link.parameterNames) {
                bool stripped = false;
                for (const auto& provider : providers) {
                    if (engine->shouldStripParam(name, *provider)) {
                        stripped = true;
                        break;
                    }
                }
                if (!stripped) {
                    benchmark::DoNotOptimize(engine->shouldStripParamFallback(name));
                }
            }
        }
    }
    timePer(state, "per_link", all.size());
    timePer(state, "per_parameter", parameters);
}
[[maybe_unused]] const bool kParameterQueriesRow =
    bench::registerRuleSetRow("BM_ParameterQueries", BM_ParameterQueries, benchmark::kMicrosecond);

void BM_FallbackOnly(benchmark::State& state) {
    const auto engine = loadedEngine();
    const std::vector<std::string> names = {"utm_source", "fbclid", "id", "q", "si", "page"};
    for (auto _ : state) {
        for (const std::string& name : names) {
            benchmark::DoNotOptimize(engine->shouldStripParamFallback(name));
        }
    }
    timePer(state, "per_name", names.size());
}
[[maybe_unused]] const bool kFallbackOnlyRow =
    bench::registerRuleSetRow("BM_FallbackOnly", BM_FallbackOnly, benchmark::kNanosecond);

// Saved after every clean that removed something.
void BM_SaveMatchCounts(benchmark::State& state) {
    const auto engine = loadedEngine();
    for (auto _ : state) {
        engine->saveMatchCounts();
    }
}
[[maybe_unused]] const bool kSaveMatchCountsRow =
    bench::registerRuleSetRow("BM_SaveMatchCounts", BM_SaveMatchCounts, benchmark::kMicrosecond);

}  // namespace
}  // namespace scourlet
