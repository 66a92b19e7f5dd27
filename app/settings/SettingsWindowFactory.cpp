#include "app/settings/SettingsWindowFactory.h"

#include "ScourletCore/linkrewriting/PrivacyCatalogUpdater.h"
#include "ScourletCore/platform/Clock.h"
#include "app/cli-installer/CommandLineToolInstaller.h"
#include "app/settings/AdvancedPane.h"
#include "app/settings/AdvancedPanePrompts.h"
#include "app/settings/DomainExceptionsPane.h"
#include "app/settings/GeneralSettingsPage.h"
#include "app/settings/PrivacyRedirectsPane.h"
#include "app/settings/RulesPage.h"
#include "app/settings/SettingsWindow.h"
#include "app/settings/StatsPane.h"
#include "app/settings/StatusPane.h"
#include "app/settings/UpdateAwarenessView.h"
#include "app/shell/AppState.h"
#include "app/shell/WindowManager.h"

namespace scourlet::app {

namespace {

StatusPane::Inputs statusInputs(const ClipboardMonitor& monitor) {
    return {monitor.lastCommandRisk(), monitor.lastCleanedResult(),
            monitor.hasPendingShareLinkResolution()};
}

class StatusPage final : public SettingsPage {
public:
    explicit StatusPage(AppState& state) : state_(state) {}
    SettingsPane pane() const override { return SettingsPane::status; }
    QWidget* createWidget(QWidget* parent) override {
        std::shared_ptr<ClipboardMonitor> monitor = state_.monitor();
        auto* pane = new StatusPane([monitor](const std::string& text) { monitor->writeUserCopy(text); },
                                    parent);
        pane->showStatus(statusInputs(*monitor));
        QObject::connect(&state_, &AppState::changed, pane,
                         [pane, monitor] { pane->showStatus(statusInputs(*monitor)); });
        return pane;
    }

private:
    AppState& state_;
};

class PrivacyRedirectsPage final : public SettingsPage {
public:
    explicit PrivacyRedirectsPage(AppState& state) : state_(state) {}
    SettingsPane pane() const override { return SettingsPane::privacyRedirects; }
    QWidget* createWidget(QWidget* parent) override {
        std::shared_ptr<URLCleaner> cleaner = state_.monitor()->urlCleaner();
        return new PrivacyRedirectsPane(
            {state_.standardDefaults(), state_.appGroupDefaults(), catalogUpdater(),
             [cleaner](PrivacyRedirectSettings settings) {
                 cleaner->setPrivacyRedirectSettings(std::move(settings));
             }},
            parent);
    }

private:
    // The update controller's catalog updater: the pane follows the verified
    // catalog in force, also right after the update section installed one.
    std::shared_ptr<const PrivacyCatalogUpdater> catalogUpdater() const {
        return state_.updates()->catalog();
    }

    AppState& state_;
};

class ExceptionsPage final : public SettingsPage {
public:
    explicit ExceptionsPage(AppState& state) : state_(state) {}
    SettingsPane pane() const override { return SettingsPane::exceptions; }
    QWidget* createWidget(QWidget* parent) override {
        auto* pane = new DomainExceptionsPane(state_.exceptionStore(), parent);
        QObject::connect(&state_, &AppState::changed, pane, &DomainExceptionsPane::refresh);
        return pane;
    }

private:
    AppState& state_;
};

class StatsPage final : public SettingsPage {
public:
    StatsPage(AppState& state, std::shared_ptr<FileSaver> saver)
        : state_(state), saver_(std::move(saver)) {}
    SettingsPane pane() const override { return SettingsPane::stats; }
    QWidget* createWidget(QWidget* parent) override {
        return new StatsPane(state_.statsTracker(), state_.monitor(), saver_, parent);
    }

private:
    AppState& state_;
    std::shared_ptr<FileSaver> saver_;
};

class AdvancedPage final : public SettingsPage {
public:
    AdvancedPage(AppState& state, std::shared_ptr<RulesManagerPrompts> rulesPrompts)
        : state_(state), rulesPrompts_(std::move(rulesPrompts)) {}
    SettingsPane pane() const override { return SettingsPane::advanced; }
    QWidget* createWidget(QWidget* parent) override {
        auto installer = std::make_unique<CommandLineToolInstaller>(
            CommandLineToolInstaller::defaultPaths(), std::make_shared<SystemClock>());
        // The update section over the application's update controller and
        // rules updater, with the standard update actions.
        auto* updateSection = new UpdateAwarenessView(state_.updates(), state_.rulesUpdater());
        return new AdvancedPane(
            {state_.rulesEngine(), state_.statsTracker(), state_.monitor(), std::move(installer),
             rulesPrompts_, std::make_shared<AdvancedPanePrompts>()},
            updateSection, parent);
    }

private:
    AppState& state_;
    std::shared_ptr<RulesManagerPrompts> rulesPrompts_;
};

}  // namespace

QWidget* makeSettingsWindow(AppState& state, WindowManager& windows,
                            std::shared_ptr<FileSaver> saver) {
    std::vector<std::unique_ptr<SettingsPage>> pages;
    pages.push_back(std::make_unique<StatusPage>(state));
    pages.push_back(std::make_unique<GeneralSettingsPage>(
        state, [&windows](std::string_view id) { windows.showWindow(id); },
        GeneralSettingsPage::desktopLoginItem()));
    pages.push_back(std::make_unique<PrivacyRedirectsPage>(state));
    // One rules-reset question for the rules manager and the advanced pane.
    auto rulesPrompts = std::make_shared<RulesManagerPrompts>();
    pages.push_back(std::make_unique<RulesPage>(state.rulesEngine(), saver, rulesPrompts));
    pages.push_back(std::make_unique<ExceptionsPage>(state));
    pages.push_back(std::make_unique<StatsPage>(state, std::move(saver)));
    pages.push_back(std::make_unique<AdvancedPage>(state, std::move(rulesPrompts)));
    return new SettingsWindow(state.standardDefaults(), std::move(pages));
}

}  // namespace scourlet::app
