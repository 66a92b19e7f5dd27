#include "app/menu/MenuModel.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/menu/MenuText.h"

namespace scourlet::app {
namespace {

// The rows as text, separators as "---", for whole-menu comparisons.
std::vector<std::string> texts(const std::vector<MenuItem>& items) {
    std::vector<std::string> out;
    for (const MenuItem& item : items) {
        out.push_back(item.kind == MenuItem::Kind::separator ? "---" : item.text);
    }
    return out;
}

const MenuItem* find(const std::vector<MenuItem>& items, std::string_view identifier) {
    for (const MenuItem& item : items) {
        if (item.identifier == identifier) {
            return &item;
        }
    }
    return nullptr;
}

MenuInputs allWindows() {
    MenuInputs inputs;
    inputs.windows = {true, true, true};
    return inputs;
}

CleanResult cleaned(std::string original, std::string cleanedURL,
                    std::vector<std::string> removed = {}) {
    CleanResult result;
    result.originalURL = std::move(original);
    result.cleanedURL = std::move(cleanedURL);
    result.removedQueryParameters = std::move(removed);
    return result;
}

CommandRiskFinding finding(std::string summary, std::string matched) {
    CommandRiskFinding f;
    f.id = "pipe-to-shell";
    f.severity = CommandRiskSeverity::danger;
    f.summary = std::move(summary);
    f.explanation = "Runs whatever the server sends.";
    f.matchedText = std::move(matched);
    return f;
}

TEST(MenuModelTest, QuietStartWithEveryWindow) {
    MenuInputs inputs = allWindows();
    inputs.cleanedToday = 3;
    EXPECT_EQ(texts(buildMenu(inputs)),
              (std::vector<std::string>{"Auto-Clean Copied Links: ON", "Auto-Resolve Share Links: OFF",
                                        "Clean Copied Link Now", "---", "No cleaned links yet",
                                        "3 URLs cleaned today", "---", "Welcome and How It Works\u2026",
                                        "Preferences\u2026", "Quit Scourlet"}));
}

TEST(MenuModelTest, WindowRowsFollowTheWindowsThatExist) {
    MenuInputs inputs;  // no window at all
    inputs.cleaningEnabled = false;
    inputs.lastCleanedResult = cleaned("https://a.example/?utm_source=x", "https://a.example/",
                                       {"utm_source"});
    const auto items = buildMenu(inputs);
    EXPECT_EQ(find(items, "menu-welcome"), nullptr);
    EXPECT_EQ(find(items, "menu-preferences"), nullptr);
    EXPECT_EQ(find(items, "menu-report-missed-tracker"), nullptr);
    // Rows that only inform stay, and cannot be chosen.
    const MenuItem* header = find(items, "menu-last-clean-header");
    ASSERT_NE(header, nullptr);
    EXPECT_FALSE(header->enabled);
    EXPECT_EQ(header->command, MenuCommand::none);
    const MenuItem* count = find(items, "menu-cleaned-today");
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->text, "0 URLs cleaned today");
    EXPECT_EQ(items.back().text, "Quit Scourlet");
    EXPECT_EQ(items.front().text, "Auto-Clean Copied Links: OFF");
    EXPECT_FALSE(items.front().checked);

    inputs.windows.report = true;
    const auto withReport = buildMenu(inputs);
    const MenuItem* report = find(withReport, "menu-report-missed-tracker");
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->text, "Report Missed Tracker");
}

