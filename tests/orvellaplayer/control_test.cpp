// Commands against slow or silent servers, callbacks that command the engine, and the
// network setters.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <future>

#include "media_server.h"
#include "orvellaplayer.h"
#include "player_harness.h"

namespace rvtest {
namespace {

double ms_since(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

TEST_F(PlayerTest, ResetDuringPrepareOnASilentServerReturnsAtOnce) {
    SilentServer silent;
    for (auto command : {&IjkMediaPlayer_reset, &IjkMediaPlayer_stop}) {
        IjkMediaPlayer_setDataSourceAndHeaders(silent.url().c_str());
        const auto called = Clock::now();
        ASSERT_EQ(IjkMediaPlayer_prepareAsync(0, 4), 0);
        EXPECT_LT(ms_since(called), 200) << "prepareAsync must not wait";
        std::this_thread::sleep_for(300ms);  // the engine is now waiting for an answer
        const auto begun = Clock::now();
        command();
        EXPECT_LT(ms_since(begun), 200);
    }
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(Events::get().snapshot().empty()) << "an interrupted prepare reports nothing";
}

TEST_F(PlayerTest, ANewPrepareAndFinalizeAlsoInterruptASilentServer) {
    SilentServer silent;
    MediaServer server;
    server.add("ok.aac", tone_file(rvtone::Codec::Aac, 600, 1.0), "audio/aac");
    Capture capture("repreare");
    IjkMediaPlayer_setDataSourceAndHeaders(silent.url().c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    std::this_thread::sleep_for(300ms);
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "ok.aac").c_str());
    auto begun = Clock::now();
    IjkMediaPlayer_prepareAsync(0, 4);
    EXPECT_LT(ms_since(begun), 200);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));

    IjkMediaPlayer_setDataSourceAndHeaders(silent.url().c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    std::this_thread::sleep_for(300ms);
    begun = Clock::now();
    IjkMediaPlayer_native_finalize();
    EXPECT_LT(ms_since(begun), 200);
    IjkMediaPlayer_native_init();
}

// Under AddressSanitizer this also shows that nothing leaks.
TEST_F(PlayerTest, HundredPrepareResetCyclesLeaveNoThreadBehind) {
    SilentServer silent;
    MediaServer server;
    server.add("c.aac", tone_file(rvtone::Codec::Aac, 800, 1.0), "audio/aac");
    Capture capture("cycles");
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "c.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
    // Quiet: finalize returns once every ended source has let its threads go.
    IjkMediaPlayer_native_finalize();
    IjkMediaPlayer_native_init();
    const int baseline = thread_count();

    for (int i = 0; i < 100; ++i) {
        const bool silent_one = i % 2 == 0;
        IjkMediaPlayer_setDataSourceAndHeaders(silent_one ? silent.url().c_str()
                                                          : server.url("file", "c.aac").c_str());
        IjkMediaPlayer_prepareAsync(0, 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(i % 7 * 5));
        IjkMediaPlayer_reset();
    }
    IjkMediaPlayer_native_finalize();
    IjkMediaPlayer_native_init();
    EXPECT_EQ(thread_count_settled(baseline), baseline);
}

// The capture as a pipe that the test drains only while it lets it: held, the engine's
// writes block, and with them its fade and the close of the device.
class HeldDevice {
  public:
    explicit HeldDevice(const Capture &capture) {
        if (mkfifo(capture.path().c_str(), 0600) != 0 ||
            (fd_ = open(capture.path().c_str(), O_RDWR | O_CLOEXEC)) < 0) {
            throw std::runtime_error("no pipe for the device");
        }
        fcntl(fd_, F_SETPIPE_SZ, 4096);  // full after a few periods
        reader_ = std::thread([this] { drain(); });
    }
    ~HeldDevice() {
        set(true, true);
        reader_.join();
        close(fd_);
    }
    void hold() { set(false, false); }
    void release() { set(true, false); }
    // True once the pipe takes no more: the engine's next writes block.
    bool wait_full() const {
        for (int i = 0; i < 1000; ++i) {
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, 0) == 0) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

