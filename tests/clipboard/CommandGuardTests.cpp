#include "ScourletCore/clipboard/CommandGuard.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnvironment;
using testing::TempDir;
using testing::writeFile;

constexpr std::string_view kHeader =
    "# Scourlet neutralized a risky command copied to the clipboard.\n"
    "# Review before running anything below.\n";

Json ruleJson(std::string id, std::string severity, std::string pattern) {
    return Json{
        {"id", std::move(id)},           {"platform", "test"},   {"severity", std::move(severity)},
        {"pattern", std::move(pattern)}, {"summary", "summary"}, {"explanation", "explanation"}};
}

std::string bundleText(std::string version, std::vector<Json> rules) {
    Json json{{"currentVersion", std::move(version)}, {"rules", Json::array()}};
    for (auto& rule : rules) {
        json["rules"].push_back(std::move(rule));
    }
    return dumpJson(json);
}

std::vector<std::string> ids(const CommandRiskResult& result) {
    std::vector<std::string> out;
    for (const auto& f : result.findings) {
        out.push_back(f.id);
    }
    return out;
}

// A shipped bundle folder and an installed-rules path, both in a fresh folder.
class CommandGuardLoading : public ::testing::Test {
protected:
    void ship(const std::string& text) { writeFile(shippedDir / "command-guard-rules.json", text); }
    void install(const std::string& text) { writeFile(installed, text); }
    CommandGuard guard() const { return CommandGuard(ResourceBundle(shippedDir), installed); }

    TempDir dir;
    fs::path shippedDir = dir / "Scourlet_ScourletCore.bundle";
    fs::path installed = dir / "installed" / "command-guard-rules.json";
    std::string shipped = bundleText("shipped-1", {ruleJson("s", "danger", "shipped")});
};

TEST_F(CommandGuardLoading, ValidInstalledCopyWins) {
    ship(shipped);
    install(bundleText("installed-2", {ruleJson("i", "danger", "installed")}));
    const CommandGuard g = guard();
    EXPECT_EQ(g.currentRulesVersion(), "installed-2");
    EXPECT_EQ(g.loadedRuleIDs(), std::vector<std::string>{"i"});
}

TEST_F(CommandGuardLoading, UnusableInstalledCopyFallsBackToTheShippedOne) {
    ship(shipped);
    const std::vector<std::string> unusable = {
        "",
        "{not json",
        "[]",
        R"({"rules": []})",
        R"({"currentVersion": 3, "rules": []})",
        R"({"currentVersion": "9", "rules": {}})",
        bundleText("9", {ruleJson("ok", "danger", "x"), ruleJson("bad", "critical", "y")}),
        bundleText("9", {ruleJson("ok", "Danger", "x")}),
        "{\"currentVersion\": \"9\", \"rules\": [{\"id\": \"a\", \"platform\": \"p\", "
        "\"severity\": \"info\", \"pattern\": \"x\", \"summary\": \"s\"}]}",
        "{\"currentVersion\": \"9\", \"rules\": [{\"id\": 1, \"platform\": \"p\", "
        "\"severity\": \"info\", \"pattern\": \"x\", \"summary\": \"s\", \"explanation\": \"e\"}]}",
        "{\"currentVersion\": \"\xff\", \"rules\": []}",
    };
    for (const auto& text : unusable) {
        install(text);
        EXPECT_EQ(guard().currentRulesVersion(), "shipped-1") << text;
    }
    fs::remove(installed);
    EXPECT_EQ(guard().currentRulesVersion(), "shipped-1");
    fs::create_directories(installed);  // a folder where the file should be
    EXPECT_EQ(guard().currentRulesVersion(), "shipped-1");
}

TEST_F(CommandGuardLoading, OversizedInstalledCopyIsNotRead) {
    ship(shipped);
    std::string big = bundleText("big", {ruleJson("i", "danger", "x")});
    big.append(CommandGuard::maximumRulesFileBytes, ' ');
    install(big);
    EXPECT_EQ(guard().currentRulesVersion(), "shipped-1");
}

