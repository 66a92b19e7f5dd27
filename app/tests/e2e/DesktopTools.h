// What the end-to-end tests use to meet the program as a person would: the
// clipboard through xclip, windows and input through xdotool and xwininfo,
// and the built program started over a home folder of its own.
//
// Every wait polls until its condition holds or its time runs out, with the
// event loop running, so a loaded machine only makes a test slower.
//
//   ProgramHome home;
//   QProcess app;
//   home.start(app);
//   copyWithXclip(link);
//   QVERIFY(clipboardBecomes(clean, 10000));
#pragma once

#include <functional>
#include <optional>

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include "support/TempDir.h"

namespace scourlet::testing {

// Polls `done` every `stepMs` until it holds or `limitMs` pass.
bool waitUntil(const std::function<bool()>& done, int limitMs, int stepMs = 50);

// Runs a tool to its end and hands back what it printed; empty when it could
// not run or did not end within `limitMs`.
QString runTool(const QString& program, const QStringList& arguments, int limitMs = 10000);

// Puts `text` on the clipboard from another program.
void copyWithXclip(const QString& text);
// What another program reads from the clipboard.
QString readWithXclip();
// Reads the clipboard until it holds `expected` or `limitMs` pass.
bool clipboardBecomes(const QString& expected, int limitMs, qint64* tookMs = nullptr);

// A window of the X server as xdotool finds it.
struct XWindow {
    QString id;
    QRect geometry;  // in root coordinates
};
// The mapped windows whose WM_CLASS instance is `instance`.
QList<XWindow> visibleWindows(const QString& instance);
// Whether the window is mapped and viewable now.
bool isViewable(const QString& windowId);

// A home folder for one run of the program (settings, data and runtime
// folders, automatic update checks off so nothing reaches the network).
class ProgramHome {
public:
    ProgramHome();

    const std::filesystem::path& path() const { return dir_.path(); }
    // The environment of a program run over this home.
    QProcessEnvironment environment() const;
    // Starts SCOURLET_APP_PROGRAM over this home and waits until it answers
    // later starts (its monitor is running by then). False when it did not.
    bool start(QProcess& process, const QProcessEnvironment& environment) const;
    bool start(QProcess& process) const { return start(process, environment()); }

private:
    TempDir dir_;
};

}  // namespace scourlet::testing
