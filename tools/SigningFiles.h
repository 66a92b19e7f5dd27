// Reading and writing the files the signing tool is given and makes, and
// where it will not put secrets.
//
//   std::string error;
//   const auto text = readFile(path, "the catalog", error);
//   if (!text) return fail(error);   // "could not read the catalog <path>: <reason>"
//   if (auto failed = writeFilesTogether({{payloadFile, payload}, {manifestFile, manifest}}))
//       return fail(*failed);        // all files written, or none changed
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Result.h"

namespace scourlet::signtool {

// The text of `path`; nothing, with `error` naming `what`, the file and the
// system's reason, when it cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& path, std::string_view what,
                                    std::string& error);

struct OutputFile {
    std::filesystem::path path;
    std::string_view bytes;
};

// Writes the files so that either every one holds its new bytes or none has
// changed: each is written beside its place first, and only once all are
// written are they renamed in, in the order given, so the last one should be
// the file that makes the others count (a manifest). When one cannot be
// renamed in, those renamed before it get their previous bytes back (or go,
// when they had none). Why it failed, naming the file and the system's
// reason, and whether everything is as it was.
std::optional<std::string> writeFilesTogether(const std::vector<OutputFile>& files);

// Makes `folder` and its missing parents; the folders it made, outermost
// first. Fails, having made none, when a file stands where one of them goes
// or one cannot be made, naming it.
Result<std::vector<std::filesystem::path>, std::string> makeFolders(
    const std::filesystem::path& folder);

// Removes the folders makeFolders() made, innermost first, as far as they
// are empty.
void removeFolders(const std::vector<std::filesystem::path>& made);

// Whether `path` lies in the source tree the tool was built from.
bool isInsideSourceTree(const std::filesystem::path& path);

}  // namespace scourlet::signtool
