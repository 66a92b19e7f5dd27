#include "ScourletCore/linkrewriting/XRedirectSettingsModel.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"
#include "linkrewriting/CatalogUpdaterFixture.h"

namespace scourlet {
namespace {

using Model = XRedirectSettingsModel;
using Option = XRedirectSettingsModel::Option;
using Settings = PrivacyRedirectSettings;

constexpr std::string_view kUnavailableStatus =
    "Selected Nitter-compatible instance unavailable or ineligible. X/Twitter links stay "
    "canonical; no substitute selected.";

class XRedirectSettingsModelTest : public testing::CatalogUpdaterFixture {
protected:
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<InMemoryUserDefaults> shared = std::make_shared<InMemoryUserDefaults>();
    int changedCalls = 0;

    // A model whose updater holds the verified catalog `shipped` (none: no catalog).
    std::unique_ptr<Model> model(std::optional<std::uint64_t> shipped) {
        updater = makeUpdater(shipped ? verified(*shipped) : std::nullopt);
        return std::make_unique<Model>(
            defaults, shared, updater, [this] { ++changedCalls; }, clock);
    }

    std::shared_ptr<PrivacyCatalogUpdater> updater;
};

struct MigrationCase {
    const char* name;
    std::optional<std::string> storedChoice;
    bool legacyNitter;         // in the shared suite
    bool legacyTwitterViewer;  // in the process's own store
    std::string expectedChoice;
    Model::Section section;
};

TEST_F(XRedirectSettingsModelTest, AppearMigratesOnlyWhatTheLegacyFlagsDecide) {
    const MigrationCase cases[] = {
        {"nothing stored, Nitter flag", {}, true, false, "nitter", Model::Section::nitter},
        {"nothing stored, both flags: Nitter wins",
         {},
         true,
         true,
         "nitter",
         Model::Section::nitter},
        {"nothing stored, TwitterViewer flag",
         {},
         false,
         true,
         "twitterViewer",
         Model::Section::twitterViewer},
        {"nothing stored, no flag", {}, false, false, "off", Model::Section::off},
        {"stored off wins over the flags", "off", true, true, "off", Model::Section::off},
        {"stored choice kept", "twitterViewer", true, false, "twitterViewer",
         Model::Section::twitterViewer},
        // A text of no choice reads as the flags decide; the view follows.
        {"invalid text, Nitter flag", "NITTER", true, false, "nitter", Model::Section::nitter},
        {"invalid text, TwitterViewer flag", "bogus", false, true, "twitterViewer",
         Model::Section::twitterViewer},
        {"invalid text, no flag: kept", "NITTER", false, false, "NITTER", Model::Section::off},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        defaults = std::make_shared<InMemoryUserDefaults>();
        shared = std::make_shared<InMemoryUserDefaults>();
        changedCalls = 0;
        if (c.storedChoice) {
            defaults->setString(Settings::xRedirectChoiceKey, *c.storedChoice);
        }
        shared->setBool(Settings::nitterEnabledKey, c.legacyNitter);
        defaults->setBool(Settings::twitterViewerEnabledKey, c.legacyTwitterViewer);
        const auto m = model(1);

        m->appear();

        EXPECT_EQ(defaults->stringForKey(Settings::xRedirectChoiceKey), c.expectedChoice);
        EXPECT_EQ(changedCalls, 1);
        EXPECT_EQ(m->section(), c.section);
        // What the view shows agrees with what links do.
        const auto rewrites = Settings(*defaults, shared.get()).xRedirectChoice;
        EXPECT_EQ(m->section() == Model::Section::off, rewrites == XRedirectChoice::off);
        EXPECT_FALSE(shared->contains(Settings::xRedirectChoiceKey));
    }
}

TEST_F(XRedirectSettingsModelTest, AnInvalidStoredChoiceSelectsNoOption) {
    defaults->setString(Settings::xRedirectChoiceKey, "Nitter");
    const auto m = model(1);
    EXPECT_EQ(m->selectedChoiceIndex(), std::nullopt);
    EXPECT_EQ(m->section(), Model::Section::off);
    m->setChoice("nitter");
    EXPECT_EQ(m->selectedChoiceIndex(), 1u);
}

TEST_F(XRedirectSettingsModelTest, WithoutAVerifiedCatalogNothingCanBePicked) {
    defaults->setString(Settings::xRedirectChoiceKey, "nitter");
    const auto m = model(std::nullopt);
    EXPECT_TRUE(m->choices().empty());
    EXPECT_EQ(m->instanceOptions(), (std::vector<Option>{{"Choose an instance", ""}}));
    EXPECT_FALSE(m->instancePickerEnabled());
    EXPECT_EQ(m->statusLine(), kUnavailableStatus);
    EXPECT_TRUE(m->showsNoInstancesCaption());

    shared->setString(Settings::nitterServiceIDKey, "alpha");
    EXPECT_EQ(m->instanceOptions(),
              (std::vector<Option>{{"Choose an instance", ""},
                                   {"Selected instance unavailable", "alpha"}}));
    EXPECT_EQ(m->selectedInstanceIndex(), 1u);
}

TEST_F(XRedirectSettingsModelTest, AnUnknownStoredInstanceIsKeptNeverReplaced) {
    defaults->setString(Settings::xRedirectChoiceKey, "nitter");
    shared->setString(Settings::nitterServiceIDKey, "gone");
    const auto m = model(1);
    m->appear();

    EXPECT_EQ(m->instanceOptions(),
              (std::vector<Option>{{"Choose an instance", ""},
                                   {"Instance alpha", "alpha"},
                                   {"Instance beta", "beta"},
                                   {"Selected instance unavailable", "gone"}}));
    EXPECT_EQ(m->selectedInstanceIndex(), 3u);
    EXPECT_TRUE(m->instancePickerEnabled());
    EXPECT_EQ(m->statusLine(), kUnavailableStatus);
    EXPECT_FALSE(m->showsNoInstancesCaption());
    EXPECT_EQ(shared->stringForKey(Settings::nitterServiceIDKey), "gone");

    m->setSelectedID("beta");
    EXPECT_EQ(m->selectedInstanceIndex(), 2u);
    EXPECT_EQ(m->instanceOptions().size(), 3u) << "the unavailable entry goes with the id";
    EXPECT_EQ(m->statusLine(),
              "Selected instance: Instance beta. Only supported public paths are redirected. "
              "Availability is not checked.");
}

TEST_F(XRedirectSettingsModelTest, AutomaticSelectionDisablesThePickerAndNamesTheSmallestID) {
    defaults->setString(Settings::xRedirectChoiceKey, "nitter");
    shared->setString(Settings::nitterServiceIDKey, "beta");
    const auto m = model(1);
    m->setAutomatic(true);
    EXPECT_FALSE(m->instancePickerEnabled());
    EXPECT_TRUE(m->statusLine().starts_with("Automatic selection: Instance alpha."));
}

TEST_F(XRedirectSettingsModelTest, SettersWriteTheirOwnKeyOnceAndTellTheHost) {
    const auto m = model(1);

    m->setAutomatic(true);
    EXPECT_EQ(changedCalls, 1);
    EXPECT_TRUE(shared->boolForKey(Settings::nitterAutomaticKey));
    m->setAutomatic(true);
    EXPECT_EQ(changedCalls, 1) << "the same value again changes nothing";

    m->setSelectedID("alpha");
    m->setSelectedID("alpha");
    m->setChoice("twitterViewer");
    m->setChoice("twitterViewer");
    EXPECT_EQ(changedCalls, 3);

    EXPECT_EQ(defaults->dictionaryRepresentation().size(), 1u) << "only the choice";
    EXPECT_EQ(defaults->stringForKey(Settings::xRedirectChoiceKey), "twitterViewer");
    EXPECT_EQ(shared->dictionaryRepresentation().size(), 2u) << "only the instance keys";
    EXPECT_EQ(shared->stringForKey(Settings::nitterServiceIDKey), "alpha");
}

TEST_F(XRedirectSettingsModelTest, WithoutASharedSuiteTheOwnStoreHoldsEverything) {
    updater = makeUpdater(verified(1));
    Model m(
        defaults, nullptr, updater, [this] { ++changedCalls; }, clock);
    m.setSelectedID("alpha");
    m.setAutomatic(true);
    EXPECT_EQ(defaults->stringForKey(Settings::nitterServiceIDKey), "alpha");
    EXPECT_TRUE(defaults->boolForKey(Settings::nitterAutomaticKey));
    EXPECT_TRUE(shared->dictionaryRepresentation().empty());
}

TEST_F(XRedirectSettingsModelTest, AnnouncesChangesOfItsKeysAndOfTheInstalledCatalog) {
    const auto m = model(1);
    int announced = 0;
    Connection c = m->objectWillChange().connect([&] { ++announced; });

    shared->setString(Settings::nitterServiceIDKey, "beta");  // written by someone else
    EXPECT_EQ(announced, 1);
    defaults->setString("unrelatedKey", "x");
    EXPECT_EQ(announced, 1);

    serve(2);
    updater->check();
    settle();
    const int beforeInstall = announced;
    updater->install();
    settle();
    EXPECT_GT(announced, beforeInstall);
    EXPECT_EQ(versionOf(updater->installed()), 2u);
    EXPECT_EQ(changedCalls, 0) << "the host is told only of the model's own writes";
}

}  // namespace
}  // namespace scourlet
