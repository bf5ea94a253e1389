#include "envelope.h"

#include <algorithm>

namespace rvmock {

Json error_envelope(const std::string &errcode, const std::string &errmsg) {
    Json envelope = json_object();
    put_str(envelope.get(), "errcode", errcode);
    put_str(envelope.get(), "errmsg", errmsg);
    return envelope;
}

Json status_object(int status) {
    Json object = json_object();
    put_int(object.get(), "status", status);
    return object;
}

size_t Page::begin() const {
    return std::min(static_cast<size_t>(total), static_cast<size_t>(number - 1) * size);
}

size_t Page::end() const {
    return std::min(static_cast<size_t>(total), begin() + size);
}

Page make_page(int64_t pagenum, int64_t pagesize, size_t total) {
    Page page;
    page.size = pagesize < 1 ? 20 : static_cast<int>(std::min<int64_t>(pagesize, 200));
    page.number = pagenum < 1 ? 1 : static_cast<int>(std::min<int64_t>(pagenum, 1000000));
    page.total = static_cast<int>(total);
    return page;
}

Page page_of(size_t index, int64_t pagesize, size_t total) {
    Page page = make_page(1, pagesize, total);
    page.number = static_cast<int>(index / page.size) + 1;
    return page;
}

Json page_object(const Page &page, Json data_list, bool short_form) {
    bool has_next = page.number < page.pages();
    bool has_pre = page.number > 1;
    Json object = json_object();
    put_int(object.get(), "haveNext", has_next ? 1 : 0);
    put_int(object.get(), "nextPage", has_next ? page.number + 1 : 0);
    put_int(object.get(), "havePre", has_pre ? 1 : 0);
    put_int(object.get(), "prePage", has_pre ? page.number - 1 : 0);
    put_int(object.get(), "currentPage", page.number);
    if (!short_form) {
        put_int(object.get(), "count", page.total);
        put_int(object.get(), "sumPage", page.pages());
        put_int(object.get(), "pageSize", page.size);
    }
    put_item(object.get(), "dataList", std::move(data_list));
    return object;
}

Json project(const cJSON *source, std::span<const Field> fields) {
    Json object = json_object();
    for (const Field &field : fields) {
        if (field.type == FieldType::Int) {
            put_int(object.get(), field.key, get_int(source, field.key, 0));
        } else {
            put_str(object.get(), field.key, get_str(source, field.key, ""));
        }
    }
    return object;
}

}  // namespace rvmock
