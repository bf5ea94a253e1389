#include "session.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "mock_service.h"
#include "screen.h"
#include "util/util.h"

namespace rvcli {
namespace {

constexpr const char *kCredentialsFile = "rvcli-login";

std::optional<std::string> env(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::optional<std::string>(value) : std::nullopt;
}

std::string default_data_dir() {
    if (auto xdg = env("XDG_DATA_HOME")) {
        return *xdg + "/rvcli";
    }
    if (auto home = env("HOME")) {
        return *home + "/.local/share/rvcli";
    }
    return ".rvcli";
}

bool any_host(const Options &o) {
    return o.api_http || o.api_https || o.report || env("RV_OPEN_API_HTTP") ||
           env("RV_OPEN_API_HTTPS") || env("RV_REPORT_HOST");
}

}  // namespace

bool set_log_level(const std::string &level) {
    // The SDK's levels: 1 warning, 2 error, 3 debug, 4 verbose.
    static constexpr std::array<std::pair<const char *, int>, 5> kLevels{
        {{"none", 0}, {"error", 1}, {"warning", 2}, {"debug", 3}, {"verbose", 4}}};
    for (const auto &[name, rank] : kLevels) {
        if (level == name) {
            const int keep = rank;
            // The engine's warnings come through the sink too, and are shown at every level
            // (a missing sound card is news to the user), in the engine's own form.
            ::set_log_level(2);
            rv::set_log_sink([keep](const rv::LogLine &line) {
                const int line_rank = line.level == 2 ? 1 : line.level == 1 ? 2 : line.level;
                if (line.tag == "ORVELLAPLAYER" && line_rank <= 2) {
                    print_error("orvellaplayer: " + std::string(line.letter) + " " +
                                std::string(line.message));
                } else if (line_rank <= keep) {
                    print_error(std::string(line.header) + " " + std::string(line.message));
                }
            });
            return true;
        }
    }
    return false;
}

Session::Session(const Options &options) : options_(options) {
    data_dir_ = options.data_dir.value_or(default_data_dir());
    std::error_code error;
    std::filesystem::create_directories(data_dir_, error);
    if (error) {
        throw std::runtime_error("cannot create the data directory " + data_dir_ + ": " +
                                 error.message());
    }
    rv::Config config;
    config.app_id = options.appid;
    config.secret_key = options.secret;
    config.channel = options.channel;
    config.package_name = options.package;
    config.data_dir = data_dir_;
    config.open_api_http = options.api_http;
    config.open_api_https = options.api_https;
    config.report_host = options.report;
    config.ca_file = options.ca_file;
    config.audio_device = options.audio_device;
    config.offline_start = options.offline_ok;
    config.audio_role = options.audio_role;
    if (!any_host(options)) {
        rvmock::Config local;
        local.appid = options.appid;
        local.secret = options.secret;
        local.qr_confirm_polls = 2;
        local.data_dir = data_dir_ + "/local-service";  // its certificate, made once
        local_ = std::make_unique<rvmock::Service>(local);
        if (!local_->start()) {
            throw std::runtime_error("the local service did not start");
        }
        config.open_api_http = local_->http_url();
        config.open_api_https = local_->https_url();
        config.report_host = local_->http_url();
        if (!options.ca_file && !env("RV_CA_FILE")) {
            config.ca_file = local_->ca_file();
        }
    }
    // The SDK's own default when nothing names a host.
    api_https_ =
        config.open_api_https.value_or(env("RV_OPEN_API_HTTPS").value_or("https://127.0.0.1:8941"));
    sdk_ = std::make_unique<rv::Sdk>(config);
    if (auto saved = credentials()) {
        sdk_->cache_auth_access_info(saved->access_token, saved->open_uid);
    }
}

Session::~Session() {
    sdk_.reset();  // before the service it talks to
    local_.reset();
}

std::string Session::openid() const {
    const sdk_info *info = sdk_info_get();
    return info != nullptr && info->openid != nullptr ? info->openid : "";
}

std::optional<Credentials> Session::credentials() const {
    char *raw = nullptr;
    if (read_data_from_file((data_dir_ + "/" + kCredentialsFile).c_str(), &raw) != 1) {
        return std::nullopt;
    }
    std::istringstream in(raw);
    str_free(raw);
    Credentials c;
    if (std::getline(in, c.access_token) && std::getline(in, c.open_uid) &&
        !c.access_token.empty()) {
        std::getline(in, c.refresh_token);
        return c;
    }
    return std::nullopt;
}

void Session::save_credentials(const Credentials &c) const {
    const std::string path = data_dir_ + "/" + kCredentialsFile;
    const std::string text = c.access_token + "\n" + c.open_uid + "\n" + c.refresh_token + "\n";
    // A private file renamed into place: a crash leaves the old login or the new one.
    if (write_data_to_file(path.c_str(), text.c_str()) != 1) {
        throw std::runtime_error("cannot write " + path);
    }
}

void Session::forget_credentials() const {
    std::error_code ignored;
    std::filesystem::remove(data_dir_ + "/" + kCredentialsFile, ignored);
}

}  // namespace rvcli
