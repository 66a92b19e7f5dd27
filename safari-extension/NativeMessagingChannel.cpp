#include "safari-extension/NativeMessagingChannel.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "ScourletCore/platform/Diagnostics.h"
#include "safari-extension/internal/SigpipeSuppression.h"

namespace scourlet::nativehost {
namespace {

// True when the brackets of `text`, outside strings, never nest deeper than
// `limit`. Checked before parsing: the parser itself copes with deep nesting,
// but copying or printing such a value recurses once per level.
bool nestingWithin(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) {
                return false;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

std::string frame(std::string_view body) {
    const auto length = static_cast<std::uint32_t>(body.size());
    std::string bytes(sizeof length, '\0');
    std::memcpy(bytes.data(), &length, sizeof length);
    bytes.append(body);
    return bytes;
}

}  // namespace

Json NativeMessagingChannel::decodeMessage(std::string_view body) {
    if (!nestingWithin(body, kMaxNesting)) {
        return Json::object();
    }
    auto parsed = parseJson(body);
    if (!parsed || !parsed->is_object()) {
        return Json::object();
    }
    return std::move(*parsed);
}

std::string NativeMessagingChannel::encodeReply(const Json& reply) {
    const std::string body = dumpJson(reply);
    if (body.size() > kMaxReplyBytes) {
        return frame(dumpJson(Json{{"error", std::string(kReplyTooLarge)}}));
    }
    return frame(body);
}

NativeMessagingChannel::ReadOutcome NativeMessagingChannel::readExactly(char* buffer,
                                                                        std::size_t size,
                                                                        bool atMessageStart) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = read(inputFd_, buffer + done, size - done);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got == 0) {
            if (atMessageStart && done == 0) {
                return ReadOutcome::endOfInput;
            }
            printDiagnostic("Warning: The browser closed the connection inside a message");
            return ReadOutcome::failed;
        } else if (errno != EINTR) {
            printDiagnostic(std::string("Warning: Could not read a message: ") +
                            std::strerror(errno));
            return ReadOutcome::failed;
        }
    }
    return ReadOutcome::complete;
}

bool NativeMessagingChannel::discard(std::uint32_t size) {
    char chunk[16 * 1024];
    while (size > 0) {
        const std::size_t part = std::min<std::size_t>(size, sizeof chunk);
        if (readExactly(chunk, part, false) != ReadOutcome::complete) {
            return false;
        }
        size -= static_cast<std::uint32_t>(part);
    }
    return true;
}

bool NativeMessagingChannel::writeAll(std::string_view bytes) {
    internal::SigpipeSuppression noSigpipe;
    while (!bytes.empty()) {
        const ssize_t written = write(outputFd_, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
        } else if (written < 0 && errno != EINTR) {
            printDiagnostic(std::string("Warning: Could not write a reply: ") +
                            std::strerror(errno));
            return false;
        }
    }
    return true;
}

int NativeMessagingChannel::serve(const Handler& handler) {
    std::vector<char> body;
    for (;;) {
        std::uint32_t length = 0;
        char header[sizeof length];
        switch (readExactly(header, sizeof header, true)) {
            case ReadOutcome::endOfInput:
                return 0;
            case ReadOutcome::failed:
                return 1;
            case ReadOutcome::complete:
                break;
        }
        std::memcpy(&length, header, sizeof length);

        std::string reply;
        if (length > kMaxMessageBytes) {
            if (!discard(length)) {
                return 1;
            }
            reply = encodeReply(Json{{"error", std::string(kMessageTooLarge)}});
        } else {
            body.resize(length);
            if (readExactly(body.data(), length, false) != ReadOutcome::complete) {
                return 1;
            }
            reply = encodeReply(handler(decodeMessage(std::string_view(body.data(), length))));
        }
        if (!writeAll(reply)) {
            return 1;
        }
    }
}

}  // namespace scourlet::nativehost