  private:
    void set(bool flowing, bool stop) {
        std::lock_guard lock(mu_);
        flowing_ = flowing;
        stop_ = stop;
        cv_.notify_all();
    }
    void drain() {
        char buffer[4096];
        std::unique_lock lock(mu_);
        while (!stop_) {
            if (!flowing_) {
                cv_.wait(lock);
                continue;
            }
            lock.unlock();
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) > 0) {
                (void)!read(fd_, buffer, sizeof buffer);
            }
            lock.lock();
        }
    }

    int fd_ = -1;
    std::mutex mu_;  // guards flowing_, stop_ (the test and the reader)
    std::condition_variable cv_;
    bool flowing_ = true;
    bool stop_ = false;
    std::thread reader_;
};

// A command that ends a playing source returns while that source still holds the device
// (its fade cannot be written); the next source opens the device only once it is closed.
TEST_F(PlayerTest, CommandsEndingASourceNeverWaitForItsDevice) {
    MediaServer server;
    server.add("a.aac", tone_file(rvtone::Codec::Aac, 700, 6.0), "audio/aac");
    server.add("b.aac", tone_file(rvtone::Codec::Aac, 900, 1.0), "audio/aac");
    struct Row {
        const char *name;
        void (*command)();
        bool next_source;
    };
    const Row rows[] = {
        {"stop", [] { IjkMediaPlayer_stop(); }, false},
        {"reset", [] { IjkMediaPlayer_reset(); }, false},
        {"prepare", [] { IjkMediaPlayer_prepareAsync(0, 4); }, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Capture capture(std::string("held-") + row.name);
        HeldDevice device(capture);
        Events::get().clear();
        IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "a.aac").c_str());
        IjkMediaPlayer_prepareAsync(0, 4);
        ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
        IjkMediaPlayer_start();
        device.hold();
        ASSERT_TRUE(device.wait_full());
        Events::get().clear();
        if (row.next_source) {
            IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "b.aac").c_str());
        }
        auto done = std::async(std::launch::async, row.command);
        const bool returned = done.wait_for(10s) == std::future_status::ready;
        EXPECT_TRUE(returned) << "the command waited for the device";
        EXPECT_EQ(Events::get().count(ORV_EVENT_PREPARED), 0) << "opened beside the old one";
        device.release();
        done.get();
        if (row.next_source) {
            EXPECT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
        }
        // Every source has left the pipe before it closes.
        IjkMediaPlayer_native_finalize();
        IjkMediaPlayer_native_init();
    }
}

TEST_F(PlayerTest, CallbacksMayCommandTheEngine) {
    MediaServer server;
    server.add("r.aac", tone_file(rvtone::Codec::Aac, 500, 2.0), "audio/aac");
    Capture capture("reentry");
    // As the SDK does: start from the prepared event; then stop from a position event.
    std::atomic<int> stops{0};
    Events::get().set_hook([&](int what, int, int) {
        if (what == ORV_EVENT_PREPARED) {
            IjkMediaPlayer_start();
            (void)IjkMediaPlayer_getDuration();
        } else if (what == ORV_EVENT_POSITION && stops.fetch_add(1) == 1) {
            IjkMediaPlayer_stop();
        }
    });
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "r.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_POSITION, -1, 10s));
    std::this_thread::sleep_for(2500ms);
    // Stopped from inside the second position event: nothing of the source follows.
    EXPECT_EQ(Events::get().count(ORV_EVENT_POSITION), 2);
    EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), 0);
    Events::get().set_hook(nullptr);
}

TEST_F(PlayerTest, FinalizeFromTheCallbackDoesNotHang) {
    MediaServer server;
    server.add("f.aac", tone_file(rvtone::Codec::Aac, 500, 2.0), "audio/aac");
    Capture capture("finalize");
    std::atomic<bool> returned{false};
    Events::get().set_hook([&](int what, int, int) {
        if (what == ORV_EVENT_PREPARED) {
            IjkMediaPlayer_native_finalize();
            returned = true;
        }
    });
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "f.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
    for (int i = 0; i < 100 && !returned; ++i) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(returned);
    Events::get().set_hook(nullptr);
    IjkMediaPlayer_native_init();
}

