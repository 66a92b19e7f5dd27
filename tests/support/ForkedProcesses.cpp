#include "support/ForkedProcesses.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace scourlet::testing {

bool runInForkedProcesses(int count, const std::function<bool(int index)>& body,
                          const std::function<void()>& beforeStart,
                          const std::function<void()>& whileRunning) {
    // The children wait for the end of this pipe: closing the write end starts them all.
    int gate[2];
    if (::pipe(gate) != 0) {
        return false;
    }
    std::vector<pid_t> children;
    bool started = true;
    for (int index = 0; index < count; ++index) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(gate[1]);
            char byte = 0;
            while (::read(gate[0], &byte, 1) < 0 && errno == EINTR) {
            }
            bool ok = false;
            try {
                ok = body(index);
            } catch (...) {
                ok = false;
            }
            ::_exit(ok ? 0 : 1);
        }
        if (pid < 0) {
            started = false;
            break;
        }
        children.push_back(pid);
    }
    ::close(gate[0]);
    if (started && beforeStart) {
        beforeStart();
    }
    ::close(gate[1]);
    if (started && whileRunning) {
        whileRunning();
    }
    bool succeeded = started;
    for (const pid_t pid : children) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        succeeded = succeeded && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return succeeded;
}

}  // namespace scourlet::testing
