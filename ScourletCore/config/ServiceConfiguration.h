// Public host names, base URLs and words that the rules take from the outside
// world, kept in one place so that a change of a service's domain is one edit.
//
//   if (host == config::kAmazonShortLinkHost) { ... }
//
// Every host is lower-case and without a trailing dot; every base URL is
// "https://" and a host, without a path or a trailing slash.
#pragma once

#include <array>
#include <string_view>

namespace scourlet::config {

// --- Hosts with special handling in the cleaner and share-link resolution ------

inline constexpr std::string_view kAmazonShortLinkHost = "a.co";
inline constexpr std::string_view kXHost = "x.com";
inline constexpr std::string_view kFormerTwitterHost = "twitter.com";
inline constexpr std::string_view kInstagramDomain = "instagram.com";
inline constexpr std::string_view kThreadsDomain = "threads.net";
inline constexpr std::string_view kThreadsAlternateDomain = "threads.com";
inline constexpr std::string_view kRedditDomain = "reddit.com";
inline constexpr std::string_view kGoogleComDomain = "google.com";

// --- Privacy front-ends ---------------------------------------------------------
// Where rewritten X/Twitter and Reddit links go. Each front-end is a public
// service run by an outside party; the source hosts are built from the X,
// former Twitter and Reddit domains above.

// The Reddit front-end used when the user has entered none (or an unusable
// one): a public Redlib instance.
inline constexpr std::string_view kDefaultRedditFrontendBaseURL = "https://safereddit.com";
// The Reddit front-ends the settings offer, the default first: public Redlib
// instances.
inline constexpr std::array<std::string_view, 5> kRedditFrontendChoices = {
    kDefaultRedditFrontendBaseURL,  "https://redlib.catsarch.com",
    "https://redlib.perennialte.ch", "https://l.opnxng.com",
    "https://redlib.privacyredirect.com",
};
// The Redlib project's public page, for readers who want to know what it is.
inline constexpr std::string_view kRedlibProjectURL = "https://github.com/redlib-org/redlib";
// The TwitterViewer front-end, a fixed choice beside the catalog's instances.
inline constexpr std::string_view kTwitterViewerBaseURL = "https://twitterviewer.net";
// The one destination a first-format privacy-services catalog may name: the
// XCancel viewer, listed there under the id "xcancel". It is not a rewrite
// target of its own; it only has to match what the catalog publisher wrote.
inline constexpr std::string_view kXCancelBaseURL = "https://xcancel.com";

// --- Categorizing providers by name -------------------------------------------
// One further word in each of four category-word groups, chosen so that a
// provider named after the service lands in the category users expect.

inline constexpr std::string_view kFurtherSocialMediaWord = "pinterest";
inline constexpr std::string_view kFurtherAdvertisingWord = "taboola";
inline constexpr std::string_view kFurtherAnalyticsWord = "analytics";
inline constexpr std::string_view kFurtherEmailMarketingWord = "mailchimp";

// Display-name suffixes after the provider name for rules that are not
// parameter names.
inline constexpr std::string_view kRedirectionRuleDisplaySuffix = ": redirect wrapper";
inline constexpr std::string_view kRawRuleDisplaySuffix = ": URL text rule";

// --- Share-link resolution ------------------------------------------------------
// Where share links may lead. The Amazon short-link host, the Instagram domain
// and the two Threads domains above name the links themselves; redirects and
// canonical product links of Amazon short links must be on the store host in
// its "www." form exactly (the bare store domain is refused).

inline constexpr std::string_view kAmazonStoreHost = "www.amazon.com";

// --- Map links and web-archive lookups -----------------------------------------
// Map links convert between the Apple Maps host and Google Maps: the Google
// domain under .com above, its subdomains, and the "www." form of any Google
// country domain ("www." + label + "."). Archive lookups go to the public web
// archive.

inline constexpr std::string_view kAppleMapsHost = "maps.apple.com";
inline constexpr std::string_view kGoogleLabel = "google";
inline constexpr std::string_view kWaybackHost = "web.archive.org";

}  // namespace scourlet::config
