// The two rule files that ship in the resource bundle: they must decode, every
// pattern must compile as the engine compiles it, and together they must strip
// the common trackers of the sites people copy links from while leaving the
// parameters those sites need. The checks here read the files with Regex
// directly, so a fault in a file is told apart from a fault in the engine.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/PercentEncoding.h"
#include "ScourletCore/platform/Regex.h"
#include "ScourletCore/platform/ResourceBundle.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/rules/ProvidersFile.h"
#include "ScourletCore/rules/RuleCategoryType.h"
#include "ScourletCore/rules/RulesEngine.h"

namespace scourlet {
namespace {

constexpr std::string_view kShippedFiles[] = {"data.min", "scourlet-supplementary"};

std::optional<Regex> compileLikeTheEngine(std::string_view pattern) {
    return Regex::compile(pattern, RegexOptions::caseInsensitive);
}

std::optional<Regex> compileNameRule(std::string_view rule) {
    return compileLikeTheEngine("^" + std::string(rule) + "$");
}

// True when `pattern` has a "|" outside every group and character class:
// wrapped as "^" + pattern + "$" it would split into two unanchored halves.
bool hasTopLevelAlternation(std::string_view pattern) {
    int depth = 0;
    bool inClass = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\') {
            ++i;
        } else if (inClass) {
            inClass = c != ']';
        } else if (c == '[') {
            inClass = true;
            // A "]" right after "[" or "[^" is a member, not the end of the set.
            if (i + 1 < pattern.size() && pattern[i + 1] == '^') {
                ++i;
            }
            if (i + 1 < pattern.size() && pattern[i + 1] == ']') {
                ++i;
            }
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == '|' && depth == 0) {
            return true;
        }
    }
    return false;
}

TEST(TopLevelAlternationTest, LooksOnlyOutsideGroupsAndSets) {
    EXPECT_TRUE(hasTopLevelAlternation("a|b"));
    EXPECT_TRUE(hasTopLevelAlternation("(a)|b"));
    EXPECT_FALSE(hasTopLevelAlternation("(?:a|b)"));
    EXPECT_FALSE(hasTopLevelAlternation("[|]x"));
    EXPECT_FALSE(hasTopLevelAlternation("[]|]x"));
    EXPECT_FALSE(hasTopLevelAlternation("a\\|b"));
}

struct NamedRegex {
    Regex regex;
    std::string pattern;
};

// One provider of a shipped file, compiled as the engine compiles it.
struct ShippedProvider {
    std::string name;
    RuleCategoryType category;
    Regex url;
    std::vector<Regex> exceptions;
    std::vector<NamedRegex> rules;
    std::vector<NamedRegex> referral;
    std::vector<NamedRegex> rawRules;
    std::vector<NamedRegex> redirections;
};

class ShippedRuleFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const ResourceBundle bundle(SCOURLET_BUNDLE_DIR);
        for (const std::string_view file : kShippedFiles) {
            const auto data = bundle.dataForResource(file, "json");
            ASSERT_TRUE(data.has_value()) << file << ".json is missing from the bundle";
            auto decoded = ProvidersFile::decode(*data);
            ASSERT_TRUE(decoded.ok()) << file << ": " << decoded.error().message;
            ASSERT_FALSE(decoded->providers().empty()) << file;
            files_.emplace(std::string(file), std::move(*decoded));
        }
        for (const std::string_view file : kShippedFiles) {
            for (const auto& [name, provider] : files_.at(std::string(file)).providers()) {
                compile(name, provider);
            }
        }
    }

    static void compile(const std::string& name, const Provider& provider) {
        auto url = compileLikeTheEngine(provider.urlPattern());
        if (!url) {
            return;  // reported by EveryPatternCompilesAsTheEngineCompilesIt
        }
        ShippedProvider compiled{
            name, RulesEngine::categorize(name, provider), *url, {}, {}, {}, {}, {}};
        for (const std::string& pattern : provider.exceptions()) {
            if (auto re = compileLikeTheEngine(pattern)) {
                compiled.exceptions.push_back(*re);
            }
        }
        const auto addAll = [](const std::vector<std::string>& patterns, bool wholeName,
                               std::vector<NamedRegex>& into) {
            for (const std::string& pattern : patterns) {
                if (auto re =
                        wholeName ? compileNameRule(pattern) : compileLikeTheEngine(pattern)) {
                    into.push_back({*re, pattern});
                }
            }
        };
        addAll(provider.rules(), true, compiled.rules);
        addAll(provider.referralMarketing(), true, compiled.referral);
        addAll(provider.rawRules(), false, compiled.rawRules);
        addAll(provider.redirections(), false, compiled.redirections);
        providers_.push_back(std::move(compiled));
    }

    // The providers that apply to `url`: their URL pattern matches the link as
    // the engine normalizes it and none of their exceptions does.
    static std::vector<const ShippedProvider*> applying(std::string_view url) {
        const std::string normalized = RulesEngine::normalizedForMatching(url);
        std::vector<const ShippedProvider*> result;
        for (const ShippedProvider& provider : providers_) {
            if (!provider.url.matches(normalized)) {
                continue;
            }
            bool excepted = false;
            for (const Regex& exception : provider.exceptions) {
                excepted = excepted || exception.matches(normalized);
            }
            if (!excepted) {
                result.push_back(&provider);
            }
        }
        return result;
    }

    struct Strip {
        std::string provider;
        std::string rule;
        // Where the user finds the rule's switch.
        RuleCategoryType category;
    };

    // The first rule of an applying provider that removes the parameter `name`.
    static std::optional<Strip> strippingRule(std::string_view url, std::string_view name) {
        for (const ShippedProvider* provider : applying(url)) {
            for (const NamedRegex& rule : provider->rules) {
                if (rule.regex.matches(name)) {
                    return Strip{provider->name, rule.pattern, provider->category};
                }
            }
            for (const NamedRegex& rule : provider->referral) {
                if (rule.regex.matches(name)) {
                    return Strip{provider->name, rule.pattern, RuleCategoryType::referralMarketing};
                }
            }
        }
        return std::nullopt;
    }

    // The target of the first redirection that yields an http(s) link, as the
    // cleaner reads it: group 1 of the link as written, percent-decoded.
    static std::optional<std::string> unwrapped(std::string_view url) {
        for (const ShippedProvider* provider : applying(url)) {
            for (const NamedRegex& redirection : provider->redirections) {
                const auto match = redirection.regex.firstMatch(url);
                const auto group = match ? match->group(1, url) : std::nullopt;
                if (!group) {
                    continue;
                }
                std::string target = percentDecode(*group).value_or(std::string(*group));
                const std::string lower = asciiLowercased(std::string_view(target).substr(0, 8));
                if (lower.starts_with("http://") || lower.starts_with("https://")) {
                    return target;
                }
            }
        }
        return std::nullopt;
    }

    static inline std::map<std::string, ProvidersFile> files_;
    static inline std::vector<ShippedProvider> providers_;
};

TEST_F(ShippedRuleFilesTest, EveryPatternCompilesAsTheEngineCompilesIt) {
    for (const auto& [file, decoded] : files_) {
        for (const auto& [name, provider] : decoded.providers()) {
            SCOPED_TRACE(file + ": " + name);
            EXPECT_TRUE(compileLikeTheEngine(provider.urlPattern())) << provider.urlPattern();
            for (const auto* list : {&provider.exceptions(), &provider.rawRules()}) {
                for (const std::string& pattern : *list) {
                    EXPECT_TRUE(compileLikeTheEngine(pattern)) << pattern;
                }
            }
            for (const auto* list : {&provider.rules(), &provider.referralMarketing()}) {
                for (const std::string& rule : *list) {
                    EXPECT_TRUE(compileNameRule(rule)) << rule;
                    EXPECT_FALSE(hasTopLevelAlternation(rule)) << rule;
                }
            }
            for (const std::string& redirection : provider.redirections()) {
                const auto re = compileLikeTheEngine(redirection);
                ASSERT_TRUE(re) << redirection;
                EXPECT_GE(re->numberOfCaptureGroups(), 1u) << redirection;
            }
        }
    }
}

