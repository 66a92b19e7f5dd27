// Rules to and from a file the user chose: the import of an export file and
// the writing of a new export.
//
// The import reads at most kMaxRulesImportBytes (an export of every shipped
// rule is a fraction of that) and hands the bytes to the engine; the export
// writes the engine's encoding all or nothing (see AtomicFileWrite.h) and
// writes nothing at all when there is no encoding. Each returns nothing on
// success, else the message to show.
//
//   if (auto failed = importRulesFile(engine, path)) showError(*failed);
//   if (auto failed = writeRulesExport(engine.exportRules(), path)) showError(*failed);
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <QString>

#include "ScourletCore/rules/RulesEngine.h"

namespace scourlet::app {

inline constexpr std::size_t kMaxRulesImportBytes = 4 * 1024 * 1024;
inline constexpr std::string_view kNotARulesExport = "This file is not a Scourlet rules export.";

// Fails, changing nothing, when the file cannot be read, is larger than the
// cap, does not decode as an export, or names no category the engine lists.
std::optional<std::string> importRulesFile(RulesEngine& engine, const std::filesystem::path& file);

std::optional<std::string> writeRulesExport(const std::optional<std::string>& encoded,
                                            const QString& path);

}  // namespace scourlet::app
