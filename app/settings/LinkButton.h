// A link in a pane ("How we classify tracking", "Release Notes"): its title
// in plain text, in the link colour and underlined, with a pointing hand. It
// is a focus stop; a click, Enter, Space and the accessibility press action
// open it. Assistive technology reads it as a link named by its title.
//
// The link is opened by its opener, openLink() unless another was set (a
// test's recorder, or a view that checks the address first).
//
//   auto* link = new LinkButton(QStringLiteral("What is Redlib?"), QUrl(url), this);
//
// Main thread only.
#pragma once

#include <QAbstractButton>
#include <QString>
#include <QUrl>

#include "app/platform/LinkOpener.h"

namespace scourlet::app {

class LinkButton final : public QAbstractButton {
    Q_OBJECT
public:
    LinkButton(const QString& title, QUrl url, QWidget* parent = nullptr);

    // The text shown and read: never markup, and no "&" marks a shortcut.
    const QString& title() const { return title_; }
    const QUrl& url() const { return url_; }
    void setUrl(QUrl url) { url_ = std::move(url); }
    void setOpener(LinkOpener opener) { opener_ = std::move(opener); }

    // Hands the link to the opener; what it answered (false without an opener).
    bool open();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString title_;
    QUrl url_;
    LinkOpener opener_ = openLink;
};

}  // namespace scourlet::app
