#include "app/settings/DialogFolder.h"

#include <QDir>
#include <QFileInfo>

namespace scourlet::app {

QString DialogFolder::start() const {
    if (!last_.isEmpty() && QFileInfo(last_).isDir()) {
        return last_;
    }
    return QDir::homePath();
}

void DialogFolder::remember(const QString& chosenFile) {
    if (!chosenFile.isEmpty()) {
        last_ = QFileInfo(chosenFile).absolutePath();
    }
}

}  // namespace scourlet::app
