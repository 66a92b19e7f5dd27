#include "app/shell/WindowManager.h"

#include "app/shell/WindowAccessibility.h"
#include "app/shell/WindowIds.h"

namespace scourlet::app {

WindowManager::WindowManager(std::shared_ptr<UserDefaults> standardDefaults, QObject* parent)
    : QObject(parent), standardDefaults_(std::move(standardDefaults)) {
    installWindowAccessibility();
}

WindowManager::~WindowManager() {
    for (auto& [id, entry] : windows_) {
        delete entry.window.data();
    }
}

void WindowManager::registerWindow(std::string_view id, Factory factory) {
    windows_[std::string(id)].factory = std::move(factory);
}

bool WindowManager::hasWindow(std::string_view id) const {
    auto found = windows_.find(id);
    return found != windows_.end() && (found->second.factory || found->second.window);
}

QWidget* WindowManager::existingWindow(std::string_view id) const {
    auto found = windows_.find(id);
    return found == windows_.end() ? nullptr : found->second.window.data();
}

bool WindowManager::showWindow(std::string_view id) {
    auto found = windows_.find(id);
    if (found == windows_.end()) {
        return false;
    }
    Entry& entry = found->second;
    if (!entry.window) {
        if (!entry.factory) {
            return false;
        }
        QWidget* window = entry.factory();
        if (window == nullptr) {
            return false;
        }
        // Closing only hides: the window keeps its state until it is shown again.
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        if (window->objectName().isEmpty()) {
            window->setObjectName(QString::fromUtf8(id.data(), static_cast<qsizetype>(id.size())) +
                                  QStringLiteral("-window"));
        }
        if (auto description = describeWindow(id)) {
            window->setWindowTitle(QString::fromUtf8(description->title.data(),
                                                     static_cast<qsizetype>(description->title.size())));
            window->resize(window->sizeHint().expandedTo(
                QSize(description->defaultWidth, description->defaultHeight)));
        }
        entry.window = window;
    }
    QWidget* window = entry.window;
    // A minimised window is brought back as it was left, not left in the task bar.
    if (window->isMinimized()) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    }
    window->show();
    window->raise();
    window->activateWindow();
    Q_EMIT windowShown(QString::fromUtf8(id.data(), static_cast<qsizetype>(id.size())));
    return true;
}

bool WindowManager::showSettingsPane(std::string_view pane) {
    if (standardDefaults_) {
        standardDefaults_->setString(kSelectedSettingsPaneKey, std::string(pane));
    }
    return showWindow(kSettingsWindowId);
}

}  // namespace scourlet::app
