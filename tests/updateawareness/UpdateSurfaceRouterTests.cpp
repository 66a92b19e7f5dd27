// The update actions: their raw values and identifiers, and the router that
// calls exactly one bound operation per action.
#include "ScourletCore/updateawareness/UpdateSurfaceRouter.h"

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "updateawareness/UpdateControllerFixture.h"

namespace scourlet {
namespace {

using Action = UpdateSurfaceAction;

TEST(UpdateSurfaceActionTest, RawValuesIdentifiersAndOrder) {
    const std::vector<std::pair<Action, const char*>> expected = {
        {Action::checkApp, "checkApp"},
        {Action::checkRules, "checkRules"},
        {Action::installRules, "installRules"},
        {Action::checkCatalog, "checkCatalog"},
        {Action::installCatalog, "installCatalog"},
    };
    std::vector<Action> order;
    for (const auto action : allCases<Action>()) {
        order.push_back(action);
    }
    ASSERT_EQ(order.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [action, raw] = expected[i];
        EXPECT_EQ(order[i], action);
        EXPECT_EQ(rawValue(action), raw);
        EXPECT_EQ(enumFromRawValue<Action>(raw), action);
        EXPECT_EQ(accessibilityIdentifier(action), std::string("update-action-") + raw);
    }
    for (const char* notRaw : {"update-action-checkApp", "CheckApp", "checkapp", "", "checkApp "}) {
        EXPECT_EQ(enumFromRawValue<Action>(notRaw), std::nullopt) << notRaw;
    }
}

TEST(UpdateSurfaceRouterTest, CallsExactlyTheBoundOperation) {
    for (const auto action : allCases<Action>()) {
        std::map<Action, int> calls;
        const auto recorder = [&calls](Action a) { return [&calls, a] { ++calls[a]; }; };
        const UpdateSurfaceRouter router(recorder(Action::checkApp), recorder(Action::checkRules),
                                         recorder(Action::installRules),
                                         recorder(Action::checkCatalog),
                                         recorder(Action::installCatalog));
        router.perform(action);
        EXPECT_EQ(calls, (std::map<Action, int>{{action, 1}})) << rawValue(action);
    }
}

TEST(UpdateSurfaceRouterTest, AnEmptyBindingDoesNothing) {
    int calls = 0;
    const UpdateSurfaceRouter router([&calls] { ++calls; }, {}, {}, {}, {});
    for (const auto action : allCases<Action>()) {
        router.perform(action);
    }
    EXPECT_EQ(calls, 1);
}

class StandardUpdateSurfaceRouterTest : public testing::UpdateControllerFixture {};

TEST_F(StandardUpdateSurfaceRouterTest, CheckAppIsOneDesktopCheckWithTheControllersVersion) {
    serveDesktop("1.4", 51);
    const auto controller = makeController(std::nullopt, "1.4", "50");
    const UpdateSurfaceRouter router(controller, rules);
    router.perform(Action::checkApp);
    EXPECT_EQ(executor->submittedCount(), 1u);
    settle();
    EXPECT_EQ(desktopFetches(), 1u);
    EXPECT_EQ(catalogChecks(), 0u);
    EXPECT_EQ(rules->checks + rules->installs, 0);
    // Version 1.4 build 50 was compared: the same version with build 51 is newer.
    EXPECT_EQ(controller->desktop()->status().kind(), DesktopUpdateStatus::Kind::available);
}

TEST_F(StandardUpdateSurfaceRouterTest, RuleActionsReachTheRulesUpdaterOnly) {
    const auto controller = makeController();
    const UpdateSurfaceRouter router(controller, rules);
    router.perform(Action::checkRules);
    EXPECT_EQ(rules->checks, 1);
    EXPECT_EQ(rules->installs, 0);
    router.perform(Action::installRules);
    EXPECT_EQ(rules->checks, 1);
    EXPECT_EQ(rules->installs, 1);
    EXPECT_EQ(executor->submittedCount(), 0u);
}

TEST_F(StandardUpdateSurfaceRouterTest, WithoutARulesUpdaterRuleActionsDoNothing) {
    serveDesktop("1.5", 60);
    rules.reset();
    const auto controller = makeController();
    const UpdateSurfaceRouter router(controller, nullptr);
    router.perform(Action::checkRules);
    router.perform(Action::installRules);
    EXPECT_EQ(executor->submittedCount(), 0u);
    router.perform(Action::checkApp);
    settle();
    EXPECT_EQ(desktopFetches(), 1u) << "the other actions are still bound";
}

TEST_F(StandardUpdateSurfaceRouterTest, CatalogActionsCheckThenInstallTheOffer) {
    serve(2);
    const auto controller = makeController(verified(1));
    const UpdateSurfaceRouter router(controller, rules);

    router.perform(Action::checkCatalog);
    settle();
    EXPECT_EQ(catalogChecks(), 1u);
    ASSERT_EQ(controller->catalog()->availableVersion(), 2u);

    const auto submitted = executor->submittedCount();
    router.perform(Action::installCatalog);
    EXPECT_EQ(executor->submittedCount(), submitted + 1) << "one install";
    settle();
    EXPECT_EQ(versionOf(controller->catalog()->store().current()), 2u);
    EXPECT_EQ(entry(UpdateClass::catalog).installedVersion, "2");
    EXPECT_EQ(desktopFetches(), 0u);
    EXPECT_EQ(rules->checks + rules->installs, 0);
}

}  // namespace
}  // namespace scourlet
