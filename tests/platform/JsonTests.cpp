// Parsing keeps the members of an object in file order and takes linear time
// in the number of keys, so a settings or rule file of many keys stays cheap.
#include "ScourletCore/platform/Json.h"

#include <time.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

std::vector<std::string> keysOf(const Json& object) {
    std::vector<std::string> keys;
    for (auto it = object.begin(); it != object.end(); ++it) {
        keys.push_back(it.key());
    }
    return keys;
}

std::string objectOfKeys(int count) {
    std::string text = "{";
    for (int i = 0; i < count; ++i) {
        text.append(i == 0 ? "\"k" : ",\"k")
            .append(std::to_string(i))
            .append("\":")
            .append(std::to_string(i));
    }
    text.append("}");
    return text;
}

TEST(JsonTest, ObjectsKeepFileOrderAtEveryDepth) {
    auto parsed = parseJson(R"({"z":1,"a":{"y":[{"q":1,"b":2}],"c":null},"m":"x"})");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(keysOf(*parsed), (std::vector<std::string>{"z", "a", "m"}));
    EXPECT_EQ(keysOf((*parsed)["a"]), (std::vector<std::string>{"y", "c"}));
    EXPECT_EQ(keysOf((*parsed)["a"]["y"][0]), (std::vector<std::string>{"q", "b"}));
    EXPECT_EQ(dumpJson(*parsed), R"({"z":1,"a":{"y":[{"q":1,"b":2}],"c":null},"m":"x"})");
}

// A repeated key keeps its first place and takes the last value, in a small
// object (searched by a scan) and in a large one (searched by an index).
TEST(JsonTest, RepeatedKeyKeepsFirstPlaceAndLastValue) {
    auto small = parseJson(R"({"a":1,"b":{"x":1},"a":{"n":[2]},"c":3})");
    ASSERT_TRUE(small);
    EXPECT_EQ(dumpJson(*small), R"({"a":{"n":[2]},"b":{"x":1},"c":3})");

    std::string text = objectOfKeys(100);
    text.pop_back();
    text.append(R"(,"k3":"late","k99":[true],"new":0})");
    auto large = parseJson(text);
    ASSERT_TRUE(large);
    ASSERT_EQ(large->size(), 101U);
    EXPECT_EQ(keysOf(*large)[3], "k3");
    EXPECT_EQ((*large)["k3"], "late");
    EXPECT_EQ(keysOf(*large)[99], "k99");
    EXPECT_EQ((*large)["k99"], Json::array({true}));
    EXPECT_EQ(keysOf(*large).back(), "new");
}

TEST(JsonTest, ScalarsAndErrors) {
    EXPECT_EQ(*parseJson("  -12 "), Json(-12));
    EXPECT_EQ(*parseJson("18446744073709551615"), Json(18446744073709551615ULL));
    EXPECT_EQ(*parseJson(R"("\u00e9")"), Json("\u00e9"));
    EXPECT_EQ(*parseJson("[]"), Json::array());
    for (const char* bad : {"", "{", "[1,]", R"({"a" 1})", "1 2", "\"\xff\"", "{\"a\":1}x"}) {
        EXPECT_FALSE(parseJson(bad)) << bad;
    }
    EXPECT_FALSE(parseJson("{\"a\":").error().message.empty());
}

// The processor time of the calling thread, which other work on a busy machine
// does not inflate as it does the wall clock.
std::chrono::nanoseconds threadCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// A hundred thousand keys took nlohmann's own parser minutes in a debug build
// (each insert searched the keys before it); a linear parse takes a second or
// two even with sanitizers.
TEST(JsonTest, ManyKeysParseInLinearTime) {
    const std::string text = objectOfKeys(100'000);
    const auto start = threadCpuTime();
    auto parsed = parseJson(text);
    const auto elapsed = threadCpuTime() - start;
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->size(), 100'000U);
    EXPECT_EQ(keysOf(*parsed).back(), "k99999");
    EXPECT_LT(elapsed, std::chrono::seconds(15));
}

}  // namespace
}  // namespace scourlet
