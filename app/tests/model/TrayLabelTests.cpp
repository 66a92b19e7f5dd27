#include "app/shell/TrayLabel.h"

#include <gtest/gtest.h>

#include "app/shell/WindowIds.h"

namespace scourlet::app {
namespace {

UpdateAwarenessState withAvailable(std::initializer_list<UpdateClass> classes) {
    UpdateAwarenessState state;
    for (UpdateClass updateClass : classes) {
        state.recordSuccess(updateClass, "9.9", std::nullopt, 1'700'000'000.0);
    }
    return state;
}

TEST(TrayLabelTest, SymbolBadgeAndLabelFollowWarningCleaningAndUpdates) {
    const std::optional<std::string> badge = std::string(kUpdateBadgeSymbol);
    struct Case {
        bool warning;
        bool cleaning;
        bool updates;
        TrayLabel expected;
    } cases[] = {
        {true, true, true, {"exclamationmark.triangle.fill", std::nullopt, "Scourlet, Command Guard warning"}},
        {true, false, false, {"exclamationmark.triangle.fill", std::nullopt, "Scourlet, Command Guard warning"}},
        {false, true, true, {"link.circle.fill", badge, "Scourlet, updates available"}},
        {false, true, false, {"link.circle.fill", std::nullopt, "Scourlet"}},
        {false, false, true, {"link.circle", badge, "Scourlet, updates available"}},
        {false, false, false, {"link.circle", std::nullopt, "Scourlet, cleaning disabled"}},
    };
    for (const auto& c : cases) {
        const UpdateAwarenessState state =
            c.updates ? withAvailable({UpdateClass::catalog}) : UpdateAwarenessState{};
        EXPECT_EQ(trayLabel(state, c.warning, c.cleaning), c.expected)
            << c.warning << c.cleaning << c.updates;
    }
}

TEST(TrayLabelTest, UpdateRowsOnePerAvailableClassThenASeparator) {
    EXPECT_TRUE(updateRows(UpdateAwarenessState{}).empty());

    const auto rows = updateRows(withAvailable({UpdateClass::catalog, UpdateClass::app}));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].identifier, "update-row-app");  // the state's order, not the call order
    EXPECT_EQ(rows[0].text, "Scourlet 9.9 available");
    EXPECT_EQ(rows[0].payload, std::string(kAdvancedPane));
    EXPECT_EQ(rows[0].command, MenuCommand::showUpdate);
    EXPECT_EQ(rows[1].identifier, "update-row-catalog");
    EXPECT_EQ(rows[1].payload, std::string(kPrivacyRedirectsPane));
    EXPECT_EQ(rows[2].kind, MenuItem::Kind::separator);
}

TEST(TrayLabelTest, SettingsPaneOfEachClass) {
    EXPECT_EQ(settingsPaneFor(UpdateClass::app), kAdvancedPane);
    EXPECT_EQ(settingsPaneFor(UpdateClass::rules), kAdvancedPane);
    EXPECT_EQ(settingsPaneFor(UpdateClass::catalog), kPrivacyRedirectsPane);
}

}  // namespace
}  // namespace scourlet::app
