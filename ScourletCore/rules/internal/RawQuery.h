// The URL cleaner's view of a query as it was written, and the host tests that
// switch on its special cases.
//
// The cleaner decides each query parameter on the text as it stood, so that a
// parameter it keeps is written back byte for byte. `parseRawQuery` splits the
// percent-encoded query on every "&" (empty pieces kept), or on "&amp;" where
// a link taken from HTML source joins its parameters that way, and decodes
// each name and value where it can; each item keeps its segment and the
// separator before it as written, so that the kept items can be joined again
// exactly as they stood.
//
//   auto items = internal::parseRawQuery(url.percentEncodedQuery());
//   auto challenge = internal::redditChallengeParameters(url, items);
//   bool search = internal::isGoogleSearch(url);
//
// Every host test compares the lower-cased host; a URL without a host fails
// all of them. None of these functions fails or allocates beyond its result.
#pragma once

#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/URLComponents.h"

namespace scourlet::internal {

// One "&"-separated piece of a query.
struct RawQueryItem {
    // The text before the first "=", percent-decoded; as written when it does
    // not decode (bad escape or not UTF-8).
    std::string name;
    // The text after the first "=", decoded the same way; nothing when the
    // segment has no "=", "" when it ends in "=".
    std::optional<std::string> value;
    // The segment exactly as it stood in the percent-encoded query.
    std::string segment;
    // What joined the segment to the one before it: "" for the first, else
    // "&" or "&amp;". Always one of these three literals.
    std::string_view separator;

    bool operator==(const RawQueryItem&) const = default;
};

// The items of `percentEncodedQuery` in query order. No query or an empty one
// gives no items; "a&&b" gives three, the middle one with an empty name and no
// value; a trailing "&" gives a last, empty item. "+" is never turned into a
// space. An "&" followed by "amp;" is HTML's escaped "&" and the five bytes
// together are one separator, also in a query that mixes them with plain
// "&": "a=1&amp;b=2" gives "a" and "b", never a name "amp;b".
std::vector<RawQueryItem> parseRawQuery(const std::optional<std::string_view>& percentEncodedQuery);

// On Reddit (its domain or a subdomain), the names of the bot-challenge
// parameters when `items` carry a challenge marker ("js_challenge" with the
// value "1", both "solution" and "token", or "jsc_orig_r"): "solution",
// "js_challenge", "token" and "jsc_orig_r". The empty set everywhere else.
std::set<std::string> redditChallengeParameters(const URLComponents& components,
                                                std::span<const RawQueryItem> items);

// True for a search on Google's .com domain or a subdomain of it: the path is
// exactly "/search" and the query has an item named exactly "q". Country
// domains do not count.
bool isGoogleSearch(const URLComponents& components);

// True for a Google search (above) whose non-empty fragment holds the state of
// a local result: "lkt=", "lpg=", "trex=", "rc_ludocids:" or "trex_id:".
bool hasGoogleLocalFragment(const URLComponents& components);

}  // namespace scourlet::internal
