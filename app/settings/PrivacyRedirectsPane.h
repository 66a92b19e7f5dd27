// The "Privacy Redirects" pane: the introduction, the X/Twitter section
// (XRedirectSettingsWidget and the browser extension caption), the Reddit
// section ("reddit-redirect-toggle", the front-end picker
// "reddit-frontend-picker", the address field "reddit-frontend-url", the help
// and status captions "reddit-frontend-help" and "reddit-redirect-status", and
// the "What is Redlib?" link) and the privacy caption.
//
// It draws PrivacyRedirectsModel and XRedirectSettingsModel, both its own,
// and forwards the user's changes to them; every change, and every showing of
// the pane, installs the redirect settings through `install`. The models
// announce their changes as they happen, so the pane redraws one turn later.
//
//   auto* pane = new PrivacyRedirectsPane({standard, appGroup, catalogUpdater,
//       [cleaner](PrivacyRedirectSettings s) { cleaner->setPrivacyRedirectSettings(std::move(s)); }});
#pragma once

#include <memory>

#include <QWidget>

#include "ScourletCore/linkrewriting/PrivacyCatalogUpdater.h"
#include "ScourletCore/linkrewriting/XRedirectSettingsModel.h"
#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "app/settings/PrivacyRedirectsModel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace scourlet::app {

class XRedirectSettingsWidget;

class PrivacyRedirectsPane final : public QWidget {
    Q_OBJECT
public:
    struct Inputs {
        std::shared_ptr<UserDefaults> standardDefaults;  // required
        std::shared_ptr<UserDefaults> appGroupDefaults;  // null: the standard store instead
        std::shared_ptr<const PrivacyCatalogUpdater> catalogUpdater;  // required
        PrivacyRedirectsModel::Install install;          // receives every new settings value
        // "Now" for which catalog instances are current.
        std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>();
    };

    explicit PrivacyRedirectsPane(Inputs inputs, QWidget* parent = nullptr);
    ~PrivacyRedirectsPane() override;

    PrivacyRedirectsModel& model() { return *model_; }
    XRedirectSettingsModel& xModel() { return *xModel_; }

    // Redraws the Reddit section from the model now (the pane also does so by
    // itself one turn after the model announced a change).
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void scheduleRefresh();

    std::shared_ptr<PrivacyRedirectsModel> model_;
    std::shared_ptr<XRedirectSettingsModel> xModel_;
    XRedirectSettingsWidget* xWidget_ = nullptr;
    QCheckBox* redditToggle_ = nullptr;
    QComboBox* frontendPicker_ = nullptr;
    QLineEdit* frontendField_ = nullptr;
    QLabel* status_ = nullptr;
    bool refreshQueued_ = false;
    Connection modelSubscription_;
};

}  // namespace scourlet::app
