// SingleInstanceGuard: one tray application per user session.
//
// Two running copies would race on the clipboard and count every clean twice.
// The first copy holds a lock file and, once it is ready, listens on a local
// socket, both in the
// user's runtime folder ($XDG_RUNTIME_DIR, else a private folder under the
// temporary folder), so no D-Bus session bus is needed. A later copy finds the
// lock taken, asks the first one over the socket to show itself, and ends.
// A lock left by a copy that died is taken over.
//
//   SingleInstanceGuard guard(runtimeFolder());
//   if (guard.acquire() == SingleInstanceGuard::Outcome::alreadyRunning) return 0;
//   connect(&guard, &SingleInstanceGuard::showRequested, ...);
//   guard.listen();                      // everything is set up
//
// Main thread only.
#pragma once

#include <memory>

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

namespace scourlet::app {

class SingleInstanceGuard final : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        primary,         // this is the one instance; it listens for later starts
        alreadyRunning,  // another instance runs and was asked to show itself
        unavailable,     // no usable runtime folder: runs without the guard
    };

    // `folder`: where the lock and the socket live; created with mode 0700 if
    // missing.
    explicit SingleInstanceGuard(QString folder, QObject* parent = nullptr);
    ~SingleInstanceGuard() override;

    // Takes the lock. A later start that finds it taken asks this instance
    // to show itself, once listen() runs.
    Outcome acquire();
    // Starts answering later starts; call once the application is ready to show
    // itself. False when the socket could not be made (later starts then end
    // without being answered). Only after acquire() gave primary.
    bool listen();

    // The user's runtime folder for the application: "$XDG_RUNTIME_DIR/scourlet",
    // or "<temp>/scourlet-<uid>" when XDG_RUNTIME_DIR is unset or not absolute.
    static QString defaultFolder();

Q_SIGNALS:
    // A later start asked this instance to show itself.
    void showRequested();

private:
    bool notifyRunningInstance() const;

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

}  // namespace scourlet::app
