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
        // Not a field rule, yet still named: what the file is.
        const auto rule = PrivacyServicesCatalog::brokenRule(c.payload);
        ASSERT_TRUE(rule.has_value()) << c.name;
        EXPECT_TRUE(rule->starts_with("it is not") || rule->starts_with("it holds a byte"))
            << c.name << ": " << *rule;
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

// Each change breaks one rule: verify() refuses it without detail, and
// brokenRule() names that rule and the service at fault.
TEST_F(CatalogVerifyTest, EachSingleFieldChangeIsRefusedAndItsRuleNamed) {
    using Change = std::function<void(FixtureCatalog&)>;
    auto service = [](FixtureCatalog& c) -> FixtureService& { return c.services.front(); };
    const std::string longURL = "https://a.example/" + std::string(512 - 18 + 1, 'p');
    const auto alpha = [](const std::string& rule) {
        return "service \"alpha\" (number 1 in \"services\"): " + rule;
    };
    const auto xcancel = [](const std::string& id, const std::string& rule) {
        return "service \"" + id + "\" (number 1 in \"services\"): " + rule;
    };
    const std::string generatedWindow =
        "\"generated\" must lie from 1789689600 (2026-09-18T00:00:00Z) to 4102444800 "
        "(2100-01-01T00:00:00Z); it is ";
    const std::string reviewedWindow =
        "\"reviewed\" must lie from 1789689600 to the catalog's \"generated\" (1800000000); it is ";
    const std::string order = "service ids must be unique and in ascending order, and ";
    const std::string url = "an https URL: a lower-case host";
    struct Case {
        const char* name;
        FixtureCatalog base;
        Change change;
        std::string says;  // how brokenRule() begins
    };
    const std::vector<Case> cases = {
        {"automatic failover", secondFormat(), [](auto& c) { c.automaticFailover = true; },
         "\"automaticFailover\" must be false"},
        {"product", secondFormat(), [](auto& c) { c.product = "scourlet"; },
         "\"product\" must be \"Scourlet\""},
        {"kind", secondFormat(), [](auto& c) { c.kind = "privacy-service"; },
         "\"kind\" must be \"privacy-services\""},
        {"schema 0", secondFormat(), [](auto& c) { c.schema = 0; },
         "\"schema\" must be 1 or 2; it is 0"},
        {"schema 3", secondFormat(), [](auto& c) { c.schema = 3; },
         "\"schema\" must be 1 or 2; it is 3"},
        {"version 0", secondFormat(), [](auto& c) { c.version = 0; },
         "\"version\" must be 1 to 9007199254740991; it is 0"},
        {"version 2^53", secondFormat(), [](auto& c) { c.version = 9007199254740992; },
         "\"version\" must be 1 to 9007199254740991; it is 9007199254740992"},
        {"generated too early", secondFormat(),
         [](auto& c) {
             c.generated = kEarliest - 1;
             for (auto& s : c.services)
                 s.reviewed = kEarliest - 1;
         },
         generatedWindow + "1789689599"},
        {"generated too late", secondFormat(), [](auto& c) { c.generated = kLatest + 1; },
         generatedWindow + "4102444801"},
        {"no services", secondFormat(), [](auto& c) { c.services.clear(); },
         "\"services\" must hold 1 to 32 services; it holds 0"},
        {"33 services", secondFormat(),
         [](auto& c) {
             c.services.clear();
             for (int i = 0; i < 33; ++i) {
                 c.services.push_back(
                     FixtureService::nitter("s" + std::to_string(100 + i), kFixtureReviewed));
             }
         },
         "\"services\" must hold 1 to 32 services; it holds 33"},
        {"equal ids", secondFormat(), [](auto& c) { c.services[1].id = "alpha"; },
         "service \"alpha\" (number 2 in \"services\"): " + order +
             "\"alpha\" appears twice; sort the services by \"id\""},
        {"ids out of order", secondFormat(),
         [](auto& c) { std::swap(c.services[0], c.services[1]); },
         "service \"alpha\" (number 2 in \"services\"): " + order +
             "\"alpha\" comes after \"beta\"; sort the services by \"id\""},
        {"upper-case id", secondFormat(), [&](auto& c) { service(c).id = "Alpha"; },
         "service \"Alpha\" (number 1 in \"services\"): \"id\" must have 1 to 64 characters from "
         "a-z, 0-9 and \"-\""},
        {"65-character id", secondFormat(), [&](auto& c) { service(c).id = std::string(65, 'a'); },
         "service \"" + std::string(65, 'a') + "\" (number 1 in \"services\"): \"id\" must have"},
        {"no display name", secondFormat(), [&](auto& c) { service(c).displayName.reset(); },
         alpha("\"displayName\" must be given: 1 to 80 bytes of printable ASCII, not only spaces")},
        {"empty display name", secondFormat(), [&](auto& c) { service(c).displayName = ""; },
         alpha("\"displayName\" must be given")},
        {"blank display name", secondFormat(), [&](auto& c) { service(c).displayName = "   "; },
         alpha("\"displayName\" must be given")},
        {"81-byte display name", secondFormat(),
         [&](auto& c) { service(c).displayName = std::string(81, 'n'); },
         alpha("\"displayName\" must be given")},
        {"no family", secondFormat(), [&](auto& c) { service(c).family.reset(); },
         alpha("\"family\" must be given: \"nitter\", \"bird-makeup\" or \"other\"")},
        {"unknown family", secondFormat(), [&](auto& c) { service(c).family = "Nitter"; },
         alpha("\"family\" must be given")},
        {"no history", secondFormat(), [&](auto& c) { service(c).history.reset(); },
         alpha("\"history\" must be given: at most 1024 bytes of printable ASCII (it may be "
               "empty)")},
        {"1025-byte history", secondFormat(),
         [&](auto& c) { service(c).history = std::string(1025, 'h'); },
         alpha("\"history\" must be given")},
        {"empty reason", secondFormat(), [&](auto& c) { service(c).reason = ""; },
         alpha("\"reason\" must have 1 to 512 bytes of printable ASCII, not only spaces")},
        {"513-byte reason", secondFormat(),
         [&](auto& c) { service(c).reason = std::string(513, 'r'); },
         alpha("\"reason\" must have 1 to 512 bytes")},
        {"unknown state", secondFormat(), [&](auto& c) { service(c).state = "Active"; },
         alpha("\"state\" must be \"active\", \"paused\" or \"retired\"")},
        {"reviewed before the earliest time", secondFormat(),
         [&](auto& c) { service(c).reviewed = kEarliest - 1; },
         alpha(reviewedWindow + "1789689599")},
        {"reviewed after production", secondFormat(),
         [&](auto& c) { service(c).reviewed = c.generated + 1; },
         alpha(reviewedWindow + "1800000001")},
        {"shapes unsorted", secondFormat(),
         [&](auto& c) {
             service(c).shapes = {"status", "profile"};
         },
         alpha("\"shapes\" must be sorted without repeats, each \"profile\" or \"status\"")},
        {"shapes repeated", secondFormat(),
         [&](auto& c) {
             service(c).shapes = {"status", "status"};
         },
         alpha("\"shapes\" must be sorted")},
        {"unknown shape", secondFormat(),
         [&](auto& c) {
             service(c).shapes = {"profile", "video"};
         },
         alpha("\"shapes\" must be sorted")},
        {"source hosts unsorted", secondFormat(),
         [&](auto& c) { std::swap(service(c).sourceHosts[0], service(c).sourceHosts[1]); },
         alpha("\"sourceHosts\" must be exactly [\"" + testing::catalogSourceHosts().front() +
               "\",")},
        {"a source host missing", secondFormat(),
         [&](auto& c) { service(c).sourceHosts.pop_back(); }, alpha("\"sourceHosts\" must be")},
        {"an extra source host", secondFormat(),
         [&](auto& c) { service(c).sourceHosts.push_back("z.com"); },
         alpha("\"sourceHosts\" must be")},
        {"http destination", secondFormat(),
         [&](auto& c) { service(c).destination = "http://alpha.example"; },
         alpha("\"destination\" must be empty or, in at most 512 bytes, " + url)},
        {"destination with a port", secondFormat(),
         [&](auto& c) { service(c).destination = "https://alpha.example:8443"; },
         alpha("\"destination\" must be empty or")},
        {"destination with a query", secondFormat(),
         [&](auto& c) { service(c).destination = "https://alpha.example/?a=1"; },
         alpha("\"destination\" must be empty or")},
        {"destination with upper case", secondFormat(),
         [&](auto& c) { service(c).destination = "https://Alpha.example"; },
         alpha("\"destination\" must be empty or")},
        {"destination with user", secondFormat(),
         [&](auto& c) { service(c).destination = "https://u@alpha.example"; },
         alpha("\"destination\" must be empty or")},
        {"destination over 512 bytes", secondFormat(),
         [&](auto& c) { service(c).destination = longURL; },
         alpha("\"destination\" must be empty or")},
        {"bad operator URL", secondFormat(),
         [&](auto& c) { service(c).operatorURL = "https://op.example#x"; },
         alpha("\"operatorURL\" must be empty or, in at most 512 bytes, " + url)},
        {"empty source URL", secondFormat(), [&](auto& c) { service(c).sourceURL = ""; },
         alpha("\"sourceURL\" must be, in at most 512 bytes, " + url)},
        {"source URL over 512 bytes", secondFormat(),
         [&](auto& c) { service(c).sourceURL = longURL; }, alpha("\"sourceURL\" must be")},
        {"first format with two services", firstFormat(),
         [](auto& c) { c.services.push_back(c.services.front()); },
         "a schema 1 catalog holds exactly one service; this one holds 2"},
        {"first format with a display name", firstFormat(),
         [&](auto& c) { service(c).displayName = "X"; },
         xcancel("xcancel",
                 "a schema 1 service has no \"displayName\", \"family\" or \"history\"")},
        {"first format with a family", firstFormat(), [&](auto& c) { service(c).family = "other"; },
         xcancel("xcancel", "a schema 1 service has no")},
        {"first format with a history", firstFormat(), [&](auto& c) { service(c).history = ""; },
         xcancel("xcancel", "a schema 1 service has no")},
        {"first format with another id", firstFormat(),
         [&](auto& c) { service(c).id = "xcancel-com"; },
         xcancel("xcancel-com", "the \"id\" of a schema 1 service must be \"xcancel\"")},
        {"first format with both shapes", firstFormat(),
         [&](auto& c) {
             service(c).shapes = {"profile", "status"};
         },
         xcancel("xcancel", "\"shapes\" must be exactly [\"status\"] in a schema 1 catalog")},
        {"first format with another destination", firstFormat(),
         [&](auto& c) { service(c).destination = "https://xcancel.com/"; },
         xcancel("xcancel",
                 "\"destination\" must be exactly \"https://xcancel.com\" in a schema 1 catalog")},
        {"first format with a blank reason", firstFormat(),
         [&](auto& c) { service(c).reason = "  "; },
         xcancel("xcancel", "\"reason\" must hold printable ASCII only and not be blank")},
        {"first format with an unknown state", firstFormat(),
         [&](auto& c) { service(c).state = "gone"; }, xcancel("xcancel", "\"state\" must be")},
        {"first format reviewed after production", firstFormat(),
         [&](auto& c) { service(c).reviewed = c.generated + 1; },
         xcancel("xcancel", reviewedWindow + "1800000001")},
        {"first format with a bad source URL", firstFormat(),
         [&](auto& c) { service(c).sourceURL = "ftp://source.example"; },
         xcancel("xcancel", "\"sourceURL\" must be " + url)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureCatalog catalog = c.base;
        c.change(catalog);
        auto result = verifyCatalog(catalog);
        ASSERT_FALSE(result.ok());
        EXPECT_TRUE(result.error().isRejected()) << result.error().message;
        const auto rule = PrivacyServicesCatalog::brokenRule(catalog.text());
        ASSERT_TRUE(rule.has_value());
        EXPECT_EQ(rule->rfind(c.says, 0), 0u) << *rule;
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
        EXPECT_EQ(PrivacyServicesCatalog::brokenRule(catalog.text()), std::nullopt) << c.name;
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
    EXPECT_EQ(PrivacyServicesCatalog::brokenRule(catalog.text()),
              "it has 32769 bytes, more than the 32768 a catalog may have");
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
