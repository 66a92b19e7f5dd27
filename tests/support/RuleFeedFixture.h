// Test fixtures for the signed rule feed: small rule files that compile,
// manifests that describe them on a fixture host, and releases signed at test
// time with a FixtureKey ("Scourlet rule-manifest v1\n" + manifest).
//
//   auto key = FixtureKey::generate("rules-test");
//   RuleRelease release("2026.03.01.1");
//   SignedRuleFeed::Record record = release.signedRecord(key);
//   std::string trust = keysetText({&key});
//
// The manifest is kept as JSON so a test can change one field and sign again.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/ruleupdates/SignedRuleFeed.h"
#include "support/FixtureSigner.h"

namespace scourlet::testing {

inline constexpr std::string_view kFixtureRulesHost = "rules.fixture.example";

// A providers file with one provider that removes the parameter `parameter`
// on "example.com"; the text differs per parameter, so releases differ.
std::string fixtureProvidersFile(std::string_view parameter);

// The envelope of `manifest` signed as the feed signs: over the header and
// the manifest bytes.
std::string signRuleManifest(std::string_view manifest, const FixtureKey& key);

struct RuleRelease {
    std::string version;
    std::string clear;
    std::string supplementary;
    Json manifest;  // describes the two files at the fixture host

    // A release of `version` whose files remove "utm_<serial>"-like
    // parameters of its own, so two versions never share bytes.
    explicit RuleRelease(std::string version_, std::string_view host = kFixtureRulesHost);

    std::string manifestText() const { return manifest.dump(); }
    SignedRuleFeed::Proof proof(const FixtureKey& key) const;
    SignedRuleFeed::Record signedRecord(const FixtureKey& key) const;
};

// The "files" entry of a manifest for `bytes` served at `url`.
Json ruleFileEntry(std::string_view kind, std::string_view path, std::string_view url,
                   std::string_view bytes);

}  // namespace scourlet::testing
