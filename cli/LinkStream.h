// Copies text from a stream with every web link in it cleaned and everything
// else byte for byte, holding at most a few hundred kilobytes whatever the
// input's size.
//
// A text of at most 64 KiB the link finder takes is cleaned as one block, as
// the clipboard would clean it; any other text line by line, each line as if
// it were the whole text. A line longer than the finder takes is cleaned in
// pieces cut just before a link stopper (white space, "<", ">", quotes). No
// link spans a stopper, and each piece is searched knowing what came before
// it on its line (prose, and the runs of "_" still open), so cleaning the
// pieces gives what cleaning the whole line at once would. A run without any
// stopper longer than a piece passes as it is, up to the next stopper: any
// link in it would run to its end, and cutting one would change what it says.
// A line or piece the finder refuses (control characters) is kept as it is.
// A UTF-8 byte-order mark at the very start is written back as it came, and
// the text is taken to start after it.
//
//   streamCleanedLinks(std::cin,
//       [&](std::string_view url, std::string& out) { out += clean(url); },
//       [&](std::string_view text) { return write(text); });
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace scourlet::cli {

// Appends to `out` what replaces the link `url`; called once per link, in text order.
using CleanLink = std::function<void(std::string_view url, std::string& out)>;
// Takes the next stretch of the output; false when the output failed, which
// ends the copy.
using WriteText = std::function<bool(std::string_view text)>;

void streamCleanedLinks(std::istream& in, const CleanLink& clean, const WriteText& write);

}  // namespace scourlet::cli
