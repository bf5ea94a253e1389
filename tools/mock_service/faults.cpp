#include "faults.h"

#include <array>

namespace rvmock {

namespace {

constexpr std::array<std::pair<Fault::Kind, const char *>, 11> kKindNames{{
    {Fault::Kind::None, "none"},
    {Fault::Kind::Malformed, "malformed"},
    {Fault::Kind::Error, "errcode"},
    {Fault::Kind::Drop, "drop"},
    {Fault::Kind::Oversize, "oversize"},
    {Fault::Kind::Cut, "cut"},
    {Fault::Kind::Retype, "retype"},
    {Fault::Kind::Strip, "strip"},
    {Fault::Kind::Status, "status"},
    {Fault::Kind::Stall, "stall"},
    {Fault::Kind::NoIfRange, "no_if_range"},
}};

bool matches(const std::string &pattern, const std::string &path) {
    if (!pattern.empty() && pattern.back() == '*') {
        return path.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    }
    return pattern == path;
}

}  // namespace

void FaultTable::set(const std::string &path, const Fault &fault) {
    std::lock_guard lock(mutex_);
    for (auto &entry : entries_) {
        if (entry.first == path) {
            entry.second = fault;
            return;
        }
    }
    entries_.emplace_back(path, fault);
}

void FaultTable::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

std::optional<Fault> FaultTable::take(const std::string &path) {
    std::lock_guard lock(mutex_);
    auto best = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (!matches(it->first, path)) {
            continue;
        }
        bool exact = it->first == path;
        if (best == entries_.end() || exact || it->first.size() > best->first.size()) {
            best = it;
        }
        if (exact) {
            break;
        }
    }
    if (best == entries_.end()) {
        return std::nullopt;
    }
    Fault fault = best->second;
    if (best->second.times > 0 && --best->second.times == 0) {
        entries_.erase(best);
    }
    return fault;
}

Json FaultTable::to_json() const {
    std::lock_guard lock(mutex_);
    Json list = json_array();
    for (const auto &[path, fault] : entries_) {
        append(list.get(), fault_to_json(path, fault));
    }
    return list;
}

bool fault_from_json(const cJSON *object, std::string &path, Fault &fault, std::string &error) {
    if (!cJSON_IsObject(object)) {
        error = "a fault is a JSON object";
        return false;
    }
    path = get_str(object, "path");
    if (path.empty() || path.front() != '/') {
        error = "\"path\" must be a path beginning with /";
        return false;
    }
    std::string kind = get_str(object, "kind", "none");
    bool known = false;
    for (const auto &[value, name] : kKindNames) {
        if (kind == name) {
            fault.kind = value;
            known = true;
        }
    }
    if (!known) {
        error = "unknown \"kind\": " + kind;
        return false;
    }
    int64_t delay = get_int(object, "delay_ms", 0);
    int64_t bytes = get_int(object, "bytes", 0);
    int64_t times = get_int(object, "times", 0);
    if (delay < 0 || delay > 600000 || bytes < 0 || times < 0) {
        error = "\"delay_ms\" (0..600000), \"bytes\" and \"times\" must not be negative";
        return false;
    }
    fault.delay_ms = static_cast<int>(delay);
    fault.bytes = static_cast<size_t>(bytes);
    fault.times = static_cast<int>(times);
    fault.errcode = get_str(object, "errcode", fault.errcode);
    fault.errmsg = get_str(object, "errmsg", fault.errmsg);
    fault.field = get_str(object, "field");
    const int64_t status = get_int(object, "status", fault.status);
    const int64_t retry_after = get_int(object, "retry_after", fault.retry_after);
    if (status < 100 || status > 599 || retry_after < -1 || retry_after > 86400) {
        error = "\"status\" must be 100..599 and \"retry_after\" -1..86400";
        return false;
    }
    fault.status = static_cast<int>(status);
    fault.retry_after = static_cast<int>(retry_after);
    if ((fault.kind == Fault::Kind::Retype || fault.kind == Fault::Kind::Strip) &&
        fault.field.empty()) {
        error = "\"retype\" and \"strip\" need a \"field\"";
        return false;
    }
    return true;
}

Json fault_to_json(const std::string &path, const Fault &fault) {
    Json object = json_object();
    put_str(object.get(), "path", path);
    for (const auto &[value, name] : kKindNames) {
        if (value == fault.kind) {
            put_str(object.get(), "kind", name);
        }
    }
    put_int(object.get(), "delay_ms", fault.delay_ms);
    put_str(object.get(), "errcode", fault.errcode);
    put_str(object.get(), "errmsg", fault.errmsg);
    put_int(object.get(), "bytes", static_cast<int64_t>(fault.bytes));
    put_str(object.get(), "field", fault.field);
    put_int(object.get(), "times", fault.times);
    put_int(object.get(), "status", fault.status);
    put_int(object.get(), "retry_after", fault.retry_after);
    return object;
}

}  // namespace rvmock
