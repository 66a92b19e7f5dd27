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

void makeCaption(QLabel* label) {
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
}

void makeHeader(QLabel* label) {
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    font.setBold(true);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
}

}  // namespace scourlet::app
