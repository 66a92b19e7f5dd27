// One way to write a file the user chose: all or nothing.
//
// The bytes go to a temporary file beside the target, which then replaces the
// target in one rename; when anything fails on the way (no space, no
// permission, a folder in the way) the target keeps its old content and the
// caller gets a message to show.
//
//   if (auto failed = writeFileAtomically(path, bytes)) showError(*failed);
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <QString>

namespace scourlet::app {

// Nothing on success; otherwise why the file could not be written, naming the file.
std::optional<std::string> writeFileAtomically(const QString& path, std::string_view bytes);

}  // namespace scourlet::app
