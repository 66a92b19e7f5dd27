# The application's windows beyond the tray: the welcome and report windows,
# the command-line tool installer and the settings window with its panes.
# Included from app/CMakeLists.txt once both app libraries exist.
target_sources(scourlet_app_model PRIVATE
    cli-installer/CommandLineToolInstaller.cpp cli-installer/CommandLineToolInstaller.h
    settings/AtomicFileWrite.cpp settings/AtomicFileWrite.h
    settings/CommandRiskPresentation.cpp settings/CommandRiskPresentation.h
    settings/CSVDocument.cpp settings/CSVDocument.h
    settings/DisplayedText.cpp settings/DisplayedText.h
    settings/LastCleanDetail.cpp settings/LastCleanDetail.h
    settings/PrivacyRedirectsModel.cpp settings/PrivacyRedirectsModel.h
    settings/RulesDocument.cpp settings/RulesDocument.h
    settings/SettingsPane.cpp settings/SettingsPane.h
    settings/StatsPresentation.cpp settings/StatsPresentation.h)

target_sources(scourlet_app_ui PRIVATE
    settings/CommandRiskSection.cpp settings/CommandRiskSection.h
    settings/DomainExceptionsPane.cpp settings/DomainExceptionsPane.h
    settings/DialogFolder.cpp settings/DialogFolder.h
    settings/FileSaver.cpp settings/FileSaver.h
    settings/LastCleanDetailSection.cpp settings/LastCleanDetailSection.h
    settings/LinkButton.cpp settings/LinkButton.h
    settings/ListRow.cpp settings/ListRow.h
    settings/PlainLabel.cpp settings/PlainLabel.h
    settings/PaneScrollArea.cpp settings/PaneScrollArea.h
    settings/PaneWidgets.cpp settings/PaneWidgets.h
    settings/PickerWheelGuard.cpp settings/PickerWheelGuard.h
    settings/PrivacyRedirectsPane.cpp settings/PrivacyRedirectsPane.h
    settings/XRedirectSettingsWidget.cpp settings/XRedirectSettingsWidget.h
    settings/SettingsPage.h
    settings/SettingsWindow.cpp settings/SettingsWindow.h
    settings/SettingsWindowFactory.cpp settings/SettingsWindowFactory.h
    settings/StatsPane.cpp settings/StatsPane.h
    settings/StatusPane.cpp settings/StatusPane.h
    settings/TextColours.cpp settings/TextColours.h
    settings/AccessibleFactory.h
    settings/WidgetRowList.cpp settings/WidgetRowList.h
    settings/WrappingTextView.cpp settings/WrappingTextView.h)

# The general settings pane with launch at login.
target_sources(scourlet_app_model PRIVATE
    settings/GeneralSettingsContent.cpp settings/GeneralSettingsContent.h
    settings/LaunchAtLogin.cpp settings/LaunchAtLogin.h)
target_sources(scourlet_app_ui PRIVATE
    settings/GeneralSettingsPage.cpp settings/GeneralSettingsPage.h
    settings/GeneralSettingsPane.cpp settings/GeneralSettingsPane.h)

# The welcome and report windows.
target_sources(scourlet_app_model PRIVATE
    report/MissedTrackerReportDraft.cpp report/MissedTrackerReportDraft.h
    report/ReportHostState.h)

target_sources(scourlet_app_ui PRIVATE
    report/MissedTrackerReportHost.cpp report/MissedTrackerReportHost.h
    report/MissedTrackerReportSheet.cpp report/MissedTrackerReportSheet.h
    shell/WelcomeWindow.cpp shell/WelcomeWindow.h
    shell/WindowFactories.cpp shell/WindowFactories.h)

# The rules manager and its add-rule dialog.
target_sources(scourlet_app_model PRIVATE
    settings/AddRuleForm.cpp settings/AddRuleForm.h
    settings/RuleSearch.cpp settings/RuleSearch.h
    settings/RuleSwitches.cpp settings/RuleSwitches.h
    settings/RulesFileTransfer.cpp settings/RulesFileTransfer.h
    settings/RulesPresentation.cpp settings/RulesPresentation.h
    settings/RulesTreeModel.cpp settings/RulesTreeModel.h)

target_sources(scourlet_app_ui PRIVATE
    settings/AddCustomRuleDialog.cpp settings/AddCustomRuleDialog.h
    settings/RulesItemDelegate.cpp settings/RulesItemDelegate.h
    settings/RulesListView.cpp settings/RulesListView.h
    settings/RulesManagerPane.cpp settings/RulesManagerPane.h
    settings/RulesManagerPrompts.cpp settings/RulesManagerPrompts.h
    settings/RulesPage.cpp settings/RulesPage.h
    settings/SectionChevron.cpp settings/SectionChevron.h)

# The advanced pane: the update section, the version, the command-line tool
# installer and the resets.
target_sources(scourlet_app_model PRIVATE
    settings/AdvancedContent.cpp settings/AdvancedContent.h)
target_sources(scourlet_app_ui PRIVATE
    settings/AdvancedPane.cpp settings/AdvancedPane.h
    settings/AdvancedPanePrompts.cpp settings/AdvancedPanePrompts.h
    settings/UpdateAwarenessView.cpp settings/UpdateAwarenessView.h)