TEST(MenuModelTest, CommandWarningWithoutFindings) {
    MenuInputs inputs = allWindows();
    CommandRiskResult risk;
    risk.command = "sudo rm -rf /";
    risk.severity = CommandRiskSeverity::warning;
    inputs.commandRisk = risk;
    const auto items = buildMenu(inputs);
    const std::vector<std::string> all = texts(items);
    const std::vector<std::string> group(all.begin() + 4, all.begin() + 9);
    EXPECT_EQ(group, (std::vector<std::string>{"Command Guard: Warning", "Copy Risky Command",
                                               "Review Command Warning\u2026",
                                               "Clear Command Warning", "---"}));
    EXPECT_EQ(find(items, "menu-command-guard")->toolTip, "Review the last risky command warning");
    const MenuItem* copy = find(items, "menu-copy-risky-command");
    EXPECT_EQ(copy->command, MenuCommand::copyText);
    EXPECT_EQ(copy->payload, "sudo rm -rf /");
    EXPECT_EQ(copy->accessibleName, "Risky command");
    // The row that names where it goes opens that pane; the others the pane last shown.
    EXPECT_EQ(find(items, "menu-review-command-warning")->payload, "Status");
    EXPECT_EQ(find(items, "menu-command-guard")->payload, "");
}

TEST(MenuModelTest, FindingTextsAreCutAt58Characters) {
    const std::string s58(58, 's');
    struct Case {
        std::string summary;
        std::string expectedReason;
    } cases[] = {
        {s58, "Reason: " + s58},
        {s58 + "t", "Reason: " + s58 + "\u2026"},
        // 58 user-visible characters of two scalars each are shown whole.
        {[] {
             std::string s;
             for (int i = 0; i < 58; ++i) s += "e\u0301";
             return s;
         }(),
         [] {
             std::string s = "Reason: ";
             for (int i = 0; i < 58; ++i) s += "e\u0301";
             return s;
         }()},
    };
    for (const auto& c : cases) {
        MenuInputs inputs = allWindows();
        CommandRiskResult risk;
        risk.command = "curl x | sh";
        risk.severity = CommandRiskSeverity::danger;
        risk.findings = {finding(c.summary, c.summary)};
        inputs.commandRisk = risk;
        const auto items = buildMenu(inputs);
        EXPECT_EQ(find(items, "menu-command-guard")->text, "Command Guard: Danger");
        EXPECT_EQ(find(items, "menu-command-reason")->text, c.expectedReason);
        const MenuItem* matched = find(items, "menu-command-matched");
        ASSERT_NE(matched, nullptr);
        EXPECT_EQ(matched->text, "Matched: " + c.expectedReason.substr(8));
        EXPECT_EQ(matched->payload, c.summary);  // copied whole
        EXPECT_EQ(matched->toolTip, "Copy matched command fragment");
    }
}

TEST(MenuModelTest, EmptyMatchedTextHasNoMatchedRow) {
    MenuInputs inputs = allWindows();
    CommandRiskResult risk;
    risk.findings = {finding("Pipes a download into a shell", "")};
    inputs.commandRisk = risk;
    EXPECT_EQ(find(buildMenu(inputs), "menu-command-matched"), nullptr);  // no row to point at
}

TEST(MenuModelTest, URLRowsAreCutAt60AndCopiedWhole) {
    const std::string original = "https://example.com/" + std::string(41, 'a');  // 61 characters
    ASSERT_EQ(original.size(), 61u);
    MenuInputs inputs = allWindows();
    inputs.lastCleanedResult = cleaned(original, "https://example.com/", {"a"});
    const auto items = buildMenu(inputs);
    const MenuItem* row = find(items, "menu-original-url");
    EXPECT_EQ(row->text, "Original: " + original.substr(0, 60) + "\u2026");
    EXPECT_EQ(row->payload, original);
    EXPECT_EQ(row->toolTip, "Copy original URL");
    EXPECT_EQ(row->accessibleName, "Original URL");
    const MenuItem* cleanedRow = find(items, "menu-cleaned-url");
    EXPECT_EQ(cleanedRow->text, "Cleaned: https://example.com/");
    EXPECT_EQ(cleanedRow->toolTip, "Copy cleaned URL");
    EXPECT_EQ(cleanedRow->accessibleName, std::string(kCleanedURLAccessibleName));
}