// The same rule id twice makes one switch shadow the other until the next load
// (the engine consults the first entry with an id), so no rule of the shipped
// files may share its id with another one or with a built-in fallback rule.
TEST_F(ShippedRuleFilesTest, NoRuleIdIsListedTwice) {
    std::map<std::string, std::string> owners{{"Analytics:utm_*", "built-in"}};
    for (const std::string_view param : RulesEngine::fallbackParams) {
        if (!param.starts_with("utm_")) {
            owners.emplace(std::string(rawValue(RulesEngine::fallbackCategory(param))) + ":" +
                               std::string(param),
                           "built-in");
        }
    }
    const auto claim = [&owners](const std::string& id, const std::string& provider) {
        const auto [it, inserted] = owners.emplace(id, provider);
        EXPECT_TRUE(inserted) << id << " of " << provider << " is also listed by " << it->second;
    };
    for (const auto& [file, decoded] : files_) {
        for (const auto& [name, provider] : decoded.providers()) {
            const std::string category(rawValue(RulesEngine::categorize(name, provider)));
            for (const auto* list : {&provider.rules(), &provider.rawRules()}) {
                for (const std::string& rule : *list) {
                    claim(category + ":" + rule, name);
                }
            }
            for (const std::string& rule : provider.referralMarketing()) {
                claim("Referral Marketing:" + rule, name);
            }
            for (const std::string& rule : provider.redirections()) {
                claim("Redirect Unwrapping:" + rule, name);
            }
        }
    }
}

// A rule for every link that covers a built-in fallback name in the fallback's
// own category would decide first, so the built-in entry's switch would no
// longer turn that parameter off.
TEST_F(ShippedRuleFilesTest, LeavesTheBuiltInNamesToTheBuiltInRules) {
    for (const ShippedProvider& provider : providers_) {
        if (!provider.url.matches("https://any.example/") ||
            !provider.url.matches("http://other.example/x?y#z")) {
            continue;
        }
        for (const NamedRegex& rule : provider.rules) {
            for (const std::string_view param : RulesEngine::fallbackParams) {
                if (RulesEngine::fallbackCategory(param) == provider.category) {
                    EXPECT_FALSE(rule.regex.matches(param))
                        << provider.name << ": " << rule.pattern << " covers " << param;
                }
            }
        }
    }
}

struct TrackedCase {
    std::string_view url;
    std::string_view param;
    RuleCategoryType category;
};

