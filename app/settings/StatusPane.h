// The "Status" pane: the last Command Guard warning and the last cleaned link,
// or a placeholder for each. The second section is titled "Link Needs Action"
// while a share link waits for resolution, "Last Cleaned Link" otherwise; its
// title follows the pending flag alone and its content the result alone.
// A section is rebuilt only when what it shows changed: a selection in it,
// and the time a long command takes to lay out, are kept otherwise.
//
//   pane->showStatus({monitor.lastCommandRisk(), monitor.lastCleanedResult(),
//               monitor.hasPendingShareLinkResolution()});
#pragma once

#include <optional>

#include <QWidget>

#include "ScourletCore/clipboard/CommandRiskResult.h"
#include "ScourletCore/rules/CleanResult.h"
#include "app/settings/LastCleanDetailSection.h"

class QGroupBox;
class QVBoxLayout;

namespace scourlet::app {

class StatusPane final : public QWidget {
    Q_OBJECT
public:
    struct Inputs {
        std::optional<CommandRiskResult> commandRisk;
        std::optional<CleanResult> lastCleanedResult;
        bool pendingShareResolution = false;

        bool operator==(const Inputs&) const = default;
    };

    explicit StatusPane(LastCleanDetailSection::CopyText copy, QWidget* parent = nullptr);

    void showStatus(const Inputs& inputs);

private:
    void showWarning(const std::optional<CommandRiskResult>& commandRisk);
    void showClean(const std::optional<CleanResult>& result, bool pendingShareResolution);

    LastCleanDetailSection::CopyText copy_;
    std::optional<Inputs> shown_;
    QGroupBox* warningBox_ = nullptr;
    QGroupBox* cleanBox_ = nullptr;
    QWidget* warningContent_ = nullptr;
    QWidget* cleanContent_ = nullptr;
};

}  // namespace scourlet::app
