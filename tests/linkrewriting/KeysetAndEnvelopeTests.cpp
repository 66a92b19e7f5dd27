#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "support/FixtureSigner.h"

namespace scourlet {
namespace {

using testing::base64Text;
using testing::FixtureKey;
using testing::keysetText;
using Keyset = PrivacyServicesCatalog::Keyset;
using Envelope = PrivacyServicesCatalog::Envelope;

// base64 of the identity point encoding (0x01 and 31 zero bytes).
constexpr std::string_view kIdentityKey = "AQAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";

// The same base64 text with the lowest bit of the character at `index` flipped;
// at the last character before the padding that is a bit no byte uses.
std::string withStrayBit(std::string text, std::size_t index) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    text[index] = alphabet[alphabet.find(text[index]) ^ 1];
    return text;
}

std::string entry(std::string_view id, std::string_view key) {
    return "\"" + std::string(id) + "\":\"" + std::string(key) + "\"";
}

TEST(KeysetTest, EmptyAndValidKeysetsParse) {
    auto empty = PrivacyServicesCatalog::parseKeyset("{}");
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE(empty->empty());

    const auto a = FixtureKey::generate("a");
    const auto b = FixtureKey::generate(std::string(64, 'b'));
    auto two = PrivacyServicesCatalog::parseKeyset(keysetText({&a, &b}));
    ASSERT_TRUE(two.ok());
    EXPECT_EQ(*two, (Keyset{{"a", a.publicKeyBase64()}, {b.id, b.publicKeyBase64()}}));
}

TEST(KeysetTest, SixteenEntriesParseAndSeventeenDoNot) {
    std::vector<FixtureKey> keys;
    for (int i = 0; i < 17; ++i) {
        keys.push_back(FixtureKey::generate("key-" + std::string(1, static_cast<char>('a' + i))));
    }
    std::vector<const FixtureKey*> pointers;
    for (const auto& key : keys) {
        pointers.push_back(&key);
    }
    const std::vector<const FixtureKey*> sixteen(pointers.begin(), pointers.begin() + 16);
    auto parsed = PrivacyServicesCatalog::parseKeyset(keysetText(sixteen));
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->size(), 16u);
    EXPECT_FALSE(PrivacyServicesCatalog::parseKeyset(keysetText(pointers)).ok());
}

TEST(KeysetTest, EachViolationRefusesTheWholeKeyset) {
    const auto a = FixtureKey::generate("a");
    const auto b = FixtureKey::generate("b");
    const std::string ka = a.publicKeyBase64();
    const std::string kb = b.publicKeyBase64();
    const std::string strayBits = withStrayBit(ka, 42);

    struct Case {
        const char* name;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"empty text", ""},
        {"blank between the braces", "{ }"},
        {"trailing newline", "{}\n"},
        {"valid keyset with trailing newline", "{" + entry("a", ka) + "}\n"},
        {"lone comma", "{,}"},
        {"comma before the closing brace", "{" + entry("a", ka) + ",}"},
        {"two commas", "{" + entry("a", ka) + ",," + entry("b", kb) + "}"},
        {"no braces", entry("a", ka)},
        {"space after colon", "{\"a\": \"" + ka + "\"}"},
        {"descending ids", "{" + entry("b", kb) + "," + entry("a", ka) + "}"},
        {"same id twice", "{" + entry("a", ka) + "," + entry("a", kb) + "}"},
        {"65-character id", "{" + entry(std::string(65, 'a'), ka) + "}"},
        {"upper-case id", "{" + entry("A", ka) + "}"},
        {"underscore in id", "{" + entry("a_b", ka) + "}"},
        {"empty id", "{" + entry("", ka) + "}"},
        {"key without padding", "{\"a\":\"" + ka.substr(0, 43) + "\"}"},
        {"key with stray bits", "{" + entry("a", strayBits) + "}"},
        {"identity key", "{" + entry("a", kIdentityKey) + "}"},
        {"one weak key among good ones",
         "{" + entry("a", ka) + "," + entry("b", kb) + "," + entry("c", kIdentityKey) + "}"},
        {"non-printable byte", "{" + entry("a", ka) + "\x7f}"},
        {"over 4096 bytes", "{" + entry("a", ka) + std::string(4097, ' ') + "}"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(PrivacyServicesCatalog::parseKeyset(c.text).ok()) << c.name;
    }
}

