#include "CommandArguments.h"

#include <algorithm>

namespace scourlet::signtool {

namespace {

bool isIn(const std::vector<std::string_view>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

Result<CommandArguments, std::string> CommandArguments::read(const std::vector<std::string>& args,
                                                             const Known& known) {
    const auto isKnown = [&](std::string_view name) {
        return isIn(known.valued, name) || isIn(known.repeatable, name) || isIn(known.flags, name);
    };
    CommandArguments arguments;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--")) {
            arguments.plain_.push_back(arg);
            continue;
        }
        if (!isKnown(arg)) {
            return "unknown option \"" + arg + "\"";
        }
        auto& given = arguments.values_[arg];
        if (isIn(known.flags, arg)) {
            given.emplace_back();
            continue;
        }
        // An option right after another lost its value; taking the option's
        // name as a file name would only lead to a stranger refusal later.
        if (i + 1 >= args.size() || isKnown(args[i + 1])) {
            return arg + " needs a value";
        }
        if (!given.empty() && !isIn(known.repeatable, arg)) {
            return arg + " is given twice";
        }
        given.push_back(args[++i]);
    }
    return arguments;
}

std::optional<std::string> CommandArguments::value(std::string_view option) const {
    const auto found = values_.find(option);
    if (found == values_.end() || found->second.empty()) {
        return std::nullopt;
    }
    return found->second.front();
}

std::vector<std::string> CommandArguments::values(std::string_view option) const {
    const auto found = values_.find(option);
    return found == values_.end() ? std::vector<std::string>{} : found->second;
}

bool CommandArguments::has(std::string_view flag) const {
    return values_.contains(flag);
}

}  // namespace scourlet::signtool
