// Inputs shared by the benchmarks.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace scourlet::bench {

// The public ClearURLs providers file kept beside the repository (or in the
// folder SCOURLET_SHARED_DATA_DIR names at run time). A lone clone has none:
// the benchmarks of the public set then measure the shipped rules, and say so.
inline const std::string& publicRuleSet() {
    static const std::string data = [] {
        const char* override = std::getenv("SCOURLET_SHARED_DATA_DIR");
        const std::string folder =
            override != nullptr && override[0] != '\0' ? override : SCOURLET_SHARED_DATA_DIR;
        const std::string file = folder + "/clearurls/data.min.json";
        auto read = [](const std::string& path) {
            std::ifstream in(path, std::ios::binary);
            return std::string{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        };
        std::string text = read(file);
        if (text.empty()) {
            text = read(SCOURLET_SHIPPED_RULES);
            std::cerr << "scourlet_bench: no public rule set at " << file
                      << " (set SCOURLET_SHARED_DATA_DIR to the folder that holds "
                         "clearurls/data.min.json); measuring the shipped rules "
                      << SCOURLET_SHIPPED_RULES << " in its place\n";
        }
        if (text.empty()) {
            std::cerr << "scourlet_bench: " << SCOURLET_SHIPPED_RULES << " is missing\n";
            std::exit(1);
        }
        return text;
    }();
    return data;
}

}  // namespace scourlet::bench