class EnvelopeTest : public ::testing::Test {
protected:
    const FixtureKey key = FixtureKey::generate("catalog-key");
    const FixtureKey other = FixtureKey::generate("other-key");
    const std::string message = "signed bytes";
    const Keyset keys{{key.id, key.publicKeyBase64()}, {other.id, other.publicKeyBase64()}};

    Envelope validEnvelope() const {
        return Envelope{"Ed25519", key.id, base64Text(key.sign(message))};
    }
    bool passes(const Envelope& envelope, const Keyset& keyset) const {
        return PrivacyServicesCatalog::checkEnvelope(envelope, keyset, message).ok();
    }
    bool passes(const Envelope& envelope) const { return passes(envelope, keys); }
};

TEST_F(EnvelopeTest, ValidSignaturePasses) {
    EXPECT_TRUE(passes(validEnvelope()));
}

TEST_F(EnvelopeTest, EachSingleChangeIsRefused) {
    const std::string signature = key.sign(message);
    std::string highS = signature;  // S replaced by the group order
    const unsigned char order[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58,
                                     0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
                                     0,    0,    0,    0,    0,    0,    0,    0,
                                     0,    0,    0,    0,    0,    0,    0,    0x10};
    for (int i = 0; i < 32; ++i) {
        highS[32 + i] = static_cast<char>(order[i]);
    }
    std::string identityR = signature;  // R replaced by the identity point
    identityR.replace(0, 32, std::string(1, '\x01') + std::string(31, '\0'));
    std::string noPadding = base64Text(signature);
    noPadding.erase(noPadding.size() - 2);

    struct Case {
        const char* name;
        Envelope envelope;
    };
    const std::vector<Case> cases = {
        {"algorithm in lower case", {"ed25519", key.id, base64Text(signature)}},
        {"other algorithm", {"Ed448", key.id, base64Text(signature)}},
        {"empty key id", {"Ed25519", "", base64Text(signature)}},
        {"key id with upper case", {"Ed25519", "Catalog-key", base64Text(signature)}},
        {"65-character key id", {"Ed25519", std::string(65, 'a'), base64Text(signature)}},
        {"unknown key id", {"Ed25519", "missing", base64Text(signature)}},
        {"signed by another key", {"Ed25519", other.id, base64Text(signature)}},
        {"63-byte signature", {"Ed25519", key.id, base64Text(signature.substr(0, 63))}},
        {"65-byte signature", {"Ed25519", key.id, base64Text(signature + '\0')}},
        {"signature without padding", {"Ed25519", key.id, noPadding}},
        {"signature with stray bits", {"Ed25519", key.id, withStrayBit(base64Text(signature), 85)}},
        {"S equal to the group order", {"Ed25519", key.id, base64Text(highS)}},
        {"R is the identity", {"Ed25519", key.id, base64Text(identityR)}},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(passes(c.envelope)) << c.name;
    }
    EXPECT_FALSE(PrivacyServicesCatalog::checkEnvelope(validEnvelope(), keys, "other bytes").ok());
}

TEST_F(EnvelopeTest, KeysetEntriesAreCheckedAgainOnUse) {
    EXPECT_FALSE(passes(validEnvelope(), Keyset{}));
    // A map built without parseKeyset() is not trusted either.
    const std::string strayBits = withStrayBit(key.publicKeyBase64(), 42);
    EXPECT_FALSE(passes(validEnvelope(), Keyset{{key.id, strayBits}}));
    EXPECT_FALSE(passes(validEnvelope(), Keyset{{key.id, std::string(kIdentityKey)}}));
    EXPECT_FALSE(passes(validEnvelope(), Keyset{{key.id, base64Text(key.publicKey + "x")}}));
}

TEST(EnvelopeRecordTest, DecodesAndEncodesCanonically) {
    const std::string text = R"({"algorithm":"Ed25519","keyID":"k-1","signature":"a/b+"})";
    auto decoded = Envelope::decode(text);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(*decoded, (Envelope{"Ed25519", "k-1", "a/b+"}));
    EXPECT_EQ(PrivacyServicesCatalog::canonical(*decoded), text);
    // The decoder ignores an unknown key; only the canonical comparison refuses it.
    EXPECT_TRUE(Envelope::decode(R"({"signature":"s","keyID":"k","algorithm":"a","x":1})").ok());
    EXPECT_FALSE(Envelope::decode(R"({"algorithm":"Ed25519","keyID":"k"})").ok());
    EXPECT_FALSE(Envelope::decode(R"({"algorithm":"Ed25519","keyID":7,"signature":"s"})").ok());
}

}  // namespace
}  // namespace scourlet
