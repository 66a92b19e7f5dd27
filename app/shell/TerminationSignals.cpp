#include "app/shell/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace scourlet::app {

namespace {

int gPipe[2] = {-1, -1};

extern "C" void forwardSignal(int signalNumber) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t ignored = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (gPipe[0] >= 0 || ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, nullptr) != 0 || ::sigaction(SIGINT, &action, nullptr) != 0) {
        return;
    }
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(gPipe[0], &byte, 1) == 1) {
            Q_EMIT received(byte);
        }
    });
}

TerminationSignals::~TerminationSignals() {
    if (notifier_ != nullptr) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
    }
}

}  // namespace scourlet::app
