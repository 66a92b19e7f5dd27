// The JSON string writer of the saved rule states must write every string byte
// for byte as the JSON library does, malformed UTF-8 included.
#include "ScourletCore/rules/internal/JsonStringText.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "ScourletCore/platform/Json.h"

namespace scourlet {
namespace {

std::string written(std::string_view text) {
    std::string out = "\"";
    internal::appendJsonStringContent(out, text);
    out.push_back('"');
    return out;
}

std::string hex(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        out.append({kDigits[byte >> 4], kDigits[byte & 0x0F], ' '});
    }
    return out;
}

TEST(JsonStringTextTest, WritesEveryStringAsTheJsonLibraryDoes) {
    using namespace std::string_literals;
    const std::string cases[] = {
        "",
        "a",
        "plain text longer than one word",
        "\"",
        "\\",
        "\0\x01\x07\b\t\n\v\f\r\x1b\x1f"s,
        " ~\x7f",
        "\xc3\xa9",          // é
        "\xe2\x98\x83",      // ☃
        "\xf0\x9f\x98\x80",  // 😀
        "\xf4\x8f\xbf\xbf",  // U+10FFFF
        // Bytes that start no sequence.
        "\x80",
        "\xbf",
        "\xc0\xaf",
        "\xc1\xbf",
        "\xf5\x80\x80\x80",
        "\xff",
        // Sequences cut short by another byte or by the end.
        "\xe2\x82",
        "\xe2\x82"
        "A",
        "\xe2\x82\xe2\x82\xac",
        "\xf0\x9f\x98",
        "\xf0\x9f\x98\"",
        "\xc3",
        "\xc3\xc3\xa9",
        // Overlong forms, surrogates and values above U+10FFFF.
        "\xe0\x80\x80",
        "\xe0\x9f\xbf",
        "\xed\xa0\x80",
        "\xed\xbf\xbf",
        "\xf0\x80\x80\x80",
        "\xf0\x8f\xbf\xbf",
        "\xf4\x90\x80\x80",
    };
    // Each case alone and at every offset of a longer plain text, so that it
    // falls on and across the word boundaries of the scan and into its tail.
    for (const std::string& piece : cases) {
        for (std::size_t before = 0; before <= 9; ++before) {
            for (std::size_t after : {0, 1, 7, 8}) {
                const std::string text = std::string(before, 'x') + piece + std::string(after, 'y');
                EXPECT_EQ(written(text), dumpJson(Json(text))) << hex(text);
            }
        }
    }
}

}  // namespace
}  // namespace scourlet
