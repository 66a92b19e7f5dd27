// The rule update channels a user can follow: "stable", the default, and
// "beta", which gets rules releases first. Each channel has its own manifest
// on the maker's host.
//
// The raw values are stored in the settings, so they never change.
//
//   auto channel = enumFromRawValue<RuleUpdateChannel>("beta");   // RuleUpdateChannel::beta
//   std::string url = manifestURL(RuleUpdateChannel::stable);
//   // "https://updates.morrowgate.com/scourlet/rules/manifest.json"
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class RuleUpdateChannel {
    stable,
    beta,
};

template <>
struct RawValueTable<RuleUpdateChannel> {
    static constexpr std::string_view name = "rule update channel";
    static constexpr auto cases = std::to_array<RawValueCase<RuleUpdateChannel>>({
        {RuleUpdateChannel::stable, "stable"},
        {RuleUpdateChannel::beta, "beta"},
    });
};

// The identifier of a channel: its raw value ("stable", "beta").
constexpr std::string_view id(RuleUpdateChannel channel) {
    return rawValue(channel);
}

// The name shown to the user: "Stable" or "Beta".
constexpr std::string_view displayName(RuleUpdateChannel channel) {
    switch (channel) {
        case RuleUpdateChannel::stable:
            return "Stable";
        case RuleUpdateChannel::beta:
            return "Beta";
    }
    return {};
}

// The channel's manifest on `host`: "https://<host>/scourlet/rules/manifest.json"
// for stable, "https://<host>/scourlet/rules/beta/manifest.json" for beta.
// Always a URL; `host` is taken as it is (the build's host by default).
std::string manifestURL(RuleUpdateChannel channel, std::string_view host = config::kMakerHost);

}  // namespace scourlet
