// The scroll area of a settings pane. Like QScrollArea it follows the focus
// as the user moves it with Tab, but not when a control gives the focus up
// because it was turned off (a check that starts turns its button off): the
// focus moves on to the next control and the pane stays where the user is
// reading, instead of leaping to wherever that control stands.
//
//   auto* scroll = new PaneScrollArea(this);
//   scroll->setWidget(form);
//
// Main thread only.
#pragma once

#include <QScrollArea>

namespace scourlet::app {

class PaneScrollArea final : public QScrollArea {
    Q_OBJECT
public:
    using QScrollArea::QScrollArea;

protected:
    bool focusNextPrevChild(bool next) override;
};

}  // namespace scourlet::app
