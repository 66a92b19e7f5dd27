#include "ScourletCore/platform/AppDirectories.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/platform/DefaultsSuites.h"
#include "support/ScopedEnvironment.h"

namespace scourlet {
namespace {

using testing::ScopedEnvironment;
using OptionalText = std::optional<std::string>;

std::optional<std::string> text(const std::optional<std::filesystem::path>& path) {
    return path ? std::optional<std::string>(path->string()) : std::nullopt;
}

struct XdgCase {
    const char* name;
    OptionalText home;
    OptionalText configHome;
    OptionalText dataHome;
    OptionalText expectedConfig;
    OptionalText expectedData;
};

TEST(AppDirectories, FollowsTheXdgRules) {
    const XdgCase cases[] = {
        {"explicit folders win", "/home/u", "/cfg", "/data", "/cfg", "/data"},
        {"unset falls back to HOME", "/home/u", std::nullopt, std::nullopt, "/home/u/.config",
         "/home/u/.local/share"},
        {"empty falls back to HOME", "/home/u", "", "", "/home/u/.config", "/home/u/.local/share"},
        {"relative is ignored", "/home/u", "cfg", "./data", "/home/u/.config",
         "/home/u/.local/share"},
        {"explicit folders need no HOME", std::nullopt, "/cfg", "/data", "/cfg", "/data"},
        {"no HOME and no XDG gives nothing", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
         std::nullopt},
        {"empty HOME gives nothing", "", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"relative HOME gives nothing", "home/u", std::nullopt, std::nullopt, std::nullopt,
         std::nullopt},
        {"relative XDG and no HOME gives nothing", std::nullopt, "cfg", "data", std::nullopt,
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnvironment env;
        env.set("HOME", c.home);
        env.set("XDG_CONFIG_HOME", c.configHome);
        env.set("XDG_DATA_HOME", c.dataHome);
        EXPECT_EQ(text(xdgConfigHome()), c.expectedConfig);
        EXPECT_EQ(text(xdgDataHome()), c.expectedData);
        EXPECT_EQ(text(applicationSupportDirectory()), c.expectedData);
    }
}

TEST(AppDirectories, AppGroupContainerNamesExactlyOneFolderUnderTheDataHome) {
    ScopedEnvironment env;
    env.set("XDG_DATA_HOME", "/data");
    const std::pair<std::string, OptionalText> cases[] = {
        {std::string(kAppGroupSuiteName), "/data/group.com.morrowgate.scourlet"},
        {"group.com.quenby.scourlet", "/data/group.com.quenby.scourlet"},
        {"..group", "/data/..group"},
        {"", std::nullopt},
        {".", std::nullopt},
        {"..", std::nullopt},
        {"../escape", std::nullopt},
        {"a/b", std::nullopt},
        {"/absolute", std::nullopt},
        {std::string("nul\0byte", 8), std::nullopt},
    };
    for (const auto& [identifier, expected] : cases) {
        SCOPED_TRACE(identifier);
        EXPECT_EQ(text(appGroupContainer(identifier)), expected);
    }
}

TEST(AppDirectories, NoDataHomeMeansNoContainerRatherThanARootPath) {
    ScopedEnvironment env;
    env.unset("HOME");
    env.unset("XDG_DATA_HOME");
    EXPECT_EQ(appGroupContainer(kAppGroupSuiteName), std::nullopt);
    EXPECT_EQ(applicationSupportDirectory(), std::nullopt);
}

TEST(AppDirectories, NothingIsCreated) {
    ScopedEnvironment env;
    const std::filesystem::path root = "/nonexistent-scourlet-test-root";
    env.set("XDG_CONFIG_HOME", (root / "cfg").string());
    env.set("XDG_DATA_HOME", (root / "data").string());
    (void)xdgConfigHome();
    (void)xdgDataHome();
    (void)appGroupContainer(kAppGroupSuiteName);
    EXPECT_FALSE(std::filesystem::exists(root));
}

}  // namespace
}  // namespace scourlet
