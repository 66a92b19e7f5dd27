// The "Stats" pane: the figures of StatsTracker for a chosen window, the
// collection switch and the CSV export (see StatsPresentation). The pane reads
// the tracker on refresh(), on a later turn after the tracker or the clipboard
// monitor announced a change (it subscribes itself to both): the monitor
// announces the day's change at midnight, when "today" and the 7- and 30-day
// windows move on although no figure did. Switching collection stores the
// switch and reloads the tracker. The figures are made once and updated in
// place.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include <QWidget>

#include "ScourletCore/clipboard/ClipboardMonitor.h"
#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/platform/Observable.h"
#include "app/settings/FileSaver.h"
#include "app/settings/StatsPresentation.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QVBoxLayout;

namespace scourlet::app {

class StatsPane final : public QWidget {
    Q_OBJECT
public:
    // `monitor` may be null: the pane then redraws on the tracker's changes alone.
    StatsPane(std::shared_ptr<StatsTracker> tracker, std::shared_ptr<const ClipboardMonitor> monitor,
              std::shared_ptr<FileSaver> saver, QWidget* parent = nullptr);

    void refresh();
    StatsWindow selectedWindow() const { return window_; }

private:
    void exportCSV();
    void queueRefresh();
    // The rows of the categories and the cards, with empty figures.
    void buildFigures(const StatsPresentation& shown);

    std::shared_ptr<StatsTracker> tracker_;
    std::shared_ptr<FileSaver> saver_;
    StatsWindow window_ = StatsWindow::today;
    QLabel* cleaned_ = nullptr;
    QLabel* cleanedLabel_ = nullptr;
    QLabel* warnings_ = nullptr;
    QLabel* warningsLabel_ = nullptr;
    QCheckBox* collect_ = nullptr;
    QLabel* collectCaption_ = nullptr;
    QVBoxLayout* figuresLayout_ = nullptr;
    // The count labels in the order of StatsPresentation's categories and cards.
    std::vector<QLabel*> categoryCounts_;
    std::vector<QLabel*> cardCounts_;
    std::atomic<bool> refreshQueued_{false};
    Connection trackerSubscription_;
    Connection monitorSubscription_;
};

}  // namespace scourlet::app
