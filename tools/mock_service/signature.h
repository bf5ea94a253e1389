// The service's side of request signing: it rebuilds the text the client signed
// from the values the query carries and compares digests.
#pragma once

#include <string>
#include <string_view>

#include "query.h"

namespace rvmock {

// MD5 of the bytes, as 32 lower-case hexadecimal digits.
std::string md5_hex(std::string_view bytes);

// The text the client signed for the common block: the secret, "&", the pieces
// appid, deviceid, openid, os (each "key=value&") and packagename ("key=value"),
// each only when the query carries it, then the secret again; every "&" replaced
// by its running index from 0. The common block comes last in every query, so
// the last occurrence of a key is the one signed.
std::string signed_text(const Query &query, const std::string &secret);

enum class SignCheck { Ok, MissingAppId, UnknownAppId, MissingSign, BadSign };

SignCheck check_common_block(const Query &query, const std::string &appid,
                             const std::string &secret);
// The search block carries its own sign: MD5 of the secret followed by the device id.
bool check_search_block(const Query &query, const std::string &secret);
const char *sign_check_text(SignCheck check);

}  // namespace rvmock
