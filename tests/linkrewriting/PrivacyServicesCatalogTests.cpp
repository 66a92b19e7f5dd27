#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FixtureSigner.h"

namespace scourlet {
namespace {

using testing::envelopeText;
using testing::FixtureCatalog;
using testing::FixtureKey;
using testing::FixtureService;
using testing::keysetText;
using testing::kFixtureGenerated;
using testing::kFixtureReviewed;
using Verified = PrivacyServicesCatalog::Verified;

constexpr std::uint64_t kEarliest = PrivacyServicesCatalog::kEarliestGenerated;
constexpr std::uint64_t kLatest = PrivacyServicesCatalog::kLatestGenerated;

class CatalogVerifyTest : public ::testing::Test {
protected:
    const FixtureKey key = FixtureKey::generate("catalog-key");
    const std::string keys = keysetText({&key});

    static FixtureCatalog secondFormat() {
        FixtureCatalog catalog;
        catalog.generated = kFixtureGenerated;
        catalog.services = {FixtureService::nitter("alpha", kFixtureReviewed),
                            FixtureService::nitter("beta", kFixtureReviewed)};
        return catalog;
    }

    static FixtureCatalog firstFormat() {
        FixtureCatalog catalog;
        catalog.schema = 1;
        catalog.generated = kFixtureGenerated;
        catalog.services = {FixtureService::xcancelFirstFormat(kFixtureReviewed)};
        return catalog;
    }

