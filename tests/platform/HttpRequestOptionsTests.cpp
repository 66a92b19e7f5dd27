#include "ScourletCore/platform/HttpRequestOptions.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/HttpHeaderFields.h"

namespace scourlet {
namespace {

using std::chrono::milliseconds;

TEST(HttpRequestOptionsTest, DefaultsBoundEveryRequest) {
    const HttpRequestOptions options;
    EXPECT_EQ(options.totalTimeout(), std::chrono::seconds(30));
    EXPECT_EQ(options.connectTimeout(), std::chrono::seconds(10));
    EXPECT_EQ(options.idleTimeout(), std::chrono::seconds(15));
    EXPECT_EQ(options.maxBodyBytes(), 1u << 20);
    EXPECT_EQ(options.maxRedirects(), 0);
    EXPECT_EQ(options.allowedSchemes(), std::vector<std::string>{"https"});
}

// Each setter refuses what would leave a request unbounded or meaningless and
// then leaves the option as it was.
TEST(HttpRequestOptionsTest, SettersCheckTheirValue) {
    struct Case {
        const char* what;
        std::function<Result<void>(HttpRequestOptions&)> set;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"total 1 ms", [](auto& o) { return o.setTotalTimeout(milliseconds(1)); }, true},
        {"total one hour", [](auto& o) { return o.setTotalTimeout(std::chrono::hours(1)); }, true},
        {"total 0", [](auto& o) { return o.setTotalTimeout(milliseconds(0)); }, false},
        {"total negative", [](auto& o) { return o.setTotalTimeout(milliseconds(-1)); }, false},
        {"total over an hour",
         [](auto& o) { return o.setTotalTimeout(std::chrono::hours(1) + milliseconds(1)); }, false},
        {"connect 0", [](auto& o) { return o.setConnectTimeout(milliseconds(0)); }, true},
        {"connect negative", [](auto& o) { return o.setConnectTimeout(milliseconds(-5)); }, false},
        {"idle 0", [](auto& o) { return o.setIdleTimeout(milliseconds(0)); }, true},
        {"idle over an hour", [](auto& o) { return o.setIdleTimeout(std::chrono::hours(2)); },
         false},
        {"body 0", [](auto& o) { return o.setMaxBodyBytes(0); }, true},
        {"body 1 GiB", [](auto& o) { return o.setMaxBodyBytes(1ull << 30); }, true},
        {"body over 1 GiB", [](auto& o) { return o.setMaxBodyBytes((1ull << 30) + 1); }, false},
        {"redirects 20", [](auto& o) { return o.setMaxRedirects(20); }, true},
        {"redirects 21", [](auto& o) { return o.setMaxRedirects(21); }, false},
        {"redirects negative", [](auto& o) { return o.setMaxRedirects(-1); }, false},
        {"schemes https and http",
         [](auto& o) {
             return o.setAllowedSchemes({"https", "http"});
         },
         true},
        {"schemes empty", [](auto& o) { return o.setAllowedSchemes({}); }, false},
        {"schemes ftp",
         [](auto& o) {
             return o.setAllowedSchemes({"https", "ftp"});
         },
         false},
        {"schemes upper case", [](auto& o) { return o.setAllowedSchemes({"HTTPS"}); }, false},
        {"schemes repeated",
         [](auto& o) {
             return o.setAllowedSchemes({"https", "https"});
         },
         false},
    };
    for (const auto& c : cases) {
        HttpRequestOptions options;
        const auto result = c.set(options);
        EXPECT_EQ(result.ok(), c.accepted) << c.what;
        if (!c.accepted) {
            EXPECT_EQ(options, HttpRequestOptions()) << c.what << " changed the options";
            EXPECT_FALSE(result.error().message.empty()) << c.what;
        }
    }
}

TEST(HttpRequestOptionsTest, SchemesCompareWithoutCase) {
    HttpRequestOptions options;
    EXPECT_TRUE(options.allowsScheme("HTTPS"));
    EXPECT_FALSE(options.allowsScheme("http"));
    EXPECT_FALSE(options.allowsScheme(""));
}

TEST(HttpHeaderFieldsTest, SetRefusesFieldsThatWouldSplitTheRequest) {
    struct Case {
        std::string name;
        std::string value;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"User-Agent", "Scourlet/1.0", true},
        {"Accept", "text/html,application/xhtml+xml", true},
        {"X-Empty", "", true},
        {"X-Tab", "a\tb", true},
        {"", "x", false},
        {"Bad Name", "x", false},
        {"Bad:Name", "x", false},
        {"X-Inject", "a\r\nCookie: s=1", false},
        {"X-Newline", "a\nb", false},
        {"X-Nul", std::string("a\0b", 3), false},
        {"X-Delete", "a\x7f", false},
        {"X-Space", " padded", false},
    };
    for (const auto& c : cases) {
        HttpHeaderFields fields;
        EXPECT_EQ(fields.set(c.name, c.value).ok(), c.accepted) << c.name;
        EXPECT_EQ(fields.empty(), !c.accepted) << c.name;
    }
}

TEST(HttpHeaderFieldsTest, SetReplacesAFieldOfTheSameNameInAnyCase) {
    HttpHeaderFields fields;
    ASSERT_TRUE(fields.set("Accept", "*/*").ok());
    ASSERT_TRUE(fields.set("User-Agent", "a").ok());
    ASSERT_TRUE(fields.set("accept", "text/html").ok());
    EXPECT_EQ(fields.all(),
              (std::vector<HttpHeaderField>{{"User-Agent", "a"}, {"accept", "text/html"}}));
    EXPECT_EQ(fields.value("ACCEPT"), "text/html");
    EXPECT_EQ(fields.value("Cookie"), std::nullopt);
}

}  // namespace
}  // namespace scourlet
