// DualLinkShareBuilder: share text that carries both the cleaned link on the
// original site and the privacy front-end link a rewrite produced, so that a
// recipient without that front-end can still open the post.
//
//   auto text = DualLinkShareBuilder::body(result, "Worth a read");
//   // "Worth a read\n\nOriginal link: https://x.com/a/status/1\n\n"
//   // "Privacy link: https://nitter.example/a/status/1"
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/rules/CleanResult.h"

namespace scourlet {

class DualLinkShareBuilder {
public:
    DualLinkShareBuilder() = delete;

    // The share text: the context and an empty line when there is a context,
    // then "Original link: " and the cleaned original link, an empty line, and
    // "Privacy link: " and the cleaned link; lines joined by "\n", none at the
    // end. Nothing when the result has no privacy rewrite, no cleaned original
    // link, or one equal to the cleaned link.
    static std::optional<std::string> body(const CleanResult& result,
                                           std::optional<std::string_view> context);

    // `context` without white space and line breaks at both ends; nothing when
    // that leaves nothing.
    static std::optional<std::string> normalizedContext(std::optional<std::string_view> context);
};

}  // namespace scourlet
