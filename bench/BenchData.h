// Inputs shared by the benchmarks.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include <benchmark/benchmark.h>

namespace scourlet::bench {

// The large rule set the benchmarks of the rules engine measure: the public
// ClearURLs providers file kept beside the repository (or in the folder
// SCOURLET_SHARED_DATA_DIR names at run time). A lone clone has none: the
// shipped providers file takes its place, the program says so, and the rows
// are named after what they measure (ruleSetRow()).
struct LargeRuleSet {
    std::string data;
    bool isPublic = false;
};

inline const LargeRuleSet& largeRuleSet() {
    static const LargeRuleSet set = [] {
        const char* override = std::getenv("SCOURLET_SHARED_DATA_DIR");
        const std::string folder =
            override != nullptr && override[0] != '\0' ? override : SCOURLET_SHARED_DATA_DIR;
        const std::string file = folder + "/clearurls/data.min.json";
        auto read = [](const std::string& path) {
            std::ifstream in(path, std::ios::binary);
            return std::string{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        };
        LargeRuleSet found{read(file), true};
        if (found.data.empty()) {
            found = {read(SCOURLET_SHIPPED_RULES), false};
            std::cerr << "scourlet_bench: no public rule set at " << file
                      << " (set SCOURLET_SHARED_DATA_DIR to the folder that holds "
                         "clearurls/data.min.json); its rows measure the shipped providers "
                         "file "
                      << SCOURLET_SHIPPED_RULES
                      << " in its place and are named \"shipped\", and the public rows of "
                         "the whole clean are left out\n";
        }
        if (found.data.empty()) {
            std::cerr << "scourlet_bench: " << SCOURLET_SHIPPED_RULES << " is missing\n";
            std::exit(1);
        }
        return found;
    }();
    return set;
}

// `base` followed by the rule set the row measures: "/public" or "/shipped",
// then `detail` ("BM_LoadRuleSet/public", "BM_CleanLink/shipped_stats_on").
inline std::string ruleSetRow(const std::string& base, const std::string& detail = "") {
    return base + (largeRuleSet().isPublic ? "/public" : "/shipped") + detail;
}

// Registers `function` as the row ruleSetRow(base, detail), timed in `unit`.
// Returns true, for the static that registers it.
inline bool registerRuleSetRow(const std::string& base, void (*function)(benchmark::State&),
                               benchmark::TimeUnit unit, const std::string& detail = "") {
    benchmark::RegisterBenchmark(ruleSetRow(base, detail).c_str(), function)->Unit(unit);
    return true;
}

}  // namespace scourlet::bench
