// The fixed host sets of the privacy front-end rewrite, built once from the
// public domains in config/ServiceConfiguration.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace scourlet::internal {

// The X domain and its "www." form, the former Twitter domain with its "www."
// and "mobile." forms: five hosts in ascending byte order (the order the
// catalog's "sourceHosts" must list them in).
const std::vector<std::string>& xTwitterSourceHosts();

// The Reddit domain and its "www.", "old.", "new.", "m." and "np." forms, in
// ascending byte order.
const std::vector<std::string>& redditSourceHosts();

// Membership of a host that is already lower-case.
bool isXTwitterSourceHost(std::string_view host);
bool isRedditSourceHost(std::string_view host);

}  // namespace scourlet::internal
