// What counting one clean costs: the statistics are written on every clean
// the clipboard watcher makes.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"

namespace scourlet {
namespace {

enum class StatsStore { memory, file };

// A clean that matched two categories, as most tracked links do.
CleanResult typicalClean() {
    CleanResult result;
    result.originalURL = "https://shop.example/item?id=7&utm_source=news&fbclid=x";
    result.cleanedURL = "https://shop.example/item?id=7";
    result.paramsRemoved = 2;
    result.removedQueryParameters = {"utm_source", "fbclid"};
    result.matchedCategories = {RuleCategoryType::analytics, RuleCategoryType::socialMedia};
    return result;
}

void BM_RecordClean(benchmark::State& state, StatsStore kind) {
    std::string folder = (std::filesystem::temp_directory_path() / "scourlet-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        std::abort();
    }
    {
        std::shared_ptr<UserDefaults> defaults;
        if (kind == StatsStore::file) {
            defaults = std::make_shared<FileUserDefaults>(std::filesystem::path(folder) / "s.json");
        } else {
            defaults = std::make_shared<InMemoryUserDefaults>();
        }
        StatsTracker tracker(defaults, std::make_shared<SystemClock>());
        const CleanResult clean = typicalClean();
        for (auto _ : state) {
            tracker.recordClean(clean);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
BENCHMARK_CAPTURE(BM_RecordClean, memory_store, StatsStore::memory)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RecordClean, file_store, StatsStore::file)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace scourlet