// Parameters that the built-in fallback rules remove everywhere under the same
// category (utm_*, fbclid, gclid, msclkid, mc_cid, _hsenc, igshid, ...) are
// left to those rules, so that one switch controls each; they are not listed.
TEST_F(ShippedRuleFilesTest, StripsTheCommonTrackers) {
    using enum RuleCategoryType;
    const TrackedCase cases[] = {
        // Every site.
        {"https://example.com/a", "itm_source", analytics},
        {"https://example.com/a", "ITM_Campaign", analytics},
        {"https://example.com/a", "_ga", analytics},
        {"https://example.com/a", "_gl", analytics},
        {"https://example.com/a", "srsltid", analytics},
        {"https://example.com/a", "s_kwcid", analytics},
        {"https://example.com/a", "adobe_mc", analytics},
        {"https://example.com/a", "ysclid", analytics},
        {"https://example.com/a", "_openstat", analytics},
        {"https://example.com/a", "_branch_match_id", analytics},
        {"https://example.com/a", "gbraid", advertising},
        {"https://example.com/a", "wbraid", advertising},
        {"https://example.com/a", "gad_source", advertising},
        {"https://example.com/a", "dclid", advertising},
        {"https://example.com/a", "tblci", advertising},
        {"https://example.com/a", "fb_action_ids", socialMedia},
        {"https://example.com/a", "__twitter_impression", socialMedia},
        {"https://example.com/a", "li_fat_id", socialMedia},
        {"https://example.com/a", "ScCid", socialMedia},
        {"https://example.com/a", "epik", socialMedia},
        {"https://example.com/a", "rdt_cid", socialMedia},
        {"https://example.com/a", "irclickid", referralMarketing},
        {"https://example.com/a", "cjevent", referralMarketing},
        {"https://example.com/a", "awc", referralMarketing},
        {"https://example.com/a", "__hstc", emailMarketing},
        {"https://example.com/a", "hsCtaTracking", emailMarketing},
        {"https://example.com/a", "mkt_tok", emailMarketing},
        {"https://example.com/a", "ck_subscriber_id", emailMarketing},
        {"https://example.com/a", "elqTrackId", emailMarketing},
        // Newer trackers of the supplementary file.
        {"https://example.com/a", "_bhlid", emailMarketing},
        {"https://example.com/a", "ml_subscriber_hash", emailMarketing},
        {"https://example.com/a", "_kx", emailMarketing},
        {"https://example.com/a", "__s", emailMarketing},
        {"https://example.com/a", "oly_enc_id", emailMarketing},
        {"https://example.com/a", "vero_id", emailMarketing},
        {"https://example.com/a", "mtm_campaign", analytics},
        {"https://example.com/a", "pk_campaign", analytics},
        {"https://example.com/a", "piwik_kwd", analytics},
        {"https://example.com/a", "s_cid", analytics},
        {"https://example.com/a", "ncid", analytics},
        {"https://example.com/a", "guccounter", analytics},
        {"https://example.com/a", "wickedid", analytics},
        {"https://example.com/a", "rb_clickid", analytics},
        // Search engines.
        {"https://www.google.com/search?q=a", "ved", analytics},
        {"https://www.google.co.uk/search?q=a", "ei", analytics},
        {"https://www.google.com/search?q=a", "sxsrf", analytics},
        {"https://www.google.com/search?q=a", "gs_lcrp", analytics},
        {"https://www.google.com/search?q=a", "sca_esv", analytics},
        {"https://www.google.com/search?q=a", "rlz", analytics},
        {"https://www.google.com/search?q=a", "gws_rd", analytics},
        {"https://www.google.com/maps/place/x", "g_ep", analytics},
        {"https://maps.app.goo.gl/abc", "g_st", analytics},
        {"https://www.bing.com/search?q=a", "cvid", advertising},
        {"https://www.bing.com/search?q=a", "form", advertising},
        {"https://duckduckgo.com/?q=a", "atb", analytics},
        // Social sites.
        {"https://www.youtube.com/watch?v=x", "si", socialMedia},
        {"https://youtu.be/x", "si", socialMedia},
        {"https://www.youtube.com/watch?v=x", "pp", socialMedia},
        {"https://www.youtube.com/watch?v=x", "feature", socialMedia},
        {"https://music.youtube.com/watch?v=x", "si", socialMedia},
        {"https://www.facebook.com/story.php", "mibextid", socialMedia},
        {"https://www.facebook.com/page", "__cft__[0]", socialMedia},
        {"https://www.facebook.com/share/p/x/", "rdid", socialMedia},
        {"https://www.instagram.com/p/x/", "igsh", socialMedia},
        {"https://www.threads.net/@u/post/x", "xmt", socialMedia},
        {"https://www.threads.com/@u/post/x", "xmt", socialMedia},
        {"https://x.com/u/status/1", "s", socialMedia},
        {"https://twitter.com/u/status/1", "t", socialMedia},
        {"https://x.com/u", "ref_src", socialMedia},
        {"https://www.tiktok.com/@u/video/1", "is_from_webapp", socialMedia},
        {"https://www.tiktok.com/@u/video/1", "sender_device", socialMedia},
        {"https://www.tiktok.com/@u/video/1", "_r", socialMedia},
        {"https://www.tiktok.com/@u/video/1", "_t", socialMedia},
        {"https://www.linkedin.com/posts/x", "trackingId", socialMedia},
        {"https://www.linkedin.com/posts/x", "trk", socialMedia},
        {"https://www.linkedin.com/posts/x", "rcm", socialMedia},
        {"https://www.reddit.com/r/x/comments/1/y/", "share_id", socialMedia},
        {"https://www.reddit.com/r/x/comments/1/y/", "$deep_link", socialMedia},
        {"https://www.reddit.com/r/x/", "ref_source", socialMedia},
        {"https://www.pinterest.com/pin/1/", "invite_code", socialMedia},
        {"https://open.spotify.com/track/x", "dlsi", analytics},
        {"https://open.spotify.com/playlist/x", "pi", analytics},
        // Shops.
        {"https://www.amazon.com/dp/B000TEST00", "pd_rd_r", ecommerce},
        {"https://www.amazon.co.uk/dp/B000TEST00", "pf_rd_p", ecommerce},
        {"https://www.amazon.de/dp/B000TEST00", "qid", ecommerce},
        {"https://www.amazon.com.au/dp/B000TEST00", "sr", ecommerce},
        {"https://www.amazon.com/s?k=a", "crid", ecommerce},
        {"https://www.amazon.com/s?k=a", "sprefix", ecommerce},
        {"https://www.amazon.com/dp/B000TEST00", "ref_", ecommerce},
        {"https://www.amazon.com/Widget/dp/B000TEST00", "keywords", ecommerce},
        {"https://www.amazon.com/dp/B000TEST00", "tag", referralMarketing},
        {"https://www.amazon.com/dp/B000TEST00", "linkCode", referralMarketing},
        {"https://www.ebay.com/itm/1", "_trkparms", ecommerce},
        {"https://www.ebay.co.uk/itm/1", "_trksid", ecommerce},
        {"https://www.ebay.com/itm/1", "mkcid", ecommerce},
        {"https://www.ebay.com/itm/1", "campid", referralMarketing},
        {"https://www.aliexpress.com/item/1.html", "spm", ecommerce},
        {"https://www.aliexpress.com/item/1.html", "scm", ecommerce},
        {"https://www.aliexpress.com/item/1.html", "algo_pvid", ecommerce},
        {"https://www.aliexpress.com/item/1.html", "aff_fcid", referralMarketing},
        {"https://www.etsy.com/listing/1/x", "click_key", ecommerce},
        {"https://www.etsy.com/listing/1/x", "ga_order", ecommerce},
        {"https://www.etsy.com/listing/1/x", "ref", ecommerce},
        {"https://www.walmart.com/ip/x/1", "athbdg", ecommerce},
        {"https://www.walmart.com/ip/x/1", "wmlspartner", referralMarketing},
        {"https://shop.example/products/mug", "_pos", ecommerce},
        {"https://shop.example/collections/all/products/mug", "_sid", ecommerce},
        // Media, apps and newsletters.
        {"https://medium.com/@u/post-1", "source", analytics},
        {"https://u.substack.com/p/post", "r", referralMarketing},
        {"https://www.imdb.com/title/tt1/", "ref_", analytics},
        {"https://apps.apple.com/app/id1", "ct", analytics},
        {"https://www.nytimes.com/2024/01/01/a.html", "smid", analytics},
        {"https://github.com/o/r/issues/1", "email_token", analytics},
    };
    for (const TrackedCase& c : cases) {
        SCOPED_TRACE(std::string(c.url) + " " + std::string(c.param));
        const auto strip = strippingRule(c.url, c.param);
        ASSERT_TRUE(strip.has_value()) << "no shipped rule removes it";
        EXPECT_EQ(rawValue(strip->category), rawValue(c.category))
            << strip->provider << ": " << strip->rule;
    }
}

