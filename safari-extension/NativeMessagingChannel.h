// NativeMessagingChannel: the browser's native-messaging protocol over two
// file descriptors.
//
// Each message in either direction is a 4-byte length in the machine's byte
// order followed by that many bytes of UTF-8 JSON. The channel reads one
// message, hands it to the handler, writes the reply, and reads the next, so
// replies leave one per message and in order.
//
//   NativeMessagingChannel channel(protocolIn, protocolOut);
//   int status = channel.serve([&](const Json& m) { return handler.handle(m); });
//
// Limits and outcomes:
//  - A message longer than kMaxMessageBytes is refused before anything is
//    allocated: its bytes are read and dropped and it is answered with
//    {"error":"Message too large"}; the next message is answered as usual.
//  - A message that is not JSON, not UTF-8, nested deeper than kMaxNesting or
//    not an object reaches the handler as an empty object.
//  - A reply longer than kMaxReplyBytes (the browsers' limit) is replaced by
//    {"error":"Reply too large"}.
//  - serve() returns 0 when the input ends between messages, 1 when it ends
//    inside one (nothing is written for it), when reading fails, or when the
//    reply cannot be written (the browser closed the pipe). Writing never
//    raises SIGPIPE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/Json.h"

namespace scourlet::nativehost {

class NativeMessagingChannel {
public:
    static constexpr std::uint32_t kMaxMessageBytes = 64 * 1024;
    static constexpr std::size_t kMaxReplyBytes = 1024 * 1024;
    static constexpr int kMaxNesting = 32;

    static constexpr std::string_view kMessageTooLarge = "Message too large";
    static constexpr std::string_view kReplyTooLarge = "Reply too large";

    using Handler = std::function<Json(const Json&)>;

    // Neither descriptor is closed by the channel.
    NativeMessagingChannel(int inputFd, int outputFd) : inputFd_(inputFd), outputFd_(outputFd) {}

    // Answers messages until the input ends or a write fails; returns the
    // exit status described above.
    int serve(const Handler& handler);

    // The message a body stands for: the parsed object, or an empty object
    // for anything the handler must not see.
    static Json decodeMessage(std::string_view body);

    // The bytes of a reply frame (length and JSON); the "Reply too large"
    // frame when the JSON is longer than kMaxReplyBytes.
    static std::string encodeReply(const Json& reply);

private:
    enum class ReadOutcome { complete, endOfInput, failed };

    ReadOutcome readExactly(char* buffer, std::size_t size, bool atMessageStart);
    bool discard(std::uint32_t size);
    bool writeAll(std::string_view bytes);

    int inputFd_;
    int outputFd_;
};

}  // namespace scourlet::nativehost
