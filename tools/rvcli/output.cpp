#include "output.h"
#include "screen.h"

#include <cjson/cJSON.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

namespace rvcli {
namespace {

using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

std::string text_of(const Value &value) {
    if (const auto *n = std::get_if<int64_t>(&value)) {
        return std::to_string(*n);
    }
    return std::get<std::string>(value);
}

std::string cell_text(const Table &table, size_t column, const Value &value) {
    const Shown shown = column < table.shown.size() ? table.shown[column] : nullptr;
    return shown ? shown(value) : text_of(value);
}

cJSON *object_of(const Table &table, const std::vector<Value> &row) {
    cJSON *object = cJSON_CreateObject();
    for (size_t i = 0; i < table.columns.size() && i < row.size(); ++i) {
        const char *key = table.columns[i].c_str();
        if (const auto *n = std::get_if<int64_t>(&row[i])) {
            cJSON_AddItemToObject(object, key, cJSON_CreateNumber(static_cast<double>(*n)));
        } else {
            cJSON_AddItemToObject(object, key,
                                  cJSON_CreateString(std::get<std::string>(row[i]).c_str()));
        }
    }
    return object;
}

void print_json(const JsonPtr &json) {
    std::unique_ptr<char, decltype(&cJSON_free)> text(cJSON_Print(json.get()), cJSON_free);
    std::fprintf(out(), "%s\n", text ? text.get() : "null");
}

// A code point's display width: East Asian wide and full-width forms take two.
int width_of(uint32_t cp) {
    const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                      (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                      (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                      (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
    return wide ? 2 : 1;
}

// Calls `each(start, length, width)` for every character of UTF-8 `text`
// until it returns false.
template <class F>
void for_each_character(const std::string &text, F each) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t cp = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (size_t k = 1; k < length && i + k < text.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (!each(i, length, static_cast<size_t>(width_of(cp)))) {
            return;
        }
        i += length;
    }
}

}  // namespace

size_t display_width(const std::string &text) {
    size_t width = 0;
    for_each_character(text, [&](size_t, size_t, size_t w) {
        width += w;
        return true;
    });
    return width;
}

std::string fit_width(const std::string &text, size_t columns) {
    size_t width = 0, end = 0;
    for_each_character(text, [&](size_t start, size_t length, size_t w) {
        if (width + w > columns) {
            return false;
        }
        width += w;
        end = start + length;
        return true;
    });
    return text.substr(0, end);
}

std::string clock_text(int64_t ms) {
    const int64_t s = std::max<int64_t>(ms, 0) / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
    return text;
}

std::string local_time(int64_t epoch_ms, const char *format) {
    const std::time_t at = static_cast<std::time_t>(epoch_ms / 1000);
    std::tm tm{};
    localtime_r(&at, &tm);
    char text[64];
    return std::strftime(text, sizeof text, format, &tm) > 0 ? text : "";
}

void print_list(const Table &table, bool json) {
    if (json) {
        JsonPtr array(cJSON_CreateArray(), cJSON_Delete);
        for (const auto &row : table.rows) {
            cJSON_AddItemToArray(array.get(), object_of(table, row));
        }
        print_json(array);
        return;
    }
    std::vector<size_t> widths;
    for (const std::string &c : table.columns) {
        widths.push_back(display_width(c));
    }
    for (const auto &row : table.rows) {
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], display_width(cell_text(table, i, row[i])));
        }
    }
    auto print_row = [&](const std::vector<std::string> &cells) {
        std::string line;
        for (size_t i = 0; i < cells.size(); ++i) {
            line += cells[i];
            if (i + 1 < cells.size()) {
                line.append(widths[i] - display_width(cells[i]) + 2, ' ');
            }
        }
        std::fprintf(out(), "%s\n", line.c_str());
    };
    print_row(table.columns);
    for (const auto &row : table.rows) {
        std::vector<std::string> cells;
        for (size_t i = 0; i < row.size(); ++i) {
            cells.push_back(cell_text(table, i, row[i]));
        }
        print_row(cells);
    }
    if (table.rows.empty()) {
        std::fprintf(out(), "(none)\n");
    }
}

void print_record(const Table &table, bool json) {
    if (table.rows.empty()) {
        return;
    }
    if (json) {
        print_json(JsonPtr(object_of(table, table.rows.front()), cJSON_Delete));
        return;
    }
    size_t width = 0;
    for (const std::string &c : table.columns) {
        width = std::max(width, c.size());
    }
    const auto &row = table.rows.front();
    for (size_t i = 0; i < table.columns.size() && i < row.size(); ++i) {
        std::fprintf(out(), "%-*s  %s\n", static_cast<int>(width) + 1,
                     (table.columns[i] + ":").c_str(), cell_text(table, i, row[i]).c_str());
    }
}

void print_text(const std::string &key, const std::string &text, bool json) {
    if (json) {
        print_record(Table{{key}, {{text}}}, true);
    } else {
        std::fprintf(out(), "%s\n", text.c_str());
    }
}

}  // namespace rvcli
