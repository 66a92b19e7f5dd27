#include "ScourletCore/rules/TextURLBlock.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

struct BlockCase {
    std::string_view text;
    std::vector<std::string> urls;
};

void expectURLs(const std::initializer_list<BlockCase>& cases) {
    for (const BlockCase& c : cases) {
        const std::optional<TextURLBlock> block = TextURLBlock::make(c.text);
        ASSERT_TRUE(block) << "text: " << c.text;
        EXPECT_EQ(block->urls(), c.urls) << "text: " << c.text;
        for (const TextURLBlock::Match& match : block->matches()) {
            EXPECT_EQ(c.text.substr(match.range.first, match.range.second - match.range.first),
                      match.url);
        }
    }
}

TEST(TextURLBlock, FindsEveryLinkInProse) {
    expectURLs({
        {"", {}},
        {"no links here", {}},
        {"HTTPS://A.EXAMPLE/", {"HTTPS://A.EXAMPLE/"}},
        {"hTtP://a.example/x", {"hTtP://a.example/x"}},
        {"first https://a.example/1\nsecond https://b.example/2\tthird http://c.example/3",
         {"https://a.example/1", "https://b.example/2", "http://c.example/3"}},
        {"(https://a.example/x), [https://b.example/y]; <https://c.example/z>",
         {"https://a.example/x", "https://b.example/y", "https://c.example/z"}},
        {"\u00A0https://a.example/x\u3000https://b.example/y",
         {"https://a.example/x", "https://b.example/y"}},
        {"x=https://a.example/ https://b.example/", {"https://b.example/"}},
        {"(https://a.example/ https://b.example/", {"https://a.example/", "https://b.example/"}},
        {"ftp://a.example/ https://b.example/", {"https://b.example/"}},
        {"https://user@a.example/ https://a.example/\\ https://c.example/", {"https://c.example/"}},
    });
}

TEST(TextURLBlock, SentencePunctuationAfterALink) {
    expectURLs({
        // Punctuation that ends the sentence is the user's, never the link's,
        // wherever the link stands.
        {"see https://a.example/?q=1.", {"https://a.example/?q=1"}},
        {"see https://a.example/#top!,", {"https://a.example/#top"}},
        {"see https://a.example/?q=1?", {"https://a.example/?q=1"}},
        {"see https://a.example/?q=1?.", {"https://a.example/?q=1"}},
        {"see https://a.example/?q=1: the page", {"https://a.example/?q=1"}},
        // After prose, a link without query or fragment that ends in such
        // punctuation is refused instead.
        {"see https://a.example/x.", {}},
        {"see https://a.example/x?", {"https://a.example/x"}},  // "?" starts an empty query
        {"https://a.example/?q=1.", {"https://a.example/?q=1"}},
        {" \n https://a.example/?q=1.", {"https://a.example/?q=1"}},
        {"https://a.example/x.", {"https://a.example/x"}},
        {"see \"https://a.example/?q=1.", {"https://a.example/?q=1"}},
        {"see (https://a.example/?q=1).", {"https://a.example/?q=1"}},
        // A ")" or "]" closes the link only when the link has no opener for
        // it; encyclopedia paths keep theirs.
        {"(see https://a.example/y)", {"https://a.example/y"}},
        {"x https://x.example/p?utm_source=1), then", {"https://x.example/p?utm_source=1"}},
        {"see https://a.example/wiki/C_(language) too", {"https://a.example/wiki/C_(language)"}},
        {"https://a.example/wiki/C_(language)).", {"https://a.example/wiki/C_(language)"}},
        // What is left must still be a link with a host.
        {"https://.", {}},
        {"https://a.example:", {"https://a.example"}},
    });
}

