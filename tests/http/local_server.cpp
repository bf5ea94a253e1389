#include "http/local_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

namespace rv::test {

std::string body_pattern(size_t n) {
    std::string body(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        body[i] = static_cast<char>('a' + i % 26);
    }
    return body;
}

std::string cert_file(const char *name) {
    return std::string(RV_TEST_CERT_DIR) + "/" + name;
}

struct LocalServer::Impl {
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    std::string base;
    int port = 0;
    // Guards requests and ports; written by the server's threads, read by the test.
    mutable std::mutex lock;
    std::vector<RecordedRequest> requests;
    std::set<int> ports;

    void record(const httplib::Request &req) {
        RecordedRequest r{req.method, req.target, req.body, {}, req.remote_port};
        for (const auto &[name, value] : req.headers) {
            r.headers.emplace(name, value);
        }
        std::lock_guard<std::mutex> guard(lock);
        requests.push_back(std::move(r));
        ports.insert(req.remote_port);
    }

    void routes() {
        httplib::Server &s = *server;
        s.set_keep_alive_max_count(1000000);
        s.set_tcp_nodelay(true);
        // Each request is recorded before its answer goes out.
        auto on = [this](auto handler) {
            return [this, handler](const httplib::Request &req, httplib::Response &res) {
                record(req);
                handler(req, res);
            };
        };
        s.Get(R"(/bytes/(\d+))", on([](const httplib::Request &req, httplib::Response &res) {
                  res.set_content(body_pattern(std::stoul(req.matches[1])), "text/plain");
              }));
        s.Get("/empty",
              on([](const httplib::Request &, httplib::Response &res) { res.status = 200; }));
        s.Post("/empty",
               on([](const httplib::Request &, httplib::Response &res) { res.status = 200; }));
        s.Get(R"(/echo.*)", on([](const httplib::Request &req, httplib::Response &res) {
                  res.set_content(req.target, "text/plain");
              }));
        s.Post("/echo", on([](const httplib::Request &req, httplib::Response &res) {
                   res.set_content(req.body, "text/plain");
               }));
        s.Get(R"(/redirect/(\d+))", on([](const httplib::Request &req, httplib::Response &res) {
                  const unsigned long n = std::stoul(req.matches[1]);
                  if (n == 0) {
                      res.set_content("final", "text/plain");
                  } else {
                      res.set_redirect("/redirect/" + std::to_string(n - 1));
                  }
              }));
        s.Get("/redirect-to", on([](const httplib::Request &req, httplib::Response &res) {
                  res.set_redirect(req.get_param_value("url"));
              }));
        s.Get("/authorize", on([](const httplib::Request &, httplib::Response &res) {
                  res.set_redirect("/callback?code=GRANT-SECRET&state=7");
              }));
        s.Get("/callback", on([](const httplib::Request &, httplib::Response &res) {
                  res.set_content("ok", "text/plain");
              }));
        s.Get(R"(/huge/(\d+))", on([](const httplib::Request &req, httplib::Response &res) {
                  const size_t total = std::stoul(req.matches[1]);
                  res.set_chunked_content_provider(
                      "text/plain", [total](size_t offset, httplib::DataSink &sink) {
                          if (offset >= total) {
                              sink.done();
                              return true;
                          }
                          const std::string piece =
                              body_pattern(std::min<size_t>(65536, total - offset));
                          return sink.write(piece.data(), piece.size());
                      });
              }));
        s.Get(
            "/json", on([](const httplib::Request &, httplib::Response &res) {
                res.set_content(
                    R"({"result":{"access_token":"AT-SECRET","refresh_token": "RT-SECRET","expires_in":7200}})",
                    "application/json");
            }));
    }
};

LocalServer::LocalServer(bool tls, const std::string &host) : impl_(std::make_unique<Impl>()) {
    if (tls) {
        impl_->server = std::make_unique<httplib::SSLServer>(cert_file("server.pem").c_str(),
                                                             cert_file("server.key").c_str());
    } else {
        impl_->server = std::make_unique<httplib::Server>();
    }
    if (!impl_->server->is_valid()) {
        throw std::runtime_error("test server cannot start (TLS material?)");
    }
    impl_->routes();
    impl_->port = impl_->server->bind_to_any_port(host);
    if (impl_->port <= 0) {
        throw std::runtime_error("test server cannot bind");
    }
    impl_->base =
        std::string(tls ? "https://" : "http://") + host + ":" + std::to_string(impl_->port);
    impl_->thread = std::thread([this] { impl_->server->listen_after_bind(); });
    while (!impl_->server->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

LocalServer::~LocalServer() {
    impl_->server->stop();
    impl_->thread.join();
}

int LocalServer::port() const {
    return impl_->port;
}

std::string LocalServer::url(const std::string &path) const {
    return impl_->base + path;
}

std::vector<RecordedRequest> LocalServer::requests() const {
    std::lock_guard<std::mutex> guard(impl_->lock);
    return impl_->requests;
}

size_t LocalServer::connections() const {
    std::lock_guard<std::mutex> guard(impl_->lock);
    return impl_->ports.size();
}

struct SilentServer::Impl {
    int listener = -1;
    int wake[2] = {-1, -1};
    int port = 0;
    std::thread thread;
    // Guards accepted (the connections held open); written by the accept thread.
    mutable std::mutex lock;
    mutable std::condition_variable changed;
    std::vector<int> accepted;

    void run() {
        for (;;) {
            pollfd fds[2] = {{listener, POLLIN, 0}, {wake[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) {
                return;
            }
            const int fd = accept(listener, nullptr, nullptr);
            if (fd >= 0) {
                std::lock_guard<std::mutex> guard(lock);
                accepted.push_back(fd);
                changed.notify_all();
            }
        }
    }
};

SilentServer::SilentServer() : impl_(std::make_unique<Impl>()) {
    impl_->listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (impl_->listener < 0 ||
        bind(impl_->listener, reinterpret_cast<sockaddr *>(&addr), len) != 0 ||
        listen(impl_->listener, 64) != 0 ||
        getsockname(impl_->listener, reinterpret_cast<sockaddr *>(&addr), &len) != 0 ||
        pipe2(impl_->wake, O_CLOEXEC) != 0) {
        throw std::runtime_error("silent server cannot listen");
    }
    impl_->port = ntohs(addr.sin_port);
    impl_->thread = std::thread([this] { impl_->run(); });
}

SilentServer::~SilentServer() {
    const char byte = 0;
    if (write(impl_->wake[1], &byte, 1) != 1) {
        std::terminate();
    }
    impl_->thread.join();
    for (int fd : impl_->accepted) {
        close(fd);
    }
    close(impl_->listener);
    close(impl_->wake[0]);
    close(impl_->wake[1]);
}

int SilentServer::port() const {
    return impl_->port;
}

std::string SilentServer::url(const std::string &path, bool tls) const {
    return std::string(tls ? "https://" : "http://") + "127.0.0.1:" + std::to_string(impl_->port) +
           path;
}

size_t SilentServer::wait_accepted(size_t n, int seconds) const {
    std::unique_lock<std::mutex> guard(impl_->lock);
    impl_->changed.wait_for(guard, std::chrono::seconds(seconds),
                            [&] { return impl_->accepted.size() >= n; });
    return impl_->accepted.size();
}

}  // namespace rv::test
