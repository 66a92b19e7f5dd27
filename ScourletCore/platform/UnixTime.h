// Moments as seconds since 1970-01-01T00:00:00Z in a double, the form stored
// records and settings keep them in, converted to and from the system clock.
//
//   double stored = unixSeconds(clock.now());
//   if (auto when = timePointFromUnixSeconds(stored)) show(*when);
//
// The system clock counts nanoseconds in 64 bits, about 292 years either side
// of 1970. A stored number beyond that (or NaN, or an infinity) has no time
// point, and converting it anyway is undefined behaviour, so every conversion
// of a number read from outside goes through timePointFromUnixSeconds().
#pragma once

#include <chrono>
#include <optional>

namespace scourlet {

// The moment as seconds since 1970, with the fraction.
double unixSeconds(std::chrono::system_clock::time_point time);

// True when `seconds` is finite and within the clock's range (one second of
// margin, so the rounding of a conversion stays inside it).
bool isRepresentableUnixSeconds(double seconds);

// The moment `seconds` after 1970; nothing when !isRepresentableUnixSeconds().
std::optional<std::chrono::system_clock::time_point> timePointFromUnixSeconds(double seconds);

// `time` moved by `offset`; nothing when the result lies outside the clock's
// range. Plain time point arithmetic overflows silently there, which is
// undefined behaviour, so a moment read from outside (a stored date may be
// any year the clock holds) is moved only through this.
std::optional<std::chrono::system_clock::time_point> timePointAdding(
    std::chrono::system_clock::time_point time, std::chrono::seconds offset);

}  // namespace scourlet