TEST(MenuModelTest, URLWithAmpersandIsShownIntact) {
    const std::string link = "https://shop.example/item?id=7&color=red&size=m";
    MenuInputs inputs = allWindows();
    inputs.lastCleanedResult = cleaned(link + "&utm_source=x", link, {"utm_source"});
    const auto items = buildMenu(inputs);
    const MenuItem* row = find(items, "menu-cleaned-url");
    EXPECT_EQ(row->text, "Cleaned: " + link);
    // The menu widget doubles each "&" so that none is taken for a mnemonic.
    EXPECT_EQ(withLiteralAmpersands(row->text),
              "Cleaned: https://shop.example/item?id=7&&color=red&&size=m");
}

TEST(MenuModelTest, RemovedSummaryForms) {
    CleanResult five = cleaned("https://a.example/?p1&p2&p3&p4&p5", "https://a.example/",
                               {"p1", "p2", "p3", "p4", "p5"});
    CleanResult four = cleaned("x", "y", {"a", "b", "c", "d"});
    CleanResult three = cleaned("x", "y", {"a", "b", "c"});
    CleanResult rewrite = cleaned("https://x.com/a", "https://nitter.example/a");
    rewrite.privacyRedirect = PrivacyRedirectInfo{PrivacyRedirectService::xTwitter, "x.com",
                                                  "nitter.example"};
    CleanResult same = cleaned("https://a.example/", "https://a.example/");
    CleanResult unwrapped = cleaned("https://l.example/?u=https://a.example/", "https://a.example/");
    struct Case {
        const char* name;
        CleanResult result;
        std::string summary;
        std::string status;
    } cases[] = {
        {"five names", five, "p1, p2, p3, +2 more", "Removed: p1, p2, p3, +2 more"},
        {"four names", four, "a, b, c, +1 more", "Removed: a, b, c, +1 more"},
        {"three names", three, "a, b, c", "Removed: a, b, c"},
        {"privacy rewrite", rewrite, "privacy rewrite: x.com \u2192 nitter.example",
         "Removed: privacy rewrite: x.com \u2192 nitter.example"},
        {"unchanged", same, "nothing", "This link already looks clean"},
        {"redirect", unwrapped, "redirect or path pattern", "Removed: redirect or path pattern"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(removedSummary(c.result), c.summary) << c.name;
        MenuInputs inputs = allWindows();
        inputs.lastCleanedResult = c.result;
        const auto items = buildMenu(inputs);
        EXPECT_EQ(find(items, "menu-last-clean-status")->text, c.status) << c.name;
        EXPECT_EQ(find(items, "menu-last-clean-header")->text,
                  c.result.originalURL == c.result.cleanedURL ? "No changes needed"
                                                              : std::string(kLastCleanHeader))
            << c.name;
    }
}

TEST(MenuModelTest, PendingShareLinkForms) {
    const std::string error = std::string(60, 'e');
    struct Case {
        const char* name;
        bool supported;
        bool resolving;
        std::optional<std::string> error;
        std::vector<std::string> rows;  // from the header to before the count row
        bool resolveEnabled;
    } cases[] = {
        {"supported",
         true,
         false,
         std::nullopt,
         {"One more step needed", "Original: https://amzn.to/abc",
          "Current URL (not resolved): https://amzn.to/abc", std::string(kNeedsActionStatus),
          "Resolve Direct Link (Network)"},
         true},
        {"resolving",
         true,
         true,
         std::nullopt,
         {"One more step needed", "Original: https://amzn.to/abc",
          "Current URL (not resolved): https://amzn.to/abc", std::string(kNeedsActionStatus),
          "Resolving Direct Link\u2026"},
         false},
        {"unsupported shape",
         false,
         false,
         std::nullopt,
         {"One more step needed", "Original: https://amzn.to/abc",
          "Current URL (not resolved): https://amzn.to/abc", std::string(kNeedsActionStatus),
          "Resolve Direct Link (Network)",
          "Unresolved short link: this shape is not supported for safe resolution."},
         false},
        {"failed",
         true,
         false,
         error,
         {"One more step needed", "Original: https://amzn.to/abc",
          "Current URL (not resolved): https://amzn.to/abc", std::string(kNeedsActionStatus),
          "Resolve Direct Link (Network)", "Resolution failed: " + error.substr(0, 52) + "\u2026"},
         true},
    };
    for (const auto& c : cases) {
        MenuInputs inputs;  // no windows: nothing but the rows under test
        inputs.lastCleanedResult = cleaned("https://amzn.to/abc", "https://amzn.to/abc");
        inputs.pendingShareLink = true;
        inputs.shareServiceSupported = c.supported;
        inputs.resolvingShareLink = c.resolving;
        inputs.shareLinkResolutionError = c.error;
        const auto items = buildMenu(inputs);
        std::vector<std::string> all = texts(items);
        const std::vector<std::string> rows(all.begin() + 4, all.end() - 3);
        EXPECT_EQ(rows, c.rows) << c.name;
        EXPECT_EQ(find(items, "menu-resolve-share-link")->enabled, c.resolveEnabled) << c.name;
        EXPECT_EQ(find(items, "menu-cleaned-url")->toolTip, "Copy current unresolved URL");
        EXPECT_EQ(find(items, "menu-cleaned-url")->accessibleName, "Current URL, not resolved");
        if (c.error) {
            const MenuItem* failed = find(items, "menu-resolution-failed");
            EXPECT_EQ(failed->toolTip, *c.error);
            EXPECT_EQ(failed->command, MenuCommand::resolveShareLink);
        }
    }
}

TEST(MenuModelTest, NoResultForms) {
    MenuInputs inputs = allWindows();
    inputs.lastSkippedDomain = "bank.example";
    auto rows = texts(buildMenu(inputs));
    EXPECT_EQ(std::vector<std::string>(rows.begin() + 4, rows.begin() + 6),
              (std::vector<std::string>{
                  "Left unchanged \u2014 cleaning is turned off for bank.example",
                  "Manage site exceptions\u2026"}));
    const auto withSkipped = buildMenu(inputs);
    EXPECT_EQ(find(withSkipped, "menu-manage-exceptions")->payload, "Exceptions");
    inputs.lastSkippedDomain.reset();
    rows = texts(buildMenu(inputs));
    EXPECT_EQ(rows[4], "No cleaned links yet");
    EXPECT_EQ(rows[5], "0 URLs cleaned today");
}

TEST(MenuModelTest, LastOperationAndFollowUpRows) {
    struct Case {
        CleanOperationKind kind;
        bool network;
        std::string text;
        std::string help;
    } cases[] = {
        {CleanOperationKind::networkResolution, true, "Operation: resolved using network",
         "This step used the network after an explicit request."},
        {CleanOperationKind::localParameterRemoval, false, "Operation: cleaned locally",
         "This step ran locally."},
        {CleanOperationKind::offlineWrapperUnwrap, false, "Operation: unwrapped locally",
         "This step ran locally."},
        {CleanOperationKind::offlinePathRewrite, false, "Operation: rewritten locally",
         "This step ran locally."},
        {CleanOperationKind::privacyRedirect, false, "Operation: privacy rewrite locally",
         "This step ran locally."},
        {CleanOperationKind::functionalTransformation, false, "Operation: transformed locally",
         "This step ran locally."},
    };
    for (const auto& c : cases) {
        MenuInputs inputs = allWindows();
        CleanResult result = cleaned("https://a.example/?x=1", "https://a.example/", {"x"});
        CleanOperation first;
        CleanOperation last;
        last.kind = c.kind;
        last.networkUsed = c.network;
        result.operations = {first, last};
        inputs.lastCleanedResult = result;
        const auto items = buildMenu(inputs);
        const MenuItem* row = find(items, "menu-last-operation");
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->text, c.text);
        EXPECT_EQ(row->toolTip, c.help);
    }

    MenuInputs inputs = allWindows();
    inputs.lastCleanedResult = cleaned("https://maps.example/?q=x&utm_source=y",
                                       "https://maps.example/?q=x", {"utm_source"});
    inputs.waybackLink = "https://web.archive.org/web/*/https://maps.example/?q=x";
    inputs.mapLink = MenuMapLink{true, "https://maps.apple.com/?q=x"};
    inputs.hasLastCleanRecord = true;
    inputs.lastCleanHost = "maps.example";
    const auto items = buildMenu(inputs);
    EXPECT_EQ(find(items, "menu-last-operation"), nullptr);  // no operation recorded
    EXPECT_EQ(find(items, "menu-copy-wayback-link")->payload, *inputs.waybackLink);
    EXPECT_EQ(find(items, "menu-open-map-link")->text, "Open in Apple Maps (Local)");
    EXPECT_EQ(find(items, "menu-restore-original")->command, MenuCommand::restoreOriginal);
    EXPECT_EQ(find(items, "menu-disable-site")->toolTip, "maps.example");
    inputs.mapLink->opensInAppleMaps = false;
    const auto google = buildMenu(inputs);
    EXPECT_EQ(find(google, "menu-open-map-link")->text, "Open in Google Maps (Local)");
}

