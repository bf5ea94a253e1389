// Log in by QR code, log out, and who is logged in.
#include "login.h"

#include <qrencode.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>

#include "commands.h"
#include "records.h"
#include "screen.h"

namespace rvcli {
namespace {

// Where the service sends the grant code. The SDK reads the code out of that
// redirect without requesting it, and refuses a redirect from https to http: the
// service's own landing page over HTTPS.
std::string redirect_uri(const Session &session) {
    return session.api_https() + "/oauth2/callback";
}
constexpr int kQuietZone = 2;

int login_command(Context &c, const Args &a) {
    const auto timeout = std::chrono::seconds(a.flag_number("--timeout", 120));
    const Credentials credentials = login(c.session(), timeout);
    const rv::AuthUserInfo user =
        c.session().sdk().get_auth_user_info(credentials.access_token, credentials.open_uid).get();
    print_text("user", "logged in as " + user.nickname + " (" + credentials.open_uid + ")",
               c.options.json);
    return 0;
}

int logout_command(Context &c, const Args &) {
    const Session &s = c.session();
    const auto saved = s.credentials();
    if (!saved) {
        print_text("status", "not logged in", c.options.json);
        return 0;
    }
    // Forgotten here whatever the service says: a revoked or expired token is
    // as good as gone.
    s.forget_credentials();
    s.sdk().clear_auth_access_info();
    s.sdk().do_auth_revoke(saved->access_token, saved->open_uid).get();
    print_text("status", "logged out", c.options.json);
    return 0;
}

int whoami_command(Context &c, const Args &) {
    const Session &s = c.session();
    const auto saved = s.credentials();
    if (!saved) {
        print_text("user", "not logged in (device " + s.openid() + ")", c.options.json);
        return 1;
    }
    const rv::AuthUserInfo user =
        s.sdk().get_auth_user_info(saved->access_token, saved->open_uid).get();
    print_record(tabulate(columns::kUser, {user}), c.options.json);
    return 0;
}

}  // namespace

std::string draw_qr(const std::string &text) {
    std::unique_ptr<QRcode, decltype(&QRcode_free)> qr(
        QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_L, QR_MODE_8, 1), QRcode_free);
    if (!qr) {
        throw std::runtime_error("cannot encode the QR code");
    }
    const int size = qr->width + 2 * kQuietZone;
    auto dark = [&](int x, int y) {
        x -= kQuietZone;
        y -= kQuietZone;
        return x >= 0 && y >= 0 && x < qr->width && y < qr->width &&
               (qr->data[y * qr->width + x] & 1) != 0;
    };
    std::string drawing;
    for (int y = 0; y < size; y += 2) {
        for (int x = 0; x < size; ++x) {
            const bool top = dark(x, y), bottom = dark(x, y + 1);
            drawing += top && bottom ? "█" : top ? "▀" : bottom ? "▄" : " ";
        }
        drawing += "\n";
    }
    return drawing;
}

Credentials login(const Session &session, std::chrono::seconds timeout) {
    const rv::Sdk &sdk = session.sdk();
    const rv::AuthQrCode qr =
        sdk.get_auth_qrcode("code", "user_info", redirect_uri(session), "rvcli").get();
    std::fprintf(out(),
                 "Scan this code with the radio app, or open %s\n%swaiting for the confirmation\n",
                 qr.qrcode_path.c_str(), draw_qr(qr.qrcode_path).c_str());
    std::fflush(out());
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int last = -1;
    while (true) {
        const int status = sdk.get_auth_qrcode_status(qr.uuid).get().status;
        if (status != last && status == 1) {
            std::fprintf(out(), "scanned\n");
            std::fflush(out());
        }
        last = status;
        if (status == 2) {
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            throw std::runtime_error("the QR code was not confirmed in time");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    const rv::AuthGrantCode grant = sdk.get_auth_grant_code(qr.uuid).get();
    const rv::AuthAccessToken token =
        sdk.get_auth_access_token(grant.code, "authorization_code", redirect_uri(session)).get();
    Credentials credentials{token.access_token, token.open_uid, token.refresh_token};
    session.save_credentials(credentials);
    sdk.cache_auth_access_info(credentials.access_token, credentials.open_uid);
    return credentials;
}

std::vector<Command> auth_commands() {
    return {
        {"login",
         "[--timeout SECONDS]",
         "log in by QR code; the login is kept in the data directory for later commands",
         0,
         0,
         {"--timeout"},
         login_command},
        {"logout", "", "revoke the saved login and forget it", 0, 0, {}, logout_command},
        {"whoami", "", "the logged-in user", 0, 0, {}, whoami_command},
    };
}

}  // namespace rvcli
