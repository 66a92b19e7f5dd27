// Qt's warnings about handing a link to the desktop, without the link.
//
// When Qt finds no program to open a link with, or cannot start the one it
// found, it writes a warning that quotes the whole link, which the session
// keeps in its journal. The links the application opens come from what the
// user copied (a map link with a place, for one), so these warnings are
// written with the link left out; every other message passes unchanged.
//
//   keepLinksOutOfLaunchWarnings();   // once, after QApplication is made
#pragma once

#include <QString>

namespace scourlet::app {

// `message` with the link or command that Qt quotes in a launch warning
// ("Unable to detect a launcher for '...'", "Unable to detect a web browser
// to launch '...'", "Launch failed (...)") replaced by "<link left out>";
// any other message as it is.
QString withoutLaunchedLink(const QString& message);

// Installs a message handler that passes every message on to the handler
// installed before it, launch warnings through withoutLaunchedLink(). Once
// per process; later calls do nothing.
void keepLinksOutOfLaunchWarnings();

}  // namespace scourlet::app
