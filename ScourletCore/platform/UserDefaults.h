// UserDefaults: the small key-value settings store of a process.
//
// Every core object that keeps settings takes a UserDefaults in its
// constructor; the program's start-up code chooses the implementation
// (FileUserDefaults for real settings, InMemoryUserDefaults for tests and
// scratch objects). Values are JSON values restricted to the kinds a settings
// store can keep: Booleans, 64-bit integers, finite doubles, UTF-8 strings,
// data bytes (Json::binary), dates (setDate) and arrays and dictionaries of
// these. The typed readers convert between scalar kinds the way Foundation's
// defaults do; data, dates, arrays and dictionaries are never converted.
//
//   InMemoryUserDefaults defaults;
//   defaults.setInteger("stats_total", 3);
//   Connection c = defaults.observe("stats_total", [] { redraw(); });
//   std::int64_t total = defaults.integerForKey("stats_total");   // 3
//
// All members are thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Observable.h"

namespace scourlet {

using DefaultsValue = Json;
using DefaultsData = std::vector<std::uint8_t>;
// A change of one stored value: the value before (nothing when the key is
// absent) to the value after (nothing, or null, removes the key).
using DefaultsValueChange =
    std::function<std::optional<DefaultsValue>(std::optional<DefaultsValue>)>;

namespace internal {
struct DefaultsObservers;
}

class UserDefaults {
public:
    UserDefaults();
    virtual ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The stored value, or nothing when the key is absent.
    virtual std::optional<DefaultsValue> object(std::string_view key) const = 0;

    // A copy of every stored key and value.
    virtual std::map<std::string, DefaultsValue> dictionaryRepresentation() const = 0;

    // Stores `value` under `key`; a null value removes the key. A value the
    // store cannot keep (null inside an array or dictionary, an unsigned integer
    // above INT64_MAX, NaN or infinity, a string or key that is not UTF-8,
    // nesting deeper than 64 levels) is refused: nothing changes. A
    // non-negative integer is always kept as a signed integer and data loses any
    // subtype. Observers of the key run when the stored value changed; a value
    // of another kind (1 vs 1.0) counts as a change.
    void set(std::string_view key, DefaultsValue value);
    void removeObject(std::string_view key);

    void setBool(std::string_view key, bool value);
    void setInteger(std::string_view key, std::int64_t value);
    void setDouble(std::string_view key, double value);  // NaN or infinity: refused
    void setString(std::string_view key, std::string value);
    void setData(std::string_view key, DefaultsData value);
    // Kept as seconds since 1970 in a double: a date reads back within a
    // microsecond (whole seconds exactly).
    void setDate(std::string_view key, std::chrono::system_clock::time_point date);

    // Changes the value under `key` in one step that no other change of the
    // key, in this process or another sharing the store, can come between:
    // read, `change`, store. Use it for a value that is a whole list, map or
    // counter, where set() with a value read earlier would undo what another
    // process did meanwhile (one adds a site exception, the other another).
    // A file-backed store applies `change` at once to what this object holds
    // and once more when it writes, to what the file holds then; so `change`
    // must depend on its argument only, and may run more than once and on
    // other threads. It runs under the store's lock: it must not use the
    // store. A result the store cannot keep (see set()) leaves the value as it
    // was. Observers run as for set(). Data under the key is passed as data
    // (Json::binary) and dates as dates.
    //
    //   defaults.update("visits", [](std::optional<DefaultsValue> v) {
    //       return DefaultsValue(v && v->is_number_integer() ? v->get<std::int64_t>() + 1 : 1);
    //   });
    void update(std::string_view key, DefaultsValueChange change);

    bool contains(std::string_view key) const;

    // Scalar readers. An absent key or a value of another kind that does not
    // convert gives false / 0 / 0.0.
    //  - Boolean: itself; a number: nonzero; a string: true when, after leading
    //    white space, an optional sign and leading zeros, it starts with one of
    //    "Y", "y", "T", "t" or a digit 1 to 9 ("YES", "true", "1", "-7", "007").
    bool boolForKey(std::string_view key) const;
    //  - Boolean: 1 or 0; a double: truncated toward zero and clamped to the
    //    int64 range; a string: its leading decimal integer after white space
    //    ("42px" gives 42, "3.9" gives 3), clamped when it overflows.
    std::int64_t integerForKey(std::string_view key) const;
    //  - Boolean: 1.0 or 0.0; an integer: converted; a string: its leading
    //    decimal number after white space ("2.5e3x" gives 2500, "0x10" gives 0,
    //    "inf" gives 0), an overflow gives an infinity with the sign.
    double doubleForKey(std::string_view key) const;

    // A string as stored; a number as decimal text (an integer exactly, a
    // double in its shortest round-trip form, 1.0 as "1"); a Boolean, being a
    // number to Foundation, as "1" or "0". Anything else: nothing.
    std::optional<std::string> stringForKey(std::string_view key) const;

    // Strict readers: the value only when it has exactly this kind (a string is
    // never data), otherwise nothing.
    std::optional<DefaultsData> dataForKey(std::string_view key) const;
    // A date stored with setDate(); nothing for every other kind (a number is
    // never a date) and for a date outside the range of time_point (about the
    // years 1678 to 2262), which a hand-edited file could hold.
    std::optional<std::chrono::system_clock::time_point> dateForKey(std::string_view key) const;
    std::optional<Json> arrayForKey(std::string_view key) const;
    std::optional<Json> dictionaryForKey(std::string_view key) const;
    // An array whose every element is a string; any other value gives nothing.
    std::optional<std::vector<std::string>> stringArrayForKey(std::string_view key) const;

    // Calls `onChange` after a set() or removeObject() on this object changes
    // the stored value of `key` (not when an equal value is stored again, and
    // not for changes that other processes or other objects over the same file
    // make). The call happens on the writing thread, outside every lock of the
    // store, so the callback may read and write the store. Destroying the
    // Connection unsubscribes; a callback that another thread has already
    // started may still finish. The Connection may outlive the store.
    [[nodiscard]] Connection observe(std::string key, std::function<void()> onChange);

protected:
    // Stores a normalized value under `key`, or removes the key when `value` is
    // empty. Returns true when the value that reads now return differs from
    // the one before (compare with internal::strictlyEqual()).
    virtual bool storeValue(std::string_view key, std::optional<DefaultsValue> value) = 0;
    // Applies `change` (already made safe by applyChange()) to the value
    // under `key` as one step; returns true when the value changed.
    virtual bool updateValue(std::string_view key,
                             const std::shared_ptr<const DefaultsValueChange>& change) = 0;

    // The value that `change` makes of `current`, normalized; `current` itself
    // when the result could not be stored.
    static std::optional<DefaultsValue> applyChange(const DefaultsValueChange& change,
                                                    const std::optional<DefaultsValue>& current);
    // Whether two stored values (either possibly absent) differ.
    static bool differ(const std::optional<DefaultsValue>& a, const std::optional<DefaultsValue>& b);
    // Applies `change` to the value under `key` in `values`, adding or
    // removing the key as the result asks; returns true when it changed.
    static bool applyChangeIn(std::map<std::string, DefaultsValue, std::less<>>& values,
                              std::string_view key, const DefaultsValueChange& change);

private:
    void notifyObservers(std::string_view key) const;

    std::shared_ptr<internal::DefaultsObservers> observers_;
};

}  // namespace scourlet
