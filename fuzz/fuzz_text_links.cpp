// Links in text: the links found lie inside the text in order without
// overlapping, each is an http(s) link that parses, and replacing them keeps
// every byte outside the links as it was.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/rules/TextURLBlock.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view text = fuzz::asText(data, size);
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
    return 0;
}
