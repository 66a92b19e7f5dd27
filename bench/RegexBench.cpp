// Costs of the regular-expression and text helpers on the path of every
// copied link.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>
#include "BenchData.h"

#include "ScourletCore/platform/Regex.h"
#include "ScourletCore/platform/Text.h"

namespace scourlet {
namespace {

const std::string kAmazonLink =
    "https://www.amazon.de/Some-Product-Name-With-Words/dp/B08N5WRWNW/ref=sr_1_3?crid=2M096C61O4MLT"
    "&keywords=some+thing&qid=1699999999&sprefix=some%2Caps%2C123&sr=8-3&th=1";

Regex compileOrDie(std::string_view pattern) {
    auto regex = Regex::compile(pattern, RegexOptions::caseInsensitive);
    if (!regex) {
        std::abort();
    }
    return *regex;
}

void BM_ProviderUrlPatternMatches(benchmark::State& state) {
    const Regex regex = compileOrDie(R"(^https?:\/\/(?:[a-z0-9-]+\.)*?amazon(?:\.[a-z]{2,}){1,})");
    for (auto _ : state) {
        benchmark::DoNotOptimize(regex.matches(kAmazonLink));
    }
}
BENCHMARK(BM_ProviderUrlPatternMatches);

void BM_ProviderUrlPatternFails(benchmark::State& state) {
    const Regex regex = compileOrDie(R"(^https?:\/\/(?:[a-z0-9-]+\.)*?google(?:\.[a-z]{2,}){1,})");
    for (auto _ : state) {
        benchmark::DoNotOptimize(regex.matches(kAmazonLink));
    }
}
BENCHMARK(BM_ProviderUrlPatternFails);

void BM_ParameterRule(benchmark::State& state) {
    const Regex regex = compileOrDie("^pd_rd_[a-z]*$");
    const std::string name = "utm_source";
    for (auto _ : state) {
        benchmark::DoNotOptimize(regex.matches(name));
    }
}
BENCHMARK(BM_ParameterRule);

void BM_RawRuleRemoval(benchmark::State& state) {
    const Regex regex = compileOrDie(R"(\/ref=[^/?]*)");
    for (auto _ : state) {
        benchmark::DoNotOptimize(regex.replaceAllLiteral(kAmazonLink, ""));
    }
}
BENCHMARK(BM_RawRuleRemoval);

void BM_RedirectionGroup(benchmark::State& state) {
    const Regex regex = compileOrDie(
        R"(^https?:\/\/(?:[a-z0-9-]+\.)*?google(?:\.[a-z]{2,}){1,}\/url\?.*?(?:url|q)=(https?[^&]+))");
    const std::string link =
        "https://www.google.com/url?sa=t&rct=j&q=&esrc=s&source=web&cd=1&url=https%3A%2F%2Fa."
        "example%2Fpage&usg=AOvVaw0";
    for (auto _ : state) {
        benchmark::DoNotOptimize(regex.firstMatch(link));
    }
}
BENCHMARK(BM_RedirectionGroup);

// Every provider's URL pattern against one link, as finding the providers
// that apply to a link does.
void BM_AllUrlPatterns(benchmark::State& state) {
    const nlohmann::json data = nlohmann::json::parse(bench::largeRuleSet().data, nullptr, false);
    if (data.is_discarded()) {
        state.SkipWithError("the ClearURLs rules could not be read");
        return;
    }
    std::vector<Regex> patterns;
    for (const auto& [name, provider] : data.at("providers").items()) {
        if (auto regex =
                Regex::compile(provider.value("urlPattern", ""), RegexOptions::caseInsensitive)) {
            patterns.push_back(*regex);
        }
    }
    for (auto _ : state) {
        int matching = 0;
        for (const Regex& regex : patterns) {
            matching += regex.matches(kAmazonLink) ? 1 : 0;
        }
        benchmark::DoNotOptimize(matching);
    }
    state.counters["patterns"] = static_cast<double>(patterns.size());
}
[[maybe_unused]] const bool kAllUrlPatternsRow =
    bench::registerRuleSetRow("BM_AllUrlPatterns", BM_AllUrlPatterns, benchmark::kNanosecond);

void BM_TrimAscii(benchmark::State& state) {
    const std::string text = "  \r\n" + kAmazonLink + "\n ";
    for (auto _ : state) {
        benchmark::DoNotOptimize(trimmingWhitespaceAndNewlines(text));
    }
}
BENCHMARK(BM_TrimAscii);

void BM_TrimUnicode(benchmark::State& state) {
    const std::string text = "\u3000\u00a0" + kAmazonLink + "\u2028\u00a0";
    for (auto _ : state) {
        benchmark::DoNotOptimize(trimmingWhitespaceAndNewlines(text));
    }
}
BENCHMARK(BM_TrimUnicode);

void BM_GraphemeCount(benchmark::State& state) {
    const std::string text = "Caf\u00e9 \U0001F468\u200d\U0001F469\u200d\U0001F467 " + kAmazonLink;
    for (auto _ : state) {
        benchmark::DoNotOptimize(graphemeCount(text));
    }
}
BENCHMARK(BM_GraphemeCount);

}  // namespace
}  // namespace scourlet
