#include "ScourletCore/updateawareness/UpdateVersion.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/updateawareness/UpdateClass.h"

namespace scourlet {
namespace {

TEST(UpdateVersion, ComparesPieceByPieceAndRefusesAnythingButDottedDigits) {
    struct Case {
        std::string a;
        std::string b;
        std::optional<int> expected;
    };
    const std::string longestZeros(78, '0');  // with ".1": exactly 80 bytes
    for (const Case& c : {
             Case{"1.2.3", "1.2.3", 0}, Case{"1.2.4", "1.2.3", 1}, Case{"1.2", "1.2.1", -1},
             Case{"1.10", "1.9", 1}, Case{"2", "1.99.99", 1},
             Case{"1.2", "1.2.0.0.0.0", 0},  // six pieces are allowed
             Case{"01.002", "1.2", 0},       // leading zeros
             Case{"2026.3.7.2", "2026.3.7.10", -1},
             Case{"9223372036854775807", "9223372036854775806", 1},
             Case{longestZeros + ".1", "0.1", 0},
             // Not versions:
             Case{"1.2.0.0.0.0.0", "1", std::nullopt},  // seven pieces
             Case{"", "1", std::nullopt}, Case{"1", "", std::nullopt},
             Case{"a1", "1", std::nullopt}, Case{" 1", "1", std::nullopt},
             Case{"1 ", "1", std::nullopt}, Case{"+1", "1", std::nullopt},
             Case{"-1", "1", std::nullopt}, Case{".1", "1", std::nullopt},
             Case{"1.", "1", std::nullopt}, Case{"1..2", "1", std::nullopt},
             Case{"1.2-beta", "1.2", std::nullopt},
             Case{"\u0661.2", "1.2", std::nullopt},  // an Arabic-Indic digit one
             Case{"9223372036854775808", "1", std::nullopt},
             Case{"99999999999999999999", "1", std::nullopt},
             Case{longestZeros + "0.1", "0.1", std::nullopt},  // 81 bytes
         }) {
        EXPECT_EQ(UpdateVersion::compare(c.a, c.b), c.expected) << c.a << " vs " << c.b;
        if (c.expected) {
            EXPECT_EQ(UpdateVersion::compare(c.b, c.a), -*c.expected) << c.b << " vs " << c.a;
        }
        EXPECT_EQ(UpdateVersion::isValid(c.a), UpdateVersion::compare(c.a, c.a).has_value()) << c.a;
    }
}

TEST(UpdateClass, RawValuesTitlesAndOrder) {
    EXPECT_EQ(allCases<UpdateClass>(),
              (std::array{UpdateClass::app, UpdateClass::rules, UpdateClass::catalog}));
    EXPECT_EQ(rawValue(UpdateClass::catalog), "catalog");
    EXPECT_EQ(title(UpdateClass::app), "Scourlet");
    EXPECT_EQ(title(UpdateClass::rules), "Rules");
    EXPECT_EQ(title(UpdateClass::catalog), "Privacy Services catalog");
    EXPECT_EQ(enumFromRawValue<UpdateClass>("rules"), UpdateClass::rules);
    EXPECT_EQ(enumFromRawValue<UpdateClass>("App"), std::nullopt);
    EXPECT_EQ(toJson(UpdateClass::app), Json("app"));
}

}  // namespace
}  // namespace scourlet
