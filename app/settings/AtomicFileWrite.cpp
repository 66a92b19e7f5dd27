#include "app/settings/AtomicFileWrite.h"

#include <QSaveFile>

namespace scourlet::app {

std::optional<std::string> writeFileAtomically(const QString& path, std::string_view bytes) {
    QSaveFile file(path);
    const auto failure = [&] {
        return "Could not save " + path.toStdString() + ": " + file.errorString().toStdString();
    };
    if (!file.open(QIODevice::WriteOnly)) {
        return failure();
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        file.cancelWriting();
        return failure();
    }
    if (!file.commit()) {
        return failure();
    }
    return std::nullopt;
}

}  // namespace scourlet::app
