// rv-mock-service: the local stand-in for the radio service, for application
// developers and for the demo. Runs until SIGINT or SIGTERM.
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mock_service.h"
#include "query.h"

namespace {

void usage(FILE *out) {
    fprintf(out,
            "usage: rv-mock-service [options]\n\n"
            "The local stand-in for the radio service: the open API over HTTP and HTTPS, the\n"
            "report host, media files and live streams, from a catalogue of fixtures. It\n"
            "runs until SIGINT or SIGTERM. Its HTTPS certificate, with a CA of its own, is\n"
            "made at the first start in DIR/certs of --data-dir; clients trust the CA file\n"
            "it prints.\n\n"
            "options:\n"
            "  --http-port N       open API, reports and media over HTTP (default 8940,\n"
            "                      0: any)\n"
            "  --https-port N      open API over HTTPS (default 8941, 0: any)\n"
            "  --host ADDR         address to listen on (default 127.0.0.1)\n"
            "  --fixtures DIR      catalogue fixtures (default: the installed ones)\n"
            "  --data-dir DIR      where the certificate is made and kept (default\n"
            "                      $XDG_DATA_HOME/rv-mock-service, else\n"
            "                      ~/.local/share/rv-mock-service)\n"
            "  --certs DIR         serve HTTPS with DIR/server.pem and DIR/server.key\n"
            "                      instead; clients trust DIR/ca.pem\n"
            "  --appid ID          the app id accepted (default rv-test-app)\n"
            "  --secret KEY        its secret key (default rv-test-secret)\n"
            "  --qr-polls N        QR status polls before confirmation (default 3)\n"
            "  --short-programmes  live programmes last 5 seconds\n");
}

// The XDG data home's directory of the service ("" when neither variable is set).
std::string default_data_dir() {
    const char *xdg = getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/rv-mock-service";
    }
    const char *home = getenv("HOME");
    return home != nullptr && home[0] != '\0' ? std::string(home) + "/.local/share/rv-mock-service"
                                              : "";
}

bool parse_port(const char *text, uint16_t &port) {
    std::optional<int64_t> value = rvmock::parse_int(text);
    if (!value || *value < 0 || *value > 65535) {
        return false;
    }
    port = static_cast<uint16_t>(*value);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    rvmock::Config config;
    config.http_port = 8940;
    config.https_port = 8941;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--short-programmes") {
            config.short_programmes = true;
            continue;
        } else if (!value) {
            ok = false;
        } else if (arg == "--http-port") {
            ok = parse_port(value, config.http_port);
        } else if (arg == "--https-port") {
            ok = parse_port(value, config.https_port);
        } else if (arg == "--host") {
            config.host = value;
        } else if (arg == "--fixtures") {
            config.fixtures_dir = value;
        } else if (arg == "--data-dir") {
            config.data_dir = value;
        } else if (arg == "--certs") {
            config.cert_dir = value;
        } else if (arg == "--appid") {
            config.appid = value;
        } else if (arg == "--secret") {
            config.secret = value;
        } else if (arg == "--qr-polls") {
            std::optional<int64_t> polls = rvmock::parse_int(value);
            ok = polls && *polls >= 0 && *polls <= 1000;
            config.qr_confirm_polls = ok ? static_cast<int>(*polls) : 0;
        } else {
            ok = false;
        }
        if (!ok) {
            fprintf(stderr, "rv-mock-service: bad option %s\n", arg.c_str());
            usage(stderr);
            return 2;
        }
        ++i;
    }

    if (config.data_dir.empty() && config.cert_dir.empty()) {
        config.data_dir = default_data_dir();
        if (config.data_dir.empty()) {
            fprintf(stderr, "rv-mock-service: no HOME or XDG_DATA_HOME: give --data-dir\n");
            return 2;
        }
    }

    // Block the stop signals in every thread; the main thread waits for them.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    rvmock::Service service(config);
    if (!service.start()) {
        return 1;
    }
    printf("rv-mock-service: open API %s and %s, reports and media %s\n",
           service.http_url().c_str(), service.https_url().c_str(), service.http_url().c_str());
    printf("rv-mock-service: app id %s, CA %s\n", config.appid.c_str(), service.ca_file().c_str());
    fflush(stdout);

    int received = 0;
    sigwait(&stop_signals, &received);
    printf("rv-mock-service: %s, stopping\n", received == SIGINT ? "SIGINT" : "SIGTERM");
    fflush(stdout);
    service.stop();
    return 0;
}
