#include "support/ProgramRun.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace scourlet::testing {

int runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& output, std::optional<std::uint64_t> fileSizeLimit) {
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0) {
        return -1;
    }
    // Everything the child needs is made before fork(): after it, only
    // async-signal-safe calls until exec.
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::dup2(out, STDOUT_FILENO) < 0 || ::dup2(out, STDERR_FILENO) < 0) {
            ::_exit(127);
        }
        if (fileSizeLimit) {
            // Ignored, the signal leaves the write to fail with EFBIG, and
            // the ignoring survives exec.
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{*fileSizeLimit, *fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                ::_exit(127);
            }
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out);
    if (pid < 0) {
        return -1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace scourlet::testing