// The tray keeps one widget per row identifier for as long as the row exists,
// so identifiers must be unique and keep one order in every form of the menu.
TEST(MenuModelTest, RowIdentifiersAreUniqueAndKeepOneOrder) {
    std::vector<MenuInputs> forms;
    forms.push_back(allWindows());
    MenuInputs skipped = allWindows();
    skipped.lastSkippedDomain = "bank.example";
    forms.push_back(skipped);
    MenuInputs full = allWindows();
    full.commandRisk = CommandRiskResult{"curl x | sh", CommandRiskSeverity::danger,
                                         {finding("Pipes a download into a shell", "| sh")}};
    CleanResult result = cleaned("https://amzn.to/abc?utm_source=x", "https://amzn.to/abc",
                                 {"utm_source"});
    result.operations = {CleanOperation{}};
    full.lastCleanedResult = result;
    full.pendingShareLink = true;
    full.shareLinkResolutionError = "timed out";
    full.waybackLink = "https://web.archive.org/web/*/https://amzn.to/abc";
    full.mapLink = MenuMapLink{false, "https://maps.example/"};
    full.hasLastCleanRecord = true;
    full.lastCleanHost = "amzn.to";
    forms.push_back(full);
    full.pendingShareLink = false;
    full.commandRisk.reset();
    forms.push_back(full);

    std::vector<std::string> order;  // every identifier seen, in menu order
    for (const MenuInputs& inputs : forms) {
        std::vector<std::string> ids;
        for (const MenuItem& item : buildMenu(inputs)) {
            EXPECT_FALSE(item.identifier.empty()) << item.text;
            EXPECT_EQ(std::count(ids.begin(), ids.end(), item.identifier), 0) << item.identifier;
            ids.push_back(item.identifier);
        }
        // Merge into `order`, failing where two identifiers swap places.
        std::size_t at = 0;
        for (const std::string& id : ids) {
            const auto found = std::find(order.begin(), order.end(), id);
            if (found == order.end()) {
                order.insert(order.begin() + static_cast<std::ptrdiff_t>(at), id);
                ++at;
            } else {
                const auto index = static_cast<std::size_t>(found - order.begin());
                EXPECT_GE(index, at) << id << " moved";
                at = std::max(at, index + 1);
            }
        }
    }
}

TEST(MenuModelTest, OutsideTextCannotBreakOrReverseARow) {
    MenuInputs inputs = allWindows();
    inputs.lastCleanedResult =
        cleaned("https://a.example/\u202Egnp.exe\n<b>x</b>", "https://a.example/");
    const auto items = buildMenu(inputs);
    const MenuItem* row = find(items, "menu-original-url");
    EXPECT_EQ(row->text, "Original: https://a.example/\u27E8U+202E\u27E9gnp.exe <b>x</b>");
    EXPECT_EQ(row->payload, inputs.lastCleanedResult->originalURL);  // copied as it was
}

}  // namespace
}  // namespace scourlet::app
