#include "ScourletCore/linkrewriting/MapLinkTransformer.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

struct Case {
    const char* link;
    std::optional<std::string> converted;
};

void expectConversions(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        const auto result = MapLinkTransformer::transform(c.link);
        EXPECT_EQ(result ? std::optional(result->url) : std::nullopt, c.converted) << c.link;
    }
}

TEST(MapLinkTransformer, OnlyHttpsMapHostsWithoutUserOrPortQualify) {
    expectConversions({
        {"https://maps.apple.com/?q=Cafe", "https://www.google.com/maps/search/?api=1&query=Cafe"},
        {"HTTPS://Maps.Apple.COM/?q=Cafe", "https://www.google.com/maps/search/?api=1&query=Cafe"},
        {"http://maps.apple.com/?q=Cafe", std::nullopt},
        {"https://maps.apple.com:443/?q=Cafe", std::nullopt},
        {"https://maps.apple.com:/?q=Cafe", std::nullopt},
        {"https://me@maps.apple.com/?q=Cafe", std::nullopt},
        {"https://me:pw@maps.apple.com/?q=Cafe", std::nullopt},
        {" https://maps.apple.com/?q=Cafe", std::nullopt},  // not trimmed
        {"maps.apple.com/?q=Cafe", std::nullopt},
        {"https://apple.com/?q=Cafe", std::nullopt},
        {"https://www.google.com/maps/search/?api=1&query=Cafe", "https://maps.apple.com/?q=Cafe"},
        {"https://google.com/maps?query=Cafe", "https://maps.apple.com/?q=Cafe"},
        {"https://maps.google.com/?query=Cafe", "https://maps.apple.com/?q=Cafe"},
        {"https://www.google.de/maps/search/?query=Cafe", "https://maps.apple.com/?q=Cafe"},
        {"https://maps.google.de/maps/search/?query=Cafe", std::nullopt},
        {"https://notgoogle.com/?query=Cafe", std::nullopt},
        {"https://google.com.example/?query=Cafe", std::nullopt},
        {"https://www.google.com:8443/?query=Cafe", std::nullopt},
    });
}

TEST(MapLinkTransformer, AppleToGoogle) {
    const std::string apple = "https://maps.apple.com/?";
    const std::string dir = "https://www.google.com/maps/dir/?api=1";
    const std::string search = "https://www.google.com/maps/search/";
    expectConversions({
        // Directions.
        {(apple + "daddr=Berlin&saddr=Home&dirflg=w").c_str(),
         dir + "&origin=Home&destination=Berlin&travelmode=walking"},
        {(apple + "daddr=Main%20St&saddr=%20").c_str(), dir + "&destination=Main%20St"},
        {(apple + "daddr=Berlin&dirflg=r&dirflg=x").c_str(),
         dir + "&destination=Berlin&travelmode=transit"},  // the first valued item wins
        {(apple + "daddr=Berlin&dirflg=x").c_str(), std::nullopt},
        {(apple + "daddr=Berlin&dirflg=W").c_str(), std::nullopt},
        {(apple + "daddr=Berlin&t=m").c_str(), std::nullopt},
        {(apple + "daddr=%20&q=Cafe").c_str(), std::nullopt},  // a search with a "daddr"
        // A place by coordinates.
        {(apple + "ll=52.5,13.4&q=Cafe&z=15").c_str(), search + "Cafe/@52.5,13.4,15z"},
        {(apple + "ll=-33.9,+151.2&q=Cafe&z=0").c_str(), search + "Cafe/@-33.9,+151.2,0z"},
        {(apple + "ll=.5,5.&q=Cafe&z=1e1").c_str(), search + "Cafe/@.5,5.,1e1z"},
        {(apple + "ll=%2052.5,13.4%0A&q=Cafe&z=%2022%20").c_str(), search + "Cafe/@52.5,13.4,22z"},
        {(apple + "ll=52.5,13.4&q=Caf%C3%A9%20Bar&z=15").c_str(),
         search + "Caf%C3%A9%20Bar/@52.5,13.4,15z"},
        {(apple + "ll=52.5,13.4&q=Cafe").c_str(), search + "?api=1&query=Cafe%2052.5,13.4"},
        {(apple + "ll=52.5,13.4&q=%20&z=15").c_str(), search + "?api=1&query=52.5,13.4"},
        {(apple + "ll=52.5,13.4").c_str(), search + "?api=1&query=52.5,13.4"},
        {(apple + "ll=52.5,13.4&q=Cafe&z=23").c_str(), std::nullopt},
        {(apple + "ll=52.5,13.4&q=Cafe&z=-1").c_str(), std::nullopt},
        {(apple + "ll=52.5,13.4&q=Cafe&t=m").c_str(), std::nullopt},
        // Coordinates that do not pass leave the link to the search form,
        // where "ll" is not allowed.
        {(apple + "ll=52.5,%2013.4&q=Cafe").c_str(), std::nullopt},
        {(apple + "ll=52.5&q=Cafe").c_str(), std::nullopt},
        {(apple + "ll=1,2,3&q=Cafe").c_str(), std::nullopt},
        // A search.
        {(apple + "address=1%20Main%20St").c_str(), search + "?api=1&query=1%20Main%20St"},
        {(apple + "q=Cafe&address=Main").c_str(), std::nullopt},
        {(apple + "q=%20%0A").c_str(), std::nullopt},
        {(apple + "q=Cafe&z=3").c_str(), std::nullopt},
        {(apple + "q").c_str(), std::nullopt},
        {"https://maps.apple.com/", std::nullopt},
    });
}

