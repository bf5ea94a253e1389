// rvcli run as a process against the local service: JSON and tables, errors
// and usage, help for every command, the QR login and the demo.
#include <cjson/cJSON.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>
#include <zbar.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "mock_service.h"
#include "rvcli_process.h"

namespace {

using namespace std::chrono_literals;
using rvtest::run_rvcli;
using rvtest::RunOptions;
using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

JsonPtr parse(const std::string &text) {
    return JsonPtr(cJSON_Parse(text.c_str()), cJSON_Delete);
}

class RvcliTest : public ::testing::Test {
  protected:
    explicit RvcliTest(int qr_polls = 1000) {
        rvmock::Config config;
        config.qr_confirm_polls = qr_polls;  // confirmed only by opening the URL
        service_ = std::make_unique<rvmock::Service>(config);
    }
    void SetUp() override {
        ASSERT_TRUE(service_->start());
        char dir[] = "/tmp/rvcli-test-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        data_dir_ = dir;
    }
    void TearDown() override { std::filesystem::remove_all(data_dir_); }

    // Pointed at this test's service through the SDK's environment variables.
    RunOptions env() const {
        return {{{"RV_OPEN_API_HTTP", service_->http_url()},
                 {"RV_OPEN_API_HTTPS", service_->https_url()},
                 {"RV_REPORT_HOST", service_->http_url()},
                 {"RV_CA_FILE", service_->ca_file()}}};
    }
    std::vector<std::string> args(std::vector<std::string> rest) const {
        rest.insert(rest.begin(), {"--data-dir", data_dir_});
        return rest;
    }

    std::unique_ptr<rvmock::Service> service_;
    std::string data_dir_;
};

JsonPtr fixtures() {
    std::ifstream in(std::string(RV_SOURCE_DIR) + "/tools/mock_service/fixtures/catalogue.json");
    std::stringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

TEST_F(RvcliTest, JsonAlbumsMatchTheFixturesAndGoThroughTheServiceNamed) {
    const rvtest::Result r = run_rvcli(args({"--json", "albums", "101"}), env());
    ASSERT_EQ(r.status, 0) << r.err;
    JsonPtr printed = parse(r.out);
    ASSERT_TRUE(printed && cJSON_IsArray(printed.get())) << r.out;

    JsonPtr expected = fixtures();
    std::vector<std::pair<int64_t, std::string>> want;
    const cJSON *album = nullptr;
    cJSON_ArrayForEach(album, cJSON_GetObjectItem(expected.get(), "albums")) {
        if (cJSON_GetObjectItem(album, "cid")->valuedouble == 101) {
            want.emplace_back(static_cast<int64_t>(cJSON_GetObjectItem(album, "id")->valuedouble),
                              cJSON_GetObjectItem(album, "name")->valuestring);
        }
    }
    std::vector<std::pair<int64_t, std::string>> got;
    cJSON_ArrayForEach(album, printed.get()) {
        got.emplace_back(static_cast<int64_t>(cJSON_GetObjectItem(album, "id")->valuedouble),
                         cJSON_GetObjectItem(album, "name")->valuestring);
        EXPECT_TRUE(cJSON_IsNumber(cJSON_GetObjectItem(album, "listenNum")));
    }
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(got, want);

    bool asked = false;
    for (const rvmock::Received &q : service_->requests()) {
        asked |= q.path == "/v2/album/list" && q.query.find("cid=101") != std::string::npos;
    }
    EXPECT_TRUE(asked) << "the album list did not come from the service in the environment";
}

TEST_F(RvcliTest, TablesAlignWideTextAndJsonKeepsItWhole) {
    const rvtest::Result table = run_rvcli(args({"album", "1100003"}), env());
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find("name:         Counting in \"Seven\" Languages 七种语言\n"),
              std::string::npos)
        << table.out;
    const rvtest::Result json = run_rvcli(args({"--json", "album", "1100003"}), env());
    ASSERT_EQ(json.status, 0) << json.err;
    JsonPtr object = parse(json.out);
    ASSERT_TRUE(object) << json.out;
    EXPECT_STREQ(cJSON_GetObjectItem(object.get(), "name")->valuestring,
                 "Counting in \"Seven\" Languages 七种语言");
}

TEST_F(RvcliTest, FailuresNameTheResultCodeOnStandardErrorWithNonZeroStatus) {
    const rvtest::Result missing = run_rvcli(args({"album", "999"}), env());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("RVE_SERVER_50600"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("no such item"), std::string::npos) << missing.err;

    service_->set_fault("/v2/category", {.kind = rvmock::Fault::Kind::Drop});
    const rvtest::Result dropped = run_rvcli(args({"categories"}), env());
    EXPECT_EQ(dropped.status, 1);
    EXPECT_NE(dropped.err.find("RVE_FAILED"), std::string::npos) << dropped.err;

    const rvtest::Result unauthorised = run_rvcli(args({"history"}), env());
    EXPECT_EQ(unauthorised.status, 1);
    EXPECT_NE(unauthorised.err.find("log in first"), std::string::npos) << unauthorised.err;
}

TEST_F(RvcliTest, BadCommandLinesGetAMessageAndStatusTwoWithoutTouchingTheService) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"albums", "x"}, "CID must be a whole number, not 'x'"},
        {{"albums"}, "missing argument"},
        {{"album", "1", "2"}, "too many arguments"},
        {{"audios", "1100001", "--page"}, "--page needs a value"},
        {{"audios", "1100001", "--page", "two"}, "--page must be a whole number"},
        {{"play", "tape", "1"}, "play what?"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"--nope", "categories"}, "unknown option --nope"},
        {{"--log-level", "loud", "categories"}, "--log-level must be"},
        {{"--appid"}, "option --appid needs a value"},
    };
    for (const auto &[line, message] : cases) {
        const rvtest::Result r = run_rvcli(args(line), env());
        EXPECT_EQ(r.status, 2) << line.front();
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    EXPECT_TRUE(service_->requests().empty());
}

