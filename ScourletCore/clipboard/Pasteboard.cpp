#include "ScourletCore/clipboard/Pasteboard.h"

namespace scourlet {

namespace internal {

// Shared with the handles, so that a handle that outlives its pasteboard finds
// no owner to tell instead of a dangling pointer.
struct PasteboardWatchers {
    Pasteboard* owner = nullptr;
    int count = 0;
};

}  // namespace internal

Pasteboard::Pasteboard() : watchers_(std::make_shared<internal::PasteboardWatchers>()) {
    watchers_->owner = this;
}

Pasteboard::~Pasteboard() {
    watchers_->owner = nullptr;
}

Connection Pasteboard::watch() {
    if (watchers_->count++ == 0) {
        setWatching(true);
    }
    return Connection([watchers = watchers_] {
        if (--watchers->count == 0 && watchers->owner != nullptr) {
            watchers->owner->setWatching(false);
        }
    });
}

bool Pasteboard::isWatched() const {
    return watchers_->count > 0;
}

void Pasteboard::setWatching(bool /*watching*/) {}

}  // namespace scourlet
