// QtPasteboard: the desktop clipboard (QClipboard, the Clipboard mode, never the
// X11 primary selection) as the core's Pasteboard.
//
// The change count moves on every dataChanged() of the clipboard; a write of
// this object moves it once, also where the toolkit reports the write back
// later. Reads are bounded as the Pasteboard contract asks: the toolkit hands
// the whole form over before its size can be known, so a form over the limit is
// refused after the transfer, and a read that finished past its deadline
// counts as timed out.
//
//   auto pasteboard = std::make_shared<QtPasteboard>(QGuiApplication::clipboard());
//   Connection watching = pasteboard->watch();
//
// Main thread only. The QClipboard must outlive this object.
#pragma once

#include <QMimeData>
#include <QObject>
#include <QPointer>

#include "ScourletCore/clipboard/Pasteboard.h"

class QClipboard;

namespace scourlet::app {

class QtPasteboard final : public QObject, public Pasteboard {
    Q_OBJECT
public:
    explicit QtPasteboard(QClipboard* clipboard, QObject* parent = nullptr);
    ~QtPasteboard() override;

    std::int64_t changeCount() const override { return changeCount_; }
    std::size_t itemCount() const override;
    Result<std::optional<std::string>, ReadError> string(std::size_t index, StringType type,
                                                         std::size_t maximumBytes,
                                                         Deadline deadline) const override;
    std::int64_t clearAndWrite(std::string_view text) override;

private:
    void clipboardChanged(int mode);

    QClipboard* clipboard_;
    std::int64_t changeCount_ = 0;
    // The contents of our last write, until the clipboard reports that write;
    // that report is not a change of its own.
    QPointer<QMimeData> unreportedWrite_;
};

}  // namespace scourlet::app
