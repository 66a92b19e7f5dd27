#include "ScourletCore/platform/internal/DefaultsValueCoding.h"

#include "ScourletCore/platform/Text.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include <sodium.h>

namespace scourlet::internal {

namespace {

constexpr std::string_view kDataMarker = "$data";
constexpr std::string_view kDateMarker = "$date";
constexpr std::string_view kDictMarker = "$dict";

// The subtype that marks a byte string as a date; any other is data.
constexpr std::uint64_t kDateSubtype = 0xD7;

// Settings never nest deeply; the limit keeps a hostile file from exhausting
// the stack in the recursive walks below.
constexpr int kMaxDepth = 64;

// Keys are unique already (they come from a std::map or from another object),
// so they are appended without ordered_map's linear search for duplicates.
void appendMember(Json& object, const std::string& key, Json value) {
    object.get_ref<Json::object_t&>().Json::object_t::Container::emplace_back(key,
                                                                              std::move(value));
}

bool isMarkerObject(const Json& value) {
    if (!value.is_object() || value.size() != 1) {
        return false;
    }
    const std::string& key = value.begin().key();
    return key == kDataMarker || key == kDateMarker || key == kDictMarker;
}

// Standard base64 with padding, as sodium_base64_VARIANT_ORIGINAL writes it.
// Written here because sodium's encoder runs in constant time, which settings
// do not need and which made it the slowest part of every write.
void appendBase64(std::string& out, const Json::binary_t& bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::size_t start = out.size();
    out.resize(start + (bytes.size() + 2) / 3 * 4);
    char* o = out.data() + start;
    const std::uint8_t* in = bytes.data();
    std::size_t left = bytes.size();
    for (; left >= 3; left -= 3, in += 3) {
        const std::uint32_t group =
            (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
        *o++ = kAlphabet[group >> 18];
        *o++ = kAlphabet[(group >> 12) & 0x3F];
        *o++ = kAlphabet[(group >> 6) & 0x3F];
        *o++ = kAlphabet[group & 0x3F];
    }
    if (left > 0) {
        const std::uint32_t group =
            (std::uint32_t{in[0]} << 16) | (left == 2 ? std::uint32_t{in[1]} << 8 : 0);
        *o++ = kAlphabet[group >> 18];
        *o++ = kAlphabet[(group >> 12) & 0x3F];
        *o++ = left == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=';
        *o++ = '=';
    }
}

bool fromBase64(const std::string& text, std::vector<std::uint8_t>& out) {
    out.clear();
    if (text.empty()) {
        return true;
    }
    out.resize(text.size() / 4 * 3 + 3);
    std::size_t decodedLength = 0;
    const char* end = nullptr;
    if (sodium_base642bin(out.data(), out.size(), text.data(), text.size(), nullptr, &decodedLength,
                          &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != text.data() + text.size()) {
        return false;
    }
    out.resize(decodedLength);
    return true;
}

bool normalize(Json& value, int depth) {
    if (depth > kMaxDepth) {
        return false;
    }
    switch (value.type()) {
        case Json::value_t::null:
            return depth == 0;
        case Json::value_t::boolean:
        case Json::value_t::number_integer:
            return true;
        case Json::value_t::number_unsigned: {
            const auto unsignedValue = value.get<std::uint64_t>();
            if (unsignedValue >
                static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                return false;
            }
            value = static_cast<std::int64_t>(unsignedValue);
            return true;
        }
        case Json::value_t::number_float:
            return std::isfinite(value.get<double>());
        case Json::value_t::string:
            return isValidUTF8(value.get_ref<const std::string&>());
        case Json::value_t::binary:
            if (!defaultsDateSeconds(value)) {
                value.get_binary().clear_subtype();
            }
            return true;
        case Json::value_t::array:
            for (Json& element : value) {
                if (!normalize(element, depth + 1)) {
                    return false;
                }
            }
            return true;
        case Json::value_t::object:
            for (auto& [key, member] : value.items()) {
                if (!isValidUTF8(key) || !normalize(member, depth + 1)) {
                    return false;
                }
            }
            return true;
        case Json::value_t::discarded:
            break;
    }
    return false;
}

// The file is written as text directly, laid out exactly as nlohmann's dump(2)
// lays out the document of marker objects it stands for: members and elements
// on lines of their own, two more spaces per level. Data, the bulk of a typical
// store, then goes out as base64 in one piece instead of through the JSON
// string escaper byte by byte. Scalars, strings and keys are still written by
// nlohmann (strictly: text that is not UTF-8 throws).
constexpr int kIndentStep = 2;

void appendIndent(std::string& out, int depth) {
    out.append(static_cast<std::size_t>(depth * kIndentStep), ' ');
}

void appendKey(std::string& out, std::string_view key, int depth) {
    appendIndent(out, depth);
    out.append(Json(key).dump(-1, ' ', false, Json::error_handler_t::strict));
    out.append(": ");
}

void appendEncoded(std::string& out, const Json& value, int depth);

// An object of one member whose value `appendValue` writes.
template <class AppendValue>
void appendOneMemberObject(std::string& out, std::string_view key, int depth,
                           AppendValue appendValue) {
    out.append("{\n");
    appendKey(out, key, depth + 1);
    appendValue();
    out.push_back('\n');
    appendIndent(out, depth);
    out.push_back('}');
}

void appendMembers(std::string& out, const Json& object, int depth) {
    if (object.empty()) {
        out.append("{}");
        return;
    }
    out.append("{\n");
    bool first = true;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!first) {
            out.append(",\n");
        }
        first = false;
        appendKey(out, it.key(), depth + 1);
        appendEncoded(out, it.value(), depth + 1);
    }
    out.push_back('\n');
    appendIndent(out, depth);
    out.push_back('}');
}

void appendEncoded(std::string& out, const Json& value, int depth) {
    switch (value.type()) {
        case Json::value_t::binary:
            if (const auto seconds = defaultsDateSeconds(value)) {
                appendOneMemberObject(out, kDateMarker, depth, [&] {
                    out.append(Json(*seconds).dump(-1, ' ', false, Json::error_handler_t::strict));
                });
                return;
            }
            appendOneMemberObject(out, kDataMarker, depth, [&] {
                out.push_back('"');  // the base64 alphabet needs no escapes
                appendBase64(out, value.get_binary());
                out.push_back('"');
            });
            return;
        case Json::value_t::array:
            if (value.empty()) {
                out.append("[]");
                return;
            }
            out.append("[\n");
            for (std::size_t i = 0; i < value.size(); ++i) {
                if (i > 0) {
                    out.append(",\n");
                }
                appendIndent(out, depth + 1);
                appendEncoded(out, value[i], depth + 1);
            }
            out.push_back('\n');
            appendIndent(out, depth);
            out.push_back(']');
            return;
        case Json::value_t::object:
            if (isMarkerObject(value)) {
                appendOneMemberObject(out, kDictMarker, depth,
                                      [&] { appendMembers(out, value, depth + 1); });
            } else {
                appendMembers(out, value, depth);
            }
            return;
        default:
            out.append(value.dump(-1, ' ', false, Json::error_handler_t::strict));
            return;
    }
}

bool decodeValue(const Json& in, Json& out, int depth, std::string& why);

bool decodeMembers(const Json& in, Json& out, int depth, std::string& why) {
    out = Json::object();
    for (const auto& [key, member] : in.items()) {
        Json decoded;
        if (!decodeValue(member, decoded, depth + 1, why)) {
            return false;
        }
        appendMember(out, key, std::move(decoded));
    }
    return true;
}

bool decodeValue(const Json& in, Json& out, int depth, std::string& why) {
    if (depth > kMaxDepth) {
        why = "values nest too deeply";
        return false;
    }
    switch (in.type()) {
        case Json::value_t::object:
            if (in.size() == 1 && in.begin().key() == kDataMarker) {
                const Json& text = in.begin().value();
                std::vector<std::uint8_t> bytes;
                if (!text.is_string() || !fromBase64(text.get_ref<const std::string&>(), bytes)) {
                    why = "malformed \"$data\" value";
                    return false;
                }
                out = Json::binary(std::move(bytes));
                return true;
            }
            if (in.size() == 1 && in.begin().key() == kDateMarker) {
                const Json& seconds = in.begin().value();
                if (!seconds.is_number() || !std::isfinite(seconds.get<double>())) {
                    why = "malformed \"$date\" value";
                    return false;
                }
                out = makeDefaultsDate(seconds.get<double>());
                return true;
            }
            if (in.size() == 1 && in.begin().key() == kDictMarker) {
                if (!in.begin().value().is_object()) {
                    why = "malformed \"$dict\" value";
                    return false;
                }
                return decodeMembers(in.begin().value(), out, depth + 1, why);
            }
            return decodeMembers(in, out, depth, why);
        case Json::value_t::array:
            out = Json::array();
            out.get_ref<Json::array_t&>().reserve(in.size());
            for (const Json& element : in) {
                Json decoded;
                if (!decodeValue(element, decoded, depth + 1, why)) {
                    return false;
                }
                out.push_back(std::move(decoded));
            }
            return true;
        default:
            out = in;
            if (out.is_null() || out.is_binary() || !normalize(out, depth + 1)) {
                why = "unsupported value";
                return false;
            }
            return true;
    }
}

}  // namespace

Json makeDefaultsDate(double secondsSince1970) {
    std::vector<std::uint8_t> bytes(sizeof(double));
    std::memcpy(bytes.data(), &secondsSince1970, sizeof(double));
    return Json::binary(std::move(bytes), kDateSubtype);
}

std::optional<double> defaultsDateSeconds(const Json& value) {
    if (!value.is_binary()) {
        return std::nullopt;
    }
    const Json::binary_t& bytes = value.get_binary();
    if (!bytes.has_subtype() || bytes.subtype() != kDateSubtype || bytes.size() != sizeof(double)) {
        return std::nullopt;
    }
    double seconds = 0;
    std::memcpy(&seconds, bytes.data(), sizeof(double));
    if (!std::isfinite(seconds)) {
        return std::nullopt;
    }
    return seconds;
}

bool normalizeDefaultsValue(Json& value) {
    return normalize(value, 0);
}

bool strictlyEqual(const Json& a, const Json& b) {
    if (a.type() != b.type()) {
        return false;
    }
    switch (a.type()) {
        case Json::value_t::number_float: {
            const double x = a.get<double>();
            const double y = b.get<double>();
            return x == y && std::signbit(x) == std::signbit(y);
        }
        case Json::value_t::array: {
            if (a.size() != b.size()) {
                return false;
            }
            for (std::size_t i = 0; i < a.size(); ++i) {
                if (!strictlyEqual(a[i], b[i])) {
                    return false;
                }
            }
            return true;
        }
        case Json::value_t::object: {
            if (a.size() != b.size()) {
                return false;
            }
            for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
                if (x.key() != y.key() || !strictlyEqual(x.value(), y.value())) {
                    return false;
                }
            }
            return true;
        }
        default:
            return a == b;
    }
}

