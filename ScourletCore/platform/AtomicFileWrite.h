// Replacing a whole file so that readers never see a mix of old and new.
//
//   if (auto r = writeFileAtomically(folder / "installed.json", bytes); !r) log(r.error().message);
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

}  // namespace scourlet
