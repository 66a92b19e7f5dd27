// The settings that decide whether X/Twitter and Reddit links are rewritten
// to privacy front-ends, and to which.
//
// A plain value built on demand from two settings stores and handed to whoever
// needs it (the URL cleaner passes it to the PrivacyRedirector for each link).
// The process's own store (`defaults`) holds the X/Twitter choice and the
// Reddit settings, so the application and the browser extension host each
// keep their own choice; the app-group suite (`nitterDefaults`) holds the
// Nitter-compatible instance selection, shared by both.
//
//   PrivacyRedirectSettings settings(standardDefaults, appGroupDefaults.get());
//   if (settings.nitterEnabled()) { ... }
//   Json json = settings.toJson();
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/config/ServiceConfiguration.h"
#include "ScourletCore/linkrewriting/XRedirectChoice.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/UserDefaults.h"

namespace scourlet {

struct PrivacyRedirectSettings {
    // --- Keys (this type writes none of them) ----------------------------------
    static constexpr std::string_view xRedirectChoiceKey = "privacyRedirects_xRedirectChoice";
    // Legacy: written as false by the extension bridge, never read.
    static constexpr std::string_view xRedirectEnabledKey = "privacyRedirects_xRedirectEnabled";
    // Legacy: read only to derive a missing choice.
    static constexpr std::string_view twitterViewerEnabledKey =
        "privacyRedirects_twitterViewerEnabled";
    static constexpr std::string_view redditRedirectEnabledKey =
        "privacyRedirects_redditRedirectEnabled";
    static constexpr std::string_view redditFrontendBaseURLKey =
        "privacyRedirects_redditFrontendBaseURL";
    // Legacy, in the shared suite: read only to derive a missing choice.
    static constexpr std::string_view nitterEnabledKey = "privacyRedirects_nitterEnabled";
    static constexpr std::string_view nitterServiceIDKey = "privacyRedirects_nitterServiceID";
    static constexpr std::string_view nitterAutomaticKey = "privacyRedirects_nitterAutomatic";

    // "https://" and a host, no path, no trailing slash.
    static constexpr std::string_view defaultRedditFrontendBaseURL =
        config::kDefaultRedditFrontendBaseURL;
    static constexpr std::string_view twitterViewerBaseURL = config::kTwitterViewerBaseURL;

    // --- Fields ---------------------------------------------------------------------
    XRedirectChoice xRedirectChoice = XRedirectChoice::off;
    // The catalog service picked for the Nitter-compatible choice; "" for none.
    std::string nitterServiceID;
    // Automatic instance selection and failover for the Nitter-compatible choice.
    bool nitterAutomatic = false;
    bool redditRedirectEnabled = false;
    // As the user entered it; normalized only when used.
    std::string redditFrontendBaseURL{defaultRedditFrontendBaseURL};
    // Retired switch: every constructor and the decoder set it false and it is
    // never encoded, but it still takes part in equality.
    bool xRedirectEnabled = false;

    // Everything off (the same as `disabled()`).
    PrivacyRedirectSettings() = default;

    // Reads the settings; `nitterDefaults` nothing means `defaults` serves as
    // both. The choice is the stored "privacyRedirects_xRedirectChoice" when it
    // is exactly one of the three raw values (a stored "off" too); otherwise
    // nitter when the shared legacy Nitter flag is true, else twitterViewer when
    // the legacy TwitterViewer flag is true, else off. A missing Reddit base URL
    // gives the default; a stored one is taken unchanged. Writes nothing and
    // cannot fail.
    PrivacyRedirectSettings(const UserDefaults& defaults, const UserDefaults* nitterDefaults);

    // For callers that hold the values themselves. `xRedirectChoice` wins when
    // given; otherwise nitter when `nitterEnabled`, else twitterViewer when
    // `twitterViewerEnabled`, else off. `xRedirectEnabled` is ignored (the field
    // stays false).
    PrivacyRedirectSettings(bool xRedirectEnabled, bool twitterViewerEnabled,
                            bool redditRedirectEnabled, std::string redditFrontendBaseURL,
                            bool nitterEnabled, std::string nitterServiceID, bool nitterAutomatic,
                            std::optional<XRedirectChoice> xRedirectChoice);

    // Choice off, no instance, automatic off, Reddit off with the default base.
    static PrivacyRedirectSettings disabled() { return PrivacyRedirectSettings(); }

    bool nitterEnabled() const { return xRedirectChoice == XRedirectChoice::nitter; }
    bool twitterViewerEnabled() const { return xRedirectChoice == XRedirectChoice::twitterViewer; }

    bool operator==(const PrivacyRedirectSettings&) const = default;

    // {"xRedirectChoice", "nitterServiceID", "nitterAutomatic",
    //  "redditRedirectEnabled", "redditFrontendBaseURL"}, in this order, always
    // all five; the legacy flags are never written.
    Json toJson() const;

    // Every key is optional; a missing choice is derived from "nitterEnabled"
    // and "twitterViewerEnabled" as above, missing Booleans are false, a missing
    // base URL is the default. Throws DecodingException when the value is not
    // an object, a present key has the wrong type, or "xRedirectChoice" is not
    // one of the three raw values.
    static PrivacyRedirectSettings fromJson(const Json& json);
};

}  // namespace scourlet
