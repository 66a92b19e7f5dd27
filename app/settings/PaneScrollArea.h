// The scroll area of a settings pane. Like QScrollArea it follows the focus
// as the user moves it with Tab, but not when a control gives the focus up
// because it was turned off (a check that starts turns its button off): the
// focus moves on to the next control and the pane stays where the user is
// reading, instead of leaping to wherever that control stands.
//
// The area is a focus stop of its own (the arrow and page keys scroll it), so
// it carries a name for assistive technology: the pane's title.
//
//   auto* scroll = new PaneScrollArea(QStringLiteral("Status"), this);
//   scroll->setWidget(form);
//
// Main thread only.
#pragma once

#include <QScrollArea>

namespace scourlet::app {

class PaneScrollArea final : public QScrollArea {
    Q_OBJECT
public:
    explicit PaneScrollArea(const QString& accessibleName, QWidget* parent = nullptr);

protected:
    bool focusNextPrevChild(bool next) override;
};

}  // namespace scourlet::app
