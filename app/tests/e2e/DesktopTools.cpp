#include "e2e/DesktopTools.h"

#include <filesystem>
#include <memory>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"

namespace scourlet::testing {

namespace fs = std::filesystem;

bool waitUntil(const std::function<bool()>& done, int limitMs, int stepMs) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > limitMs) {
            return false;
        }
        QTest::qWait(stepMs);
    }
    return true;
}

QString runTool(const QString& program, const QStringList& arguments, int limitMs) {
    QProcess tool;
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(program, arguments);
    if (!tool.waitForStarted(limitMs)) {
        return {};
    }
    // The event loop keeps running meanwhile: this process may be the one a
    // tool waits for (the clipboard's owner, a window to answer).
    if (!waitUntil([&] { return tool.state() == QProcess::NotRunning; }, limitMs, 10)) {
        tool.kill();
        tool.waitForFinished(1000);
        return {};
    }
    return QString::fromUtf8(tool.readAllStandardOutput());
}

void copyWithXclip(const QString& text) {
    QProcess xclip;
    xclip.setStandardOutputFile(QProcess::nullDevice());
    xclip.setStandardErrorFile(QProcess::nullDevice());
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")});
    QVERIFY(xclip.waitForStarted(2000));
    xclip.write(text.toUtf8());
    xclip.closeWriteChannel();
    // xclip stays in the background as the clipboard's owner; the first
    // process ends once it has forked.
    QTRY_VERIFY_WITH_TIMEOUT(xclip.state() == QProcess::NotRunning, 3000);
}

QString readWithXclip() {
    return runTool(
        QStringLiteral("xclip"),
        {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")}, 3000);
}

bool clipboardBecomes(const QString& expected, int limitMs, qint64* tookMs) {
    QElapsedTimer waited;
    waited.start();
    const bool arrived = waitUntil([&] { return readWithXclip() == expected; }, limitMs);
    if (arrived && tookMs != nullptr) {
        *tookMs = waited.elapsed();
    }
    return arrived;
}

QList<XWindow> visibleWindows(const QString& instance) {
    QList<XWindow> windows;
    const QString ids = runTool(
        QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--classname"),
         QStringLiteral("^%1$").arg(QRegularExpression::escape(instance))});
    for (const QString& id : ids.split(u'\n', Qt::SkipEmptyParts)) {
        const QString shell =
            runTool(QStringLiteral("xdotool"),
                    {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
        QRect geometry;
        for (const QString& line : shell.split(u'\n', Qt::SkipEmptyParts)) {
            const QString value = line.section(u'=', 1);
            if (line.startsWith(QLatin1String("X="))) {
                geometry.moveLeft(value.toInt());
            } else if (line.startsWith(QLatin1String("Y="))) {
                geometry.moveTop(value.toInt());
            } else if (line.startsWith(QLatin1String("WIDTH="))) {
                geometry.setWidth(value.toInt());
            } else if (line.startsWith(QLatin1String("HEIGHT="))) {
                geometry.setHeight(value.toInt());
            }
        }
        if (geometry.isValid()) {
            windows.append({id, geometry});
        }
    }
    return windows;
}

bool isViewable(const QString& windowId) {
    return runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId})
        .contains(QLatin1String("Map State: IsViewable"));
}

ProgramHome::ProgramHome() {
    for (const char* sub : {"config", "data", "runtime"}) {
        fs::create_directories(dir_ / sub);
    }
    fs::permissions(dir_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    // The program must not reach out to the maker's host from a test.
    auto settings = std::make_shared<FileUserDefaults>(dir_ / "config" / "scourlet" /
                                                       "com.morrowgate.scourlet.json");
    UpdateAwareness(settings, std::make_shared<SystemClock>()).setAutomaticChecks(false);
    (void)settings->synchronize();
}

QProcessEnvironment ProgramHome::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), QString::fromStdString(path().string()));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                       QString::fromStdString((dir_ / "config").string()));
    environment.insert(QStringLiteral("XDG_DATA_HOME"),
                       QString::fromStdString((dir_ / "data").string()));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                       QString::fromStdString((dir_ / "runtime").string()));
    return environment;
}

bool ProgramHome::start(QProcess& process, const QProcessEnvironment& environment) const {
    const QString program = qEnvironmentVariable("SCOURLET_APP_PROGRAM");
    if (program.isEmpty()) {
        qWarning("SCOURLET_APP_PROGRAM names the program under test");
        return false;
    }
    process.setProcessEnvironment(environment);
    process.start(program, {});
    if (!process.waitForStarted(30000)) {
        return false;
    }
    // Ready (the monitor polling) once it listens for later starts.
    const fs::path socket = dir_ / "runtime" / "scourlet" / "scourlet-app.socket";
    return waitUntil([&] { return fs::exists(socket) || process.state() != QProcess::Running; },
                     60000, 100) &&
           process.state() == QProcess::Running;
}

}  // namespace scourlet::testing
