// Texts whose links lose their last parameter to a clean, each followed by
// punctuation that belongs to the sentence around the link, and the text as
// it must read after the clean: only the link itself changes.
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
};

}  // namespace scourlet::testing
