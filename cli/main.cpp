#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "ScourletCore/platform/Diagnostics.h"
#include "cli/CleanCommand.h"

int main(int argc, char** argv) {
    // Started with standard output or error closed, the program would hand
    // their numbers to the next file it opens, and its output would go there.
    // Hold them with /dev/null opened for reading: writes to them still fail,
    // and are reported.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF && ::open("/dev/null", O_RDONLY) == -1) {
            return scourlet::cli::CleanCommand::kWriteFailed;
        }
    }
    // Standard output carries cleaned text; the core's warnings must not mix into it.
    scourlet::setDiagnosticsStream(scourlet::DiagnosticsStream::standardError);
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const scourlet::cli::CleanCommand command(scourlet::cli::CleanCommand::Environment::standard());
    int status = command.execute(args, std::cin, std::cout, std::cerr);
    // Everything is written; closing may still report a write the system
    // had put off (a network file system, for one).
    if (::close(STDOUT_FILENO) != 0 && errno != EBADF &&
        status != scourlet::cli::CleanCommand::kWriteFailed) {
        std::cerr << "scourlet: could not write to standard output: " << std::strerror(errno)
                  << "\n";
        status = scourlet::cli::CleanCommand::kWriteFailed;
    }
    return status;
}
