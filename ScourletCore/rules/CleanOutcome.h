// What cleaning one link came to: cleaned (with its result), skipped because
// the host is a domain exception, unchanged, or invalid input.
//
//   CleanOutcome outcome = cleaner.cleanWithOutcome(text);
//   if (const CleanResult* result = outcome.cleanedResult()) use(*result);
//   if (const std::string* host = outcome.skippedHost()) showSkipped(*host);
#pragma once

#include <string>
#include <utility>
#include <variant>

#include "ScourletCore/rules/CleanResult.h"

namespace scourlet {

class CleanOutcome {
public:
    enum class Kind {
        cleaned,          // the link was cleaned and differs from the input
        skippedDisabled,  // cleaning is off for this host by a domain exception
        unchanged,        // a valid web link in which nothing changed
        invalid,          // not a valid http or https link
    };

    static CleanOutcome cleaned(CleanResult result) {
        return CleanOutcome(Kind::cleaned, std::move(result));
    }
    // `host` is the host as the exception store derives it.
    static CleanOutcome skippedDisabled(std::string host) {
        return CleanOutcome(Kind::skippedDisabled, std::move(host));
    }
    static CleanOutcome unchanged() { return CleanOutcome(Kind::unchanged, std::monostate{}); }
    static CleanOutcome invalid() { return CleanOutcome(Kind::invalid, std::monostate{}); }

    Kind kind() const { return kind_; }

    // The result of a cleaned outcome; nullptr for every other kind. The
    // non-const form lets a caller move the result out.
    const CleanResult* cleanedResult() const { return std::get_if<CleanResult>(&payload_); }
    CleanResult* cleanedResult() { return std::get_if<CleanResult>(&payload_); }

    // The excepted host of a skippedDisabled outcome; nullptr for every other kind.
    const std::string* skippedHost() const { return std::get_if<std::string>(&payload_); }

    // Same kind, and equal results or hosts where the kind carries one.
    bool operator==(const CleanOutcome&) const = default;

private:
    using Payload = std::variant<std::monostate, CleanResult, std::string>;

    CleanOutcome(Kind kind, Payload payload) : kind_(kind), payload_(std::move(payload)) {}

    Kind kind_;
    Payload payload_;
};

}  // namespace scourlet