TEST_F(CommandGuardLoading, NoUsableCopyLeavesTheGuardUnavailableAndSilent) {
    EXPECT_EQ(guard().currentRulesVersion(), "unavailable");
    ship("{\"currentVersion\": \"1\"}");
    install("garbage");
    const CommandGuard g = guard();
    EXPECT_EQ(g.rulesVersion(), "unavailable");
    EXPECT_TRUE(g.loadedRuleIDs().empty());
    EXPECT_EQ(g.analyze("sudo rm -rf /", CommandRiskSeverity::info), std::nullopt);
}

TEST_F(CommandGuardLoading, PatternsThatDoNotCompileDropOnlyTheirRule) {
    ship(bundleText("1", {ruleJson("a", "info", "a"), ruleJson("broken", "danger", "(unclosed"),
                          ruleJson("empty", "danger", ""), ruleJson("c", "info", "c")}));
    const CommandGuard g = guard();
    EXPECT_EQ(g.loadedRuleIDs(), (std::vector<std::string>{"a", "c"}));
    const auto result = g.analyze("a c (unclosed", CommandRiskSeverity::info);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(ids(*result), (std::vector<std::string>{"a", "c"}));
}

TEST_F(CommandGuardLoading, BlankVersionIsKeptByTheGuardButIsNoBundleVersion) {
    const std::string blank = bundleText(" \n", {ruleJson("a", "info", "a")});
    ship(blank);
    EXPECT_EQ(guard().currentRulesVersion(), " \n");
    EXPECT_EQ(CommandGuard::ruleBundleVersion(blank), std::nullopt);
}

TEST(CommandGuardBundleVersion, ReadsTheStoredVersionOfARuleBundleOnly) {
    EXPECT_EQ(CommandGuard::ruleBundleVersion(bundleText(" 2025.2 ", {})), " 2025.2 ");
    EXPECT_EQ(CommandGuard::ruleBundleVersion(bundleText("3", {ruleJson("a", "info", "(")})), "3");
    EXPECT_EQ(CommandGuard::ruleBundleVersion(bundleText("", {})), std::nullopt);
    EXPECT_EQ(CommandGuard::ruleBundleVersion("{}"), std::nullopt);
    EXPECT_EQ(CommandGuard::ruleBundleVersion(""), std::nullopt);
    EXPECT_EQ(CommandGuard::ruleBundleVersion(bundleText("4", {ruleJson("a", "severe", "a")})),
              std::nullopt);
}

TEST(CommandGuardInstalledLocation, LivesUnderApplicationSupportOrNowhere) {
    ScopedEnvironment env;
    env.set("XDG_DATA_HOME", "/data/home");
    EXPECT_EQ(CommandGuard::defaultInstalledRulesURL(),
              fs::path("/data/home/com.morrowgate.scourlet/command-guard/active/"
                       "command-guard-rules.json"));
    env.unset("XDG_DATA_HOME");
    env.set("HOME", "relative/home");
    EXPECT_EQ(CommandGuard::defaultInstalledRulesURL(), std::nullopt);

    // With no installed location the shipped copy is used.
    TempDir dir;
    writeFile(dir / "command-guard-rules.json", bundleText("shipped", {}));
    EXPECT_EQ(CommandGuard(ResourceBundle(dir.path())).currentRulesVersion(), "shipped");
}

TEST(CommandGuardInstalledLocation, DefaultGuardReadsTheDefaultLocation) {
    TempDir dir;
    ScopedEnvironment env;
    env.set("XDG_DATA_HOME", dir.path().string());
    writeFile(dir / "command-guard-rules.json", bundleText("shipped", {}));
    const auto url = CommandGuard::defaultInstalledRulesURL();
    ASSERT_TRUE(url.has_value());
    writeFile(*url, bundleText("installed", {}));
    EXPECT_EQ(CommandGuard(ResourceBundle(dir.path())).currentRulesVersion(), "installed");
}

// A guard over a small rule set of known behaviour.
class CommandGuardAnalysis : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir / "command-guard-rules.json",
                  bundleText("fixture-7", {
                                              ruleJson("b-warn", "warning", "rm"),
                                              ruleJson("info", "info", "ls"),
                                              ruleJson("danger", "danger", "sudo"),
                                              ruleJson("a-warn", "warning", "r[m]"),
                                              ruleJson("long", "info", "q[^ ]+"),
                                              ruleJson("blank", "info", "   "),
                                              ruleJson("line", "info", "^a.b$"),
                                          }));
        guard = CommandGuard(ResourceBundle(dir.path()), dir / "none.json");
    }

    TempDir dir;
    CommandGuard guard{ResourceBundle(fs::path("/nonexistent")), fs::path("/nonexistent")};
};