TEST_F(RvcliTest, EveryCommandHasHelp) {
    const rvtest::Result all = run_rvcli({"--help"}, env());
    ASSERT_EQ(all.status, 0);
    const std::vector<std::string> commands = {
        "categories",  "albums",    "album",  "audios",  "top",           "radios",
        "broadcasts",  "guide",     "search", "suggest", "subscriptions", "subscribe",
        "unsubscribe", "history",   "login",  "logout",  "whoami",        "play",
        "download",    "downloads", "remove", "demo"};
    // Lines fit 80 columns, so that each entry stays one in the manual page.
    std::istringstream lines(all.out);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 80u) << line;
    }
    for (const std::string &c : commands) {
        EXPECT_NE(all.out.find("\n  " + c + " "), std::string::npos) << c;
        const rvtest::Result one = run_rvcli({c, "--help"}, env());
        EXPECT_EQ(one.status, 0) << c;
        EXPECT_EQ(one.out.rfind("usage: rvcli [OPTIONS] " + c + " ", 0), 0u) << one.out;
    }
    EXPECT_TRUE(service_->requests().empty());
}

// The drawn QR code back into pixels: every character is two modules stacked.
std::optional<std::string> decode_drawing(const std::string &out) {
    std::vector<std::vector<bool>> modules;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<bool> top, bottom;
        bool drawing = line.size() > 20;
        for (size_t i = 0; i < line.size() && drawing;) {
            if (line[i] == ' ') {
                top.push_back(false), bottom.push_back(false), i += 1;
            } else if (line.compare(i, 3, "█") == 0) {
                top.push_back(true), bottom.push_back(true), i += 3;
            } else if (line.compare(i, 3, "▀") == 0) {
                top.push_back(true), bottom.push_back(false), i += 3;
            } else if (line.compare(i, 3, "▄") == 0) {
                top.push_back(false), bottom.push_back(true), i += 3;
            } else {
                drawing = false;
            }
        }
        if (drawing) {
            modules.push_back(top);
            modules.push_back(bottom);
        }
    }
    if (modules.empty()) {
        return std::nullopt;
    }
    constexpr int kScale = 4, kMargin = 16;
    const int width = static_cast<int>(modules.front().size()) * kScale + 2 * kMargin;
    const int height = static_cast<int>(modules.size()) * kScale + 2 * kMargin;
    std::vector<unsigned char> pixels(static_cast<size_t>(width * height), 255);
    for (size_t y = 0; y < modules.size(); ++y) {
        for (size_t x = 0; x < modules[y].size(); ++x) {
            for (int dy = 0; dy < kScale && modules[y][x]; ++dy) {
                for (int dx = 0; dx < kScale; ++dx) {
                    pixels[static_cast<size_t>((kMargin + static_cast<int>(y) * kScale + dy) *
                                                   width +
                                               kMargin + static_cast<int>(x) * kScale + dx)] = 0;
                }
            }
        }
    }
    zbar::zbar_image_scanner_t *scanner = zbar::zbar_image_scanner_create();
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::zbar_image_t *image = zbar::zbar_image_create();
    zbar::zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image, static_cast<unsigned>(width), static_cast<unsigned>(height));
    zbar::zbar_image_set_data(image, pixels.data(), pixels.size(), nullptr);
    std::optional<std::string> text;
    if (zbar::zbar_scan_image(scanner, image) > 0) {
        text = zbar::zbar_symbol_get_data(zbar::zbar_image_first_symbol(image));
    }
    zbar::zbar_image_destroy(image);
    zbar::zbar_image_scanner_destroy(scanner);
    return text;
}

