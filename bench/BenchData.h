// Inputs shared by the benchmarks.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace scourlet::bench {

// The public ClearURLs providers file kept beside the repository (or in the
// folder SCOURLET_SHARED_DATA_DIR names at run time). The benchmarks that
// measure it cannot run without it, so its absence ends the program.
inline const std::string& publicRuleSet() {
    static const std::string data = [] {
        const char* override = std::getenv("SCOURLET_SHARED_DATA_DIR");
        const std::string folder =
            override != nullptr && override[0] != '\0' ? override : SCOURLET_SHARED_DATA_DIR;
        std::ifstream in(folder + "/clearurls/data.min.json", std::ios::binary);
        std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (text.empty()) {
            std::cerr << "scourlet_bench: " << folder << "/clearurls/data.min.json is missing\n";
            std::exit(1);
        }
        return text;
    }();
    return data;
}

}  // namespace scourlet::bench