struct KeptCase {
    std::string_view url;
    std::string_view param;
};

TEST_F(ShippedRuleFilesTest, KeepsTheParametersSitesNeed) {
    const KeptCase cases[] = {
        {"https://www.google.com/search?q=a", "q"},
        {"https://www.google.com/search?q=a", "tbm"},
        {"https://www.google.com/search?q=a", "udm"},
        {"https://www.google.com/search?q=a", "start"},
        {"https://www.google.com/search?q=a", "hl"},
        {"https://www.google.com/search?q=a", "btnI"},
        {"https://www.youtube.com/watch?v=x", "v"},
        {"https://www.youtube.com/watch?v=x", "t"},
        {"https://www.youtube.com/watch?v=x", "list"},
        {"https://www.youtube.com/watch?v=x", "index"},
        {"https://youtu.be/x", "t"},
        {"https://www.amazon.com/s?k=a", "k"},
        {"https://www.amazon.com/s?k=a", "i"},
        {"https://www.amazon.com/s?k=a", "rh"},
        {"https://www.amazon.com/s?k=a", "keywords"},
        {"https://www.amazon.com/s?k=a", "page"},
        {"https://www.amazon.com/b?node=1", "node"},
        {"https://www.amazon.com/gp/help/customer/display.html", "nodeId"},
        {"https://www.amazon.com/dp/B000TEST00", "th"},
        {"https://www.amazon.com/dp/B000TEST00", "psc"},
        {"https://www.amazon.com/dp/B000TEST00", "smid"},
        {"https://www.amazon.com/dp/B000TEST00", "id"},
        {"https://x.com/search?q=a", "q"},
        {"https://x.com/search?q=a", "f"},
        {"https://www.facebook.com/story.php", "story_fbid"},
        {"https://www.facebook.com/story.php", "id"},
        {"https://www.facebook.com/watch/", "v"},
        {"https://www.instagram.com/p/x/", "img_index"},
        {"https://www.reddit.com/r/x/comments/1/y/", "context"},
        {"https://www.reddit.com/r/x/", "sort"},
        {"https://www.tiktok.com/search", "q"},
        {"https://www.linkedin.com/search/results/all/", "keywords"},
        {"https://www.linkedin.com/jobs/view/1/", "currentJobId"},
        {"https://open.spotify.com/track/x", "t"},
        {"https://medium.com/@u/post-1", "sk"},
        {"https://www.nytimes.com/2024/01/01/a.html", "unlocked_article_code"},
        {"https://www.ebay.com/sch/i.html", "_nkw"},
        {"https://www.ebay.com/itm/1", "var"},
        {"https://www.etsy.com/search", "q"},
        {"https://www.walmart.com/search", "q"},
        {"https://www.aliexpress.com/w/wholesale-mug.html", "SearchText"},
        {"https://shop.example/products/mug", "variant"},
        {"https://www.bing.com/search?q=a", "q"},
        {"https://www.bing.com/search?q=a", "first"},
        {"https://duckduckgo.com/?q=a", "q"},
        {"https://duckduckgo.com/?q=a", "ia"},
        {"https://play.google.com/store/apps/details", "id"},
        {"https://play.google.com/store/apps/details", "hl"},
        {"https://docs.google.com/forms/d/e/x/viewform", "usp"},
        {"https://api.github.com/repos/o/r/contents/README.md", "ref"},
        {"https://gitlab.example/o/r/-/tree/main", "ref"},
        {"https://example.com/login", "referrer"},
        {"https://example.com/a", "id"},
        {"https://example.com/a", "page"},
        {"https://example.com/a", "token"},
    };
    for (const KeptCase& c : cases) {
        SCOPED_TRACE(std::string(c.url) + " " + std::string(c.param));
        const auto strip = strippingRule(c.url, c.param);
        EXPECT_FALSE(strip.has_value()) << strip->provider << ": " << strip->rule;
    }
}

