// Handing a link to the desktop (a browser, a map, the mail program) without
// the link reaching a log. Every link the application opens goes through here.
//
// Qt's own opener starts the launcher with our standard error, and the
// launcher writes what it failed to open there, link included; the session
// keeps that in its journal. The links come from what the user copied (a map
// link holds a place) or carry a whole report, so here the launcher runs with
// its input, output and errors on the null device, and the caller learns
// whether anything was started at all.
//
//   if (!openLink(url)) tellTheUserNothingOpenedIt();
//   if (!openMailLink(mailto)) showThatNoMailProgramOpenedIt();
//
// The programs are xdg-utils' xdg-open and xdg-mime, found on PATH. Main
// thread only: hasMailProgram() and openMailLink() wait for xdg-mime (at most
// a few seconds).
#pragma once

#include <functional>

#include <QUrl>

namespace scourlet::app {

// How a window opens a link: openLink() in the program, a recorder in tests.
// True when something was started for the link.
using LinkOpener = std::function<bool(const QUrl& url)>;

// Hands an http, https or mailto link to xdg-open, detached, with its input,
// output and errors on the null device. True says only that the launcher
// started, not that a program took the link. False, and nothing started, when
// the link is not valid or of another scheme, when xdg-open is not on PATH
// and when it could not be started.
bool openLink(const QUrl& url);

// True when the desktop names a default program for mailto links
// (`xdg-mime query default x-scheme-handler/mailto`) and that program's desktop
// entry is installed. False when it names none or one that is gone, when
// xdg-mime is missing, and when it has not answered within three seconds.
bool hasMailProgram();

// A mailto link through openLink(), once hasMailProgram() found a program.
// False when there is no mail program, `url` is no mailto link, or the
// launcher did not start.
bool openMailLink(const QUrl& url);

}  // namespace scourlet::app
