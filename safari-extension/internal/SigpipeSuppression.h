// While an object of this type lives, writes of the calling thread to a pipe
// or socket whose reader is gone fail with EPIPE instead of raising SIGPIPE,
// whatever the process's handling of SIGPIPE is. A SIGPIPE raised meanwhile
// is taken back; one that was already pending for the thread is left alone.
#pragma once

#include <signal.h>

namespace scourlet::nativehost::internal {

class SigpipeSuppression {
public:
    SigpipeSuppression();
    ~SigpipeSuppression();
    SigpipeSuppression(const SigpipeSuppression&) = delete;
    SigpipeSuppression& operator=(const SigpipeSuppression&) = delete;

private:
    sigset_t previousMask_{};
    bool wasPending_ = false;
};

}  // namespace scourlet::nativehost::internal
