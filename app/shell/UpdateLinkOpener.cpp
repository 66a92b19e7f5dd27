#include "app/shell/UpdateLinkOpener.h"

#include <optional>
#include <string>

#include <QString>
#include <QUrl>

#include "ScourletCore/updateawareness/DesktopReleasePayload.h"

namespace scourlet::app {

namespace {

QUrl toUrl(std::string_view url) {
    return QUrl(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())),
                QUrl::StrictMode);
}

}  // namespace

bool isOpenableUpdateLink(std::string_view url, std::string_view makerHost) {
    if (url.empty() || !DesktopReleasePayload::isTrustedAddress(std::string(url), makerHost)) {
        return false;
    }
    // What the desktop is handed is Qt's reading of the text; it must agree.
    const QUrl parsed = toUrl(url);
    return parsed.isValid() && parsed.scheme() == QStringLiteral("https") &&
           parsed.host(QUrl::FullyEncoded) ==
               QString::fromUtf8(makerHost.data(), static_cast<qsizetype>(makerHost.size())) &&
           parsed.userInfo().isEmpty() && parsed.port() == -1;
}

bool openUpdateLink(std::string_view url, std::string_view makerHost, const LinkOpener& open) {
    if (!isOpenableUpdateLink(url, makerHost)) {
        return false;
    }
    return open(toUrl(url));
}

}  // namespace scourlet::app
