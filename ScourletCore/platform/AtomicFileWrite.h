// Replacing a whole file so that readers never see a mix of old and new.
//
//   if (auto r = writeFileAtomically(folder / "installed.json", bytes); !r) log(r.error().message);
//   auto staged = writeTemporaryFileBeside(file, bytes);   // ...and the others, then
//   if (staged) moveIntoPlace(*staged, file);
//
// Safe from any thread; two writers of one file each leave a complete file
// (the last rename wins), so writers that must not race take an
// ExclusiveFileLock first.
#pragma once

#include <filesystem>
#include <string_view>

#include "ScourletCore/platform/Result.h"

namespace scourlet {

// Replaces `file` with `bytes` (mode 0644): a temporary file beside it,
// written and flushed to disk, then renamed over it, and the folder flushed.
// Fails, with the file untouched and the temporary file removed, when the
// folder does not exist or the temporary file cannot be made, written, flushed
// or moved; the message names the path and the system's reason.
Result<void, Error> writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// The two halves of writeFileAtomically, for files that must change together:
// write every one beside its place first, and move them in only once all are
// written.
//
// writeTemporaryFileBeside: `bytes` in a new temporary file in the folder of
// `file` (mode 0644), written and flushed to disk; its path. Fails, leaving
// nothing behind, when the folder does not exist or the file cannot be made,
// written, flushed or closed; the message names `file` and the system's
// reason.
Result<std::filesystem::path, Error> writeTemporaryFileBeside(const std::filesystem::path& file,
                                                              std::string_view bytes);

// moveIntoPlace: renames `temporary` over `file` and flushes the folder.
// Fails when the rename does (for example when a folder stands at `file`),
// with `file` untouched and `temporary` removed.
Result<void, Error> moveIntoPlace(const std::filesystem::path& temporary,
                                  const std::filesystem::path& file);

}  // namespace scourlet
