#include "ScourletCore/ruleupdates/RuleUpdateError.h"

namespace scourlet {

std::string RuleUpdateError::errorDescription() const {
    switch (kind) {
        case Kind::invalidManifest:
            return "Invalid rules manifest: " + text;
        case Kind::incompatibleAppVersion:
            return "Rules require Scourlet " + text + " or newer.";
        case Kind::network:
            return "Download failed: " + text;
        case Kind::missingFile:
            return "Rules bundle missing " + text + ".";
        case Kind::hashMismatch:
            return "Downloaded rules failed integrity check: " + text + ".";
        case Kind::invalidRules:
            return "Downloaded rules were invalid: " + text;
        case Kind::fileSystem:
            return "Could not save rules: " + text;
    }
    return text;
}

}  // namespace scourlet
