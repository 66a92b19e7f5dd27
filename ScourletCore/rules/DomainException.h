// DomainException: one site for which the user switched cleaning off.
//
//   DomainException e{"shop.example"};
//   Json j = e.toJson();   // {"host":"shop.example"}
#pragma once

#include <string>

#include "ScourletCore/platform/Json.h"

namespace scourlet {

struct DomainException {
    std::string host;  // always normalized by DomainExceptionStore::normalize

    bool operator==(const DomainException&) const = default;

    Json toJson() const;
    // Throws DecodingException when "host" is missing or not a string.
    static DomainException fromJson(const Json& json);
};

}  // namespace scourlet

template <>
struct std::hash<scourlet::DomainException> {
    std::size_t operator()(const scourlet::DomainException& e) const noexcept {
        return std::hash<std::string>{}(e.host);
    }
};
