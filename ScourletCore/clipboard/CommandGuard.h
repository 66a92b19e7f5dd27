// CommandGuard: checks copied text for risky terminal commands.
//
// A guard holds a bundle of rules, each a regular expression with a severity
// and explanatory texts, loaded once when the guard is made: the installed
// copy of "command-guard-rules.json" when it reads and decodes, else the copy
// shipped in the core's resource bundle. analyze() reports the rules that
// match a text at or above a threshold; neutralizedCommand() makes a copy of a
// text that a terminal runs as comments only. A guard never changes after
// construction, so one guard may be used from several threads; to take up
// newly installed rules, build a new guard.
//
//   CommandGuard guard;   // installed rules, else the shipped ones
//   if (auto risk = guard.analyze(clipboardText, CommandRiskSeverity::warning)) {
//       warn(risk->primaryFinding()->summary);
//       replaceClipboard(CommandGuard::neutralizedCommand(clipboardText));
//   }
//
// Rule bundle file: a JSON object with "currentVersion" (string) and "rules"
// (array, tried in order) of objects with the string keys "id", "platform",
// "severity" ("info", "warning" or "danger"), "pattern", "summary" and
// "explanation". A file in which any rule lacks a key, has a value of another
// type or names another severity is not a rule bundle at all. Patterns use
// ICU syntax and compile with no options: case-sensitive, "." stops at line
// breaks, "^" and "$" refer to the whole text. A pattern that does not compile
// drops its rule alone.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/clipboard/CommandRiskResult.h"
#include "ScourletCore/clipboard/CommandRiskSeverity.h"
#include "ScourletCore/platform/Regex.h"
#include "ScourletCore/platform/ResourceBundle.h"

namespace scourlet {

class CommandGuard {
public:
    // Resource name of the shipped copy in the resource bundle (extension "json").
    static constexpr std::string_view defaultRulesFileName = "command-guard-rules";
    // File name of the installed copy.
    static constexpr std::string_view installedRulesFileName = "command-guard-rules.json";
    // rulesVersion() when no rule bundle could be loaded.
    static constexpr std::string_view unavailableRulesVersion = "unavailable";
    // Texts longer than this many UTF-8 bytes, after normalization, are not analyzed.
    static constexpr std::size_t maximumCommandBytes = 32768;
    // The longest one analysis may search; rules past it find nothing.
    static constexpr std::chrono::milliseconds analysisTimeBudget{250};
    // Longest matchedText of a finding, in characters (grapheme clusters).
    static constexpr std::size_t maximumMatchedTextCharacters = 160;
    // A rules file larger than this counts as unreadable (the rule feed's own
    // file limit).
    static constexpr std::uintmax_t maximumRulesFileBytes = 4 * 1024 * 1024;

    // <Application Support>/com.morrowgate.scourlet/command-guard/active/
    // command-guard-rules.json, where the rule updater installs newer rules.
    // Nothing when there is no Application Support folder (no usable HOME or
    // XDG_DATA_HOME); a guard then has no installed location and uses the
    // shipped rules.
    static std::optional<std::filesystem::path> defaultInstalledRulesURL();

    // Loads the installed rules at `installedRulesURL` (nothing:
    // defaultInstalledRulesURL()) when that file reads and decodes as a rule
    // bundle, else "command-guard-rules.json" of `bundle` (nothing: the core's
    // resource bundle, ResourceBundle::packageResourceBundle()). Never fails:
    // when neither copy loads, rulesVersion() is "unavailable" and analyze()
    // finds nothing. Nothing is logged.
    explicit CommandGuard(std::optional<ResourceBundle> bundle = std::nullopt,
                          std::optional<std::filesystem::path> installedRulesURL = std::nullopt);

    // The loaded bundle's "currentVersion" exactly as stored (possibly blank),
    // or "unavailable" when none loaded.
    const std::string& rulesVersion() const { return rulesVersion_; }
    const std::string& currentRulesVersion() const { return rulesVersion_; }

    // Ids of the rules in use (loaded and compiled), in file order.
    std::vector<std::string> loadedRuleIDs() const;

    // Checks `text` against every rule whose severity is at least `threshold`.
    // The text is normalized first (line continuations joined, ends trimmed).
    // Nothing when the normalized text is empty, is longer than
    // maximumCommandBytes, is a real neutralized copy (every line a comment
    // under the neutralized header, and no control character that could
    // undo one), or matches no such rule. Otherwise a
    // result with the normalized command, one finding per matching rule (from
    // its first match) in finding order, their highest severity and
    // rulesVersion(). Never fails; a rule whose search hits the regex engine's
    // work limit counts as not matching.
    std::optional<CommandRiskResult> analyze(std::string_view text,
                                             CommandRiskSeverity threshold) const;

    // A copy of `text` that a terminal runs as comments only: the two header
    // lines ("# Scourlet neutralized a risky command copied to the
    // clipboard." and "# Review before running anything below.", each ending
    // with a line feed), then every line of the normalized text with "# "
    // before it, joined by line feeds, with no line feed at the end. Lines
    // break at CR LF, lone CR, LF, VT, FF, U+0085, U+2028 and U+2029, so no
    // line that a terminal would run is left uncommented. Control characters
    // that a terminal would act on (every C0 control but tab and the line
    // breaks, DEL, and the C1 controls but NEL) are written visibly instead,
    // "^U" for Ctrl-U, "^[" for ESC, "^?" for DEL, "<U+009B>" for a C1
    // control, so no keystroke can erase the "# " as the copy is typed. An
    // empty text gives the header and "# ".
    static std::string neutralizedCommand(std::string_view text);

    // The "currentVersion" of the rule bundle in `data`, as stored; nothing
    // when `data` is not a rule bundle or the version is empty or only white
    // space.
    static std::optional<std::string> ruleBundleVersion(std::string_view data);

private:
    // The file's records, as read from JSON.
    struct RuleDefinition {
        std::string id;
        std::string platform;
        CommandRiskSeverity severity = CommandRiskSeverity::info;
        std::string pattern;
        std::string summary;
        std::string explanation;

        static RuleDefinition fromJson(const Json& json);
    };
    struct RuleBundle {
        std::string currentVersion;
        std::vector<RuleDefinition> rules;

        static std::optional<RuleBundle> decode(std::string_view data);
    };
    struct CompiledRule {
        RuleDefinition definition;
        Regex regex;
    };

    std::string rulesVersion_;
    std::vector<CompiledRule> rules_;
};

}  // namespace scourlet
