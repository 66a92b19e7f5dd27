#include "app/shell/SingleInstanceGuard.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

namespace scourlet::app {

namespace {

constexpr const char* kLockName = "scourlet-app.lock";
constexpr const char* kSocketName = "scourlet-app.socket";
constexpr QByteArrayView kShowRequest = "show\n";
constexpr int kAnswerWaitMs = 2000;

}  // namespace

SingleInstanceGuard::SingleInstanceGuard(QString folder, QObject* parent)
    : QObject(parent), folder_(std::move(folder)) {}

SingleInstanceGuard::~SingleInstanceGuard() {
    if (server_ != nullptr) {
        server_->close();
    }
}

QString SingleInstanceGuard::defaultFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) {
        return QDir(runtime).filePath(QStringLiteral("scourlet"));
    }
    return QDir(QDir::tempPath()).filePath(QStringLiteral("scourlet-%1").arg(getuid()));
}

SingleInstanceGuard::Outcome SingleInstanceGuard::acquire() {
    const QByteArray path = QFile::encodeName(folder_);
    if (!QDir().mkpath(folder_) || ::chmod(path.constData(), 0700) != 0) {
        return Outcome::unavailable;
    }
    // A folder someone else owns (a shared temporary folder) is not ours to trust.
    struct stat info {};
    if (::stat(path.constData(), &info) != 0 || info.st_uid != getuid()) {
        return Outcome::unavailable;
    }
    lock_ = std::make_unique<QLockFile>(QDir(folder_).filePath(QLatin1String(kLockName)));
    lock_->setStaleLockTime(0);  // stale only when its process is gone
    if (!lock_->tryLock(0)) {
        const bool taken = lock_->error() == QLockFile::LockFailedError;
        lock_.reset();
        if (!taken) {
            return Outcome::unavailable;
        }
        notifyRunningInstance();
        return Outcome::alreadyRunning;
    }
    return Outcome::primary;
}

bool SingleInstanceGuard::listen() {
    if (!lock_ || server_ != nullptr) {
        return server_ != nullptr;
    }
    const QString socketPath = QDir(folder_).filePath(QLatin1String(kSocketName));
    QLocalServer::removeServer(socketPath);  // left by a copy that died; we hold the lock
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath)) {
        return false;  // still the one instance; later starts just end
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (!client->canReadLine()) {
                    if (client->bytesAvailable() > 64) {
                        client->abort();  // not one of ours
                    }
                    return;
                }
                const QByteArray line = client->readLine(64);
                if (line == kShowRequest) {
                    client->write("ok\n");
                    client->flush();
                    Q_EMIT showRequested();
                }
                client->disconnectFromServer();
            });
        }
    });
    return true;
}


bool SingleInstanceGuard::notifyRunningInstance() const {
    QLocalSocket socket;
    socket.connectToServer(QDir(folder_).filePath(QLatin1String(kSocketName)));
    if (!socket.waitForConnected(kAnswerWaitMs)) {
        return false;
    }
    socket.write(kShowRequest.data(), kShowRequest.size());
    if (!socket.waitForBytesWritten(kAnswerWaitMs)) {
        return false;
    }
    return socket.waitForReadyRead(kAnswerWaitMs) && socket.readLine(16) == "ok\n";
}

}  // namespace scourlet::app
