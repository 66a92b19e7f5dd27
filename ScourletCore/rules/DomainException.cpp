#include "ScourletCore/rules/DomainException.h"

namespace scourlet {

Json DomainException::toJson() const {
    return Json{{"host", host}};
}

DomainException DomainException::fromJson(const Json& json) {
    JsonObjectReader reader(json, "DomainException");
    return DomainException{reader.required<std::string>("host")};
}

}  // namespace scourlet
