// Change notification without a UI toolkit.
//
// A Signal calls its connected slots; a Connection disconnects when destroyed.
// An ObservableObject announces "about to change" before any of its Published
// fields changes, and each Published field announces its new value before it
// is stored, so an observer always runs while the old value is still visible.
//
//   Connection c = entry->isEnabledPublisher().connect([](const bool& v) { ... });
//   entry->setIsEnabled(false);   // slot runs, then the value changes
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace scourlet {

// Owned subscription; destroying or resetting it disconnects the slot.
class Connection {
public:
    Connection() = default;
    explicit Connection(std::function<void()> disconnect) : disconnect_(std::move(disconnect)) {}
    Connection(Connection&& other) noexcept : disconnect_(std::exchange(other.disconnect_, {})) {}
    Connection& operator=(Connection&& other) noexcept {
        if (this != &other) {
            reset();
            disconnect_ = std::exchange(other.disconnect_, {});
        }
        return *this;
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { reset(); }

    void reset() {
        if (disconnect_) {
            std::exchange(disconnect_, {})();
        }
    }
    bool connected() const { return static_cast<bool>(disconnect_); }

private:
    std::function<void()> disconnect_;
};

template <class... Args>
class Signal {
public:
    using Slot = std::function<void(const Args&...)>;

    Signal() : state_(std::make_shared<State>()) {}
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    // The slot stays connected while the returned Connection lives. A
    // Connection that outlives the Signal is harmless.
    [[nodiscard]] Connection connect(Slot slot) {
        std::lock_guard lock(state_->mutex);
        const std::uint64_t id = ++state_->nextId;
        state_->slots.emplace_back(id, std::make_shared<Slot>(std::move(slot)));
        std::weak_ptr<State> weak = state_;
        return Connection([weak, id] {
            if (auto state = weak.lock()) {
                std::lock_guard stateLock(state->mutex);
                std::erase_if(state->slots, [id](const auto& entry) { return entry.first == id; });
            }
        });
    }

    // Calls every slot connected at the time of the call; slots may connect or
    // disconnect while they run.
    void emit(const Args&... args) const {
        std::vector<std::shared_ptr<Slot>> snapshot;
        {
            std::lock_guard lock(state_->mutex);
            snapshot.reserve(state_->slots.size());
            for (const auto& entry : state_->slots) {
                snapshot.push_back(entry.second);
            }
        }
        for (const auto& slot : snapshot) {
            (*slot)(args...);
        }
    }

private:
    struct State {
        std::mutex mutex;
        std::uint64_t nextId = 0;
        std::vector<std::pair<std::uint64_t, std::shared_ptr<Slot>>> slots;
    };
    std::shared_ptr<State> state_;
};

class ObservableObject {
public:
    ObservableObject() = default;
    ObservableObject(const ObservableObject&) = delete;
    ObservableObject& operator=(const ObservableObject&) = delete;
    virtual ~ObservableObject() = default;

    // Emitted before any published field of this object changes.
    Signal<>& objectWillChange() const { return objectWillChange_; }

private:
    mutable Signal<> objectWillChange_;
};

// One published field of an ObservableObject. Every assignment announces,
// also when the value stays the same, as a settings binding expects.
template <class T>
class Published {
public:
    Published(const ObservableObject& owner, T initial) : owner_(owner), value_(std::move(initial)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& get() const { return value_; }
    operator const T&() const { return value_; }  // NOLINT: implicit read

    void set(T value) {
        owner_.objectWillChange().emit();
        publisher_.emit(value);
        value_ = std::move(value);
    }

    // Emits the new value before it is stored.
    Signal<T>& publisher() const { return publisher_; }

private:
    const ObservableObject& owner_;
    T value_;
    mutable Signal<T> publisher_;
};

}  // namespace scourlet
