// Labels for text from outside (links, commands, hosts, messages): always
// plain text, never rich text, wrapping, and selectable when asked.
//
//   layout->addWidget(plainLabel(QString::fromStdString(url), this, Selectable::yes));
#pragma once

#include <string_view>

#include <QLabel>
#include <QString>

namespace scourlet::app {

enum class Selectable { no, yes };

QLabel* plainLabel(const QString& text, QWidget* parent, Selectable selectable = Selectable::no);

inline QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A font for captions (smaller) and headers (bold) of the panes.
void makeCaption(QLabel* label);
void makeHeader(QLabel* label);

}  // namespace scourlet::app
