#include "app/settings/CSVDocument.h"

#include "ScourletCore/platform/BoundedFileRead.h"
#include "ScourletCore/platform/Text.h"
#include "app/settings/AtomicFileWrite.h"

namespace scourlet::app {

CSVDocument CSVDocument::read(const QString& path) {
    std::string bytes = readFileAtMost(path.toStdString(), maxReadBytes).value_or(std::string());
    if (!isValidUTF8(bytes)) {
        bytes.clear();
    }
    return CSVDocument{std::move(bytes)};
}

std::optional<std::string> CSVDocument::write(const QString& path) const {
    if (!isValidUTF8(content)) {
        return "Could not save " + path.toStdString() + ": the text is not valid UTF-8.";
    }
    return writeFileAtomically(path, content);
}

}  // namespace scourlet::app
