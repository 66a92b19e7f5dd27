#pragma once

#include <functional>

namespace scourlet::testing {

// Runs `body(index)` for index 0 to count-1, each in a child process of its own
// made by fork(), and waits for them all. The children start `body` together
// (as soon as every one of them exists), so their work overlaps as much as it
// can. A child ends with _exit(): 0 when `body` returned true, 1 otherwise, so
// nothing of the parent (test report, static objects, leak checks) runs in it;
// `body` must report through its result, not through test assertions.
// `beforeStart` runs in the parent once every child exists and before they
// start (what it opens or locks is not inherited), `whileRunning` right after
// they were started; both may be empty.
// Returns true when every child was started and succeeded.
bool runInForkedProcesses(int count, const std::function<bool(int index)>& body,
                          const std::function<void()>& beforeStart = {},
                          const std::function<void()>& whileRunning = {});

}  // namespace scourlet::testing
