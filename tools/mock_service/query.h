// The query string as the client wrote it. The signature covers raw values, so
// the raw text of each value is kept next to its form-decoded text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rvmock {

struct QueryParam {
    std::string key;    // decoded
    std::string raw;    // value exactly as sent
    std::string value;  // value form-decoded ("+" is a space, %XX a byte)
};

class Query {
  public:
    Query() = default;
    // Splits at every "&"; empty pieces are skipped, a piece without "=" has an empty value.
    static Query parse(std::string_view raw_query);

    const std::vector<QueryParam> &params() const { return params_; }
    const QueryParam *first(std::string_view key) const;
    const QueryParam *last(std::string_view key) const;
    bool has(std::string_view key) const { return first(key) != nullptr; }
    // The decoded first value, or "" when absent.
    std::string text(std::string_view key) const;

  private:
    std::vector<QueryParam> params_;
};

// application/x-www-form-urlencoded, both ways.
std::string form_decode(std::string_view text);
std::string form_encode(std::string_view text);
// A whole decimal number (optional sign), or nothing.
std::optional<int64_t> parse_int(std::string_view text);

}  // namespace rvmock
