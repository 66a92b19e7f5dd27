// MissedTrackerReportHost: the report window ("Review Report"). It shows a
// notice while the last cleaned link waits for share-link resolution, an
// empty state when nothing was cleaned, and otherwise the report sheet for
// the last clean (see ReportHostState.h).
//
// The sheet is made when the window shows that page and stays pinned to its
// clean: a newer clean adds a caption instead of changing the reported link.
// Closing the window (Cancel, Escape, the close button) discards the sheet,
// so the next opening starts with an empty note; minimising it keeps the
// sheet, its note and its pin. The owner calls refresh() when the clipboard
// monitor changed.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QWidget>

#include "app/report/MissedTrackerReportDraft.h"
#include "app/report/MissedTrackerReportSheet.h"
#include "app/report/ReportHostState.h"

class QStackedWidget;

namespace scourlet::app {

class MissedTrackerReportHost final : public QWidget {
    Q_OBJECT
public:
    struct Source {
        std::function<std::optional<CleanResult>()> lastCleanedResult;
        std::function<bool()> pendingShareResolution;
        std::function<MissedTrackerReportDraft::Environment()> environment;
        std::shared_ptr<const Clock> clock;
        // Copy, open and save for the sheet; its dismiss action is the host's own.
        MissedTrackerReportSheet::Actions actions;
    };

    static constexpr const char* noteHelpText =
        "Optional, but helpful. Name the parameter or describe what still looks like tracking.";

    explicit MissedTrackerReportHost(Source source, QWidget* parent = nullptr);

    void refresh();
    ReportHostState state() const { return state_; }
    MissedTrackerReportSheet* sheet() const { return sheet_; }

    QSize sizeHint() const override { return {560, 560}; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void discardSheet();

    Source source_;
    QStackedWidget* pages_ = nullptr;
    QWidget* pendingNotice_ = nullptr;
    QWidget* emptyState_ = nullptr;
    MissedTrackerReportSheet* sheet_ = nullptr;
    ReportHostState state_ = ReportHostState::noResult;
};

}  // namespace scourlet::app
