#include "app/settings/GeneralSettingsContent.h"

#include "ScourletCore/clipboard/MissedTrackerReport.h"

namespace scourlet::app {

using namespace general_settings;

GeneralSettingsContent GeneralSettingsContent::from(const GeneralSettingsInputs& inputs) {
    GeneralSettingsContent shown;

    shown.reportEnabled = inputs.hasLastCleanedResult && !inputs.pendingShareLinkResolution;
    if (inputs.pendingShareLinkResolution) {
        shown.supportCaption = kPendingShareLinkCaption;
    } else if (!inputs.hasLastCleanedResult) {
        shown.supportCaption = MissedTrackerReport::SharedCopy::emptyStateMessage;
    } else {
        shown.supportCaption = kReadyToReportCaption;
    }

    shown.launchAtLogin = {kLaunchAtLoginId, "Launch at Login", inputs.launchAtLogin};
    shown.launchAtLoginFailure = inputs.launchAtLoginFailure;

    // Independent: switching cleaning off leaves share-link resolution as it is.
    shown.autoClean = {kAutoCleanId, "Auto-clean clipboard URLs", inputs.cleaningEnabled};
    shown.autoResolve = {kAutoResolveId, "Automatically resolve share links",
                         inputs.automaticShareLinkResolution};

    // With Command Guard off its other controls are disabled but keep their values.
    shown.commandGuard = {kCommandGuardId, "Warn about risky terminal commands",
                          inputs.commandGuardEnabled};
    shown.threshold = {{
        {"general-command-guard-threshold-warning", "Warning and danger",
         CommandRiskSeverity::warning, inputs.threshold == CommandRiskSeverity::warning},
        {"general-command-guard-threshold-danger", "Danger only", CommandRiskSeverity::danger,
         inputs.threshold == CommandRiskSeverity::danger},
    }};
    shown.thresholdEnabled = inputs.commandGuardEnabled;
    shown.neutralize = {kNeutralizeId, "Neutralize risky commands", inputs.neutralizeRiskyCommands,
                        inputs.commandGuardEnabled};
    shown.rulesCaption = "Rules " + inputs.rulesVersion;

    shown.cleanNotifications = {kCleanNotificationsId, "URL clean notifications",
                                inputs.cleanNotifications};
    shown.commandNotifications = {kCommandNotificationsId, "Command Guard notifications",
                                  inputs.commandNotifications};
    return shown;
}

}  // namespace scourlet::app