TEST(MapLinkTransformer, CoordinatesAndZoomAreFiniteDecimalNumbersOnly) {
    struct NumberCase {
        const char* text;  // as written in the link
        bool decimal;
    };
    for (const NumberCase& c : {
             NumberCase{"52.5", true},       NumberCase{"-52", true},
             NumberCase{"+1.5", true},       NumberCase{".5", true},
             NumberCase{"5.", true},         NumberCase{"1e2", true},
             NumberCase{"-1E-2", true},      NumberCase{"nan", false},
             NumberCase{"NaN", false},       NumberCase{"inf", false},
             NumberCase{"-infinity", false}, NumberCase{"0x1p4", false},
             NumberCase{"0x10", false},      NumberCase{"1e999", false},
             NumberCase{"52.5e", false},     NumberCase{"1e+", false},
             NumberCase{".", false},         NumberCase{"", false},
             NumberCase{"--1", false},       NumberCase{"1%20", false},
             NumberCase{"1_000", false},     NumberCase{"%D9%A1", false},
         }) {
        // A Google search whose text is a coordinate pair becomes an Apple "ll".
        const auto converted = MapLinkTransformer::transform(
            std::string("https://www.google.com/maps/search/?query=") + c.text + ",13.4");
        ASSERT_TRUE(converted) << c.text;
        EXPECT_EQ(converted->url.starts_with("https://maps.apple.com/?ll="), c.decimal) << c.text;
    }

    struct ZoomCase {
        const char* text;
        bool accepted;
    };
    for (const ZoomCase& c : {
             ZoomCase{"0", true},
             ZoomCase{"22", true},
             ZoomCase{"-0", true},
             ZoomCase{"1e1", true},
             ZoomCase{"%2015%0A", true},
             ZoomCase{"22.001", false},
             ZoomCase{"-1", false},
             ZoomCase{"nan", false},
             ZoomCase{"inf", false},
             ZoomCase{"0x10", false},
             ZoomCase{"15z", false},
             ZoomCase{"1%2C5", false},
             ZoomCase{"", false},
         }) {
        const auto converted = MapLinkTransformer::transform(
            std::string("https://maps.apple.com/?ll=52.5,13.4&q=Cafe&z=") + c.text);
        EXPECT_EQ(converted.has_value(), c.accepted) << c.text;
        const auto back = MapLinkTransformer::transform(
            std::string("https://www.google.com/maps/search/Cafe/@52.5,13.4,") + c.text + "z");
        EXPECT_EQ(back.has_value(), c.accepted) << c.text;
    }
}

