// The JSON accessors and the error envelope.
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "request/helper_json.h"
#include "request/util_json.h"
#include "rv_log.h"

namespace {

struct Json {
    explicit Json(const char *text) : root(cJSON_Parse(text)) {}
    ~Json() { cJSON_Delete(root); }
    cJSON *root;
};

// Collects warning lines while alive.
class Warnings {
  public:
    Warnings() {
        set_log_level(2);
        set_log_sink(&Warnings::sink, this);
    }
    ~Warnings() {
        set_log_sink(nullptr, nullptr);
        set_log_level(1);
    }
    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    static void sink(int level, const char *, const char *, const char *, const char *message,
                     void *user) {
        auto *self = static_cast<Warnings *>(user);
        if (level == 1) {
            std::lock_guard lock(self->mutex_);
            self->lines_.emplace_back(message);
        }
    }
    // Guards lines_.
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

TEST(JsonAccessors, NumbersStringsAndDefaults) {
    Json j(R"({"i":42,"big":6000000000,"neg":-7.9,"s":"text","n":null})");
    const cJSON *root = j.root;
    int32_t i = -1;
    int64_t l = -1;
    char *s = nullptr;

    EXPECT_EQ(cjson_object_to_int(root, 1, "i", &i, 5), 0);
    EXPECT_EQ(i, 42);
    EXPECT_EQ(cjson_object_to_loint(root, 1, "big", &l, 0), 0);
    EXPECT_EQ(l, 6000000000LL);  // beyond 32 bits, every digit kept
    EXPECT_EQ(cjson_object_to_loint(root, 1, "neg", &l, 0), 0);
    EXPECT_EQ(l, -7);  // truncated toward zero
    EXPECT_EQ(cjson_object_to_int(root, 1, "s", &i, 5), 0);
    EXPECT_EQ(i, 5);  // wrong type: the default
    EXPECT_EQ(cjson_object_to_string(root, 1, "s", &s, "d"), 0);
    EXPECT_STREQ(s, "text");
    free(s);
    EXPECT_EQ(cjson_object_to_string(root, 1, "i", &s, "d"), 0);
    EXPECT_STREQ(s, "d");
    free(s);
    EXPECT_EQ(cjson_to_string(nullptr, &s, nullptr), 0);
    EXPECT_EQ(s, nullptr);
}

TEST(JsonAccessors, KeyCaseRuleAndWarningOnlyForMissingKeys) {
    Json j(R"({"Name":"x","num":"not a number"})");
    Warnings warnings;
    char *s = nullptr;
    int32_t i = 0;
    EXPECT_EQ(cjson_object_to_string(j.root, 0, "name", &s, ""), 0);
    EXPECT_STREQ(s, "x");  // any letter case
    free(s);
    EXPECT_EQ(cjson_object_to_string(j.root, 1, "name", &s, ""), 0);
    EXPECT_STREQ(s, "");  // exact case only
    free(s);
    EXPECT_EQ(cjson_object_to_int(j.root, 1, "num", &i, 3), 0);  // wrong type: silent
    auto lines = warnings.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "convert cjson data [name] invalid, use default value! \n");
}

TEST(JsonAccessors, NonObjectGives514AndLeavesTheOutputAlone) {
    Json arr("[1,2]");
    int32_t i = 99;
    EXPECT_EQ(cjson_object_to_int(arr.root, 1, "a", &i, 0), 514);
    EXPECT_EQ(cjson_object_to_int(nullptr, 1, "a", &i, 0), 514);
    EXPECT_EQ(i, 99);
}

TEST(Envelope, ErrcodesMapByTheirFirstFiveCharacters) {
    struct Case {
        const char *body;
        int code;
    } cases[] = {
        {R"({"result":{}})", 0},
        {R"({"errcode":"50600","errmsg":"m"})", 0x30001},
        {R"({"errcode":"40000","errmsg":"m"})", 0x30002},
        {R"({"errcode":"40100","errmsg":"m","result":{}})", 0x30003},
        {R"({"errcode":"40431","errmsg":"m"})", 0x30004},
        {R"({"errcode":"40432","errmsg":"m"})", 0x30005},
        {R"({"errcode":"40432-and-more","errmsg":"m"})", 0x30005},
        {R"({"ERRCODE":"40100"})", 0x30003},
        {R"({"errcode":40100,"errmsg":"m"})", 0x30000},
        {R"({"errcode":"4010","errmsg":"m"})", 0x30000},
        {R"({"errmsg":"only a message"})", 0x30000},
        {R"({"errcode":""})", 0x30000},
    };
    Warnings warnings;
    for (const Case &c : cases) {
        Json j(c.body);
        EXPECT_EQ(cjson_check_request_data(j.root), c.code) << c.body;
    }
    bool logged = false;
    for (const std::string &line : warnings.lines()) {
        logged = logged || line == "server return errcode: 50600 ( m ) \n";
    }
    EXPECT_TRUE(logged);
}

}  // namespace
