// The built scourlet-native-host program, started as a browser starts it.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/Json.h"
#include "support/TempDir.h"

extern char** environ;

namespace scourlet::nativehost {
namespace {

using scourlet::testing::readFile;
using scourlet::testing::TempDir;

std::string frame(std::string_view body) {
    const auto length = static_cast<std::uint32_t>(body.size());
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &length, 4);
    return bytes + std::string(body);
}

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// What Firefox passes: the manifest path and the extension id.
const std::vector<std::string> kFirefoxArguments = {
    "/usr/lib/mozilla/native-messaging-hosts/com.morrowgate.scourlet.json",
    "scourlet@morrowgate.com"};

// Runs the host with `arguments`, `input` on standard input (then closed) and
// `extraEnvironment`.
ProgramRun runHost(const std::string& input, const std::vector<std::string>& extraEnvironment,
                   std::vector<std::string> arguments = kFirefoxArguments) {
    std::vector<std::string> environment(extraEnvironment);
    for (char** entry = environ; *entry != nullptr; ++entry) {
        environment.emplace_back(*entry);
    }
    std::vector<char*> envp;
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    int in[2], out[2], err[2];
    EXPECT_EQ(pipe2(in, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::string program = SCOURLET_NATIVE_HOST_PROGRAM;
    std::vector<char*> argv{program.data()};
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);

    // Input, output and errors at once, so that no pipe fills up and stalls the host.
    ProgramRun run;
    std::string_view pending = input;
    if (pending.empty()) {
        close(in[1]);
        in[1] = -1;
    }
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        std::vector<pollfd> fds;
        if (in[1] >= 0)
            fds.push_back({in[1], POLLOUT, 0});
        if (outOpen)
            fds.push_back({out[0], POLLIN, 0});
        if (errOpen)
            fds.push_back({err[0], POLLIN, 0});
        if (poll(fds.data(), fds.size(), 10000) <= 0) {
            ADD_FAILURE() << "the host stalled";
            kill(pid, SIGKILL);
            break;
        }
        for (const auto& p : fds) {
            if (p.revents == 0)
                continue;
            if (p.fd == in[1]) {
                const ssize_t n =
                    write(in[1], pending.data(), std::min<std::size_t>(pending.size(), 4096));
                if (n > 0)
                    pending.remove_prefix(static_cast<std::size_t>(n));
                if (n <= 0 || pending.empty()) {
                    close(in[1]);
                    in[1] = -1;
                }
                continue;
            }
            char buffer[4096];
            const ssize_t n = read(p.fd, buffer, sizeof buffer);
            if (n <= 0) {
                (p.fd == out[0] ? outOpen : errOpen) = false;
            } else {
                (p.fd == out[0] ? run.out : run.err).append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    if (in[1] >= 0)
        close(in[1]);
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<Json> frames(std::string_view stream) {
    std::vector<Json> out;
    while (stream.size() >= 4) {
        std::uint32_t length = 0;
        std::memcpy(&length, stream.data(), 4);
        if (stream.size() - 4 < length)
            break;
        auto parsed = parseJson(stream.substr(4, length));
        if (!parsed)
            break;
        out.push_back(*parsed);
        stream.remove_prefix(4 + length);
    }
    EXPECT_TRUE(stream.empty()) << "standard output holds more than whole frames";
    return out;
}

TEST(NativeHostProgram, WithoutRulesItStillAnswersOnlyInFramesAndWarnsOnStandardError) {
    TempDir emptyBundle;
    const std::string input =
        frame(R"({"action":"cleanURL","url":"https://example.com/?utm_source=x"})") +
        frame(R"({"action":"getXRedirectChoice"})") + frame("not json");
    const ProgramRun run =
        runHost(input, {"SCOURLET_RESOURCE_BUNDLE=" + emptyBundle.path().string()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(frames(run.out), (std::vector<Json>{{{"cleaned", false}},
                                                  {{"ok", true}, {"choice", "off"}},
                                                  {{"error", "Unknown action: "}}}));
    EXPECT_NE(run.err.find("Warning: Could not load bundled rules"), std::string::npos) << run.err;
}

TEST(NativeHostProgram, CleansWithTheShippedRulesAndEndsOnATruncatedFrame) {
    const std::string input =
        frame(R"({"action":"cleanURL","url":"https://example.com/?utm_source=x&id=1"})") +
        frame("{}").substr(0, 3);
    const ProgramRun run = runHost(input, {});
    EXPECT_EQ(run.status, 1);
    const auto replies = frames(run.out);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0]["cleanedURL"], "https://example.com/?id=1");
}

TEST(NativeHostProgram, HelpIsPrintedForAPersonInsteadOfServingMessages) {
    const std::string input =
        frame(R"({"action":"cleanURL","url":"https://example.com/?utm_source=x"})");
    for (const std::string option : {"--help", "-h"}) {
        const ProgramRun run = runHost(input, {}, {option});
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.out.starts_with("Usage: scourlet-native-host\n")) << run.out;
        EXPECT_NE(run.out.find("com.morrowgate.scourlet.json"), std::string::npos);
        EXPECT_EQ(run.err, "");
    }
}

TEST(NativeHostProgram, BuildTreeManifestsNameTheProgram) {
    const std::string dir = SCOURLET_NATIVE_HOST_MANIFEST_DIR;
    auto firefox = parseJson(readFile(dir + "/firefox/com.morrowgate.scourlet.json"));
    ASSERT_TRUE(firefox);
    EXPECT_EQ((*firefox)["name"], "com.morrowgate.scourlet");
    EXPECT_EQ((*firefox)["type"], "stdio");
    EXPECT_EQ((*firefox)["path"], SCOURLET_NATIVE_HOST_PROGRAM);
    EXPECT_TRUE((*firefox)["allowed_extensions"].is_array());
    EXPECT_EQ((*firefox)["allowed_extensions"].size(), 1u);
    const std::string chromiumFile = dir + "/chromium/com.morrowgate.scourlet.json";
    if (std::filesystem::exists(chromiumFile)) {
        auto chromium = parseJson(readFile(chromiumFile));
        ASSERT_TRUE(chromium);
        EXPECT_EQ((*chromium)["path"], SCOURLET_NATIVE_HOST_PROGRAM);
        EXPECT_TRUE((*chromium)["allowed_origins"][0].get<std::string>().starts_with(
            "chrome-extension://"));
    }
}

}  // namespace
}  // namespace scourlet::nativehost
