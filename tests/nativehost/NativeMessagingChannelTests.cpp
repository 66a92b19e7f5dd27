#include "safari-extension/NativeMessagingChannel.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

namespace scourlet::nativehost {
namespace {

using Channel = NativeMessagingChannel;

std::string header(std::uint32_t length) {
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &length, 4);
    return bytes;
}

std::string frame(std::string_view body) {
    return header(static_cast<std::uint32_t>(body.size())) + std::string(body);
}

// Splits a reply stream into its bodies; fails the test on a malformed stream.
std::vector<Json> replies(std::string_view stream) {
    std::vector<Json> out;
    while (!stream.empty()) {
        EXPECT_GE(stream.size(), 4u) << "partial header";
        if (stream.size() < 4) {
            break;
        }
        std::uint32_t length = 0;
        std::memcpy(&length, stream.data(), 4);
        EXPECT_GE(stream.size() - 4, length) << "partial body";
        if (stream.size() - 4 < length) {
            break;
        }
        auto parsed = parseJson(stream.substr(4, length));
        EXPECT_TRUE(parsed) << "reply is not JSON";
        out.push_back(parsed ? *parsed : Json());
        stream.remove_prefix(4 + length);
    }
    return out;
}

struct ChannelRun {
    int status;
    std::string output;
};

// Feeds `chunks` to a channel through a pipe, one write each with a short
// pause between them (so the channel sees partial reads), then closes it.
ChannelRun serve(const std::vector<std::string>& chunks, const Channel::Handler& handler) {
    int in[2];
    int out[2];
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    std::thread writer([&] {
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            std::string_view rest = chunks[i];
            while (!rest.empty()) {
                const ssize_t n = write(in[1], rest.data(), rest.size());
                ASSERT_GT(n, 0);
                rest.remove_prefix(static_cast<std::size_t>(n));
            }
            if (i + 1 < chunks.size()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        close(in[1]);
    });
    int status = -1;
    std::thread server([&] {
        status = Channel(in[0], out[1]).serve(handler);
        close(out[1]);
    });
    std::string output;
    char buffer[65536];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<std::size_t>(n));
    }
    writer.join();
    server.join();
    close(in[0]);
    close(out[0]);
    return {status, output};
}

// Answers with the message it got, so tests see what the handler was given.
Json echo(const Json& message) {
    return Json{{"got", message}};
}

const Json kEmpty = Json{{"got", Json::object()}};

TEST(NativeMessagingChannel, FramesSplitOrJoinedAreAnsweredInOrder) {
    const std::string first = frame(R"({"action":"a"})");
    const std::string second = frame(R"({"action":"b","n":[1,2]})");
    const ChannelRun joined = serve({first + second}, echo);
    EXPECT_EQ(joined.status, 0);
    EXPECT_EQ(replies(joined.output),
              (std::vector<Json>{{{"got", {{"action", "a"}}}},
                                 {{"got", {{"action", "b"}, {"n", {1, 2}}}}}}));

    // Header split in two, body split in two.
    const ChannelRun split = serve({first.substr(0, 2), first.substr(2, 5), first.substr(7)}, echo);
    EXPECT_EQ(split.status, 0);
    EXPECT_EQ(replies(split.output), (std::vector<Json>{{{"got", {{"action", "a"}}}}}));
}

TEST(NativeMessagingChannel, EndOfInputBetweenFramesIsANormalEnd) {
    const ChannelRun none = serve({}, echo);
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.output, "");
}

TEST(NativeMessagingChannel, TruncatedFramesEndWithStatusOneAndNoReply) {
    const std::string good = frame(R"({"action":"a"})");
    for (const std::string& truncated :
         {header(10).substr(0, 3), header(10) + "{\"act", header(70000) + std::string(100, 'x')}) {
        const ChannelRun run = serve({good, truncated}, echo);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(replies(run.output).size(), 1u) << "only the complete frame is answered";
    }
}

