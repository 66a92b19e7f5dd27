#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet::internal {

void throwNotRawValueString(std::string_view context, std::string_view name) {
    std::string what = "expected a string naming the ";
    what.append(name);
    throwDecoding(context, what);
}

void throwUnknownRawValue(std::string_view context, std::string_view name, std::string_view raw) {
    std::string what = "unknown ";
    what.append(name).append(" \"").append(raw).append("\"");
    throwDecoding(context, what);
}

}  // namespace scourlet::internal
