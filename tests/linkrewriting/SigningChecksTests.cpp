#include "ScourletCore/linkrewriting/SigningChecks.h"

#include <sodium.h>

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/internal/Field25519.h"
#include "support/FixtureSigner.h"

namespace scourlet {
namespace {

using testing::FixtureKey;

std::string fromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

TEST(SigningChecksTest, LowercaseHexAndCharacterClasses) {
    EXPECT_EQ(lowercaseHex(std::string_view("\x00\xab", 2)), "00ab");
    EXPECT_EQ(lowercaseHex(""), "");

    EXPECT_FALSE(containsNonPrintableASCII(""));
    EXPECT_FALSE(containsNonPrintableASCII(" ~azAZ09{}"));
    for (std::string_view text :
         {std::string_view("a\tb"), std::string_view("line\n"), std::string_view("\x7f", 1),
          std::string_view("\x1f", 1), std::string_view("caf\xc3\xa9")}) {
        EXPECT_TRUE(containsNonPrintableASCII(text)) << text;
    }

    EXPECT_FALSE(containsNonKeyIDCharacter(""));
    EXPECT_FALSE(containsNonKeyIDCharacter("key-2026-a"));
    for (std::string_view text : {"Key", "key_1", "key.1", "key 1", "k\xc3\xa9y"}) {
        EXPECT_TRUE(containsNonKeyIDCharacter(text)) << text;
    }
}

// The curve constant is derived at run time; compare it with the published one.
TEST(SigningChecksTest, CurveConstantMatchesRfc8032) {
    const auto bytes = internal::curveConstantD().toBytes();
    EXPECT_EQ(lowercaseHex(std::string_view(reinterpret_cast<const char*>(bytes.data()), 32)),
              "a3785913ca4deb75abd841414d0a700098e879777940c78c73fe6f2bee6c0352");
}

TEST(SigningChecksTest, PointTestRefusesWeakOffCurveAndNonCanonicalEncodings) {
    struct Case {
        const char* name;
        std::string_view hex;
    };
    // Reference values worked out independently with arbitrary-precision integers.
    const Case refused[] = {
        {"identity", "0100000000000000000000000000000000000000000000000000000000000000"},
        {"order 2 (y = p - 1)", "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"},
        {"order 4, sign clear", "0000000000000000000000000000000000000000000000000000000000000000"},
        {"order 4, sign set", "0000000000000000000000000000000000000000000000000000000000000080"},
        {"order 8 a", "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc05"},
        {"order 8 a, sign set", "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc85"},
        {"order 8 b", "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a"},
        {"order 8 b, sign set", "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac03fa"},
        {"y = p", "edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"},
        {"y = p + 1 (identity, non-canonical)",
         "eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"},
        {"y = p + 3 (valid y written non-canonically)",
         "f0ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"},
        {"y = 2^255 - 1", "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"},
        {"y = 2, no x", "0200000000000000000000000000000000000000000000000000000000000000"},
        {"y = 7, no x", "0700000000000000000000000000000000000000000000000000000000000000"},
    };
    for (const Case& c : refused) {
        EXPECT_FALSE(isAcceptedEd25519Point(fromHex(c.hex))) << c.name;
    }
    for (std::string_view hex :
         {"0300000000000000000000000000000000000000000000000000000000000000",
          "0300000000000000000000000000000000000000000000000000000000000080",
          "0900000000000000000000000000000000000000000000000000000000000000"}) {
        EXPECT_TRUE(isAcceptedEd25519Point(fromHex(hex))) << hex;
    }
    EXPECT_FALSE(isAcceptedEd25519Point(std::string(31, '\x03')));
    EXPECT_FALSE(isAcceptedEd25519Point(std::string(33, '\x03')));
    EXPECT_FALSE(isAcceptedEd25519Point(""));
}

TEST(SigningChecksTest, RealPublicKeysPassWithEitherSignBit) {
    for (int i = 0; i < 50; ++i) {
        const auto key = FixtureKey::generate("k");
        ASSERT_TRUE(isAcceptedEd25519Point(key.publicKey)) << lowercaseHex(key.publicKey);
        std::string flipped = key.publicKey;
        flipped[31] = static_cast<char>(flipped[31] ^ 0x80);
        EXPECT_TRUE(isAcceptedEd25519Point(flipped)) << lowercaseHex(flipped);
    }
}

// Every point libsodium calls valid (canonical, on the curve, in the prime
// subgroup) must pass; about half of all random encodings have no x at all.
TEST(SigningChecksTest, AgreesWithLibsodiumOnRandomEncodings) {
    ASSERT_GE(sodium_init(), 0);
    int accepted = 0;
    for (int i = 0; i < 400; ++i) {
        std::string bytes(32, '\0');
        randombytes_buf(bytes.data(), bytes.size());
        const bool ours = isAcceptedEd25519Point(bytes);
        accepted += ours ? 1 : 0;
        if (crypto_core_ed25519_is_valid_point(
                reinterpret_cast<const unsigned char*>(bytes.data())) == 1) {
            EXPECT_TRUE(ours) << lowercaseHex(bytes);
        }
    }
    EXPECT_GT(accepted, 120);
    EXPECT_LT(accepted, 280);
}

TEST(SigningChecksTest, ScalarMustBeBelowTheGroupOrder) {
    const std::string order =
        fromHex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
    const std::string orderMinusOne =
        fromHex("ecd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
    const std::string orderPlusOne =
        fromHex("eed3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
    EXPECT_FALSE(isCanonicalEd25519Scalar(order));
    EXPECT_TRUE(isCanonicalEd25519Scalar(orderMinusOne));
    EXPECT_FALSE(isCanonicalEd25519Scalar(orderPlusOne));
    EXPECT_TRUE(isCanonicalEd25519Scalar(std::string(32, '\0')));
    EXPECT_FALSE(isCanonicalEd25519Scalar(std::string(32, '\xff')));
    EXPECT_FALSE(isCanonicalEd25519Scalar(orderMinusOne.substr(0, 31)));
    EXPECT_FALSE(isCanonicalEd25519Scalar(orderMinusOne + '\0'));
}

}  // namespace
}  // namespace scourlet
