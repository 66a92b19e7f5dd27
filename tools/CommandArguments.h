// A command's arguments, read against the options it knows: options that
// take a value ("--key <file>"), flags ("--manifest") and the plain arguments
// (the files) among them.
//
//   auto arguments = CommandArguments::read(args, {{"--key", "--out"}, {"--note"},
//   {"--manifest"}}); if (!arguments) return usageError(arguments.error());  // unknown option
//   "--bogus" const std::optional<std::string> out = arguments->value("--out");
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Result.h"

namespace scourlet::signtool {

class CommandArguments {
public:
    struct Known {
        std::vector<std::string_view> valued = {};      // each given at most once
        std::vector<std::string_view> repeatable = {};  // taking a value, any number of times
        std::vector<std::string_view> flags = {};       // without a value
    };

    // Reads `args` after the command's name (args[0]). Fails with the cause
    // of the first argument it cannot take: `unknown option "--bogus"`,
    // `--key needs a value` (the last argument, or followed by another
    // option), `--key is given twice`.
    static Result<CommandArguments, std::string> read(const std::vector<std::string>& args,
                                                      const Known& known);

    // The value of an option given once; nothing when it was not given.
    std::optional<std::string> value(std::string_view option) const;
    // Every value of a repeatable option, in order.
    std::vector<std::string> values(std::string_view option) const;
    bool has(std::string_view flag) const;
    // The arguments that are no option or value, in order.
    const std::vector<std::string>& plain() const { return plain_; }

private:
    std::map<std::string, std::vector<std::string>, std::less<>> values_;
    std::vector<std::string> plain_;
};

}  // namespace scourlet::signtool
