#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "app/settings/AdvancedContent.h"

namespace scourlet::app {
namespace {

using namespace advanced;
using Color = CommandLineToolInstaller::StatusColor;

TEST(AdvancedContentTest, VersionLineParsesTheBuildAndFallsBack) {
    struct Case {
        const char* name;
        std::optional<std::string_view> version;
        std::optional<std::string_view> build;
        std::string_view line;
    };
    const Case cases[] = {
        {"both present", "2.3", "41", "Scourlet 2.3 (Build 41)"},
        {"letters after the digits", "2.3", "41a", "Scourlet 2.3 (Build 1)"},
        {"empty build", "2.3", "", "Scourlet 2.3 (Build 1)"},
        {"leading plus", "2.3", "+7", "Scourlet 2.3 (Build 7)"},
        {"leading minus", "2.3", "-7", "Scourlet 2.3 (Build -7)"},
        {"sign alone", "2.3", "+", "Scourlet 2.3 (Build 1)"},
        {"two signs", "2.3", "+-7", "Scourlet 2.3 (Build 1)"},
        {"space before the digits", "2.3", " 41", "Scourlet 2.3 (Build 1)"},
        {"leading zeros", "2.3", "007", "Scourlet 2.3 (Build 7)"},
        {"beyond 64 bits", "2.3", "99999999999999999999", "Scourlet 2.3 (Build 1)"},
        {"largest 64-bit build", "2.3", "9223372036854775807",
         "Scourlet 2.3 (Build 9223372036854775807)"},
        {"no build", "2.3", std::nullopt, "Scourlet 2.3 (Build 1)"},
        {"no version and no build", std::nullopt, std::nullopt, "Scourlet 1.1 (Build 1)"},
        {"empty version", "", "41", "Scourlet 1.1 (Build 41)"},
        {"version kept as written", "0.1.0-beta", "0", "Scourlet 0.1.0-beta (Build 0)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(versionLine(c.version, c.build), c.line);
    }
}

TEST(AdvancedContentTest, InstallButtonAndStatusFollowTheInstaller) {
    struct Case {
        const char* name;
        bool installed;
        bool working;
        std::optional<std::string> status;
        Color color;
        std::string_view title;
        bool enabled;
        bool needsReinstall = false;
    };
    const Case cases[] = {
        {"fresh", false, false, std::nullopt, Color::secondary, kInstallTitle, true},
        {"installing", false, true, std::nullopt, Color::secondary, kInstallTitle, false},
        {"reinstalling", true, true, "Installed at /b/scourlet.", Color::green, kReinstallTitle,
         false},
        {"installed", true, false, "Installed at /b/scourlet.", Color::green, kReinstallTitle,
         true},
        {"failed", false, false, "Install failed: x", Color::red, kInstallTitle, true},
        // Our own install that no longer runs is mended by reinstalling it.
        {"ours, broken", false, false, "The scourlet at /b/scourlet no longer runs.", Color::red,
         kReinstallTitle, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLineToolContent shown = CommandLineToolContent::from(
            {c.installed, c.working, c.status, c.color, c.needsReinstall});
        EXPECT_EQ(shown.installTitle, c.title);
        EXPECT_EQ(shown.installEnabled, c.enabled);
        EXPECT_EQ(shown.status, c.status);
        EXPECT_EQ(shown.statusColor, c.color);
    }
}

TEST(AdvancedContentTest, PathsUnderTheHomeFolderAreShortened) {
    struct Case {
        const char* name;
        std::string_view path;
        std::string_view home;
        std::string_view shown;
    };
    const Case cases[] = {
        {"inside", "/home/ada/.local/bin/scourlet", "/home/ada", "~/.local/bin/scourlet"},
        {"home with a slash", "/home/ada/.local/bin/scourlet", "/home/ada/",
         "~/.local/bin/scourlet"},
        {"the home itself", "/home/ada", "/home/ada", "~"},
        {"a neighbour's folder", "/home/adam/.local/bin", "/home/ada", "/home/adam/.local/bin"},
        {"elsewhere", "/data/xdg/com.morrowgate.scourlet", "/home/ada",
         "/data/xdg/com.morrowgate.scourlet"},
        {"root as home", "/usr/bin/scourlet", "/", "/usr/bin/scourlet"},
        {"no home", "/home/ada/x", "", "/home/ada/x"},
        {"relative home", "ada/x", "ada", "ada/x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shownPath(c.path, c.home), c.shown);
    }
}

TEST(AdvancedContentTest, CaptionNamesTheGivenFoldersAsCode) {
    const std::vector<TextRun> caption = commandLineCaption(
        "~/.local/share/com.morrowgate.scourlet/CommandLineTool", "~/.local/bin/scourlet");
    std::string text;
    for (const TextRun& run : caption) {
        text += run.code ? "`" + run.text + "`" : run.text;
    }
    EXPECT_EQ(
        text,
        "The command line tool uses the same local rules as the app. Scourlet copies the tool "
        "into `~/.local/share/com.morrowgate.scourlet/CommandLineTool` and links it from "
        "`~/.local/bin/scourlet`.");
}

}  // namespace
}  // namespace scourlet::app
