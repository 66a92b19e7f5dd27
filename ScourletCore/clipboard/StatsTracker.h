// StatsTracker: on-device statistics of cleaned links.
//
//   if (StatsTracker::isCollectionEnabled(defaults)) { ... }
#pragma once

#include <string_view>

#include "ScourletCore/platform/UserDefaults.h"

namespace scourlet {

class StatsTracker {
public:
    static constexpr std::string_view kCollectionEnabledKey = "stats_collection_enabled";

    // Whether statistics (and rule match counts) are collected: on when the key
    // is absent.
    static bool isCollectionEnabled(const UserDefaults& defaults) {
        return !defaults.contains(kCollectionEnabledKey) ||
               defaults.boolForKey(kCollectionEnabledKey);
    }
};

}  // namespace scourlet
