// Keyset parsing and the envelope check behind
// PrivacyServicesCatalog::parseKeyset() and ::checkEnvelope().
#pragma once

#include <string_view>

#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"

namespace scourlet::internal {

Result<PrivacyServicesCatalog::Keyset, CatalogRejected> parseKeysetText(std::string_view bytes);

Result<void, CatalogRejected> checkEnvelopeSignature(
    const PrivacyServicesCatalog::Envelope& envelope, const PrivacyServicesCatalog::Keyset& keys,
    std::string_view message);

}  // namespace scourlet::internal
