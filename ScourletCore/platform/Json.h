// Strict JSON decoding over nlohmann-json.
//
// Records decode with exact type checks: a Boolean must be a JSON Boolean, an
// integer a JSON integer within 64 bits, a string a JSON string. Unknown keys
// are ignored. Objects keep their file order, so iterating a decoded map is
// deterministic.
//
//   auto r = decodeJson(text, [](const Json& j) {
//       JsonObjectReader o(j);
//       return Thing{o.required<std::string>("name"), o.optional<bool>("flag").value_or(false)};
//   });
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "ScourletCore/platform/Result.h"

namespace scourlet {

using Json = nlohmann::ordered_json;

struct DecodingError {
    std::string message;
    bool operator==(const DecodingError&) const = default;
};

// Thrown by the readers below and caught by decodeJson(); it never leaves the core.
class DecodingException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void throwDecoding(std::string_view context, std::string_view what);

// Parses JSON text. Fails on a syntax error or on text that is not UTF-8.
Result<Json, DecodingError> parseJson(std::string_view text);

// Converts one JSON value to T with exact type checks, throwing DecodingException.
// Specialized for bool, int64_t, double, std::string, std::vector<U> and the
// enumerations with a RawValueTable (RawValueEnum.h); any other T must offer
// `static T fromJson(const Json&)`.
template <class T, class = void>
struct JsonValue {
    static T decode(const Json& json, std::string_view /*context*/) { return T::fromJson(json); }
};

template <>
struct JsonValue<bool> {
    static bool decode(const Json& json, std::string_view context);
};
template <>
struct JsonValue<std::int64_t> {
    static std::int64_t decode(const Json& json, std::string_view context);
};
template <>
struct JsonValue<double> {
    static double decode(const Json& json, std::string_view context);
};
template <>
struct JsonValue<std::string> {
    static std::string decode(const Json& json, std::string_view context);
};
template <class U>
struct JsonValue<std::vector<U>> {
    static std::vector<U> decode(const Json& json, std::string_view context) {
        if (!json.is_array()) {
            throwDecoding(context, "expected an array");
        }
        std::vector<U> out;
        out.reserve(json.size());
        for (const auto& element : json) {
            out.push_back(JsonValue<U>::decode(element, context));
        }
        return out;
    }
};

// Reads the keys of one JSON object.
class JsonObjectReader {
public:
    // Throws DecodingException unless `json` is an object. The reader keeps a
    // reference: `json` must outlive it.
    explicit JsonObjectReader(const Json& json, std::string_view context = {});

    // The value under `key`; throws when the key is missing, null or of the wrong type.
    template <class T>
    T required(std::string_view key) const {
        const Json* value = find(key);
        if (value == nullptr || value->is_null()) {
            throwDecoding(key, "required key is missing");
        }
        return JsonValue<T>::decode(*value, key);
    }

    // The value under `key`, or nothing when it is missing or null; throws when
    // it is present with the wrong type.
    template <class T>
    std::optional<T> optional(std::string_view key) const {
        const Json* value = find(key);
        if (value == nullptr || value->is_null()) {
            return std::nullopt;
        }
        return JsonValue<T>::decode(*value, key);
    }

    // The raw value under `key`, or nullptr when the key is missing.
    const Json* find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    const Json& json() const { return json_; }

private:
    const Json& json_;
};

// Runs `decode` over the parsed `text`, turning every decoding failure into a
// DecodingError.
template <class F>
auto decodeJson(std::string_view text, F&& decode)
    -> Result<std::decay_t<decltype(decode(std::declval<const Json&>()))>, DecodingError> {
    auto parsed = parseJson(text);
    if (!parsed) {
        return parsed.error();
    }
    try {
        return decode(*parsed);
    } catch (const DecodingException& e) {
        return DecodingError{e.what()};
    } catch (const Json::exception& e) {
        return DecodingError{e.what()};
    }
}

// Runs `decode` over an already parsed value.
template <class F>
auto decodeJsonValue(const Json& json, F&& decode)
    -> Result<std::decay_t<decltype(decode(json))>, DecodingError> {
    try {
        return decode(json);
    } catch (const DecodingException& e) {
        return DecodingError{e.what()};
    } catch (const Json::exception& e) {
        return DecodingError{e.what()};
    }
}

// Compact JSON text. Never fails: invalid UTF-8 in strings is replaced.
std::string dumpJson(const Json& json);

}  // namespace scourlet
