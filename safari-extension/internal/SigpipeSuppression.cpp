#include "safari-extension/internal/SigpipeSuppression.h"

#include <pthread.h>

#include <ctime>

namespace scourlet::nativehost::internal {
namespace {

sigset_t pipeSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    return set;
}

}  // namespace

SigpipeSuppression::SigpipeSuppression() {
    const sigset_t pipeSet = pipeSignalSet();
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeSet, &previousMask_);
}

SigpipeSuppression::~SigpipeSuppression() {
    if (!wasPending_) {
        // A SIGPIPE raised by our own writes is pending on the thread now; take
        // it before unblocking, or it would be delivered at once.
        const sigset_t pipeSet = pipeSignalSet();
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1) {
#if defined(__APPLE__)
            int taken = 0;
            sigwait(&pipeSet, &taken);
#else
            const timespec noWait{0, 0};
            sigtimedwait(&pipeSet, nullptr, &noWait);
#endif
        }
    }
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

}  // namespace scourlet::nativehost::internal
