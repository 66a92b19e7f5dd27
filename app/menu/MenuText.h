// Text from outside (links, commands, hosts, error messages) made safe to show
// in a menu or widget as plain text.
//
// Such text is data: it may hold line breaks, control characters or bidi
// overrides that would make what is shown differ from what is there, and "&"
// that a menu would take for a mnemonic. The helpers work on UTF-8 and count
// user-visible characters (grapheme clusters), never bytes.
//
//   std::string row = "Original: " + menuText(url, 60);    // one line, at most 60 + "…"
//   option->text = QString::fromStdString(withLiteralAmpersands(row));  // drawn by QMenu
//   action->setText(QString::fromStdString(dbusMenuActionText(row)));   // exported to trays
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace scourlet::app {

// The ellipsis that ends a cut text (U+2026).
inline constexpr std::string_view kEllipsis = "\u2026";

// `text` on one line with nothing hidden: every control character (C0, DEL,
// C1) and line or paragraph separator becomes a space, and every bidi embedding,
// override, isolate or mark becomes a visible token such as "⟨U+202E⟩".
std::string visibleText(std::string_view text);

// `text` whole when it has at most `limit` characters; otherwise its first
// `limit` characters followed by "…". A cut never splits a character.
std::string truncated(std::string_view text, std::size_t limit);

// visibleText(), then cut to `limit` characters when a limit is given.
std::string menuText(std::string_view text, std::optional<std::size_t> limit = std::nullopt);

// `text` with every "&" doubled, so that a menu shows it literally instead of
// taking it for a mnemonic marker.
std::string withLiteralAmpersands(std::string_view text);

// The action text from which Qt's D-Bus menu export makes a label that a
// dbusmenu tray host shows as exactly `text`. The export turns the first "&"
// (unless it ends the text) into "_", the protocol's access-key marker, and
// passes everything else through; a host shows "__" as one "_" and hides a
// single "_". So every "_" is doubled, and the first "&" is spent where it does
// no harm: as the first half of the first "__" when an "_" comes before any
// "&", so the label has no access key at all; else doubled, so the export makes
// it "_&", an access key on the "&" itself, which hides nothing.
//
// A label with an access key and a "__" after it is shown wrongly by hosts
// built on libdbusmenu-gtk (it undoes the "_" escapes twice while access keys
// are hidden): a text with "&" before its first "_" cannot avoid that through
// Qt's export. A menu widget must not draw this text; it draws
// withLiteralAmpersands(text).
std::string dbusMenuActionText(std::string_view text);

}  // namespace scourlet::app
