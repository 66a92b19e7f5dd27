// Private helpers of the user-defaults stores: which values a store accepts,
// strict comparison, and the file form of a whole store.
//
// In memory a date is a Json byte string of the date subtype holding the
// seconds since 1970 as a double (makeDefaultsDate); any other byte string is
// data.
//
// The file form is one JSON object, key -> value. JSON has no byte strings or
// dates, so data is written as {"$data": "<base64>"} and a date as
// {"$date": <seconds since 1970>}; an object that itself has exactly one key,
// "$data", "$date" or "$dict", is wrapped as {"$dict": {...}} so that it
// cannot be mistaken for such a marker. Every accepted value reads back with
// its kind intact (an integer stays an integer, 1.0 stays a double, data stays
// data, a date stays a date).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Result.h"

namespace scourlet::internal {

// Keyed by std::string with transparent lookup, so a std::string_view key
// finds its entry without a copy.
using DefaultsMap = std::map<std::string, Json, std::less<>>;

// A date value. A non-finite `secondsSince1970` gives a byte string that
// normalizeDefaultsValue() turns into data.
Json makeDefaultsDate(double secondsSince1970);
// The seconds since 1970 of a date value; nothing for any other value.
std::optional<double> defaultsDateSeconds(const Json& value);

// Brings `value` into the one form a store keeps and says whether it may be
// stored: Booleans, 64-bit integers, finite doubles, UTF-8 strings, data,
// dates, and arrays and objects of these. Non-negative integers that nlohmann
// keeps as unsigned become signed (false above INT64_MAX); a byte string that
// is not a well-formed date (a finite double) loses its subtype and is data. Null
// is accepted only at the top (the caller treats it as removal). Returns false,
// leaving `value` partly normalized, for anything else.
bool normalizeDefaultsValue(Json& value);

// Equality that also compares kinds: 1 and 1.0 differ, as do 0.0 and -0.0.
bool strictlyEqual(const Json& a, const Json& b);

// The file text of a whole store (ends with a line break). Fails only for a
// value that normalizeDefaultsValue() would refuse.
Result<std::string, Error> encodeDefaultsFile(const DefaultsMap& values);

// Reads a store back from file text. Fails when the text is not JSON, is not an
// object, or holds a value that no store could have written (null, a malformed
// "$data" or "$date" marker, an integer beyond 64 bits).
Result<DefaultsMap, Error> decodeDefaultsFile(std::string_view text);

}  // namespace scourlet::internal
