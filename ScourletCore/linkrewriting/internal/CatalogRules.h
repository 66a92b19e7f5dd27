// The field tests shared by catalog verification and the questions a
// verified catalog answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "ScourletCore/platform/Json.h"

namespace scourlet::internal {

// Printable ASCII and "https://" + lower-case host labels joined by "." or
// "-" + an optional path of unreserved characters and "/"; no port, user,
// query or fragment.
bool passesURLTest(std::string_view text);

// The same host rule with at most one trailing "/" and no path.
bool isBareOrigin(std::string_view text);

// At most `limit` bytes of printable ASCII; when `emptyAllowed` is false the
// text must hold a character other than a space.
bool passesTextTest(std::string_view text, std::size_t limit, bool emptyAllowed);

// Whether a service may be offered as an X/Twitter front-end, leaving the
// time tests aside: id not "xcancel", state "active", family "nitter", at
// least one shape, a bare-origin destination whose host is no X/Twitter host.
bool isOfferableService(const PrivacyServicesCatalog::Service& service);

// An unsigned 64-bit JSON integer under `key`; throws DecodingException when
// it is missing, null, negative, fractional or of another type.
std::uint64_t requiredUInt64(const JsonObjectReader& object, std::string_view key);

}  // namespace scourlet::internal
