// Outside text (links, commands, matched fragments, hosts) as shown in a
// window: every line break kept, nothing hidden.
//
// Bidi embeddings, overrides, isolates and marks, zero-width and other
// invisible format characters, and control characters other than line feed and
// tab are replaced by a visible token such as "⟨U+202E⟩", so what is shown is
// what is there. Copy actions copy the original text, never this one.
//
//   label->setText(QString::fromStdString(displayedText(risk.command)));
#pragma once

#include <string>
#include <string_view>

namespace scourlet::app {

std::string displayedText(std::string_view text);

}  // namespace scourlet::app
