// The QR-code authorisation flow (HTTPS only), plus two plain pages for people
// and tests: the confirm URL a QR code stands for ("scanning" it confirms at
// once) and a landing page that redirect URIs may point at.
#include "endpoints.h"
#include "records.h"

namespace rvmock {

namespace {

Json tokens_json(const Tokens &tokens) {
    Json o = json_object();
    put_str(o.get(), "access_token", tokens.access_token);
    put_str(o.get(), "refresh_token", tokens.refresh_token);
    put_str(o.get(), "open_uid", tokens.open_uid);
    put_str(o.get(), "scope", tokens.scope);
    put_int(o.get(), "expires_in", tokens.expires_in);
    return o;
}

void require_secret(const Call &call, const Config &config) {
    if (call.text("secretkey") != config.secret) {
        throw ApiError(kErrUnauthorised, "wrong secretkey");
    }
}

void require_grant_type(const Call &call, const char *expected) {
    if (call.text("grant_type") != expected) {
        throw ApiError(kErrBadRequest, std::string("grant_type must be ") + expected);
    }
}

}  // namespace

void add_auth_endpoints(Router &router, Context &context) {
    AuthState &auth = context.auth;
    const Config &config = context.config;

    router.api("/v2/oauth2/qrcode", Method::Get, Guard::Https, [&auth](const Call &call) {
        if (call.text("response_type") != "code") {
            throw ApiError(kErrBadRequest, "response_type must be code");
        }
        if (call.text("redirect_uri").empty()) {
            throw ApiError(kErrBadRequest, "missing redirect_uri");
        }
        std::string uuid =
            auth.create_qr(call.text("redirect_uri"), call.text("state"), call.text("scope"));
        Json o = status_object(AuthState::kQrStatusWaiting);
        put_str(o.get(), "uuid", uuid);
        put_str(o.get(), "qrcode_path", call.media_base + "/oauth2/confirm?uuid=" + uuid);
        return Answer{std::move(o), nullptr, {}};
    });

    router.api("/v2/oauth2/qrcheck", Method::Get, Guard::Https, [&auth](const Call &call) {
        std::optional<int> status = auth.poll(call.text("uuid"));
        if (!status) {
            throw ApiError(kErrQrUnknown, "unknown or expired uuid");
        }
        return Answer{status_object(*status), nullptr, {}};
    });

    router.api("/v2/oauth2/grantcode", Method::Get, Guard::Https, [&auth](const Call &call) {
        Answer answer;
        switch (auth.grant(call.text("uuid"), answer.redirect)) {
            case AuthState::Grant::Unknown:
                throw ApiError(kErrQrUnknown, "unknown or expired uuid");
            case AuthState::Grant::Pending:
                throw ApiError(kErrQrPending, "not confirmed yet");
            case AuthState::Grant::Issued:
                break;
        }
        return answer;
    });

    router.api("/v2/oauth2/token", Method::Post, Guard::Https, [&auth, &config](const Call &call) {
        require_secret(call, config);
        require_grant_type(call, "authorization_code");
        std::optional<Tokens> tokens = auth.exchange(call.text("code"), call.text("redirect_uri"));
        if (!tokens) {
            throw ApiError(kErrUnauthorised, "invalid grant code or redirect_uri");
        }
        return Answer{tokens_json(*tokens), nullptr, {}};
    });

    router.api("/v2/oauth2/refreshtoken", Method::Post, Guard::Https,
               [&auth, &config](const Call &call) {
                   require_secret(call, config);
                   require_grant_type(call, "refresh_token");
                   std::optional<Tokens> tokens = auth.refresh(call.text("refresh_token"));
                   if (!tokens) {
                       throw ApiError(kErrUnauthorised, "invalid refresh_token");
                   }
                   return Answer{tokens_json(*tokens), nullptr, {}};
               });

    router.api("/v2/oauth2/revoke", Method::Post, Guard::Https, [&auth, &config](const Call &call) {
        require_secret(call, config);
        if (!auth.revoke(call.text("open_uid"), call.text("access_token"))) {
            throw ApiError(kErrUnauthorised, "invalid access_token");
        }
        return Answer{status_object(1), nullptr, {}};
    });

    router.api("/v2/authuser/userinfo", Method::Post, Guard::AuthUser, [](const Call &call) {
        Json o = json_object();
        put_str(o.get(), "nickname", call.user);
        put_str(o.get(), "avatar",
                picture_url(call.media_base, "/img/avatar-" + call.user + ".png"));
        return Answer{std::move(o), nullptr, {}};
    });

    router.raw("/oauth2/confirm", Method::Get,
               [&auth](const httplib::Request &req, httplib::Response &res, size_t cut_after) {
                   Query query = Query::parse(raw_query(req));
                   bool ok = auth.confirm(query.text("uuid"), query.text("user"));
                   res.status = ok ? 200 : 404;
                   send_bytes(res,
                              std::make_shared<const std::string>(
                                  ok ? "authorised\n" : "unknown or expired QR code\n"),
                              "text/plain", cut_after);
               });
    router.raw("/oauth2/callback", Method::Get,
               [](const httplib::Request &, httplib::Response &res, size_t cut_after) {
                   send_bytes(res, std::make_shared<const std::string>("signed in\n"), "text/plain",
                              cut_after);
               });
}

}  // namespace rvmock
