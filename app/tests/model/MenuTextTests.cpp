#include "app/menu/MenuText.h"

#include <string>

#include <gtest/gtest.h>

#include "DBusMenuHost.h"

namespace scourlet::app {
namespace {

struct VisibleCase {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(MenuTextTest, VisibleTextPutsEverythingOnOneVisibleLine) {
    const VisibleCase cases[] = {
        {"plain link", "https://a.example/?a=1&b=2", "https://a.example/?a=1&b=2"},
        {"line breaks and tab", "rm -rf /\ncurl x\r\ny\tz", "rm -rf / curl x y z"},
        {"C1 control and DEL", "a\u0085b\x7f" "c", "a b c"},
        {"line separator", "a\u2028b", "a b"},
        {"right-to-left override", "file\u202Etxt.exe", "file\u27E8U+202E\u27E9txt.exe"},
        {"isolate and mark", "\u2066x\u2069\u200F", "\u27E8U+2066\u27E9x\u27E8U+2069\u27E9\u27E8U+200F\u27E9"},
        {"markup stays text", "<b>x</b> &amp;", "<b>x</b> &amp;"},
        {"malformed UTF-8 kept as bytes", "a\xff" "b", "a\xff" "b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(visibleText(c.input), c.expected) << c.name;
    }
}

struct TruncationCase {
    const char* name;
    std::string input;
    std::size_t limit;
    std::string expected;
};

TEST(MenuTextTest, TruncatedCutsByUserVisibleCharacter) {
    const std::string s58(58, 's');
    const std::string flag = "\U0001F1E9\U0001F1EA";  // one character, two scalars
    const TruncationCase cases[] = {
        {"at the limit", s58, 58, s58},
        {"one over", s58 + "t", 58, s58 + "\u2026"},
        {"empty", "", 5, ""},
        {"combining accent stays whole", "e\u0301e\u0301e\u0301", 2, "e\u0301e\u0301\u2026"},
        {"flags are not split", flag + flag + flag, 1, flag + "\u2026"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(truncated(c.input, c.limit), c.expected) << c.name;
    }
}

TEST(MenuTextTest, MenuTextCountsTheVisibleForm) {
    EXPECT_EQ(menuText("ab\ncd", 4), "ab c\u2026");
    EXPECT_EQ(menuText("ab\ncd"), "ab cd");
}

TEST(MenuTextTest, AmpersandsAreDoubledForMenus) {
    EXPECT_EQ(withLiteralAmpersands("https://a.example/?a=1&b=2&&c"),
              "https://a.example/?a=1&&b=2&&&&c");
    EXPECT_EQ(withLiteralAmpersands("no mnemonic"), "no mnemonic");
}

TEST(MenuTextTest, DBusMenuActionTextReachesTheTrayHostUnchanged) {
    using testing::exportedLabel;
    using testing::gtkHostShows;
    using testing::hostShows;
    const struct {
        const char* name;
        std::string text;
        std::string action;
        bool exactOnGtkHosts;
    } cases[] = {
        {"plain", "Quit Scourlet", "Quit Scourlet", true},
        {"ampersands", "Cleaned: https://s.example/i?id=7&color=red&size=m",
         "Cleaned: https://s.example/i?id=7&&color=red&size=m", true},
        {"underscores", "Removed: utm_source, fb_ref", "Removed: utm__source, fb__ref", true},
        {"double underscore", "a__b", "a____b", true},
        {"double ampersand", "x?a=1&&b=2", "x?a=1&&&b=2", true},
        {"ampersand at the end", "x?a=1&", "x?a=1&", true},
        {"underscore first", "Original: https://a.example/my_page?a=1&b_c=2",
         "Original: https://a.example/my&_page?a=1&b__c=2", true},
        // Qt's export leaves no way around the access key here.
        {"ampersand first", "Original: https://a.example/?a=1&utm_source=x",
         "Original: https://a.example/?a=1&&utm__source=x", false},
    };
    for (const auto& c : cases) {
        const std::string action = dbusMenuActionText(c.text);
        EXPECT_EQ(action, c.action) << c.name;
        const std::string label = exportedLabel(action);
        EXPECT_EQ(hostShows(label), c.text) << c.name;
        EXPECT_EQ(gtkHostShows(label) == c.text, c.exactOnGtkHosts) << c.name;
    }
}

}  // namespace
}  // namespace scourlet::app
