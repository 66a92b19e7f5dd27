// Links in text: the links found lie inside the text in order without
// overlapping, each is an http(s) link that parses, and replacing them keeps
// every byte outside the links as it was. A link never ends in the sentence's
// punctuation or the writer's emphasis, nor holds the writer's closing
// bracket after "(" or "[". Cleaning keeps every byte outside a removed
// parameter: a link that only lost parameters is the link as found with some
// whole "name=value" items deleted, one separator ("&", or "&amp;" in a link
// from HTML source) with each, and the "?" when none is left; the kept items
// stay byte for byte, however they are encoded, in the single link of a text
// and in a text of links alike.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/rules/ClipboardLink.h"
#include "ScourletCore/rules/TextURLBlock.h"
#include "ScourletCore/rules/URLCleaner.h"

namespace {

using namespace scourlet;

bool startsWithWebScheme(std::string_view url) {
    auto lower = [](std::string_view text) {
        std::string out(text);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return out;
    };
    return lower(url.substr(0, 7)) == "http://" || lower(url.substr(0, 8)) == "https://";
}

// The user's punctuation, which no link may end in: sentence marks, the
// emphasis marks "*" and "~", and a ")" or "]" that the link did not open.
bool endsInUserPunctuation(std::string_view url) {
    const char last = url.back();
    auto count = [url](char c) { return std::count(url.begin(), url.end(), c); };
    return std::string_view(".,;:!?*~").find(last) != std::string_view::npos ||
           (last == ')' && count(')') > count('(')) || (last == ']' && count(']') > count('['));
}

// A link after "(" or "[" ends before the writer's closing bracket: it holds
// no ")" or "]" that closes no bracket opened inside it, so the writer's
// closer never goes into the link.
bool leavesTheWritersClosingBracketOut(std::string_view text, ByteRange range) {
    if (range.first == 0 || (text[range.first - 1] != '(' && text[range.first - 1] != '[')) {
        return true;
    }
    long parens = 0;
    long brackets = 0;
    for (const char c : text.substr(range.first, range.second - range.first)) {
        parens += c == '(' ? 1 : c == ')' ? -1 : 0;
        brackets += c == '[' ? 1 : c == ']' ? -1 : 0;
        if (parens < 0 || brackets < 0) {
            return false;
        }
    }
    return true;
}

// The text of the line of `text` before byte `at`.
std::string_view lineBefore(std::string_view text, std::size_t at) {
    const std::size_t lineStart = text.find_last_of("\n\r", at == 0 ? 0 : at - 1);
    if (at == 0 || lineStart == std::string_view::npos) {
        return text.substr(0, at);
    }
    return text.substr(lineStart + 1, at - lineStart - 1);
}

// A link at `range` of `text` and the runs of "_" around it: a "_" right
// after the link is only left out of it when a "_" came before it on its
// line; and when the line plainly opened emphasis with a run of "_" (after
// white space or at the line's start, before a letter, with no other "_"
// up to the link), the link does not keep a closing run of that length.
bool underscoresAreJudgedByTheirLine(std::string_view text, ByteRange range) {
    const std::string_view line = lineBefore(text, range.first);
    const std::string_view url = text.substr(range.first, range.second - range.first);
    if (range.second < text.size() && text[range.second] == '_' &&
        line.find('_') == std::string_view::npos) {
        return false;
    }
    const std::size_t runEnd = line.find_last_of('_');
    if (runEnd == std::string_view::npos || runEnd + 1 >= line.size()) {
        return true;
    }
    const std::size_t runStart = line.find_last_not_of('_', runEnd);
    const std::size_t length = runEnd - (runStart == std::string_view::npos ? 0 : runStart + 1) + 1;
    const char after = line[runEnd + 1];
    const bool opens = (runStart == std::string_view::npos || line[runStart] == ' ') &&
                       ((after >= 'a' && after <= 'z') || (after >= 'A' && after <= 'Z'));
    const std::size_t urlRun = url.size() - 1 - url.find_last_not_of('_');
    return !(opens && urlRun == length);
}

// A cleaner that removes parameters and does nothing else to a link.
URLCleaner& parameterCleaner() {
    static URLCleaner* const cleaner = [] {
        auto engine = std::make_shared<RulesEngine>(std::make_shared<InMemoryUserDefaults>(), nullptr);
        engine->loadRules(R"json({"providers":{"trackers":{"urlPattern":"^https?://",
            "rules":["utm_[a-z]*","fbclid","ref"]}}})json");
        FUZZ_CHECK(!engine->compiledProviders().empty());
        return new URLCleaner(engine, nullptr, nullptr, "fuzz", PrivacyRedirectSettings::disabled());
    }();
    return *cleaner;
}

