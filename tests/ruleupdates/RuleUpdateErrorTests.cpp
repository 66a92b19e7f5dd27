#include "ScourletCore/ruleupdates/RuleUpdateError.h"

#include <string>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

TEST(RuleUpdateErrorTest, DescriptionsPerKind) {
    struct Case {
        RuleUpdateError error;
        RuleUpdateError::Kind kind;
        const char* description;
    };
    const Case cases[] = {
        {RuleUpdateError::invalidManifest("Unexpected product"),
         RuleUpdateError::Kind::invalidManifest, "Invalid rules manifest: Unexpected product"},
        {RuleUpdateError::incompatibleAppVersion("2.1"),
         RuleUpdateError::Kind::incompatibleAppVersion, "Rules require Scourlet 2.1 or newer."},
        {RuleUpdateError::network("timed out"), RuleUpdateError::Kind::network,
         "Download failed: timed out"},
        {RuleUpdateError::missingFile("data.min.json"), RuleUpdateError::Kind::missingFile,
         "Rules bundle missing data.min.json."},
        {RuleUpdateError::hashMismatch("data.min.json"), RuleUpdateError::Kind::hashMismatch,
         "Downloaded rules failed integrity check: data.min.json."},
        {RuleUpdateError::invalidRules("No providers compiled"),
         RuleUpdateError::Kind::invalidRules,
         "Downloaded rules were invalid: No providers compiled"},
        {RuleUpdateError::fileSystem("disk full"), RuleUpdateError::Kind::fileSystem,
         "Could not save rules: disk full"},
        // The text is used as it is, even when empty.
        {RuleUpdateError::network(""), RuleUpdateError::Kind::network, "Download failed: "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.error.kind, c.kind) << c.description;
        EXPECT_EQ(c.error.errorDescription(), c.description);
    }
}

TEST(RuleUpdateErrorTest, EqualNeedsSameKindAndText) {
    EXPECT_EQ(RuleUpdateError::network("x"), RuleUpdateError::network("x"));
    EXPECT_NE(RuleUpdateError::network("x"), RuleUpdateError::network("y"));
    EXPECT_NE(RuleUpdateError::network("x"), RuleUpdateError::fileSystem("x"));
    EXPECT_NE(RuleUpdateError::missingFile("a"), RuleUpdateError::hashMismatch("a"));
}

}  // namespace
}  // namespace scourlet