    // Verifies `payload` with an envelope that really signs those bytes, so a
    // refusal can only come from the rule under test.
    Result<Verified, CatalogError> verifyText(const std::string& payload,
                                              const std::optional<Verified>& previous = {}) const {
        return PrivacyServicesCatalog::verify(payload, envelopeText(payload, key), keys, previous);
    }
    Result<Verified, CatalogError> verifyCatalog(
        const FixtureCatalog& catalog, const std::optional<Verified>& previous = {}) const {
        return verifyText(catalog.text(), previous);
    }
    Verified verified(const FixtureCatalog& catalog) const {
        auto result = verifyCatalog(catalog);
        EXPECT_TRUE(result.ok()) << catalog.text();
        return std::move(result).value();
    }
};

TEST_F(CatalogVerifyTest, BothFormatsVerifyAndKeepTheirBytes) {
    for (const FixtureCatalog& fixture : {secondFormat(), firstFormat()}) {
        const std::string payload = fixture.text();
        auto result = verifyText(payload);
        ASSERT_TRUE(result.ok()) << payload;
        EXPECT_EQ(result->bytes(), payload);
        EXPECT_EQ(result->catalog().version, 1u);
        EXPECT_EQ(result->catalog().services.size(), fixture.services.size());
        // The encoder writes exactly what the fixture wrote by hand.
        EXPECT_EQ(PrivacyServicesCatalog::canonical(result->catalog()), payload);
    }
    auto decoded = verified(secondFormat()).catalog().services.front();
    EXPECT_EQ(decoded.displayName, "Instance alpha");
    EXPECT_EQ(decoded.history, "");
    EXPECT_EQ(decoded.destination, "https://alpha.example");
}

TEST_F(CatalogVerifyTest, OnlyTheCanonicalFormIsAccepted) {
    const std::string payload = secondFormat().text();
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = payload;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    struct Case {
        const char* name;
        std::string payload;
    };
    const std::vector<Case> cases = {
        {"space after a colon", replaced("\"generated\":", "\"generated\": ")},
        {"pretty-printed", replaced("{\"automaticFailover\"", "{\n  \"automaticFailover\"")},
        {"keys out of order",
         replaced("\"automaticFailover\":false,\"generated\":" + std::to_string(kFixtureGenerated),
                  "\"generated\":" + std::to_string(kFixtureGenerated) +
                      ",\"automaticFailover\":false")},
        {"escaped slash", replaced("https://alpha", "https:\\/\\/alpha")},
        {"unknown key", payload.substr(0, payload.size() - 1) + ",\"zzz\":1}"},
        {"unknown key in a service",
         replaced("\"state\":\"active\"}", "\"state\":\"active\",\"zz\":0}")},
        {"escaped letter",
         replaced("\"kind\":\"privacy-services\"", "\"kind\":\"privacy-servic\\u0065s\"")},
        {"trailing newline", payload + "\n"},
        {"tab inside a string", replaced("Listed for", "Listed\tfor")},
        {"number with exponent", replaced("\"version\":1", "\"version\":1e0")},
    };
    for (const Case& c : cases) {
        auto result = verifyText(c.payload);
        ASSERT_FALSE(result.ok()) << c.name;
    }
    // The envelope too must be exactly canonical.
    const std::string envelope = envelopeText(payload, key);
    for (const std::string& variant : {envelope + "\n", "{\"algorithm\": " + envelope.substr(13),
                                       envelope.substr(0, envelope.size() - 1) + ",\"x\":1}"}) {
        EXPECT_FALSE(PrivacyServicesCatalog::verify(payload, variant, keys, {}).ok()) << variant;
    }
}

TEST_F(CatalogVerifyTest, DecodingErrorsPassThroughAndABadKeysetFailsFirst) {
    std::string mistyped = secondFormat().text();
    mistyped.replace(mistyped.find("\"version\":1"), 11, "\"version\":\"1\"");
    for (const std::string& payload :
         {std::string("[]"), std::string("{\"automaticFailover\":false}"), mistyped}) {
        auto result = verifyText(payload);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error().kind, CatalogError::Kind::decoding) << payload;
    }
    const std::string payload = secondFormat().text();
    auto badEnvelope = PrivacyServicesCatalog::verify(payload, "{\"algorithm\":1}", keys, {});
    ASSERT_FALSE(badEnvelope.ok());
    EXPECT_EQ(badEnvelope.error().kind, CatalogError::Kind::decoding);
    // The keyset is parsed before the payload is looked at.
    auto badKeyset = PrivacyServicesCatalog::verify("not json", "", "{}\n", {});
    ASSERT_FALSE(badKeyset.ok());
    EXPECT_TRUE(badKeyset.error().isRejected());
    // An empty keyset parses, and nothing verifies against it.
    EXPECT_FALSE(
        PrivacyServicesCatalog::verify(payload, envelopeText(payload, key), "{}", {}).ok());
}

TEST_F(CatalogVerifyTest, EachSingleFieldChangeIsRefused) {
    using Change = std::function<void(FixtureCatalog&)>;
    auto service = [](FixtureCatalog& c) -> FixtureService& { return c.services.front(); };
    const std::string longURL = "https://a.example/" + std::string(512 - 18 + 1, 'p');
    struct Case {
        const char* name;
        FixtureCatalog base;
        Change change;
    };
    const std::vector<Case> cases = {
        {"automatic failover", secondFormat(), [](auto& c) { c.automaticFailover = true; }},
        {"product", secondFormat(), [](auto& c) { c.product = "scourlet"; }},
        {"kind", secondFormat(), [](auto& c) { c.kind = "privacy-service"; }},
        {"schema 0", secondFormat(), [](auto& c) { c.schema = 0; }},
        {"schema 3", secondFormat(), [](auto& c) { c.schema = 3; }},
        {"version 0", secondFormat(), [](auto& c) { c.version = 0; }},
        {"version 2^53", secondFormat(), [](auto& c) { c.version = 9007199254740992; }},
        {"generated too early", secondFormat(),
         [](auto& c) {
             c.generated = kEarliest - 1;
             for (auto& s : c.services)
                 s.reviewed = kEarliest - 1;
         }},
        {"generated too late", secondFormat(), [](auto& c) { c.generated = kLatest + 1; }},
        {"no services", secondFormat(), [](auto& c) { c.services.clear(); }},
        {"33 services", secondFormat(),
         [](auto& c) {
             c.services.clear();
             for (int i = 0; i < 33; ++i) {
                 c.services.push_back(
                     FixtureService::nitter("s" + std::to_string(100 + i), kFixtureReviewed));
             }
         }},
        {"equal ids", secondFormat(), [](auto& c) { c.services[1].id = "alpha"; }},
        {"ids out of order", secondFormat(),
         [](auto& c) { std::swap(c.services[0], c.services[1]); }},
        {"upper-case id", secondFormat(), [&](auto& c) { service(c).id = "Alpha"; }},
        {"65-character id", secondFormat(), [&](auto& c) { service(c).id = std::string(65, 'a'); }},
        {"no display name", secondFormat(), [&](auto& c) { service(c).displayName.reset(); }},
        {"empty display name", secondFormat(), [&](auto& c) { service(c).displayName = ""; }},
        {"blank display name", secondFormat(), [&](auto& c) { service(c).displayName = "   "; }},
        {"81-byte display name", secondFormat(),
         [&](auto& c) { service(c).displayName = std::string(81, 'n'); }},
        {"no family", secondFormat(), [&](auto& c) { service(c).family.reset(); }},
        {"unknown family", secondFormat(), [&](auto& c) { service(c).family = "Nitter"; }},
        {"no history", secondFormat(), [&](auto& c) { service(c).history.reset(); }},
        {"1025-byte history", secondFormat(),
         [&](auto& c) { service(c).history = std::string(1025, 'h'); }},
        {"empty reason", secondFormat(), [&](auto& c) { service(c).reason = ""; }},
        {"513-byte reason", secondFormat(),
         [&](auto& c) { service(c).reason = std::string(513, 'r'); }},
        {"unknown state", secondFormat(), [&](auto& c) { service(c).state = "Active"; }},
        {"reviewed before the earliest time", secondFormat(),
         [&](auto& c) { service(c).reviewed = kEarliest - 1; }},
        {"reviewed after production", secondFormat(),
         [&](auto& c) { service(c).reviewed = c.generated + 1; }},
        {"shapes unsorted", secondFormat(),
         [&](auto& c) {
             service(c).shapes = {"status", "profile"};
         }},
        {"shapes repeated", secondFormat(),
         [&](auto& c) {
             service(c).shapes = {"status", "status"};
         }},
        {"unknown shape", secondFormat(),
         [&](auto& c) {
             service(c).shapes = {"profile", "video"};
         }},
        {"source hosts unsorted", secondFormat(),
         [&](auto& c) { std::swap(service(c).sourceHosts[0], service(c).sourceHosts[1]); }},
        {"a source host missing", secondFormat(),
         [&](auto& c) { service(c).sourceHosts.pop_back(); }},
        {"an extra source host", secondFormat(),
         [&](auto& c) { service(c).sourceHosts.push_back("z.com"); }},
        {"http destination", secondFormat(),
         [&](auto& c) { service(c).destination = "http://alpha.example"; }},
        {"destination with a port", secondFormat(),
         [&](auto& c) { service(c).destination = "https://alpha.example:8443"; }},
        {"destination with a query", secondFormat(),
         [&](auto& c) { service(c).destination = "https://alpha.example/?a=1"; }},
        {"destination with upper case", secondFormat(),
         [&](auto& c) { service(c).destination = "https://Alpha.example"; }},
        {"destination with user", secondFormat(),
         [&](auto& c) { service(c).destination = "https://u@alpha.example"; }},
        {"destination over 512 bytes", secondFormat(),
         [&](auto& c) { service(c).destination = longURL; }},
        {"bad operator URL", secondFormat(),
         [&](auto& c) { service(c).operatorURL = "https://op.example#x"; }},
        {"empty source URL", secondFormat(), [&](auto& c) { service(c).sourceURL = ""; }},
        {"source URL over 512 bytes", secondFormat(),
         [&](auto& c) { service(c).sourceURL = longURL; }},
        {"first format with two services", firstFormat(),
         [](auto& c) { c.services.push_back(c.services.front()); }},
        {"first format with a display name", firstFormat(),
         [&](auto& c) { service(c).displayName = "X"; }},
        {"first format with a family", firstFormat(),
         [&](auto& c) { service(c).family = "other"; }},
        {"first format with a history", firstFormat(), [&](auto& c) { service(c).history = ""; }},
        {"first format with another id", firstFormat(),
         [&](auto& c) { service(c).id = "xcancel-com"; }},
        {"first format with both shapes", firstFormat(),
         [&](auto& c) {
             service(c).shapes = {"profile", "status"};
         }},
        {"first format with another destination", firstFormat(),
         [&](auto& c) { service(c).destination = "https://xcancel.com/"; }},
        {"first format with a blank reason", firstFormat(),
         [&](auto& c) { service(c).reason = "  "; }},
        {"first format with an unknown state", firstFormat(),
         [&](auto& c) { service(c).state = "gone"; }},
        {"first format reviewed after production", firstFormat(),
         [&](auto& c) { service(c).reviewed = c.generated + 1; }},
        {"first format with a bad source URL", firstFormat(),
         [&](auto& c) { service(c).sourceURL = "ftp://source.example"; }},
    };
    for (const Case& c : cases) {
        FixtureCatalog catalog = c.base;
        c.change(catalog);
        auto result = verifyCatalog(catalog);
        ASSERT_FALSE(result.ok()) << c.name;
        EXPECT_TRUE(result.error().isRejected()) << c.name << ": " << result.error().message;
    }
}

// An escaped control character is printable in the file and canonical, but
// the decoded text is not printable.
TEST_F(CatalogVerifyTest, DecodedTextsMustBePrintable) {
    for (const std::string& from : {std::string("Instance alpha"), std::string("Listed for")}) {
        std::string payload = secondFormat().text();
        const std::string to =
            from.substr(0, from.find(' ')) + "\\n" + from.substr(from.find(' ') + 1);
        payload.replace(payload.find(from), from.size(), to);
        ASSERT_EQ(PrivacyServicesCatalog::canonical(*PrivacyServicesCatalog::decode(payload)),
                  payload);
        EXPECT_FALSE(verifyText(payload).ok()) << payload;
    }
    std::string first = firstFormat().text();
    first.replace(first.find("Listed for"), 10, "Listed\\tfor");
    EXPECT_FALSE(verifyText(first).ok());
}

TEST_F(CatalogVerifyTest, BoundaryValuesAreAccepted) {
    using Change = std::function<void(FixtureCatalog&)>;
    auto service = [](FixtureCatalog& c) -> FixtureService& { return c.services.front(); };
    const std::string url512 = "https://a.example/" + std::string(512 - 18, 'p');
    struct Case {
        const char* name;
        FixtureCatalog base;
        Change change;
    };
    const std::vector<Case> cases = {
        {"version 2^53 - 1", secondFormat(), [](auto& c) { c.version = 9007199254740991; }},
        {"earliest production time", secondFormat(),
         [](auto& c) {
             c.generated = kEarliest;
             for (auto& s : c.services)
                 s.reviewed = kEarliest;
         }},
        {"latest production time", secondFormat(), [](auto& c) { c.generated = kLatest; }},
        {"32 services", secondFormat(),
         [](auto& c) {
             c.services.clear();
             for (int i = 0; i < 32; ++i) {
                 c.services.push_back(
                     FixtureService::nitter("s" + std::to_string(100 + i), kFixtureReviewed));
             }
         }},
        {"64-character id", secondFormat(),
         [&](auto& c) { c.services[1].id = "b" + std::string(63, '-'); }},
        {"80-byte display name", secondFormat(),
         [&](auto& c) { service(c).displayName = std::string(80, 'n'); }},
        {"1024-byte history", secondFormat(),
         [&](auto& c) { service(c).history = std::string(1024, 'h'); }},
        {"512-byte reason", secondFormat(),
         [&](auto& c) { service(c).reason = std::string(512, 'r'); }},
        {"no shapes", secondFormat(), [&](auto& c) { service(c).shapes.clear(); }},
        {"one shape", secondFormat(), [&](auto& c) { service(c).shapes = {"status"}; }},
        {"empty destination and operator", secondFormat(),
         [&](auto& c) {
             service(c).destination = "";
             service(c).operatorURL = "";
         }},
        {"512-byte URLs", secondFormat(),
         [&](auto& c) {
             service(c).destination = url512;
             service(c).sourceURL = url512;
         }},
        {"paused, retired and other families", secondFormat(),
         [](auto& c) {
             c.services[0].state = "paused";
             c.services[0].family = "bird-makeup";
             c.services[1].state = "retired";
             c.services[1].family = "other";
         }},
        {"second-format service with the id xcancel", secondFormat(),
         [](auto& c) { c.services[1].id = "xcancel"; }},
        {"reviewed at production time", secondFormat(),
         [&](auto& c) { service(c).reviewed = c.generated; }},
        {"first format, paused", firstFormat(), [&](auto& c) { service(c).state = "paused"; }},
    };
    for (const Case& c : cases) {
        FixtureCatalog catalog = c.base;
        c.change(catalog);
        auto result = verifyCatalog(catalog);
        EXPECT_TRUE(result.ok()) << c.name << ": " << (result.ok() ? "" : result.error().message);
    }
}

TEST_F(CatalogVerifyTest, PayloadSizeLimitIs32768Bytes) {
    FixtureCatalog catalog = secondFormat();
    catalog.services.clear();
    for (int i = 0; i < 30; ++i) {
        catalog.services.push_back(
            FixtureService::nitter("s" + std::to_string(100 + i), kFixtureReviewed));
    }
    const std::size_t base = catalog.text().size();
    ASSERT_LT(base, 32768u);
    std::size_t missing = 32768 - base;
    for (auto& s : catalog.services) {
        const std::size_t add = std::min<std::size_t>(missing, 1000);
        s.history->append(add, 'h');
        missing -= add;
    }
    ASSERT_EQ(missing, 0u);
    ASSERT_EQ(catalog.text().size(), 32768u);
    EXPECT_TRUE(verifyCatalog(catalog).ok());
    catalog.services.back().history->push_back('h');
    EXPECT_FALSE(verifyCatalog(catalog).ok());
}

class RollbackTest : public CatalogVerifyTest {
protected:
    FixtureCatalog version5() const {
        FixtureCatalog catalog = secondFormat();
        catalog.version = 5;
        catalog.services[0].destination = "https://alpha.example/";
        return catalog;
    }
};

TEST_F(RollbackTest, ACatalogMayOnlyMoveForward) {
    const Verified previous = verified(version5());
    using Change = std::function<void(FixtureCatalog&)>;
    struct Case {
        const char* name;
        Change change;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"the same bytes again", [](auto&) {}, true},
        {"older version", [](auto& c) { c.version = 4; }, false},
        {"same version, other bytes", [](auto& c) { c.services[1].reason = "Changed."; }, false},
        {"newer version", [](auto& c) { c.version = 6; }, true},
        {"newer version dropping an id",
         [](auto& c) {
             c.version = 6;
             c.services.pop_back();
         },
         false},
        {"newer version adding an id",
         [](auto& c) {
             c.version = 6;
             c.services.push_back(FixtureService::nitter("gamma", kFixtureReviewed));
         },
         true},
        {"older review of a kept id",
         [](auto& c) {
             c.version = 6;
             c.services[1].reviewed = kFixtureReviewed - 1;
         },
         false},
        {"moved destination",
         [](auto& c) {
             c.version = 6;
             c.services[1].destination = "https://beta2.example";
         },
         false},
        {"destination without its trailing slash",
         [](auto& c) {
             c.version = 6;
             c.services[0].destination = "https://alpha.example";
         },
         true},
        {"older production time",
         [](auto& c) {
             c.version = 6;
             c.generated = kFixtureGenerated - 1;
         },
         false},
    };
    for (const Case& c : cases) {
        FixtureCatalog next = version5();
        c.change(next);
        EXPECT_EQ(verifyCatalog(next, previous).ok(), c.accepted) << c.name;
    }
    // A first-format catalog cannot follow a second-format one.
    FixtureCatalog first = firstFormat();
    first.version = 7;
    EXPECT_FALSE(verifyCatalog(first, previous).ok());
}

