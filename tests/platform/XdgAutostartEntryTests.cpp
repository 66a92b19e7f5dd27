#include "ScourletCore/platform/XdgAutostartEntry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/platform/DesktopEntry.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::writeFile;

const XdgAutostartEntry::Identity kIdentity{"com.morrowgate.scourlet.desktop", "Scourlet",
                                            "com.morrowgate.scourlet"};

// A user autostart folder (not made yet), two system-wide ones and a program
// installed under a folder whose name needs quoting.
struct AutostartFixture {
    AutostartFixture() { writeFile(program, "#!/bin/sh\n"); }

    XdgAutostartEntry entry() const { return XdgAutostartEntry(kIdentity, program, locations()); }
    XdgAutostartEntry::Locations locations() const {
        return {dir / "config/autostart",
                {dir / "xdg1/autostart", dir / "xdg2/autostart"},
                {dir / "bin"}};
    }
    fs::path userFile() const { return dir / "config/autostart" / kIdentity.fileName; }
    fs::path systemFile(int n) const {
        return dir / ("xdg" + std::to_string(n)) / "autostart" / kIdentity.fileName;
    }

    testing::TempDir dir;
    fs::path program = dir / "My Apps 100%/bin/scourlet-app";
};

TEST(XdgAutostartEntry, OnWritesOurEntryAndOffRemovesIt) {
    AutostartFixture f;
    XdgAutostartEntry entry = f.entry();
    EXPECT_FALSE(entry.isRegistered());
    EXPECT_TRUE(entry.unregisterLoginItem().ok());  // nothing to remove is fine

    ASSERT_TRUE(entry.registerLoginItem().ok());
    EXPECT_EQ(readFile(f.userFile()),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Scourlet\n"
              "Exec=\"" +
                  f.dir.path().string() +
                  "/My Apps 100%%/bin/scourlet-app\"\n"
                  "Icon=com.morrowgate.scourlet\n"
                  "Terminal=false\n"
                  "X-GNOME-Autostart-enabled=true\n");
    EXPECT_EQ(fs::status(f.userFile()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    EXPECT_TRUE(entry.isRegistered());
    ASSERT_TRUE(entry.registerLoginItem().ok());  // again: same file
    EXPECT_TRUE(entry.isRegistered());

    ASSERT_TRUE(entry.unregisterLoginItem().ok());
    EXPECT_FALSE(fs::exists(f.userFile()));
    EXPECT_FALSE(entry.isRegistered());
}

TEST(XdgAutostartEntry, ASystemWideEntryIsHiddenRatherThanLeftToStart) {
    AutostartFixture f;
    fs::create_directories(f.dir / "bin");
    fs::create_symlink(f.program, f.dir / "bin/scourlet-app");
    writeFile(f.systemFile(2),
              "[Desktop Entry]\nType=Application\nName=Scourlet\nExec=scourlet-app\n");
    XdgAutostartEntry entry = f.entry();
    // The packaged entry names the program on the search path: it starts this program.
    EXPECT_EQ(entry.effectiveEntryFile(), f.systemFile(2));
    EXPECT_TRUE(entry.isRegistered());

    ASSERT_TRUE(entry.unregisterLoginItem().ok());
    auto hidden = DesktopEntry::parse(readFile(f.userFile()));
    ASSERT_TRUE(hidden.has_value());
    EXPECT_TRUE(hidden->isTrue("Hidden"));
    EXPECT_TRUE(fs::exists(f.systemFile(2)));
    EXPECT_FALSE(entry.isRegistered());

    ASSERT_TRUE(entry.registerLoginItem().ok());
    EXPECT_TRUE(entry.isRegistered());
    EXPECT_FALSE(DesktopEntry::parse(readFile(f.userFile()))->isTrue("Hidden"));
}

TEST(XdgAutostartEntry, RegisteredOnlyWhenTheEntryStartsThisProgram) {
    AutostartFixture f;
    fs::create_directories(f.dir / "elsewhere");
    fs::create_symlink(f.program, f.dir / "elsewhere/link-to-us");
    writeFile(f.dir / "bin/other-app", "");
    const std::string ours = *DesktopEntry::execValue(f.program.string());
    struct Case {
        const char* name;
        std::string contents;
        bool registered;
    };
    const Case cases[] = {
        {"ours", "[Desktop Entry]\nExec=" + ours + "\n", true},
        {"ours with arguments", "[Desktop Entry]\nExec=" + ours + " --minimized %U\n", true},
        {"through a symbolic link",
         "[Desktop Entry]\nExec=" + (f.dir / "elsewhere/link-to-us").string() + "\n", true},
        {"hidden", "[Desktop Entry]\nExec=" + ours + "\nHidden=true\n", false},
        {"switched off in GNOME",
         "[Desktop Entry]\nExec=" + ours + "\nX-GNOME-Autostart-enabled=false\n", false},
        {"another program", "[Desktop Entry]\nExec=" + (f.dir / "bin/other-app").string() + "\n",
         false},
        {"another program by name", "[Desktop Entry]\nExec=other-app\n", false},
        {"a moved program", "[Desktop Entry]\nExec=/nowhere/scourlet-app\n", false},
        {"a relative path", "[Desktop Entry]\nExec=bin/scourlet-app\n", false},
        {"no Exec", "[Desktop Entry]\nName=Scourlet\n", false},
        {"no entry group", "Exec=" + ours + "\n", false},
        {"unclosed quote", "[Desktop Entry]\nExec=\"" + f.program.string() + "\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(f.userFile(), c.contents);
        EXPECT_EQ(f.entry().isRegistered(), c.registered);
    }
    fs::remove(f.userFile());
    fs::create_directories(f.userFile());  // a folder in place of the entry
    EXPECT_FALSE(f.entry().isRegistered());
}

TEST(XdgAutostartEntry, FailuresChangeNothingAndSayWhy) {
    struct Case {
        const char* name;
        std::function<void(AutostartFixture&)> arrange;
        bool turningOn;
        std::string messagePart;
    };
    const Case cases[] = {
        {"a file where the autostart folder belongs",
         [](AutostartFixture& f) { writeFile(f.dir / "config/autostart", "not a folder"); }, true,
         "config/autostart"},
        {"a folder where our entry belongs, holding a file",
         [](AutostartFixture& f) { writeFile(f.userFile() / "inside", "x"); }, false,
         "com.morrowgate.scourlet.desktop"},
        {"a system-wide entry and a file where the folder belongs",
         [](AutostartFixture& f) {
             writeFile(f.systemFile(1), "[Desktop Entry]\nExec=scourlet-app\n");
             writeFile(f.dir / "config/autostart", "not a folder");
         },
         false, "config/autostart"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AutostartFixture f;
        c.arrange(f);
        XdgAutostartEntry entry = f.entry();
        Result<void, Error> outcome =
            c.turningOn ? entry.registerLoginItem() : entry.unregisterLoginItem();
        ASSERT_FALSE(outcome.ok());
        EXPECT_NE(outcome.error().message.find(c.messagePart), std::string::npos)
            << outcome.error().message;
        EXPECT_FALSE(entry.isRegistered());
    }
}

TEST(XdgAutostartEntry, AReadOnlyAutostartFolderRefusesTheEntry) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop the superuser";
    }
    AutostartFixture f;
    fs::create_directories(f.dir / "config/autostart");
    ::chmod((f.dir / "config/autostart").c_str(), 0555);
    XdgAutostartEntry entry = f.entry();
    Result<void, Error> outcome = entry.registerLoginItem();
    ::chmod((f.dir / "config/autostart").c_str(), 0755);
    ASSERT_FALSE(outcome.ok());
    EXPECT_NE(outcome.error().message.find("config/autostart"), std::string::npos);
    EXPECT_FALSE(fs::exists(f.userFile()));
}

TEST(XdgAutostartEntry, RefusesWhatCannotBeStartedAtLogin) {
    AutostartFixture f;
    const fs::path programs[] = {"relative/scourlet-app", f.dir / "line\nHidden=true"};
    for (const fs::path& program : programs) {
        SCOPED_TRACE(program.string());
        XdgAutostartEntry entry(kIdentity, program, f.locations());
        EXPECT_FALSE(entry.registerLoginItem().ok());
        EXPECT_FALSE(fs::exists(f.userFile()));
    }
    // Without a config home nothing can be registered, and there is nothing to remove.
    XdgAutostartEntry homeless(kIdentity, f.program, {std::nullopt, {}, {}});
    EXPECT_FALSE(homeless.registerLoginItem().ok());
    EXPECT_TRUE(homeless.unregisterLoginItem().ok());
    EXPECT_FALSE(homeless.isRegistered());
}

TEST(XdgAutostartEntry, LocationsFollowTheEnvironment) {
    testing::ScopedEnvironment env;
    env.set("XDG_CONFIG_HOME", "/cfg");
    env.set("XDG_CONFIG_DIRS", "relative:/etc/one::/etc/two/");
    env.set("PATH", "/usr/bin::bin:/opt/bin");
    XdgAutostartEntry::Locations locations = XdgAutostartEntry::Locations::fromEnvironment();
    EXPECT_EQ(locations.userFolder, fs::path("/cfg/autostart"));
    EXPECT_EQ(locations.systemFolders,
              (std::vector<fs::path>{"/etc/one/autostart", "/etc/two/autostart"}));
    EXPECT_EQ(locations.searchPath, (std::vector<fs::path>{"/usr/bin", "/opt/bin"}));

    env.unset("XDG_CONFIG_DIRS");
    env.set("XDG_CONFIG_HOME", "relative");
    env.set("HOME", "/home/u");
    locations = XdgAutostartEntry::Locations::fromEnvironment();
    EXPECT_EQ(locations.userFolder, fs::path("/home/u/.config/autostart"));
    EXPECT_EQ(locations.systemFolders, std::vector<fs::path>{"/etc/xdg/autostart"});
}

}  // namespace
}  // namespace scourlet
