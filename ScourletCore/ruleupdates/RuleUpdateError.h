// The failures of a rule update, each carrying one text.
//
// Every step of a rule update (manifest, download, verification, install)
// reports its failure as one of these; `errorDescription()` is the line shown
// to the user in the update status.
//
//   RuleUpdateError e = RuleUpdateError::missingFile("data.min.json");
//   e.errorDescription();   // "Rules bundle missing data.min.json."
//   if (e.kind == RuleUpdateError::Kind::missingFile) { ... }
#pragma once

#include <string>
#include <utility>

namespace scourlet {

struct RuleUpdateError {
    enum class Kind {
        invalidManifest,         // text: the reason
        incompatibleAppVersion,  // text: the minimum application version required
        network,                 // text: the reason
        missingFile,             // text: the file name
        hashMismatch,            // text: the file name
        invalidRules,            // text: the reason
        fileSystem,              // text: the reason
    };

    Kind kind = Kind::invalidManifest;
    std::string text{};

    static RuleUpdateError invalidManifest(std::string reason) {
        return {Kind::invalidManifest, std::move(reason)};
    }
    static RuleUpdateError incompatibleAppVersion(std::string minimumVersion) {
        return {Kind::incompatibleAppVersion, std::move(minimumVersion)};
    }
    static RuleUpdateError network(std::string reason) {
        return {Kind::network, std::move(reason)};
    }
    static RuleUpdateError missingFile(std::string fileName) {
        return {Kind::missingFile, std::move(fileName)};
    }
    static RuleUpdateError hashMismatch(std::string fileName) {
        return {Kind::hashMismatch, std::move(fileName)};
    }
    static RuleUpdateError invalidRules(std::string reason) {
        return {Kind::invalidRules, std::move(reason)};
    }
    static RuleUpdateError fileSystem(std::string reason) {
        return {Kind::fileSystem, std::move(reason)};
    }

    // The user-facing text: a fixed prefix for the kind, the carried text and,
    // for the two kinds that name something, a closing full stop.
    std::string errorDescription() const;

    // Same kind and equal text.
    bool operator==(const RuleUpdateError&) const = default;
};

}  // namespace scourlet
