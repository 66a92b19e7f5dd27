// What Command Guard found in one copied text: the normalized command, its
// highest severity, the findings and the version of the rules that found them.
//
// Its JSON form is the stored standing warning: an object with the keys
// "command", "severity" (the raw value), "findings" (finding objects) and
// "rulesVersion"; all four are written and required when read, other keys are
// ignored.
//
//   if (auto risk = guard.analyze(text, CommandRiskSeverity::warning)) {
//       if (auto first = risk->primaryFinding()) show(first->summary);
//       defaults.setString(key, risk->encoded());
//   }
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/clipboard/CommandRiskFinding.h"
#include "ScourletCore/clipboard/CommandRiskSeverity.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Result.h"

namespace scourlet {

struct CommandRiskResult {
    std::string command{};  // the normalized text that was analyzed
    CommandRiskSeverity severity = CommandRiskSeverity::info;  // highest among the findings
    std::vector<CommandRiskFinding> findings{};  // in finding order when made by the guard
    std::string rulesVersion{};                  // version of the rules in use

    bool operator==(const CommandRiskResult&) const = default;

    // The first finding in finding order (precedesInFindingOrder), whatever the
    // order of `findings`, so a result read back from storage still answers
    // right. Nothing when there are no findings.
    std::optional<CommandRiskFinding> primaryFinding() const;

    Json toJson() const;
    std::string encoded() const;

    // Throws DecodingException when a key is missing, null or mistyped, or a
    // severity is not a raw value.
    static CommandRiskResult fromJson(const Json& json);
    // The same from JSON text; fails with a DecodingError instead of throwing.
    static Result<CommandRiskResult, DecodingError> decode(std::string_view text);
};

}  // namespace scourlet
