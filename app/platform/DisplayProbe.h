// DisplayProbe: whether the display that Qt's platform plugin is about to open
// can be opened, asked before QApplication exists. Qt cannot go on without it
// and ends the process with SIGABRT (a core dump) after lines of its own;
// asked first, the program says why in one line and exits with status 1.
//
//   if (auto problem = DisplayProbe::problem(argc, argv)) {
//       std::fprintf(stderr, "Scourlet cannot start: %s.\n", problem->c_str());
//       return 1;
//   }
//
// The platform is the one Qt takes: "-platform NAME" among the arguments, else
// QT_QPA_PLATFORM (a list separated by ";" is tried in order, as Qt does),
// else X11. X11 (xcb) is probed with a connection to the display named by
// "-display NAME" or DISPLAY, Wayland with a connection to the compositor's
// socket (WAYLAND_DISPLAY, in XDG_RUNTIME_DIR unless it is a path). Any other
// platform (offscreen, minimal, vnc, ...) is taken to need no display.
//
// Blocks while it connects, which on a remote X display may take as long as
// the network does; the connection is closed at once.
#pragma once

#include <optional>
#include <string>

namespace scourlet::app {

class DisplayProbe {
public:
    DisplayProbe() = delete;

    // Why none of the platforms Qt would try can open its display, as one
    // sentence without a full stop naming the display (its name quoted, any
    // control character shown as "?"); nothing when one can.
    static std::optional<std::string> problem(int argc, char** argv);
};

}  // namespace scourlet::app
