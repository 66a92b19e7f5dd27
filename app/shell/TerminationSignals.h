// TerminationSignals: SIGTERM and SIGINT (logout, Ctrl-C) end the application
// through its normal quit, so the settings are written as on Quit.
//
// The signal handler only writes one byte to a pipe; the event loop reads it
// and emits received(), where it is safe to do anything.
//
//   TerminationSignals signals;
//   QObject::connect(&signals, &TerminationSignals::received, qApp, &QCoreApplication::quit);
//
// One instance per process, made on the main thread.
#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace scourlet::app {

class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // False when the pipe or the handlers could not be installed.
    bool installed() const { return notifier_ != nullptr; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace scourlet::app
