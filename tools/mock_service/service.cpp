#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "certificates.h"
#include "endpoints.h"
#include "mock_service.h"

#ifndef RV_MOCK_FIXTURES_DIR
#error "RV_MOCK_FIXTURES_DIR must name the default fixtures directory"
#endif
#ifndef RV_MOCK_CERT_DIR
#error "RV_MOCK_CERT_DIR must name the default test certificate directory"
#endif
#ifndef RV_MOCK_DATA_FROM_BIN
#error "RV_MOCK_DATA_FROM_BIN must name the installed data directory relative to the programs'"
#endif

namespace rvmock {

namespace {

// Installed, the fixtures sit in the data directory found
// relative to the program itself, wherever the tree was installed or moved; in
// the build tree, where that directory does not exist, the build's own.
std::string default_dir(const char *name, const char *build_tree_dir) {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        std::filesystem::path installed = program.parent_path() / RV_MOCK_DATA_FROM_BIN / name;
        if (std::filesystem::is_directory(installed, error)) {
            return installed.lexically_normal().string();
        }
    }
    return build_tree_dir;
}

// Live streams each hold a handler thread for as long as a player listens.
constexpr size_t kHandlerThreads = 32;

struct Listener {
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    uint16_t port = 0;
    // Set once the handler pool's threads all exist, so that a started service
    // has every thread it will ever run (tests count the process's threads).
    std::atomic<bool> handlers_ready{false};

    bool bind(const std::string &host, uint16_t wanted, const char *name) {
        server->new_task_queue = [this] {
            auto pool = std::make_unique<httplib::ThreadPool>(kHandlerThreads);
            handlers_ready = true;
            // The listener takes ownership of the queue it is handed.
            return pool.release();
        };
        // One request per connection: an idle keep-alive connection would hold
        // stop() up for its whole timeout.
        server->set_keep_alive_max_count(1);
        // Address reuse only: the listener's default also shares the port
        // (SO_REUSEPORT), which would let a second service on the same port
        // silently take half the connections instead of failing to start.
        server->set_socket_options([](socket_t sock) {
            int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
        });
        int bound = wanted == 0 ? server->bind_to_any_port(host)
                                : (server->bind_to_port(host, wanted) ? wanted : -1);
        if (bound <= 0) {
            fprintf(stderr, "rv-mock-service: cannot listen for %s on %s:%u\n", name, host.c_str(),
                    static_cast<unsigned>(wanted));
            return false;
        }
        port = static_cast<uint16_t>(bound);
        return true;
    }

    void run() {
        thread = std::thread([this] { server->listen_after_bind(); });
        // stop() only reaches a listener that has begun accepting.
        for (int i = 0; i < 5000 && !(server->is_running() && handlers_ready); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    void stop() {
        if (server) {
            server->stop();
        }
        if (thread.joinable()) {
            thread.join();
        }
    }
};

}  // namespace

struct Service::State {
    explicit State(Config config) : context(std::move(config)), router(context) {}

