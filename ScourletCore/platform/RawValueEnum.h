// Enumerations whose cases are stored and shown as fixed texts ("raw values").
//
// An enumeration opts in by specializing RawValueTable next to its declaration:
// a readable `name` for error messages and one {case, raw value} pair per case,
// in declaration order. Everything else is generated from that one table: the
// raw value of a case, the case for a raw value, the list of all cases, JSON
// encoding and strict JSON decoding. Raw values end up in settings, statistics
// keys and stored records, so once shipped they never change.
//
//   template <> struct RawValueTable<Fruit> {
//       static constexpr std::string_view name = "fruit";
//       static constexpr auto cases = std::to_array<RawValueCase<Fruit>>(
//           {{Fruit::apple, "apple"}, {Fruit::pear, "pear"}});
//   };
//   rawValue(Fruit::pear);                  // "pear"
//   enumFromRawValue<Fruit>("Pear");        // nothing: matching is exact
//   for (Fruit f : allCases<Fruit>()) { ... }
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "ScourletCore/platform/Json.h"

namespace scourlet {

// One case of an enumeration and its raw value.
template <class E>
struct RawValueCase {
    E value;
    std::string_view rawValue;
};

// Specialized by each enumeration with string raw values (see above). The
// primary template is deliberately empty, so only opted-in enumerations match
// RawValueEnumeration.
template <class E>
struct RawValueTable {};

template <class E>
concept RawValueEnumeration = std::is_enum_v<E> && requires {
    { RawValueTable<E>::name } -> std::convertible_to<std::string_view>;
    { RawValueTable<E>::cases[0] } -> std::convertible_to<const RawValueCase<E>&>;
    RawValueTable<E>::cases.size();
};

namespace internal {

// rawValue() indexes the table by the enumerator's value, and decoding relies
// on every raw value naming one case only.
template <class E, std::size_t N>
consteval bool rawValueCasesAreSound(const std::array<RawValueCase<E>, N>& cases) {
    for (std::size_t i = 0; i < N; ++i) {
        if (static_cast<std::size_t>(cases[i].value) != i) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (cases[j].rawValue == cases[i].rawValue) {
                return false;
            }
        }
    }
    return true;
}

// The table behind every generic below, checked once per enumeration.
template <class E>
struct CheckedRawValueTable {
    static_assert(rawValueCasesAreSound(RawValueTable<E>::cases),
                  "RawValueTable cases must follow the declaration order, with distinct texts");
    static constexpr const auto& cases = RawValueTable<E>::cases;
};

template <class E>
constexpr auto makeAllCases() {
    constexpr const auto& cases = CheckedRawValueTable<E>::cases;
    std::array<E, cases.size()> all{};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        all[i] = cases[i].value;
    }
    return all;
}

template <class E>
inline constexpr auto allCasesArray = makeAllCases<E>();

// Kept out of line: they only run on bad input.
[[noreturn]] void throwNotRawValueString(std::string_view context, std::string_view name);
[[noreturn]] void throwUnknownRawValue(std::string_view context, std::string_view name,
                                       std::string_view raw);

}  // namespace internal

// Every case, in declaration order; usable in constant expressions
// (`std::array<int, allCases<E>().size()>`).
template <RawValueEnumeration E>
constexpr const auto& allCases() {
    return internal::allCasesArray<E>;
}

// The raw value of `value`; empty for a value outside the enumeration.
template <RawValueEnumeration E>
constexpr std::string_view rawValue(E value) {
    const auto index = static_cast<std::size_t>(value);
    constexpr const auto& cases = internal::CheckedRawValueTable<E>::cases;
    return index < cases.size() ? cases[index].rawValue : std::string_view{};
}

// The case whose raw value is exactly `raw` (case, spacing and punctuation
// count), or nothing for any other text.
template <RawValueEnumeration E>
constexpr std::optional<E> enumFromRawValue(std::string_view raw) {
    for (const auto& entry : internal::CheckedRawValueTable<E>::cases) {
        if (entry.rawValue == raw) {
            return entry.value;
        }
    }
    return std::nullopt;
}

// The case as its raw value, a JSON string.
template <RawValueEnumeration E>
Json toJson(E value) {
    return Json(std::string(rawValue(value)));
}

// Reads a case from its raw value. Throws DecodingException when the JSON value
// is not a string ("expected a string naming the <name>") or names no case
// ("unknown <name> \"<text>\"").
template <class E>
requires RawValueEnumeration<E>
struct JsonValue<E, void> {
    static E decode(const Json& json, std::string_view context) {
        if (!json.is_string()) {
            internal::throwNotRawValueString(context, RawValueTable<E>::name);
        }
        const auto& raw = json.get_ref<const std::string&>();
        if (const auto value = enumFromRawValue<E>(raw)) {
            return *value;
        }
        internal::throwUnknownRawValue(context, RawValueTable<E>::name, raw);
    }
};

}  // namespace scourlet
