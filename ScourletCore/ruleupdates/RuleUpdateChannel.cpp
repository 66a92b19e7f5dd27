#include "ScourletCore/ruleupdates/RuleUpdateChannel.h"

namespace scourlet {

std::string manifestURL(RuleUpdateChannel channel, std::string_view host) {
    std::string url = "https://";
    url.append(host);
    url.append(channel == RuleUpdateChannel::beta ? "/scourlet/rules/beta/manifest.json"
                                                  : "/scourlet/rules/manifest.json");
    return url;
}

}  // namespace scourlet
