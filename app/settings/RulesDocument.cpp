#include "app/settings/RulesDocument.h"

#include "ScourletCore/platform/BoundedFileRead.h"
#include "app/settings/AtomicFileWrite.h"

namespace scourlet::app {

RulesDocument RulesDocument::read(const QString& path) {
    return RulesDocument{readFileAtMost(path.toStdString(), maxReadBytes).value_or(std::string())};
}

std::optional<std::string> RulesDocument::write(const QString& path) const {
    return writeFileAtomically(path, data);
}

}  // namespace scourlet::app
