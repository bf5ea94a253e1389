#include "auth_state.h"

#include <random>

#include "query.h"
#include "signature.h"

namespace rvmock {

std::string AuthState::random_id(const char *prefix) {
    static thread_local std::mt19937_64 engine{std::random_device{}()};
    return prefix + md5_hex(std::to_string(engine()) + "/" + std::to_string(++counter_));
}

AuthState::QrSession *AuthState::live_session_locked(const std::string &uuid) {
    auto it = sessions_.find(uuid);
    if (it == sessions_.end()) {
        return nullptr;
    }
    if (Clock::now() - it->second.created > std::chrono::seconds(kQrLifetimeS)) {
        sessions_.erase(it);
        return nullptr;
    }
    return &it->second;
}

std::string AuthState::create_qr(const std::string &redirect_uri, const std::string &state,
                                 const std::string &scope) {
    std::lock_guard lock(mutex_);
    std::string uuid = random_id("");
    sessions_[uuid] = QrSession{redirect_uri, state, scope, kDefaultUser, 0, false, Clock::now()};
    return uuid;
}

std::optional<int> AuthState::poll(const std::string &uuid) {
    std::lock_guard lock(mutex_);
    QrSession *session = live_session_locked(uuid);
    if (!session) {
        return std::nullopt;
    }
    if (++session->polls >= confirm_polls_) {
        session->confirmed = true;
    }
    if (session->confirmed) {
        return kQrStatusConfirmed;
    }
    return session->polls + 1 >= confirm_polls_ ? kQrStatusScanned : kQrStatusWaiting;
}

bool AuthState::confirm(const std::string &uuid, const std::string &user) {
    std::lock_guard lock(mutex_);
    QrSession *session = live_session_locked(uuid);
    if (!session) {
        return false;
    }
    session->confirmed = true;
    session->user = user.empty() ? kDefaultUser : user;
    return true;
}

AuthState::Grant AuthState::grant(const std::string &uuid, std::string &redirect) {
    std::lock_guard lock(mutex_);
    QrSession *session = live_session_locked(uuid);
    if (!session) {
        return Grant::Unknown;
    }
    if (!session->confirmed) {
        return Grant::Pending;
    }
    std::string code = random_id("code-");
    codes_[code] = GrantCode{uuid, Clock::now()};
    redirect = session->redirect_uri +
               (session->redirect_uri.find('?') == std::string::npos ? "?" : "&") +
               "code=" + form_encode(code) + "&state=" + form_encode(session->state);
    return Grant::Issued;
}

Tokens AuthState::issue_locked(const std::string &open_uid, const std::string &scope) {
    Tokens tokens{random_id("at-"), random_id("rt-"), open_uid, scope, kTokenLifetimeS};
    access_[tokens.access_token] =
        AccessToken{open_uid, tokens.refresh_token, scope,
                    Clock::now() + std::chrono::seconds(kTokenLifetimeS)};
    refresh_[tokens.refresh_token] = tokens.access_token;
    return tokens;
}

std::optional<Tokens> AuthState::exchange(const std::string &code,
                                          const std::string &redirect_uri) {
    std::lock_guard lock(mutex_);
    auto it = codes_.find(code);
    if (it == codes_.end()) {
        return std::nullopt;
    }
    GrantCode grant = it->second;
    codes_.erase(it);  // a grant code is good for one exchange only
    QrSession *session = live_session_locked(grant.uuid);
    if (!session || Clock::now() - grant.created > std::chrono::seconds(kCodeLifetimeS) ||
        session->redirect_uri != redirect_uri) {
        return std::nullopt;
    }
    return issue_locked(session->user, session->scope);
}

std::optional<Tokens> AuthState::refresh(const std::string &refresh_token) {
    std::lock_guard lock(mutex_);
    auto it = refresh_.find(refresh_token);
    if (it == refresh_.end()) {
        return std::nullopt;
    }
    auto old = access_.find(it->second);
    refresh_.erase(it);
    if (old == access_.end()) {
        return std::nullopt;  // revoked
    }
    AccessToken previous = old->second;
    access_.erase(old);
    return issue_locked(previous.open_uid, previous.scope);
}

bool AuthState::revoke(const std::string &open_uid, const std::string &access_token) {
    std::lock_guard lock(mutex_);
    auto it = access_.find(access_token);
    if (it == access_.end() || it->second.open_uid != open_uid) {
        return false;
    }
    refresh_.erase(it->second.refresh_token);
    access_.erase(it);
    return true;
}

std::optional<std::string> AuthState::user_for(const std::string &open_uid,
                                               const std::string &access_token) const {
    std::lock_guard lock(mutex_);
    auto it = access_.find(access_token);
    if (it == access_.end() || it->second.open_uid != open_uid ||
        Clock::now() >= it->second.expires) {
        return std::nullopt;
    }
    return it->second.open_uid;
}

}  // namespace rvmock
