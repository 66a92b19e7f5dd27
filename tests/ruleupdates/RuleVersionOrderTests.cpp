#include "ScourletCore/ruleupdates/internal/RuleVersionOrder.h"

#include <gtest/gtest.h>

namespace scourlet::internal {
namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(RuleVersionOrderTest, DigitRunsCompareByValue) {
    struct Case {
        const char* a;
        const char* b;
        int order;
    };
    const Case cases[] = {
        {"2025.03.01.10", "2025.03.01.9", 1},
        {"2025.03.01.9", "2025.03.01.10", -1},
        {"2025.03.01.1", "2025.03.01.1", 0},
        {"2025.03.01.1", "0", 1},
        {"2026.01.01.1", "2025.12.31.999999", 1},
        // Runs longer than 64 bits still compare by value.
        {"1.123456789012345678901234567890", "1.123456789012345678901234567889", 1},
        {"1.007", "1.7", 0},
        {"1.2", "1.2.1", -1},
        {"Beta", "beta", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(compareNaturally(c.a, c.b)), c.order) << c.a << " vs " << c.b;
    }
}

}  // namespace
}  // namespace scourlet::internal
