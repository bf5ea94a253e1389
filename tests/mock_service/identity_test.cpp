// App init and app active hand a device a stable openid.
#include "mock_test_support.h"

namespace rvmock_test {
namespace {

class AppIdentity : public MockServiceTest {};

TEST_F(AppIdentity, InitAndActiveGiveTheSameOpenidPerDevice) {
    Identity fresh;
    fresh.openid.clear();  // a first start has no openid yet
    Json init = api("/v2/app/init", "", fresh);
    std::string openid = str_of(result_of(init), "openid");
    EXPECT_FALSE(openid.empty());
    EXPECT_EQ(str_of(result_of(api("/v2/app/init", "", fresh)), "openid"), openid);

    Options post;
    post.method = "POST";
    Response active = fetch(http("/v2/app/active?" + common_block(fresh)), post);
    EXPECT_EQ(str_of(result_of(parse(active.body)), "openid"), openid);

    Identity other = fresh;
    other.deviceid = "dev-other";
    EXPECT_NE(str_of(result_of(api("/v2/app/init", "", other)), "openid"), openid);
}

TEST_F(AppIdentity, ActiveIsAPostAndBothNeedADeviceId) {
    Json by_get = api("/v2/app/active");
    EXPECT_EQ(str_of(by_get.get(), "errcode"), "40000");
    Identity no_device;
    no_device.deviceid.clear();
    Json anonymous = api("/v2/app/init", "", no_device);
    EXPECT_EQ(str_of(anonymous.get(), "errcode"), "40000");
}

}  // namespace
}  // namespace rvmock_test