TEST_F(PlayerTest, ProxyCarriesTheMediaRequests) {
    MediaServer proxy;  // answers absolute-URI requests for media.invalid
    proxy.add("x.aac", tone_file(rvtone::Codec::Aac, 1500, 1.0), "audio/aac");
    Capture capture("proxy");
    IJKMediaPlayer_setProxyAddress(("127.0.0.1:" + std::to_string(proxy.port())).c_str());
    IjkMediaPlayer_setDataSourceAndHeaders("http://media.invalid/file/x.aac");
    IjkMediaPlayer_prepareAsync(0, 4);
    const bool done = Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 20s);
    IjkMediaPlayer_clearProxyAdress();
    ASSERT_TRUE(done);
    stop_heard_out();
    EXPECT_GE(proxy.connections_of("http://media.invalid"), 1);
    const auto mono = capture.read(44100, 1).mono();
    EXPECT_NEAR(rvtone::tone_seconds(mono, 44100, 1500), 1.0, 0.1);

    // Cleared: the name is looked up for real again, and fails.
    Events::get().clear();
    IjkMediaPlayer_setDataSourceAndHeaders("http://media.invalid/file/x.aac");
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_ERROR, ORV_ERROR_OPEN, 20s));
}

// A one-question DNS server answering 127.0.0.1 for every name, recording the names.
class FakeDns {
  public:
    FakeDns() {
        fd_ = loopback_udp(port_);
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeDns() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    int queries() const { return queries_; }

  private:
    void serve() {
        while (!stop_) {
            pollfd pfd{fd_, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0) {
                continue;
            }
            std::uint8_t q[512];
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n =
                ::recvfrom(fd_, q, sizeof q, 0, reinterpret_cast<sockaddr *>(&from), &len);
            if (n < 12) {
                continue;
            }
            ++queries_;
            std::vector<std::uint8_t> a(q, q + n);
            a[2] = 0x81;
            a[3] = 0x80;
            a[7] = 1;  // one answer
            a.insert(a.end(), {0xC0, 0x0C, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, 127, 0, 0, 1});
            ::sendto(fd_, a.data(), a.size(), 0, reinterpret_cast<sockaddr *>(&from), len);
        }
    }
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> queries_{0};
    std::thread thread_;
};

TEST_F(PlayerTest, DnsServerResolvesMediaHostsAndTheHostHeaderKeepsTheName) {
    FakeDns dns;
    MediaServer server;
    server.add("d.aac", tone_file(rvtone::Codec::Aac, 1100, 1.0), "audio/aac");
    Capture capture("dns");
    IJKMediaPlayer_setDns_Address(dns.address().c_str());
    const std::string authority = "media.example.test:" + std::to_string(server.port());
    IjkMediaPlayer_setDataSourceAndHeaders(("http://" + authority + "/file/d.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    const bool done = Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 20s);
    IjkMediaPlayer_clearDns_Address();
    ASSERT_TRUE(done);
    EXPECT_GE(dns.queries(), 1);
    EXPECT_EQ(server.last_host_header(), authority);

    // A stream without a length that breaks off is reopened through the same server (no
    // other resolver knows the name).
    Events::get().clear();
    IJKMediaPlayer_setDns_Address(dns.address().c_str());
    IjkMediaPlayer_setDataSourceAndHeaders(("http://" + authority + "/cut/d.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    const bool reopened = Events::get().wait_for(ORV_EVENT_INFO, ORV_INFO_BUFFERING_END, 20s);
    IjkMediaPlayer_clearDns_Address();
    EXPECT_TRUE(reopened);
    EXPECT_GE(server.requests("/cut/d.aac"), 2);
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
}

}  // namespace
}  // namespace rvtest
