// The README's messages for extension authors are true: each request line
// ("→ ") gets the answer of the line after it ("← ") from a fresh host, in the
// README's order, and every action the host answers is shown.
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/Json.h"
#include "nativehost/NativeHostTestSupport.h"
#include "safari-extension/NativeMessageHandler.h"

namespace scourlet::nativehost {
namespace {

constexpr std::string_view kRequestMark = "→ ";
constexpr std::string_view kAnswerMark = "← ";
// In an answer, a string that ends in this mark stands for any text that
// begins with what comes before it.
constexpr std::string_view kCut = "…";

struct Exchange {
    int line;
    std::string request;
    std::string answer;
};

std::vector<Exchange> readmeExchanges() {
    std::ifstream file(std::string(SCOURLET_SOURCE_DIR) + "/README.md");
    std::vector<Exchange> exchanges;
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        if (line.starts_with(kRequestMark)) {
            exchanges.push_back({number, line.substr(kRequestMark.size()), {}});
        } else if (line.starts_with(kAnswerMark) && !exchanges.empty() &&
                   exchanges.back().answer.empty()) {
            exchanges.back().answer = line.substr(kAnswerMark.size());
        }
    }
    return exchanges;
}

// Where `shown` (the README's answer) and `actual` differ; empty when they
// agree: the same keys in the same order, strings cut short with kCut.
std::string difference(const Json& shown, const Json& actual, const std::string& where) {
    if (shown.is_string() && actual.is_string()) {
        const auto& text = shown.get_ref<const std::string&>();
        const auto& real = actual.get_ref<const std::string&>();
        if (text.ends_with(kCut)) {
            const std::string_view start(text.data(), text.size() - kCut.size());
            return real.starts_with(start) ? "" : where + " does not begin " + std::string(start);
        }
        return text == real ? "" : where + " is " + actual.dump();
    }
    if (shown.is_object() && actual.is_object()) {
        std::vector<std::string> shownKeys, actualKeys;
        for (const auto& [key, value] : shown.items()) {
            shownKeys.push_back(key);
        }
        for (const auto& [key, value] : actual.items()) {
            actualKeys.push_back(key);
        }
        if (shownKeys != actualKeys) {
            return where + " is " + actual.dump();
        }
        for (const auto& key : shownKeys) {
            if (auto found = difference(shown[key], actual[key], where + "." + key);
                !found.empty()) {
                return found;
            }
        }
        return "";
    }
    if (shown.is_array() && actual.is_array() && shown.size() == actual.size()) {
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const auto found =
                difference(shown[i], actual[i], where + "[" + std::to_string(i) + "]");
            if (!found.empty()) {
                return found;
            }
        }
        return "";
    }
    return shown == actual ? "" : where + " is " + actual.dump();
}

TEST(ReadmeMessagesTest, EveryExampleIsTheHostsAnswerAndEveryActionIsShown) {
    // The running host's settings (in the test's own data folders), its
    // shipped rules, and a clipboard that takes the report.
    const ResourceBundle bundle(SCOURLET_BUNDLE_DIR);
    auto environment = NativeMessageHandler::Environment::standard();
    environment.rulesBundle = &bundle;
    environment.clipboard = std::make_shared<testing::RecordingClipboard>();
    NativeMessageHandler handler(std::move(environment));

    const std::vector<Exchange> exchanges = readmeExchanges();
    ASSERT_FALSE(exchanges.empty()) << "the README shows no messages";
    std::set<std::string> shownActions;
    for (const auto& exchange : exchanges) {
        SCOPED_TRACE("README.md line " + std::to_string(exchange.line));
        ASSERT_FALSE(exchange.answer.empty()) << "a request without its answer";
        const Json request = Json::parse(exchange.request, nullptr, false);
        const Json shown = Json::parse(exchange.answer, nullptr, false);
        ASSERT_FALSE(request.is_discarded()) << exchange.request;
        ASSERT_FALSE(shown.is_discarded()) << exchange.answer;
        if (request.contains("action") && request["action"].is_string()) {
            shownActions.insert(request["action"].get<std::string>());
        }
        const Json actual = handler.handle(request);
        EXPECT_EQ(difference(shown, actual, "the answer"), "") << exchange.request;
    }
    for (const std::string_view action : NativeMessageHandler::actionNames()) {
        EXPECT_TRUE(shownActions.contains(std::string(action)))
            << "the README shows no message for " << action;
    }
}

}  // namespace
}  // namespace scourlet::nativehost
