// What this process and the programs it starts write to standard error (the
// session's log), or to standard output, while the capture lives.
//
//   OutputCapture log;                       // standard error; OutputCapture(STDOUT_FILENO)
//   openLink(url);
//   QVERIFY(log.text().find(secret) == std::string::npos);
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace scourlet::testing {

class OutputCapture {
public:
    explicit OutputCapture(int fd = STDERR_FILENO) : fd_(fd), file_(dir_ / "output.txt") {
        flush();
        saved_ = ::dup(fd_);
        const int file = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(file, fd_);
        ::close(file);
    }
    ~OutputCapture() { restore(); }
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    // Ends the capture and answers what was written.
    std::string text() {
        restore();
        return readFile(file_);
    }

private:
    static void flush() {
        std::fflush(stdout);
        std::fflush(stderr);
    }
    void restore() {
        if (saved_ >= 0) {
            flush();
            ::dup2(saved_, fd_);
            ::close(saved_);
            saved_ = -1;
        }
    }

    int fd_;
    TempDir dir_;
    std::filesystem::path file_;
    int saved_ = -1;
};

}  // namespace scourlet::testing
