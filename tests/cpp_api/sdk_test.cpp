// The C++ face against the mock service over real sockets: values equal the C
// records field for field, errors carry their codes, every callable runs
// exactly once (also across the destruction of the rv::Sdk), and start-up
// failures leave the SDK startable again.
#include "radio_sdk.hpp"
#include "rv_logout.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "mock_service.h"
#include "request/sdk_fixture.h"

namespace {

using namespace std::chrono_literals;
using rv::test::TempDir;

constexpr int64_t kAlbum = 1100001;  // 60 audios in the fixture

rv::Config config_for(const rvmock::Service &mock, const std::string &dir) {
    rv::Config config;
    config.app_id = "rv-test-app";
    config.secret_key = "rv-test-secret";
    config.channel = "rv-channel";
    config.package_name = "com.example.radio";
    config.data_dir = dir;
    config.open_api_http = mock.http_url();
    config.open_api_https = mock.https_url();
    config.report_host = mock.http_url();
    config.ca_file = mock.ca_file();
    return config;
}

// The C record a C call delivers, for comparison with the C++ value.
template <class C>
C *c_record(rv::test::Delivery d) {
    EXPECT_EQ(d.code, 0);
    return static_cast<C *>(d.data);
}

std::vector<const dao_audio *> c_items(const List *list) {
    std::vector<const dao_audio *> out;
    for (const ListItem *n = ListFirst(list); n != nullptr; n = ListNext(n)) {
        out.push_back(static_cast<const dao_audio *>(n->data));
    }
    return out;
}

void expect_same(const dao_audio &c, const rv::Audio &v) {
    EXPECT_EQ(v.audioName, c.audioName);
    EXPECT_EQ(v.audioPic, c.audioPic);
    EXPECT_EQ(v.audioDes, c.audioDes);
    EXPECT_EQ(v.albumName, c.albumName);
    EXPECT_EQ(v.albumPic, c.albumPic);
    EXPECT_EQ(v.mp3PlayUrl32, c.mp3PlayUrl32);
    EXPECT_EQ(v.mp3PlayUrl64, c.mp3PlayUrl64);
    EXPECT_EQ(v.aacPlayUrl, c.aacPlayUrl);
    EXPECT_EQ(v.aacPlayUrl32, c.aacPlayUrl32);
    EXPECT_EQ(v.aacPlayUrl64, c.aacPlayUrl64);
    EXPECT_EQ(v.aacPlayUrl128, c.aacPlayUrl128);
    EXPECT_EQ(v.clockId.has_value(), c.clockId != nullptr);
    EXPECT_EQ(v.albumId, c.albumId);
    EXPECT_EQ(v.audioId, c.audioId);
    EXPECT_EQ(v.updateTime, c.updateTime);
    EXPECT_EQ(v.aacFileSize, c.aacFileSize);
    EXPECT_EQ(v.mp3FileSize32, c.mp3FileSize32);
    EXPECT_EQ(v.mp3FileSize64, c.mp3FileSize64);
    EXPECT_EQ(v.orderNum, c.orderNum);
    EXPECT_EQ(v.duration, c.duration);
    EXPECT_EQ(v.originalDuration, c.originalDuration);
    EXPECT_EQ(v.listenNum, c.listenNum);
    EXPECT_EQ(v.likedNum, c.likedNum);
    EXPECT_EQ(v.hasCopyright, c.hasCopyright);
    EXPECT_EQ(v.commentNum, c.commentNum);
    EXPECT_EQ(v.trailerStart, c.trailerStart);
    EXPECT_EQ(v.trailerEnd, c.trailerEnd);
    EXPECT_EQ(v.categoryId, c.categoryId);
    EXPECT_EQ(v.isListened, c.isListened);
}

class CppSdk : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(mock_.start());
        sdk_.emplace(config_for(mock_, dir_.path()));
    }

    rvmock::Service mock_;
    TempDir dir_;
    std::optional<rv::Sdk> sdk_;
};

