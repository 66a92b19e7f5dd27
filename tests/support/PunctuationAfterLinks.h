// Texts whose links lose a parameter to a clean, each followed by punctuation,
// emphasis or quotes that belong to the text around the link, and the text as
// it must read after the clean: only the removed parameters and their
// separators go, every other byte stays. Last, texts whose link must be left
// alone, which come back as they were.
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
    // After "(" or "[" a link ends before the first ")" or "]" that closes
    // no bracket of its own; what follows is the writer's, and a second link
    // there is cleaned in its own right.
    {"**[two](https://example.com/y?fbclid=2)**", "**[two](https://example.com/y)**"},
    {"~~[four](https://example.com/w?utm_medium=4)~~", "~~[four](https://example.com/w)~~"},
    {"(https://example.com/x?utm_source=1):", "(https://example.com/x):"},
    {"[link](https://example.com/?utm_source=x)[^1]", "[link](https://example.com/)[^1]"},
    {"[![badge](https://img.shields.io/badge/x-y-green?utm_source=x)](https://example.com/"
     "?utm_source=y)",
     "[![badge](https://img.shields.io/badge/x-y-green)](https://example.com/)"},
    {"[Foo](https://en.wikipedia.org/wiki/Foo_(bar)?utm_source=x)",
     "[Foo](https://en.wikipedia.org/wiki/Foo_(bar))"},
    {"(see (https://a.example/((x)y)z?utm_source=1)).", "(see (https://a.example/((x)y)z))."},
    {"[https://a.example/p?id=1&utm_source=x.]", "[https://a.example/p?id=1.]"},
    // With white space before the closer, the link ends at the white space.
    {"[text](https://example.com/?utm_source=x \"Title\")",
     "[text](https://example.com/ \"Title\")"},
    {"(https://example.com/?utm_source=x and more)", "(https://example.com/ and more)"},
    // Kept parameters come back as the writer encoded them: decoded, a quote
    // or bracket would end the link early in its shell line, Markdown or JSON
    // text, a ";" would split the parameter, an encoded link would read as
    // part of the outer one.
    {"curl 'https://api.example.com/search?q=don%27t+panic&utm_source=docs'",
     "curl 'https://api.example.com/search?q=don%27t+panic'"},
    {"See [the search](https://example.com/s?q=foo%29bar&utm_source=x) here.",
     "See [the search](https://example.com/s?q=foo%29bar) here."},
    {"https://example.com/s?q=a%3Bb&utm_source=x", "https://example.com/s?q=a%3Bb"},
    {"https://example.com/r?u=https%3A%2F%2Ffoo.com%2F&utm_source=x",
     "https://example.com/r?u=https%3A%2F%2Ffoo.com%2F"},
    {"{\"url\": \"https://example.com/?q=%22x%22&fbclid=1&p=%7E\"}",
     "{\"url\": \"https://example.com/?q=%22x%22&p=%7E\"}"},
    // In HTML source "&amp;" joins the parameters: a tracker on either side
    // goes with it, and the kept ones stay joined as they were.
    {"<a href=\"https://example.com/h?utm_source=html&amp;id=2\">",
     "<a href=\"https://example.com/h?id=2\">"},
    {"<a href=\"https://example.com/h?id=2&amp;utm_source=html\">page</a>",
     "<a href=\"https://example.com/h?id=2\">page</a>"},
    {"<a href='https://example.com/h?a=1&amp;utm_source=x&amp;b=2'>",
     "<a href='https://example.com/h?a=1&amp;b=2'>"},
    // Left alone: a link holding a second one, and a scheme glued to the
    // text before it.
    {"[a](https://example.com/?u=https://b.example/&utm_source=x)",
     "[a](https://example.com/?u=https://b.example/&utm_source=x)"},
    {"|https://example.com/?utm_source=x|", "|https://example.com/?utm_source=x|"},
    {"Link:https://example.com/?utm_source=x", "Link:https://example.com/?utm_source=x"},
};

}  // namespace scourlet::testing
