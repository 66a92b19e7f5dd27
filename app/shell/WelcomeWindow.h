// WelcomeWindow: one screen on what Scourlet does, why some parameters stay
// and that it works locally, with a way to report a missed tracker for the
// link just cleaned. Finishing it ("Done", Return) or closing it in any way
// records "welcome_help_acknowledged" in the standard settings; minimising it
// does not.
//
// "Report Missed Tracker" is enabled while `canReport` answers true; the owner
// calls refresh() when that may have changed.
//
//   auto* welcome = new WelcomeWindow(defaults, [&] { return canReportNow(); },
//                                     [&] { windows.showWindow(kReportWindowId); });
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include <QWidget>

#include "ScourletCore/platform/UserDefaults.h"

class QPushButton;

namespace scourlet::app {

class WelcomeWindow final : public QWidget {
    Q_OBJECT
public:
    static constexpr std::string_view kAcknowledgedKey = "welcome_help_acknowledged";

    WelcomeWindow(std::shared_ptr<UserDefaults> standardDefaults, std::function<bool()> canReport,
                  std::function<void()> openReport, QWidget* parent = nullptr);

    void refresh();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void acknowledge();

    std::shared_ptr<UserDefaults> defaults_;
    std::function<bool()> canReport_;
    std::function<void()> openReport_;
    QPushButton* report_ = nullptr;
};

}  // namespace scourlet::app
