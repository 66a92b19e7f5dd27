// The link finder searches by hand (memchr for "://", byte tables for link
// stoppers) instead of running the scheme expression over the whole text. The
// regex-based finder it replaced is kept here as the reference: on every text
// below, both must find exactly the same links, and the primitives the
// clipboard's single-link finder shares must answer as before.
#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/Regex.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/internal/Utf8Codec.h"
#include "ScourletCore/rules/TextURLBlock.h"
#include "ScourletCore/rules/internal/LinkScanning.h"

namespace scourlet {
namespace {

// ---- The reference: the regex-based finder ----------------------------------------

const Regex& referenceSchemePattern() {
    static const Regex pattern = *Regex::compile("(?i)[a-z][a-z0-9+.-]*://");
    return pattern;
}

std::optional<ByteRange> referenceScheme(std::string_view text, std::size_t from = 0) {
    if (from > text.size()) {
        return std::nullopt;
    }
    const std::optional<RegexMatch> match = referenceSchemePattern().firstMatch(text.substr(from));
    if (!match) {
        return std::nullopt;
    }
    return ByteRange{match->range().first + from, match->range().second + from};
}

bool referenceAdmissible(std::string_view text) {
    if (text.size() > internal::kLinkTextSizeLimit) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F) {
            return false;
        }
        const internal::DecodedScalar decoded = internal::decodeUtf8At(text, i);
        const char32_t c = decoded.scalar;
        if ((c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
            (c >= 0x2066 && c <= 0x2069)) {
            return false;
        }
    }
    return true;
}

std::size_t referenceStopper(std::string_view text, std::size_t from) {
    std::size_t i = from;
    while (i < text.size()) {
        const internal::DecodedScalar decoded = internal::decodeUtf8At(text, i);
        if (decoded.scalar != internal::kInvalidScalar &&
            (isWhitespaceOrNewline(decoded.scalar) || decoded.scalar == '<' ||
             decoded.scalar == '>' || decoded.scalar == '"' || decoded.scalar == '\'')) {
            return i;
        }
        i += decoded.size;
    }
    return text.size();
}

// A link's own end, found the slow way: punctuation that ends the sentence,
// "*" and "~", closers without an opener in the link, and a run of "_" that
// closes the emphasis open before the link are dropped one by one, the
// brackets counted again and the line read again from the start each time.
std::size_t referenceLinkEnd(std::string_view text, std::size_t start, std::size_t end) {
    while (start < end) {
        const std::string_view link = text.substr(start, end - start);
        auto count = [link](char c) { return std::count(link.begin(), link.end(), c); };
        const char last = link.back();
        const bool sentence = std::string_view(".,;:!?*~").find(last) != std::string_view::npos;
        const bool unopened =
            (last == ')' && count(')') > count('(')) || (last == ']' && count(']') > count('['));
        if (last == '_') {
            const std::size_t run = link.size() - link.find_last_not_of('_') - 1;
            internal::UnderscoreEmphasis emphasis;
            emphasis.readUpTo(text, start);
            if (run == link.size() || !emphasis.innermostOpenRunIs(run)) {
                break;
            }
            end -= run;
            continue;
        }
        if (!sentence && !unopened) {
            break;
        }
        --end;
    }
    return end;
}

// Where a link after "(" or "[" ends, found the plain way: at the first
// bracket of the run where more ")" than "(" or more "]" than "[" have been
// seen since the link's start, else at the run's stopper.
std::size_t referenceEndInBrackets(std::string_view text, std::size_t start, std::size_t stopper) {
    long parens = 0;
    long brackets = 0;
    for (std::size_t i = start; i < stopper; ++i) {
        parens += text[i] == '(' ? 1 : text[i] == ')' ? -1 : 0;
        brackets += text[i] == '[' ? 1 : text[i] == ']' ? -1 : 0;
        if (parens < 0 || brackets < 0) {
            return i;
        }
    }
    return stopper;
}

// The finder as it was: every scheme the expression enumerates over the whole
// text, skipping those inside an earlier candidate, whose stopper is searched
// anew for each; a link found then leaves out the punctuation that ends it.
std::optional<std::vector<ByteRange>> referenceLinks(std::string_view text) {
    if (!internal::isAdmissibleLinkText(text)) {
        return std::nullopt;
    }
    const std::size_t firstProse = internal::firstNonWhitespaceOffset(text);
    std::vector<ByteRange> links;
    std::size_t cursor = 0;
    for (const RegexMatch& match : referenceSchemePattern().allMatches(text)) {
        const ByteRange scheme = match.range();
        const std::size_t start = scheme.first;
        if (start < cursor) {
            continue;
        }
        const std::size_t stopper = referenceStopper(text, start);
        cursor = stopper;
        const internal::LinkLead lead = internal::linkLeadBefore(text, start);
        if (lead.kind == internal::LinkLead::Kind::refused) {
            continue;
        }
        const std::size_t end =
            lead.opensBracket ? referenceEndInBrackets(text, start, stopper) : stopper;
        cursor = end;
        const bool proseBefore = firstProse < start;
        if (start >= end || end < scheme.second) {
            continue;
        }
        if (referenceScheme(text.substr(scheme.second, end - scheme.second))) {
            continue;
        }
        if (!internal::isAcceptableLink(text.substr(start, end - start), proseBefore,
                                        internal::SchemeCase::insensitive)) {
            continue;
        }
        const std::size_t linkEnd = referenceLinkEnd(text, start, end);
        if (!internal::isAcceptableLink(text.substr(start, linkEnd - start), proseBefore,
                                        internal::SchemeCase::insensitive)) {
            continue;
        }
        links.emplace_back(start, linkEnd);
    }
    return links;
}

std::optional<std::vector<ByteRange>> foundLinks(std::string_view text) {
    std::vector<ByteRange> links;
    if (!TextURLBlock::findLinks(text, links)) {
        return std::nullopt;
    }
    return links;
}

// Every search position of `text`, for the primitives that take one.
void expectPrimitivesAgree(std::string_view text) {
    for (std::size_t from = 0; from <= text.size(); ++from) {
        ASSERT_EQ(internal::findSchemeOccurrence(text, from), referenceScheme(text, from))
            << "from " << from << " in " << text;
        if (from < text.size()) {
            ASSERT_EQ(internal::linkStopperAtOrAfter(text, from), referenceStopper(text, from))
                << "from " << from << " in " << text;
        }
    }
    std::vector<ByteRange> all;
    for (const RegexMatch& match : referenceSchemePattern().allMatches(text)) {
        all.push_back(match.range());
    }
    ASSERT_EQ(internal::allSchemeOccurrences(text), all) << text;
}

// ---- The comparisons --------------------------------------------------------------

TEST(TextLinkFinderDifferential, TrickyTextsFindTheSameLinks) {
    const std::string_view texts[] = {
        "",
        "https://a.example/",
        "see https://a.example/x. and https://b.example/?q=1.",
        "see https://a.example/?q=1?!,; then (https://b.example/y), [https://c.example/z];",
        "(https://a.example/x)) [https://b.example/]] <https://c.example/> \"https://d.example/\"",
        "'https://a.example/' \"https://b.example/?a=1\". (https://c.example/ https://d.example/)",
        "x=https://a.example/?u=https://b.example/ https://c.example/",
        "https://a.example/?u=https%3A%2F%2Fb.example%2F&utm_source=x%20y#frag%2",
        "HTTP://A.EXAMPLE/ hTTpS://b.example/ ftp://c.example/ svn+ssh://d.example/",
        "caf\u00E9 https://\u00E9xample.com/\u00E9t\u00E9 https://b.example/\U0001F600",
        "\u00A0https://a.example/\u3000https://b.example/\u2028https://c.example/\u0085x",
        "\u1680https://a.example/\u200Ahttps://b.example/\u205Fhttps://c.example/\u202F",
        "\u017Fttps://a.example/ \u212A://b.example/ h\u017Ftp://c.example/ https://d.example/",
        "\xC5https://a.example/ \xBFhttps://b.example/ \xE2\x84https://c.example/",
        "\xFFhttps://a.example/ https://b.example/\xFF https://c.example/\xC2",
        "https://user@a.example/ https://:p@b.example/ https://@c.example/ https://d.example/\\",
        "https:// http:/// https://? https://# https://[::1]/ https://[::1/ "
        "https://a.example:99999/",
        "www.example.com https://www.example.com/ http://www.example.com.",
        "a1+.-b://x 1http://a.example/ -https://b.example/ .https://c.example/",
        "\r\nhttps://a.example/\r\n\r\n\thttps://b.example/?x=1,\r\n",
        "text:https://a.example/ text://b.example/ ://c.example/ https:://d.example/",
        "https://a.example/>https://b.example/<https://c.example/'https://d.example/",
        "https://a.example/p?id=3&utm_source=s3, and more",
        "See https://a.example/p?id=3&utm_source=s3: the page. Is it https://b.example/?q=1? Yes",
        "x https://x.example/p?utm_source=1), then (https://y.example/a_(b)), [https://z/[1]]].",
        "https://a.example/p?q=1.:;!?)] https://b.example/)))))) https://c.example/((x)))",
        "https://. https://.. https://a.example:. (https://b.example/?). https://[::1]]:",
        "**https://a.example/?q=1** ~~https://b.example/~~ _x https://c.example/?q=1_ d_",
        "_a https://a.example/?q=_ __b https://b.example/?q=1__ _c_ https://c.example/_",
        "_one\nhttps://a.example/?q=1_ *_two https://b.example/?q=1_*, https://c.example/_",
        "**[two](https://a.example/y?fbclid=2)** ~~[four](https://b.example/w?q=4)~~",
        "(https://a.example/x?q=1): [link](https://b.example/?q=x)[^1]",
        "[t](https://c.example/ \"T\") [t](https://d.example/?q=1 'T') (https://e.example/x",
        "[![badge](https://img.example/b/x-y?q=x)](https://a.example/?q=y)](https://b.example/)",
        "(https://a.example/wiki/Foo_(bar)) [https://b.example/[1]] [https://[::1]/]",
        "(https://c.example/x] [https://d.example/y) ([https://e.example/(x])",
        "(https://a.example/?u=https://b.example/)(https://c.example/) (https://d/)x=https://e/",
        "(https://a.example/x.) (https://b.example/?q=1.) [https://c.example/x?!]",
        "((https://b.example/x)) (https://c.example/((x)y)z)) _[https://d.example/?q=_]_",
    };
    for (const std::string_view text : texts) {
        EXPECT_EQ(foundLinks(text), referenceLinks(text)) << text;
        expectPrimitivesAgree(text);
    }
}

TEST(TextLinkFinderDifferential, EveryCharacterAroundASchemeAndAStopper) {
    // Only U+017F and U+212A join a scheme outside ASCII, and only the white
    // space characters stop a link: every character of the first plane (and a
    // few beyond) is tried before, inside and after a scheme and in a link.
    std::vector<char32_t> scalars;
    for (char32_t c = 0; c < 0x10000; ++c) {
        if (c < 0xD800 || c > 0xDFFF) {
            scalars.push_back(c);
        }
    }
    for (const char32_t c : {0x10000U, 0x1F600U, 0x10FFFFU}) {
        scalars.push_back(c);
    }
    for (const char32_t c : scalars) {
        std::string s;
        internal::appendUtf8(s, c);
        for (const std::string& text :
             {s + "ttp://a", "x" + s + "://a", "1" + s + "-://", "http://a" + s + "b"}) {
            ASSERT_EQ(internal::findSchemeOccurrence(text), referenceScheme(text))
                << static_cast<unsigned>(c);
            ASSERT_EQ(internal::findSchemeOccurrence(text, 1), referenceScheme(text, 1))
                << static_cast<unsigned>(c);
        }
        const std::string link = "http://a" + s + "b";
        ASSERT_EQ(internal::linkStopperAtOrAfter(link, 0), referenceStopper(link, 0))
            << static_cast<unsigned>(c);
    }
}

TEST(TextLinkFinderDifferential, EveryCharacterAtEveryOffsetOfAWord) {
    // The finder skips plain text eight bytes at a time: a refused character,
    // a stopper or a scheme must be seen wherever it falls in a word.
    const std::string_view special[] = {
        "\x01",   "\x7F",   "\t",     "\r",     "\n",     " ",      "<",      ">",
        "\"",     "'",      "\u00A0", "\u0085", "\u3000", "\u2028", "\u200A", "\u200B",
        "\u200F", "\u202A", "\u2066", "\u2069", "\u2065", "\u00E9", "\xE2",   "\xE2\x80",
        "\xC2",   "\xFF",   "://",    "\u017F", "!",      "~",      "_",      "*"};
    const std::string plain = "https://a.example/abcdefghijklmnopqrstuvwxyz0123456789";
    for (const std::string_view piece : special) {
        for (std::size_t at = 0; at <= plain.size(); ++at) {
            const std::string text = plain.substr(0, at) + std::string(piece) + plain.substr(at);
            ASSERT_EQ(internal::isAdmissibleLinkText(text), referenceAdmissible(text)) << text;
            ASSERT_EQ(internal::linkStopperAtOrAfter(text, 0), referenceStopper(text, 0)) << text;
            ASSERT_EQ(foundLinks(text), referenceLinks(text)) << text;
        }
    }
}

TEST(TextLinkFinderDifferential, RandomTextsFindTheSameLinks) {
    const std::string_view pieces[] = {
        "https://",    "http://",    "HTTPS://", "hTtP://",  "ftp://", "a.example",
        "b.example/p", "/",          "?",        "#",        "=",      "&",
        "q=1",         "%2F",        "%",        ".",        ",",      ";",
        "!",           ":",          "//",       "(",        ")",      "[",
        "]",           "<",          ">",        "\"",       "'",      " ",
        " ",           " ",          "\n",       "\r\n",     "\t",     "\u00A0",
        "\u3000",      "\u2028",     "\u0085",   "\u00E9",   "\u017F", "\u212A",
        "\xC5",        "\xBF",       "\xE2",     "\x84\xAA", "\xFF",   "@",
        "\\",          "www.",       "1",        "+",        "-",      "x",
        "Z",           "\U0001F600", ":8080",    "[::1]",    "see ",   "utm_source=x",
        "_",           "__",         "_see ",    "*",        "~",      "x_ ",
        "](",          ")[",         "[![",      "**[",      ")**",    " \"T\")"};
    std::mt19937 random(20250611);
    std::size_t linksSeen = 0;
    for (int round = 0; round < 30'000; ++round) {
        std::string text;
        const std::size_t length = random() % 40;
        for (std::size_t i = 0; i < length; ++i) {
            text.append(pieces[random() % std::size(pieces)]);
        }
        const std::optional<std::vector<ByteRange>> expected = referenceLinks(text);
        ASSERT_EQ(foundLinks(text), expected) << text;
        linksSeen += expected ? expected->size() : 0;
        if (round % 16 == 0) {
            expectPrimitivesAgree(text);
        }
    }
    // The pieces are meant to form links often; without any the comparison
    // above would prove little.
    EXPECT_GT(linksSeen, 1000U);
}

TEST(TextLinkFinderDifferential, LinksAtTheEdgesOfALongText) {
    const std::string link = "https://a.example/?utm_source=x";
    for (const std::string& filler : {std::string(" "), std::string("\n"), std::string("x"),
                                      std::string("\u00A0"), std::string("(")}) {
        for (const std::size_t size :
             {65'536U - link.size(), 65'536U - link.size() - 1, 65'536U - link.size() + 1}) {
            std::string text;
            while (text.size() + filler.size() <= size) {
                text.append(filler);
            }
            const std::string atEnd = text + link;
            const std::string atStart = link + text;
            for (const std::string& whole : {atEnd, atStart}) {
                EXPECT_EQ(foundLinks(whole), referenceLinks(whole)) << whole.size();
            }
        }
    }
}

}  // namespace
}  // namespace scourlet