TEST_F(CommandGuardAnalysis, ThresholdSelectsRulesAndFindingsComeInFindingOrder) {
    const std::string text = "ls; sudo rm x";
    const auto atInfo = guard.analyze(text, CommandRiskSeverity::info);
    ASSERT_TRUE(atInfo.has_value());
    EXPECT_EQ(ids(*atInfo), (std::vector<std::string>{"danger", "a-warn", "b-warn", "info"}));
    EXPECT_EQ(atInfo->severity, CommandRiskSeverity::danger);
    EXPECT_EQ(atInfo->rulesVersion, "fixture-7");
    EXPECT_EQ(atInfo->command, text);
    EXPECT_EQ(atInfo->primaryFinding()->id, "danger");

    const auto atWarning = guard.analyze(text, CommandRiskSeverity::warning);
    ASSERT_TRUE(atWarning.has_value());
    EXPECT_EQ(ids(*atWarning), (std::vector<std::string>{"danger", "a-warn", "b-warn"}));

    const auto atDanger = guard.analyze(text, CommandRiskSeverity::danger);
    ASSERT_TRUE(atDanger.has_value());
    EXPECT_EQ(ids(*atDanger), std::vector<std::string>{"danger"});

    const auto warningOnly = guard.analyze("rm x", CommandRiskSeverity::info);
    ASSERT_TRUE(warningOnly.has_value());
    EXPECT_EQ(warningOnly->severity, CommandRiskSeverity::warning);
    EXPECT_EQ(guard.analyze("ls -la", CommandRiskSeverity::warning), std::nullopt);
    EXPECT_EQ(guard.analyze("rm x", CommandRiskSeverity::danger), std::nullopt);
}

TEST_F(CommandGuardAnalysis, EachRuleGivesOneFindingFromItsFirstMatch) {
    const auto result = guard.analyze("qone rm qtwo rm", CommandRiskSeverity::info);
    ASSERT_TRUE(result.has_value());
    ASSERT_EQ(ids(*result), (std::vector<std::string>{"a-warn", "b-warn", "long"}));
    EXPECT_EQ(result->findings[2].matchedText, "qone");
    EXPECT_EQ(result->findings[2].platform, "test");
    EXPECT_EQ(result->findings[2].summary, "summary");
    EXPECT_EQ(result->findings[2].explanation, "explanation");
}

TEST_F(CommandGuardAnalysis, MatchedTextIsTrimmedAndCutAt160Characters) {
    auto matched = [this](const std::string& text) {
        const auto result = guard.analyze(text, CommandRiskSeverity::info);
        EXPECT_TRUE(result.has_value()) << text;
        for (const auto& f : result->findings) {
            if (f.id == "long") {
                return f.matchedText;
            }
        }
        return std::string("<no match>");
    };
    const std::string exact = "q" + std::string(159, 'x');
    EXPECT_EQ(matched(exact), exact);
    const std::string longer = "q" + std::string(160, 'x');
    EXPECT_EQ(matched(longer), longer.substr(0, 157) + "...");

    // Characters, not bytes: 101 two-byte characters stay whole, 170 are cut.
    std::string accents = "q";
    for (int i = 0; i < 100; ++i) {
        accents += "\u00e9";
    }
    EXPECT_EQ(matched(accents), accents);
    std::string decomposed = "q";
    for (int i = 0; i < 169; ++i) {
        decomposed += "e\u0301";  // one character of three bytes
    }
    const std::string cut = matched(decomposed);
    EXPECT_EQ(cut, decomposed.substr(0, 1 + 156 * 3) + "...");

    const auto blank = guard.analyze("a   b", CommandRiskSeverity::info);
    ASSERT_TRUE(blank.has_value());
    EXPECT_EQ(blank->findings.front().id, "blank");
    EXPECT_EQ(blank->findings.front().matchedText, "");
}

