// How fetching or reading release metadata failed: an address outside the
// fixed list, an answer that is not the file, a file over its byte cap, a
// file that does not decode, or the transport's own error.
//
//   auto bytes = UpdateMetadata::fetch(transport, UpdateMetadata::desktopURL(), 16384);
//   if (!bytes && bytes.error().kind == UpdateMetadataError::Kind::transport) {
//       log(name(bytes.error().transport.kind));
//   }
//
// The interface shows none of this; every failure reads as "could not check".
#pragma once

#include <string>
#include <string_view>

#include "ScourletCore/platform/HttpError.h"

namespace scourlet {

struct UpdateMetadataError {
    enum class Kind {
        unsupportedURL,            // not one of the fixed metadata addresses; nothing was sent
        badServerResponse,         // not status 200 from the address asked, or a refused value
        dataLengthExceedsMaximum,  // the file, or the length its server declared, passed the cap
        decodingFailed,            // not JSON of the expected shape
        transport,                 // the transport ended the call; see `transport`
    };

    Kind kind = Kind::badServerResponse;
    // Details for logs; not meant for the user.
    std::string message;
    // For Kind::transport: how the call ended.
    HttpError transport;

    bool operator==(const UpdateMetadataError&) const = default;
};

// The name of a kind as written above, e.g. "unsupportedURL"; for logs and tests.
std::string_view name(UpdateMetadataError::Kind kind);

}  // namespace scourlet
