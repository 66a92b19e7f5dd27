#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace scourlet::testing {

// Sets or unsets environment variables for one scope and puts the previous
// values back afterwards. Not thread-safe: use it only while no other thread of
// the test reads the environment.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            apply(it->first, it->second);
        }
    }

    // Sets `name` to `value`, or unsets it when `value` is empty.
    void set(const std::string& name, std::optional<std::string> value) {
        const char* previous = std::getenv(name.c_str());
        saved_.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
        apply(name, value);
    }
    void unset(const std::string& name) { set(name, std::nullopt); }

private:
    static void apply(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace scourlet::testing
