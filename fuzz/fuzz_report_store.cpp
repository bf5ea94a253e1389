// Any bytes as the report outbox's log: the reader keeps whole, checked lines only,
// cuts nothing but an unfinished last line, and a store opened on those bytes keeps
// what the reader found and appends after it as if the file had been whole.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "request/report_store.h"

namespace {

using rv::req::ReportStore;

std::string g_dir;

void require(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

bool same(const std::vector<ReportStore::Record> &a, const std::vector<ReportStore::Record> &b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); i++) {
        if (a[i].seq != b[i].seq || a[i].text != b[i].text) {
            return false;
        }
    }
    return true;
}

std::string log_path() {
    return g_dir + "/" + ReportStore::kLogFile;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char pattern[] = "/tmp/rv_fuzz_store.XXXXXX";
    g_dir = mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view content(reinterpret_cast<const char *>(data), size);
    const ReportStore::Log log = ReportStore::read(content);
    require(log.whole <= size);
    require(log.whole == 0 || content[log.whole - 1] == '\n');
    require(content.find('\n', log.whole) == std::string_view::npos);
    for (size_t i = 0; i < log.kept.size(); i++) {
        require(log.kept[i].text.find('\n') == std::string::npos);
        require(content.find(log.kept[i].text) != std::string_view::npos);
        require(log.kept[i].seq <= log.last_seq);
        require(i == 0 || log.kept[i - 1].seq < log.kept[i].seq);
    }
    require(same(ReportStore::read(content.substr(0, log.whole)).kept, log.kept));

    FILE *file = log.last_seq < UINT64_MAX ? fopen(log_path().c_str(), "wb") : nullptr;
    if (file == nullptr) {
        return 0;
    }
    const bool written = fwrite(data, 1, size, file) == size;
    if (fclose(file) != 0 || !written) {
        return 0;
    }
    {
        ReportStore store;
        require(same(store.open(g_dir), log.kept));
        require(store.add({log.last_seq + 1, "radioid=fuzz&"}));
    }
    std::vector<ReportStore::Record> expected = log.kept;
    expected.push_back({log.last_seq + 1, "radioid=fuzz&"});
    ReportStore again;
    require(same(again.open(g_dir), expected));
    again.close();
    unlink(log_path().c_str());
    return 0;
}