TEST_F(CppSdk, ValuesEqualTheCRecordsFieldForField) {
    auto page = sdk_->get_album_audio_list(kAlbum, 1, 2, 20, 0).get();
    rv::test::Delivery d = rv::test::call(
        [](void *u) { rv_getAlbumAudioList(kAlbum, 1, 2, 20, 0, rv::test::Catcher::callback, u); });
    dao_audio_set *set = c_record<dao_audio_set>(d);
    ASSERT_NE(set, nullptr);
    EXPECT_TRUE(page.haveNext);
    EXPECT_TRUE(page.havePre);
    EXPECT_EQ(page.nextPage, set->nextPage);
    EXPECT_EQ(page.prePage, set->prePage);
    EXPECT_EQ(page.currentPage, 2);
    EXPECT_EQ(page.count, set->count);
    EXPECT_EQ(page.sumPage, set->sumPage);
    EXPECT_EQ(page.pageSize, set->pageSize);
    std::vector<const dao_audio *> items = c_items(set->list);
    ASSERT_EQ(page.list.size(), 20u);
    ASSERT_EQ(items.size(), page.list.size());
    for (size_t i = 0; i < items.size(); ++i) {
        expect_same(*items[i], page.list[i]);
    }
    dao_audio_set_del(set);

    rv::AlbumInfo info = sdk_->get_album_info(kAlbum).get();
    EXPECT_EQ(info.id, kAlbum);
    EXPECT_EQ(info.name, "Tales of the North Wind");
    EXPECT_EQ(info.keyWords, "wind&tales&north");
    ASSERT_EQ(info.host.size(), 1u);
    EXPECT_EQ(info.host[0].name, "Ada Teller");
    EXPECT_EQ(info.host[0].des, "Narrator");

    rv::Page<rv::Album> top = sdk_->get_album_top_list("week top", 1, 3).get();
    ASSERT_EQ(top.list.size(), 3u);
    EXPECT_GE(top.list[0].listenNum, top.list[1].listenNum);
    EXPECT_GE(top.list[1].listenNum, top.list[2].listenNum);

    std::vector<rv::Category> all = sdk_->get_all_category().get();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2].cid, 300);
    EXPECT_EQ(all[2].name, "Music");
    std::vector<rv::Category> sub = sdk_->get_sub_category(300).get();
    ASSERT_EQ(sub.size(), 2u);
    EXPECT_EQ(sub[1].name, "Folk");
    EXPECT_FALSE(sub[1].hasSub);
}

TEST_F(CppSdk, CallableFormDeliversOnAWorkerExactlyOnce) {
    std::promise<std::pair<std::thread::id, rv::Page<rv::Album>>> got;
    std::atomic<int> calls{0};
    sdk_->get_album_list(
        101, 0, 1, 20,
        rv::overloaded{[&](rv::Page<rv::Album> page) {
                           ++calls;
                           got.set_value({std::this_thread::get_id(), std::move(page)});
                       },
                       [&](const rv::Error &e) {
                           ++calls;
                           ADD_FAILURE() << e.what();
                       }});
    auto [thread, page] = got.get_future().get();
    EXPECT_NE(thread, std::this_thread::get_id());
    ASSERT_FALSE(page.list.empty());
    EXPECT_EQ(page.list[0].id, kAlbum);
    EXPECT_EQ(page.list[0].sourceName, "Mock Radio");
    sdk_.reset();  // answers every call; none may come twice
    EXPECT_EQ(calls, 1);
}

