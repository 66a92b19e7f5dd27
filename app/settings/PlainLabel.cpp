#include "app/settings/PlainLabel.h"

namespace scourlet::app {

QLabel* plainLabel(const QString& text, QWidget* parent, Selectable selectable) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setText(text);
    if (selectable == Selectable::yes) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    return label;
}

QString keptWhole(const QString& text) {
    constexpr QChar kWordJoiner(0x2060);
    QString joined;
    joined.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        joined += text[i];
        const bool betweenCharacters = i + 1 < text.size() && !text[i].isHighSurrogate();
        if (betweenCharacters) {
            joined += kWordJoiner;
        }
    }
    return joined;
}

void makeCaption(QWidget* label) {
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
}

void makeHeader(QWidget* label) {
    makeCaption(label);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
}

void setPlainToolTip(QWidget* widget, const QString& text) {
    widget->setToolTip(QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>"));
    widget->setAccessibleDescription(text);
}

QLabel* captionLabel(std::string_view text, QWidget* parent, const QString& objectName) {
    auto* label = plainLabel(qtext(text), parent);
    makeCaption(label);
    if (!objectName.isEmpty()) {
        label->setObjectName(objectName);
    }
    return label;
}

LinkButton* fixedLinkLabel(std::string_view title, std::string_view url, QWidget* parent,
                           const QString& objectName) {
    auto* link = new LinkButton(qtext(title), QUrl(qtext(url), QUrl::StrictMode), parent);
    link->setObjectName(objectName);
    return link;
}

LinkButton* fixedLinkCaption(std::string_view title, std::string_view url, QWidget* parent,
                             const QString& objectName) {
    LinkButton* link = fixedLinkLabel(title, url, parent, objectName);
    makeCaption(link);
    return link;
}

}  // namespace scourlet::app
