// The canonical JSON text that signed catalog files must equal byte for byte:
// compact (no white space, no line break), object keys in ascending byte
// order, "/" not escaped, integers in plain decimal, Booleans as true/false,
// and strings escaped only where JSON requires it: '"', '\', and the control
// characters below 0x20 ("\b", "\t", "\n", "\f", "\r" in short form, the rest
// as "\u00xx" with lower-case hex). Everything else, non-ASCII text and DEL
// included, is written as it is. That is the output of the platform encoder
// these files were specified against (sorted keys, slashes unescaped).
//
// Records are written field by field from their decoded values, never by
// re-dumping a parsed tree, so a file with a key the record does not know
// can never equal its canonical form.
//
//   CanonicalJsonWriter w;
//   w.beginObject();
//   w.key("a"); w.string("x/y");
//   w.key("b"); w.number(std::uint64_t{7});
//   w.endObject();
//   std::string text = w.take();   // {"a":"x/y","b":7}
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace scourlet::internal {

class CanonicalJsonWriter {
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // Keys of one object must come in strictly ascending byte order (asserted).
    void key(std::string_view name);
    void string(std::string_view value);
    void number(std::uint64_t value);
    void number(std::int64_t value);
    void boolean(bool value);
    // Inserts a value that is already canonical JSON text (a nested record).
    void canonicalValue(std::string_view json);

    std::string take() { return std::move(out_); }

private:
    struct Level {
        bool first = true;
        bool isObject = false;
        std::string lastKey;
    };
    void beforeValue();

    std::string out_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

// Appends `value` as a JSON string literal with the escaping above.
void appendCanonicalJsonString(std::string& out, std::string_view value);

}  // namespace scourlet::internal