// After "(" or "[" a link ends before the first ")" or "]" that closes no
// bracket of its own; what follows is the writer's text, and a link there is
// found in its own right.
TEST(TextURLBlock, ALinkInBracketsEndsAtTheWritersClosingBracket) {
    expectURLs({
        {"**[two](https://example.com/y?fbclid=2)**", {"https://example.com/y?fbclid=2"}},
        {"~~[four](https://example.com/w?utm_medium=4)~~ and (https://example.com/x?utm_source=1):",
         {"https://example.com/w?utm_medium=4", "https://example.com/x?utm_source=1"}},
        {"[link](https://example.com/?utm_source=x)[^1]", {"https://example.com/?utm_source=x"}},
        {"[![badge](https://img.shields.io/badge/x-y-green?utm_source=x)](https://example.com/"
         "?utm_source=y)",
         {"https://img.shields.io/badge/x-y-green?utm_source=x",
          "https://example.com/?utm_source=y"}},
        {"(https://a.example/)(https://b.example/)[https://c.example/]",
         {"https://a.example/", "https://b.example/", "https://c.example/"}},
        {"[Foo](https://en.wikipedia.org/wiki/Foo_(bar)), [x](https://a.example/((x)y)z))",
         {"https://en.wikipedia.org/wiki/Foo_(bar)", "https://a.example/((x)y)z"}},
        {"(see [https://a.example/?q=1.])", {"https://a.example/?q=1"}},
        // No closer before the white space: the link ends there.
        {"[text](https://example.com/?utm_source=x \"Title\")",
         {"https://example.com/?utm_source=x"}},
        // A link in brackets that holds a second link is left alone whole;
        // the link after its bracket is still found.
        {"[a](https://a.example/?u=https://b.example/)[c](https://c.example/)",
         {"https://c.example/"}},
        // Glued to the text before it, a scheme hides its whole run.
        {"x=https://a.example/)(https://b.example/", {}},
        {"(https://a.example/)https://b.example/", {"https://a.example/"}},
    });
}

TEST(TextURLBlock, ARefusedCandidateHidesTheSchemesInsideIt) {
    expectURLs({
        {"https://a.example/?u=https://b.example/", {}},
        {"x=https://a.example/?u=https://b.example/", {}},
        // The inner links stand after openers and would pass on their own.
        {"x=https://a.example/?u=(https://b.example/)", {}},
        {"https://a.example/?u=[https://b.example/]", {}},
        {"see https://a.example/?u=https://b.example/ and https://c.example/",
         {"https://c.example/"}},
        {"see https://a.example/https://b.example/", {}},
    });
}

TEST(TextURLBlock, OnlyHiddenOrOversizedTextIsRefused) {
    const std::string_view refused[] = {
        "\u200B", "\u200F", "\u202A", "\u202E", "\u2066",
        "\u2069", "\x7F",   "\x01",   "\x0B",   std::string_view("\0", 1)};
    for (const std::string_view hidden : refused) {
        const std::string text = "a " + std::string(hidden) + " https://a.example/";
        EXPECT_FALSE(TextURLBlock::make(text)) << static_cast<int>(hidden.back() & 0xFF);
    }
    // Neighbours of the refused ranges and ordinary line breaks are fine.
    for (const std::string_view fine :
         {"\t", "\r\n", "\u200A", "\u2010", "\u2028", "\u202F", "\u2065", "\u206A", "\u0085"}) {
        const std::string text = "a " + std::string(fine) + " https://a.example/";
        const std::optional<TextURLBlock> block = TextURLBlock::make(text);
        ASSERT_TRUE(block) << static_cast<int>(fine.back() & 0xFF);
        EXPECT_EQ(block->urls(), std::vector<std::string>{"https://a.example/"});
    }

    std::string atLimit = "https://a.example/ ";
    atLimit.resize(65'536, 'a');
    ASSERT_TRUE(TextURLBlock::make(atLimit));
    EXPECT_EQ(TextURLBlock::make(atLimit)->urls(), std::vector<std::string>{"https://a.example/"});
    EXPECT_FALSE(TextURLBlock::make(atLimit + "a"));
}

TEST(TextURLBlock, ReplacesLastLinkFirstAndKeepsEverythingElse) {
    const std::string text =
        "\u00A0One:\thttps://a.example/?utm_source=x\r\n\r\n- two: https://b.example/y\n";
    const std::optional<TextURLBlock> block = TextURLBlock::make(text);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->matches().size(), 2U);
    EXPECT_EQ(block->matches()[0].range, ByteRange(7, 38));

    std::vector<std::size_t> calls;
    const std::string rebuilt =
        block->replacingURLs([&](std::size_t index, std::string_view url) -> std::string {
            calls.push_back(index);
            return index == 0 ? "https://a.example/" : "[" + std::string(url) + "]";
        });
    EXPECT_EQ(calls, (std::vector<std::size_t>{1, 0}));
    EXPECT_EQ(rebuilt, "\u00A0One:\thttps://a.example/\r\n\r\n- two: [https://b.example/y]\n");
    EXPECT_EQ(block->text(), text);
}

