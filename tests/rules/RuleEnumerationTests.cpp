// Raw values of the rule enumerations are stored in user data, so they are
// checked here literally rather than derived from the code under test.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/rules/CleanOperationKind.h"
#include "ScourletCore/rules/RuleCategoryType.h"
#include "ScourletCore/rules/RuleEntry.h"

namespace scourlet {
namespace {

struct CategoryRow {
    RuleCategoryType type;
    std::string_view raw;
    std::string_view icon;
    std::string_view description;
};

const CategoryRow kCategories[] = {
    {RuleCategoryType::analytics, "Analytics", "chart.bar",
     "UTM parameters, Google Analytics, Adobe, Yandex"},
    {RuleCategoryType::socialMedia, "Social Media", "bubble.left.and.bubble.right",
     "Facebook, Twitter, Instagram, TikTok tracking"},
    {RuleCategoryType::advertising, "Advertising", "megaphone",
     "Google Ads, Microsoft Ads, ad tracking"},
    {RuleCategoryType::referralMarketing, "Referral Marketing", "arrow.triangle.branch",
     "Affiliate tags, referrer parameters"},
    {RuleCategoryType::redirectUnwrapping, "Redirect Unwrapping", "arrow.uturn.right",
     "Google/Facebook URL redirect wrappers"},
    {RuleCategoryType::ecommerce, "E-commerce", "cart", "Amazon ref tags, product tracking"},
    {RuleCategoryType::emailMarketing, "Email Marketing", "envelope",
     "Mailchimp, HubSpot parameters"},
    {RuleCategoryType::custom, "Custom", "wrench", "User-defined rules"},
};

TEST(RuleCategoryTypeTest, TextsAndOrderMatchTheTable) {
    ASSERT_EQ(std::size(kCategories), allCases<RuleCategoryType>().size());
    for (std::size_t i = 0; i < std::size(kCategories); ++i) {
        const CategoryRow& row = kCategories[i];
        SCOPED_TRACE(row.raw);
        EXPECT_EQ(allCases<RuleCategoryType>()[i], row.type);
        EXPECT_EQ(rawValue(row.type), row.raw);
        EXPECT_EQ(id(row.type), row.raw);
        EXPECT_EQ(icon(row.type), row.icon);
        EXPECT_EQ(description(row.type), row.description);
        EXPECT_EQ(enumFromRawValue<RuleCategoryType>(row.raw), row.type);
    }
}

TEST(RuleCategoryTypeTest, RawValueMustMatchExactly) {
    for (std::string_view raw : {"Ecommerce", "e-commerce", "E-Commerce", "analytics",
                                 "SocialMedia", " Custom", "Custom ", "", "Other"}) {
        EXPECT_EQ(enumFromRawValue<RuleCategoryType>(raw), std::nullopt) << raw;
    }
}

TEST(RuleCategoryTypeTest, JsonReadsOnlyKnownNames) {
    EXPECT_EQ(JsonValue<RuleCategoryType>::decode(Json("E-commerce"), "c"),
              RuleCategoryType::ecommerce);
    EXPECT_THROW(JsonValue<RuleCategoryType>::decode(Json("Ecommerce"), "c"), DecodingException);
    EXPECT_THROW(JsonValue<RuleCategoryType>::decode(Json(1), "c"), DecodingException);
    EXPECT_THROW(JsonValue<RuleCategoryType>::decode(Json(nullptr), "c"), DecodingException);
}

TEST(RuleSourceTest, RawValuesAndExactMatching) {
    const std::pair<RuleEntry::RuleSource, std::string_view> rows[] = {
        {RuleEntry::RuleSource::clearURLs, "ClearURLs"},
        {RuleEntry::RuleSource::fallback, "Built-in"},
        {RuleEntry::RuleSource::custom, "Custom"},
    };
    ASSERT_EQ(std::size(rows), allCases<RuleEntry::RuleSource>().size());
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(allCases<RuleEntry::RuleSource>()[i], rows[i].first);
        EXPECT_EQ(rawValue(rows[i].first), rows[i].second);
        EXPECT_EQ(enumFromRawValue<RuleEntry::RuleSource>(rows[i].second), rows[i].first);
    }
    for (std::string_view raw : {"clearurls", "Builtin", "fallback", "custom", ""}) {
        EXPECT_EQ(enumFromRawValue<RuleEntry::RuleSource>(raw), std::nullopt) << raw;
    }
}

TEST(CleanOperationKindTest, RawValuesAndExactMatching) {
    const std::pair<CleanOperationKind, std::string_view> rows[] = {
        {CleanOperationKind::localParameterRemoval, "local_parameter_removal"},
        {CleanOperationKind::offlineWrapperUnwrap, "offline_wrapper_unwrap"},
        {CleanOperationKind::offlinePathRewrite, "offline_path_rewrite"},
        {CleanOperationKind::privacyRedirect, "privacy_redirect"},
        {CleanOperationKind::networkResolution, "network_resolution"},
        {CleanOperationKind::functionalTransformation, "functional_transformation"},
    };
    ASSERT_EQ(std::size(rows), allCases<CleanOperationKind>().size());
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(allCases<CleanOperationKind>()[i], rows[i].first);
        EXPECT_EQ(rawValue(rows[i].first), rows[i].second);
        EXPECT_EQ(enumFromRawValue<CleanOperationKind>(rows[i].second), rows[i].first);
    }
    for (std::string_view raw :
         {"Local_Parameter_Removal", "localParameterRemoval", "privacy-redirect", ""}) {
        EXPECT_EQ(enumFromRawValue<CleanOperationKind>(raw), std::nullopt) << raw;
    }
}

}  // namespace
}  // namespace scourlet
