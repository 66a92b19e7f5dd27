// The logic of the "Rules" pane: the search, the tree of categories and rules
// (rows per entry, switches by id, following the engine on a later turn), the
// add-rule form, and importing and exporting rule files.
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/Json.h"
#include "app/settings/AddRuleForm.h"
#include "app/settings/RuleSearch.h"
#include "app/settings/RulesFileTransfer.h"
#include "app/settings/RulesPresentation.h"
#include "app/settings/RulesTreeModel.h"
#include "support/PublicRuleSet.h"
#include "support/TempDir.h"

namespace scourlet::app {
namespace {

namespace fs = std::filesystem;

// Two analytics providers share the rule "sid", so Analytics lists "Analytics:sid" twice.
constexpr const char* kProviders = R"({"providers": {
    "example": {"urlPattern": "^https?://example\\.com", "rules": ["Tracking_Code", "sid"]},
    "other": {"urlPattern": "^https?://other\\.example", "rules": ["sid"]},
    "facebook": {"urlPattern": "^https?://facebook\\.com", "rules": ["fb_ref"]}}})";

class RulesManagerModelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "app_model_tests";
            static char* argv[] = {name, nullptr};
            static QCoreApplication application(argc, argv);
        }
    }

    RulesManagerModelTest() { engine->loadRules(kProviders); }

    std::shared_ptr<RulesEngine> restarted() const {
        auto next = std::make_shared<RulesEngine>(defaults, nullptr);
        next->loadRules(kProviders);
        return next;
    }

    RuleCategory& category(RuleCategoryType type) const {
        for (const auto& c : engine->categories.get()) {
            if (c->type() == type) {
                return *c;
            }
        }
        throw std::logic_error("no category");
    }

    // The titles of the listed categories, and the display names of a category's rows.
    static std::vector<std::string> titles(const RulesTreeModel& model) {
        std::vector<std::string> shown;
        for (int row = 0; row < model.rowCount(); ++row) {
            shown.push_back(model.index(row, 0).data().toString().toStdString());
        }
        return shown;
    }
    static std::vector<std::string> rows(const RulesTreeModel& model, const std::string& categoryID) {
        std::vector<std::string> shown;
        const QModelIndex parent = model.categoryIndex(categoryID);
        for (int row = 0; row < model.rowCount(parent); ++row) {
            shown.push_back(model.index(row, 0, parent).data().toString().toStdString());
        }
        return shown;
    }
    // The rows of a category whose entry has `id`.
    static std::vector<QModelIndex> rowsWithID(const RulesTreeModel& model, const std::string& categoryID,
                                               const std::string& id) {
        std::vector<QModelIndex> found;
        const QModelIndex parent = model.categoryIndex(categoryID);
        for (int row = 0; row < model.rowCount(parent); ++row) {
            const QModelIndex index = model.index(row, 0, parent);
            if (model.entryAt(index)->id() == id) {
                found.push_back(index);
            }
        }
        return found;
    }

    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<RulesEngine> engine = std::make_shared<RulesEngine>(defaults, nullptr);
};

const std::vector<std::string> kAllTitles = {"Analytics", "Social Media", "Advertising",
                                             "Referral Marketing", "Redirect Unwrapping", "E-commerce",
                                             "Email Marketing", "Custom"};

TEST_F(RulesManagerModelTest, SearchFindsTitlesNamesAndPatternsIgnoringCase) {
    struct Case {
        const char* query;
        std::vector<std::string> categories;
        std::size_t analyticsRows;
    };
    const std::size_t allAnalytics = category(RuleCategoryType::analytics).rules().size();
    const Case cases[] = {
        {"", kAllTitles, allAnalytics},
        {"tracking_code", {"Analytics"}, 1},
        {"TRACKING_code", {"Analytics"}, 1},  // the query is lower-cased too
        {"fbclid", {"Social Media"}, 0},
        // The title matches, no rule does: the header stays, without rows.
        {"analytics", {"Analytics"}, 0},
        {"media", {"Social Media"}, 0},
        // Not trimmed: a space is a character to find ("example: sid").
        {" ", {"Analytics", "Social Media", "Referral Marketing", "Redirect Unwrapping",
               "Email Marketing"}, 4},
        {"no such rule", {}, 0},
    };
    for (const Case& c : cases) {
        RulesTreeModel model(engine);
        model.setQuery(c.query);
        EXPECT_EQ(titles(model), c.categories) << '"' << c.query << '"';
        const QModelIndex analytics = model.categoryIndex("Analytics");
        EXPECT_EQ(analytics.isValid() ? static_cast<std::size_t>(model.rowCount(analytics)) : 0u,
                  c.analyticsRows)
            << '"' << c.query << '"';
    }
    // "UTM" and "utm" list the same.
    RulesTreeModel upper(engine);
    upper.setQuery("UTM");
    RulesTreeModel lower(engine);
    lower.setQuery("utm");
    EXPECT_EQ(titles(upper), titles(lower));
    EXPECT_EQ(rows(upper, "Analytics"), rows(lower, "Analytics"));
    EXPECT_FALSE(rows(upper, "Analytics").empty());
}

