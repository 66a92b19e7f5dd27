// Labels for text from outside (links, commands, hosts, messages): always
// plain text, never rich text, wrapping, and selectable when asked.
//
//   layout->addWidget(plainLabel(QString::fromStdString(url), this, Selectable::yes));
#pragma once

#include <string_view>

#include <QLabel>
#include <QString>

#include "app/settings/LinkButton.h"

namespace scourlet::app {

enum class Selectable { no, yes };

QLabel* plainLabel(const QString& text, QWidget* parent, Selectable selectable = Selectable::no);

inline QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// `text` with a word joiner between its characters, so a wrapping label never
// breaks inside it (an address in a sentence). For shown text only: the
// joiners would go along with a selection.
QString keptWhole(const QString& text);

// A font for captions (smaller) and headers (bold) of the panes.
void makeCaption(QWidget* label);
void makeHeader(QWidget* label);

// A tooltip of outside text: escaped rich text, so a long one wraps and
// nothing in it counts as markup. Assistive technology, which would read the
// escaped markup, gets the plain text as the widget's description.
void setPlainToolTip(QWidget* widget, const QString& text);

// A plain-text caption, named when `objectName` is not empty.
QLabel* captionLabel(std::string_view text, QWidget* parent, const QString& objectName = {});

// A link to one of our own fixed addresses (never outside text) that opens in
// the browser through openLink().
LinkButton* fixedLinkLabel(std::string_view title, std::string_view url, QWidget* parent,
                           const QString& objectName);
// The same link in the caption font.
LinkButton* fixedLinkCaption(std::string_view title, std::string_view url, QWidget* parent,
                             const QString& objectName);

}  // namespace scourlet::app
