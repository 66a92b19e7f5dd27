#include "ScourletCore/platform/Text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <utf8proc.h>

#include "ScourletCore/platform/internal/Utf8Codec.h"

namespace scourlet {

namespace {

using internal::decodeUtf8At;
using internal::decodeUtf8Before;
using internal::kInvalidScalar;

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool isAsciiWhitespace(unsigned char byte) {
    return byte == ' ' || (byte >= 0x09 && byte <= 0x0D);
}

bool hasNonAscii(std::string_view text) {
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        if ((word & 0x8080808080808080ULL) != 0) {
            return true;
        }
    }
    for (; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            return true;
        }
    }
    return false;
}

// Indic conjuncts (rule GB9c of Unicode 15.1, which utf8proc 2.8 predates): a
// consonant, then extending marks with at least one virama ("linker"), then a
// consonant stay one character, as in "\u0915\u094D\u0937". The consonants and
// viramas are those of the six scripts the rule names (Bengali, Devanagari,
// Gujarati, Oriya, Telugu, Malayalam).
struct ScalarRange {
    char32_t first;
    char32_t last;
};
constexpr ScalarRange kConjunctConsonants[] = {
    {0x0915, 0x0939}, {0x0958, 0x095F}, {0x0978, 0x097F}, {0x0995, 0x09A8}, {0x09AA, 0x09B0},
    {0x09B2, 0x09B2}, {0x09B6, 0x09B9}, {0x09DC, 0x09DD}, {0x09DF, 0x09DF}, {0x09F0, 0x09F1},
    {0x0A95, 0x0AA8}, {0x0AAA, 0x0AB0}, {0x0AB2, 0x0AB3}, {0x0AB5, 0x0AB9}, {0x0AF9, 0x0AF9},
    {0x0B15, 0x0B28}, {0x0B2A, 0x0B30}, {0x0B32, 0x0B33}, {0x0B35, 0x0B39}, {0x0B5C, 0x0B5D},
    {0x0B5F, 0x0B5F}, {0x0B71, 0x0B71}, {0x0C15, 0x0C28}, {0x0C2A, 0x0C39}, {0x0C58, 0x0C5A},
    {0x0D15, 0x0D3A},
};

bool isConjunctConsonant(char32_t scalar) {
    if (scalar < 0x0915 || scalar > 0x0D3A) {
        return false;
    }
    for (const ScalarRange& range : kConjunctConsonants) {
        if (scalar >= range.first && scalar <= range.last) {
            return true;
        }
    }
    return false;
}

bool isConjunctLinker(char32_t scalar) {
    switch (scalar) {
        case 0x094D:
        case 0x09CD:
        case 0x0ACD:
        case 0x0B4D:
        case 0x0C4D:
        case 0x0D4D:
            return true;
        default:
            return false;
    }
}

// Marks that may stand inside a conjunct: extending characters with a
// combining class, and the zero-width joiner.
bool isConjunctExtend(char32_t scalar) {
    if (scalar == 0x200D) {
        return true;
    }
    const utf8proc_property_t* property =
        utf8proc_get_property(static_cast<utf8proc_int32_t>(scalar));
    return property->boundclass == UTF8PROC_BOUNDCLASS_EXTEND && property->combining_class != 0;
}

// Where a run that may end in a conjunct stands after the latest scalar.
enum class ConjunctRun { none, afterConsonant, afterLinker };

ConjunctRun advanceConjunctRun(ConjunctRun run, char32_t scalar) {
    if (scalar < 0x80) {
        return ConjunctRun::none;
    }
    if (isConjunctConsonant(scalar)) {
        return ConjunctRun::afterConsonant;
    }
    if (run == ConjunctRun::none) {
        return run;
    }
    if (isConjunctLinker(scalar)) {
        return ConjunctRun::afterLinker;
    }
    return isConjunctExtend(scalar) ? run : ConjunctRun::none;
}

// Calls `visit(end)` with the byte offset at which each grapheme cluster ends,
// in order, until it returns false.
template <class Visit>
void forEachGraphemeEnd(std::string_view text, Visit&& visit) {
    if (text.empty()) {
        return;
    }
    const internal::DecodedScalar first = decodeUtf8At(text, 0);
    char32_t previous = first.scalar == kInvalidScalar ? kReplacementCharacter : first.scalar;
    std::size_t pos = first.size;
    std::int32_t state = 0;
    ConjunctRun conjunct = advanceConjunctRun(ConjunctRun::none, previous);
    while (pos < text.size()) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        char32_t next;
        std::size_t length;
        bool isBreak;
        if (byte < 0x80 && previous < 0x80) {
            // Between two ASCII characters there is always a break except inside
            // CR LF, and no state survives it.
            next = byte;
            length = 1;
            isBreak = !(previous == '\r' && byte == '\n');
            state = 0;
            conjunct = ConjunctRun::none;
        } else {
            const internal::DecodedScalar decoded = decodeUtf8At(text, pos);
            next = decoded.scalar == kInvalidScalar ? kReplacementCharacter : decoded.scalar;
            length = decoded.size;
            isBreak = utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(previous),
                                                       static_cast<utf8proc_int32_t>(next), &state);
            if (isBreak && conjunct == ConjunctRun::afterLinker && isConjunctConsonant(next)) {
                isBreak = false;
            }
            conjunct = advanceConjunctRun(conjunct, next);
        }
        if (isBreak && !visit(pos)) {
            return;
        }
        previous = next;
        pos += length;
    }
    visit(text.size());
}

