#include "ScourletCore/linkrewriting/internal/SourceHosts.h"

#include <algorithm>

#include "ScourletCore/config/ServiceConfiguration.h"

namespace scourlet::internal {

namespace {

std::vector<std::string> withPrefixes(std::string_view domain,
                                      std::initializer_list<std::string_view> prefixes) {
    std::vector<std::string> hosts;
    for (std::string_view prefix : prefixes) {
        hosts.push_back(std::string(prefix).append(domain));
    }
    return hosts;
}

bool containsHost(const std::vector<std::string>& hosts, std::string_view host) {
    return std::binary_search(hosts.begin(), hosts.end(), host, std::less<>());
}

}  // namespace

const std::vector<std::string>& xTwitterSourceHosts() {
    static const std::vector<std::string> hosts = [] {
        std::vector<std::string> all = withPrefixes(config::kXHost, {"", "www."});
        for (auto& host : withPrefixes(config::kFormerTwitterHost, {"", "www.", "mobile."})) {
            all.push_back(std::move(host));
        }
        std::sort(all.begin(), all.end());
        return all;
    }();
    return hosts;
}

const std::vector<std::string>& redditSourceHosts() {
    static const std::vector<std::string> hosts = [] {
        auto all = withPrefixes(config::kRedditDomain, {"", "www.", "old.", "new.", "m.", "np."});
        std::sort(all.begin(), all.end());
        return all;
    }();
    return hosts;
}

bool isXTwitterSourceHost(std::string_view host) {
    return containsHost(xTwitterSourceHosts(), host);
}

bool isRedditSourceHost(std::string_view host) {
    return containsHost(redditSourceHosts(), host);
}

}  // namespace scourlet::internal
