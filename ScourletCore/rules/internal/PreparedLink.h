// Private to the rules engine: one text of a clean, prepared once for all the
// per-link queries that need it (which providers match, which of them make an
// exception, which text rules may find something), instead of once per query
// and provider.
//
//   internal::PreparedLink link;
//   engine.prepareLink(text, link);           // `text` must outlive the use
//   engine.matchingProviders(link, providers);
//   bool excepted = engine.isException(link, *providers.front());
#pragma once

#include <string>
#include <string_view>

#include "ScourletCore/rules/internal/FilterSubject.h"

namespace scourlet::internal {

struct PreparedLink {
    PreparedLink() = default;
    // The views point into the object itself.
    PreparedLink(const PreparedLink&) = delete;
    PreparedLink& operator=(const PreparedLink&) = delete;

    // The text as given.
    std::string_view text;
    // The text normalized for matching (RulesEngine::normalizedForMatching):
    // `text` itself when normalizing changes nothing, else `normalizedStorage`.
    std::string_view normalized;
    std::string normalizedStorage;
    // `normalized`, prepared for the prefilters.
    FilterSubject subject;

    // True when `normalized` is `text` itself, so that what the subject tells
    // holds for the text as given too.
    bool normalizedIsText() const { return normalized.data() == text.data(); }
};

}  // namespace scourlet::internal
