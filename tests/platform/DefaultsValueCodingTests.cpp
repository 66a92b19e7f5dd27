// The file text of a settings store is written directly, not through a JSON
// value; it must stay the JSON library's two-space layout of the marker
// document, with data in standard padded base64.
#include "ScourletCore/platform/internal/DefaultsValueCoding.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sodium.h>

namespace scourlet {
namespace {

std::string sodiumBase64(const std::vector<std::uint8_t>& bytes) {
    std::string out(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), bytes.data(), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    out.pop_back();  // the terminating NUL
    return out;
}

Json dataMarker(const std::vector<std::uint8_t>& bytes) {
    return Json::object({{"$data", sodiumBase64(bytes)}});
}

TEST(DefaultsValueCodingTest, FileTextIsTheIndentedDumpOfTheMarkerDocument) {
    std::vector<std::uint8_t> everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        everyByte.push_back(static_cast<std::uint8_t>(byte));
    }
    internal::DefaultsMap values;
    values["a \"quoted\" key\t\u00e9"] = "text \\ \"\x01\u2603";
    values["data 0"] = Json::binary({});
    values["data 1"] = Json::binary({0xFF});
    values["data 2"] = Json::binary({0xFB, 0xEF});
    values["data 256"] = Json::binary(everyByte);
    values["data 4"] = Json::binary({0, 1, 2, 3});
    values["lookalike"] = Json::object({{"$data", "AQID"}});
    values["nested"] = Json::object(
        {{"list", Json::array({1, 2.5, -0.0, "x", Json::binary({9, 8}), Json::array(),
                               Json::object(), Json::array({Json::object({{"$dict", 2}})})})},
         {"empty", Json::object()},
         {"flag", false}});
    values["wrapper"] = Json::object({{"$dict", Json::object({{"$data", Json::binary({1})}})}});

    // The same document as the library sees it, keys in the store's order.
    Json document = Json::object();
    document["a \"quoted\" key\t\u00e9"] = "text \\ \"\x01\u2603";
    document["data 0"] = dataMarker({});
    document["data 1"] = dataMarker({0xFF});
    document["data 2"] = dataMarker({0xFB, 0xEF});
    document["data 256"] = dataMarker(everyByte);
    document["data 4"] = dataMarker({0, 1, 2, 3});
    document["lookalike"] = Json::object({{"$dict", Json::object({{"$data", "AQID"}})}});
    document["nested"] = Json::object(
        {{"list",
          Json::array({1, 2.5, -0.0, "x", dataMarker({9, 8}), Json::array(), Json::object(),
                       Json::array({Json::object({{"$dict", Json::object({{"$dict", 2}})}})})})},
         {"empty", Json::object()},
         {"flag", false}});
    // Both one-key objects are wrapped, the outer and the inner one.
    document["wrapper"] =
        Json::parse(R"({"$dict": {"$dict": {"$dict": {"$data": {"$data": "AQ=="}}}}})");

    const auto text = internal::encodeDefaultsFile(values);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, document.dump(2) + "\n");

    const auto decoded = internal::decodeDefaultsFile(*text);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->size(), values.size());
    for (const auto& [key, value] : values) {
        EXPECT_TRUE(internal::strictlyEqual(decoded->at(key), value)) << key;
    }

    EXPECT_EQ(internal::encodeDefaultsFile({}).value(), "{}\n");
    internal::DefaultsMap notUtf8;
    notUtf8["key"] = Json::array({"\xff"});
    EXPECT_FALSE(internal::encodeDefaultsFile(notUtf8));
}

}  // namespace
}  // namespace scourlet

namespace scourlet {
namespace {

TEST(DefaultsValueCodingTest, MalformedDateMarkersAreRefused) {
    for (const char* text : {R"({"k": {"$date": "2027-01-15"}})", R"({"k": {"$date": null}})",
                             R"({"k": {"$date": [1]}})", R"({"k": {"$date": true}})"}) {
        SCOPED_TRACE(text);
        const auto decoded = internal::decodeDefaultsFile(text);
        ASSERT_FALSE(decoded.ok());
        EXPECT_NE(decoded.error().message.find("$date"), std::string::npos);
    }
}

TEST(DefaultsValueCodingTest, OnlyAWellFormedDateKeepsItsSubtype) {
    Json date = internal::makeDefaultsDate(1.5);
    ASSERT_TRUE(internal::normalizeDefaultsValue(date));
    EXPECT_EQ(internal::defaultsDateSeconds(date), 1.5);

    Json shortDate = Json::binary({1, 2, 3}, 0xD7);
    ASSERT_TRUE(internal::normalizeDefaultsValue(shortDate));
    EXPECT_FALSE(shortDate.get_binary().has_subtype()) << "three bytes are data";

    Json notFinite = internal::makeDefaultsDate(std::numeric_limits<double>::infinity());
    ASSERT_TRUE(internal::normalizeDefaultsValue(notFinite));
    EXPECT_EQ(internal::defaultsDateSeconds(notFinite), std::nullopt);
    EXPECT_FALSE(notFinite.get_binary().has_subtype());
}

}  // namespace
}  // namespace scourlet
