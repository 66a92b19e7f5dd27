#include "app/menu/MenuText.h"

#include <string>

#include <gtest/gtest.h>

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

// What Qt's D-Bus menu export does to an action's text: the first "&", unless
// it ends the text, becomes the "_" access-key marker.
std::string exportedLabel(std::string label) {
    const std::size_t at = label.find('&');
    if (at != std::string::npos && at + 1 < label.size()) {
        label[at] = '_';
    }
    return label;
}

// What a dbusmenu host shows for a label: "__" is one "_", a single "_" marks
// the next character as the access key and is hidden.
std::string hostShows(std::string_view label) {
    std::string shown;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '_') {
            if (i + 1 < label.size() && label[i + 1] == '_') {
                shown += '_';
                ++i;
            }
            continue;
        }
        shown += label[i];
    }
    return shown;
}

TEST(MenuTextTest, DBusMenuActionTextReachesTheTrayHostUnchanged) {
    const VisibleCase cases[] = {
        {"plain", "Quit Scourlet", "Quit Scourlet"},
        {"ampersands", "Cleaned: https://s.example/i?id=7&color=red&size=m",
         "Cleaned: https://s.example/i?id=7&&color=red&size=m"},
        {"underscores", "Removed: utm_source, fb_ref", "Removed: utm__source, fb__ref"},
        {"double underscore", "a__b", "a____b"},
        {"double ampersand", "x?a=1&&b=2", "x?a=1&&&b=2"},
        {"ampersand at the end", "x?a=1&", "x?a=1&&"},
        {"underscore before ampersand", "Original: https://a.example/?_x=&y",
         "Original: https://a.example/?__x=&&y"},
    };
    for (const auto& c : cases) {
        const std::string action = dbusMenuActionText(c.input);
        EXPECT_EQ(action, c.expected) << c.name;
        EXPECT_EQ(hostShows(exportedLabel(action)), c.input) << c.name;
    }
}

}  // namespace
}  // namespace scourlet::app