TEST_F(CppSdk, ErrorsCarryTheServerCodeAndTheTransferFailure) {
    rvmock::Fault envelope;
    envelope.kind = rvmock::Fault::Kind::Error;
    envelope.errcode = "50600";
    mock_.set_fault("/v2/category", envelope);
    try {
        sdk_->get_all_category().get();
        FAIL() << "no error";
    } catch (const rv::Error &e) {
        EXPECT_EQ(e.code(), RVE_SERVER_50600);
        EXPECT_STREQ(e.name(), "RVE_SERVER_50600");
        EXPECT_STREQ(e.what(), "rv_getAllCategory: RVE_SERVER_50600 (0x00030001): fault injected");
        EXPECT_EQ(e.service_message(), "fault injected");  // the service's own words
    }

    rvmock::Fault drop;
    drop.kind = rvmock::Fault::Kind::Drop;
    mock_.set_fault("/v2/album/detail", drop);
    std::promise<int> code;
    sdk_->get_album_info(kAlbum, [&](auto outcome) {
        if constexpr (std::is_same_v<decltype(outcome), rv::Error>) {
            code.set_value(outcome.service_message().empty() ? outcome.code() : -1);
        } else {
            code.set_value(0);
        }
    });
    EXPECT_EQ(code.get_future().get(), RVE_FAILED);

    // The same service answers the next unfaulted call.
    EXPECT_EQ(sdk_->get_album_audio_info(3000000101).get().audioId, 3000000101);
}

