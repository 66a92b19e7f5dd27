#include "ScourletCore/platform/Json.h"

#include <limits>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace scourlet {

void throwDecoding(std::string_view context, std::string_view what) {
    std::string message;
    if (!context.empty()) {
        message.append("\"").append(context).append("\": ");
    }
    message.append(what);
    throw DecodingException(message);
}

namespace {

// Builds the document from nlohmann's SAX events in linear time. nlohmann's own
// parser inserts each member through ordered_map, whose duplicate check is a
// linear search, which makes an object of n keys cost n^2. Here a member is
// appended directly; duplicates are found by a scan while the object is small
// and by a hash index once it grows. A repeated key keeps its first position
// and takes the last value, as nlohmann's parser does.
class LinearJsonBuilder {
public:
    using Object = Json::object_t;
    using Members = Object::Container;

    explicit LinearJsonBuilder(Json& root) : root_(root) {}

    bool null() { return put(Json(nullptr)); }
    bool boolean(bool value) { return put(Json(value)); }
    bool number_integer(Json::number_integer_t value) { return put(Json(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return put(Json(value)); }
    bool number_float(Json::number_float_t value, const Json::string_t& /*text*/) {
        return put(Json(value));
    }
    bool string(Json::string_t& value) { return put(Json(std::move(value))); }
    bool binary(Json::binary_t& value) { return put(Json::binary(std::move(value))); }

    bool start_object(std::size_t /*elements*/) {
        Json& object = place(Json(Json::value_t::object));
        open_.push_back(Open{&object, nullptr});
        return true;
    }
    bool key(Json::string_t& name) {
        Open& current = open_.back();
        Members& members = current.container->get_ref<Object&>();
        if (const std::size_t existing = indexOf(current, members, name); existing != kMissing) {
            slot_ = &members[existing].second;
            return true;
        }
        if (current.index) {
            current.index->emplace(name, members.size());
        }
        members.emplace_back(std::move(name), nullptr);
        slot_ = &members.back().second;
        return true;
    }
    bool end_object() {
        open_.pop_back();
        return true;
    }
    bool start_array(std::size_t /*elements*/) {
        Json& array = place(Json(Json::value_t::array));
        open_.push_back(Open{&array, nullptr});
        return true;
    }
    bool end_array() {
        open_.pop_back();
        return true;
    }
    bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                     const nlohmann::detail::exception& error) {
        error_ = error.what();
        return false;
    }

    const std::string& error() const { return error_; }

private:
    static constexpr std::size_t kMissing = static_cast<std::size_t>(-1);
    // Objects up to this size are searched by a scan; larger ones get an index.
    static constexpr std::size_t kIndexFrom = 16;

    struct Open {
        Json* container;
        std::unique_ptr<std::unordered_map<std::string, std::size_t>> index;
    };

    static std::size_t indexOf(Open& open, const Members& members, const std::string& name) {
        if (!open.index && members.size() >= kIndexFrom) {
            open.index = std::make_unique<std::unordered_map<std::string, std::size_t>>();
            open.index->reserve(members.size() * 2);
            for (std::size_t i = 0; i < members.size(); ++i) {
                open.index->emplace(members[i].first, i);
            }
        }
        if (open.index) {
            const auto it = open.index->find(name);
            return it == open.index->end() ? kMissing : it->second;
        }
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (members[i].first == name) {
                return i;
            }
        }
        return kMissing;
    }

    // Stores `value` where the next value goes (the root, the current array,
    // or the member whose key came last) and returns it. Containers on the
    // stack are only ever the last element of their parent, so the parent
    // does not grow, and pointers into it stay valid, while they are filled.
    Json& place(Json value) {
        if (open_.empty()) {
            root_ = std::move(value);
            return root_;
        }
        Json& container = *open_.back().container;
        if (container.is_array()) {
            auto& elements = container.get_ref<Json::array_t&>();
            elements.push_back(std::move(value));
            return elements.back();
        }
        *slot_ = std::move(value);
        return *slot_;
    }
    bool put(Json value) {
        place(std::move(value));
        return true;
    }

    Json& root_;
    std::vector<Open> open_;
    Json* slot_ = nullptr;
    std::string error_;
};

}  // namespace

Result<Json, DecodingError> parseJson(std::string_view text) {
    Json root;
    LinearJsonBuilder builder(root);
    try {
        if (!Json::sax_parse(text.begin(), text.end(), &builder)) {
            return DecodingError{builder.error()};
        }
    } catch (const Json::exception& e) {
        return DecodingError{e.what()};
    }
    return root;
}

bool JsonValue<bool>::decode(const Json& json, std::string_view context) {
    if (!json.is_boolean()) {
        throwDecoding(context, "expected a Boolean");
    }
    return json.get<bool>();
}

std::int64_t JsonValue<std::int64_t>::decode(const Json& json, std::string_view context) {
    if (json.is_number_unsigned()) {
        const auto value = json.get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            throwDecoding(context, "integer out of range");
        }
        return static_cast<std::int64_t>(value);
    }
    if (!json.is_number_integer()) {
        throwDecoding(context, "expected an integer");
    }
    return json.get<std::int64_t>();
}

double JsonValue<double>::decode(const Json& json, std::string_view context) {
    if (!json.is_number()) {
        throwDecoding(context, "expected a number");
    }
    return json.get<double>();
}

std::string JsonValue<std::string>::decode(const Json& json, std::string_view context) {
    if (!json.is_string()) {
        throwDecoding(context, "expected a string");
    }
    return json.get<std::string>();
}

JsonObjectReader::JsonObjectReader(const Json& json, std::string_view context) : json_(json) {
    if (!json.is_object()) {
        throwDecoding(context, "expected an object");
    }
}

const Json* JsonObjectReader::find(std::string_view key) const {
    auto it = json_.find(key);
    return it == json_.end() ? nullptr : &*it;
}

std::string dumpJson(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace scourlet
