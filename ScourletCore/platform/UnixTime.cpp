#include "ScourletCore/platform/UnixTime.h"

#include <cmath>

namespace scourlet {

namespace {
constexpr double kLargestUnixSeconds =
    static_cast<double>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::duration::max())
            .count()) -
    1.0;
}  // namespace

double unixSeconds(std::chrono::system_clock::time_point time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

bool isRepresentableUnixSeconds(double seconds) {
    return std::isfinite(seconds) && std::abs(seconds) <= kLargestUnixSeconds;
}

std::optional<std::chrono::system_clock::time_point> timePointFromUnixSeconds(double seconds) {
    if (!isRepresentableUnixSeconds(seconds)) {
        return std::nullopt;
    }
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::duration<double>(seconds)));
}

std::optional<std::chrono::system_clock::time_point> timePointAdding(
    std::chrono::system_clock::time_point time, std::chrono::seconds offset) {
    using Duration = std::chrono::system_clock::duration;
    constexpr auto ticksPerSecond = Duration(std::chrono::seconds(1)).count();
    Duration::rep ticks = 0;
    Duration::rep sum = 0;
    if (__builtin_mul_overflow(offset.count(), ticksPerSecond, &ticks) ||
        __builtin_add_overflow(time.time_since_epoch().count(), ticks, &sum)) {
        return std::nullopt;
    }
    return std::chrono::system_clock::time_point(Duration(sum));
}

}  // namespace scourlet