TEST_F(CppSdk, AThrowingCallableIsCaughtAndLogged) {
    std::promise<std::string> line;
    std::atomic<bool> seen{false};
    rv::set_log_sink([&](const rv::LogLine &l) {
        if (l.tag == "RADIO_SDK_HPP" && !seen.exchange(true)) {
            line.set_value(std::string(l.letter) + " " + std::string(l.message));
        }
    });
    const auto faulty = [](auto &&) { throw std::runtime_error("application bug"); };
    sdk_->get_all_category(faulty);  // an lvalue callable is copied
    auto f = line.get_future();
    ASSERT_EQ(f.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(f.get(), "E rv_getAllCategory: the application's callable threw; dropped\n");
    rv::reset_log_sink();
    // The worker survived: the SDK still answers.
    EXPECT_EQ(sdk_->get_all_category().get().size(), 3u);
}

TEST_F(CppSdk, DestroyingTheSdkAnswersEveryCallPromptlyAndOnce) {
    rvmock::Fault slow;
    slow.delay_ms = 20000;
    mock_.set_fault("/v2/category", slow);
    constexpr int kCalls = 12;  // three in transfer, the rest waiting in the queue
    std::vector<std::atomic<int>> calls(kCalls);
    std::vector<std::atomic<int>> codes(kCalls);
    std::vector<rv::Future<std::vector<rv::Category>>> futures;
    for (int i = 0; i < kCalls; ++i) {
        sdk_->get_all_category([&, i](auto &&outcome) {
            ++calls[i];
            if constexpr (std::is_same_v<std::decay_t<decltype(outcome)>, rv::Error>) {
                codes[i] = outcome.code();
            }
        });
        futures.push_back(sdk_->get_all_category());
    }
    std::this_thread::sleep_for(300ms);  // let the workers start their transfers
    const auto started = std::chrono::steady_clock::now();
    sdk_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    for (int i = 0; i < kCalls; ++i) {
        EXPECT_EQ(calls[i], 1) << i;
        EXPECT_TRUE(codes[i] == RVE_FAILED || codes[i] == RVE_NOT_READY) << codes[i];
        ASSERT_EQ(futures[i].wait_for(0s), rv::FutureStatus::ready) << i;
        EXPECT_THROW(futures[i].get(), rv::Error);
    }
}

TEST_F(CppSdk, BroadcastsAndSmartcastsAsValues) {
    std::vector<rv::Program> guide = sdk_->get_broadcast_program_list(1001, "").get();
    ASSERT_FALSE(guide.empty());
    EXPECT_EQ(guide[0].broadcastId, 1001);
    EXPECT_FALSE(guide[0].serverTime);  // only the current programme carries it
    rv::Program now = sdk_->get_broadcast_current_program(1001).get();
    ASSERT_TRUE(now.serverTime);
    EXPECT_FALSE(now.serverTime->empty());
    EXPECT_EQ(now.status, 1);

    rv::Page<rv::Broadcast> page = sdk_->get_broadcast_list(0, 0, 1, 10, 0).get();
    ASSERT_FALSE(page.list.empty());
    EXPECT_EQ(sdk_->get_broadcast_info(page.list[0].broadcastId).get().name, page.list[0].name);

    std::vector<rv::Audio> batch = sdk_->get_smartcast_audio_list(2100001, "").get();
    ASSERT_FALSE(batch.empty());
    ASSERT_TRUE(batch.back().clockId);
    std::vector<rv::Audio> next =
        sdk_->get_smartcast_audio_list(2100001, *batch.back().clockId).get();
    EXPECT_TRUE(next.empty() || next[0].clockId != batch.back().clockId);
    EXPECT_EQ(sdk_->get_smartcast_info(2100001).get().name, "Calm Mornings");

    // Calls whose answers carry no data: the callable gets no argument.
    sdk_->get_city_broadcast_top_list().get();
    std::promise<std::string> outcome;
    sdk_->get_city_broadcast_list(
        110000, 1, 10,
        rv::overloaded{[&] { outcome.set_value("done"); },
                       [&](const rv::Error &e) { outcome.set_value(e.what()); }});
    EXPECT_EQ(outcome.get_future().get(), "done");
}

TEST_F(CppSdk, SearchAndTheUsersHistoryAsValues) {
    std::vector<std::string> words = sdk_->get_search_suggest_word("North", 5).get();
    ASSERT_FALSE(words.empty());
    EXPECT_NE(words[0].find("North"), std::string::npos);
    std::vector<rv::SearchResult> hits = sdk_->do_search("North Wind").get();
    ASSERT_FALSE(hits.empty());

    // Without a user's credentials the service refuses.
    try {
        sdk_->get_listen_history().get();
        FAIL() << "history without a user";
    } catch (const rv::Error &e) {
        EXPECT_EQ(e.code(), RVE_SERVER_40100);
    }
}

TEST_F(CppSdk, AUserAuthorisedByQrCodeKeepsAHistory) {
    const std::string redirect = mock_.https_url() + "/oauth2/callback";
    rv::AuthQrCode qr = sdk_->get_auth_qrcode("code", "basic", redirect, "st-1").get();
    int32_t status = 0;
    for (int i = 0; i < 10 && status != 2; ++i) {
        status = sdk_->get_auth_qrcode_status(qr.uuid).get().status;
    }
    ASSERT_EQ(status, 2);
    rv::AuthGrantCode grant = sdk_->get_auth_grant_code(qr.uuid).get();
    EXPECT_EQ(grant.state, "st-1");
    rv::AuthAccessToken token =
        sdk_->get_auth_access_token(grant.code, "authorization_code", redirect).get();
    EXPECT_GT(token.expires_in, 0);
    sdk_->cache_auth_access_info(token.access_token, token.open_uid);

    EXPECT_EQ(sdk_->save_listen_history(2100001, 3000000101, 1000, 2000, 1765190000).get().status,
              1);
    rv::Page<rv::History> history = sdk_->get_listen_history().get();
    ASSERT_EQ(history.list.size(), 1u);
    EXPECT_EQ(history.list[0].radioId, "2100001");
    EXPECT_EQ(history.list[0].playedTime, 1000);
    EXPECT_EQ(history.count, 0);  // history pages carry no count

    sdk_->clear_auth_access_info();
    EXPECT_THROW(sdk_->get_listen_history().get(), rv::Error);
}

// LeakSanitizer (the ASan build) checks at exit that every record and every
// pending call of these 1,000 calls was freed; ThreadSanitizer that handing
// calls between four application threads and the workers is race-free.
// Under ASan this is also the leak check of the future form, values and
// errors alike (an error travels in the future as an exception).
TEST_F(CppSdk, AThousandFutureCallsFromFourThreadsGiveAThousandOutcomes) {
    rvmock::Fault envelope;
    envelope.kind = rvmock::Fault::Kind::Error;
    envelope.errcode = "40000";
    mock_.set_fault("/v2/album/detail", envelope);
    std::atomic<size_t> total{0};
    std::atomic<int> errors{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 250; ++i) {
                switch (i % 3) {
                    case 0:
                        total += sdk_->get_all_category().get().size();
                        break;
                    case 1:
                        total += sdk_->get_album_audio_list(kAlbum, 0, 1, 5, 0).get().list.size();
                        break;
                    default:
                        try {
                            sdk_->get_album_info(kAlbum).get();
                        } catch (const rv::Error &e) {
                            errors += e.code() == RVE_SERVER_40000 ? 1 : 0;
                        }
                }
            }
        });
    }
    for (std::thread &t : threads) {
        t.join();
    }
    EXPECT_EQ(total, 4u * 84 * 3 + 4u * 83 * 5);  // i % 3 == 0: 84 per thread, 1: 83
    EXPECT_EQ(errors, 4 * 83);
}

