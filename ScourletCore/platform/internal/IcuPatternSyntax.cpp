#include "ScourletCore/platform/internal/IcuPatternSyntax.h"

#include <algorithm>
#include <cstddef>

namespace scourlet::internal {

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

bool hasHexDigits(std::string_view text, std::size_t pos, std::size_t count) {
    if (text.size() - pos < count) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!isHexDigit(text[pos + i])) {
            return false;
        }
    }
    return true;
}

// Length of the UTF-8 sequence announced by `lead`, so an escaped non-ASCII
// character is copied whole.
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    if (lead >= 0xC0) {
        return 2;
    }
    return 1;
}

class Translator {
public:
    explicit Translator(std::string_view pattern) : in_(pattern) { out_.reserve(in_.size() + 8); }

    std::optional<std::string> run() {
        while (pos_ < in_.size()) {
            if (!step()) {
                return std::nullopt;
            }
        }
        return std::move(out_);
    }

private:
    bool step() {
        const char c = in_[pos_];
        if (quoting_) {
            if (in_.compare(pos_, 2, "\\E") == 0) {
                quoting_ = false;
                copy(2);
            } else {
                copy(1);
            }
            return true;
        }
        if (c == '\\') {
            return escape();
        }
        if (classDepth_ == 0) {
            if (c == '[') {
                openClass();
                return true;
            }
            // "(*" is a PCRE2 verb ((*UTF), (*LIMIT_MATCH=...), (*SKIP)...); for ICU
            // it is a quantifier with nothing to repeat.
            if (c == '(' && pos_ + 1 < in_.size() && in_[pos_ + 1] == '*') {
                return false;
            }
            // A comment is copied whole, so that brackets inside it open no set.
            if (in_.compare(pos_, 3, "(?#") == 0) {
                const std::size_t close = in_.find(')', pos_ + 3);
                copy(close == std::string_view::npos ? in_.size() - pos_ : close + 1 - pos_);
                return true;
            }
            copy(1);
            return true;
        }
        return classCharacter();
    }

    void openClass() {
        classDepth_ = 1;
        copy(1);
        if (pos_ < in_.size() && in_[pos_] == '^') {
            copy(1);
        }
        // A "]" right after "[" or "[^" is a literal for both engines.
        if (pos_ < in_.size() && in_[pos_] == ']') {
            copy(1);
        }
    }

    bool classCharacter() {
        const char c = in_[pos_];
        if (c == ']') {
            classDepth_ = 0;
            copy(1);
            return true;
        }
        if (c == '[') {
            // "[:alpha:]" inside a class means the same to both engines; any other
            // "[" opens a nested ICU set, which PCRE2 would read as a literal "[".
            if (pos_ + 1 < in_.size() && in_[pos_ + 1] == ':') {
                const std::size_t close = in_.find(":]", pos_ + 2);
                if (close != std::string_view::npos) {
                    copy(close + 2 - pos_);
                    return true;
                }
            }
            return false;
        }
        // Set difference and intersection: PCRE2 has neither and would read a
        // range or literals instead.
        if ((c == '-' || c == '&') && pos_ + 1 < in_.size() && in_[pos_ + 1] == c) {
            return false;
        }
        copy(1);
        return true;
    }

    bool escape() {
        if (pos_ + 1 >= in_.size()) {
            copy(1);  // a trailing backslash; PCRE2 refuses it as ICU does
            return true;
        }
        const char next = in_[pos_ + 1];
        switch (next) {
            case 'Q':
                quoting_ = true;
                copy(2);
                return true;
            case 'u':
                return hexEscape(4);
            case 'U':
                return hexEscape(8);
            case '0':
                return octalEscape();
            case 'N':
                // ICU's \N{CHARACTER NAME}; PCRE2 knows no character names.
                return false;
            default:
                copy(1 + sequenceLength(static_cast<unsigned char>(next)));
                return true;
        }
    }

    bool hexEscape(std::size_t digits) {
        if (!hasHexDigits(in_, pos_ + 2, digits)) {
            return false;
        }
        out_ += "\\x{";
        out_.append(in_.substr(pos_ + 2, digits));
        out_ += '}';
        pos_ += 2 + digits;
        return true;
    }

    // ICU: "\0" followed by one to three octal digits, at most \0377.
    bool octalEscape() {
        std::size_t end = pos_ + 2;
        unsigned value = 0;
        while (end < in_.size() && end - (pos_ + 2) < 3 && isOctalDigit(in_[end])) {
            const unsigned next = value * 8 + static_cast<unsigned>(in_[end] - '0');
            if (next > 0377) {
                break;
            }
            value = next;
            ++end;
        }
        if (end == pos_ + 2) {
            return false;
        }
        out_ += "\\o{";
        out_.append(in_.substr(pos_ + 2, end - (pos_ + 2)));
        out_ += '}';
        pos_ = end;
        return true;
    }

    void copy(std::size_t count) {
        count = std::min(count, in_.size() - pos_);
        out_.append(in_.substr(pos_, count));
        pos_ += count;
    }

    std::string_view in_;
    std::string out_;
    std::size_t pos_ = 0;
    int classDepth_ = 0;
    bool quoting_ = false;
};

}  // namespace

std::optional<std::string> translateIcuPattern(std::string_view icuPattern) {
    if (icuPattern.empty()) {
        return std::nullopt;
    }
    return Translator(icuPattern).run();
}

}  // namespace scourlet::internal
