#include "app/cli-installer/CommandLineToolInstaller.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "support/ManualClock.h"
#include "support/TempDir.h"

namespace scourlet::app {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;
using Color = CommandLineToolInstaller::StatusColor;

// A stand-in for the shipped tool: answers --version like the real one.
constexpr std::string_view kToolScript = "#!/bin/sh\n[ \"$1\" = --version ] && echo 'scourlet 1.0'\n";

class InstallerTest : public ::testing::Test {
protected:
    InstallerTest() {
        paths.toolSource = dir / "app" / "scourlet";
        paths.rulesSource = dir / "app" / "Scourlet_ScourletCore.bundle";
        paths.installDirectory = dir / "data" / "CommandLineTool";
        paths.binDirectory = dir / "home" / ".local" / "bin";
        writeFile(paths.toolSource, kToolScript);
        fs::permissions(paths.toolSource, fs::perms(0700), fs::perm_options::replace);
        writeFile(paths.rulesSource / "data.min.json", "{\"providers\":{}}");
    }

    CommandLineToolInstaller make() { return CommandLineToolInstaller(paths, clock); }

    static fs::perms permissions(const fs::path& path) {
        return fs::status(path).permissions() & fs::perms::mask;
    }

    std::string installedText(std::string_view note = {}) const {
        return "Installed at " + paths.linkPath().string() + ". If your shell cannot find it, add " +
               paths.binDirectory.string() + " to your PATH." + std::string(note);
    }

    TempDir dir;
    CommandLineToolInstaller::Paths paths;
    // 2027-01-15 08:00:00 UTC
    std::shared_ptr<testing::ManualClock> clock = std::make_shared<testing::ManualClock>(
        std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000)));
};

TEST_F(InstallerTest, FreshHomeCreatesTheFoldersAndLinksTheExecutableTool) {
    auto installer = make();
    installer.refreshStatus();
    EXPECT_FALSE(installer.isInstalled());
    EXPECT_FALSE(installer.statusMessage().has_value());

    installer.install();
    EXPECT_EQ(installer.statusMessage(), installedText());
    EXPECT_EQ(installer.statusColor(), Color::green);
    EXPECT_TRUE(installer.isInstalled());
    EXPECT_FALSE(installer.isWorking());
    ASSERT_TRUE(fs::is_symlink(paths.linkPath()));
    EXPECT_EQ(fs::read_symlink(paths.linkPath()), fs::absolute(paths.installedTool()));
    // The shipped file had 0700; the installed copy is readable and runnable by all.
    EXPECT_EQ(permissions(paths.installedTool()), fs::perms(0755));
    EXPECT_EQ(readFile(paths.installedRules() / "data.min.json"), "{\"providers\":{}}");

    auto later = make();
    later.refreshStatus();
    EXPECT_TRUE(later.isInstalled());
    EXPECT_EQ(later.statusMessage(), "Installed at " + paths.linkPath().string() + ".");
}

// What stands at ~/.local/bin/scourlet before installing, and what becomes of it.
TEST_F(InstallerTest, WhatStandsAtTheLinkPath) {
    enum class Before { danglingLink, linkToAnotherTool, regularFile, folder };
    struct Case {
        const char* name;
        Before before;
        bool installs;
    };
    const Case cases[] = {
        {"dangling link", Before::danglingLink, true},
        {"link to another tool", Before::linkToAnotherTool, true},
        {"regular file", Before::regularFile, true},
        {"folder", Before::folder, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir.path() / "home");
        fs::remove_all(paths.installDirectory);
        fs::create_directories(paths.binDirectory);
        const fs::path link = paths.linkPath();
        switch (c.before) {
        case Before::danglingLink:
            fs::create_symlink(dir / "gone" / "scourlet", link);
            break;
        case Before::linkToAnotherTool:
            writeFile(dir / "other" / "scourlet", kToolScript);
            fs::permissions(dir / "other" / "scourlet", fs::perms(0755));
            fs::create_symlink(dir / "other" / "scourlet", link);
            break;
        case Before::regularFile:
            writeFile(link, "#!/bin/sh\necho mine\n");
            break;
        case Before::folder:
            writeFile(link / "notes.txt", "keep me");
            break;
        }

        auto installer = make();
        installer.refreshStatus();
        EXPECT_FALSE(installer.isInstalled());
        installer.install();
        EXPECT_EQ(installer.isInstalled(), c.installs);
        if (!c.installs) {
            EXPECT_EQ(installer.statusColor(), Color::red);
            EXPECT_EQ(installer.statusMessage(),
                      "Install failed: " + link.string() + " is a folder; Scourlet leaves it alone.");
            EXPECT_EQ(readFile(link / "notes.txt"), "keep me");
            EXPECT_FALSE(fs::exists(paths.installedTool()));
            continue;
        }
        EXPECT_EQ(installer.statusColor(), Color::green);
        EXPECT_EQ(fs::read_symlink(link), fs::absolute(paths.installedTool()));
        if (c.before == Before::regularFile) {
            const fs::path aside = paths.binDirectory / "scourlet.replaced-20270115-080000";
            EXPECT_EQ(readFile(aside), "#!/bin/sh\necho mine\n");
            EXPECT_EQ(installer.statusMessage(),
                      installedText(" The file that was there is kept as " + aside.string() + "."));
        } else {
            EXPECT_EQ(installer.statusMessage(), installedText());
        }
        if (c.before == Before::linkToAnotherTool) {
            EXPECT_EQ(readFile(dir / "other" / "scourlet"), kToolScript);
        }
    }
}

