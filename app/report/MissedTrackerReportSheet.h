// MissedTrackerReportSheet: the review of a missed-tracker report before the
// user sends it: both links, a note of at most 500 characters with its
// counter, a preview of the exact text, and three ways out: e-mail (through
// the mail program, when the mailto link is short enough), "Save Report…" (a
// text file through the save dialog) and "Copy Report". Nothing is sent by
// the sheet itself.
//
// The sheet is pinned to the clean it was made for (see
// MissedTrackerReportDraft); its host shows a caption when a newer clean
// arrives instead of swapping the link under the user's note. "Copy Report"
// writes through `Actions::copy`, which the application points at the
// clipboard monitor's own write so the next poll leaves the report's links as
// they are.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QUrl>
#include <QWidget>

#include "app/report/MissedTrackerReportDraft.h"
#include "app/settings/FileSaver.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace scourlet::app {

class MissedTrackerReportSheet final : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        std::function<void(const std::string&)> copy;
        // Opens the mailto link with the desktop's mail program, the link
        // kept out of every log; false when no mail program took it.
        std::function<bool(const QUrl&)> openURL;
        std::shared_ptr<FileSaver> saver;
        std::function<void()> dismiss;
    };

    static constexpr int copyFeedbackMilliseconds = 1600;

    MissedTrackerReportSheet(MissedTrackerReportDraft draft, Actions actions,
                             const QString& noteHelpText, QWidget* parent = nullptr);

    const MissedTrackerReportDraft& draft() const { return draft_; }
    // Shows or hides the caption that a newer link was cleaned.
    void setNewerCleanNotice(bool shown);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void noteEdited();
    // Builds the report as it stands now (note, creation time), shows it in the
    // preview and returns it, so what a button hands on is what the preview shows.
    MissedTrackerReport showCurrentReport();
    void copyReport();
    void saveReport();
    void emailReport();

    MissedTrackerReportDraft draft_;
    Actions actions_;
    QPlainTextEdit* note_ = nullptr;
    QLabel* counter_ = nullptr;
    QPlainTextEdit* preview_ = nullptr;
    QLabel* tooLong_ = nullptr;
    QLabel* mailFailed_ = nullptr;
    QLabel* newerClean_ = nullptr;
    QLabel* copyFeedback_ = nullptr;
    QPushButton* email_ = nullptr;
    QTimer* feedbackTimer_ = nullptr;
};

}  // namespace scourlet::app
