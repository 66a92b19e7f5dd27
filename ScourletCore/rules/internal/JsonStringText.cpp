#include "ScourletCore/rules/internal/JsonStringText.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace scourlet::internal {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// How many bytes from `p` belong to one UTF-8 sequence, and whether they form
// a whole well-formed one. A byte that cannot start a sequence counts alone; a
// sequence cut short ends before the first byte that does not fit, which is
// then read again on its own (Unicode Table 3-7 ranges: no overlong forms, no
// surrogates, nothing above U+10FFFF).
struct Sequence {
    std::size_t size;
    bool wellFormed;
};

Sequence sequenceAt(const unsigned char* p, const unsigned char* end) {
    const unsigned char lead = *p;
    std::size_t length = 0;
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        secondMin = lead == 0xE0 ? 0xA0 : 0x80;
        secondMax = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        secondMin = lead == 0xF0 ? 0x90 : 0x80;
        secondMax = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {1, false};
    }
    const auto available = static_cast<std::size_t>(end - p);
    std::size_t matched = 1;
    while (matched < length && matched < available) {
        const unsigned char byte = p[matched];
        const unsigned char low = matched == 1 ? secondMin : 0x80;
        const unsigned char high = matched == 1 ? secondMax : 0xBF;
        if (byte < low || byte > high) {
            break;
        }
        ++matched;
    }
    return {matched, matched == length};
}

constexpr std::uint64_t kOnes = 0x0101010101010101;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

// The high bit of every byte of `word` that may need more than a copy: a
// control character, '"', '\\' or a byte of a non-ASCII sequence. Ids are
// mostly plain ASCII, so most of the text is passed over a word at a time.
// (x - kOnes * n) & ~x & kHighBits marks every byte of x below n (n up to
// 0x80), and possibly more significant bytes above a marked one, never a less
// significant one: the least significant mark is exact.
std::uint64_t attentionMarks(std::uint64_t word) {
    auto below = [](std::uint64_t x, unsigned char n) { return (x - kOnes * n) & ~x & kHighBits; };
    return (word & kHighBits) | below(word, 0x20) | below(word ^ (kOnes * '"'), 1) |
           below(word ^ (kOnes * '\\'), 1);
}

std::uint64_t wordAt(const unsigned char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// The last `left` (1 to 7) bytes before `end`, in the positions a word read
// from `end - left` would give them, the other positions holding plain bytes.
// At least 8 bytes must end at `end`.
std::uint64_t tailWord(const unsigned char* end, std::size_t left) {
    const std::uint64_t last = wordAt(end - sizeof(std::uint64_t));
    const unsigned passed = static_cast<unsigned>(sizeof(std::uint64_t) - left) * 8;
    const std::uint64_t plain = kOnes * 'a';
    if constexpr (std::endian::native == std::endian::little) {
        return (last >> passed) | (plain << (left * 8));
    } else {
        return (last << passed) | (plain >> (left * 8));
    }
}

bool isPlain(unsigned char c) {
    return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

// How many bytes from `p` on are plain (copied as they are), counting at most
// one word; 0 when the byte at `p` is not. A text of 8 bytes or more is read a
// word at a time, its last few bytes as the end of its last whole word.
std::size_t plainBytesAt(const unsigned char* p, const unsigned char* end, std::size_t textSize) {
    const auto left = static_cast<std::size_t>(end - p);
    std::uint64_t marks = 0;
    if (left >= sizeof(std::uint64_t)) {
        marks = attentionMarks(wordAt(p));
    } else if (textSize >= sizeof(std::uint64_t)) {
        marks = attentionMarks(tailWord(end, left));
    } else {
        return isPlain(*p) ? 1 : 0;
    }
    if (marks == 0) {
        return std::min(left, sizeof(std::uint64_t));
    }
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<std::size_t>(std::countr_zero(marks)) / 8;
    } else {
        return isPlain(*p) ? 1 : 0;  // the first mark is exact only in little-endian order
    }
}

void appendEscapedAscii(std::string& out, unsigned char c) {
    switch (c) {
        case '"':
            out.append("\\\"");
            return;
        case '\\':
            out.append("\\\\");
            return;
        case '\b':
            out.append("\\b");
            return;
        case '\t':
            out.append("\\t");
            return;
        case '\n':
            out.append("\\n");
            return;
        case '\f':
            out.append("\\f");
            return;
        case '\r':
            out.append("\\r");
            return;
        default: {
            constexpr char kHex[] = "0123456789abcdef";
            const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0x0F]};
            out.append(escape, sizeof escape);
            return;
        }
    }
}

}  // namespace

void appendJsonStringContent(std::string& out, std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    // Bytes from `copyFrom` to `p` are written unchanged, in one append.
    const auto* copyFrom = p;
    auto flush = [&out, &copyFrom](const unsigned char* upTo) {
        out.append(reinterpret_cast<const char*>(copyFrom),
                   static_cast<std::size_t>(upTo - copyFrom));
    };
    while (p < end) {
        if (const std::size_t plain = plainBytesAt(p, end, text.size()); plain > 0) {
            p += plain;
            continue;
        }
        if (*p < 0x80) {
            flush(p);
            appendEscapedAscii(out, *p);
            copyFrom = ++p;
            continue;
        }
        const Sequence sequence = sequenceAt(p, end);
        if (sequence.wellFormed) {
            p += sequence.size;
            continue;
        }
        flush(p);
        out.append(kReplacementCharacter);
        p += sequence.size;
        copyFrom = p;
    }
    flush(p);
}

}  // namespace scourlet::internal
