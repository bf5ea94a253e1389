#include "request/scripted_server.h"

// Answers leave at once: without it Nagle and delayed ACKs add ~40 ms a request.
#define CPPHTTPLIB_TCP_NODELAY true
#include <httplib.h>

#include <chrono>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace rv::test {

struct ScriptedServer::Impl {
    httplib::Server server;
    int port = 0;
    std::thread thread;
    // Guards scripts and seen: written by tests, read by the server's threads.
    mutable std::mutex mutex;
    struct Script {
        std::string body;
        int delay_ms;
    };
    std::map<std::string, Script> scripts;
    std::vector<SeenRequest> seen;

    void handle(const httplib::Request &req, httplib::Response &res) {
        Script script{R"({"errcode":"40400","errmsg":"no such path"})", 0};
        {
            std::lock_guard lock(mutex);
            seen.push_back({req.method, req.target, req.body});
            auto it = scripts.find(req.path);
            if (it != scripts.end()) {
                script = it->second;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(script.delay_ms));
        const std::string &body = script.body;
        res.set_content(body, "application/json");
    }
};

ScriptedServer::ScriptedServer() : impl_(std::make_unique<Impl>()) {
    auto handler = [this](const httplib::Request &req, httplib::Response &res) {
        impl_->handle(req, res);
    };
    // One request per connection: an idle keep-alive connection would hold a
    // handler thread and stop() for its whole timeout.
    impl_->server.set_keep_alive_max_count(1);
    impl_->server.Get(".*", handler);
    impl_->server.Post(".*", handler);
    impl_->port = impl_->server.bind_to_any_port("127.0.0.1");
    if (impl_->port <= 0) {
        throw std::runtime_error("cannot bind a test port");
    }
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    while (!impl_->server.is_running()) {
        std::this_thread::yield();  // stop() is a no-op until the accept loop runs
    }
}

ScriptedServer::~ScriptedServer() {
    impl_->server.stop();
    impl_->thread.join();
}

std::string ScriptedServer::url() const {
    return "http://127.0.0.1:" + std::to_string(impl_->port);
}

void ScriptedServer::script(const std::string &path, const std::string &body, int delay_ms) {
    std::lock_guard lock(impl_->mutex);
    impl_->scripts[path] = {body, delay_ms};
}

std::vector<SeenRequest> ScriptedServer::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->seen;
}

std::vector<SeenRequest> ScriptedServer::requests_to(const std::string &path) const {
    std::vector<SeenRequest> out;
    for (const SeenRequest &r : requests()) {
        if (r.target.substr(0, r.target.find('?')) == path) {
            out.push_back(r);
        }
    }
    return out;
}

void ScriptedServer::clear_requests() {
    std::lock_guard lock(impl_->mutex);
    impl_->seen.clear();
}

}  // namespace rv::test
