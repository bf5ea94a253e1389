// What rvcli prints: a readable table by default, JSON with --json. Every
// command turns its records into a Table through one column list per record
// type, so the text and the JSON forms always carry the same fields.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace rvcli {

using Value = std::variant<int64_t, std::string>;

// How a table shows a value to a reader (a name for a code, a date for a
// time); JSON keeps the value as it is.
using Shown = std::string (*)(const Value &);

struct Table {
    std::vector<std::string> columns;
    std::vector<std::vector<Value>> rows;
    std::vector<Shown> shown = {};  // per column; absent or null: the value as it is
};

// The columns of a record type: a key, how to read it and how to show it.
template <class T>
struct Column {
    const char *key;
    std::function<Value(const T &)> get;
    Shown shown = nullptr;
};

template <class T>
Table tabulate(const std::vector<Column<T>> &columns, const std::vector<T> &records) {
    Table table;
    for (const Column<T> &c : columns) {
        table.columns.emplace_back(c.key);
        table.shown.push_back(c.shown);
    }
    for (const T &record : records) {
        std::vector<Value> row;
        for (const Column<T> &c : columns) {
            row.push_back(c.get(record));
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

// A list: aligned columns under a header, or a JSON array of objects.
void print_list(const Table &table, bool json);
// The first row alone: "key: value" lines, or one JSON object.
void print_record(const Table &table, bool json);
// One line of narration or status; under --json a JSON object {"key": text}.
void print_text(const std::string &key, const std::string &text, bool json);

// Display width of UTF-8 text (wide characters count two columns).
size_t display_width(const std::string &text);
// The longest start of `text` that fits in `columns`, cut at a character.
std::string fit_width(const std::string &text, size_t columns);

// "MM:SS" of a length in ms (negative counts as 0).
std::string clock_text(int64_t ms);
// Local time of `epoch_ms` through strftime's `format`.
std::string local_time(int64_t epoch_ms, const char *format);

}  // namespace rvcli
