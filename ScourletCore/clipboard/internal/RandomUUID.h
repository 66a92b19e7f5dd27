// Random (version 4) UUID texts, for identifiers that must not repeat.
#pragma once

#include <string>

namespace scourlet::internal {

// A new random UUID in the usual upper-case form,
// "8F0C6B2E-3D4A-4E1B-9C7F-0A1B2C3D4E5F". Never fails.
std::string randomUUIDString();

}  // namespace scourlet::internal
