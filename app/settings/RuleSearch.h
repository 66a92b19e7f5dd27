// What the "Rules" pane lists for a search: the query as typed (not trimmed),
// lower-cased once, found as a plain substring of a category's title or of a
// rule's lower-cased display name or pattern.
//
// An empty query keeps everything. A category stays listed when its title or
// any of its rules matches; one kept for its title alone shows no rules.
//
//   RuleSearch search("UTM");                      // finds "utm_source" too
//   if (search.keeps(*category)) rows = search.rulesOf(*category);
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/rules/RuleCategory.h"
#include "ScourletCore/rules/RuleEntry.h"

namespace scourlet::app {

class RuleSearch {
public:
    explicit RuleSearch(std::string_view query);

    bool isEmpty() const { return empty_; }
    // The display name is tried first, then the pattern.
    bool matches(const RuleEntry& rule) const;
    bool keeps(const RuleCategory& category) const;
    // The category's rules that match, in their order.
    std::vector<std::shared_ptr<RuleEntry>> rulesOf(const RuleCategory& category) const;

private:
    bool contains(std::string_view text) const;

    bool empty_;
    std::string lowered_;
};

}  // namespace scourlet::app
