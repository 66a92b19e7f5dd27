#include "ScourletCore/linkrewriting/XRedirectChoice.h"

#include <string>

namespace scourlet {

std::string_view rawValue(XRedirectChoice choice) {
    switch (choice) {
        case XRedirectChoice::off:
            return "off";
        case XRedirectChoice::nitter:
            return "nitter";
        case XRedirectChoice::twitterViewer:
            return "twitterViewer";
    }
    return {};
}

std::optional<XRedirectChoice> xRedirectChoiceFromRawValue(std::string_view raw) {
    for (XRedirectChoice choice : xRedirectChoiceAllCases) {
        if (rawValue(choice) == raw) {
            return choice;
        }
    }
    return std::nullopt;
}

XRedirectChoice JsonValue<XRedirectChoice>::decode(const Json& json, std::string_view context) {
    if (!json.is_string()) {
        throwDecoding(context, "expected an X redirect choice");
    }
    const auto& raw = json.get_ref<const std::string&>();
    const auto choice = xRedirectChoiceFromRawValue(raw);
    if (!choice) {
        throwDecoding(context, "unknown X redirect choice \"" + raw + "\"");
    }
    return *choice;
}

}  // namespace scourlet
