// Everything the "Privacy Redirects" settings pane shows apart from the
// X/Twitter part (XRedirectSettingsModel draws that), so that the pane's
// widget only draws it and forwards the user's changes: its fixed texts, the
// Reddit switch and front-end address with the picker's rows, and the status
// caption that says where Reddit links really go.
//
// The Reddit switch and address live in the application's standard store;
// the Nitter-compatible instance keys live in the app-group suite, or in the
// standard store when there is none. Whenever the pane appears or one of these
// settings changes, applyRedirectSettings() builds the redirect settings from
// both stores and hands them to `install` (the clipboard monitor's URL cleaner),
// so the next clean uses them.
//
//   PrivacyRedirectsModel model(standard, appGroup,
//       [cleaner](PrivacyRedirectSettings s) { cleaner->setPrivacyRedirectSettings(std::move(s)); });
//   XRedirectSettingsModel x(standard, model.nitterDefaults(), updater,
//                            [&] { model.applyRedirectSettings(); });
//   Connection c = model.objectWillChange().connect([&] { scheduleRedraw(); });
//   model.setRedditFrontendBaseURL("https://redlib.example");   // stored and installed
//
// Reads the stores afresh on every call; announces (objectWillChange) after
// either Reddit key changed in this process. Main thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/UserDefaults.h"

namespace scourlet::app {

class PrivacyRedirectsModel final : public ObservableObject {
public:
    // One row of the front-end picker: the text shown and the address stored.
    struct Option {
        std::string text;
        std::string value;
        bool operator==(const Option&) const = default;
    };

    using Install = std::function<void(PrivacyRedirectSettings)>;

    // --- Texts --------------------------------------------------------------------
    static constexpr std::string_view kIntro =
        "Privacy Redirects change links from selected social sites to third-party alternative "
        "viewers before Scourlet copies the cleaned link. Their privacy practices differ, and "
        "they may be unavailable or incomplete.";
    static constexpr std::string_view kXSectionTitle = "X/Twitter";
    static constexpr std::string_view kExtensionCaption =
        "The browser extension has its own X/Twitter selection in its popup.";
    static constexpr std::string_view kRedditSectionTitle = "Rewrite Reddit links";
    static constexpr std::string_view kRedditToggle = "Rewrite Reddit links";
    static constexpr std::string_view kFrontendLabel = "Frontend";
    static constexpr std::string_view kCustomOption = "Custom";
    static constexpr std::string_view kCustomFieldTitle = "Custom frontend URL";
    static constexpr std::string_view kRedlibLinkTitle = "What is Redlib?";
    static constexpr std::string_view kPrivacySectionTitle = "Privacy";
    static constexpr std::string_view kPrivacyCaption =
        "Scourlet rewrites the URL locally. It does not send your links to Morrow Gate. When "
        "someone opens the rewritten link, their browser contacts the selected third-party "
        "frontend instead of X/Twitter or Reddit.";

    // "Change reddit.com links to a Redlib-compatible frontend …".
    static std::string redditCaption();
    // "Enter the root URL, for example <default>. Do not include a post path."
    static std::string helpCaption();
    // The Redlib project's page, opened by kRedlibLinkTitle.
    static std::string redlibURL();

    // The five offered front-ends (base URLs), the default first.
    static const std::vector<std::string>& redditChoices();
    // A picker row's text: the host of `url`, or `url` whole when it has none.
    static std::string hostLabel(std::string_view url);

    // `appGroupDefaults` null: the standard store holds the instance keys too.
    // `install` receives every settings value applyRedirectSettings() builds.
    PrivacyRedirectsModel(std::shared_ptr<UserDefaults> standardDefaults,
                          std::shared_ptr<UserDefaults> appGroupDefaults, Install install);

    // The store of the Nitter-compatible instance keys: the app-group suite,
    // or the standard store when there is none.
    const std::shared_ptr<UserDefaults>& nitterDefaults() const { return nitterDefaults_; }

    // --- The two Reddit settings -----------------------------------------------------
    bool redditRedirectEnabled() const;
    // As stored (the default front-end when nothing is stored), not checked.
    std::string redditFrontendBaseURL() const;
    // Each stores its key and installs the new settings; nothing happens when
    // the reader above already gives that value.
    void setRedditRedirectEnabled(bool enabled);
    void setRedditFrontendBaseURL(std::string_view url);

    // --- What to draw -----------------------------------------------------------------
    // One row per offered front-end, then "Custom" with the stored address
    // when it is none of them exactly.
    std::vector<Option> frontendOptions() const;
    // The index into frontendOptions() of the stored address.
    std::size_t selectedFrontendIndex() const;
    // Where rewritten Reddit links go: the stored address as the rewrite
    // normalizes it, or the default front-end when it is unusable.
    std::string effectiveFrontendBaseURL() const;
    // Whether the stored address cannot be used (also when empty), so that the
    // default front-end is used instead.
    bool frontendAddressUnusable() const;
    // While the switch is on: "Reddit links will be rewritten to <effective
    // front-end>. …", preceded, when the address is unusable, by a sentence
    // that says so and names the default in use. While off: "Reddit links
    // stay on reddit.com unless normal tracking parameters are removed."
    std::string statusCaption() const;

    // --- Installing -------------------------------------------------------------------
    // The settings the cleaner should use: the X/Twitter choice and the
    // instance settings as the two stores give them, the Reddit settings from
    // the standard store (the address exactly as stored), legacy flags off.
    PrivacyRedirectSettings redirectSettings() const;
    // Hands redirectSettings() to `install`.
    void applyRedirectSettings();

private:
    void announce() const { objectWillChange().emit(); }

    std::shared_ptr<UserDefaults> standardDefaults_;
    std::shared_ptr<UserDefaults> nitterDefaults_;
    Install install_;

    Connection enabledObserver_;
    Connection baseURLObserver_;
};

}  // namespace scourlet::app
