// Everything the X/Twitter part of the Privacy Redirects settings shows, so
// that a widget only draws it and forwards the user's changes: the choice
// (off, a Nitter-compatible instance from the verified catalog, or
// TwitterViewer), the instance and whether automatic selection and failover
// may be used, with every text, option list, enabled state and status line.
//
// The choice lives in the process's own store (`defaults`); the instance and
// the automatic switch live in the shared app-group suite (`nitterDefaults`).
// The model writes only those three keys, and tells its host (`changed`)
// after every change it makes, so the host can rebuild its redirect settings.
//
//   XRedirectSettingsModel model(defaults, appGroup, updater, [&] { rebuildSettings(); });
//   model.appear();                          // once the pane is shown
//   Connection c = model.objectWillChange().connect([&] { scheduleRedraw(); });
//   model.setChoice("nitter");
//   for (const auto& option : model.instanceOptions()) addItem(option.text, option.value);
//
// Reads the stores and the updater's verified catalog afresh on every call;
// announces (objectWillChange) when one of the three keys changes in this
// process or the updater installs another catalog. Never starts a catalog
// check or install. Used on the main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/linkrewriting/PrivacyCatalogUpdater.h"
#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/UserDefaults.h"

namespace scourlet {

class XRedirectSettingsModel final : public ObservableObject {
public:
    // One entry of a picker: the text shown and the value stored.
    struct Option {
        std::string text;
        std::string value;
        bool operator==(const Option&) const = default;
    };

    // What shows below the choice picker.
    enum class Section {
        nitter,         // instance picker, automatic toggle, status line, captions
        twitterViewer,  // the experimental caption and the privacy-policy link
        off,            // the off caption (also for a stored text of no choice)
    };

    // --- Texts --------------------------------------------------------------------
    static constexpr std::string_view kChoiceLabel = "X/Twitter links";
    static constexpr std::string_view kChoiceAccessibilityID = "x-redirect-choice";
    static constexpr std::string_view twitterViewerLabel = "TwitterViewer (Beta)";
    static constexpr std::string_view kInstanceLabel = "Nitter-compatible instance";
    static constexpr std::string_view kInstanceHint =
        "Only verified active Nitter-compatible instances are listed. Your explicit selection is "
        "never silently replaced.";
    static constexpr std::string_view kChooseInstance = "Choose an instance";
    static constexpr std::string_view kSelectedInstanceUnavailable =
        "Selected instance unavailable";
    static constexpr std::string_view kAutomaticToggle =
        "Allow automatic instance selection and failover";
    static constexpr std::string_view kStatusAccessibilityID = "nitter-selection-status";
    static constexpr std::string_view kNoInstancesCaption =
        "No verified eligible instances. Redirects are unavailable; ordinary tracker cleaning "
        "still works.";
    static constexpr std::string_view kNitterCaption =
        "Public profiles and status links, including /i/status when supported by the selected "
        "instance. Existing selection, automatic mode, and service ID are preserved.";
    static constexpr std::string_view kTwitterViewerCaption =
        "TwitterViewer is experimental and may become unavailable. Its privacy policy says it "
        "uses analytics and server logs. Private, login-only, unsupported, and /i/status links "
        "stay on X/Twitter after normal tracker cleaning.";
    static constexpr std::string_view kPrivacyPolicyTitle = "TwitterViewer privacy policy";
    static constexpr std::string_view kOffCaption =
        "X/Twitter links stay on their original site after normal tracker cleaning.";

    // The choice picker's options: "Off", "XCancel / Nitter / custom instance"
    // and twitterViewerLabel, with their raw values.
    static const std::vector<Option>& choiceOptions();
    // The TwitterViewer front-end's "/privacy-policy" page.
    static std::string privacyPolicyURL();

    // `nitterDefaults` nothing: `defaults` holds the instance keys too. The
    // updater must be set; its verified catalog gives the instances. `clock`
    // gives "now" for which instances are current. Reads and writes nothing.
    XRedirectSettingsModel(std::shared_ptr<UserDefaults> defaults,
                           std::shared_ptr<UserDefaults> nitterDefaults,
                           std::shared_ptr<const PrivacyCatalogUpdater> updater,
                           std::function<void()> changed,
                           std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>());

    // --- The three settings ----------------------------------------------------------
    // The stored choice text as it is ("off" when absent), also a text that is
    // none of the three raw values.
    std::string choice() const;
    // The stored instance id ("" when absent), kept even when the catalog no
    // longer offers it.
    std::string selectedID() const;
    bool automatic() const;

    // Each writes its key and calls `changed` once; nothing happens when the
    // reader above already gives that value.
    void setChoice(std::string_view rawChoice);
    void setSelectedID(std::string_view id);
    void setAutomatic(bool automatic);

    // Call when the settings are shown. When no choice is stored, stores the
    // one PrivacyRedirectSettings derives from the legacy flags; when a text of
    // no choice is stored and the legacy flags make links go to a front-end,
    // stores that choice too, so the settings never say links stay on X/Twitter
    // while they are rewritten. Then calls `changed`, migrated or not.
    void appear();

    // --- What to draw -----------------------------------------------------------------
    // The index into choiceOptions() of the stored choice; nothing for a text
    // of no choice.
    std::optional<std::size_t> selectedChoiceIndex() const;
    Section section() const;

    // The catalog services offered now: none without a verified catalog.
    std::vector<PrivacyServicesCatalog::Service> choices() const;
    // "Choose an instance" (""), one option per offered service (its display
    // name, else its id), and "Selected instance unavailable" with the stored
    // id when one is stored that no offered service has.
    std::vector<Option> instanceOptions() const;
    // The index into instanceOptions() of the stored id (0 when none is stored).
    std::size_t selectedInstanceIndex() const;
    // Off while automatic selection is on or nothing is offered.
    bool instancePickerEnabled() const;
    // The redirector's status for the three settings at the current time.
    std::string statusLine() const;
    // Whether kNoInstancesCaption shows (nothing is offered).
    bool showsNoInstancesCaption() const;

private:
    std::uint64_t nowSeconds() const;
    PrivacyRedirectSettings statusSettings() const;
    void announce() const { objectWillChange().emit(); }

    std::shared_ptr<UserDefaults> defaults_;
    std::shared_ptr<UserDefaults> nitterDefaults_;
    std::shared_ptr<const PrivacyCatalogUpdater> updater_;
    std::function<void()> changed_;
    std::shared_ptr<const Clock> clock_;

    Connection choiceObserver_;
    Connection selectedIDObserver_;
    Connection automaticObserver_;
    Connection installedObserver_;
};

}  // namespace scourlet
