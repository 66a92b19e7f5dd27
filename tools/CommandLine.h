// The signing tool's command line: its usage text, how a command refuses,
// and the options every command that uses a key takes.
//
//   SigningOptions options;
//   if (!takeSigningOption(args[i], args[i + 1], options)) return usage();
//   if (failed) return fail("could not read " + path.string());
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "ScourletCore/config/BuildSettings.h"

namespace scourlet::signtool {

// Exit statuses.
constexpr int kSuccess = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

extern const std::string_view kUsage;

// Writes the usage to standard error; kUsageError.
int usage();

// Writes "scourlet-sign-catalog: <message>" to standard error; kFailed.
int fail(const std::string& message);

// What the commands take: the key, the keyset it must be in, where the signed
// files go and the host that serves them.
struct SigningOptions {
    std::filesystem::path keyFile;
    std::string keyID;
    std::filesystem::path keysetFile;
    std::filesystem::path outFolder;
    std::string makerHost{config::kMakerHost};
};

// Takes `arg` with its `value` when it is one of the shared options; false
// (and `options` unchanged) for any other argument.
bool takeSigningOption(const std::string& arg, const std::string& value, SigningOptions& options);

}  // namespace scourlet::signtool
