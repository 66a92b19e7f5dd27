#include "support/TestHttpsServer.h"

#include <cctype>
#include <csignal>
#include <stdexcept>

namespace scourlet::testing {

namespace {

bool isAddedByServer(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

}  // namespace

TestHttpsServer::TestHttpsServer(const TestCertificate& certificate)
    : server_(certificate.certificate.get(), certificate.key.get()) {
    if (!server_.is_valid()) {
        throw std::runtime_error("the test HTTPS server could not use its certificate");
    }
    // A client that hangs up mid-response must not end the test program.
    std::signal(SIGPIPE, SIG_IGN);
    // Connections the client left open must not hold up the teardown long.
    server_.set_read_timeout(std::chrono::seconds(2));
    server_.set_write_timeout(std::chrono::seconds(2));
    // Without it a head and body written apart wait on the client's delayed ACK.
    server_.set_tcp_nodelay(true);
    server_.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        std::string host = req.get_header_value("Host");
        if (const auto colon = host.rfind(':'); colon != std::string::npos) {
            host.erase(colon);
        }
        for (char& c : host) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        RecordedRequest recorded{host, req.target, {}};
        for (const auto& [name, value] : req.headers) {
            if (!isAddedByServer(name)) {
                recorded.headerFields.emplace_back(name, value);
            }
        }
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(std::move(recorded));
        }
        const auto handler = handlers_.find({host, req.path});
        if (handler == handlers_.end()) {
            res.status = 404;
            return;
        }
        handler->second(req, res);
    });
}

TestHttpsServer::~TestHttpsServer() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    stopping_.notify_all();
    server_.stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TestHttpsServer::on(std::string host, std::string path, Handler handler) {
    handlers_[{std::move(host), std::move(path)}] = std::move(handler);
}

void TestHttpsServer::start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("the test HTTPS server could not bind");
    }
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::vector<TestHttpsServer::RecordedRequest> TestHttpsServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void TestHttpsServer::stall(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    stopping_.wait_for(lock, limit, [this] { return stopped_; });
}

}  // namespace scourlet::testing
