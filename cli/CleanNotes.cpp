#include "cli/CleanNotes.h"

#include <optional>
#include <vector>

#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/internal/Utf8Codec.h"

namespace scourlet::cli {

namespace {

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) {
        if (!text.empty()) {
            text.append(", ");
        }
        text.append(name.empty() ? "(unnamed)" : name);
    }
    return text;
}

}  // namespace

bool holdsWhitespace(std::string_view input) {
    const std::string_view trimmed = trimmingWhitespaceAndNewlines(input);
    for (std::size_t i = 0; i < trimmed.size();) {
        const internal::DecodedScalar decoded = internal::decodeUtf8At(trimmed, i);
        if (decoded.scalar != internal::kInvalidScalar && isWhitespaceOrNewline(decoded.scalar)) {
            return true;
        }
        i += decoded.size;
    }
    return false;
}

std::string_view invalidReason(std::string_view input) {
    if (!isValidUTF8(input)) {
        return "not UTF-8 text";
    }
    return holdsWhitespace(input) ? "not one link" : "not an http or https link";
}

std::string oneLine(std::string_view input) {
    std::string line;
    line.reserve(input.size());
    for (const char c : input) {
        if (c == '\n') {
            line.append("\\n");
        } else if (c == '\r') {
            line.append("\\r");
        } else {
            line.push_back(c);
        }
    }
    return line;
}

std::string summary(std::string_view input, const CleanOutcome& outcome) {
    switch (outcome.kind()) {
        case CleanOutcome::Kind::unchanged:
            return "nothing to remove";
        case CleanOutcome::Kind::skippedDisabled:
            return "cleaning is off for " + *outcome.skippedHost();
        case CleanOutcome::Kind::invalid:
            return std::string(invalidReason(input));
        case CleanOutcome::Kind::cleaned:
            break;
    }
    const CleanResult& result = *outcome.cleanedResult();
    int unwrapped = 0;
    bool pathCleaned = false;
    bool localState = false;
    std::optional<std::string> frontend;
    for (const auto& operation : result.operations) {
        switch (operation.kind) {
            case CleanOperationKind::offlineWrapperUnwrap:
                ++unwrapped;
                break;
            case CleanOperationKind::offlinePathRewrite:
                pathCleaned = true;
                break;
            case CleanOperationKind::privacyRedirect:
                frontend = result.privacyRedirect ? result.privacyRedirect->frontendHost
                                                  : operation.outputURL;
                break;
            case CleanOperationKind::localParameterRemoval:
                localState =
                    localState || (operation.removedParameters.size() == 1 &&
                                   operation.removedParameters[0] == "#google-local-state");
                break;
            default:
                break;
        }
    }
    std::vector<std::string> parts;
    if (unwrapped > 0) {
        parts.push_back(unwrapped == 1 ? "unwrapped a redirect"
                                       : "unwrapped " + std::to_string(unwrapped) + " redirects");
    }
    if (pathCleaned) {
        parts.push_back("cleaned the path");
    }
    if (!result.removedQueryParameters.empty()) {
        parts.push_back("removed " + joined(result.removedQueryParameters));
    }
    if (localState) {
        parts.push_back("removed the local-result state");
    }
    if (frontend) {
        parts.push_back("rewrote to " + *frontend);
    }
    std::string text;
    for (const auto& part : parts) {
        text.append(text.empty() ? "" : "; ").append(part);
    }
    return text.empty() ? "cleaned" : text;
}

Json outcomeJson(std::string_view input, const CleanOutcome& outcome) {
    Json json = Json::object();
    json["input"] = std::string(input);
    const std::string trimmed(trimmingWhitespaceAndNewlines(input));
    switch (outcome.kind()) {
        case CleanOutcome::Kind::cleaned:
            json["outcome"] = "cleaned";
            json["cleanedURL"] = outcome.cleanedResult()->cleanedURL;
            json["result"] = outcome.cleanedResult()->toJson();
            break;
        case CleanOutcome::Kind::skippedDisabled:
            json["outcome"] = "skippedDisabled";
            json["host"] = *outcome.skippedHost();
            json["cleanedURL"] = trimmed;
            break;
        case CleanOutcome::Kind::unchanged:
            json["outcome"] = "unchanged";
            json["cleanedURL"] = trimmed;
            break;
        case CleanOutcome::Kind::invalid:
            json["outcome"] = "invalid";
            break;
    }
    return json;
}

}  // namespace scourlet::cli
