#include "reports.h"

#include <chrono>

#include "endpoints.h"
#include "signature.h"

namespace rvmock {

std::string Report::value(const std::string &key) const {
    for (const auto &[name, text] : params) {
        if (name == key) {
            return text;
        }
    }
    return {};
}

bool Report::has(const std::string &key) const {
    for (const auto &param : params) {
        if (param.first == key) {
            return true;
        }
    }
    return false;
}

Json report_to_json(const Report &report) {
    Json object = json_object();
    put_str(object.get(), "query", report.query);
    cJSON_AddBoolToObject(object.get(), "signature_ok", report.signature_ok);
    put_int(object.get(), "time_ms", report.time_ms);
    Json params = json_array();
    for (const auto &[key, value] : report.params) {
        Json pair = json_array();
        append(pair.get(), json_string(key));
        append(pair.get(), json_string(value));
        append(params.get(), std::move(pair));
    }
    put_item(object.get(), "params", std::move(params));
    return object;
}

void add_report_endpoints(Router &router, Context &context) {
    router.raw("/c.gif", Method::Get,
               [&context](const httplib::Request &req, httplib::Response &res, size_t cut_after) {
                   Report report;
                   report.query = raw_query(req);
                   Query query = Query::parse(report.query);
                   for (const auto &param : query.params()) {
                       report.params.emplace_back(param.key, param.value);
                   }
                   report.signature_ok = check_common_block(query, context.config.appid,
                                                            context.config.secret) == SignCheck::Ok;
                   report.time_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count();
                   context.reports.add(std::move(report));
                   send_bytes(res, pixel_gif(), "image/gif", cut_after);
               });

    router.control("/__mock/reports", Method::Get,
                   [&context](const httplib::Request &, httplib::Response &res) {
                       Json list = json_array();
                       for (const Report &report : context.reports.list()) {
                           append(list.get(), report_to_json(report));
                       }
                       Json body = json_object();
                       put_item(body.get(), "reports", std::move(list));
                       res.set_content(json_print(body.get()), "application/json");
                   });
    router.control("/__mock/reports", Method::Delete,
                   [&context](const httplib::Request &, httplib::Response &res) {
                       context.reports.clear();
                       res.set_content("{\"cleared\":true}", "application/json");
                   });
}

}  // namespace rvmock
