#include "cli/CleanOptions.h"

namespace scourlet::cli {

std::string CleanOptions::usage() {
    return R"(Usage: scourlet [options] [URL...]

Removes tracking parameters from links with the same local rules as the
Scourlet application (its rule switches, custom rules and site exceptions).

With URLs, prints each argument on its own line with its link cleaned, as
the same text on standard input would come back (punctuation right after the
link stays), and the argument as given when it is not one link (with its line
breaks written as \n and \r, so that it still takes one line). Without URLs,
reads text on standard input and writes it back with every link cleaned and
everything else unchanged:

    xclip -o -selection clipboard | scourlet | xclip -i -selection clipboard

Options:
  -q, --quiet               do not print what was removed (on standard error)
      --json                print one JSON object per link with the full result
      --rules FILE          use the providers of this ClearURLs-format file in
                            place of the shipped (or installed) rules and their
                            supplementary rules; the built-in common names
                            (utm_*, fbclid, gclid and more) and your custom
                            rules still apply
      --supplementary FILE  add the providers of this file
  -h, --help                show this help
  -V, --version             show the version

Exit status: 0 on success, 1 when an argument is not one http or https link,
2 on a usage error or an unreadable rules file, 3 when the output could not
be written.
)";
}

Result<CleanOptions, Error> CleanOptions::parse(const std::vector<std::string>& args) {
    CleanOptions options;
    bool onlyURLs = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyURLs || arg.empty() || arg[0] != '-' || arg == "-") {
            options.urls.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyURLs = true;
        } else if (arg == "-q" || arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "-V" || arg == "--version") {
            options.version = true;
        } else if (arg.starts_with("--rules") || arg.starts_with("--supplementary")) {
            const bool rules = arg.starts_with("--rules");
            const std::string name = rules ? "--rules" : "--supplementary";
            std::string value;
            if (arg == name) {
                if (i + 1 >= args.size()) {
                    return Error{name + " needs a file"};
                }
                value = args[++i];
            } else if (arg.size() > name.size() && arg[name.size()] == '=') {
                value = arg.substr(name.size() + 1);
            } else {
                return Error{"unknown option " + arg};
            }
            if (value.empty()) {
                return Error{name + " needs a file"};
            }
            (rules ? options.rulesFile : options.supplementaryFile) = value;
        } else {
            return Error{"unknown option " + arg};
        }
    }
    return options;
}

}  // namespace scourlet::cli
