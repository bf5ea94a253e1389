// The data API suites' common ground: an SDK started against the local
// service, and the service's fixture files read by the test itself, to
// compare delivered records with what the service was given.
#ifndef RV_TESTS_IFACE_FIXTURE_JSON_H
#define RV_TESTS_IFACE_FIXTURE_JSON_H

#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mock_service.h"
#include "request/sdk_fixture.h"
#include "rv_list.h"
#include "rv_sdk.h"

namespace rv::test {

// One file of tools/mock_service/fixtures, parsed once.
class FixtureFile {
  public:
    explicit FixtureFile(const std::string &name)
        : root_(cJSON_Parse(
              read_file(std::string(RV_SOURCE_DIR) + "/tools/mock_service/fixtures/" + name)
                  .c_str())) {}
    ~FixtureFile() { cJSON_Delete(root_); }
    FixtureFile(const FixtureFile &) = delete;
    FixtureFile &operator=(const FixtureFile &) = delete;
    const cJSON *operator[](const char *key) const { return cJSON_GetObjectItem(root_, key); }

  private:
    cJSON *root_;
};

// A started SDK whose hosts all point at a local service.
class MockSdkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(mock_.start());
        ASSERT_EQ(start_sdk(mock_.http_url(), dir_.path()), 0);
    }
    void TearDown() override { rv_releaseSdk(); }

    // The service's URL of a fixture picture path.
    std::string picture(const std::string &path) { return mock_.http_url() + path; }

    rvmock::Service mock_;
    TempDir dir_;
};

// A member as text ("" unless a string) or as a 64-bit number.
inline std::string text(const cJSON *object, const char *key) {
    const cJSON *item = cJSON_GetObjectItem(object, key);
    return cJSON_IsString(item) ? item->valuestring : "";
}
inline int64_t number(const cJSON *object, const char *key) {
    return static_cast<int64_t>(cJSON_GetNumberValue(cJSON_GetObjectItem(object, key)));
}

// The elements of a JSON array, and the records of a List, in order.
inline std::vector<const cJSON *> elements(const cJSON *array) {
    std::vector<const cJSON *> out;
    const cJSON *element = nullptr;
    cJSON_ArrayForEach(element, array) {
        out.push_back(element);
    }
    return out;
}
template <class T>
std::vector<T *> items(List *list) {
    std::vector<T *> out;
    for (ListItem *node = ListFirst(list); node != nullptr; node = ListNext(node)) {
        out.push_back(static_cast<T *>(node->data));
    }
    return out;
}

}  // namespace rv::test

#endif
