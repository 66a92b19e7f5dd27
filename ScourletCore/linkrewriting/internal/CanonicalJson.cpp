#include "ScourletCore/linkrewriting/internal/CanonicalJson.h"

#include <cassert>

namespace scourlet::internal {

void appendCanonicalJsonString(std::string& out, std::string_view value) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\b':
                out.append("\\b");
                break;
            case '\t':
                out.append("\\t");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\f':
                out.append("\\f");
                break;
            case '\r':
                out.append("\\r");
                break;
            default:
                if (byte < 0x20) {
                    out.append("\\u00");
                    out.push_back(kHex[byte >> 4]);
                    out.push_back(kHex[byte & 0x0f]);
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
}

void CanonicalJsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!levels_.empty()) {
        assert(!levels_.back().isObject && "a value inside an object needs a key first");
        if (!levels_.back().first) {
            out_.push_back(',');
        }
        levels_.back().first = false;
    }
}

void CanonicalJsonWriter::beginObject() {
    beforeValue();
    out_.push_back('{');
    levels_.push_back(Level{true, true, {}});
}

void CanonicalJsonWriter::endObject() {
    assert(!levels_.empty() && levels_.back().isObject && !afterKey_);
    levels_.pop_back();
    out_.push_back('}');
}

void CanonicalJsonWriter::beginArray() {
    beforeValue();
    out_.push_back('[');
    levels_.push_back(Level{true, false, {}});
}

void CanonicalJsonWriter::endArray() {
    assert(!levels_.empty() && !levels_.back().isObject);
    levels_.pop_back();
    out_.push_back(']');
}

void CanonicalJsonWriter::key(std::string_view name) {
    assert(!levels_.empty() && levels_.back().isObject && !afterKey_);
    Level& level = levels_.back();
    assert((level.first || level.lastKey < name) && "keys must be written in ascending order");
    if (!level.first) {
        out_.push_back(',');
    }
    level.first = false;
    level.lastKey.assign(name);
    appendCanonicalJsonString(out_, name);
    out_.push_back(':');
    afterKey_ = true;
}

void CanonicalJsonWriter::string(std::string_view value) {
    beforeValue();
    appendCanonicalJsonString(out_, value);
}

void CanonicalJsonWriter::number(std::uint64_t value) {
    beforeValue();
    out_.append(std::to_string(value));
}

void CanonicalJsonWriter::number(std::int64_t value) {
    beforeValue();
    out_.append(std::to_string(value));
}

void CanonicalJsonWriter::boolean(bool value) {
    beforeValue();
    out_.append(value ? "true" : "false");
}

void CanonicalJsonWriter::canonicalValue(std::string_view json) {
    beforeValue();
    out_.append(json);
}

}  // namespace scourlet::internal