// An application's loop as a dispatcher sees it: jobs queued from the SDK's threads,
// run when the loop turns.
class Loop {
  public:
    auto dispatcher() {
        return [this](std::function<void()> job) {
            std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        };
    }
    void turn() {
        std::vector<std::function<void()>> taken;
        {
            std::lock_guard lock(mutex_);
            taken.swap(jobs_);
        }
        for (auto &job : taken) {
            job();
        }
    }

  private:
    std::mutex mutex_;  // guards jobs_
    std::vector<std::function<void()>> jobs_;
};

class CppSdkStart : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(mock_.start()); }
    rvmock::Service mock_;
    TempDir dir_;
};

TEST_F(CppSdkStart, ASecondInstanceIsRefusedAndTheFirstKeepsWorking) {
    rv::Sdk first(config_for(mock_, dir_.path()));
    try {
        rv::Sdk second(config_for(mock_, dir_.path()));
        FAIL() << "second instance started";
    } catch (const rv::Error &e) {
        EXPECT_EQ(e.code(), RVE_ALREADY_STARTED);
        EXPECT_NE(std::string(e.what()).find("already started"), std::string::npos);
        EXPECT_EQ(e.service_message(), "");
    }
    EXPECT_EQ(first.get_all_category().get().size(), 3u);
}

TEST_F(CppSdkStart, TheServicesOwnWordsReachTheError) {
    rv::Config config = config_for(mock_, dir_.path());
    config.app_id = "nobody";
    try {
        rv::Sdk sdk(config);
        FAIL() << "started with an unknown app id";
    } catch (const rv::Error &e) {
        EXPECT_EQ(e.code(), RVE_SERVER_40000);
        EXPECT_EQ(e.service_message(), "unknown appid");
        EXPECT_NE(std::string(e.what()).find(": unknown appid"), std::string::npos) << e.what();
    }
}

TEST_F(CppSdkStart, AFailedStartIsReleasedSoTheNextOneWorks) {
    rvmock::Fault refuse;
    refuse.kind = rvmock::Fault::Kind::Error;
    refuse.errcode = "40100";
    mock_.set_fault("/v2/app/init", refuse);
    mock_.set_fault("/v2/app/active", refuse);
    try {
        rv::Sdk sdk(config_for(mock_, dir_.path()));
        FAIL() << "started without an identity";
    } catch (const rv::Error &e) {
        EXPECT_EQ(e.code(), RVE_SERVER_40100);
    }
    mock_.set_fault("/v2/app/init", {});
    mock_.set_fault("/v2/app/active", {});
    rv::Sdk sdk(config_for(mock_, dir_.path()));
    EXPECT_EQ(sdk.get_all_category().get().size(), 3u);
}

