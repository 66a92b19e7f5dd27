// WaybackLinkBuilder: the public web archive's lookup page that lists every
// stored capture of a web link.
//
//   WaybackLinkBuilder::lookupURL("  https://example.com/a?b=1 ");
//   // "https://web.archive.org/web/*/https://example.com/a?b=1"
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace scourlet {

class WaybackLinkBuilder {
public:
    WaybackLinkBuilder() = delete;

    // "https://" + archive host + "/web/*/" followed by `link` without white
    // space and line breaks at both ends, exactly as given otherwise (scheme
    // case, query and fragment kept). Nothing unless the trimmed link is a
    // valid URL (no raw blanks, controls or non-ASCII text) with the scheme
    // "http" or "https" in any case and a host.
    static std::optional<std::string> lookupURL(std::string_view link);
};

}  // namespace scourlet
