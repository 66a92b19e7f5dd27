#include "app/settings/AdvancedContent.h"

#include "ScourletCore/updateawareness/UpdateAwarenessController.h"

namespace scourlet::app {

using namespace advanced;

CommandLineToolContent CommandLineToolContent::from(const CommandLineToolInputs& inputs) {
    CommandLineToolContent shown;
    shown.installTitle = inputs.isInstalled || inputs.needsReinstall ? kReinstallTitle : kInstallTitle;
    shown.installEnabled = !inputs.isWorking;
    shown.status = inputs.statusMessage;
    shown.statusColor = inputs.statusColor;
    return shown;
}

namespace advanced {

std::string versionLine(std::optional<std::string_view> version,
                        std::optional<std::string_view> buildText) {
    const std::string_view shownVersion =
        version && !version->empty() ? *version : kFallbackVersion;
    const std::int64_t build =
        buildText ? UpdateAwarenessController::parseBuildNumber(*buildText).value_or(kFallbackBuild)
                  : kFallbackBuild;
    return "Scourlet " + std::string(shownVersion) + " (Build " + std::to_string(build) + ")";
}

std::vector<TextRun> commandLineIntro() {
    return {{"Install ", false}, {"scourlet", true}, {" for terminal use.", false}};
}

std::vector<TextRun> commandLineCaption(std::string_view installFolder, std::string_view link) {
    return {{"The command line tool uses the same local rules as the app. Scourlet copies the "
             "tool into ",
             false},
            {std::string(installFolder), true},
            {" and links it from ", false},
            {std::string(link), true},
            {".", false}};
}

std::string shownPath(const std::filesystem::path& path, std::string_view home) {
    std::string text = path.string();
    while (home.size() > 1 && home.ends_with('/')) {
        home.remove_suffix(1);
    }
    // A home of "/" would turn every path into "~…": nothing is abbreviated.
    if (!home.starts_with('/') || home.size() < 2) {
        return text;
    }
    if (text == home) {
        return "~";
    }
    if (text.starts_with(home) && text.size() > home.size() && text[home.size()] == '/') {
        return "~" + text.substr(home.size());
    }
    return text;
}

}  // namespace advanced

}  // namespace scourlet::app
