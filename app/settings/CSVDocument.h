// CSVDocument: the text of a statistics export on its way to or from a file.
//
// The text is written as UTF-8 as it is: no byte-order mark and no added line
// ending, all or nothing (see AtomicFileWrite.h). Reading is bounded and gives
// empty text for a file that is not UTF-8.
//
//   CSVDocument document{stats.exportCSV()};
//   if (auto failed = document.write(path)) showError(*failed);
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include <QString>

namespace scourlet::app {

struct CSVDocument {
    static constexpr const char* nameFilter = "CSV (*.csv)";
    static constexpr const char* defaultSuffix = "csv";
    static constexpr std::size_t maxReadBytes = 16 * 1024 * 1024;

    std::string content;  // UTF-8

    // The file's text; empty when it cannot be read, is larger than
    // maxReadBytes or is not valid UTF-8.
    static CSVDocument read(const QString& path);
    // Nothing on success, else the message to show. Text that is not valid
    // UTF-8 is refused rather than written damaged.
    std::optional<std::string> write(const QString& path) const;
};

}  // namespace scourlet::app
