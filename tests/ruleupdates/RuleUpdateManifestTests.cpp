#include "ScourletCore/ruleupdates/RuleUpdateManifest.h"

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/ruleupdates/RuleUpdateChannel.h"

namespace scourlet {
namespace {

using Kind = RuleUpdateManifest::File::Kind;
using namespace std::chrono;

const std::string kDigest(64, 'a');

Json fileEntry(std::string kind, std::string path, std::string url = {},
               std::string sha = kDigest) {
    if (url.empty()) {
        url = "https://updates.example/scourlet/rules/2026.03.01.1/" + path;
    }
    return Json{{"kind", kind}, {"path", path}, {"url", url}, {"sha256", sha}, {"bytes", 10}};
}

Json validManifest() {
    return Json{{"product", "Scourlet"},
                {"kind", "rules"},
                {"schemaVersion", 1},
                {"currentVersion", "2026.03.01.1"},
                {"publishedAt", "2026-03-01T08:00:00Z"},
                {"minAppVersion", "1.0"},
                {"sourceSummary",
                 {{"clearurls",
                   {{"source", "https://github.com/ClearURLs/Rules"},
                    {"upstreamCommit", "abc123"},
                    {"reviewedAt", "2026-02-28T10:00:00+01:00"}}},
                  {"scourletSupplementary", {{"version", "7"}}}}},
                {"files",
                 Json::array({fileEntry("clearurls", "data.min.json"),
                              fileEntry("scourlet-supplementary", "scourlet-supplementary.json")})},
                {"notes", Json::array({"First release"})}};
}

Result<RuleUpdateManifest, DecodingError> decode(const Json& json) {
    return RuleUpdateManifest::decode(json.dump());
}

TEST(RuleUpdateChannelTest, IdsNamesAndManifestURLs) {
    EXPECT_EQ(allCases<RuleUpdateChannel>().size(), 2u);
    EXPECT_EQ(allCases<RuleUpdateChannel>()[0], RuleUpdateChannel::stable);
    EXPECT_EQ(id(RuleUpdateChannel::beta), "beta");
    EXPECT_EQ(displayName(RuleUpdateChannel::stable), "Stable");
    EXPECT_EQ(displayName(RuleUpdateChannel::beta), "Beta");
    EXPECT_EQ(enumFromRawValue<RuleUpdateChannel>("Beta"), std::nullopt);
    EXPECT_EQ(manifestURL(RuleUpdateChannel::stable, "rules.fixture.example"),
              "https://rules.fixture.example/scourlet/rules/manifest.json");
    EXPECT_EQ(manifestURL(RuleUpdateChannel::beta, "rules.fixture.example"),
              "https://rules.fixture.example/scourlet/rules/beta/manifest.json");
}

TEST(RuleUpdateManifestTest, DecodesEveryFieldAndEncodesBack) {
    const auto manifest = decode(validManifest());
    ASSERT_TRUE(manifest.ok()) << manifest.error().message;
    EXPECT_EQ(manifest->schemaVersion, 1);
    EXPECT_EQ(manifest->publishedAt, sys_days{2026y / March / 1} + 8h);
    ASSERT_TRUE(manifest->sourceSummary && manifest->sourceSummary->clearurls);
    // The offset is taken into account: 10:00 at +01:00 is 09:00 UTC.
    EXPECT_EQ(manifest->sourceSummary->clearurls->reviewedAt, sys_days{2026y / February / 28} + 9h);
    EXPECT_EQ(manifest->sourceSummary->scourletSupplementary->version, "7");
    ASSERT_EQ(manifest->files.size(), 2u);
    EXPECT_EQ(manifest->files[1].kind, Kind::scourletSupplementary);
    EXPECT_EQ(manifest->files[1].bytes, 10);
    EXPECT_EQ(manifest->notes, std::vector<std::string>{"First release"});
    EXPECT_TRUE(manifest->validate(1).ok());

    const auto again = RuleUpdateManifest::decode(manifest->encoded());
    ASSERT_TRUE(again.ok()) << again.error().message;
    EXPECT_EQ(*again, *manifest);
    EXPECT_NE(manifest->encoded().find("\"reviewedAt\":\"2026-02-28T09:00:00Z\""),
              std::string::npos);
}

TEST(RuleUpdateManifestTest, DecodingRules) {
    struct Case {
        const char* name;
        std::function<void(Json&)> change;
        bool decodes;
    };
    const Case cases[] = {
        {"unknown keys are ignored", [](Json& j) { j["extra"] = 1; }, true},
        {"null minAppVersion", [](Json& j) { j["minAppVersion"] = nullptr; }, true},
        {"no sourceSummary", [](Json& j) { j.erase("sourceSummary"); }, true},
        {"no bytes", [](Json& j) { j["files"][0].erase("bytes"); }, true},
        {"empty notes", [](Json& j) { j["notes"] = Json::array(); }, true},
        {"negative offset", [](Json& j) { j["publishedAt"] = "2026-03-01T08:00:00-05:30"; }, true},
        {"no notes", [](Json& j) { j.erase("notes"); }, false},
        {"no files", [](Json& j) { j.erase("files"); }, false},
        {"null product", [](Json& j) { j["product"] = nullptr; }, false},
        {"schema as text", [](Json& j) { j["schemaVersion"] = "1"; }, false},
        {"unknown kind", [](Json& j) { j["files"][0]["kind"] = "clearURLs"; }, false},
        {"bytes as text", [](Json& j) { j["files"][0]["bytes"] = "10"; }, false},
        {"empty url", [](Json& j) { j["files"][0]["url"] = ""; }, false},
        {"url with a space", [](Json& j) { j["files"][0]["url"] = "https://a b/x"; }, false},
        {"fractional seconds", [](Json& j) { j["publishedAt"] = "2026-03-01T08:00:00.5Z"; }, false},
        {"no zone", [](Json& j) { j["publishedAt"] = "2026-03-01T08:00:00"; }, false},
        {"no seconds", [](Json& j) { j["publishedAt"] = "2026-03-01T08:00Z"; }, false},
        {"30 February", [](Json& j) { j["publishedAt"] = "2026-02-30T08:00:00Z"; }, false},
        {"hour 24", [](Json& j) { j["publishedAt"] = "2026-03-01T24:00:00Z"; }, false},
        {"compact offset", [](Json& j) { j["publishedAt"] = "2026-03-01T08:00:00+0100"; }, false},
        {"bad reviewedAt",
         [](Json& j) { j["sourceSummary"]["clearurls"]["reviewedAt"] = "yesterday"; }, false},
        {"notes not text", [](Json& j) { j["notes"] = Json::array({1}); }, false},
    };
    for (const Case& c : cases) {
        Json json = validManifest();
        c.change(json);
        EXPECT_EQ(decode(json).ok(), c.decodes) << c.name;
    }
    EXPECT_FALSE(RuleUpdateManifest::decode("").ok());
    EXPECT_FALSE(RuleUpdateManifest::decode("[]").ok());
}

TEST(RuleUpdateManifestTest, ValidationStopsAtTheFirstFailedCheck) {
    struct Case {
        const char* name;
        std::function<void(Json&)> change;
        const char* failure;  // nullptr: passes
    };
    const Case cases[] = {
        {"product and kind both wrong",
         [](Json& j) {
             j["product"] = "scourlet";
             j["kind"] = "catalog";
         },
         "Unexpected product"},
        {"wrong kind", [](Json& j) { j["kind"] = "Rules"; }, "Unexpected manifest kind"},
        {"schema 0", [](Json& j) { j["schemaVersion"] = 0; }, nullptr},
        {"negative schema", [](Json& j) { j["schemaVersion"] = -3; }, nullptr},
        {"schema 2", [](Json& j) { j["schemaVersion"] = 2; }, "Unsupported rules schema"},
        {"blank version", [](Json& j) { j["currentVersion"] = " \n\t "; }, "Missing rules version"},
        {"only a Command Guard file",
         [](Json& j) {
             j["files"] = Json::array({fileEntry("command-guard", "command-guard-rules.json")});
         },
         "Missing ClearURLs rule file"},
        {"no supplementary file", [](Json& j) { j["files"].erase(1); },
         "Missing Scourlet supplementary rule file"},
        {"http beats a bad digest",
         [](Json& j) {
             j["files"][1] = fileEntry("scourlet-supplementary", "s.json", "http://x/s", "zz");
         },
         "Rule file URLs must use HTTPS"},
        {"capital scheme",
         [](Json& j) { j["files"][0]["url"] = "HTTPS://updates.example/data.min.json"; },
         "Rule file URLs must use HTTPS"},
        {"no scheme", [](Json& j) { j["files"][0]["url"] = "data.min.json"; },
         "Rule file URLs must use HTTPS"},
        {"63-digit digest", [](Json& j) { j["files"][1]["sha256"] = std::string(63, 'a'); },
         "Invalid SHA-256 for scourlet-supplementary.json"},
        {"upper-case digest", [](Json& j) { j["files"][0]["sha256"] = std::string(64, 'F'); },
         nullptr},
        {"slash in path", [](Json& j) { j["files"][0]["path"] = "rules/data.min.json"; },
         "Invalid rule file path"},
        {"two dots in a name", [](Json& j) { j["files"][0]["path"] = "data..min.json"; },
         "Invalid rule file path"},
        {"empty path", [](Json& j) { j["files"][0]["path"] = ""; }, nullptr},
        {"a bad Command Guard entry",
         [](Json& j) { j["files"].push_back(fileEntry("command-guard", "../cg.json")); },
         "Invalid rule file path"},
        {"a second ClearURLs entry is validated too",
         [](Json& j) {
             j["files"].push_back(fileEntry("clearurls", "other.json", "http://x/other.json"));
         },
         "Rule file URLs must use HTTPS"},
    };
    for (const Case& c : cases) {
        Json json = validManifest();
        c.change(json);
        const auto manifest = decode(json);
        ASSERT_TRUE(manifest.ok()) << c.name << ": " << manifest.error().message;
        const auto valid = manifest->validate(1);
        if (c.failure == nullptr) {
            EXPECT_TRUE(valid.ok()) << c.name << ": " << valid.error().errorDescription();
        } else {
            ASSERT_FALSE(valid.ok()) << c.name;
            EXPECT_EQ(valid.error(), RuleUpdateError::invalidManifest(c.failure)) << c.name;
        }
    }
}

TEST(RuleUpdateManifestTest, LookupsTakeTheFirstFileOfEachKind) {
    Json json = validManifest();
    json["files"].push_back(fileEntry("clearurls", "second.json"));
    json["files"].push_back(fileEntry("command-guard", "command-guard-rules.json"));
    const auto manifest = decode(json);
    ASSERT_TRUE(manifest.ok());
    EXPECT_EQ(manifest->clearURLsFile()->path, "data.min.json");
    EXPECT_EQ(manifest->supplementaryFile()->path, "scourlet-supplementary.json");
    EXPECT_EQ(manifest->commandGuardFile()->path, "command-guard-rules.json");
    EXPECT_EQ(decode(validManifest())->commandGuardFile(), std::nullopt);
}

}  // namespace
}  // namespace scourlet
