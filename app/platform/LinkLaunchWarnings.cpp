#include "app/platform/LinkLaunchWarnings.h"

#include <array>
#include <cstdio>

#include <QtGlobal>

namespace scourlet::app {

namespace {

struct LaunchWarning {
    QLatin1String lead;  // the text before what Qt quotes
    QLatin1Char close;   // what ends the quote
};

// As the generic Unix desktop services of Qt 6 write them; Qt may put the
// function's name before them.
constexpr std::array<LaunchWarning, 3> kLaunchWarnings = {{
    {QLatin1String("Unable to detect a launcher for '"), QLatin1Char('\'')},
    {QLatin1String("Unable to detect a web browser to launch '"), QLatin1Char('\'')},
    {QLatin1String("Launch failed ("), QLatin1Char(')')},
}};

QtMessageHandler previousHandler = nullptr;

void filteringHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QString shown = withoutLaunchedLink(message);
    if (previousHandler != nullptr) {
        previousHandler(type, context, shown);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, shown)));
    }
}

}  // namespace

QString withoutLaunchedLink(const QString& message) {
    for (const LaunchWarning& warning : kLaunchWarnings) {
        const qsizetype lead = message.indexOf(warning.lead);
        if (lead < 0) {
            continue;
        }
        // The link may itself hold the closing character: everything up to
        // the last one goes.
        const qsizetype quoteStart = lead + warning.lead.size();
        const qsizetype quoteEnd = message.lastIndexOf(warning.close);
        QString shown = message.left(quoteStart) + QStringLiteral("<link left out>");
        if (quoteEnd >= quoteStart) {
            shown += message.mid(quoteEnd);
        }
        return shown;
    }
    return message;
}

void keepLinksOutOfLaunchWarnings() {
    static const bool installed = [] {
        previousHandler = qInstallMessageHandler(filteringHandler);
        return true;
    }();
    static_cast<void>(installed);
}

}  // namespace scourlet::app
