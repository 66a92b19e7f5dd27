#include "ScourletCore/platform/UserDefaults.h"

#include "ScourletCore/platform/Text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <mutex>
#include <utility>

#include "ScourletCore/platform/internal/DefaultsValueCoding.h"

namespace scourlet {

namespace internal {

struct DefaultsObservers {
    struct Entry {
        std::uint64_t id;
        std::string key;
        std::shared_ptr<std::function<void()>> callback;
    };
    std::mutex mutex;
    std::uint64_t nextId = 0;
    std::vector<Entry> entries;
};

}  // namespace internal

namespace {

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

// The C locale's white space, as Foundation's scanner skips it. Locale
// functions are avoided on purpose: a Qt program sets the user's locale.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view skipSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    return text.substr(i);
}

// Consumes an optional '+' or '-'; returns true for '-'.
bool takeSign(std::string_view& text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        const bool negative = text.front() == '-';
        text.remove_prefix(1);
        return negative;
    }
    return false;
}

bool stringBoolValue(std::string_view text) {
    text = skipSpace(text);
    takeSign(text);
    while (!text.empty() && text.front() == '0') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    const char c = text.front();
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::int64_t stringIntegerValue(std::string_view text) {
    text = skipSpace(text);
    const bool negative = takeSign(text);
    // Accumulate toward the negative side, which holds one more value.
    std::int64_t value = 0;
    for (char c : text) {
        if (!isDigit(c)) {
            break;
        }
        const int digit = c - '0';
        if (value < (kInt64Min + digit) / 10) {
            return negative ? kInt64Min : kInt64Max;
        }
        value = value * 10 - digit;
    }
    if (negative) {
        return value;
    }
    return value == kInt64Min ? kInt64Max : -value;
}

// Whether a decimal number that std::from_chars found out of range is too
// large (true) or too small (false), from its digits and exponent.
bool decimalOverflows(std::string_view number) {
    std::int64_t exponent = 0;  // decimal exponent of the first significant digit
    std::size_t i = 0;
    bool seenSignificant = false;
    std::int64_t integerDigits = 0;
    std::int64_t leadingFractionZeros = 0;
    for (; i < number.size() && isDigit(number[i]); ++i) {
        if (number[i] != '0' || seenSignificant) {
            seenSignificant = true;
            ++integerDigits;
        }
    }
    if (i < number.size() && number[i] == '.') {
        for (++i; i < number.size() && isDigit(number[i]); ++i) {
            if (!seenSignificant && number[i] == '0') {
                ++leadingFractionZeros;
            } else {
                seenSignificant = true;
            }
        }
    }
    exponent = integerDigits > 0 ? integerDigits - 1 : -(leadingFractionZeros + 1);
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        std::string_view rest = number.substr(i + 1);
        const bool negative = takeSign(rest);
        std::int64_t written = 0;
        for (char c : rest) {
            if (!isDigit(c)) {
                break;
            }
            written = std::min<std::int64_t>(written * 10 + (c - '0'), 1'000'000'000);
        }
        exponent += negative ? -written : written;
    }
    return exponent > 0;
}

double stringDoubleValue(std::string_view text) {
    text = skipSpace(text);
    const bool negative = takeSign(text);
    // Only plain decimal numbers: no "inf", "nan" or hexadecimal forms.
    const bool startsNumber =
        !text.empty() &&
        (isDigit(text.front()) || (text.front() == '.' && text.size() > 1 && isDigit(text[1])));
    if (!startsNumber) {
        return 0.0;
    }
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        const std::string_view number(text.data(), static_cast<std::size_t>(end - text.data()));
        value = decimalOverflows(number) ? HUGE_VAL : 0.0;
    } else if (error != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::int64_t truncateToInt64(double value) {
    // 2^63 is exactly representable; every double below it converts safely.
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (value >= kTwoTo63) {
        return kInt64Max;
    }
    if (value < -kTwoTo63) {
        return kInt64Min;
    }
    return static_cast<std::int64_t>(value);
}

std::string decimalText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

UserDefaults::UserDefaults() : observers_(std::make_shared<internal::DefaultsObservers>()) {}

UserDefaults::~UserDefaults() = default;

void UserDefaults::set(std::string_view key, DefaultsValue value) {
    if (!isValidUTF8(key) || !internal::normalizeDefaultsValue(value)) {
        return;
    }
    std::optional<DefaultsValue> stored;
    if (!value.is_null()) {
        stored.emplace(std::move(value));
    }
    if (storeValue(key, std::move(stored))) {
        notifyObservers(key);
    }
}

void UserDefaults::removeObject(std::string_view key) {
    if (storeValue(key, std::nullopt)) {
        notifyObservers(key);
    }
}

void UserDefaults::update(std::string_view key, DefaultsValueChange change) {
    if (!isValidUTF8(key) || !change) {
        return;
    }
    if (updateValue(key, std::make_shared<const DefaultsValueChange>(std::move(change)))) {
        notifyObservers(key);
    }
}

std::optional<DefaultsValue> UserDefaults::applyChange(const DefaultsValueChange& change,
                                                       const std::optional<DefaultsValue>& current) {
    std::optional<DefaultsValue> next = change(current);
    if (next && next->is_null()) {
        next.reset();
    }
    if (next && !internal::normalizeDefaultsValue(*next)) {
        return current;
    }
    return next;
}

bool UserDefaults::differ(const std::optional<DefaultsValue>& a,
                          const std::optional<DefaultsValue>& b) {
    if (!a || !b) {
        return a.has_value() != b.has_value();
    }
    return !internal::strictlyEqual(*a, *b);
}

bool UserDefaults::applyChangeIn(std::map<std::string, DefaultsValue, std::less<>>& values,
                                 std::string_view key, const DefaultsValueChange& change) {
    const auto it = values.find(key);
    std::optional<DefaultsValue> current;
    if (it != values.end()) {
        current = it->second;
    }
    std::optional<DefaultsValue> next = applyChange(change, current);
    if (!differ(current, next)) {
        return false;
    }
    if (!next) {
        values.erase(it);
    } else if (it == values.end()) {
        values.emplace(std::string(key), std::move(*next));
    } else {
        it->second = std::move(*next);
    }
    return true;
}

void UserDefaults::setBool(std::string_view key, bool value) {
    set(key, DefaultsValue(value));
}

void UserDefaults::setInteger(std::string_view key, std::int64_t value) {
    set(key, DefaultsValue(value));
}

void UserDefaults::setDouble(std::string_view key, double value) {
    set(key, DefaultsValue(value));
}

void UserDefaults::setString(std::string_view key, std::string value) {
    set(key, DefaultsValue(std::move(value)));
}

void UserDefaults::setData(std::string_view key, DefaultsData value) {
    set(key, DefaultsValue::binary(std::move(value)));
}

void UserDefaults::setDate(std::string_view key, std::chrono::system_clock::time_point date) {
    set(key,
        internal::makeDefaultsDate(std::chrono::duration<double>(date.time_since_epoch()).count()));
}

bool UserDefaults::contains(std::string_view key) const {
    return object(key).has_value();
}

bool UserDefaults::boolForKey(std::string_view key) const {
    const auto value = object(key);
    if (!value) {
        return false;
    }
    switch (value->type()) {
        case Json::value_t::boolean:
            return value->get<bool>();
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
            return value->get<std::int64_t>() != 0;
        case Json::value_t::number_float:
            return value->get<double>() != 0.0;
        case Json::value_t::string:
            return stringBoolValue(value->get_ref<const std::string&>());
        default:
            return false;
    }
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    const auto value = object(key);
    if (!value) {
        return 0;
    }
    switch (value->type()) {
        case Json::value_t::boolean:
            return value->get<bool>() ? 1 : 0;
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
            return value->get<std::int64_t>();
        case Json::value_t::number_float:
            return truncateToInt64(value->get<double>());
        case Json::value_t::string:
            return stringIntegerValue(value->get_ref<const std::string&>());
        default:
            return 0;
    }
}

double UserDefaults::doubleForKey(std::string_view key) const {
    const auto value = object(key);
    if (!value) {
        return 0.0;
    }
    switch (value->type()) {
        case Json::value_t::boolean:
            return value->get<bool>() ? 1.0 : 0.0;
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float:
            return value->get<double>();
        case Json::value_t::string:
            return stringDoubleValue(value->get_ref<const std::string&>());
        default:
            return 0.0;
    }
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
    auto value = object(key);
    if (!value) {
        return std::nullopt;
    }
    switch (value->type()) {
        case Json::value_t::string:
            return std::move(value->get_ref<std::string&>());
        case Json::value_t::boolean:
            return std::string(value->get<bool>() ? "1" : "0");
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
            return std::to_string(value->get<std::int64_t>());
        case Json::value_t::number_float:
            return decimalText(value->get<double>());
        default:
            return std::nullopt;
    }
}

std::optional<DefaultsData> UserDefaults::dataForKey(std::string_view key) const {
    auto value = object(key);
    if (!value || !value->is_binary() || internal::defaultsDateSeconds(*value)) {
        return std::nullopt;
    }
    return DefaultsData(std::move(static_cast<DefaultsData&>(value->get_binary())));
}

std::optional<std::chrono::system_clock::time_point> UserDefaults::dateForKey(
    std::string_view key) const {
    using TimePoint = std::chrono::system_clock::time_point;
    const auto value = object(key);
    const auto seconds = value ? internal::defaultsDateSeconds(*value) : std::nullopt;
    if (!seconds) {
        return std::nullopt;
    }
    // Whole seconds and the fraction apart, so a date of today keeps its
    // microseconds; both bounds are checked before anything is converted.
    const double whole = std::floor(*seconds);
    constexpr double kTicksPerSecond =
        static_cast<double>(TimePoint::period::den) / static_cast<double>(TimePoint::period::num);
    const double limit =
        static_cast<double>(
            std::chrono::duration_cast<std::chrono::seconds>(TimePoint::duration::max()).count()) -
        1;
    if (whole < -limit || whole > limit) {
        return std::nullopt;
    }
    const auto fraction =
        static_cast<TimePoint::rep>(std::llround((*seconds - whole) * kTicksPerSecond));
    return TimePoint(std::chrono::seconds(static_cast<std::int64_t>(whole))) +
           TimePoint::duration(fraction);
}

std::optional<Json> UserDefaults::arrayForKey(std::string_view key) const {
    auto value = object(key);
    if (!value || !value->is_array()) {
        return std::nullopt;
    }
    return value;
}

std::optional<Json> UserDefaults::dictionaryForKey(std::string_view key) const {
    auto value = object(key);
    if (!value || !value->is_object()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::vector<std::string>> UserDefaults::stringArrayForKey(
    std::string_view key) const {
    auto value = object(key);
    if (!value || !value->is_array()) {
        return std::nullopt;
    }
    std::vector<std::string> strings;
    strings.reserve(value->size());
    for (Json& element : *value) {
        if (!element.is_string()) {
            return std::nullopt;
        }
        strings.push_back(std::move(element.get_ref<std::string&>()));
    }
    return strings;
}

Connection UserDefaults::observe(std::string key, std::function<void()> onChange) {
    auto& registry = *observers_;
    std::lock_guard lock(registry.mutex);
    const std::uint64_t id = ++registry.nextId;
    registry.entries.push_back(
        {id, std::move(key), std::make_shared<std::function<void()>>(std::move(onChange))});
    std::weak_ptr<internal::DefaultsObservers> weak = observers_;
    return Connection([weak, id] {
        if (auto observers = weak.lock()) {
            std::lock_guard innerLock(observers->mutex);
            std::erase_if(observers->entries,
                          [id](const internal::DefaultsObservers::Entry& e) { return e.id == id; });
        }
    });
}

void UserDefaults::notifyObservers(std::string_view key) const {
    std::vector<std::shared_ptr<std::function<void()>>> matching;
    {
        std::lock_guard lock(observers_->mutex);
        for (const auto& entry : observers_->entries) {
            if (entry.key == key) {
                matching.push_back(entry.callback);
            }
        }
    }
    for (const auto& callback : matching) {
        (*callback)();
    }
}

}  // namespace scourlet
