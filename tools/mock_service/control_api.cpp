// Test controls under /__mock/: fault switches (reports live in reports.cpp).
// These paths are never subject to faults themselves.
#include "endpoints.h"

namespace rvmock {

void add_control_endpoints(Router &router, Context &context) {
    FaultTable &faults = context.faults;

    // The body is one fault object or an array of them; all or none are set.
    router.control("/__mock/faults", Method::Post,
                   [&faults](const httplib::Request &req, httplib::Response &res) {
                       Json body = json_parse(req.body);
                       std::vector<std::pair<std::string, Fault>> parsed;
                       std::string error;
                       auto read_one = [&](const cJSON *object) {
                           std::pair<std::string, Fault> entry;
                           if (!fault_from_json(object, entry.first, entry.second, error)) {
                               return false;
                           }
                           parsed.push_back(std::move(entry));
                           return true;
                       };
                       bool ok = body != nullptr;
                       if (cJSON_IsArray(body.get())) {
                           const cJSON *item = nullptr;
                           cJSON_ArrayForEach(item, body.get()) {
                               ok = ok && read_one(item);
                           }
                       } else {
                           ok = ok && read_one(body.get());
                       }
                       if (!ok) {
                           res.status = 400;
                           Json reply = json_object();
                           put_str(reply.get(), "error",
                                   error.empty() ? "body is not JSON" : error);
                           res.set_content(json_print(reply.get()), "application/json");
                           return;
                       }
                       for (const auto &[path, fault] : parsed) {
                           faults.set(path, fault);
                       }
                       Json reply = json_object();
                       put_item(reply.get(), "faults", faults.to_json());
                       res.set_content(json_print(reply.get()), "application/json");
                   });
    router.control("/__mock/faults", Method::Get,
                   [&faults](const httplib::Request &, httplib::Response &res) {
                       Json reply = json_object();
                       put_item(reply.get(), "faults", faults.to_json());
                       res.set_content(json_print(reply.get()), "application/json");
                   });
    router.control("/__mock/faults", Method::Delete,
                   [&faults](const httplib::Request &, httplib::Response &res) {
                       faults.clear();
                       res.set_content("{\"faults\":[]}", "application/json");
                   });
}

}  // namespace rvmock