TEST_F(InstallerTest, RefreshNamesAnotherToolWithoutCallingItInstalled) {
    writeFile(dir / "other" / "scourlet", kToolScript);
    fs::create_directories(paths.binDirectory);
    fs::create_symlink(dir / "other" / "scourlet", paths.linkPath());
    auto installer = make();
    installer.refreshStatus();
    EXPECT_FALSE(installer.isInstalled());
    EXPECT_EQ(installer.statusMessage(), "Another scourlet is at " + paths.linkPath().string() + ".");
}

// Our own link whose tool no longer runs is ours: it needs reinstalling, and
// reinstalling mends it.
TEST_F(InstallerTest, OurOwnInstallThatNoLongerRunsNeedsReinstalling) {
    struct Case {
        const char* name;
        void (*breakIt)(const CommandLineToolInstaller::Paths&);
    };
    const Case cases[] = {
        {"execute bit lost",
         [](const auto& p) {
             fs::permissions(p.installedTool(), fs::perms(0644), fs::perm_options::replace);
         }},
        {"copy deleted", [](const auto& p) { fs::remove(p.installedTool()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        make().install();
        c.breakIt(paths);
        auto installer = make();
        installer.refreshStatus();
        EXPECT_FALSE(installer.isInstalled());
        EXPECT_TRUE(installer.needsReinstall());
        EXPECT_EQ(installer.statusMessage(), "The scourlet at " + paths.linkPath().string() +
                                                 " no longer runs. Reinstall it to mend it.");
        EXPECT_EQ(installer.statusColor(), Color::red);

        installer.install();
        EXPECT_EQ(installer.statusMessage(), installedText());
        EXPECT_TRUE(installer.isInstalled());
        EXPECT_FALSE(installer.needsReinstall());
        EXPECT_EQ(permissions(paths.installedTool()), fs::perms(0755));
    }
}

TEST_F(InstallerTest, MissingPiecesOfTheApplicationFailBeforeAnythingIsCopied) {
    struct Case {
        const char* name;
        void (*breakIt)(const CommandLineToolInstaller::Paths&);
        std::string_view text;
    };
    const Case cases[] = {
        {"no tool", [](const auto& p) { fs::remove(p.toolSource); },
         CommandLineToolInstaller::missingToolText},
        {"tool not executable",
         [](const auto& p) { fs::permissions(p.toolSource, fs::perms(0644), fs::perm_options::replace); },
         CommandLineToolInstaller::missingToolText},
        {"tool is a folder",
         [](const auto& p) {
             fs::remove(p.toolSource);
             fs::create_directories(p.toolSource);
         },
         CommandLineToolInstaller::missingToolText},
        {"no bundle", [](const auto& p) { fs::remove_all(p.rulesSource); },
         CommandLineToolInstaller::missingRulesText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir fresh;
        CommandLineToolInstaller::Paths p = paths;
        p.toolSource = fresh / "app" / "scourlet";
        p.rulesSource = fresh / "app" / "bundle";
        p.installDirectory = fresh / "data";
        p.binDirectory = fresh / "bin";
        writeFile(p.toolSource, kToolScript);
        fs::permissions(p.toolSource, fs::perms(0755));
        writeFile(p.rulesSource / "data.min.json", "{}");
        c.breakIt(p);
        CommandLineToolInstaller installer(p, clock);
        installer.install();
        EXPECT_EQ(installer.statusMessage(), "Install failed: " + std::string(c.text));
        EXPECT_EQ(installer.statusColor(), Color::red);
        EXPECT_FALSE(installer.isInstalled());
        EXPECT_FALSE(fs::exists(p.installDirectory));
        EXPECT_FALSE(fs::exists(p.binDirectory));
    }

    CommandLineToolInstaller homeless(std::nullopt, clock);
    homeless.install();
    EXPECT_EQ(homeless.statusMessage(),
              "Install failed: " + std::string(CommandLineToolInstaller::missingHomeText));
}

TEST_F(InstallerTest, AToolThatDoesNotRunIsNotReportedAsInstalled) {
    writeFile(paths.toolSource, "#!/bin/sh\nexit 3\n");
    auto installer = make();
    installer.install();
    EXPECT_EQ(installer.statusColor(), Color::red);
    EXPECT_FALSE(installer.isInstalled());
    EXPECT_NE(installer.statusMessage()->find("did not run"), std::string::npos);
}

// A reinstall that cannot complete leaves the previous install working.
TEST_F(InstallerTest, AFailedReinstallKeepsThePreviousInstall) {
    auto installer = make();
    installer.install();
    ASSERT_TRUE(installer.isInstalled());
    const std::string installedRules = readFile(paths.installedRules() / "data.min.json");

    // The new bundle holds an entry that cannot be copied (works as root too).
    writeFile(paths.toolSource, std::string(kToolScript) + "# new\n");
    fs::create_symlink(dir / "nowhere", paths.rulesSource / "broken.json");
    installer.install();
    EXPECT_EQ(installer.statusColor(), Color::red);
    EXPECT_TRUE(installer.isInstalled());
    EXPECT_EQ(readFile(paths.installedTool()), kToolScript);
    EXPECT_EQ(readFile(paths.installedRules() / "data.min.json"), installedRules);
    for (const auto& entry : fs::directory_iterator(paths.installDirectory)) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos)
            << "left behind: " << entry.path();
    }
    auto check = make();
    check.refreshStatus();
    EXPECT_TRUE(check.isInstalled());
}

TEST_F(InstallerTest, AReadOnlyInstallFolderKeepsThePreviousInstall) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders; the staged-copy failure is covered above";
    }
    auto installer = make();
    installer.install();
    ASSERT_TRUE(installer.isInstalled());
    writeFile(paths.toolSource, std::string(kToolScript) + "# new\n");
    fs::permissions(paths.installDirectory, fs::perms(0555), fs::perm_options::replace);
    installer.install();
    fs::permissions(paths.installDirectory, fs::perms(0755), fs::perm_options::replace);
    EXPECT_EQ(installer.statusColor(), Color::red);
    EXPECT_EQ(readFile(paths.installedTool()), kToolScript);
    auto check = make();
    check.refreshStatus();
    EXPECT_TRUE(check.isInstalled());
}

