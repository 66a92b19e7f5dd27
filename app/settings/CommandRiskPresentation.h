// What the settings window shows of one Command Guard verdict: the severity
// label, the rule-set caption, the command and every finding, in the result's
// order. Outside text keeps its line breaks and has invisible controls made
// visible (see DisplayedText.h); nothing is shortened.
//
//   CommandRiskPresentation shown = CommandRiskPresentation::from(*monitor.lastCommandRisk());
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ScourletCore/clipboard/CommandRiskResult.h"

namespace scourlet::app {

struct CommandRiskPresentation {
    enum class Tint { red, orange };

    struct Finding {
        std::string id;
        std::string summary;
        std::string explanation;
        std::optional<std::string> matchedText;  // absent when the finding matched no text
    };

    std::string severityTitle;  // "Danger" or "Warning"
    std::string symbolName;     // "exclamationmark.triangle.fill" or "exclamationmark.triangle"
    Tint tint = Tint::orange;
    std::string rulesCaption;  // "Rules <version>"
    std::string command;
    std::vector<Finding> findings;

    static CommandRiskPresentation from(const CommandRiskResult& result);
};

}  // namespace scourlet::app