struct WrapperCase {
    std::string url;
    std::string_view target;
};

TEST_F(ShippedRuleFilesTest, UnwrapsTheCommonRedirectWrappers) {
    const std::string manyItems = [] {
        std::string items;
        for (int i = 0; i < 5000; ++i) {
            items += "sa=t&";
        }
        return items;
    }();
    const WrapperCase cases[] = {
        {"https://www.google.com/url?sa=t&rct=j&q=&url=https%3A%2F%2Fexample.com%2Fa%3Fb%3D1&usg=x",
         "https://example.com/a?b=1"},
        {"https://www.google.com/url?q=https://example.com/&sa=D&ust=1", "https://example.com/"},
        {"https://www.google.de/url?q=http%3A%2F%2Fexample.com%2F", "http://example.com/"},
        {"https://www.google.com/aclk?sa=l&ai=x&adurl=https%3A%2F%2Fshop.example%2F",
         "https://shop.example/"},
        {"https://www.googleadservices.com/pagead/aclk?sa=L&ai=x&adurl=https://shop.example/p",
         "https://shop.example/p"},
        {"https://www.youtube.com/redirect?event=video_description&redir_token=x&q=https%3A%2F%2F"
         "example.com%2F&v=y",
         "https://example.com/"},
        {"https://l.facebook.com/l.php?u=https%3A%2F%2Fexample.com%2Fx%3Ffbclid%3D1&h=AT0",
         "https://example.com/x?fbclid=1"},
        {"https://lm.facebook.com/l.php?u=https%3A%2F%2Fexample.com%2F", "https://example.com/"},
        {"https://l.instagram.com/?u=https%3A%2F%2Fexample.com%2F&e=AT0", "https://example.com/"},
        {"https://l.threads.net/?u=https%3A%2F%2Fexample.com%2F&e=AT0", "https://example.com/"},
        {"https://www.linkedin.com/safety/go?url=https%3A%2F%2Fexample.com%2F&trk=x",
         "https://example.com/"},
        {"https://out.reddit.com/t3_abc?url=https%3A%2F%2Fexample.com%2F&token=x",
         "https://example.com/"},
        {"https://click.redditmail.com/CL0/https:%2F%2Fwww.reddit.com%2Fr%2Fx%2F/1/0100-00/abc=1",
         "https://www.reddit.com/r/x/"},
        {"https://duckduckgo.com/l/?uddg=https%3A%2F%2Fexample.com%2F&rut=abc",
         "https://example.com/"},
        {"https://nam12.safelinks.protection.outlook.com/?url=https%3A%2F%2Fexample.com%2F&data=x",
         "https://example.com/"},
        {"https://steamcommunity.com/linkfilter/?url=https://example.com/", "https://example.com/"},
        {"https://go.skimresources.com/?id=1X2&url=https%3A%2F%2Fshop.example%2F",
         "https://shop.example/"},
        // Many items before the target must not exhaust the matcher's limits.
        {"https://www.google.com/url?" + manyItems + "url=https%3A%2F%2Fexample.com%2F",
         "https://example.com/"},
    };
    for (const WrapperCase& c : cases) {
        SCOPED_TRACE(c.url.substr(0, 120));
        EXPECT_EQ(unwrapped(c.url), std::optional<std::string>(c.target));
    }
}

