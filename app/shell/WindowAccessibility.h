// The application's windows through assistive technology: a top-level window
// made of a plain QWidget (settings, welcome, report) reads as a window named
// by its title. Qt reads such a widget as a plain container, the role screen
// readers pass over; dialogs and main windows keep the roles Qt gives them.
//
//   installWindowAccessibility();   // once, before the first window shows
//
// Main thread only.
#pragma once

namespace scourlet::app {

void installWindowAccessibility();

}  // namespace scourlet::app
