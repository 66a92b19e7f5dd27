// A real HTTPS server on 127.0.0.1 for tests of network code, over
// cpp-httplib. It answers per host and path, records every request it gets,
// and can hold a handler to play a server that stalls.
//
//   TestHttpsServer server(ca.issue({"a.co"}));
//   server.on("a.co", "/d/x", [](const httplib::Request&, httplib::Response& res) {
//       res.status = 302;
//       res.set_header("Location", "https://www.amazon.com/dp/B0ABCDEFGH");
//   });
//   server.start();
//   // aim a CurlHttpTransport at 127.0.0.1:server.port() and send
//
// Requests for a host and path without a handler get 404.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <httplib.h>

#include "support/TestCertificateAuthority.h"

namespace scourlet::testing {

class TestHttpsServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    struct RecordedRequest {
        // The Host field without a port, lower-cased.
        std::string host;
        // Path and query as sent.
        std::string target;
        // Every header field as sent (names as written), without the fields
        // cpp-httplib adds of its own (REMOTE_ADDR and the like).
        std::vector<std::pair<std::string, std::string>> headerFields;
    };

    // A server presenting `certificate`; call on() and then start().
    explicit TestHttpsServer(const TestCertificate& certificate);
    ~TestHttpsServer();
    TestHttpsServer(const TestHttpsServer&) = delete;
    TestHttpsServer& operator=(const TestHttpsServer&) = delete;

    // Answers GET requests for `host` (lower-case) and `path` (without query).
    // Before start().
    void on(std::string host, std::string path, Handler handler);

    // Listens on 127.0.0.1 at a free port and serves on a thread of its own.
    void start();
    int port() const { return port_; }

    std::vector<RecordedRequest> requests() const;

    // For handlers: blocks until the server is torn down or `limit` passed.
    void stall(std::chrono::milliseconds limit);

private:
    httplib::SSLServer server_;
    std::thread thread_;
    int port_ = 0;
    std::map<std::pair<std::string, std::string>, Handler> handlers_;

    mutable std::mutex mutex_;
    std::condition_variable stopping_;
    bool stopped_ = false;
    std::vector<RecordedRequest> requests_;
};

}  // namespace scourlet::testing