TEST_F(CppSdkStart, AStartThatTakesTooLongIsAbandonedAndReleased) {
    rvmock::Fault slow;
    slow.delay_ms = 20000;
    mock_.set_fault("/v2/app/init", slow);
    rv::Config config = config_for(mock_, dir_.path());
    config.start_timeout = 200ms;
    try {
        rv::Sdk sdk(config);
        FAIL() << "started";
    } catch (const rv::Error &e) {
        EXPECT_NE(e.code(), RVE_OK);
        EXPECT_NE(std::string(e.what()).find("did not finish in time"), std::string::npos);
    }
    mock_.set_fault("/v2/app/init", {});
    rv::Sdk sdk(config_for(mock_, dir_.path()));
    EXPECT_EQ(sdk.get_sub_category(100).get().size(), 2u);
}

TEST_F(CppSdkStart, DownloadsKeptThroughAnOfflineStartAreListedAndRemoved) {
    const rv::Downloads store;
    {
        rv::Sdk sdk(config_for(mock_, dir_.path()));
        std::atomic<int> items{0};
        rv::Future<void> done = store.download_album(
            1100004, {.on_item_done = [&](int64_t, int result) { items += result == RVE_OK; }});
        EXPECT_THROW(store.download_album(1100004), rv::Error);  // already downloading
        done.get();
        EXPECT_EQ(items.load(), 3);
    }
    mock_.stop();
    rv::Config config = config_for(mock_, dir_.path());
    try {
        rv::Sdk refused(config);
        FAIL() << "started with the service gone";
    } catch (const rv::Error &e) {
        EXPECT_EQ(e.code(), RVE_FAILED);
    }
    config.offline_start = true;
    rv::Sdk offline(config);
    EXPECT_TRUE(offline.offline());
    const std::vector<rv::DownloadInfo> kept = store.list();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].state, RV_DOWNLOAD_COMPLETE);
    EXPECT_EQ(kept[0].items_done, 3);
    EXPECT_EQ(kept[0].bytes, store.bytes());
    try {
        store.download_album(1100003);
        FAIL() << "a download started offline";
    } catch (const rv::Error &e) {
        EXPECT_EQ(e.code(), RVE_NOT_READY);
    }
    store.remove(1100004);
    EXPECT_TRUE(store.list().empty());
    EXPECT_EQ(store.bytes(), 0);
}

TEST_F(CppSdkStart, WithADispatcherCallablesRunOnTheLoopAndTheLastInsideTheDestructor) {
    Loop loop;
    rv::Config config = config_for(mock_, dir_.path());
    config.dispatcher = loop.dispatcher();
    std::optional<rv::Sdk> sdk(std::in_place, config);  // runs its own start-up's callback
    std::vector<std::thread::id> ran;
    sdk->get_all_category([&](const auto &) { ran.push_back(std::this_thread::get_id()); });
    EXPECT_TRUE(ran.empty());
    for (int i = 0; i < 1000 && ran.empty(); ++i) {
        std::this_thread::sleep_for(10ms);
        loop.turn();
    }
    sdk->get_all_category([&](const auto &) { ran.push_back(std::this_thread::get_id()); });
    sdk.reset();
    EXPECT_EQ(ran, std::vector<std::thread::id>(2, std::this_thread::get_id()));
    loop.turn();
    EXPECT_EQ(ran.size(), 2u);
    // Gone with the rv::Sdk: the next one calls back on the SDK's threads.
    rv::Sdk plain(config_for(mock_, dir_.path()));
    EXPECT_EQ(plain.get_all_category().get().size(), 3u);
}

