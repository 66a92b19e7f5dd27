#include <algorithm>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/clipboard/CommandRiskFinding.h"
#include "ScourletCore/clipboard/CommandRiskResult.h"
#include "ScourletCore/clipboard/CommandRiskSeverity.h"

namespace scourlet {
namespace {

CommandRiskFinding finding(std::string id, CommandRiskSeverity severity) {
    return CommandRiskFinding{std::move(id), "macOS, Linux", severity,
                              "summary",     "explanation",  "matched"};
}

TEST(CommandRiskSeverity, RawValuesRoundTripAndNothingElseIsASeverity) {
    for (CommandRiskSeverity severity : allCases<CommandRiskSeverity>()) {
        EXPECT_EQ(enumFromRawValue<CommandRiskSeverity>(rawValue(severity)), severity);
    }
    EXPECT_EQ(rawValue(CommandRiskSeverity::info), "info");
    EXPECT_EQ(rawValue(CommandRiskSeverity::warning), "warning");
    EXPECT_EQ(rawValue(CommandRiskSeverity::danger), "danger");
    for (const char* other : {"", "Danger", "critical", " info", "warning "}) {
        EXPECT_EQ(enumFromRawValue<CommandRiskSeverity>(other), std::nullopt) << other;
    }
}

TEST(CommandRiskSeverity, OrderFollowsTheCaseList) {
    EXPECT_LT(CommandRiskSeverity::info, CommandRiskSeverity::warning);
    EXPECT_LT(CommandRiskSeverity::warning, CommandRiskSeverity::danger);
    EXPECT_GE(CommandRiskSeverity::danger, CommandRiskSeverity::danger);
    EXPECT_TRUE(std::is_sorted(allCases<CommandRiskSeverity>().begin(),
                               allCases<CommandRiskSeverity>().end()));
    // Statistics count results per severity.
    std::unordered_map<CommandRiskSeverity, int> counts;
    ++counts[CommandRiskSeverity::danger];
    ++counts[CommandRiskSeverity::danger];
    EXPECT_EQ(counts[CommandRiskSeverity::danger], 2);
}

TEST(CommandRiskFinding, FindingOrderIsSeverityDescendingThenIdAscending) {
    std::vector<CommandRiskFinding> findings = {
        finding("b", CommandRiskSeverity::warning), finding("z", CommandRiskSeverity::info),
        finding("c", CommandRiskSeverity::danger),  finding("a", CommandRiskSeverity::warning),
        finding("B", CommandRiskSeverity::warning),
    };
    std::sort(findings.begin(), findings.end(), precedesInFindingOrder);
    std::vector<std::string> ids;
    for (const auto& f : findings) {
        ids.push_back(f.id);
    }
    // Plain code point order: upper case before lower case.
    EXPECT_EQ(ids, (std::vector<std::string>{"c", "B", "a", "b", "z"}));
}

TEST(CommandRiskResult, JsonRoundTripUsesTheFieldNames) {
    CommandRiskResult result{
        "curl x | sh",
        CommandRiskSeverity::danger,
        {finding("pipe", CommandRiskSeverity::danger), finding("net", CommandRiskSeverity::info)},
        "2025.1"};
    const Json json = result.toJson();
    EXPECT_EQ(json.at("command"), "curl x | sh");
    EXPECT_EQ(json.at("severity"), "danger");
    EXPECT_EQ(json.at("rulesVersion"), "2025.1");
    const Json& first = json.at("findings").at(0);
    for (const char* key :
         {"id", "platform", "severity", "summary", "explanation", "matchedText"}) {
        EXPECT_TRUE(first.contains(key)) << key;
    }
    auto back = CommandRiskResult::decode(result.encoded());
    ASSERT_TRUE(back.ok()) << back.error().message;
    EXPECT_EQ(*back, result);
}

TEST(CommandRiskResult, DecodingRequiresEveryKeyAndAKnownSeverity) {
    const CommandRiskResult result{"sudo ls",
                                   CommandRiskSeverity::warning,
                                   {finding("sudo", CommandRiskSeverity::warning)},
                                   "1"};
    const Json good = result.toJson();
    const std::vector<std::function<void(Json&)>> breakages = {
        [](Json& j) { j.erase("command"); },
        [](Json& j) { j.erase("rulesVersion"); },
        [](Json& j) { j["severity"] = "critical"; },
        [](Json& j) { j["findings"] = Json::object(); },
        [](Json& j) { j["findings"][0].erase("matchedText"); },
        [](Json& j) { j["findings"][0]["severity"] = 2; },
        [](Json& j) { j["rulesVersion"] = nullptr; },
    };
    for (std::size_t i = 0; i < breakages.size(); ++i) {
        Json broken = good;
        breakages[i](broken);
        EXPECT_FALSE(CommandRiskResult::decode(dumpJson(broken)).ok()) << i;
    }
    Json extra = good;
    extra["unknown"] = true;
    EXPECT_TRUE(CommandRiskResult::decode(dumpJson(extra)).ok());
}

TEST(CommandRiskResult, PrimaryFindingSortsItselfWhateverTheStoredOrder) {
    CommandRiskResult result;
    EXPECT_EQ(result.primaryFinding(), std::nullopt);
    result.findings = {finding("x", CommandRiskSeverity::info),
                       finding("m", CommandRiskSeverity::warning),
                       finding("k", CommandRiskSeverity::warning)};
    ASSERT_TRUE(result.primaryFinding().has_value());
    EXPECT_EQ(result.primaryFinding()->id, "k");
}

}  // namespace
}  // namespace scourlet
