#include "app/platform/LinkOpener.h"

#include <QProcess>
#include <QStandardPaths>

namespace scourlet::app {

namespace {

constexpr int kQueryMilliseconds = 3000;

// A desktop entry's id names its file under an applications folder, where a
// "-" may stand for a subfolder ("kde-kmail.desktop" for "kde/kmail.desktop").
bool isInstalledDesktopEntry(const QString& id) {
    if (!id.endsWith(QStringLiteral(".desktop")) || id.contains(QLatin1Char('/'))) {
        return false;
    }
    if (!QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id).isEmpty()) {
        return true;
    }
    for (qsizetype dash = id.indexOf(QLatin1Char('-')); dash > 0;
         dash = id.indexOf(QLatin1Char('-'), dash + 1)) {
        QString nested = id;
        nested[dash] = QLatin1Char('/');
        if (!QStandardPaths::locate(QStandardPaths::ApplicationsLocation, nested).isEmpty()) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool hasMailProgram() {
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty()) {
        return false;
    }
    QProcess query;
    query.setProgram(xdgMime);
    query.setArguments({QStringLiteral("query"), QStringLiteral("default"),
                        QStringLiteral("x-scheme-handler/mailto")});
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start();
    if (!query.waitForFinished(kQueryMilliseconds)) {
        query.kill();
        query.waitForFinished(kQueryMilliseconds);
        return false;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        return false;
    }
    // One id, or nothing when no program is set.
    const QString answer = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    return isInstalledDesktopEntry(answer.section(QLatin1Char('\n'), 0, 0).trimmed());
}

bool openLink(const QUrl& url) {
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QStringLiteral("https") && scheme != QStringLiteral("http") &&
                           scheme != QStringLiteral("mailto"))) {
        return false;
    }
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty()) {
        return false;
    }
    QProcess launcher;
    launcher.setProgram(xdgOpen);
    launcher.setArguments({QString::fromLatin1(url.toEncoded())});
    launcher.setStandardInputFile(QProcess::nullDevice());
    launcher.setStandardOutputFile(QProcess::nullDevice());
    launcher.setStandardErrorFile(QProcess::nullDevice());
    return launcher.startDetached();
}

bool openMailLink(const QUrl& url) {
    if (!url.isValid() || url.scheme() != QStringLiteral("mailto") || !hasMailProgram()) {
        return false;
    }
    return openLink(url);
}

}  // namespace scourlet::app
