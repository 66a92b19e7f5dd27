// A whole ClearURLs-format rule file: a map of named providers.
//
// Both the ClearURLs providers file and the supplementary rules file use this
// layout. The providers keep the order in which the file lists them, so that
// everything compiled from them comes out the same way on every run.
//
//   auto file = ProvidersFile::decode(bytes);
//   if (!file) return file.error();          // DecodingError with a message
//   for (const auto& [name, provider] : file->providers()) { ... }
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/rules/Provider.h"

namespace scourlet {

class ProvidersFile {
public:
    using Entry = std::pair<std::string, Provider>;

    // The providers under their names, in file order. A name given twice in the
    // file appears once, at its first place, with the value given last.
    const std::vector<Entry>& providers() const { return providers_; }

    // The provider named exactly `name`, or nullptr. Linear: meant for tests and
    // occasional lookups, not for the cleaning path.
    const Provider* find(std::string_view name) const;

    // Decodes a file's bytes. Fails (and yields no partial file) when the text is
    // not JSON, the top level is not an object, "providers" is missing, null or
    // not an object, or any provider fails to decode. Keys other than
    // "providers" are ignored.
    static Result<ProvidersFile, DecodingError> decode(std::string_view bytes);

    // The same over an already parsed value; throws DecodingException.
    static ProvidersFile fromJson(const Json& json);

private:
    std::vector<Entry> providers_;
};

}  // namespace scourlet