TEST(NativeMessagingChannel, MessagesOverTheCapAreReadOffAndRefused) {
    // A frame of exactly the cap is a message; one byte more is refused, and
    // the frame after it is still answered.
    const std::string prefix = R"({"pad":")";
    const std::string atCap =
        prefix + std::string(Channel::kMaxMessageBytes - prefix.size() - 2, 'x') + "\"}";
    ASSERT_EQ(atCap.size(), Channel::kMaxMessageBytes);
    const std::string overCap =
        prefix + std::string(Channel::kMaxMessageBytes - prefix.size() - 1, 'x') + "\"}";
    const ChannelRun run =
        serve({frame(atCap), frame(overCap), frame(R"({"action":"next"})")}, [](const Json& m) {
            return Json{{"keys", m.size()}, {"action", m.value("action", "")}};
        });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(replies(run.output), (std::vector<Json>{{{"keys", 1}, {"action", ""}},
                                                      {{"error", "Message too large"}},
                                                      {{"keys", 1}, {"action", "next"}}}));

    // A length near 4 GiB is refused without being allocated; the input ends inside it.
    const ChannelRun huge = serve({header(0xFFFFFFF0u) + "abc"}, echo);
    EXPECT_EQ(huge.status, 1);
    EXPECT_EQ(huge.output, "");
}

TEST(NativeMessagingChannel, UnusableMessagesReachTheHandlerAsEmpty) {
    const std::string deep = std::string(30000, '[') + std::string(30000, ']');
    // The top-level object and 31 arrays: exactly the deepest nesting allowed.
    std::string nested = "{\"action\":\"a\",\"x\":";
    for (int i = 1; i < Channel::kMaxNesting; ++i) {
        nested += "[";
    }
    nested += "\"[[[[\\\"[[\"";  // brackets inside a string do not count
    for (int i = 1; i < Channel::kMaxNesting; ++i) {
        nested += "]";
    }
    nested += "}";
    // Valid JSON one level deeper than allowed.
    const std::string tooDeep =
        "{\"action\":\"a\",\"x\":" + std::string(Channel::kMaxNesting, '[') +
        std::string(Channel::kMaxNesting, ']') + "}";
    struct Case {
        std::string body;
        Json handed;
    };
    const std::vector<Case> cases = {
        {"", Json::object()},
        {"{\"action\":", Json::object()},
        {"[\"action\",\"cleanURL\"]", Json::object()},
        {"\"cleanURL\"", Json::object()},
        {"42", Json::object()},
        {"null", Json::object()},
        {"{\"action\":\"caf\xC3\"}", Json::object()},  // cut UTF-8 sequence
        {"{\"action\":\"\xFF\"}", Json::object()},
        {deep, Json::object()},
        {tooDeep, Json::object()},
        {"{\"action\":\"caf\xC3\xA9\"}", {{"action", "caf\xC3\xA9"}}},
    };
    for (const auto& c : cases) {
        const ChannelRun run = serve({frame(c.body)}, echo);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(replies(run.output), (std::vector<Json>{{{"got", c.handed}}}))
            << c.body.substr(0, 40);
    }
    const ChannelRun accepted = serve({frame(nested)}, [](const Json& m) {
        return Json{{"action", m.value("action", "")}};
    });
    EXPECT_EQ(replies(accepted.output), (std::vector<Json>{{{"action", "a"}}}));
}

TEST(NativeMessagingChannel, RepliesOverTheBrowserLimitBecomeAnError) {
    const auto sized = [](std::size_t total) {
        // {"s":"..."} is 8 bytes around the text.
        return Json{{"s", std::string(total - 8, 'y')}};
    };
    ASSERT_EQ(dumpJson(sized(Channel::kMaxReplyBytes)).size(), Channel::kMaxReplyBytes);
    int calls = 0;
    const ChannelRun run = serve({frame("{}"), frame("{}"), frame("{}")}, [&](const Json&) {
        ++calls;
        return calls == 1   ? sized(Channel::kMaxReplyBytes)
               : calls == 2 ? sized(Channel::kMaxReplyBytes + 1)
                            : Json{{"ok", true}};
    });
    EXPECT_EQ(run.status, 0);
    const auto got = replies(run.output);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0]["s"].get<std::string>().size(), Channel::kMaxReplyBytes - 8);
    EXPECT_EQ(got[1], Json({{"error", "Reply too large"}}));
    EXPECT_EQ(got[2], Json({{"ok", true}}));
}

TEST(NativeMessagingChannel, AClosedReplyPipeEndsServingWithoutASignal) {
    int in[2];
    int out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    close(out[0]);  // the browser is gone
    const std::string message = frame("{}");
    ASSERT_EQ(write(in[1], message.data(), message.size()), static_cast<ssize_t>(message.size()));
    close(in[1]);
    EXPECT_EQ(Channel(in[0], out[1]).serve(echo), 1);
    close(in[0]);
    close(out[1]);
}

}  // namespace
}  // namespace scourlet::nativehost
