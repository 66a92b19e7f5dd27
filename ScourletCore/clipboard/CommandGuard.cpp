#include "ScourletCore/clipboard/CommandGuard.h"

#include "ScourletCore/platform/BoundedFileRead.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "ScourletCore/clipboard/internal/CommandText.h"
#include "ScourletCore/platform/AppDirectories.h"
#include "ScourletCore/platform/Text.h"

namespace scourlet {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSupportFolderName = "com.morrowgate.scourlet";
constexpr std::string_view kCommandGuardFolderName = "command-guard";
constexpr std::string_view kActiveFolderName = "active";
constexpr std::string_view kEllipsis = "...";

// The matched part of the command as a finding shows it: trimmed, terminal
// controls written visibly (as in a neutralized copy), and cut to 157
// characters and "..." when longer than 160 characters.
std::string matchedTextFor(std::string_view command, ByteRange range) {
    if (range.first > range.second || range.second > command.size()) {
        return {};
    }
    std::string_view trimmed =
        trimmingWhitespaceAndNewlines(command.substr(range.first, range.second - range.first));
    std::string visible;
    if (internal::containsTerminalControl(trimmed)) {
        internal::appendWithVisibleControls(visible, trimmed);
        trimmed = visible;
    }
    // No character is shorter than one byte, so a short match needs no count.
    constexpr std::size_t limit = CommandGuard::maximumMatchedTextCharacters;
    if (trimmed.size() <= limit || graphemeCount(trimmed) <= limit) {
        return std::string(trimmed);
    }
    std::string cut = graphemePrefix(trimmed, limit - kEllipsis.size());
    cut.append(kEllipsis);
    return cut;
}

}  // namespace

CommandGuard::RuleDefinition CommandGuard::RuleDefinition::fromJson(const Json& json) {
    const JsonObjectReader object(json, "rule");
    return RuleDefinition{
        object.required<std::string>("id"),
        object.required<std::string>("platform"),
        object.required<CommandRiskSeverity>("severity"),
        object.required<std::string>("pattern"),
        object.required<std::string>("summary"),
        object.required<std::string>("explanation"),
    };
}

std::optional<CommandGuard::RuleBundle> CommandGuard::RuleBundle::decode(std::string_view data) {
    auto decoded = decodeJson(data, [](const Json& json) {
        const JsonObjectReader object(json, "command guard rules");
        RuleBundle bundle;
        bundle.currentVersion = object.required<std::string>("currentVersion");
        const Json* rules = object.find("rules");
        if (rules == nullptr || !rules->is_array()) {
            throwDecoding("rules", "expected an array");
        }
        bundle.rules.reserve(rules->size());
        for (const Json& rule : *rules) {
            bundle.rules.push_back(RuleDefinition::fromJson(rule));
        }
        return bundle;
    });
    if (!decoded) {
        return std::nullopt;
    }
    return std::move(decoded).value();
}

std::optional<fs::path> CommandGuard::defaultInstalledRulesURL() {
    const auto support = applicationSupportDirectory();
    if (!support) {
        return std::nullopt;
    }
    return *support / kSupportFolderName / kCommandGuardFolderName / kActiveFolderName /
           installedRulesFileName;
}

CommandGuard::CommandGuard(std::optional<ResourceBundle> bundle,
                           std::optional<fs::path> installedRulesURL)
    : rulesVersion_(unavailableRulesVersion) {
    const std::optional<fs::path> installed =
        installedRulesURL ? std::move(installedRulesURL) : defaultInstalledRulesURL();
    std::optional<RuleBundle> loaded;
    if (installed) {
        if (const auto data = readFileAtMost(*installed, CommandGuard::maximumRulesFileBytes)) {
            loaded = RuleBundle::decode(*data);
        }
    }
    if (!loaded) {
        const ResourceBundle* shipped = bundle ? &*bundle : ResourceBundle::packageResourceBundle();
        if (shipped != nullptr) {
            if (const auto url = shipped->urlForResource(defaultRulesFileName, "json")) {
                if (const auto data = readFileAtMost(*url, CommandGuard::maximumRulesFileBytes)) {
                    loaded = RuleBundle::decode(*data);
                }
            }
        }
    }
    if (!loaded) {
        return;
    }
    rulesVersion_ = std::move(loaded->currentVersion);
    rules_.reserve(loaded->rules.size());
    for (RuleDefinition& definition : loaded->rules) {
        if (auto regex = Regex::compile(definition.pattern, RegexOptions::none)) {
            rules_.push_back(CompiledRule{std::move(definition), std::move(*regex)});
        }
    }
}

std::vector<std::string> CommandGuard::loadedRuleIDs() const {
    std::vector<std::string> ids;
    ids.reserve(rules_.size());
    for (const auto& rule : rules_) {
        ids.push_back(rule.definition.id);
    }
    return ids;
}

std::optional<CommandRiskResult> CommandGuard::analyze(std::string_view text,
                                                       CommandRiskSeverity threshold) const {
    if (rules_.empty()) {
        return std::nullopt;
    }
    std::string storage;
    const std::string_view command = internal::normalizeCommand(text, storage);
    if (command.empty() || command.size() > maximumCommandBytes ||
        internal::isNeutralizedCopy(text)) {
        return std::nullopt;
    }

    // One time budget for the whole analysis, so that no rule set and no text
    // can hold up the clipboard; rules past it find nothing.
    const RegexTimeBudget budget(analysisTimeBudget);
    std::vector<CommandRiskFinding> findings;
    for (const auto& rule : rules_) {
        // A rule below the threshold could yield no finding, so it is not searched.
        if (rule.definition.severity < threshold) {
            continue;
        }
        const auto match = rule.regex.firstMatch(command);
        if (!match) {
            continue;
        }
        const RuleDefinition& definition = rule.definition;
        findings.push_back(CommandRiskFinding{
            definition.id,
            definition.platform,
            definition.severity,
            definition.summary,
            definition.explanation,
            matchedTextFor(command, match->range()),
        });
    }
    if (findings.empty()) {
        return std::nullopt;
    }

    std::stable_sort(findings.begin(), findings.end(), precedesInFindingOrder);
    CommandRiskResult result;
    result.severity = findings.front().severity;
    result.command = std::string(command);
    result.findings = std::move(findings);
    result.rulesVersion = rulesVersion_;
    return result;
}

std::string CommandGuard::neutralizedCommand(std::string_view text) {
    std::string storage;
    const std::string_view command = internal::normalizeCommand(text, storage);

    std::string out;
    out.reserve(internal::kNeutralizedHeaderFirstLine.size() +
                internal::kNeutralizedHeaderSecondLine.size() + command.size() + 64);
    out.append(internal::kNeutralizedHeaderFirstLine).push_back('\n');
    out.append(internal::kNeutralizedHeaderSecondLine).push_back('\n');
    bool firstLine = true;
    internal::forEachLine(command, [&out, &firstLine](std::string_view line) {
        if (!firstLine) {
            out.push_back('\n');
        }
        firstLine = false;
        out.append("# ");
        internal::appendWithVisibleControls(out, line);
        return true;
    });
    return out;
}

std::optional<std::string> CommandGuard::ruleBundleVersion(std::string_view data) {
    auto bundle = RuleBundle::decode(data);
    if (!bundle || trimmingWhitespaceAndNewlines(bundle->currentVersion).empty()) {
        return std::nullopt;
    }
    return std::move(bundle->currentVersion);
}

}  // namespace scourlet
