// Command Guard on the clipboard path: every copied text is analyzed before
// it is cleaned, so a short link must cost next to nothing and the largest
// text analyzed (32 KiB) must stay well below a poll interval.
#include <benchmark/benchmark.h>

#include <string>

#include "ScourletCore/clipboard/CommandGuard.h"

namespace {

using scourlet::CommandGuard;
using scourlet::CommandRiskSeverity;
using scourlet::ResourceBundle;

// The shipped rules of the bundle beside the program, never the user's installed copy.
const CommandGuard* shippedGuard() {
    static const CommandGuard* guard = []() -> const CommandGuard* {
        const ResourceBundle* bundle = ResourceBundle::packageResourceBundle();
        if (bundle == nullptr) {
            return nullptr;
        }
        return new CommandGuard(*bundle, std::filesystem::path("/nonexistent/rules.json"));
    }();
    return guard;
}

std::string repeatedTo32KiB(std::string_view piece) {
    std::string text;
    while (text.size() + piece.size() <= CommandGuard::maximumCommandBytes) {
        text.append(piece);
    }
    return text;
}

// Prose with links, as copied from a web page or an e-mail.
const std::string& proseText() {
    static const std::string text = repeatedTo32KiB(
        "The quarterly report is attached; see https://www.example.com/reports/2024/q3?utm_source="
        "newsletter&utm_medium=email for the charts. Shipping moves to Friday, and the team will "
        "review the open items (billing, search, onboarding) on Monday morning.\n");
    return text;
}

// A shell session full of command words that start rules but complete none.
const std::string& scriptText() {
    static const std::string text = repeatedTo32KiB(
        "cd ~/src/app && make -j8 | tee build.log\n"
        "curl -s https://api.example.com/v1/items?page=2&limit=50 | jq '.items[] | .id'\n"
        "rm -f build/*.o; chmod 644 docs/*.md; git commit -m 'rm stale sh helpers'\n"
        "echo \"$(date) done\" >> ~/logs/build.txt; history | tail -n 5; xattr -l app.zip\n");
    return text;
}

void analyze(benchmark::State& state, const std::string& text, CommandRiskSeverity threshold) {
    const CommandGuard* guard = shippedGuard();
    if (guard == nullptr || guard->loadedRuleIDs().empty()) {
        state.SkipWithError("shipped Command Guard rules not found");
        return;
    }
    for (auto _ : state) {
        auto result = guard->analyze(text, threshold);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}

void BM_CommandGuard_ShortLink(benchmark::State& state) {
    static const std::string link =
        "https://www.example.com/article/2024/05/some-title?utm_source=twitter&utm_medium=social"
        "&id=42";
    analyze(state, link, CommandRiskSeverity::warning);
}
BENCHMARK(BM_CommandGuard_ShortLink);

void BM_CommandGuard_ShortLinkAllRules(benchmark::State& state) {
    static const std::string link = "https://www.example.com/watch?v=dQw4w9WgXcQ&t=42s";
    analyze(state, link, CommandRiskSeverity::info);
}
BENCHMARK(BM_CommandGuard_ShortLinkAllRules);

void BM_CommandGuard_RiskyOneLiner(benchmark::State& state) {
    static const std::string command = "curl -fsSL https://example.com/install.sh | sudo bash";
    analyze(state, command, CommandRiskSeverity::warning);
}
BENCHMARK(BM_CommandGuard_RiskyOneLiner);

void BM_CommandGuard_Prose32KiB(benchmark::State& state) {
    analyze(state, proseText(), CommandRiskSeverity::info);
}
BENCHMARK(BM_CommandGuard_Prose32KiB)->Unit(benchmark::kMicrosecond);

void BM_CommandGuard_Script32KiB(benchmark::State& state) {
    analyze(state, scriptText(), CommandRiskSeverity::info);
}
BENCHMARK(BM_CommandGuard_Script32KiB)->Unit(benchmark::kMicrosecond);

void BM_CommandGuard_Neutralize32KiB(benchmark::State& state) {
    const std::string& text = scriptText();
    for (auto _ : state) {
        std::string copy = CommandGuard::neutralizedCommand(text);
        benchmark::DoNotOptimize(copy);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_CommandGuard_Neutralize32KiB)->Unit(benchmark::kMicrosecond);

void BM_CommandGuard_Load(benchmark::State& state) {
    const ResourceBundle* bundle = ResourceBundle::packageResourceBundle();
    if (bundle == nullptr) {
        state.SkipWithError("resource bundle not found");
        return;
    }
    for (auto _ : state) {
        CommandGuard guard(*bundle, std::filesystem::path("/nonexistent/rules.json"));
        benchmark::DoNotOptimize(guard);
    }
}
BENCHMARK(BM_CommandGuard_Load)->Unit(benchmark::kMicrosecond);

}  // namespace
