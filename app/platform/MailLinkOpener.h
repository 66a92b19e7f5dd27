// Handing a report's mailto link to the desktop's mail program without the
// link, which carries the whole report, reaching a log. Qt's own opener names
// the link in the warning it writes when it finds no launcher, and the
// launcher it starts writes its errors, link included, to our standard error,
// which the session keeps in its journal. Here the desktop is asked first
// whether it has a mail program at all, and the launcher runs with its output
// discarded.
//
//   if (!openMailLink(url)) showThatNoMailProgramOpenedIt();
//
// The programs are xdg-utils' xdg-mime and xdg-open, found on PATH. Main thread
// only: both calls wait for a program (at most a few seconds).
#pragma once

#include <QUrl>

namespace scourlet::app {

// True when the desktop names a default program for mailto links
// (`xdg-mime query default x-scheme-handler/mailto`) and that program's desktop
// entry is installed. False when it names none or one that is gone, when
// xdg-mime is missing, and when it has not answered within three seconds.
bool hasMailProgram();

// Hands a mailto link to xdg-open, with its input, output and errors on the
// null device, once hasMailProgram() found a program. False when there is no
// mail program, `url` is no mailto link, or xdg-open is missing or did not
// start; true says only that the launcher started.
bool openMailLink(const QUrl& url);

}  // namespace scourlet::app
