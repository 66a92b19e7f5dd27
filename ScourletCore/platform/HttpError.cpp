#include "ScourletCore/platform/HttpError.h"

namespace scourlet {

std::string_view name(HttpError::Kind kind) {
    switch (kind) {
        case HttpError::Kind::invalidRequest:
            return "invalidRequest";
        case HttpError::Kind::schemeNotAllowed:
            return "schemeNotAllowed";
        case HttpError::Kind::badRedirect:
            return "badRedirect";
        case HttpError::Kind::tooManyRedirects:
            return "tooManyRedirects";
        case HttpError::Kind::connectTimeout:
            return "connectTimeout";
        case HttpError::Kind::idleTimeout:
            return "idleTimeout";
        case HttpError::Kind::totalTimeout:
            return "totalTimeout";
        case HttpError::Kind::bodyTooLarge:
            return "bodyTooLarge";
        case HttpError::Kind::tlsFailure:
            return "tlsFailure";
        case HttpError::Kind::connectionFailed:
            return "connectionFailed";
        case HttpError::Kind::transferFailed:
            return "transferFailed";
        case HttpError::Kind::cancelled:
            return "cancelled";
    }
    return "unknown";
}

}  // namespace scourlet