TEST_F(RvcliTest, LoginDrawsTheConfirmationUrlAndCompletesOnceItIsOpened) {
    rvtest::RvcliProcess login(args({"login", "--timeout", "40"}), env());
    ASSERT_TRUE(login.wait_for_output("waiting for the confirmation\n", 20s))
        << login.out() << login.err();
    const std::optional<std::string> url = decode_drawing(login.out());
    ASSERT_TRUE(url) << login.out();
    EXPECT_EQ(url->rfind(service_->http_url() + "/oauth2/confirm?uuid=", 0), 0u) << *url;
    EXPECT_NE(login.out().find("open " + *url + "\n"), std::string::npos);

    // Not confirmed until the URL is opened, as a phone would.
    EXPECT_FALSE(login.wait_for_output("logged in", 2s));
    httplib::Client phone(service_->http_url());
    const auto opened = phone.Get(url->substr(service_->http_url().size()));
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->status, 200);
    ASSERT_EQ(login.finish(30s), 0) << login.err();
    EXPECT_NE(login.out().find("logged in as mock-user-1"), std::string::npos) << login.out();

    // Kept for later commands, readable by the owner only.
    struct stat st {};
    ASSERT_EQ(stat((data_dir_ + "/rvcli-login").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const rvtest::Result who = run_rvcli(args({"--json", "whoami"}), env());
    ASSERT_EQ(who.status, 0) << who.err;
    EXPECT_STREQ(cJSON_GetObjectItem(parse(who.out).get(), "nickname")->valuestring, "mock-user-1")
        << who.out;
    const rvtest::Result sub = run_rvcli(args({"subscribe", "1100002"}), env());
    EXPECT_EQ(sub.status, 0) << sub.err;
    const rvtest::Result list = run_rvcli(args({"--json", "subscriptions"}), env());
    EXPECT_NE(list.out.find("Voyage to the Glass Islands"), std::string::npos) << list.out;

    const rvtest::Result out = run_rvcli(args({"logout"}), env());
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_FALSE(std::filesystem::exists(data_dir_ + "/rvcli-login"));
    // The token is revoked, not only forgotten.
    bool revoked = false;
    for (const rvmock::Received &q : service_->requests()) {
        revoked |= q.path == "/v2/oauth2/revoke";
    }
    EXPECT_TRUE(revoked);
    EXPECT_EQ(run_rvcli(args({"whoami"}), env()).status, 1);
}

TEST(RvcliDemo, TourRunsAgainstItsOwnLocalServiceAndExitsZero) {
    char dir[] = "/tmp/rvcli-demo-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    // No host in the environment: rvcli brings its own service. No sound card
    // either: an ALSA configuration without devices.
    const std::string no_devices = std::string(dir) + "/no-devices.conf";
    std::ofstream(no_devices).close();
    RunOptions options{{{"RV_OPEN_API_HTTP", ""},
                        {"RV_OPEN_API_HTTPS", ""},
                        {"RV_REPORT_HOST", ""},
                        {"ALSA_CONFIG_PATH", no_devices}}};
    const auto started = std::chrono::steady_clock::now();
    const rvtest::Result r = run_rvcli({"--data-dir", dir, "demo"}, options);
    const auto took = std::chrono::steady_clock::now() - started;
    std::filesystem::remove_all(dir);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (const char *stage :
         {"openid is oid-", "== 1. The catalogue", "Voyage to the Glass Islands",
          "playing 3000000201 ", "ended 3000000201\n", "playing 3000000202 ", "playing 10010000",
          " live ", "A live broadcast", "logged in as mock-user-1", "rv_doSubscribe",
          "Searching for", "What the service heard", "The tour is over"}) {
        EXPECT_NE(r.out.find(stage), std::string::npos) << stage;
    }
    // Types by name, the history's time as a local date and time.
    EXPECT_NE(r.out.find("\nalbum  1100001 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\naudio  3000000101 "), std::string::npos) << r.out;
    EXPECT_TRUE(
        std::regex_search(r.out, std::regex(R"(  00:02 +\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\n)")))
        << r.out;
    EXPECT_LT(took, 60s);
    // The second audio came by itself, after the first ended.
    EXPECT_LT(r.out.find("ended 3000000201\n"), r.out.find("playing 3000000202 "));
    // Without a sound card: the engine's one warning, not the audio library's
    // chatter on either stream.
    for (const char *chatter : {"SDL_Linux_", "unable to open pcm", "ALSA lib"}) {
        EXPECT_EQ((r.out + r.err).find(chatter), std::string::npos) << chatter;
    }
    const size_t warning = r.err.find("orvellaplayer: W");
    EXPECT_TRUE(warning == std::string::npos ||
                r.err.find("orvellaplayer: W", warning + 1) == std::string::npos)
        << r.err;
}

}  // namespace