// The pieces of a query: its items as written and, between each two, the
// separator that joined them ("&amp;" read whole, never as "&" and "amp;").
struct QueryPieces {
    std::vector<std::string_view> items;
    std::vector<std::string_view> separators;  // separators[i] stands before items[i + 1]
};

QueryPieces piecesOf(std::string_view query) {
    QueryPieces pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t amp = query.find('&', start);
        if (amp == std::string_view::npos) {
            pieces.items.push_back(query.substr(start));
            return pieces;
        }
        pieces.items.push_back(query.substr(start, amp - start));
        const std::size_t length = query.substr(amp).starts_with("&amp;") ? 5 : 1;
        pieces.separators.push_back(query.substr(amp, length));
        start = amp + length;
    }
}

// Whether `cleaned` is `url` with `removedCount` whole query items deleted,
// each with one separator, and nothing else changed: the text before the "?"
// and the fragment are the same, the kept items appear in order and verbatim,
// and between two kept items stands one of the separators that stood between
// them in `url` (no separator before the first kept item or after the last).
bool isUrlWithItemsDeleted(std::string_view url, std::string_view cleaned,
                           std::size_t removedCount) {
    const auto components = URLComponents::parse(url);
    FUZZ_CHECK(components.has_value());
    const auto query = components->percentEncodedQuery();
    if (!query) {
        return false;
    }
    const auto queryStart = static_cast<std::size_t>(query->data() - components->string().data());
    const std::string_view before = url.substr(0, queryStart - 1);
    const std::string_view after = url.substr(queryStart + query->size());
    if (!cleaned.starts_with(before) || !cleaned.ends_with(after) ||
        cleaned.size() < before.size() + after.size()) {
        return false;
    }
    std::string_view keptQuery =
        cleaned.substr(before.size(), cleaned.size() - before.size() - after.size());
    const QueryPieces original = piecesOf(*query);
    if (keptQuery.empty()) {
        return removedCount == original.items.size();
    }
    if (!keptQuery.starts_with('?')) {
        return false;
    }
    keptQuery.remove_prefix(1);
    const QueryPieces kept = piecesOf(keptQuery);
    if (original.items.size() != kept.items.size() + removedCount) {
        return false;
    }
    // Each kept item is matched to the earliest original item that fits: an
    // earlier match never leaves fewer separators to choose from for the next.
    std::size_t next = 0;  // the first original item not yet passed
    for (std::size_t k = 0; k < kept.items.size(); ++k) {
        bool separatorSeen = k == 0;
        bool matched = false;
        for (; next < original.items.size(); ++next) {
            if (k > 0 && next > 0 && original.separators[next - 1] == kept.separators[k - 1]) {
                separatorSeen = true;
            }
            if (separatorSeen && original.items[next] == kept.items[k]) {
                matched = true;
                ++next;
                break;
            }
        }
        if (!matched) {
            return false;
        }
    }
    return true;
}

// The cleaner's result for `url` when all it did was remove query parameters.
bool onlyRemovedParameters(const CleanResult& result) {
    bool only = !result.removedQueryParameters.empty();
    for (const auto& operation : result.operations) {
        only = only && operation.kind == CleanOperationKind::localParameterRemoval &&
               operation.removedParameters == result.removedQueryParameters;
    }
    return only;
}

