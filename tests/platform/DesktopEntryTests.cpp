#include "ScourletCore/platform/DesktopEntry.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

// What a reader of the written file gets back as the program: string escapes
// undone by the parser, then the Exec quoting.
std::optional<std::string> readBack(const std::string& execLine) {
    auto entry = DesktopEntry::parse("[Desktop Entry]\nExec=" + execLine + "\n");
    if (!entry || !entry->value("Exec")) {
        return std::nullopt;
    }
    return DesktopEntry::execProgram(*entry->value("Exec"));
}

TEST(DesktopEntry, ExecQuotesEveryPathIntoOneArgument) {
    struct Case {
        const char* name;
        std::string path;
        std::string written;  // what follows "Exec=" in the file
    };
    const Case cases[] = {
        {"plain", "/usr/bin/scourlet-app", R"("/usr/bin/scourlet-app")"},
        {"space", "/opt/My Apps/scourlet-app", R"("/opt/My Apps/scourlet-app")"},
        // "%u" would otherwise be a field code the launcher fills in.
        {"percent", "/opt/100%/bin %u/x", R"("/opt/100%%/bin %%u/x")"},
        // Inside quotes a backslash escapes the quote; the string escape doubles it.
        {"double quote", "/opt/a\" --evil \"/x", R"("/opt/a\\" --evil \\"/x")"},
        {"shell expansions", "/opt/$HOME/`id`/x", R"("/opt/\\$HOME/\\`id\\`/x")"},
        {"backslash", "/opt/back\\slash/x", R"("/opt/back\\\\slash/x")"},
        {"reserved characters", "/opt/a;b|c&d<e>f'g~h*i?j#k(l)/x",
         R"("/opt/a;b|c&d<e>f'g~h*i?j#k(l)/x")"},
        {"non-ASCII", "/home/z\u00fcrich/\u30a2\u30d7\u30ea",
         "\"/home/z\u00fcrich/\u30a2\u30d7\u30ea\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Result<std::string, Error> exec = DesktopEntry::execValue(c.path);
        ASSERT_TRUE(exec.ok()) << exec.error().message;
        EXPECT_EQ(*exec, c.written);
        EXPECT_EQ(readBack(*exec), c.path);
    }
}

TEST(DesktopEntry, ExecRefusesPathsThatCannotBeWrittenSafely) {
    const std::string refused[] = {
        "",
        "/opt/a\nHidden=true\nExec=/bin/evil",  // a line break would start keys of its own
        "/opt/a\rb",
        std::string("/opt/a\0b", 8),
        "/opt/\x7f",
        "/opt/\xff\xfe",  // not UTF-8
    };
    for (const std::string& path : refused) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(DesktopEntry::execValue(path).ok());
    }
}

TEST(DesktopEntry, ExecProgramOfEntriesWrittenElsewhere) {
    struct Case {
        const char* exec;  // after the string escapes
        std::optional<std::string> program;
    };
    const Case cases[] = {
        {"scourlet-app", "scourlet-app"},
        {"scourlet-app --minimized %U", "scourlet-app"},
        {"  /usr/bin/scourlet-app", "/usr/bin/scourlet-app"},
        {R"("/opt/My Apps/x" --flag)", "/opt/My Apps/x"},
        {R"("/opt/a\"b\$c\`d\\e")", "/opt/a\"b$c`d\\e"},
        {R"("/opt/100%%")", "/opt/100%"},
        {R"("/opt/unclosed)", std::nullopt},
        {R"("")", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exec);
        EXPECT_EQ(DesktopEntry::execProgram(c.exec), c.program);
    }
}

TEST(DesktopEntry, ParseReadsOnlyTheDesktopEntryGroup) {
    const auto entry = DesktopEntry::parse(
        "# comment\n"
        "[Desktop Action quit]\n"
        "Exec=/bin/other\n"
        "[Desktop Entry]\r\n"
        "Name = Scourlet\r\n"
        "Name[de]=Scourlet DE\n"
        "Comment=\\sleading space, tab\\there, back\\\\slash, line\\nbreak\n"
        "Hidden=true\n"
        "Hidden=false\n"
        "NoEquals\n"
        "[Other Group]\n"
        "X-GNOME-Autostart-enabled=false\n");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->value("Name"), "Scourlet");
    EXPECT_EQ(entry->value("Name[de]"), "Scourlet DE");
    EXPECT_EQ(entry->value("Comment"), " leading space, tab\there, back\\slash, line\nbreak");
    EXPECT_TRUE(entry->isTrue("Hidden"));  // the first of repeated keys
    EXPECT_EQ(entry->value("Exec"), std::nullopt);
    EXPECT_FALSE(entry->isFalse("X-GNOME-Autostart-enabled"));

    EXPECT_FALSE(DesktopEntry::parse("Exec=/bin/x\n").has_value());
    EXPECT_FALSE(DesktopEntry::parse("[Desktop Entry Extra]\nExec=/bin/x\n").has_value());
    EXPECT_TRUE(DesktopEntry::parse("  [Desktop Entry]").has_value());
}

}  // namespace
}  // namespace scourlet
