// The device id: its format, its source of randomness, and the application's
// own rand() sequence left alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <regex>
#include <set>
#include <string>

#include "iface/init_sdk_impl.h"
#include "request/sdk_fixture.h"

namespace {

using rv::test::openssl_md5_hex;

std::string made() {
    char out[64] = {0};
    make_deviceid(out);
    return out;
}

TEST(DeviceId, IsTheMd5OfTheSecondsAndANumberBelowAMillion) {
    const long before = static_cast<long>(time(nullptr));
    const std::string id = made();
    const long after = static_cast<long>(time(nullptr));
    ASSERT_TRUE(std::regex_match(id, std::regex("[0-9a-f]{32}"))) << id;
    bool found = false;
    for (long s = before; s <= after && !found; s++) {
        for (int n = 0; n < 1000000 && !found; n++) {
            found = openssl_md5_hex(std::to_string(s) + std::to_string(n)) == id;
        }
    }
    EXPECT_TRUE(found) << "no seconds/number pair gives " << id;
}

TEST(DeviceId, DevicesStartingInTheSameSecondGetDifferentIds) {
    std::set<std::string> ids;
    for (int i = 0; i < 5; i++) {
        ids.insert(made());
    }
    EXPECT_GT(ids.size(), 1u);  // srand(time) would give five equal ids
}

TEST(DeviceId, LeavesTheApplicationsRandSequenceAlone) {
    srand(1234);
    const int expected[3] = {rand(), rand(), rand()};
    srand(1234);
    const int first = rand();
    made();
    const int second = rand();
    made();
    const int third = rand();
    EXPECT_EQ(first, expected[0]);
    EXPECT_EQ(second, expected[1]);
    EXPECT_EQ(third, expected[2]);
}

}  // namespace