TEST_F(RollbackTest, SecondFormatMayFollowFirstFormat) {
    const Verified previous = verified(firstFormat());
    FixtureCatalog next = secondFormat();
    next.version = 2;
    // Every id of the previous catalog must stay; its destination may change.
    EXPECT_FALSE(verifyCatalog(next, previous).ok());
    auto xcancel = FixtureService::nitter("xcancel", kFixtureReviewed);
    xcancel.destination = "";
    next.services.push_back(xcancel);
    EXPECT_TRUE(verifyCatalog(next, previous).ok());
}

class ChoicesTest : public CatalogVerifyTest {
protected:
    // Ids in ascending order; only "alpha" and "beta" can be offered.
    static FixtureCatalog mixed() {
        FixtureCatalog catalog;
        catalog.generated = kFixtureGenerated;
        auto make = [](std::string id) {
            return FixtureService::nitter(std::move(id), kFixtureReviewed);
        };
        auto alpha = make("alpha");
        auto beta = make("beta");
        beta.destination = "https://beta.example/";
        beta.shapes = {"status"};
        auto gamma = make("gamma");
        gamma.state = "paused";
        auto kappa = make("kappa");
        kappa.family = "other";
        auto mu = make("mu");
        mu.destination = "https://mu.example/nitter";
        auto nu = make("nu");
        nu.shapes.clear();
        auto omicron = make("omicron");
        omicron.destination = "https://x.com";
        auto rho = make("rho");
        rho.destination = "";
        auto xcancel = make("xcancel");
        catalog.services = {alpha, beta, gamma, kappa, mu, nu, omicron, rho, xcancel};
        return catalog;
    }
};