// Byte length of the first `count` grapheme clusters.
std::size_t graphemePrefixLength(std::string_view text, std::size_t count) {
    if (count == 0) {
        return 0;
    }
    std::size_t seen = 0;
    std::size_t end = text.size();
    forEachGraphemeEnd(text, [&](std::size_t clusterEnd) {
        if (++seen == count) {
            end = clusterEnd;
            return false;
        }
        return true;
    });
    return end;
}

struct FreeDeleter {
    void operator()(utf8proc_uint8_t* p) const { std::free(p); }
};

// NFC form of `text`; nothing when it is not valid UTF-8.
std::unique_ptr<utf8proc_uint8_t, FreeDeleter> composed(std::string_view text,
                                                        utf8proc_ssize_t& length) {
    utf8proc_uint8_t* out = nullptr;
    // utf8proc_NFC() stops at a NUL byte; the mapping call takes a length.
    length = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                          static_cast<utf8proc_ssize_t>(text.size()), &out,
                          static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    if (length < 0) {
        std::free(out);
        return nullptr;
    }
    return std::unique_ptr<utf8proc_uint8_t, FreeDeleter>(out);
}

// True when every scalar is below U+0300: such text is already in NFC and
// holds nothing that composes with a neighbour, so byte equality decides.
// (Lead bytes from 0xCC on start U+0300 and above.)
bool belowCombiningMarks(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0xCC) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool isWhitespaceOrNewline(char32_t scalar) {
    if (scalar < 0x80) {
        return isAsciiWhitespace(static_cast<unsigned char>(scalar));
    }
    switch (scalar) {
        case 0x0085:
        case 0x00A0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return scalar >= 0x2000 && scalar <= 0x200A;
    }
}

std::string_view trimmingWhitespaceAndNewlines(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        const auto byte = static_cast<unsigned char>(text[begin]);
        if (byte < 0x80) {
            if (!isAsciiWhitespace(byte)) {
                break;
            }
            ++begin;
            continue;
        }
        const internal::DecodedScalar decoded = decodeUtf8At(text, begin);
        if (decoded.scalar == kInvalidScalar || !isWhitespaceOrNewline(decoded.scalar)) {
            break;
        }
        begin += decoded.size;
    }
    std::size_t end = text.size();
    while (end > begin) {
        const auto byte = static_cast<unsigned char>(text[end - 1]);
        if (byte < 0x80) {
            if (!isAsciiWhitespace(byte)) {
                break;
            }
            --end;
            continue;
        }
        const internal::DecodedScalar decoded = decodeUtf8Before(text, end);
        if (decoded.scalar == kInvalidScalar || !isWhitespaceOrNewline(decoded.scalar) ||
            end - decoded.size < begin) {
            break;
        }
        end -= decoded.size;
    }
    return text.substr(begin, end - begin);
}

std::size_t graphemeCount(std::string_view text) {
    std::size_t count = 0;
    forEachGraphemeEnd(text, [&](std::size_t) {
        ++count;
        return true;
    });
    return count;
}

std::string graphemePrefix(std::string_view text, std::size_t count) {
    return std::string(text.substr(0, graphemePrefixLength(text, count)));
}

std::string graphemeSuffix(std::string_view text, std::size_t count) {
    const std::size_t total = graphemeCount(text);
    if (count >= total) {
        return std::string(text);
    }
    return std::string(text.substr(graphemePrefixLength(text, total - count)));
}

std::string asciiLowercased(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string lowercased(std::string_view text) {
    if (!hasNonAscii(text)) {
        return asciiLowercased(text);
    }
    std::string out;
    out.reserve(text.size() + 2);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (static_cast<unsigned char>(c) < 0x80) {
            out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
            ++pos;
            continue;
        }
        const internal::DecodedScalar decoded = decodeUtf8At(text, pos);
        if (decoded.scalar == kInvalidScalar) {
            out.push_back(c);
        } else if (decoded.scalar == 0x0130) {
            // The one unconditional lower-case mapping to two scalars
            // (SpecialCasing.txt): capital I with dot above keeps its dot.
            out += "i\xCC\x87";
        } else {
            internal::appendUtf8(out, static_cast<char32_t>(utf8proc_tolower(
                                          static_cast<utf8proc_int32_t>(decoded.scalar))));
        }
        pos += decoded.size;
    }
    return out;
}

bool isValidUTF8(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (pos + 8 <= text.size()) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + pos, sizeof word);
            if ((word & 0x8080808080808080ULL) == 0) {
                pos += 8;
                continue;
            }
        }
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const internal::DecodedScalar decoded = decodeUtf8At(text, pos);
        if (decoded.scalar == kInvalidScalar) {
            return false;
        }
        pos += decoded.size;
    }
    return true;
}

bool canonicallyEquivalent(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;
    }
    if (belowCombiningMarks(a) && belowCombiningMarks(b)) {
        return false;
    }
    utf8proc_ssize_t lengthA = 0;
    utf8proc_ssize_t lengthB = 0;
    const auto composedA = composed(a, lengthA);
    if (!composedA) {
        return false;
    }
    const auto composedB = composed(b, lengthB);
    if (!composedB) {
        return false;
    }
    return lengthA == lengthB &&
           std::memcmp(composedA.get(), composedB.get(), static_cast<std::size_t>(lengthA)) == 0;
}

}  // namespace scourlet