TEST(MapLinkTransformer, GoogleToApple) {
    const std::string google = "https://www.google.com/maps/";
    const std::string apple = "https://maps.apple.com/?";
    expectConversions({
        // Directions.
        {(google + "dir/?api=1&origin=Home&destination=Berlin&travelmode=Driving").c_str(),
         apple + "saddr=Home&daddr=Berlin&dirflg=d"},
        {(google + "dir?destination=Berlin&origin=%20").c_str(), apple + "daddr=Berlin"},
        {(google + "dir/?api=2&destination=Berlin").c_str(), std::nullopt},
        {(google + "dir/?destination=Berlin&travelmode=bicycling").c_str(), std::nullopt},
        {(google + "dir/?destination=Berlin&hl=de").c_str(), std::nullopt},
        // A search path with the place.
        {(google + "search/Cafe/@52.5,13.4,15z").c_str(), apple + "q=Cafe&ll=52.5,13.4&z=15"},
        {(google + "search/Cafe/@52.5,13.4,15z?hl").c_str(), apple + "q=Cafe&ll=52.5,13.4&z=15"},
        {(google + "search//Caf%C3%A9//@52.5,,13.4,15.5z/").c_str(),
         apple + "q=Caf%C3%A9&ll=52.5,13.4&z=15.5"},
        {(google + "search/Cafe/@52.5,13.4,15z?hl=de").c_str(), std::nullopt},
        {(google + "search/Cafe/@52.5,13.4,23z").c_str(), std::nullopt},
        {(google + "search/Cafe/@nan,13.4,15z").c_str(), std::nullopt},
        {(google + "search/Cafe/@52.5,13.4,3a,75y").c_str(), std::nullopt},
        {(google + "place/Cafe/@52.5,13.4,15z").c_str(), std::nullopt},
        // A search in the query.
        {(google + "search/?api=1&query=52.5,13.4").c_str(), apple + "ll=52.5,13.4"},
        {(google + "search/?api=1&query=Cafe%20Bar").c_str(), apple + "q=Cafe%20Bar"},
        {(google + "search/Cafe/@52.5,13.4,3a?query=Cafe").c_str(), apple + "q=Cafe"},
        {(google + "search/?api=1&query=Cafe&query_place_id=ChIJ").c_str(), std::nullopt},
        {(google + "search/Cafe/@52.5,13.4,15z?query_place_id=ChIJ").c_str(), std::nullopt},
        {(google + "search/?api=2&query=Cafe").c_str(), std::nullopt},
        {(google + "search/?query=Cafe&hl=de").c_str(), std::nullopt},
        {(google + "search/?query=%20").c_str(), std::nullopt},
    });
}

TEST(MapLinkTransformer, SearchTextStaysOneSegmentOfThePath) {
    struct PathCase {
        const char* q;            // as written in the Apple link
        const char* segment;      // in the Google path
        const char* backInApple;  // after converting back
    };
    for (const PathCase& c : {
             PathCase{"A/B", "A%2FB", "A/B"},
             PathCase{"A%2FB", "A%2FB", "A/B"},
             PathCase{"100%25%3F%23", "100%25%3F%23", "100%25?%23"},
             PathCase{"a%3Bb", "a%3Bb", "a;b"},
         }) {
        const std::string apple =
            std::string("https://maps.apple.com/?ll=52.5,13.4&q=") + c.q + "&z=15";
        const auto google = MapLinkTransformer::transform(apple);
        ASSERT_TRUE(google) << c.q;
        EXPECT_EQ(google->url, std::string("https://www.google.com/maps/search/") + c.segment +
                                   "/@52.5,13.4,15z")
            << c.q;
        const auto back = MapLinkTransformer::transform(google->url);
        ASSERT_TRUE(back) << c.q;
        EXPECT_EQ(back->url,
                  std::string("https://maps.apple.com/?q=") + c.backInApple + "&ll=52.5,13.4&z=15")
            << c.q;
    }
    // A text of dots would be folded away as a path step.
    for (const char* dots : {".", "..", "%2E%2E"}) {
        EXPECT_EQ(MapLinkTransformer::transform(std::string("https://maps.apple.com/?ll=1,2&q=") +
                                                dots + "&z=3"),
                  std::nullopt)
            << dots;
    }
}

TEST(MapLinkTransformer, ResultCarriesTargetAndALocalOperation) {
    const std::string link = "https://maps.apple.com/?ll=52.5,13.4";
    const auto google = MapLinkTransformer::transform(link);
    ASSERT_TRUE(google);
    EXPECT_EQ(google->target, MapLinkTarget::googleMaps);
    EXPECT_EQ(google->operation,
              (CleanOperation{.kind = CleanOperationKind::functionalTransformation,
                              .inputURL = link,
                              .outputURL = google->url,
                              .removedParameters = {},
                              .networkUsed = false,
                              .contactedHost = std::nullopt,
                              .note = "Open in Google Maps"}));

    const auto apple = MapLinkTransformer::transform(google->url);
    ASSERT_TRUE(apple);
    EXPECT_EQ(apple->target, MapLinkTarget::appleMaps);
    EXPECT_EQ(apple->url, "https://maps.apple.com/?ll=52.5,13.4");
    EXPECT_EQ(apple->operation.inputURL, google->url);
    EXPECT_EQ(apple->operation.note, "Open in Apple Maps");
    EXPECT_EQ(rawValue(MapLinkTarget::appleMaps), "appleMaps");
    EXPECT_EQ(enumFromRawValue<MapLinkTarget>("googleMaps"), MapLinkTarget::googleMaps);
}

}  // namespace
}  // namespace scourlet
