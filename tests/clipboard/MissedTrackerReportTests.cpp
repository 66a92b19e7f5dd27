#include "ScourletCore/clipboard/MissedTrackerReport.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/clipboard/MissedTrackerReportBuilder.h"
#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/platform/PercentEncoding.h"
#include "ScourletCore/platform/URLComponents.h"

namespace scourlet {
namespace {

using namespace std::chrono;
using Platform = MissedTrackerReport::Platform;
using Surface = MissedTrackerReport::Surface;

// 9 December 2026, 08:04:45.250 UTC.
const system_clock::time_point kCreated =
    sys_days(year(2026) / 12 / 9) + hours(8) + minutes(4) + seconds(45) + milliseconds(250);
const system_clock::time_point kRulesUpdated = sys_days(year(2026) / 11 / 30) + hours(23);

CleanResult sampleResult() {
    CleanResult result;
    result.originalURL = "https://shop.example.com/item?tag=aff-20&utm_source=news";
    result.cleanedURL = "https://shop.example.com/item";
    result.paramsRemoved = 2;
    result.removedQueryParameters = {"tag", "utm_source"};
    result.matchedRuleIDs = {"Referral Marketing:tag", "Analytics:utm_source"};
    result.matchedCategories = {RuleCategoryType::referralMarketing, RuleCategoryType::analytics};
    return result;
}

MissedTrackerReport build(const CleanResult& result, const std::string& note = "still tracked",
                          std::optional<std::string> build = "42",
                          std::optional<std::int64_t> providers = 187,
                          std::optional<system_clock::time_point> updated = kRulesUpdated) {
    return MissedTrackerReportBuilder::build(result, Platform::linux, "Debian 12", "0.1.0",
                                             std::move(build), Surface::clipboard, note, providers,
                                             updated, kCreated);
}

std::vector<std::string> bodyLines(const MissedTrackerReport& report) {
    std::vector<std::string> lines;
    const std::string body = report.bodyText();
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = body.find('\n', start);
        lines.push_back(body.substr(start, end - start));
        if (end == std::string::npos) {
            return lines;
        }
        start = end + 1;
    }
}

Json appendixJson(const MissedTrackerReport& report) {
    const std::string fenced = report.jsonAppendix();
    const std::string open = "```json\n";
    const std::string close = "\n```";
    if (fenced.rfind(open, 0) != 0 || fenced.size() < open.size() + close.size() ||
        fenced.compare(fenced.size() - close.size(), close.size(), close) != 0) {
        ADD_FAILURE() << "not a fenced block: " << fenced;
        return Json();
    }
    return Json::parse(fenced.substr(open.size(), fenced.size() - open.size() - close.size()));
}

TEST(MissedTrackerReportTest, BodyOfAFullReport) {
    const MissedTrackerReport report = build(sampleResult());
    EXPECT_EQ(report.bodyText(), R"(Scourlet Missed Tracker Report

User note:
still tracked

Original URL:
https://shop.example.com/item?tag=aff-20&utm_source=news

Cleaned URL:
https://shop.example.com/item

Platform:
Linux Debian 12

App version:
0.1.0 (42)

Surface:
Clipboard

Params removed:
2

Matched categories:
Analytics, Referral Marketing

Matched rule IDs:
Referral Marketing:tag, Analytics:utm_source

Rules summary:
provider_count=187, last_update=2026-11-30

Created at:
2026-12-09T08:04:45Z

--- machine-readable (do not edit) ---
```json
{
  "appBuild": "42",
  "appVersion": "0.1.0",
  "cleanedURL": "https://shop.example.com/item",
  "createdAt": "2026-12-09T08:04:45Z",
  "host": "shop.example.com",
  "matchedCategories": [
    "Analytics",
    "Referral Marketing"
  ],
  "matchedRuleIDs": [
    "Referral Marketing:tag",
    "Analytics:utm_source"
  ],
  "originalURL": "https://shop.example.com/item?tag=aff-20&utm_source=news",
  "osVersion": "Debian 12",
  "paramsRemoved": 2,
  "platform": "Linux",
  "rulesLastUpdate": "2026-11-30T23:00:00Z",
  "rulesProviderCount": 187,
  "schemaVersion": 1,
  "surface": "Clipboard",
  "userNote": "still tracked",
  "wasModified": true
}
```)");
    EXPECT_EQ(report.shareText(), report.bodyText());
    EXPECT_EQ(report.subject(), "[Missed Tracker] shop.example.com - Linux - v0.1.0");
    // Built once, read twice: the same texts.
    EXPECT_EQ(report.bodyText(), report.bodyText());
}

TEST(MissedTrackerReportTest, EmptyPiecesPrintPlaceholdersAndLeaveKeysOut) {
    CleanResult result;
    result.originalURL = "https://same.example/";
    result.cleanedURL = "https://same.example/";
    const MissedTrackerReport report = build(result, "", std::nullopt, std::nullopt, std::nullopt);
    const std::vector<std::string> lines = bodyLines(report);
    EXPECT_EQ(lines[3], "[none]");
    EXPECT_EQ(lines[15], "0.1.0");
    EXPECT_EQ(lines[24], "[none]");
    EXPECT_EQ(lines[27], "[none]");
    EXPECT_EQ(lines[30], "[not available]");
    EXPECT_FALSE(report.wasModified);

    const Json json = appendixJson(report);
    EXPECT_FALSE(json.contains("appBuild"));
    EXPECT_FALSE(json.contains("rulesProviderCount"));
    EXPECT_FALSE(json.contains("rulesLastUpdate"));
    EXPECT_EQ(json["matchedCategories"], Json::array());
    EXPECT_EQ(json["matchedRuleIDs"], Json::array());
    EXPECT_EQ(json["userNote"], "");
    EXPECT_EQ(json["wasModified"], false);
}

TEST(MissedTrackerReportTest, VersionLineAndRulesSummary) {
    struct Case {
        std::optional<std::string> build;
        std::optional<std::int64_t> providers;
        std::optional<system_clock::time_point> updated;
        std::string versionLine;
        std::string summary;
    };
    const Case cases[] = {
        {"", std::nullopt, kRulesUpdated, "0.1.0 ()", "last_update=2026-11-30"},
        {"7", 0, std::nullopt, "0.1.0 (7)", "provider_count=0"},
        {std::nullopt, 3, kRulesUpdated, "0.1.0", "provider_count=3, last_update=2026-11-30"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> lines =
            bodyLines(build(sampleResult(), "n", c.build, c.providers, c.updated));
        EXPECT_EQ(lines[14], config::kReportAppVersionLabel);
        EXPECT_EQ(lines[15], c.versionLine);
        EXPECT_EQ(lines[30], c.summary);
    }
}

TEST(MissedTrackerReportTest, NoteIsCutAtFiveHundredCharactersNotBytes) {
    const std::string accented = "e\u0301";  // one character, three bytes
    std::string note500;
    for (int i = 0; i < 500; ++i) {
        note500 += accented;
    }
    EXPECT_EQ(build(sampleResult(), note500).userNote, note500);
    EXPECT_EQ(build(sampleResult(), note500 + "x").userNote, note500);
    EXPECT_EQ(build(sampleResult(), std::string(501, 'a')).userNote, std::string(500, 'a'));
    // Spaces only is a note, kept as it is and printed as such.
    const MissedTrackerReport spaces = build(sampleResult(), "   ");
    EXPECT_EQ(spaces.userNote, "   ");
    EXPECT_EQ(bodyLines(spaces)[3], "   ");
}

TEST(MissedTrackerReportTest, HostComesFromTheCleanedLinkElseTheOriginal) {
    struct Case {
        const char* original;
        const char* cleaned;
        std::optional<std::string> host;
        std::string subjectHost;
    };
    const Case cases[] = {
        {"https://a.example/x", "https://b.example/y", "b.example", "b.example"},
        {"https://a.example/x", "", "a.example", "a.example"},
        {"https://a.example/x", "http://b.example:port/", "a.example", "a.example"},
        {"not a link", "mailto:someone", std::nullopt, "Unknown Host"},
        {"", "", std::nullopt, "Unknown Host"},
    };
    for (const Case& c : cases) {
        CleanResult result;
        result.originalURL = c.original;
        result.cleanedURL = c.cleaned;
        const MissedTrackerReport report = build(result);
        EXPECT_EQ(report.host, c.host) << c.cleaned;
        EXPECT_EQ(report.subject(), "[Missed Tracker] " + c.subjectHost + " - Linux - v0.1.0");
        EXPECT_EQ(appendixJson(report).contains("host"), c.host.has_value());
    }
}

TEST(MissedTrackerReportTest, SubjectCutsLongHostsToFiftyCharacters) {
    MissedTrackerReport report = build(sampleResult());
    report.host = std::string(51, 'h');
    EXPECT_EQ(report.subject(), "[Missed Tracker] " + std::string(50, 'h') + " - Linux - v0.1.0");
    report.host = std::string(50, 'h');
    EXPECT_EQ(report.subject(), "[Missed Tracker] " + std::string(50, 'h') + " - Linux - v0.1.0");
    report.host = "";
    EXPECT_EQ(report.subject(), "[Missed Tracker] Unknown Host - Linux - v0.1.0");
}

TEST(MissedTrackerReportTest, CategoriesAreSortedByDisplayName) {
    CleanResult result = sampleResult();
    result.matchedCategories = {RuleCategoryType::socialMedia, RuleCategoryType::ecommerce,
                                RuleCategoryType::emailMarketing, RuleCategoryType::advertising,
                                RuleCategoryType::custom};
    const MissedTrackerReport report = build(result);
    EXPECT_EQ(bodyLines(report)[24],
              "Advertising, Custom, E-commerce, Email Marketing, Social Media");
}

TEST(MissedTrackerReportTest, AppendixIsEmptyObjectWhenATextIsNotUTF8) {
    MissedTrackerReport report = build(sampleResult());
    report.userNote = "bad \xff byte";
    EXPECT_EQ(report.jsonAppendix(), "{}");
    const std::vector<std::string> lines = bodyLines(report);
    EXPECT_EQ(lines.back(), "{}");
    EXPECT_EQ(lines[6], report.originalURL) << "the rest of the body must stay";
}

TEST(MissedTrackerReportTest, MailtoCarriesSubjectAndBodyAsQueryItems) {
    const MissedTrackerReport report = build(sampleResult(), "a & b = c?\n#1");
    const auto mailto = report.mailtoURL();
    ASSERT_TRUE(mailto);
    const std::string prefix = "mailto:" + std::string(config::kMissedTrackerReportAddress) + "?";
    EXPECT_EQ(mailto->rfind(prefix, 0), 0u) << *mailto;
    const auto url = URLComponents::parse(*mailto);
    ASSERT_TRUE(url) << "not a valid URL: " << *mailto;
    const auto items = url->queryItems();
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 2u);
    EXPECT_EQ((*items)[0], (URLQueryItem{"subject", report.subject()}));
    EXPECT_EQ((*items)[1], (URLQueryItem{"body", report.bodyText()}));
    EXPECT_TRUE(report.mailtoIsSafeLength());
}

// Each "a" in the note adds one character to the body line and one to the
// appendix; a quote adds "%22" there and "%5C%22" in the appendix. Mixing the
// two reaches any length, so the limit can be tested on both sides.
TEST(MissedTrackerReportTest, MailtoLengthLimitIsInclusive) {
    MissedTrackerReport report = build(sampleResult());
    const auto lengthWith = [&report](const std::string& note) {
        report.userNote = note;
        return report.mailtoURL().value().size();
    };
    const std::size_t plain = lengthWith("a");
    const std::size_t quoted = lengthWith("a\"");
    const auto noteOfLength = [&](std::size_t target) {
        if ((target - plain) % 2 == 0) {
            return std::string(1 + (target - plain) / 2, 'a');
        }
        return "a\"" + std::string((target - quoted) / 2, 'a');
    };
    const std::size_t limit = MissedTrackerReport::mailtoLengthLimit;
    ASSERT_EQ(lengthWith(noteOfLength(limit)), limit);
    EXPECT_TRUE(report.mailtoIsSafeLength());
    ASSERT_EQ(lengthWith(noteOfLength(limit + 1)), limit + 1);
    EXPECT_FALSE(report.mailtoIsSafeLength());
    EXPECT_TRUE(report.mailtoURL()) << "a long link still exists";
}

TEST(MissedTrackerReportTest, PlatformsAndSurfaces) {
    EXPECT_EQ(MissedTrackerReport::currentPlatform(), Platform::linux);
    std::vector<std::string_view> names;
    for (Platform platform : allCases<MissedTrackerReport::Platform>()) {
        names.push_back(rawValue(platform));
        EXPECT_EQ(enumFromRawValue<MissedTrackerReport::Platform>(rawValue(platform)), platform);
    }
    EXPECT_EQ(names, (std::vector<std::string_view>{"macOS", "iOS", "Windows", "Linux"}));
    std::vector<std::string_view> surfaces;
    for (Surface surface : allCases<MissedTrackerReport::Surface>()) {
        surfaces.push_back(rawValue(surface));
        EXPECT_EQ(enumFromRawValue<MissedTrackerReport::Surface>(rawValue(surface)), surface);
    }
    EXPECT_EQ(surfaces,
              (std::vector<std::string_view>{"Clipboard", "Manual Clean", "Share Extension",
                                             "Safari Extension", "Browser Extension"}));
    // Here the browser extension is Firefox's or a Chromium browser's, not Safari's.
    EXPECT_EQ(MissedTrackerReport::extensionSurface(), Surface::browserExtension);
    EXPECT_FALSE(enumFromRawValue<MissedTrackerReport::Platform>("linux"));
    EXPECT_FALSE(enumFromRawValue<MissedTrackerReport::Surface>("clipboard"));
    EXPECT_EQ(MissedTrackerReport::recipientEmail(), config::kMissedTrackerReportAddress);
}

TEST(MissedTrackerReportTest, RecordJsonRoundTripsWithFractionalSeconds) {
    const MissedTrackerReport full = build(sampleResult());
    const auto back = MissedTrackerReport::decode(full.encoded());
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, full);
    EXPECT_EQ(full.toJson()["createdAt"], "2026-12-09T08:04:45.25Z");

    CleanResult plain;
    const MissedTrackerReport sparse = build(plain, "", std::nullopt, std::nullopt, std::nullopt);
    const Json json = sparse.toJson();
    EXPECT_FALSE(json.contains("host"));
    EXPECT_FALSE(json.contains("appBuild"));
    EXPECT_EQ(MissedTrackerReport::decode(sparse.encoded()).valueOr(full), sparse);

    Json badPlatform = full.toJson();
    badPlatform["platform"] = "BeOS";
    EXPECT_FALSE(MissedTrackerReport::decode(dumpJson(badPlatform)));
    Json badDate = full.toJson();
    badDate["createdAt"] = "2026-12-09 08:04:45";
    EXPECT_FALSE(MissedTrackerReport::decode(dumpJson(badDate)));
    Json missing = full.toJson();
    missing.erase("userNote");
    EXPECT_FALSE(MissedTrackerReport::decode(dumpJson(missing)));
}

}  // namespace
}  // namespace scourlet
