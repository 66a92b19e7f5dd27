#include "ScourletCore/rules/LastCleanRecorder.h"

namespace scourlet {

namespace {
const Clock& systemClock() {
    static const SystemClock clock;
    return clock;
}
}  // namespace

LastCleanRecorder::LastCleanRecorder(const Clock* clock)
    : clock_(clock != nullptr ? clock : &systemClock()),
      snapshot_(std::make_shared<const std::optional<LastCleanRecord>>()) {}

std::optional<LastCleanRecord> LastCleanRecorder::current() const {
    return *snapshot_.load();
}

void LastCleanRecorder::record(std::string original, std::string cleaned, std::string surface) {
    LastCleanRecord record{std::move(original), std::move(cleaned), clock_->now(),
                           std::move(surface)};
    std::lock_guard guard(lock_);
    publish(std::move(record));
}

std::optional<LastCleanRecord> LastCleanRecorder::takeAndClear() {
    std::lock_guard guard(lock_);
    std::optional<LastCleanRecord> taken = *snapshot_.load();
    publish(std::nullopt);
    return taken;
}

void LastCleanRecorder::clear() {
    std::lock_guard guard(lock_);
    publish(std::nullopt);
}

void LastCleanRecorder::publish(std::optional<LastCleanRecord> value) {
    objectWillChange().emit();
    publisher_.emit(value);
    snapshot_.store(std::make_shared<const std::optional<LastCleanRecord>>(std::move(value)));
}

}  // namespace scourlet
