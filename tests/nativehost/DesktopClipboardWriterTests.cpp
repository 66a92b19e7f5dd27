#include "safari-extension/DesktopClipboardWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace scourlet::nativehost {
namespace {

using scourlet::testing::readFile;
using scourlet::testing::ScopedEnvironment;
using scourlet::testing::TempDir;
using scourlet::testing::writeFile;

using Commands = std::vector<std::vector<std::string>>;

TEST(DesktopClipboardWriter, ToolFollowsTheSession) {
    const std::vector<std::string> wl = {"wl-copy"};
    const std::vector<std::string> xclip = {"xclip", "-selection", "clipboard"};
    EXPECT_EQ(DesktopClipboardWriter::commandsFor("wayland-0", std::nullopt), Commands{wl});
    EXPECT_EQ(DesktopClipboardWriter::commandsFor(std::nullopt, ":0"), Commands{xclip});
    EXPECT_EQ(DesktopClipboardWriter::commandsFor("wayland-0", ":0"), (Commands{wl, xclip}));
    EXPECT_EQ(DesktopClipboardWriter::commandsFor("", ""), Commands{});
    EXPECT_EQ(DesktopClipboardWriter::commandsFor(std::nullopt, std::nullopt), Commands{});
}

// Fake clipboard tools in a folder that is the whole PATH.
class FakeToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment.set("PATH", tools.path().string());
        environment.set("FAKE_CLIPBOARD", (output / "clipboard").string());
        environment.set("FAKE_ARGUMENTS", (output / "arguments").string());
        environment.unset("WAYLAND_DISPLAY");
        environment.unset("DISPLAY");
    }

    void tool(const std::string& name, const std::string& script) {
        const auto path = tools / name;
        writeFile(path, "#!/bin/sh\n" + script + "\n");
        ASSERT_EQ(chmod(path.c_str(), 0755), 0);
    }

    // Keeps the text and the arguments it was given.
    static constexpr const char* kRecorder =
        "echo \"$@\" > \"$FAKE_ARGUMENTS\"; exec /bin/cat > \"$FAKE_CLIPBOARD\"";

    TempDir tools;
    TempDir output;
    ScopedEnvironment environment;
};

TEST_F(FakeToolsTest, WaylandUsesWlCopyWithTheTextOnItsInput) {
    tool("wl-copy", kRecorder);
    tool("xclip", "exit 9");
    environment.set("WAYLAND_DISPLAY", "wayland-0");
    environment.set("DISPLAY", ":0");
    const std::string text = "Line 1\nLine 2 caf\xC3\xA9 \"$(touch /tmp/never)\" ;|&";
    ASSERT_TRUE(DesktopClipboardWriter().writeText(text));
    EXPECT_EQ(readFile(output / "clipboard"), text);
    EXPECT_EQ(readFile(output / "arguments"), "\n");
}

TEST_F(FakeToolsTest, X11UsesXclipAndALargeTextArrivesWhole) {
    tool("xclip", kRecorder);
    environment.set("DISPLAY", ":0");
    std::string text;
    for (int i = 0; text.size() < 300 * 1024; ++i) {
        text += "line " + std::to_string(i) + "\n";
    }
    ASSERT_TRUE(DesktopClipboardWriter().writeText(text));
    EXPECT_EQ(readFile(output / "clipboard"), text);
    EXPECT_EQ(readFile(output / "arguments"), "-selection clipboard\n");
}

TEST_F(FakeToolsTest, XclipStandsInWhenWlCopyIsMissing) {
    tool("xclip", kRecorder);
    environment.set("WAYLAND_DISPLAY", "wayland-0");
    environment.set("DISPLAY", ":0");
    ASSERT_TRUE(DesktopClipboardWriter().writeText("text"));
    EXPECT_EQ(readFile(output / "clipboard"), "text");
}

TEST_F(FakeToolsTest, FailuresAreReported) {
    struct Case {
        const char* name;
        std::string script;  // empty: no tool at all
        const char* display;
        std::string expectedMessagePart;
    };
    const std::vector<Case> cases = {
        {"no session", "", nullptr, "no desktop session"},
        {"tool missing", "", ":0", "could not start xclip"},
        {"tool fails", "/bin/cat > /dev/null; exit 3", ":0", "xclip exited with status 3"},
        {"tool killed", "kill -9 $$", ":0", "xclip was ended by a signal"},
        // Exits at once without reading: the text cannot be handed over.
        {"tool ignores input", "exit 0", ":0", "could not hand the text over"},
        {"tool hangs", "exec /bin/sleep 30", ":0", "did not finish in time"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(tools / "xclip");
        if (!c.script.empty()) {
            tool("xclip", c.script);
        }
        if (c.display) {
            environment.set("DISPLAY", c.display);
        } else {
            environment.unset("DISPLAY");
        }
        // Only the hanging tool waits for the limit; the others keep the
        // default one, so that a slow machine cannot make them time out.
        const bool hangs = c.script.find("sleep") != std::string::npos;
        const auto limit =
            hangs ? std::chrono::milliseconds(300) : DesktopClipboardWriter::kDefaultTimeLimit;
        const auto started = std::chrono::steady_clock::now();
        const auto written = DesktopClipboardWriter(limit).writeText(std::string(256 * 1024, 'z'));
        ASSERT_FALSE(written);
        EXPECT_NE(written.error().message.find(c.expectedMessagePart), std::string::npos)
            << written.error().message;
        if (hangs) {  // killed at the limit, not left to sleep for 30 seconds
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        }
    }
}

TEST_F(FakeToolsTest, TheToolInheritsNoOtherDescriptor) {
    // A descriptor without close-on-exec, like the pipes a browser hands over.
    const int inherited = open("/dev/null", O_RDONLY);
    ASSERT_GE(inherited, 3);
    tool("xclip", "/bin/cat > /dev/null; /bin/ls /proc/$$/fd > \"$FAKE_CLIPBOARD\"");
    environment.set("DISPLAY", ":0");
    ASSERT_TRUE(DesktopClipboardWriter().writeText("x"));
    close(inherited);
    std::string listed = readFile(output / "clipboard");
    std::vector<std::string> fds;
    for (std::size_t start = 0, end; start < listed.size(); start = end + 1) {
        end = listed.find('\n', start);
        if (end == std::string::npos) {
            end = listed.size();
        }
        fds.push_back(listed.substr(start, end - start));
    }
    EXPECT_EQ(std::count(fds.begin(), fds.end(), std::to_string(inherited)), 0) << listed;
}

}  // namespace
}  // namespace scourlet::nativehost
