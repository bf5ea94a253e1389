// The answer envelope, the error codes the service sends, paging of list
// answers, and the table-driven projection of stored records onto the keys of
// each answer shape.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "json.h"

namespace rvmock {

// Error codes of the envelope (always five digits, sent as strings).
inline constexpr const char *kErrBadRequest = "40000";  // signature, method, scheme, parameters
inline constexpr const char *kErrUnauthorised =
    "40100";                                           // missing, unknown or expired token / secret
inline constexpr const char *kErrQrUnknown = "40431";  // QR code unknown or expired
inline constexpr const char *kErrQrPending = "40432";  // grant code asked before confirmation
inline constexpr const char *kErrNotFound = "50600";   // no such album, audio, broadcast, ...

// Thrown by endpoint handlers; the router turns it into an error envelope.
struct ApiError : std::runtime_error {
    ApiError(std::string code, const std::string &message)
        : std::runtime_error(message), errcode(std::move(code)) {}
    std::string errcode;
};

Json error_envelope(const std::string &errcode, const std::string &errmsg);
// {"status": status}: the result of every yes/no or done/not-done answer.
Json status_object(int status);

// One page of a list. Page numbers start at 1 (0 or less means 1); a page size
// below 1 means 20, above 200 means 200.
struct Page {
    int number = 1;
    int size = 20;
    int total = 0;
    int pages() const { return total == 0 ? 0 : (total + size - 1) / size; }
    size_t begin() const;
    size_t end() const;
};
Page make_page(int64_t pagenum, int64_t pagesize, size_t total);
// The page holding item `index` (0-based).
Page page_of(size_t index, int64_t pagesize, size_t total);
// {"haveNext", "nextPage", "havePre", "prePage", "currentPage", "count", "sumPage",
// "pageSize", "dataList"}; with `short_form` only the first five and "dataList".
Json page_object(const Page &page, Json data_list, bool short_form = false);

enum class FieldType { Int, Str };
struct Field {
    const char *key;
    FieldType type;
};
// Copies the listed keys from `source` into a new object in table order; a key
// the source lacks (or holds with another type) gets 0 or "", so every answer
// carries every key of its record.
Json project(const cJSON *source, std::span<const Field> fields);

}  // namespace rvmock
