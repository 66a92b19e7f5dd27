// Links in text: the links found lie inside the text in order without
// overlapping, each is an http(s) link that parses, and replacing them keeps
// every byte outside the links as it was. A link never ends in the sentence's
// punctuation or the writer's emphasis, nor holds the writer's closing
// bracket after "(" or "[", so cleaning it keeps every byte outside a removed
// parameter: the text comes back with only the removed parameters (and the
// "&" or "?" before them) gone.
#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/PercentEncoding.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/rules/ClipboardLink.h"
#include "ScourletCore/rules/TextURLBlock.h"
#include "ScourletCore/rules/URLCleaner.h"
#include "ScourletCore/rules/internal/RawQuery.h"

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

// A kept segment that the cleaner writes back as it was whatever the host:
// nothing to decode, one "=" at most, nothing that encoding again escapes.
bool isWrittenBackAsItIs(std::string_view segment) {
    const std::size_t equals = segment.find('=');
    if (equals != std::string_view::npos && segment.find('=', equals + 1) != std::string_view::npos) {
        return false;
    }
    for (const char c : segment) {
        if (c != '=' && !PercentEncodeSet::urlQueryItemAllowed.contains(c)) {
            return false;
        }
    }
    return true;
}

// What a clean of `url` that only removed parameters gives: `url` with the
// segments of the removed names gone; nothing when a kept segment may come
// back in another spelling.
std::optional<std::string> withParametersRemoved(std::string_view url,
                                                 const std::vector<std::string>& removedNames) {
    const auto components = URLComponents::parse(url);
    FUZZ_CHECK(components.has_value());
    const auto query = components->percentEncodedQuery();
    FUZZ_CHECK(query.has_value());
    const std::size_t queryStart = static_cast<std::size_t>(query->data() - components->string().data());
    const std::set<std::string> removed(removedNames.begin(), removedNames.end());
    std::string kept;
    bool any = false;
    for (const auto& item : internal::parseRawQuery(query)) {
        if (removed.contains(item.name)) {
            continue;
        }
        if (!isWrittenBackAsItIs(item.segment)) {
            return std::nullopt;
        }
        kept.append(any ? "&" : "").append(item.segment);
        any = true;
    }
    std::string expected(url.substr(0, queryStart - 1));  // up to the "?"
    if (any) {
        expected.append("?").append(kept);
    }
    expected.append(url.substr(queryStart + query->size()));  // the fragment, if any
    return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view text = fuzz::asText(data, size);
    if (const auto single = ClipboardLink::make(text)) {
        FUZZ_CHECK(!endsInUserPunctuation(single->url()));
        FUZZ_CHECK(underscoresAreJudgedByTheirLine(text, single->range()));
        FUZZ_CHECK(leavesTheWritersClosingBracketOut(text, single->range()));
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

    // Cleaned, the text loses the removed parameters and nothing else. Links
    // that a clean changed otherwise, or whose kept parameters may come back
    // spelled anew, are taken as the cleaner gave them.
    std::vector<std::optional<CleanResult>> results;
    for (const auto& match : block->matches()) {
        CleanOutcome outcome = parameterCleaner().cleanWithOutcome(match.url);
        CleanResult* result = outcome.cleanedResult();
        results.push_back(result ? std::optional(std::move(*result)) : std::nullopt);
    }
    const std::string cleanedText = block->replacingURLs(
        [&](std::size_t number, std::string_view url) {
            const auto& result = results.at(number);
            return result ? result->cleanedURL : std::string(url);
        });
    std::string withoutParameters;
    copied = 0;
    for (std::size_t i = 0; i < block->matches().size(); ++i) {
        const auto& match = block->matches()[i];
        withoutParameters.append(text.substr(copied, match.range.first - copied));
        copied = match.range.second;
        const std::optional<CleanResult>& result = results[i];
        if (!result) {
            withoutParameters.append(match.url);
            continue;
        }
        bool onlyParameters = !result->removedQueryParameters.empty();
        for (const auto& operation : result->operations) {
            onlyParameters = onlyParameters &&
                             operation.kind == CleanOperationKind::localParameterRemoval &&
                             operation.removedParameters == result->removedQueryParameters;
        }
        const auto removed =
            onlyParameters ? withParametersRemoved(match.url, result->removedQueryParameters)
                           : std::nullopt;
        withoutParameters.append(removed ? *removed : result->cleanedURL);
    }
    withoutParameters.append(text.substr(copied));
    FUZZ_CHECK(cleanedText == withoutParameters);
    return 0;
}
