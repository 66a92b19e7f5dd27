#include "app/settings/PrivacyRedirectsModel.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/PrivacyRedirector.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"

namespace scourlet::app {
namespace {

using Model = PrivacyRedirectsModel;
using Option = PrivacyRedirectsModel::Option;
using Settings = PrivacyRedirectSettings;

constexpr std::string_view kRedditLink = "https://www.reddit.com/r/pics/comments/abc/title/";
constexpr std::string_view kOnTail =
    "Public posts and communities usually work, but quarantined, private, mature, deleted, or "
    "login-only content may not.";

struct PrivacyRedirectsModelTest : ::testing::Test {
    std::shared_ptr<InMemoryUserDefaults> standard = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<InMemoryUserDefaults> appGroup = std::make_shared<InMemoryUserDefaults>();
    std::vector<Settings> installed;

    std::unique_ptr<Model> model(bool withAppGroup = true) {
        return std::make_unique<Model>(standard, withAppGroup ? appGroup : nullptr,
                                       [this](Settings s) { installed.push_back(std::move(s)); });
    }
};

TEST(PrivacyRedirectsModelTexts, OfferedFrontEndsAreBaseURLsLabelledByHost) {
    const auto& choices = Model::redditChoices();
    ASSERT_EQ(choices.size(), 5u);
    EXPECT_EQ(choices.front(), Settings::defaultRedditFrontendBaseURL);
    for (const std::string& choice : choices) {
        // Each one is its own normalized base: scheme and host, nothing more.
        EXPECT_EQ(PrivacyRedirector::normalizedFrontendBaseURL(choice, std::nullopt), choice);
        EXPECT_EQ(choice.rfind("https://", 0), 0u) << choice;
    }

    const struct {
        const char* url;
        const char* label;
    } labels[] = {
        {"https://safereddit.com", "safereddit.com"},
        {"https://Redlib.Example:8443/x", "Redlib.Example"},
        {"not a url", "not a url"},       // does not parse: whole
        {"mailto:someone@example.com", "mailto:someone@example.com"},  // no host: whole
        {"https://", "https://"},         // empty host: whole
        {"", ""},
    };
    for (const auto& c : labels) {
        EXPECT_EQ(Model::hostLabel(c.url), c.label) << c.url;
    }
    EXPECT_EQ(Model::helpCaption(),
              "Enter the root URL, for example https://safereddit.com. Do not include a post path.");
    EXPECT_EQ(Model::redditCaption(),
              "Change reddit.com links to a Redlib-compatible frontend for a lighter, less "
              "trackable public Reddit view.");
}

TEST_F(PrivacyRedirectsModelTest, PickerAddsCustomOnlyForAnAddressOutsideTheList) {
    std::vector<Option> offered;
    for (const std::string& choice : Model::redditChoices()) {
        offered.push_back({Model::hostLabel(choice), choice});
    }
    const struct {
        const char* name;
        std::optional<std::string> stored;
        std::optional<std::string> custom;  // the "Custom" row's value, when there is one
        std::size_t selected;
    } cases[] = {
        {"nothing stored: the default", std::nullopt, std::nullopt, 0},
        {"second choice", Model::redditChoices()[1], std::nullopt, 1},
        {"last choice", Model::redditChoices()[4], std::nullopt, 4},
        {"typed address", "https://redlib.example", "https://redlib.example", 5},
        {"a choice with a trailing slash is not the choice", "https://safereddit.com/",
         "https://safereddit.com/", 5},
        {"a choice in other case", "https://SafeReddit.com", "https://SafeReddit.com", 5},
        {"empty", "", "", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.stored) {
            standard->setString(Settings::redditFrontendBaseURLKey, *c.stored);
        } else {
            standard->removeObject(Settings::redditFrontendBaseURLKey);
        }
        const auto m = model();
        std::vector<Option> expected = offered;
        if (c.custom) {
            expected.push_back({"Custom", *c.custom});
        }
        EXPECT_EQ(m->frontendOptions(), expected);
        EXPECT_EQ(m->selectedFrontendIndex(), c.selected);
        EXPECT_EQ(m->frontendOptions()[c.selected].value, m->redditFrontendBaseURL());
    }
}

// The caption names where links really go: the address as the rewrite uses
// it, or, when it cannot be used, the default, saying so.
TEST_F(PrivacyRedirectsModelTest, StatusCaptionNamesTheFrontEndLinksActuallyGoTo) {
    const struct {
        const char* name;
        std::optional<std::string> stored;
        const char* effective;
        const char* note;  // "" for none
    } cases[] = {
        {"nothing stored", std::nullopt, "https://safereddit.com", ""},
        {"a choice", "https://redlib.catsarch.com", "https://redlib.catsarch.com", ""},
        {"a post path is dropped", "https://redlib.example/r/pics/comments/1",
         "https://redlib.example", ""},
        {"no scheme", "redlib.example", "https://redlib.example", ""},
        {"blanks and a final slash", "  https://redlib.example/\n", "https://redlib.example", ""},
        {"http and a port kept", "http://redlib.example:8080", "http://redlib.example:8080", ""},
        {"ftp", "ftp://redlib.example", "https://safereddit.com",
         "\u201Cftp://redlib.example\u201D is not a usable address; using "
         "https://safereddit.com. "},
        {"a query", "https://redlib.example/?x=1", "https://safereddit.com",
         "\u201Chttps://redlib.example/?x=1\u201D is not a usable address; using "
         "https://safereddit.com. "},
        {"user information", "https://me@redlib.example", "https://safereddit.com",
         "\u201Chttps://me@redlib.example\u201D is not a usable address; using "
         "https://safereddit.com. "},
        {"a space inside, shown trimmed", " redlib example ", "https://safereddit.com",
         "\u201Credlib example\u201D is not a usable address; using https://safereddit.com. "},
        {"a hidden override is shown", "https://a\u202Eb", "https://safereddit.com",
         "\u201Chttps://a\u27E8U+202E\u27E9b\u201D is not a usable address; using "
         "https://safereddit.com. "},
        {"empty", "", "https://safereddit.com",
         "No address is entered; using https://safereddit.com. "},
        {"blanks only", " \t ", "https://safereddit.com",
         "No address is entered; using https://safereddit.com. "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.stored) {
            standard->setString(Settings::redditFrontendBaseURLKey, *c.stored);
        } else {
            standard->removeObject(Settings::redditFrontendBaseURLKey);
        }
        standard->setBool(Settings::redditRedirectEnabledKey, true);
        const auto m = model();

        EXPECT_EQ(m->effectiveFrontendBaseURL(), c.effective);
        EXPECT_EQ(m->frontendAddressUnusable(), std::string_view(c.note) != "");
        EXPECT_EQ(m->statusCaption(), std::string(c.note) + "Reddit links will be rewritten to " +
                                          c.effective + ". " + std::string(kOnTail));

        // The rewrite itself goes where the caption says.
        const auto redirected = PrivacyRedirector(std::nullopt, 0).redirect(kRedditLink,
                                                                            m->redirectSettings());
        ASSERT_TRUE(redirected);
        EXPECT_EQ(redirected->redirectedURL.rfind(std::string(c.effective) + "/r/pics/", 0), 0u)
            << redirected->redirectedURL;

        // Off: links stay, whatever the address.
        standard->setBool(Settings::redditRedirectEnabledKey, false);
        EXPECT_EQ(m->statusCaption(),
                  "Reddit links stay on reddit.com unless normal tracking parameters are removed.");
    }
}

TEST_F(PrivacyRedirectsModelTest, EachRedditChangeIsStoredAndInstalledOnce) {
    const auto m = model();
    int announcements = 0;
    const Connection c = m->objectWillChange().connect([&] { ++announcements; });

    m->setRedditRedirectEnabled(true);
    m->setRedditRedirectEnabled(true);  // no change: nothing stored, nothing installed
    ASSERT_EQ(installed.size(), 1u);
    EXPECT_TRUE(standard->boolForKey(Settings::redditRedirectEnabledKey));
    EXPECT_TRUE(installed.back().redditRedirectEnabled);
    EXPECT_EQ(installed.back().redditFrontendBaseURL, Settings::defaultRedditFrontendBaseURL);

    // The address is stored and installed exactly as typed; the rewrite normalizes it.
    m->setRedditFrontendBaseURL(" redlib.example/r/x ");
    ASSERT_EQ(installed.size(), 2u);
    EXPECT_EQ(standard->stringForKey(Settings::redditFrontendBaseURLKey), " redlib.example/r/x ");
    EXPECT_EQ(installed.back().redditFrontendBaseURL, " redlib.example/r/x ");
    EXPECT_EQ(announcements, 2);

    // A change made elsewhere is announced too, so an open pane follows it.
    standard->setBool(Settings::redditRedirectEnabledKey, false);
    EXPECT_EQ(announcements, 3);
    EXPECT_FALSE(m->redditRedirectEnabled());
    EXPECT_FALSE(appGroup->contains(Settings::redditRedirectEnabledKey));
}

// What is installed keeps the X/Twitter settings as the stores hold them and
// takes the Reddit ones from the pane.
TEST_F(PrivacyRedirectsModelTest, InstalledSettingsCombineBothStores) {
    const struct {
        const char* name;
        bool withAppGroup;
        bool instanceKeysInAppGroup;
        std::optional<std::string> storedChoice;
        bool legacyNitterFlag;  // in the store of the instance keys
        XRedirectChoice choice;
        const char* serviceID;
        bool automatic;
    } cases[] = {
        {"app-group suite holds the instance", true, true, "nitter", false, XRedirectChoice::nitter,
         "alpha", true},
        {"instance keys in the standard store are not read", true, false, "nitter", false,
         XRedirectChoice::nitter, "", false},
        {"no suite: the standard store holds the instance", false, false, "nitter", false,
         XRedirectChoice::nitter, "alpha", true},
        {"a missing choice follows the legacy flag", true, true, std::nullopt, true,
         XRedirectChoice::nitter, "alpha", true},
        {"TwitterViewer", true, true, "twitterViewer", false, XRedirectChoice::twitterViewer,
         "alpha", true},
        {"off", true, true, "off", true, XRedirectChoice::off, "alpha", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        standard = std::make_shared<InMemoryUserDefaults>();
        appGroup = std::make_shared<InMemoryUserDefaults>();
        installed.clear();
        auto& instanceStore = c.instanceKeysInAppGroup ? *appGroup : *standard;
        instanceStore.setString(Settings::nitterServiceIDKey, "alpha");
        instanceStore.setBool(Settings::nitterAutomaticKey, true);
        instanceStore.setBool(Settings::nitterEnabledKey, c.legacyNitterFlag);
        if (c.storedChoice) {
            standard->setString(Settings::xRedirectChoiceKey, *c.storedChoice);
        }
        standard->setBool(Settings::redditRedirectEnabledKey, true);
        standard->setString(Settings::redditFrontendBaseURLKey, "https://redlib.example/r/a");
        const auto m = model(c.withAppGroup);
        EXPECT_EQ(m->nitterDefaults().get(),
                  c.withAppGroup ? static_cast<UserDefaults*>(appGroup.get()) : standard.get());

        m->applyRedirectSettings();

        ASSERT_EQ(installed.size(), 1u);
        const Settings& s = installed.back();
        EXPECT_EQ(s.xRedirectChoice, c.choice);
        EXPECT_EQ(s.nitterServiceID, c.serviceID);
        EXPECT_EQ(s.nitterAutomatic, c.automatic);
        EXPECT_TRUE(s.redditRedirectEnabled);
        EXPECT_EQ(s.redditFrontendBaseURL, "https://redlib.example/r/a");
        EXPECT_FALSE(s.xRedirectEnabled);
    }
}

}  // namespace
}  // namespace scourlet::app
