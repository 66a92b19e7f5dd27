// Texts whose links lose their last parameter to a clean, each followed by
// punctuation or emphasis that belongs to the text around the link, and the
// text as it must read after the clean: only the link itself changes.
#pragma once

#include <string_view>
#include <utility>

namespace scourlet::testing {

inline constexpr std::pair<std::string_view, std::string_view> kPunctuationAfterLinks[] = {
    {"https://a.example/p?id=3&utm_source=s3, and more", "https://a.example/p?id=3, and more"},
    {"See https://a.example/p?id=3&utm_source=s3: the page",
     "See https://a.example/p?id=3: the page"},
    {"Is it https://a.example/p?id=3&utm_source=s3? Yes", "Is it https://a.example/p?id=3? Yes"},
    {"x https://x.example/p?utm_source=1), then", "x https://x.example/p), then"},
    {"https://a.example/p?id=3&utm_source=s3.", "https://a.example/p?id=3."},
    {"https://a.example/p?utm_source=s3;:!?", "https://a.example/p;:!?"},
    {"(see https://a.example/p?utm_source=s3!).", "(see https://a.example/p!)."},
    {"(see https://a.example/p?fbclid=s3!).", "(see https://a.example/p!)."},
    {"https://a.example/wiki/C_(x)?utm_source=s3)", "https://a.example/wiki/C_(x))"},
    // Emphasis closed right after a link: "*" and "~" always, a run of "_"
    // when the same run opened emphasis earlier on the line.
    {"**Read https://a.example/?id=1&utm_source=x**", "**Read https://a.example/?id=1**"},
    {"~~old https://a.example/?utm_source=x~~ new", "~~old https://a.example/~~ new"},
    {"_see https://a.example/p?utm_source=x_", "_see https://a.example/p_"},
    {"__see https://a.example/p?utm_source=x__, then", "__see https://a.example/p__, then"},
    {"read https://a.example/p?id=1&utm_source=x**.", "read https://a.example/p?id=1**."},
    {"*_see https://a.example/p?utm_source=x_*!", "*_see https://a.example/p_*!"},
    // Without an opener on its line, a closing "_" is the link's and goes
    // with its value, leaving none glued to the link.
    {"https://a.example/p?id=1&utm_campaign=spring_", "https://a.example/p?id=1"},
    {"my_var https://a.example/p?utm_campaign=spring_.", "my_var https://a.example/p."},
    {"_done_ https://a.example/p?utm_campaign=spring_", "_done_ https://a.example/p"},
    {"_see\nhttps://a.example/p?utm_campaign=spring_", "_see\nhttps://a.example/p"},
};

}  // namespace scourlet::testing
