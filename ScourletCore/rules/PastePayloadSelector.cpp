#include "ScourletCore/rules/PastePayloadSelector.h"

#include <algorithm>
#include <unordered_set>

#include "ScourletCore/platform/Text.h"
#include "ScourletCore/rules/TextURLBlock.h"

namespace scourlet {

namespace {

// Substring search in time linear in both lengths (Knuth-Morris-Pratt):
// forms are up to 64 KiB each and may be built to make a naive search
// compare almost the whole needle at every position.
bool contains(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) {
        return true;
    }
    if (needle.size() > haystack.size()) {
        return false;
    }
    // border[i]: length of the longest proper border of needle[0..i].
    std::vector<std::size_t> border(needle.size(), 0);
    for (std::size_t i = 1, k = 0; i < needle.size(); ++i) {
        while (k > 0 && needle[i] != needle[k]) {
            k = border[k - 1];
        }
        if (needle[i] == needle[k]) {
            ++k;
        }
        border[i] = k;
    }
    for (std::size_t i = 0, k = 0; i < haystack.size(); ++i) {
        while (k > 0 && haystack[i] != needle[k]) {
            k = border[k - 1];
        }
        if (haystack[i] == needle[k]) {
            ++k;
        }
        if (k == needle.size()) {
            return true;
        }
    }
    return false;
}

bool holdsEveryLinkOf(const PastePayloadSelector::Candidate& holder,
                      const PastePayloadSelector::Candidate& other) {
    return std::all_of(other.urls.begin(), other.urls.end(), [&](const std::string& url) {
        return std::find(holder.urls.begin(), holder.urls.end(), url) != holder.urls.end();
    });
}

}  // namespace

PastePayloadSelector::Candidate PastePayloadSelector::Candidate::from(std::string_view value) {
    Candidate candidate;
    candidate.value = std::string(value);
    if (std::optional<TextURLBlock> block = TextURLBlock::make(value)) {
        candidate.urls = block->urls();
    }
    candidate.isBareURL =
        candidate.urls.size() == 1 && trimmingWhitespaceAndNewlines(value) == candidate.urls[0];
    return candidate;
}

std::optional<std::string> PastePayloadSelector::select(const std::vector<std::string>& forms) {
    std::vector<std::string_view> distinct;
    distinct.reserve(forms.size());
    std::unordered_set<std::string_view> seen;
    for (const std::string& form : forms) {
        if (seen.insert(form).second) {
            distinct.push_back(form);
        }
    }
    if (distinct.empty()) {
        return std::nullopt;
    }
    if (distinct.size() == 1) {
        return std::string(distinct.front());
    }

    std::vector<Candidate> candidates;
    candidates.reserve(distinct.size());
    for (const std::string_view form : distinct) {
        candidates.push_back(Candidate::from(form));
    }

    const Candidate* chosen = nullptr;
    for (const Candidate& candidate : candidates) {
        const bool holdsAllOthers =
            std::all_of(candidates.begin(), candidates.end(), [&](const Candidate& other) {
                if (&other == &candidate || other.value == candidate.value) {
                    return true;
                }
                // The cheap link test first; the substring search reads both texts.
                return (other.isBareURL && holdsEveryLinkOf(candidate, other)) ||
                       contains(candidate.value, other.value);
            });
        if (holdsAllOthers) {
            if (chosen != nullptr) {
                return std::nullopt;  // two forms qualify: no telling which is meant
            }
            chosen = &candidate;
        }
    }
    if (chosen == nullptr) {
        return std::nullopt;
    }
    return chosen->value;
}

}  // namespace scourlet