TEST_F(InstallerTest, ReinstallReplacesTheCopiesAndKeepsOneLink) {
    auto installer = make();
    installer.install();
    writeFile(paths.toolSource, std::string(kToolScript) + "# new\n");
    writeFile(paths.rulesSource / "data.min.json", "{\"providers\":{\"new\":{}}}");
    installer.install();
    EXPECT_EQ(installer.statusMessage(), installedText());
    EXPECT_EQ(readFile(paths.installedTool()), std::string(kToolScript) + "# new\n");
    EXPECT_EQ(readFile(paths.installedRules() / "data.min.json"), "{\"providers\":{\"new\":{}}}");
    EXPECT_EQ(std::distance(fs::directory_iterator(paths.binDirectory), fs::directory_iterator()), 1);
}

TEST(InstallerPathsTest, DefaultPathsAreTheUsersBinFolderAndDataFolder) {
    const auto paths = CommandLineToolInstaller::defaultPaths();
    ASSERT_TRUE(paths.has_value());
    const fs::path home = std::getenv("HOME");
    EXPECT_EQ(paths->linkPath(), home / ".local" / "bin" / "scourlet");
    EXPECT_EQ(paths->installedTool().filename(), "scourlet");
    EXPECT_EQ(paths->installDirectory.filename(), "CommandLineTool");
}

}  // namespace
}  // namespace scourlet::app
