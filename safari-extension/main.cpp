// scourlet-native-host: the browser extension's native-messaging host.
//
// The browser starts it and talks to it over standard input and output (see
// NativeMessagingChannel). Firefox passes the manifest path and the extension
// id as arguments, Chromium the caller's origin; none of them is needed. A
// person who runs it with --help gets a short usage instead.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "ScourletCore/platform/Diagnostics.h"
#include "safari-extension/NativeMessageHandler.h"
#include "safari-extension/NativeMessagingChannel.h"

namespace {

// Moves `fd` to a private descriptor that no child process inherits.
int takePrivately(int fd) {
    return fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
}

constexpr std::string_view kUsage = R"(Usage: scourlet-native-host

The native-messaging host of the Scourlet browser extension; it is not run by
hand. A browser (Firefox, Chromium, Chrome) starts it when the extension asks,
finding it through the host manifest com.morrowgate.scourlet.json, and
exchanges length-prefixed JSON messages with it on standard input and output:
the extension sends the links to clean, the host answers with the cleaned
links, cleaned locally with the shipped rules. To clean links yourself, use
the scourlet command-line tool.
)";

}  // namespace

int main(int argc, char** argv) {
    using namespace scourlet;
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        const bool written = std::fwrite(kUsage.data(), 1, kUsage.size(), stdout) == kUsage.size();
        return written && std::fflush(stdout) == 0 ? 0 : 1;
    }
    setDiagnosticsStream(DiagnosticsStream::standardError);
    signal(SIGPIPE, SIG_IGN);

    // The protocol runs over private copies of standard input and output.
    // Descriptor 1 then points at standard error and descriptor 0 at
    // /dev/null, so a stray print of any library lands in the browser's log,
    // never in the protocol stream, and nothing else can read a message.
    std::fflush(stdout);
    const int protocolIn = takePrivately(STDIN_FILENO);
    const int protocolOut = takePrivately(STDOUT_FILENO);
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (protocolIn < 0 || protocolOut < 0 || devNull < 0 ||
        dup2(STDERR_FILENO, STDOUT_FILENO) < 0 || dup2(devNull, STDIN_FILENO) < 0) {
        printDiagnostic("Error: Could not set up the message channel");
        return 1;
    }
    close(devNull);

    nativehost::NativeMessageHandler handler(
        nativehost::NativeMessageHandler::Environment::standard());
    nativehost::NativeMessagingChannel channel(protocolIn, protocolOut);
    return channel.serve([&](const Json& message) { return handler.handle(message); });
}