Result<std::string, Error> encodeDefaultsFile(const DefaultsMap& values) {
    std::size_t dataBytes = 0;
    for (const auto& [key, value] : values) {
        dataBytes += value.is_binary() ? value.get_binary().size() : 0;
    }
    std::string text;
    text.reserve(dataBytes / 3 * 4 + values.size() * 64 + 16);
    try {
        if (values.empty()) {
            text.append("{}");
        } else {
            text.append("{\n");
            bool first = true;
            for (const auto& [key, value] : values) {
                if (!first) {
                    text.append(",\n");
                }
                first = false;
                appendKey(text, key, 1);
                appendEncoded(text, value, 1);
            }
            text.append("\n}");
        }
    } catch (const Json::exception& e) {
        return Error{e.what()};
    }
    text.push_back('\n');
    return text;
}

Result<DefaultsMap, Error> decodeDefaultsFile(std::string_view text) {
    auto parsed = parseJson(text);
    if (!parsed) {
        return Error{parsed.error().message};
    }
    if (!parsed->is_object()) {
        return Error{"the file does not hold a JSON object"};
    }
    DefaultsMap values;
    std::string why;
    for (auto& [key, encoded] : parsed->items()) {
        Json decoded;
        if (!decodeValue(encoded, decoded, 0, why)) {
            return Error{"\"" + key + "\": " + why};
        }
        values.insert_or_assign(key, std::move(decoded));
    }
    return values;
}

}  // namespace scourlet::internal
