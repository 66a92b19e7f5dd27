#include "ScourletCore/ruleupdates/internal/RuleVersionOrder.h"

#include <cstddef>

namespace scourlet::internal {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char lowered(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

int compareNaturally(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t endA = i;
            while (endA < a.size() && isDigit(a[endA])) {
                ++endA;
            }
            std::size_t endB = j;
            while (endB < b.size() && isDigit(b[endB])) {
                ++endB;
            }
            std::string_view runA = a.substr(i, endA - i);
            std::string_view runB = b.substr(j, endB - j);
            while (runA.size() > 1 && runA.front() == '0') {
                runA.remove_prefix(1);
            }
            while (runB.size() > 1 && runB.front() == '0') {
                runB.remove_prefix(1);
            }
            // Without leading zeros the longer run is the larger number.
            if (runA.size() != runB.size()) {
                return runA.size() < runB.size() ? -1 : 1;
            }
            if (const int order = runA.compare(runB); order != 0) {
                return order < 0 ? -1 : 1;
            }
            i = endA;
            j = endB;
            continue;
        }
        const char ca = lowered(a[i]);
        const char cb = lowered(b[j]);
        if (ca != cb) {
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb) ? -1 : 1;
        }
        ++i;
        ++j;
    }
    if (i < a.size()) {
        return 1;
    }
    if (j < b.size()) {
        return -1;
    }
    return 0;
}

}  // namespace scourlet::internal
