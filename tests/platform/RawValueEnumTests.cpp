// The generated raw-value functions, checked on a small enumeration of the
// test's own so that the expectations do not depend on any shipped table.
#include <array>
#include <optional>
#include <string_view>

#include <gtest/gtest.h>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {
namespace {

enum class Fruit { apple, bloodOrange, pear };
enum class Plain { only };
enum class Pair { first, second };

}  // namespace

template <>
struct RawValueTable<Fruit> {
    static constexpr std::string_view name = "fruit";
    static constexpr auto cases = std::to_array<RawValueCase<Fruit>>({
        {Fruit::apple, "apple"},
        {Fruit::bloodOrange, "Blood Orange"},
        {Fruit::pear, "pear"},
    });
};

static_assert(RawValueEnumeration<Fruit>);
static_assert(!RawValueEnumeration<Plain>);
static_assert(!RawValueEnumeration<int>);

// Tables that the generics must refuse at compile time: out of declaration
// order, or with one text for two cases.
static_assert(internal::rawValueCasesAreSound(
    std::to_array<RawValueCase<Pair>>({{Pair::first, "first"}, {Pair::second, "second"}})));
static_assert(!internal::rawValueCasesAreSound(
    std::to_array<RawValueCase<Pair>>({{Pair::second, "second"}, {Pair::first, "first"}})));
static_assert(!internal::rawValueCasesAreSound(
    std::to_array<RawValueCase<Pair>>({{Pair::first, "same"}, {Pair::second, "same"}})));

namespace {

TEST(RawValueEnumTest, RoundTripsEveryCaseInDeclarationOrder) {
    static_assert(allCases<Fruit>() == std::array{Fruit::apple, Fruit::bloodOrange, Fruit::pear});
    static_assert(rawValue(Fruit::bloodOrange) == "Blood Orange");
    for (Fruit fruit : allCases<Fruit>()) {
        EXPECT_EQ(enumFromRawValue<Fruit>(rawValue(fruit)), fruit) << rawValue(fruit);
        EXPECT_EQ(JsonValue<Fruit>::decode(toJson(fruit), "fruit"), fruit);
    }
}

TEST(RawValueEnumTest, RawValueMustMatchExactly) {
    for (std::string_view raw : {"Apple", "blood orange", "Blood Orange ", " pear", "", "fig"}) {
        EXPECT_EQ(enumFromRawValue<Fruit>(raw), std::nullopt) << raw;
    }
}

TEST(RawValueEnumTest, ValueOutsideTheEnumerationHasNoRawValue) {
    EXPECT_EQ(rawValue(static_cast<Fruit>(3)), "");
    EXPECT_EQ(rawValue(static_cast<Fruit>(-1)), "");
}

TEST(RawValueEnumTest, DecodingFailuresNameTheKeyAndTheEnumeration) {
    const struct {
        Json json;
        std::string_view message;
    } cases[] = {
        {Json("Pear"), "\"basket\": unknown fruit \"Pear\""},
        {Json(""), "\"basket\": unknown fruit \"\""},
        {Json(1), "\"basket\": expected a string naming the fruit"},
        {Json(nullptr), "\"basket\": expected a string naming the fruit"},
        {Json::array({"pear"}), "\"basket\": expected a string naming the fruit"},
    };
    for (const auto& c : cases) {
        const auto result = decodeJsonValue(
            c.json, [](const Json& j) { return JsonValue<Fruit>::decode(j, "basket"); });
        ASSERT_FALSE(result) << c.json.dump();
        EXPECT_EQ(result.error().message, c.message);
    }
}

}  // namespace
}  // namespace scourlet