    Context context;
    Router router;
    Listener http, https;
    std::string cert_dir;
    bool started = false;
};

Service::Service(Config config) : state_(std::make_unique<State>(std::move(config))) {
    const Config &c = state_->context.config;
    state_->cert_dir = !c.cert_dir.empty()   ? c.cert_dir
                       : !c.data_dir.empty() ? c.data_dir + "/certs"
                                             : RV_MOCK_CERT_DIR;
}

Service::~Service() {
    stop();
}

bool Service::start() {
    State &s = *state_;
    if (s.started) {
        return s.http.server != nullptr;
    }
    s.started = true;
    std::signal(SIGPIPE, SIG_IGN);

    const Config &config = s.context.config;
    std::string fixtures_dir = config.fixtures_dir.empty()
                                   ? default_dir("fixtures", RV_MOCK_FIXTURES_DIR)
                                   : config.fixtures_dir;
    std::string error;
    if (!s.context.fixtures.load(fixtures_dir, error)) {
        fprintf(stderr, "rv-mock-service: fixtures: %s\n", error.c_str());
        return false;
    }

    for (auto add :
         {add_identity_endpoints, add_catalogue_endpoints, add_broadcast_endpoints,
          add_smartcast_endpoints, add_auth_endpoints, add_user_endpoints, add_search_endpoints,
          add_report_endpoints, add_control_endpoints, add_media_endpoints}) {
        add(s.router, s.context);
    }

    if (config.cert_dir.empty() && !config.data_dir.empty() &&
        !ensure_certificates(s.cert_dir, error)) {
        fprintf(stderr, "rv-mock-service: certificates: %s\n", error.c_str());
        return false;
    }
    std::string cert = s.cert_dir + "/server.pem", key = s.cert_dir + "/server.key";
    auto https = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
    if (!https->is_valid()) {
        fprintf(stderr, "rv-mock-service: cannot load %s and %s\n", cert.c_str(), key.c_str());
        return false;
    }
    s.https.server = std::move(https);
    s.http.server = std::make_unique<httplib::Server>();
    if (!s.http.bind(config.host, config.http_port, "HTTP") ||
        !s.https.bind(config.host, config.https_port, "HTTPS")) {
        s.http.server.reset();
        s.https.server.reset();
        return false;
    }
    s.context.http_port = s.http.port;
    s.router.install(*s.http.server, false);
    s.router.install(*s.https.server, true);
    s.http.run();
    s.https.run();
    return true;
}

void Service::stop() {
    State &s = *state_;
    s.context.stop.trigger();
    s.http.stop();
    s.https.stop();
}

namespace {

std::string url_host(const std::string &host) {
    return host.empty() || host == "0.0.0.0" ? "127.0.0.1" : host;
}

}  // namespace

std::string Service::http_url() const {
    return "http://" + url_host(state_->context.config.host) + ":" +
           std::to_string(state_->http.port);
}

std::string Service::https_url() const {
    return "https://" + url_host(state_->context.config.host) + ":" +
           std::to_string(state_->https.port);
}

std::string Service::ca_file() const {
    return state_->cert_dir + "/ca.pem";
}

bool Service::prepare_media(const std::string &path) {
    httplib::Client client(url_host(state_->context.config.host), state_->http.port);
    client.set_read_timeout(std::chrono::minutes(2));  // an encode under a loaded emulator
    bool sent = false;
    // The first bytes are enough, and all a live stream ever gives.
    client.Get(
        path, [](const httplib::Response &res) { return res.status / 100 == 2; },
        [&sent](const char *, size_t) {
            sent = true;
            return false;
        });
    return sent;
}

std::string Service::revise_media(const std::string &path) {
    httplib::Client client(url_host(state_->context.config.host), state_->http.port);
    client.set_read_timeout(std::chrono::minutes(2));  // an encode under a loaded emulator
    const httplib::Result res = client.Get(path);
    if (!res || res->status != 200 || res->body.empty()) {
        return {};
    }
    std::string bytes = res->body;
    for (char &c : bytes) {
        c = static_cast<char>(static_cast<unsigned char>(c) + 1);
    }
    state_->context.revisions.set(
        path, {std::make_shared<const std::string>(bytes), res->get_header_value("Content-Type")});
    return bytes;
}

void Service::set_fault(const std::string &path, const Fault &fault) {
    state_->context.faults.set(path, fault);
}

void Service::clear_faults() {
    state_->context.faults.clear();
}

std::vector<Report> Service::reports() const {
    return state_->context.reports.list();
}

void Service::clear_reports() {
    state_->context.reports.clear();
}

std::vector<Received> Service::requests() const {
    return state_->context.requests.list();
}

std::vector<Received> Service::media_requests() const {
    return state_->context.media.list();
}

void Service::clear_requests() {
    state_->context.requests.clear();
    state_->context.media.clear();
}

std::string Service::last_answer(const std::string &path) const {
    return state_->context.answers.last(path);
}

}  // namespace rvmock
