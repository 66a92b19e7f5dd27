#include "ScourletCore/updateawareness/UpdateMetadataError.h"

namespace scourlet {

std::string_view name(UpdateMetadataError::Kind kind) {
    using Kind = UpdateMetadataError::Kind;
    switch (kind) {
        case Kind::unsupportedURL:
            return "unsupportedURL";
        case Kind::badServerResponse:
            return "badServerResponse";
        case Kind::dataLengthExceedsMaximum:
            return "dataLengthExceedsMaximum";
        case Kind::decodingFailed:
            return "decodingFailed";
        case Kind::transport:
            return "transport";
    }
    return "unknown";
}

}  // namespace scourlet
