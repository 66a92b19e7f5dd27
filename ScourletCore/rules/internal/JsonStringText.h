// Private to the rules engine: writing a string as JSON text without building
// a JSON value first, for the state objects saved after every clean.
//
// The output is byte for byte what dumpJson() writes for the same string, so a
// stored value does not depend on which writer produced it.
//
//   std::string text = "{\"";
//   internal::appendJsonStringContent(text, id);
//   text.append("\":true}");
#pragma once

#include <string>
#include <string_view>

namespace scourlet::internal {

// Appends `text` as the inside of a JSON string (without the quotes) to `out`:
// '"' and '\' are escaped, the control characters below U+0020 become \b, \t,
// \n, \f, \r or \u00xx (lower-case hex), and everything else is copied,
// including U+007F and all non-ASCII characters. Bytes that are not UTF-8 never
// fail: each maximal invalid piece (a byte that starts no sequence, or the
// well-formed start of a sequence cut short by another byte or by the end)
// becomes one U+FFFD, as nlohmann's replace error handler does.
void appendJsonStringContent(std::string& out, std::string_view text);

}  // namespace scourlet::internal
