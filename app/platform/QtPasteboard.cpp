#include "app/platform/QtPasteboard.h"

#include <QClipboard>
#include <QUrl>

namespace scourlet::app {

QtPasteboard::QtPasteboard(QClipboard* clipboard, QObject* parent)
    : QObject(parent), clipboard_(clipboard) {
    connect(clipboard_, &QClipboard::changed, this,
            [this](QClipboard::Mode mode) { clipboardChanged(static_cast<int>(mode)); });
}

QtPasteboard::~QtPasteboard() = default;

void QtPasteboard::clipboardChanged(int mode) {
    if (mode != QClipboard::Clipboard) {
        return;  // the selection and the find buffer are not the clipboard
    }
    if (unreportedWrite_ && clipboard_->mimeData(QClipboard::Clipboard) == unreportedWrite_) {
        unreportedWrite_.clear();  // our own write, already counted
        return;
    }
    unreportedWrite_.clear();
    ++changeCount_;
}

std::size_t QtPasteboard::itemCount() const {
    const QMimeData* data = clipboard_->mimeData(QClipboard::Clipboard);
    return data != nullptr && !data->formats().isEmpty() ? 1 : 0;
}

Result<std::optional<std::string>, Pasteboard::ReadError> QtPasteboard::string(
    std::size_t index, StringType type, std::size_t maximumBytes, Deadline deadline) const {
    using Answer = Result<std::optional<std::string>, ReadError>;
    if (index != 0) {
        return Answer(std::optional<std::string>());  // the desktop clipboard holds one item
    }
    if (std::chrono::steady_clock::now() >= deadline) {
        return Answer(ReadError::timedOut);
    }
    // On X11 this asks the owning program for the contents and spins a nested
    // event loop until it answers (or the toolkit's own time limit passes).
    const QMimeData* data = clipboard_->mimeData(QClipboard::Clipboard);
    if (data == nullptr) {
        return Answer(ReadError::unavailable);
    }
    QByteArray bytes;
    if (type == StringType::plainText) {
        if (!data->hasText()) {
            return Answer(std::optional<std::string>());
        }
        bytes = data->text().toUtf8();
    } else {
        if (!data->hasUrls() || data->urls().isEmpty()) {
            return Answer(std::optional<std::string>());
        }
        bytes = data->urls().constFirst().toString(QUrl::FullyEncoded).toUtf8();
    }
    if (static_cast<std::size_t>(bytes.size()) > maximumBytes) {
        return Answer(ReadError::tooLarge);
    }
    if (std::chrono::steady_clock::now() > deadline) {
        return Answer(ReadError::timedOut);
    }
    return Answer(std::optional<std::string>(
        std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
}

std::int64_t QtPasteboard::clearAndWrite(std::string_view text) {
    auto* data = new QMimeData;
    data->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    ++changeCount_;
    unreportedWrite_ = data;
    clipboard_->setMimeData(data, QClipboard::Clipboard);  // takes ownership
    return changeCount_;
}

}  // namespace scourlet::app