TEST_F(RulesManagerModelTest, HeaderCountsEveryRuleWhateverTheSearch) {
    RuleCategory& analytics = category(RuleCategoryType::analytics);
    analytics.rules()[1]->setIsEnabled(false);
    engine->recordMatch(analytics.rules()[1]->id(), RuleCategoryType::analytics);
    engine->recordMatch(analytics.rules()[1]->id(), RuleCategoryType::analytics);
    RulesTreeModel model(engine);
    model.setQuery("analytics");
    const std::size_t total = analytics.rules().size();
    EXPECT_EQ(model.categoryIndex("Analytics").data(RulesTreeModel::SubtitleRole).toString().toStdString(),
              std::to_string(total - 1) + "/" + std::to_string(total) + " rules \u00B7 2 matches");
    EXPECT_EQ(rules_presentation::rulesSummary(3, 12, 57), "3/12 rules \u00B7 57 matches");
}

TEST_F(RulesManagerModelTest, SectionsStartClosedAndSearchingKeepsWhatIsOpen) {
    RulesTreeModel model(engine);
    EXPECT_EQ(titles(model), kAllTitles);
    EXPECT_TRUE(model.expandedCategories().empty());
    const QModelIndex analytics = model.categoryIndex("Analytics");
    EXPECT_EQ(analytics.data(RulesTreeModel::ExpandLabelRole).toString(), "Expand Analytics rules");
    EXPECT_EQ(analytics.data(RulesTreeModel::ExpandValueRole).toString(), "Collapsed");

    model.toggleExpanded("Analytics");
    model.setQuery("fbclid");  // Analytics is no longer listed
    model.setQuery("");
    EXPECT_EQ(model.expandedCategories(), std::set<std::string>{"Analytics"});
    EXPECT_EQ(model.categoryIndex("Analytics").data(RulesTreeModel::ExpandLabelRole).toString(),
              "Collapse Analytics rules");
    model.toggleExpanded("Analytics");
    EXPECT_TRUE(model.expandedCategories().empty());
}

TEST_F(RulesManagerModelTest, ARowSwitchSetsEveryEntryOfItsIdAndLastsAfterARestart) {
    struct Case {
        const char* name;
        std::size_t row;  // which of the two "Analytics:sid" rows is switched
        bool on;
    };
    const Case cases[] = {
        {"first row off", 0, false},
        {"second row off", 1, false},
        {"second row on again", 1, true},
    };
    RulesTreeModel model(engine);
    for (const Case& c : cases) {
        const auto sids = rowsWithID(model, "Analytics", "Analytics:sid");
        ASSERT_EQ(sids.size(), 2u);
        EXPECT_TRUE(model.setData(sids[c.row], c.on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole))
            << c.name;
        for (const QModelIndex& row : sids) {
            EXPECT_EQ(row.data(Qt::CheckStateRole).toInt(), c.on ? Qt::Checked : Qt::Unchecked) << c.name;
        }
        // What the rows show is what a restart restores.
        auto next = restarted();
        for (const auto& entry : next->categories.get().front()->rules()) {
            if (entry->id() == "Analytics:sid") {
                EXPECT_EQ(entry->isEnabled(), c.on) << c.name;
            }
        }
    }
}

