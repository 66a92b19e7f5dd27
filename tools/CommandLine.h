// The signing tool's command line: its usage text, how a command refuses,
// and the options every command that uses a key takes.
//
//   auto arguments = CommandArguments::read(args, signingArguments({"--manifest"}));
//   if (!arguments) return usageError(arguments.error());
//   SigningOptions options;
//   if (auto cause = takeSigningOptions(*arguments, "sign", options)) return usageError(*cause);
//   if (failed) return fail("could not read " + path.string());
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "CommandArguments.h"
#include "ScourletCore/config/BuildSettings.h"

namespace scourlet::signtool {

// Exit statuses.
constexpr int kSuccess = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

extern const std::string_view kUsage;

// Writes the usage to standard error; kUsageError.
int usage();

// Writes "scourlet-sign-catalog: <cause>" and then the usage to standard
// error; kUsageError.
int usageError(const std::string& cause);

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

// The options of a command that signs (--key, --key-id, --keyset, --out and
// --maker-host) and its own `more`.
CommandArguments::Known signingArguments(CommandArguments::Known more);

// Fills `options` from `arguments` for `command`: "add-key" takes only the
// key, its id and the keyset; the signing commands also need --out and may
// name --maker-host. Why it cannot, naming each missing option or the value
// at fault (a key id or host name the programs could not use).
std::optional<std::string> takeSigningOptions(const CommandArguments& arguments,
                                              std::string_view command, SigningOptions& options);

// Whether `host` is a lower-case host name as the build takes one: labels of
// a-z and 0-9 joined by single "." or "-", no scheme, port or path.
bool validHostName(std::string_view host);

}  // namespace scourlet::signtool
