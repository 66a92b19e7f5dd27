// The X/Twitter part of the Privacy Redirects pane: the choice picker
// ("x-redirect-choice") and, below it, the Nitter-compatible instance picker,
// the automatic-selection switch and the status line
// ("nitter-selection-status"), or the TwitterViewer caption and its privacy
// policy link, or the caption of the off state.
//
// It only draws an XRedirectSettingsModel and forwards the user's changes to
// it; the model stores them and tells its host. The model announces a change
// as it happens, so the widget redraws on the next turn of the event loop.
// Each time the widget is shown it tells the model it appeared (which may
// migrate the legacy switches and always tells the host).
//
//   auto* x = new XRedirectSettingsWidget(model, parent);
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "ScourletCore/linkrewriting/XRedirectSettingsModel.h"
#include "ScourletCore/platform/Observable.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace scourlet::app {

class XRedirectSettingsWidget final : public QWidget {
    Q_OBJECT
public:
    explicit XRedirectSettingsWidget(std::shared_ptr<XRedirectSettingsModel> model,
                                     QWidget* parent = nullptr);

    // Redraws from the model now (the widget also does so by itself one turn
    // after the model announced a change).
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void scheduleRefresh();

    std::shared_ptr<XRedirectSettingsModel> model_;
    QComboBox* choice_ = nullptr;
    QWidget* nitterSection_ = nullptr;
    QComboBox* instance_ = nullptr;
    QCheckBox* automatic_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* noInstances_ = nullptr;
    QWidget* twitterViewerSection_ = nullptr;
    QWidget* offSection_ = nullptr;
    // The instance ids of the rows as last drawn.
    std::vector<std::string> instanceValues_;
    bool refreshQueued_ = false;
    Connection modelSubscription_;
};

}  // namespace scourlet::app
