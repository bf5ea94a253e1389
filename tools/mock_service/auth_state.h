// The QR-code authorisation flow and the tokens it hands out.
//
// A QR code moves from 0 (waiting) to 1 (scanned) to 2 (confirmed): either after
// the configured number of qrcheck polls, or at once when its confirm URL is
// opened. A confirmed code yields one-time grant codes; a grant code buys an
// access token and a refresh token for the confirming user.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace rvmock {

struct Tokens {
    std::string access_token;
    std::string refresh_token;
    std::string open_uid;
    std::string scope;
    int expires_in = 0;  // seconds
};

class AuthState {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kQrStatusWaiting = 0, kQrStatusScanned = 1, kQrStatusConfirmed = 2;
    static constexpr int kQrLifetimeS = 300, kCodeLifetimeS = 300, kTokenLifetimeS = 7200;
    static constexpr const char *kDefaultUser = "mock-user-1";

    explicit AuthState(int confirm_polls) : confirm_polls_(confirm_polls) {}

    // Returns the new QR code's uuid.
    std::string create_qr(const std::string &redirect_uri, const std::string &state,
                          const std::string &scope);
    // Counts one poll; the status after it, or nothing for an unknown or expired code.
    std::optional<int> poll(const std::string &uuid);
    // Confirms at once as `user`; false for an unknown or expired code.
    bool confirm(const std::string &uuid, const std::string &user);

    enum class Grant { Unknown, Pending, Issued };
    // For a confirmed code: a fresh grant code and the redirect to
    // redirect_uri?code=...&state=... in `redirect`.
    Grant grant(const std::string &uuid, std::string &redirect);
    // A grant code (once) for tokens; the redirect URI must be the one the QR
    // code was made with.
    std::optional<Tokens> exchange(const std::string &code, const std::string &redirect_uri);
    // A refresh token for new tokens; the old access token stops working.
    std::optional<Tokens> refresh(const std::string &refresh_token);
    // Ends the access token; false when it was not valid for that user.
    bool revoke(const std::string &open_uid, const std::string &access_token);
    // The user a valid access token belongs to, when `open_uid` is that user.
    std::optional<std::string> user_for(const std::string &open_uid,
                                        const std::string &access_token) const;

  private:
    struct QrSession {
        std::string redirect_uri, state, scope, user;
        int polls = 0;
        bool confirmed = false;
        Clock::time_point created;
    };
    struct GrantCode {
        std::string uuid;
        Clock::time_point created;
    };
    struct AccessToken {
        std::string open_uid, refresh_token, scope;
        Clock::time_point expires;
    };

    std::string random_id(const char *prefix);
    Tokens issue_locked(const std::string &open_uid, const std::string &scope);
    QrSession *live_session_locked(const std::string &uuid);

    const int confirm_polls_;
    mutable std::mutex mutex_;  // guards every map below and counter_ (handler threads)
    std::map<std::string, QrSession> sessions_;
    std::map<std::string, GrantCode> codes_;
    std::map<std::string, AccessToken> access_;
    std::map<std::string, std::string> refresh_;  // refresh token -> access token
    uint64_t counter_ = 0;
};

}  // namespace rvmock
