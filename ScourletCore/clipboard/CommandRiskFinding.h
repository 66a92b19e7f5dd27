// One Command Guard rule that matched a copied command: the rule's texts and
// the part of the command that it matched.
//
// Its JSON form (inside a stored warning) is an object with the keys "id",
// "platform", "severity" (the raw value), "summary", "explanation" and
// "matchedText"; all six are written and all six are required when read.
//
//   std::sort(findings.begin(), findings.end(), precedesInFindingOrder);
//   Json json = findings.front().toJson();
//   CommandRiskFinding back = CommandRiskFinding::fromJson(json);   // throws on bad input
#pragma once

#include <string>

#include "ScourletCore/clipboard/CommandRiskSeverity.h"
#include "ScourletCore/platform/Json.h"

namespace scourlet {

struct CommandRiskFinding {
    std::string id{};        // the rule's id
    std::string platform{};  // the rule's platform text, as written in the rule
    CommandRiskSeverity severity = CommandRiskSeverity::info;
    std::string summary{};      // one line for a notification
    std::string explanation{};  // why the command is risky
    // The matched part of the command, trimmed; at most 160 characters
    // (a longer match is cut to 157 characters and "...").
    std::string matchedText{};

    bool operator==(const CommandRiskFinding&) const = default;

    Json toJson() const;

    // Throws DecodingException when a key is missing, null or not a string, or
    // "severity" is not a severity raw value. Use decodeJsonValue() to get a Result.
    static CommandRiskFinding fromJson(const Json& json);
};

// The order in which findings are listed: higher severity first, then `id`
// ascending by code point. A strict weak order, for std::sort.
bool precedesInFindingOrder(const CommandRiskFinding& a, const CommandRiskFinding& b);

}  // namespace scourlet
