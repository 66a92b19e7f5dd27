// Reading and writing the files the signing tool is given, and where it will
// not put secrets.
//
//   std::string error;
//   const auto text = readFile(path, "the catalog", error);
//   if (!text) return fail(error);   // "could not read the catalog <path>: <reason>"
#pragma once

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace scourlet::signtool {

// The text of `path`; nothing, with `error` naming `what`, the file and the
// system's reason, when it cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& path, std::string_view what,
                                    std::string& error);

// Writes each file with its bytes, in order; why the first that failed could
// not be written, naming it, if one did.
std::optional<std::string> writeFiles(
    std::initializer_list<std::pair<std::filesystem::path, std::string_view>> files);

// Whether `path` lies in the source tree the tool was built from.
bool isInsideSourceTree(const std::filesystem::path& path);

}  // namespace scourlet::signtool
