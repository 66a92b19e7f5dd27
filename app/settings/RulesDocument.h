// RulesDocument: the bytes of a rules export on their way to or from a file.
//
// The contents are not interpreted: the rules engine makes and reads them.
// Files are written all or nothing (see AtomicFileWrite.h) and read up to a
// fixed size.
//
//   RulesDocument document{engine.exportRules().value_or("")};
//   if (auto failed = document.write(path)) showError(*failed);
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include <QString>

namespace scourlet::app {

struct RulesDocument {
    // What the save dialog offers and adds to a name without an extension.
    static constexpr const char* nameFilter = "JSON (*.json)";
    static constexpr const char* defaultSuffix = "json";
    // Largest file read.
    static constexpr std::size_t maxReadBytes = 16 * 1024 * 1024;

    std::string data;

    // The file's bytes; empty when the file cannot be read, is not a regular
    // file or is larger than maxReadBytes.
    static RulesDocument read(const QString& path);
    // Writes `data` unchanged. Nothing on success, else the message to show.
    std::optional<std::string> write(const QString& path) const;
};

}  // namespace scourlet::app
