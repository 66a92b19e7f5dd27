// Reading a whole file that something outside the program may have put in
// place: only a regular file, never more than a cap, never blocking.
//
//   auto rules = readFileAtMost(path, 4 * 1024 * 1024);
//   if (!rules) useShippedRules();
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace scourlet {

enum class SymlinkPolicy { follow, refuse };

// The whole file when it is a regular file of at most `maxBytes` bytes, both
// by its size before the read and by what the read returned; nothing on any
// error, when it is larger, or when it is something else (a FIFO or device
// planted at the path neither blocks nor floods the reader). With
// SymlinkPolicy::refuse a symbolic link at the path is refused too.
std::optional<std::string> readFileAtMost(const std::filesystem::path& file, std::size_t maxBytes,
                                          SymlinkPolicy symlinks = SymlinkPolicy::follow);

}  // namespace scourlet
