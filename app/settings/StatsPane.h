// The "Stats" pane: the figures of StatsTracker for a chosen window, the
// collection switch and the CSV export (see StatsPresentation). The pane reads
// the tracker on refresh(), which its owner calls after the tracker announced
// a change (it subscribes itself: the tracker lives on the main thread);
// switching collection stores the switch and reloads the tracker.
#pragma once

#include <memory>

#include <QWidget>

#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/platform/Observable.h"
#include "app/settings/FileSaver.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QVBoxLayout;

namespace scourlet::app {

class StatsPane final : public QWidget {
    Q_OBJECT
public:
    StatsPane(std::shared_ptr<StatsTracker> tracker, std::shared_ptr<FileSaver> saver,
              QWidget* parent = nullptr);

    void refresh();
    StatsWindow selectedWindow() const { return window_; }

private:
    void exportCSV();

    std::shared_ptr<StatsTracker> tracker_;
    std::shared_ptr<FileSaver> saver_;
    StatsWindow window_ = StatsWindow::today;
    QLabel* cleaned_ = nullptr;
    QLabel* cleanedLabel_ = nullptr;
    QLabel* warnings_ = nullptr;
    QLabel* warningsLabel_ = nullptr;
    QCheckBox* collect_ = nullptr;
    QLabel* collectCaption_ = nullptr;
    QWidget* figures_ = nullptr;
    QVBoxLayout* figuresLayout_ = nullptr;
    bool refreshQueued_ = false;
    Connection trackerSubscription_;
};

}  // namespace scourlet::app