TEST_F(ShippedRuleFilesTest, LeavesLinksThatWrapNothing) {
    const std::string_view cases[] = {
        "https://www.google.com/search?q=https%3A%2F%2Fexample.com%2F",
        "https://www.google.com/url?q=hello",
        "https://www.google.com/url?aq=https%3A%2F%2Fexample.com%2F",
        "https://l.facebook.com/l.php?u=%2Flocal%2Fpath",
        "https://www.youtube.com/watch?v=x&q=https%3A%2F%2Fexample.com%2F",
        "https://example.com/url?q=https%3A%2F%2Fexample.org%2F",
    };
    for (const std::string_view url : cases) {
        SCOPED_TRACE(url);
        EXPECT_EQ(unwrapped(url), std::nullopt);
    }
}

TEST_F(ShippedRuleFilesTest, RemovesAmazonRefPathSegments) {
    const std::string url =
        "https://www.amazon.com/Widget/dp/B000TEST00/ref=sr_1_3?keywords=a&qid=1";
    std::string rewritten = url;
    for (const ShippedProvider* provider : applying(url)) {
        for (const NamedRegex& raw : provider->rawRules) {
            rewritten = raw.regex.replaceAllLiteral(rewritten, "");
        }
    }
    EXPECT_EQ(rewritten, "https://www.amazon.com/Widget/dp/B000TEST00?keywords=a&qid=1");
}

TEST_F(ShippedRuleFilesTest, HostPatternsStayWithinTheMatcherLimits) {
    // A host of thousands of labels: the subdomain prefix of the patterns must
    // neither miss the provider nor run into a limit.
    std::string url = "https://";
    for (int i = 0; i < 4000; ++i) {
        url += "a-b.";
    }
    url += "amazon.com/dp/B000TEST00";
    const auto strip = strippingRule(url, "pd_rd_r");
    ASSERT_TRUE(strip.has_value());
    EXPECT_EQ(strip->provider, "Amazon Tracking");
}

}  // namespace
}  // namespace scourlet
