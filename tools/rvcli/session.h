// One run of rvcli: its options, the service it talks to (the bundled local
// service when no host is given) and the started SDK.
//
// Threads: built and used on the main thread; the local service and the SDK
// run their own threads behind it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "radio_sdk.hpp"

namespace rvmock {
class Service;
}

namespace rvcli {

struct Options {
    std::optional<std::string> api_http, api_https, report, ca_file;
    std::string appid = "rv-test-app";
    std::string secret = "rv-test-secret";
    std::string channel = "rvcli";
    std::string package = "org.radio.rvcli";
    std::optional<std::string> data_dir;
    std::optional<std::string> audio_device;  // ALSA PCM; absent: "default"
    std::optional<std::string> audio_role;    // PipeWire media role; absent: "Music"
    std::string log_level = "none";           // none, error, warning, debug, verbose
    bool json = false;
    // Run offline when the service cannot be reached (what plays then is downloaded).
    bool offline_ok = false;
};

// Saved login: kept in the data directory, readable by its owner only.
struct Credentials {
    std::string access_token;
    std::string open_uid;
    std::string refresh_token;
};

class Session {
  public:
    // Starts the local service when needed, then the SDK; throws rv::Error or
    // std::runtime_error. Saved credentials are handed to the SDK.
    explicit Session(const Options &options);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    const rv::Sdk &sdk() const { return *sdk_; }
    bool offline() const { return sdk_->offline(); }
    const Options &options() const { return options_; }
    // The bundled local service, or null when talking to another service.
    rvmock::Service *local() const { return local_.get(); }
    std::string openid() const;
    const std::string &data_dir() const { return data_dir_; }
    // The open API's base URL over HTTPS, as the SDK uses it.
    const std::string &api_https() const { return api_https_; }

    std::optional<Credentials> credentials() const;
    // Mode 0600, replaced whole through a temporary file; a link or anything but a
    // regular file in its place is never read.
    void save_credentials(const Credentials &credentials) const;
    void forget_credentials() const;

  private:
    Options options_;
    std::string data_dir_;
    std::string api_https_;
    std::unique_ptr<rvmock::Service> local_;
    std::unique_ptr<rv::Sdk> sdk_;
};

// Checks the --log-level word and sends the SDK's log lines at that level and
// above to standard error, so that standard output holds results only.
bool set_log_level(const std::string &level);

}  // namespace rvcli
