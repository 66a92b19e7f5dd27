// The header fields of an HTTP request or response: names compared without
// regard to case, order kept.
//
// A request's fields are set through `set`, which refuses names and values
// that would break the request apart (a line break smuggles in a header of
// its own) before anything is sent.
//
//   HttpHeaderFields fields;
//   if (auto r = fields.set("User-Agent", "Scourlet/1.0"); !r) return r.error();
//   auto agent = fields.value("user-agent");  // "Scourlet/1.0"
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Result.h"

namespace scourlet {

struct HttpHeaderField {
    std::string name;
    std::string value;
    bool operator==(const HttpHeaderField&) const = default;
};

class HttpHeaderFields {
public:
    // Sets `name` to `value`, replacing every earlier field of that name (any
    // case). Fails, changing nothing, when `name` is empty or holds anything
    // but the token characters of HTTP (letters, digits and
    // "!#$%&'*+-.^_`|~"), or when `value` holds a line break, a NUL or another
    // control character other than tab, or starts or ends with white space.
    [[nodiscard]] Result<void> set(std::string_view name, std::string_view value);

    // Appends a field as received, without checks; for the fields of a
    // response, where a name may repeat.
    void append(std::string name, std::string value);

    // The value of the first field named `name` (any case), or nothing.
    std::optional<std::string_view> value(std::string_view name) const;

    const std::vector<HttpHeaderField>& all() const { return fields_; }
    bool empty() const { return fields_.empty(); }
    void clear() { fields_.clear(); }

    bool operator==(const HttpHeaderFields&) const = default;

private:
    std::vector<HttpHeaderField> fields_;
};

}  // namespace scourlet
