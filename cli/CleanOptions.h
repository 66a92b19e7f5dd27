// CleanOptions: the command line of the scourlet tool, and its help text.
//
//   auto options = CleanOptions::parse({"-q", "--rules", "data.json", "https://a.example/"});
//   if (!options) { std::cerr << options.error().message; }
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ScourletCore/platform/Result.h"

namespace scourlet::cli {

struct CleanOptions {
    bool quiet = false;
    bool json = false;
    bool help = false;
    bool version = false;
    std::optional<std::filesystem::path> rulesFile;
    std::optional<std::filesystem::path> supplementaryFile;
    // The arguments that are not options, in order: the links to clean.
    std::vector<std::string> urls;

    // Parses the arguments (without the program name). Everything after
    // "--", and "-" itself, is a link. Fails with a message for an unknown
    // option or a missing or empty file argument.
    static Result<CleanOptions, Error> parse(const std::vector<std::string>& args);

    // The help text, ending with a line break.
    static std::string usage();
};

}  // namespace scourlet::cli
