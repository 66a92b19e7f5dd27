#include "app/settings/DisplayedText.h"

#include <cstdio>

#include <QList>
#include <QString>
#include <QStringDecoder>

namespace scourlet::app {

namespace {

bool isHidden(char32_t c) {
    if (c == U'\n' || c == U'\t') {
        return false;
    }
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
        return true;  // C0, DEL, C1 controls (a carriage return too: it could hide a line)
    }
    return c == 0x00AD || c == 0x061C || c == 0x180E || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF ||
           (c >= 0xFFF9 && c <= 0xFFFB);
}

}  // namespace

std::string displayedText(std::string_view text) {
    // A leading byte-order mark is a character here, not an encoding hint.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString decoded = decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    QString shown;
    shown.reserve(decoded.size());
    for (char32_t c : decoded.toUcs4()) {
        if (isHidden(c)) {
            char token[24];
            std::snprintf(token, sizeof token, "\u27E8U+%04X\u27E9", static_cast<unsigned>(c));
            shown += QString::fromUtf8(token);
        } else {
            shown += QString::fromUcs4(&c, 1);
        }
    }
    return shown.toStdString();
}

}  // namespace scourlet::app