// A C start-up racing an rv::Sdk with a dispatcher, at seeded moments: at most one
// wins, and the dispatcher the winner calls back through is still alive (under ASan
// a freed one is reported).
TEST_F(CppSdkStart, ACStartUpRacingAnSdkWithADispatcherNeverUsesAFreedOne) {
    constexpr unsigned kSeed = 36;
    std::mt19937 random(kSeed);
    Loop loop;
    rv::Config config = config_for(mock_, dir_.path());
    config.dispatcher = loop.dispatcher();
    int cpp_lost = 0;
    unsigned meet = 1000;  // spin turns
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("seed " + std::to_string(kSeed) + " round " + std::to_string(round));
        std::atomic<bool> go{false}, cpp_done{false};
        std::atomic<int> c_code{-1};
        // Jittered around where the two start-ups meet: later after a C win, sooner
        // after an rv::Sdk win.
        const unsigned spin = static_cast<unsigned>(random() % (2 * meet + 1));
        std::thread c_side([&] {
            while (!go) {
            }
            for (unsigned i = 0; i < spin && c_code == -1; ++i) {  // an atomic read each turn
            }
            rv_initSdk(
                config.app_id.c_str(), config.secret_key.c_str(), config.channel.c_str(), nullptr,
                config.package_name.c_str(), dir_.path().c_str(),
                [](int code, void *, int, void *user) {
                    static_cast<std::atomic<int> *>(user)->store(code);
                },
                &c_code);
            while (c_code == -1 || !cpp_done) {  // the loop both start-ups may call back on
                loop.turn();
                std::this_thread::yield();
            }
        });
        go = true;
        // Kept until the C start-up has answered: one that began after its release may win.
        std::optional<rv::Sdk> sdk;
        try {
            sdk.emplace(config);
        } catch (const rv::Error &e) {
            EXPECT_EQ(e.code(), RVE_ALREADY_STARTED) << e.what();
            cpp_lost += std::string(e.what()).find("rv_setCallbackDispatcher") == std::string::npos;
        }
        const bool cpp_started = sdk.has_value();
        cpp_done = true;
        c_side.join();
        EXPECT_FALSE(cpp_started && c_code == RVE_OK);
        sdk.reset();
        meet = cpp_started ? meet * 3 / 4 : meet * 4 / 3 + 1;
        rv_releaseSdk();
        loop.turn();
        ASSERT_EQ(rv_setCallbackDispatcher(nullptr, nullptr), RVE_OK);
    }
    std::printf("rv::Sdk refused after its dispatcher was set: %d of 60 rounds\n", cpp_lost);
}

TEST_F(CppSdkStart, AnUnusableDataDirectoryIsError16) {
    // Below a regular file no directory can be made, whoever runs the test.
    rv::test::write_file(dir_.file("plain"), "x");
    try {
        rv::Sdk sdk(config_for(mock_, dir_.file("plain") + "/data"));
        FAIL() << "started";
    } catch (const rv::Error &e) {
        EXPECT_EQ(e.code(), RVE_NO_ACCESS);
        EXPECT_STREQ(e.name(), "RVE_NO_ACCESS");
    }
}

TEST(CppLogSink, LinesReachTheCallableUntilReset) {
    std::vector<std::string> lines;
    rv::set_log_sink([&](const rv::LogLine &l) {
        lines.push_back(std::string(l.letter) + "/" + std::string(l.tag) + " " +
                        std::string(l.message));
    });
    logout(2, 2, "E", "TEST", "one %d\n", 1);
    rv::set_log_sink([](const rv::LogLine &) { throw std::runtime_error("dropped"); });
    logout(2, 2, "E", "TEST", "two\n");  // must not terminate
    rv::reset_log_sink();
    logout(2, 2, "E", "TEST", "three\n");
    EXPECT_EQ(lines, std::vector<std::string>{"E/TEST one 1\n"});
}

TEST(CppError, NamesEveryCodeAndFallsBackToTheLibrary) {
    EXPECT_STREQ(rv::Error::name_of(RVE_FAILED), "RVE_FAILED");
    EXPECT_STREQ(rv::Error::name_of(RVE_SERVER_40432), "RVE_SERVER_40432");
    EXPECT_STREQ(rv::Error::name_of(12345), rve_strerror(12345));
    rv::Error e(RVE_BAD_RESPONSE);
    EXPECT_STREQ(e.what(), "RVE_BAD_RESPONSE (0x00000204)");
    EXPECT_EQ(e.code(), RVE_BAD_RESPONSE);
    const std::runtime_error &base = e;
    EXPECT_STREQ(base.what(), e.what());
}