TEST_F(CommandGuardAnalysis, TextIsNormalizedBeforeAnythingElse) {
    // The continuation becomes one space beside the space already there.
    EXPECT_EQ(guard.analyze("a \\\nb ls", CommandRiskSeverity::info)->command, "a  b ls");
    const struct {
        const char* text;
        const char* command;
    } cases[] = {
        {"  ls -la \n\n", "ls -la"},
        {"ls \\\r\n-la", "ls  -la"},
        {"ls `\n-la", "ls  -la"},
        {"ls `\r\n-la", "ls  -la"},
        {"ls \\\\\n-la", "ls \\ -la"},
        {"ls \\\r-la", "ls \\\r-la"},  // only LF and CR LF continue a line
        {"ls \\ \n-la", "ls \\ \n-la"},
    };
    for (const auto& c : cases) {
        const auto result = guard.analyze(c.text, CommandRiskSeverity::info);
        ASSERT_TRUE(result.has_value()) << c.text;
        EXPECT_EQ(result->command, c.command) << c.text;
    }
    // Without options "^" and "$" refer to the whole text and "." stops at breaks.
    EXPECT_EQ(guard.analyze("a\nb", CommandRiskSeverity::info), std::nullopt);
    EXPECT_EQ(guard.analyze("x\naxb", CommandRiskSeverity::info), std::nullopt);
    EXPECT_TRUE(guard.analyze(" axb\n", CommandRiskSeverity::info).has_value());
    EXPECT_EQ(guard.analyze("", CommandRiskSeverity::info), std::nullopt);
    EXPECT_EQ(guard.analyze(" \t\r\n \n", CommandRiskSeverity::info), std::nullopt);
}

TEST_F(CommandGuardAnalysis, SizeLimitAppliesToTheNormalizedText) {
    const std::string atLimit = "rm" + std::string(CommandGuard::maximumCommandBytes - 2, 'z');
    EXPECT_TRUE(guard.analyze(atLimit, CommandRiskSeverity::info).has_value());
    EXPECT_EQ(guard.analyze(atLimit + "z", CommandRiskSeverity::info), std::nullopt);
    // Surrounding white space is trimmed before the count.
    EXPECT_TRUE(guard.analyze("\n  " + atLimit + "  \n", CommandRiskSeverity::info).has_value());
    // A continuation of three bytes becomes one space: 32770 bytes become 32768.
    const std::string joined =
        "rm \\\r\n" + std::string(CommandGuard::maximumCommandBytes - 4, 'z');
    ASSERT_EQ(joined.size(), CommandGuard::maximumCommandBytes + 2);
    EXPECT_TRUE(guard.analyze(joined, CommandRiskSeverity::info).has_value());
}

TEST_F(CommandGuardAnalysis, OnlyARealNeutralizedCopyIsSkipped) {
    const std::vector<std::string> risky = {"sudo rm -rf /", "ls\nsudo rm x\n\nrm y",
                                            "sudo a\r\nb\rrm\x0b"
                                            "c\fsudo\u2028x\u2029y\u0085z"};
    for (const auto& text : risky) {
        ASSERT_TRUE(guard.analyze(text, CommandRiskSeverity::info).has_value()) << text;
        const std::string copy = CommandGuard::neutralizedCommand(text);
        EXPECT_EQ(guard.analyze(copy, CommandRiskSeverity::info), std::nullopt) << copy;
        // Pasted back with other line endings or surrounding blank lines.
        std::string crlf;
        for (char c : copy) {
            if (c == '\n') {
                crlf += '\r';
            }
            crlf += c;
        }
        EXPECT_EQ(guard.analyze("\n" + crlf + "\r\n\r\n", CommandRiskSeverity::info), std::nullopt);
    }

    // The header followed by a live line is analyzed like any other text.
    const std::string live = std::string(kHeader) + "# ls\nsudo rm x";
    const auto result = guard.analyze(live, CommandRiskSeverity::info);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->primaryFinding()->id, "danger");
    EXPECT_TRUE(guard.analyze(std::string(kHeader) + "sudo", CommandRiskSeverity::info));
    EXPECT_TRUE(guard.analyze(std::string(kHeader) + "# a\rsudo", CommandRiskSeverity::info));
    // A shell ends a comment at the line break even after a backslash, so the
    // line after it runs although normalization joins the two.
    EXPECT_TRUE(guard.analyze(std::string(kHeader) + "# a \\\nsudo x", CommandRiskSeverity::info));
    // Comment lines without the header are just text.
    EXPECT_TRUE(guard.analyze("# sudo", CommandRiskSeverity::info));
}

