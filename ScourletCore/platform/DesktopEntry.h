// Reading and writing the freedesktop.org Desktop Entry format (the ".desktop"
// files of launchers and autostart entries), as far as the program's own
// entries need it: the keys of the "[Desktop Entry]" group, the escapes of
// string values, and the quoting of the program in "Exec".
//
//   auto exec = DesktopEntry::execValue("/opt/My Apps/scourlet-app");   // "\"/opt/My
//   Apps/scourlet-app\"" file += "Exec=" + *exec + "\n"; auto entry = DesktopEntry::parse(text);
//   std::optional<std::string> program = DesktopEntry::execProgram(*entry->value("Exec"));
//
// A value is escaped twice over: "Exec" quoting first ("\"", "`", "$" and "\\"
// get a backslash inside double quotes, "%" is doubled), then the string
// escapes of every value ("\\" for a backslash). Readers undo them in the
// opposite order, so a quoted path with a space, a quote or "%" comes back
// as one argument, unchanged.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/Result.h"

namespace scourlet {

class DesktopEntry {
public:
    // The "[Desktop Entry]" group of `text`: each key (localized keys such as
    // "Name[de]" included, as written) with its value, string escapes undone;
    // the first of repeated keys counts. Comments, blank lines and other
    // groups are skipped. Nothing when the text has no such group.
    static std::optional<DesktopEntry> parse(std::string_view text);

    // The value of `key`, string escapes undone; nothing when absent.
    std::optional<std::string> value(std::string_view key) const;

    // Whether the boolean `key` is present and exactly "true" (or "false").
    bool isTrue(std::string_view key) const { return value(key) == "true"; }
    bool isFalse(std::string_view key) const { return value(key) == "false"; }

    // `value` with the string escapes of the format: "\\" for a backslash,
    // "\s" for a leading space, "\n", "\t" and "\r" for those characters.
    static std::string escapedString(std::string_view value);

    // What follows "Exec=" to start the program at `programPath` with no
    // arguments: the path in double quotes with "\"", "`", "$" and "\\"
    // backslash-escaped and "%" doubled, then string-escaped. Fails when the
    // path is empty, is not well-formed UTF-8, or holds a control character
    // (a line break would end the value and start a key of its own).
    static Result<std::string, Error> execValue(std::string_view programPath);

    // The program an "Exec" value starts (its first argument), with the
    // quoting undone and "%%" read as "%"; `exec` as value() returns it (string
    // escapes already undone). Nothing when it is empty or its quote is not closed.
    static std::optional<std::string> execProgram(std::string_view exec);

private:
    std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace scourlet
