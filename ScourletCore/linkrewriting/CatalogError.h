// How a signed privacy-services catalog, its update manifest or an install of
// them fails.
//
// Every rule a keyset, envelope, catalog or manifest breaks is reported as the
// one refusal `CatalogRejected::invalid`, without saying which rule: a caller
// (and whoever feeds it files) learns nothing it could use to probe the
// checks. Two other kinds pass through with their own message: a file that is
// not JSON of the record's shape (decoding), and a failure of the file system
// while installing (creating the folder, the lock or the data file).
//
//   auto verified = PrivacyServicesCatalog::verify(payload, envelope, keys, previous);
//   if (!verified && verified.error().isRejected()) { /* refused by a rule */ }
#pragma once

#include <string>
#include <utility>

#include "ScourletCore/platform/Json.h"

namespace scourlet {

// The one refusal; equatable and hashable by its case.
enum class CatalogRejected { invalid };

struct CatalogError {
    enum class Kind {
        rejected,    // a rule refused the input (CatalogRejected::invalid)
        decoding,    // the JSON did not decode to the record; `message` says why
        fileSystem,  // a folder, lock or file could not be made or written
    };

    Kind kind = Kind::rejected;
    std::string message;  // empty for `rejected`

    CatalogError() = default;                      // a rejection
    CatalogError(CatalogRejected /*rejected*/) {}  // NOLINT: implicit, like the error it wraps
    CatalogError(const DecodingError& error)       // NOLINT: implicit
        : kind(Kind::decoding), message(error.message) {}

    static CatalogError fileSystem(std::string message) {
        CatalogError error(CatalogRejected::invalid);
        error.kind = Kind::fileSystem;
        error.message = std::move(message);
        return error;
    }

    bool isRejected() const { return kind == Kind::rejected; }
    bool operator==(const CatalogError&) const = default;
};

}  // namespace scourlet