TEST_F(CommandGuardAnalysis, MalformedTextIsAnalyzedWithoutHarm) {
    // Invalid UTF-8 and NUL bytes around the commands: matches stop at them,
    // nothing reads past them, and the neutralized copy keeps every byte.
    static constexpr char kBytes[] = "\xff\xfe sudo \xc3\x28 rm\0qz\x80\x80 \xe2\x80";
    const std::string text(kBytes, sizeof kBytes - 1);
    const auto result = guard.analyze(text, CommandRiskSeverity::info);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(ids(*result), (std::vector<std::string>{"danger", "a-warn", "b-warn", "long"}));
    EXPECT_EQ(result->findings.back().matchedText, "qz");
    EXPECT_EQ(result->command, text);
    std::string visible = text;
    visible.replace(visible.find('\0'), 1, "^@");
    EXPECT_EQ(CommandGuard::neutralizedCommand(text), std::string(kHeader) + "# " + visible);
}

// A terminal acts on control characters as they are typed: Ctrl-U erases the
// "# " before it, ESC starts an escape sequence. A neutralized copy holds none
// of them, and a text holding one is never taken for a neutralized copy.
TEST_F(CommandGuardAnalysis, ControlCharactersCannotUndoTheComments) {
    const std::string erasing = "echo hello\x15touch ~/pwned\necho bye";
    const std::string copy = CommandGuard::neutralizedCommand(erasing);
    EXPECT_EQ(copy, std::string(kHeader) + "# echo hello^Utouch ~/pwned\n# echo bye");

    for (const char* hidden : {"# x\x15sudo a", "# x\x1b[2Ksudo a", "# x\x7fsudo a",
                               "# x\xc2\x9bsudo a", "# x\x03sudo a"}) {
        const std::string text = std::string(kHeader) + hidden;
        const auto result = guard.analyze(text, CommandRiskSeverity::info);
        ASSERT_TRUE(result.has_value()) << hidden;
        EXPECT_EQ(result->primaryFinding()->id, "danger");
        // Its own neutralized copy is a real one.
        EXPECT_EQ(guard.analyze(CommandGuard::neutralizedCommand(text), CommandRiskSeverity::info),
                  std::nullopt)
            << hidden;
    }
}

TEST(CommandGuardNeutralizedCopy, EveryLineBecomesAComment) {
    const struct {
        const char* text;
        std::string expected;
    } cases[] = {
        {"rm -rf /", std::string(kHeader) + "# rm -rf /"},
        {"", std::string(kHeader) + "# "},
        {"  \n\t", std::string(kHeader) + "# "},
        {"a\n\nb", std::string(kHeader) + "# a\n# \n# b"},
        {"\n  a\n  b  \n", std::string(kHeader) + "# a\n#   b"},
        {"a \\\nb", std::string(kHeader) + "# a  b"},
        {"a\r\nb", std::string(kHeader) + "# a\n# b"},
        {"a\rb", std::string(kHeader) + "# a\n# b"},
        {"a\r\rb", std::string(kHeader) + "# a\n# \n# b"},
        {"a\vb\fc", std::string(kHeader) + "# a\n# b\n# c"},
        {"a\u0085b\u2028c\u2029d", std::string(kHeader) + "# a\n# b\n# c\n# d"},
        {"caf\u00e9 \u2027 \xc2", std::string(kHeader) + "# caf\u00e9 \u2027 \xc2"},
        // Controls a terminal would act on are written visibly; tab stays.
        {"a\x15"
         "b\x1b[31m\x7f\x01\x1f\tc",
         std::string(kHeader) + "# a^Ub^[[31m^?^A^_\tc"},
        {"x\xc2\x9b"
         "2J\xc2\x80y\xc2\xa0z",
         std::string(kHeader) + "# x<U+009B>2J<U+0080>y\xc2\xa0z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CommandGuard::neutralizedCommand(c.text), c.expected) << c.text;
    }
}

}  // namespace
}  // namespace scourlet
