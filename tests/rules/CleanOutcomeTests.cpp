#include "ScourletCore/rules/CleanOutcome.h"

#include <vector>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

CleanResult resultFor(const char* cleaned) {
    return CleanResult{.originalURL = "https://a.example/?utm_source=x",
                       .cleanedURL = cleaned,
                       .paramsRemoved = 1};
}

TEST(CleanOutcomeTest, KindsAndPayloads) {
    const CleanOutcome cleaned = CleanOutcome::cleaned(resultFor("https://a.example/"));
    EXPECT_EQ(cleaned.kind(), CleanOutcome::Kind::cleaned);
    ASSERT_NE(cleaned.cleanedResult(), nullptr);
    EXPECT_EQ(*cleaned.cleanedResult(), resultFor("https://a.example/"));
    EXPECT_EQ(cleaned.skippedHost(), nullptr);

    const CleanOutcome skipped = CleanOutcome::skippedDisabled("example.com");
    EXPECT_EQ(skipped.kind(), CleanOutcome::Kind::skippedDisabled);
    ASSERT_NE(skipped.skippedHost(), nullptr);
    EXPECT_EQ(*skipped.skippedHost(), "example.com");
    EXPECT_EQ(skipped.cleanedResult(), nullptr);

    for (const CleanOutcome& bare : {CleanOutcome::unchanged(), CleanOutcome::invalid()}) {
        EXPECT_EQ(bare.cleanedResult(), nullptr);
        EXPECT_EQ(bare.skippedHost(), nullptr);
    }
    EXPECT_EQ(CleanOutcome::unchanged().kind(), CleanOutcome::Kind::unchanged);
    EXPECT_EQ(CleanOutcome::invalid().kind(), CleanOutcome::Kind::invalid);
}

TEST(CleanOutcomeTest, EqualityNeedsSameKindAndPayload) {
    const std::vector<CleanOutcome> distinct = {
        CleanOutcome::cleaned(resultFor("https://a.example/")),
        CleanOutcome::cleaned(resultFor("https://a.example/other")),
        CleanOutcome::skippedDisabled("a.example"),
        CleanOutcome::skippedDisabled("b.example"),
        // An empty host must not make skippedDisabled look like a bare case.
        CleanOutcome::skippedDisabled(""),
        CleanOutcome::unchanged(),
        CleanOutcome::invalid(),
    };
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        for (std::size_t j = 0; j < distinct.size(); ++j) {
            EXPECT_EQ(distinct[i] == distinct[j], i == j) << i << " vs " << j;
        }
    }
    EXPECT_EQ(CleanOutcome::skippedDisabled("a.example"),
              CleanOutcome::skippedDisabled("a.example"));
}

TEST(CleanOutcomeTest, ResultCanBeMovedOut) {
    CleanOutcome outcome = CleanOutcome::cleaned(resultFor("https://a.example/"));
    CleanResult taken = std::move(*outcome.cleanedResult());
    EXPECT_EQ(taken.cleanedURL, "https://a.example/");
}

}  // namespace
}  // namespace scourlet