TEST(TextURLBlock, NoMatchesMeansNoCallsAndTheSameText) {
    const std::optional<TextURLBlock> block = TextURLBlock::make("plain text\n");
    ASSERT_TRUE(block);
    EXPECT_TRUE(block->matches().empty());
    bool called = false;
    EXPECT_EQ(block->replacingURLs([&](std::size_t, std::string_view) {
        called = true;
        return std::string();
    }),
              "plain text\n");
    EXPECT_FALSE(called);
}

std::string repeatedUpTo(std::string_view piece, std::size_t size) {
    std::string out;
    out.reserve(size);
    while (out.size() + piece.size() <= size) {
        out.append(piece);
    }
    return out;
}

// Texts built to make a scanner do quadratic work or find overlapping links.
// They must finish promptly (the test's time-out) and give the right links.
TEST(TextURLBlock, HostileTextsOfClipboardSize) {
    const std::size_t limit = 65'536;

    const std::optional<TextURLBlock> schemes = TextURLBlock::make(repeatedUpTo("http://", limit));
    ASSERT_TRUE(schemes);
    EXPECT_TRUE(schemes->matches().empty());

    const std::optional<TextURLBlock> spaced = TextURLBlock::make(repeatedUpTo("http:// ", limit));
    ASSERT_TRUE(spaced);
    EXPECT_TRUE(spaced->matches().empty());

    const std::optional<TextURLBlock> openers = TextURLBlock::make(repeatedUpTo("([<\"'", limit));
    ASSERT_TRUE(openers);
    EXPECT_TRUE(openers->matches().empty());

    const std::optional<TextURLBlock> nested =
        TextURLBlock::make(repeatedUpTo("(https://a.example/", limit));
    ASSERT_TRUE(nested);
    EXPECT_TRUE(nested->matches().empty());

    // Links in brackets one after another, with no white space in the whole
    // text: each is found, the text read once rather than once per link.
    for (const std::string_view piece : {std::string_view("(https://a.example/)"),
                                         std::string_view("[![b](https://a/)](https://b/)")}) {
        const std::string chained = repeatedUpTo(piece, limit);
        const std::optional<TextURLBlock> block = TextURLBlock::make(chained);
        ASSERT_TRUE(block);
        const std::size_t perPiece = piece.find("](") == std::string_view::npos ? 1 : 2;
        EXPECT_EQ(block->matches().size(), chained.size() / piece.size() * perPiece) << piece;
    }

    // One long word before a link once made the scheme search give up.
    for (const char filler : {'a', '7', '.'}) {
        const std::string text = std::string(limit - 20, filler) + " https://a.example/";
        const std::optional<TextURLBlock> block = TextURLBlock::make(text);
        ASSERT_TRUE(block);
        EXPECT_EQ(block->urls(), std::vector<std::string>{"https://a.example/"}) << filler;
    }

    const std::string piece = "go https://a.example/?q=1. ";
    const std::string many = repeatedUpTo(piece, limit);
    const std::optional<TextURLBlock> block = TextURLBlock::make(many);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->matches().size(), many.size() / piece.size());
    std::size_t replaced = 0;
    const std::string rebuilt = block->replacingURLs([&](std::size_t, std::string_view) {
        ++replaced;
        return std::string("X");
    });
    EXPECT_EQ(replaced, block->matches().size());
    EXPECT_EQ(rebuilt, repeatedUpTo("go X. ", rebuilt.size()));
}

}  // namespace
}  // namespace scourlet
