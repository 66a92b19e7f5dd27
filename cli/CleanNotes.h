// What the scourlet tool says about each clean: a line for people reading the
// terminal, or a JSON object for programs.
//
//   err << "scourlet: " << summary(url, outcome) << "\n";   // "removed utm_source, fbclid"
//   out << dumpJson(outcomeJson(url, outcome)) << "\n";
#pragma once

#include <string>
#include <string_view>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/rules/CleanOutcome.h"

namespace scourlet::cli {

// True when `input`, less the white space around it, still holds white space
// or a line break: several words or lines, never one link.
bool holdsWhitespace(std::string_view input);

// Why the cleaner refused `input`: "not UTF-8 text", "not one link" or "not
// an http or https link".
std::string_view invalidReason(std::string_view input);

// `input` on one line: line feeds and carriage returns written as \n and \r.
std::string oneLine(std::string_view input);

// One line, without a line break, saying what the clean of `input` did.
std::string summary(std::string_view input, const CleanOutcome& outcome);

// The clean of `input` as one JSON object: "input", "outcome" (cleaned,
// unchanged, skippedDisabled or invalid), "cleanedURL" unless invalid, and
// the full "result" of a clean that changed the link.
Json outcomeJson(std::string_view input, const CleanOutcome& outcome);

}  // namespace scourlet::cli
