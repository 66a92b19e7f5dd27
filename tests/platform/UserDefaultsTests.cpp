// Behaviour every settings store shares, run against both implementations.
#include "ScourletCore/platform/UserDefaults.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

struct InMemoryMaker {
    std::unique_ptr<UserDefaults> make() { return std::make_unique<InMemoryUserDefaults>(); }
};

struct FileMaker {
    testing::TempDir dir;
    std::unique_ptr<UserDefaults> make() {
        return std::make_unique<FileUserDefaults>(dir / "settings" / "store.json");
    }
};

template <class Maker>
class UserDefaultsContract : public ::testing::Test {
protected:
    Maker maker;
    std::unique_ptr<UserDefaults> owned = maker.make();
    UserDefaults& defaults = *owned;
};

using Stores = ::testing::Types<InMemoryMaker, FileMaker>;
class StoreNames {
public:
    template <class T>
    static std::string GetName(int) {
        return std::is_same_v<T, InMemoryMaker> ? "InMemory" : "File";
    }
};
TYPED_TEST_SUITE(UserDefaultsContract, Stores, StoreNames);

struct ConversionCase {
    const char* name;
    Json value;
    bool asBool;
    std::int64_t asInteger;
    double asDouble;
    std::optional<std::string> asString;
};

TYPED_TEST(UserDefaultsContract, ScalarReadersConvertLikeFoundation) {
    const double inf = std::numeric_limits<double>::infinity();
    const ConversionCase cases[] = {
        {"true", true, true, 1, 1.0, "1"},
        {"false", false, false, 0, 0.0, "0"},
        {"zero", std::int64_t{0}, false, 0, 0.0, "0"},
        {"negative", std::int64_t{-5}, true, -5, -5.0, "-5"},
        {"int64 max", kMax, true, kMax, 9223372036854775807.0, "9223372036854775807"},
        {"int64 min", kMin, true, kMin, -9223372036854775808.0, "-9223372036854775808"},
        {"double", 2.75, true, 2, 2.75, "2.75"},
        {"negative double truncates toward zero", -2.75, true, -2, -2.75, "-2.75"},
        {"double zero", 0.0, false, 0, 0.0, "0"},
        {"whole double", 1.0, true, 1, 1.0, "1"},
        {"short double text", 0.1, true, 0, 0.1, "0.1"},
        {"huge double clamps", 1e300, true, kMax, 1e300, "1e+300"},
        {"huge negative double clamps", -1e300, true, kMin, -1e300, "-1e+300"},
        {"YES", "YES", true, 0, 0.0, "YES"},
        {"true text", "true", true, 0, 0.0, "true"},
        {"no", "no", false, 0, 0.0, "no"},
        {"false text", "false", false, 0, 0.0, "false"},
        {"leading number", "  42px", true, 42, 42.0, "  42px"},
        {"signed", "-7", true, -7, -7.0, "-7"},
        {"plus sign", "+8", true, 8, 8.0, "+8"},
        {"leading zeros", "007", true, 7, 7.0, "007"},
        {"zero text", "0", false, 0, 0.0, "0"},
        {"decimal text", "3.9", true, 3, 3.9, "3.9"},
        {"fraction only", ".5", false, 0, 0.5, ".5"},
        {"exponent", "2.5e3x", true, 2, 2500.0, "2.5e3x"},
        {"hexadecimal is not read", "0x10", false, 0, 0.0, "0x10"},
        {"inf is not read", "inf", false, 0, 0.0, "inf"},
        {"integer overflow clamps", "99999999999999999999", true, kMax, 1e20,
         "99999999999999999999"},
        {"negative overflow clamps", "-99999999999999999999", true, kMin, -1e20,
         "-99999999999999999999"},
        {"double overflow", "1e400", true, 1, inf, "1e400"},
        {"negative double overflow", "-1e400", true, -1, -inf, "-1e400"},
        {"double underflow", "1e-400", true, 1, 0.0, "1e-400"},
        {"long zero fraction underflows", "0." + std::string(400, '0') + "1", false, 0, 0.0,
         "0." + std::string(400, '0') + "1"},
        {"empty", "", false, 0, 0.0, ""},
        {"other text starting with t", "tomato", true, 0, 0.0, "tomato"},
        {"data", Json::binary({1, 2}), false, 0, 0.0, std::nullopt},
        {"array", Json::array({"1"}), false, 0, 0.0, std::nullopt},
        {"dictionary", Json::object({{"a", 1}}), false, 0, 0.0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        this->defaults.set("k", c.value);
        EXPECT_EQ(this->defaults.boolForKey("k"), c.asBool);
        EXPECT_EQ(this->defaults.integerForKey("k"), c.asInteger);
        EXPECT_EQ(this->defaults.doubleForKey("k"), c.asDouble);
        EXPECT_EQ(this->defaults.stringForKey("k"), c.asString);
    }
}

TYPED_TEST(UserDefaultsContract, AbsentKeysReadAsDefaults) {
    auto& d = this->defaults;
    EXPECT_FALSE(d.contains("missing"));
    EXPECT_EQ(d.object("missing"), std::nullopt);
    EXPECT_FALSE(d.boolForKey("missing"));
    EXPECT_EQ(d.integerForKey("missing"), 0);
    EXPECT_EQ(d.doubleForKey("missing"), 0.0);
    EXPECT_EQ(d.stringForKey("missing"), std::nullopt);
    EXPECT_EQ(d.dataForKey("missing"), std::nullopt);
    EXPECT_EQ(d.arrayForKey("missing"), std::nullopt);
    EXPECT_EQ(d.dictionaryForKey("missing"), std::nullopt);
    EXPECT_EQ(d.stringArrayForKey("missing"), std::nullopt);
    EXPECT_TRUE(d.dictionaryRepresentation().empty());
}

TYPED_TEST(UserDefaultsContract, StrictReadersNeverConvert) {
    auto& d = this->defaults;
    d.setData("data", {0x01, 0x02});
    d.setString("base64Text", "AQI=");
    d.set("strings", Json::array({"a", "b"}));
    d.set("mixed", Json::array({"a", 1}));
    d.set("empty", Json::array());
    d.set("dict", Json::object({{"a", "b"}}));

    EXPECT_EQ(d.dataForKey("data"), (DefaultsData{0x01, 0x02}));
    EXPECT_EQ(d.dataForKey("base64Text"), std::nullopt) << "a string is never data";
    EXPECT_EQ(d.stringForKey("data"), std::nullopt);

    EXPECT_EQ(d.stringArrayForKey("strings"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(d.stringArrayForKey("mixed"), std::nullopt);
    EXPECT_EQ(d.stringArrayForKey("empty"), std::vector<std::string>{});
    EXPECT_EQ(d.stringArrayForKey("base64Text"), std::nullopt);
    EXPECT_EQ(d.arrayForKey("mixed"), Json::array({"a", 1}));
    EXPECT_EQ(d.arrayForKey("dict"), std::nullopt);
    EXPECT_EQ(d.arrayForKey("data"), std::nullopt);

    EXPECT_EQ(d.dictionaryForKey("dict"), Json::object({{"a", "b"}}));
    EXPECT_EQ(d.dictionaryForKey("strings"), std::nullopt);
    EXPECT_EQ(d.dictionaryForKey("base64Text"), std::nullopt);
}

TYPED_TEST(UserDefaultsContract, WritersStoreTheirKinds) {
    auto& d = this->defaults;
    d.setBool("b", true);
    d.setInteger("i", 1);
    d.setDouble("d", 1.0);
    d.setString("s", "x");
    d.setData("data", {});
    d.set("unsigned", Json(std::uint64_t{7}));
    d.set("tagged", Json::binary({1}, 42));

    EXPECT_TRUE(d.object("b")->is_boolean());
    EXPECT_TRUE(d.object("i")->is_number_integer());
    EXPECT_FALSE(d.object("i")->is_number_unsigned());
    EXPECT_TRUE(d.object("d")->is_number_float());
    EXPECT_TRUE(d.object("s")->is_string());
    EXPECT_EQ(d.dataForKey("data"), DefaultsData{});
    EXPECT_FALSE(d.object("unsigned")->is_number_unsigned()) << "kept as a signed integer";
    EXPECT_EQ(d.integerForKey("unsigned"), 7);
    EXPECT_FALSE(d.object("tagged")->get_binary().has_subtype());
    EXPECT_EQ(d.dictionaryRepresentation().size(), 7u);
}

TYPED_TEST(UserDefaultsContract, DatesAreAKindOfTheirOwn) {
    using std::chrono::system_clock;
    auto& d = this->defaults;
    const system_clock::time_point whole{std::chrono::seconds(1'800'000'000)};
    const system_clock::time_point withMicros = whole + std::chrono::microseconds(123'456);
    const system_clock::time_point beforeEpoch{std::chrono::seconds(-86'400)};
    d.setDate("whole", whole);
    d.setDate("micros", withMicros);
    d.setDate("before 1970", beforeEpoch);
    d.setDouble("number", 1'800'000'000.0);
    d.setInteger("integer", 1'800'000'000);
    d.setString("text", "2027-01-15T08:00:00Z");
    d.setData("eight bytes", DefaultsData(8, 0));

    EXPECT_EQ(d.dateForKey("whole"), whole);
    EXPECT_EQ(d.dateForKey("before 1970"), beforeEpoch);
    const auto micros = d.dateForKey("micros");
    ASSERT_TRUE(micros.has_value());
    EXPECT_LT(std::chrono::abs(*micros - withMicros), std::chrono::microseconds(1));

    for (const char* key : {"number", "integer", "text", "eight bytes", "absent"}) {
        EXPECT_EQ(d.dateForKey(key), std::nullopt) << key << " is no date";
    }
    // A date converts to nothing else.
    EXPECT_EQ(d.dataForKey("whole"), std::nullopt);
    EXPECT_EQ(d.stringForKey("whole"), std::nullopt);
    EXPECT_EQ(d.doubleForKey("whole"), 0.0);
    EXPECT_EQ(d.integerForKey("whole"), 0);
    EXPECT_FALSE(d.boolForKey("whole"));
    EXPECT_EQ(d.dictionaryForKey("whole"), std::nullopt);

    int changes = 0;
    Connection c = d.observe("whole", [&] { ++changes; });
    d.setDate("whole", whole);
    EXPECT_EQ(changes, 0) << "the same date again is no change";
    d.setDate("whole", whole + std::chrono::seconds(1));
    EXPECT_EQ(changes, 1);
}

TYPED_TEST(UserDefaultsContract, RefusesValuesNoStoreCanKeep) {
    auto& d = this->defaults;
    Json deep = Json::array();
    for (int i = 0; i < 70; ++i) {
        deep = Json::array({std::move(deep)});
    }
    const std::pair<const char*, Json> refused[] = {
        {"null inside an array", Json::array({1, nullptr})},
        {"null inside a dictionary", Json::object({{"a", nullptr}})},
        {"unsigned above int64", Json(std::numeric_limits<std::uint64_t>::max())},
        {"NaN", Json(std::nan(""))},
        {"infinity", Json(std::numeric_limits<double>::infinity())},
        {"invalid UTF-8 string", Json(std::string("\xC3\x28"))},
        {"surrogate in UTF-8", Json(std::string("\xED\xA0\x80"))},
        {"invalid UTF-8 dictionary key", Json::object({{std::string("\xFF"), 1}})},
        {"nesting too deep", deep},
    };
    for (const auto& [name, value] : refused) {
        SCOPED_TRACE(name);
        d.setString("k", "before");
        d.set("k", value);
        EXPECT_EQ(d.stringForKey("k"), "before");
    }
    d.setString(std::string("\xC0\xAF"), "x");
    EXPECT_EQ(d.dictionaryRepresentation().size(), 1u) << "a key that is not UTF-8 is refused";

    d.set("k", nullptr);
    EXPECT_FALSE(d.contains("k")) << "a null value removes the key";
    d.setDouble("nan", std::nan(""));
    EXPECT_FALSE(d.contains("nan"));
}

TYPED_TEST(UserDefaultsContract, UpdateChangesTheStoredValueInOneStep) {
    auto& d = this->defaults;
    int calls = 0;
    Connection c = d.observe("k", [&] { ++calls; });
    const DefaultsValueChange increment = [](std::optional<DefaultsValue> value) {
        return DefaultsValue(value ? value->get<std::int64_t>() + 1 : 1);
    };
    d.update("k", increment);
    d.update("k", increment);
    EXPECT_EQ(d.integerForKey("k"), 2);
    EXPECT_EQ(calls, 2);

    d.update("k", [](std::optional<DefaultsValue> value) { return value; });
    EXPECT_EQ(calls, 2) << "an update that keeps the value is no change";
    d.update("k", [](std::optional<DefaultsValue>) { return DefaultsValue(std::nan("")); });
    EXPECT_EQ(d.integerForKey("k"), 2) << "a value the store cannot keep changes nothing";
    EXPECT_EQ(calls, 2);

    d.setData("data", {1, 2});
    std::optional<DefaultsValue> seen;
    d.update("data", [&seen](std::optional<DefaultsValue> value) {
        seen = value;
        return std::optional<DefaultsValue>();
    });
    ASSERT_TRUE(seen && seen->is_binary()) << "data reaches the change as data";
    EXPECT_FALSE(d.contains("data")) << "no value removes the key";
    d.update("gone", [](std::optional<DefaultsValue>) { return DefaultsValue(nullptr); });
    EXPECT_FALSE(d.contains("gone"));
}

TYPED_TEST(UserDefaultsContract, ObserversRunOncePerChange) {
    auto& d = this->defaults;
    int calls = 0;
    int otherCalls = 0;
    Connection c = d.observe("k", [&] { ++calls; });
    Connection other = d.observe("other", [&] { ++otherCalls; });

    d.setInteger("k", 1);
    EXPECT_EQ(calls, 1);
    d.setInteger("k", 1);
    EXPECT_EQ(calls, 1) << "an equal value is no change";
    d.setDouble("k", 1.0);
    EXPECT_EQ(calls, 2) << "another kind is a change";
    d.set("k", Json::object({{"a", Json::array({1, 2})}}));
    d.set("k", Json::object({{"a", Json::array({1, 2})}}));
    EXPECT_EQ(calls, 3);
    d.removeObject("k");
    EXPECT_EQ(calls, 4);
    d.removeObject("k");
    EXPECT_EQ(calls, 4) << "removing an absent key is no change";
    EXPECT_EQ(otherCalls, 0);

    c.reset();
    d.setInteger("k", 2);
    EXPECT_EQ(calls, 4) << "no call after the connection is gone";
}

TYPED_TEST(UserDefaultsContract, ObserversMayUseTheStore) {
    auto& d = this->defaults;
    std::optional<std::int64_t> seen;
    Connection c = d.observe("k", [&] {
        seen = d.integerForKey("k");
        d.setInteger("mirror", d.integerForKey("k"));
    });
    d.setInteger("k", 5);
    EXPECT_EQ(seen, 5) << "the new value is visible to the observer";
    EXPECT_EQ(d.integerForKey("mirror"), 5);
}

TYPED_TEST(UserDefaultsContract, ConnectionMayOutliveTheStore) {
    Connection c = this->defaults.observe("k", [] {});
    this->owned.reset();
    c.reset();
    SUCCEED();
}

TYPED_TEST(UserDefaultsContract, ConcurrentWritersAndReadersLoseNothing) {
    auto& d = this->defaults;
    std::atomic<int> notifications{0};
    Connection c = d.observe("t0-0", [&] { ++notifications; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&d, t] {
            for (int i = 0; i < 25; ++i) {
                const std::string key = "t" + std::to_string(t) + "-" + std::to_string(i);
                d.setInteger(key, i);
                EXPECT_EQ(d.integerForKey(key), i);
                (void)d.dictionaryRepresentation();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(d.dictionaryRepresentation().size(), 100u);
    EXPECT_EQ(notifications.load(), 1);
}

}  // namespace
}  // namespace scourlet
