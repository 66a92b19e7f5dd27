// Result: a value or an error, for core calls that can fail.
//
// No exception leaves the core library; calls that can fail return a Result
// that the caller must look at.
//
//   Result<int> r = parsePort("8080");
//   if (!r) return r.error();
//   use(*r);
#pragma once

#include <cassert>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace scourlet {

// The general error of the core: a message meant for logs and tests.
struct Error {
    std::string message;
    bool operator==(const Error&) const = default;
};

template <class T, class E = Error>
class [[nodiscard]] Result {
    static_assert(!std::is_same_v<std::decay_t<T>, std::decay_t<E>>,
                  "a Result needs distinct value and error types");

public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit
    Result(E error) : state_(std::in_place_index<1>, std::move(error)) {}  // NOLINT: implicit

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & {
        assert(ok());
        return std::get<0>(state_);
    }
    const T& value() const& {
        assert(ok());
        return std::get<0>(state_);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(state_));
    }
    const E& error() const {
        assert(!ok());
        return std::get<1>(state_);
    }

    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    template <class U>
    T valueOr(U&& fallback) const& {
        return ok() ? value() : T(std::forward<U>(fallback));
    }

private:
    std::variant<T, E> state_;
};

template <class E>
class [[nodiscard]] Result<void, E> {
public:
    Result() = default;
    Result(E error) : error_(std::move(error)), failed_(true) {}  // NOLINT: implicit

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const E& error() const {
        assert(failed_);
        return error_;
    }

private:
    E error_{};
    bool failed_ = false;
};

}  // namespace scourlet