TEST_F(ChoicesTest, OnlyActiveNitterInstancesWithABareOriginAreOffered) {
    const Verified catalog = verified(mixed());
    std::vector<std::string> ids;
    for (const auto& service : catalog.choices(kFixtureGenerated)) {
        ids.push_back(service.id);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"alpha", "beta"}));
    EXPECT_TRUE(catalog.eligible("alpha"));
    EXPECT_TRUE(catalog.eligible("beta"));
    for (const char* id : {"gamma", "kappa", "mu", "nu", "omicron", "rho", "xcancel", "missing"}) {
        EXPECT_FALSE(catalog.eligible(id)) << id;
    }
}

TEST_F(ChoicesTest, TimeWindows) {
    FixtureCatalog fixture = mixed();
    fixture.services[3].reviewed = kFixtureReviewed - 1000;  // one older review
    const Verified catalog = verified(fixture);
    const std::uint64_t oldest = kFixtureReviewed - 1000;
    struct Case {
        std::uint64_t now;
        bool fresh;
    };
    const Case cases[] = {
        {kFixtureGenerated - 1, false},
        {kFixtureGenerated, true},
        {oldest + PrivacyServicesCatalog::kReviewWindow, true},
        {oldest + PrivacyServicesCatalog::kReviewWindow + 1, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(catalog.fresh(c.now), c.fresh) << c.now;
        EXPECT_EQ(catalog.choices(c.now).empty(), !c.fresh) << c.now;
        // Eligibility has no time test.
        EXPECT_TRUE(catalog.eligible("alpha")) << c.now;
    }
}

TEST_F(ChoicesTest, FirstFormatOffersNothingButCanBeFresh) {
    const Verified catalog = verified(firstFormat());
    EXPECT_TRUE(catalog.fresh(kFixtureGenerated));
    EXPECT_TRUE(catalog.choices(kFixtureGenerated).empty());
    EXPECT_FALSE(catalog.eligible("xcancel"));
}

}  // namespace
}  // namespace scourlet