// Cleans `url` and checks the result: a clean that only removed parameters
// took whole items and nothing else. Gives the link as it must stand after
// the clean.
std::string checkedClean(std::string_view url) {
    CleanOutcome outcome = parameterCleaner().cleanWithOutcome(url);
    const CleanResult* result = outcome.cleanedResult();
    if (!result) {
        return std::string(url);
    }
    if (onlyRemovedParameters(*result)) {
        FUZZ_CHECK(isUrlWithItemsDeleted(url, result->cleanedURL,
                                         result->removedQueryParameters.size()));
    }
    return result->cleanedURL;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view text = fuzz::asText(data, size);
    if (const auto single = ClipboardLink::make(text)) {
        FUZZ_CHECK(!endsInUserPunctuation(single->url()));
        FUZZ_CHECK(underscoresAreJudgedByTheirLine(text, single->range()));
        FUZZ_CHECK(leavesTheWritersClosingBracketOut(text, single->range()));
        const std::string cleanedLink = checkedClean(single->url());
        const std::string cleanedText = single->replacingURL(cleanedLink);
        FUZZ_CHECK(cleanedText.size() == text.size() - single->url().size() + cleanedLink.size());
        FUZZ_CHECK(cleanedText.starts_with(text.substr(0, single->range().first)));
        FUZZ_CHECK(cleanedText.ends_with(text.substr(single->range().second)));
    }
    const auto block = TextURLBlock::make(text);
    if (!block) {
        return 0;
    }
    FUZZ_CHECK(block->text() == text);

    std::size_t end = 0;
    std::vector<std::string> replacements;
    for (const auto& match : block->matches()) {
        FUZZ_CHECK(match.range.first >= end);
        FUZZ_CHECK(match.range.first < match.range.second);
        FUZZ_CHECK(match.range.second <= text.size());
        FUZZ_CHECK(text.substr(match.range.first, match.range.second - match.range.first) ==
                   match.url);
        FUZZ_CHECK(startsWithWebScheme(match.url));
        FUZZ_CHECK(URLComponents::parseLenient(match.url).has_value());
        FUZZ_CHECK(!endsInUserPunctuation(match.url));
        FUZZ_CHECK(underscoresAreJudgedByTheirLine(text, match.range));
        FUZZ_CHECK(leavesTheWritersClosingBracketOut(text, match.range));
        end = match.range.second;
        replacements.push_back("<link " + std::to_string(replacements.size()) + ">");
    }

    FUZZ_CHECK(block->replacingURLs(
                   [](std::size_t, std::string_view url) { return std::string(url); }) == text);
    std::string expected;
    std::size_t copied = 0;
    for (std::size_t i = 0; i < block->matches().size(); ++i) {
        const auto& range = block->matches()[i].range;
        expected.append(text.substr(copied, range.first - copied)).append(replacements[i]);
        copied = range.second;
    }
    expected.append(text.substr(copied));
    FUZZ_CHECK(block->replacingURLs([&](std::size_t number, std::string_view) {
        return replacements.at(number);
    }) == expected);

    // Cleaned, the text loses the removed parameters and nothing else: each
    // link only whole items (checked as it is cleaned), the rest not a byte.
    std::vector<std::string> cleanedLinks;
    for (const auto& match : block->matches()) {
        cleanedLinks.push_back(checkedClean(match.url));
    }
    const std::string cleanedText = block->replacingURLs(
        [&](std::size_t number, std::string_view) { return cleanedLinks.at(number); });
    std::string withCleanedLinks;
    copied = 0;
    for (std::size_t i = 0; i < block->matches().size(); ++i) {
        const auto& range = block->matches()[i].range;
        withCleanedLinks.append(text.substr(copied, range.first - copied)).append(cleanedLinks[i]);
        copied = range.second;
    }
    withCleanedLinks.append(text.substr(copied));
    FUZZ_CHECK(cleanedText == withCleanedLinks);
    return 0;
}