TEST_F(RulesManagerModelTest, ACategoryThatIsOffKeepsButLocksTheSwitchesOfItsRules) {
    RulesTreeModel model(engine);
    const QModelIndex header = model.categoryIndex("Analytics");
    const QModelIndex first = model.index(0, 0, header);
    model.setData(model.index(1, 0, header), Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_TRUE(model.flags(first) & Qt::ItemIsEnabled);
    EXPECT_EQ(first.data(Qt::AccessibleDescriptionRole).toString(), "");

    EXPECT_TRUE(model.setData(header, Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(category(RuleCategoryType::analytics).isEnabled());
    EXPECT_FALSE(model.flags(first) & Qt::ItemIsEnabled);
    EXPECT_EQ(first.data(Qt::AccessibleDescriptionRole).toString(), "The Analytics category is disabled.");
    EXPECT_FALSE(model.setData(first, Qt::Unchecked, Qt::CheckStateRole));
    // The rules keep their own switches.
    EXPECT_EQ(first.data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(model.index(1, 0, header).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_FALSE(restarted()->isCategoryEnabled(RuleCategoryType::analytics));

    model.setData(header, Qt::Checked, Qt::CheckStateRole);
    EXPECT_TRUE(model.flags(first) & Qt::ItemIsEnabled);
    EXPECT_EQ(first.data(Qt::CheckStateRole).toInt(), Qt::Checked);
}

TEST_F(RulesManagerModelTest, OnlyCustomRulesCanBeDeleted) {
    engine->addCustomRule("mine", "Mine", RuleCategoryType::analytics);
    RulesTreeModel model(engine);
    const QModelIndex header = model.categoryIndex("Analytics");
    const int count = model.rowCount(header);
    const QModelIndex builtIn = model.index(0, RulesTreeModel::deleteColumn, header);
    const QModelIndex custom = model.index(count - 1, RulesTreeModel::deleteColumn, header);
    EXPECT_EQ(custom.data(Qt::AccessibleTextRole).toString(), "Delete custom rule: Mine");
    EXPECT_EQ(custom.data(Qt::AccessibleDescriptionRole).toString(), "Removes this custom rule from Scourlet.");
    EXPECT_EQ(model.index(count - 1, 0, header).data(RulesTreeModel::BadgeRole).toString(), "Custom");
    EXPECT_EQ(builtIn.data(Qt::AccessibleTextRole).toString(), "No actions for a built-in rule");
    EXPECT_FALSE(builtIn.data(Qt::DisplayRole).isValid());
    EXPECT_FALSE(model.flags(builtIn) & Qt::ItemIsEnabled);

    EXPECT_FALSE(model.removeCustomRule(builtIn));
    EXPECT_FALSE(model.removeCustomRule(header));
    EXPECT_TRUE(model.removeCustomRule(custom));
    QCoreApplication::processEvents();
    EXPECT_EQ(model.rowCount(model.categoryIndex("Analytics")), count - 1);
}

TEST_F(RulesManagerModelTest, FollowsTheEngineOnALaterTurnOnceForManyChanges) {
    RulesTreeModel model(engine);
    model.toggleExpanded("Custom");
    int resets = 0;
    int headerUpdates = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(&model, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& from) { headerUpdates += from.parent().isValid() ? 0 : 1; });

    // Added elsewhere (the engine announces before it changes): listed a turn later.
    engine->addCustomRule("later", "Later", RuleCategoryType::custom);
    EXPECT_EQ(rows(model, "Custom"), std::vector<std::string>{});
    QCoreApplication::processEvents();
    EXPECT_EQ(rows(model, "Custom"), std::vector<std::string>{"Later"});
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(model.expandedCategories(), std::set<std::string>{"Custom"});

    // A burst of matches is read once, without a reset; the new entry is followed too.
    headerUpdates = 0;
    for (int i = 0; i < 100; ++i) {
        engine->recordMatch("Custom:later", RuleCategoryType::custom);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(headerUpdates, static_cast<int>(kAllTitles.size()));
    EXPECT_EQ(model.index(0, 0, model.categoryIndex("Custom")).data(RulesTreeModel::SubtitleRole).toString(),
              "100 matches");

    engine->resetToDefaults();
    QCoreApplication::processEvents();
    EXPECT_EQ(rows(model, "Custom"), std::vector<std::string>{});

    // A new rule set replaces every category: the model follows the new ones.
    engine->loadRules(kProviders);
    QCoreApplication::processEvents();
    engine->addCustomRule("after_load", "After load", RuleCategoryType::custom);
    QCoreApplication::processEvents();
    EXPECT_EQ(rows(model, "Custom"), std::vector<std::string>{"After load"});
}

TEST_F(RulesManagerModelTest, NamesFromFilesShowTheirHiddenCharacters) {
    engine->addCustomRule("x", "<b>evil</b>\u202Eexe", RuleCategoryType::custom);
    RulesTreeModel model(engine);
    const QString shown = model.index(0, 0, model.categoryIndex("Custom")).data().toString();
    EXPECT_TRUE(shown.startsWith("<b>evil</b>"));
    EXPECT_FALSE(shown.contains(QChar(0x202E)));
}

TEST_F(RulesManagerModelTest, AddRuleFormTrimsAndRefusesEmptyOrListedPatterns) {
    using Blocker = AddRuleForm::Blocker;
    struct Case {
        const char* pattern;
        const char* displayName;
        RuleCategoryType category;
        Blocker blocker;
        const char* hint;
        const char* nameToAdd;
    };
    const Case cases[] = {
        {"", "", RuleCategoryType::custom, Blocker::emptyPattern, "", ""},
        {" \t\n", "Name", RuleCategoryType::custom, Blocker::emptyPattern, "", "Name"},
        {" utm_x ", "", RuleCategoryType::custom, Blocker::none, "", "utm_x"},
        {"utm_x", "  Campaign X ", RuleCategoryType::custom, Blocker::none, "", "Campaign X"},
        {"fbclid", "", RuleCategoryType::socialMedia, Blocker::alreadyListed,
         "This rule already exists in Social Media.", "fbclid"},
        // The same parameters, whatever the case.
        {" FBCLID", "", RuleCategoryType::socialMedia, Blocker::alreadyListed,
         "This rule already exists in Social Media.", "FBCLID"},
        {"fbclid", "", RuleCategoryType::custom, Blocker::none, "", "fbclid"},
        {"sid", "", RuleCategoryType::analytics, Blocker::alreadyListed,
         "This rule already exists in Analytics.", "sid"},
    };
    for (const Case& c : cases) {
        const AddRuleForm form{c.pattern, c.displayName, c.category};
        EXPECT_EQ(form.blocker(*engine), c.blocker) << '"' << c.pattern << '"';
        EXPECT_EQ(form.hint(*engine), c.hint) << '"' << c.pattern << '"';
        EXPECT_EQ(form.displayNameToAdd(), c.nameToAdd) << '"' << c.pattern << '"';
    }
}

TEST_F(RulesManagerModelTest, AddedRuleIsTrimmedListedLastAndNotAddedTwice) {
    const AddRuleForm form{"  tracking_id ", "", RuleCategoryType::advertising};
    ASSERT_TRUE(form.add(*engine));
    const RuleEntry& added = *category(RuleCategoryType::advertising).rules().back();
    EXPECT_EQ(added.id(), "Advertising:tracking_id");
    EXPECT_EQ(added.pattern(), "tracking_id");
    EXPECT_EQ(added.displayName(), "tracking_id");
    EXPECT_EQ(added.source(), RuleEntry::RuleSource::custom);
    EXPECT_TRUE(engine->shouldStripParamFallback("TRACKING_ID"));

    const std::size_t count = category(RuleCategoryType::advertising).rules().size();
    EXPECT_FALSE(form.add(*engine));
    EXPECT_EQ(category(RuleCategoryType::advertising).rules().size(), count);
}

TEST_F(RulesManagerModelTest, ImportReportsFilesThatAreNotAnExportAndChangesNothing) {
    testing::TempDir dir;
    const std::string notAnExport(kNotARulesExport);
    struct Case {
        const char* name;
        std::string content;  // written to the file, unless it names a folder
        std::string message;  // expected start of the message; empty: imported
    };
    const std::string oversized = "[" + std::string(5 * 1024 * 1024, ' ') + "]";
    const Case cases[] = {
        {"not-json.json", "this is not JSON", notAnExport},
        {"object.json", R"({"type": "Custom"})", notAnExport},
        {"empty-array.json", "[]", notAnExport},
        {"bad-rule.json",
         R"([{"type": "Custom", "isEnabled": false, "matchCount": 0, "rules": [{"id": "x"}]}])",
         notAnExport},
        {"large.json", oversized, "\u201Clarge.json\u201D is larger than 4 MiB"},
    };
    const std::string before = *engine->exportRules();
    for (const Case& c : cases) {
        testing::writeFile(dir / c.name, c.content);
        const auto failed = importRulesFile(*engine, dir / c.name);
        ASSERT_TRUE(failed) << c.name;
        EXPECT_TRUE(failed->starts_with(c.message)) << c.name << ": " << *failed;
        EXPECT_EQ(*engine->exportRules(), before) << c.name;
    }
    fs::create_directories(dir / "folder.json");
    for (const fs::path& unreadable : {dir / "folder.json", dir / "missing.json"}) {
        const auto failed = importRulesFile(*engine, unreadable);
        ASSERT_TRUE(failed);
        EXPECT_EQ(*failed, "\u201C" + unreadable.filename().string() + "\u201D could not be read.");
    }
    EXPECT_FALSE(defaults->contains(RulesEngine::enabledStateKey));
    EXPECT_FALSE(defaults->contains(RulesEngine::customRulesKey));
}

TEST_F(RulesManagerModelTest, ExportThenImportCarriesCustomRulesAndSwitches) {
    testing::TempDir dir;
    engine->addCustomRule("carried", "Carried", RuleCategoryType::custom);
    category(RuleCategoryType::advertising).setIsEnabled(false);
    const QString path = QString::fromStdString((dir / "Scourlet-Rules.json").string());
    EXPECT_EQ(writeRulesExport(engine->exportRules(), path), std::nullopt);
    EXPECT_EQ(testing::readFile(dir / "Scourlet-Rules.json"), *engine->exportRules());

    auto other = std::make_shared<RulesEngine>(std::make_shared<InMemoryUserDefaults>(), nullptr);
    other->loadRules(kProviders);
    EXPECT_EQ(importRulesFile(*other, dir / "Scourlet-Rules.json"), std::nullopt);
    EXPECT_FALSE(other->isCategoryEnabled(RuleCategoryType::advertising));
    EXPECT_EQ(other->categories.get().back()->rules().back()->id(), "Custom:carried");
}

TEST_F(RulesManagerModelTest, ExportWithoutAnEncodingWritesNothing) {
    testing::TempDir dir;
    testing::writeFile(dir / "old.json", "old");
    const auto failed = writeRulesExport(std::nullopt, QString::fromStdString((dir / "old.json").string()));
    ASSERT_TRUE(failed);
    EXPECT_EQ(*failed, "The rules could not be encoded, so no file was written.");
    EXPECT_EQ(testing::readFile(dir / "old.json"), "old");
    EXPECT_FALSE(writeRulesExport(std::nullopt, QString::fromStdString((dir / "new.json").string())) == std::nullopt);
    EXPECT_FALSE(fs::exists(dir / "new.json"));
}

TEST_F(RulesManagerModelTest, ThePublicRuleSetListsRowsPerEntry) {
    const auto data = testing::publicRuleSet();
    if (!data) {
        GTEST_SKIP() << testing::kPublicRuleSetMissing;
    }
    engine->loadRules(*data);
    RulesTreeModel model(engine);
    std::size_t listed = 0;
    std::size_t entries = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        listed += static_cast<std::size_t>(model.rowCount(model.index(row, 0)));
        entries += model.categoryAt(model.index(row, 0))->rules().size();
    }
    EXPECT_EQ(listed, entries);
    // Every repeated id switches with its twins.
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex header = model.index(row, 0);
        std::map<std::string, std::vector<QModelIndex>> byID;
        for (int r = 0; r < model.rowCount(header); ++r) {
            const QModelIndex index = model.index(r, 0, header);
            byID[model.entryAt(index)->id()].push_back(index);
        }
        for (const auto& [id, indexes] : byID) {
            if (indexes.size() < 2) {
                continue;
            }
            model.setData(indexes.back(), Qt::Unchecked, Qt::CheckStateRole);
            for (const QModelIndex& index : indexes) {
                EXPECT_EQ(index.data(Qt::CheckStateRole).toInt(), Qt::Unchecked) << id;
            }
        }
    }
}

}  // namespace
}  // namespace scourlet::app
