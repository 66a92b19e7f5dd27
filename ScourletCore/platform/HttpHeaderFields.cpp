#include "ScourletCore/platform/HttpHeaderFields.h"

#include <algorithm>
#include <utility>

namespace scourlet {

namespace {

bool isTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

}  // namespace

Result<void> HttpHeaderFields::set(std::string_view name, std::string_view value) {
    if (name.empty() || !std::all_of(name.begin(), name.end(), isTokenChar)) {
        return Error{"invalid header field name \"" + std::string(name) + "\""};
    }
    // Control characters would let a value end the field early and start one
    // of its own; tab is the one control the field syntax allows.
    const bool hasControl = std::any_of(value.begin(), value.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t') || byte == 0x7F;
    });
    if (hasControl) {
        return Error{"header field \"" + std::string(name) + "\" has a control character"};
    }
    if (!value.empty() && (isSpaceOrTab(value.front()) || isSpaceOrTab(value.back()))) {
        return Error{"header field \"" + std::string(name) + "\" has surrounding white space"};
    }
    std::erase_if(fields_, [name](const HttpHeaderField& f) {
        return equalsIgnoringAsciiCase(f.name, name);
    });
    fields_.push_back({std::string(name), std::string(value)});
    return {};
}

void HttpHeaderFields::append(std::string name, std::string value) {
    fields_.push_back({std::move(name), std::move(value)});
}

std::optional<std::string_view> HttpHeaderFields::value(std::string_view name) const {
    for (const auto& field : fields_) {
        if (equalsIgnoringAsciiCase(field.name, name)) {
            return std::string_view(field.value);
        }
    }
    return std::nullopt;
}

}  // namespace scourlet