TEST(CppFunction, CopiesOwnTheirCallableAndTheLastOneFreesIt) {
    const auto token = std::make_shared<int>(0);
    rv::Function<int(int)> f = [token, sum = 0](int x) mutable { return sum += x; };
    rv::Function<int(int)> g = f;
    EXPECT_EQ(token.use_count(), 3);
    EXPECT_EQ(f(1), 1);
    EXPECT_EQ(g(5), 5);  // a copy of the state, not a share of it
    EXPECT_EQ(f(1), 2);
    rv::Function<int(int)> h = std::move(f);
    EXPECT_FALSE(f);
    EXPECT_EQ(h(1), 3);
    h = nullptr;
    g = h;
    EXPECT_FALSE(g);
    EXPECT_EQ(token.use_count(), 1);
}

// Durations come in as anything shaped like std::chrono::duration.
TEST(CppFuture, DurationsOfEveryPeriodBecomeWholeMillisecondsAndBoundTheWait) {
    const std::vector<std::pair<rv::Milliseconds, int64_t>> rows{
        {2s, 2000},
        {1500us, 1},
        {999us, 0},
        {-5s, 0},
        {90min, 5'400'000},
        {std::chrono::duration<double>(0.25), 250},
        {std::chrono::hours::max(), 1'000'000'000'000}};  // capped at about 30 years
    for (const auto &[converted, ms] : rows) {
        EXPECT_EQ(converted.count(), ms);
    }
    rv::detail::Promise<void> never;
    const rv::Future<void> waiting = never.future();
    EXPECT_EQ(waiting.wait_for(2ms), rv::FutureStatus::timeout);
    EXPECT_EQ(waiting.wait_for(-1s), rv::FutureStatus::timeout);
    EXPECT_THROW(rv::Future<int>().wait_for(0s), rv::Error);
}

// Each outcome (value, error, no answer) is set on another thread, before or
// after the waiter looks; the waiter sees it once and the state is freed.
TEST(CppFuture, EveryOutcomeArrivesOnceAcrossThreads) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int step = 0; step < 200; ++step) {
        const int kind = static_cast<int>(random() % 3);
        // 0: answered before get(); 1: answered while get() waits; 2: the
        // answering side lets go only after the error was caught and read.
        const int order = static_cast<int>(random() % 3);
        std::optional<rv::detail::Promise<std::string>> promise(std::in_place);
        rv::Future<std::string> future = promise->future();
        ASSERT_EQ(future.wait_for(0s), rv::FutureStatus::timeout);
        std::promise<void> read;
        std::thread setter([&] {
            if (kind == 0) {
                (*promise)(std::to_string(step));
            } else if (kind == 1) {
                (*promise)(rv::Error(RVE_SERVER_40432, "call"));
            }
            if (order == 2 && kind == 1) {
                read.get_future().wait();
            }
            promise.reset();  // unanswered (kind 2): RVE_FAILED
        });
        if (order == 0) {
            setter.join();
            ASSERT_EQ(future.wait_for(0s), rv::FutureStatus::ready);
        }
        try {
            EXPECT_EQ(future.get(), std::to_string(step));
            EXPECT_EQ(kind, 0);
        } catch (const rv::Error &e) {
            EXPECT_EQ(e.code(), kind == 1 ? RVE_SERVER_40432 : RVE_FAILED);
            EXPECT_STREQ(e.what(), kind == 1 ? "call: RVE_SERVER_40432 (0x00030005)"
                                             : "no answer: RVE_FAILED (0x00000002)");
        }
        read.set_value();
        EXPECT_FALSE(future.valid());
        EXPECT_THROW(future.wait(), rv::Error);
        if (setter.joinable()) {
            setter.join();
        }
    }
}

}  // namespace
