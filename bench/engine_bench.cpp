// engine_bench: what the media engine costs, against FFmpeg alone in the same process.
//   1. CPU time to decode and resample 60 s of 64 kbit/s AAC: the engine's decoding path
//      versus FFmpeg's own canonical loop (read, decode, swr to s16), as a ratio.
//   2. Time from prepareAsync to the first PCM frame reaching the device (ALSA's file
//      plugin, see tests/libpcmsink/alsa-test.conf.in) for a local file and a local HTTP URL.
//   3. CPU used by the engine while playing in real time.
#include <httplib.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "first_pcm.h"
#include "media_input.h"
#include "orvellaplayer.h"
#include "tone.h"

namespace {

using Clock = std::chrono::steady_clock;

double cpu_seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

int no_interrupt(void *) {
    return 0;
}

template <auto Free>
struct Deleter {
    template <typename T>
    void operator()(T *p) const {
        Free(&p);
    }
};

// FFmpeg alone: the textbook read/decode/convert loop into one reused buffer.
std::size_t ffmpeg_decode(const std::string &path) {
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        std::exit(1);
    }
    std::unique_ptr<AVFormatContext, Deleter<avformat_close_input>> fmt(raw);
    const AVCodec *codec = nullptr;
    const int index = avformat_find_stream_info(fmt.get(), nullptr) < 0
                          ? -1
                          : av_find_best_stream(fmt.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (index < 0) {
        std::exit(1);
    }
    std::unique_ptr<AVCodecContext, Deleter<avcodec_free_context>> dec(
        avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(dec.get(), fmt->streams[index]->codecpar);
    avcodec_open2(dec.get(), codec, nullptr);
    SwrContext *swr_raw = nullptr;
    swr_alloc_set_opts2(&swr_raw, &dec->ch_layout, AV_SAMPLE_FMT_S16, dec->sample_rate,
                        &dec->ch_layout, dec->sample_fmt, dec->sample_rate, 0, nullptr);
    std::unique_ptr<SwrContext, Deleter<swr_free>> swr(swr_raw);
    swr_init(swr.get());
    std::unique_ptr<AVPacket, Deleter<av_packet_free>> pkt(av_packet_alloc());
    std::unique_ptr<AVFrame, Deleter<av_frame_free>> frame(av_frame_alloc());
    std::vector<std::int16_t> out(8192 * 2);
    std::size_t frames = 0;
    auto drain = [&] {
        while (avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
            auto *dst = reinterpret_cast<std::uint8_t *>(out.data());
            const int got = swr_convert(swr.get(), &dst, 8192,
                                        const_cast<const std::uint8_t **>(frame->extended_data),
                                        frame->nb_samples);
            frames += got > 0 ? static_cast<std::size_t>(got) : 0;
        }
    };
    while (av_read_frame(fmt.get(), pkt.get()) >= 0) {
        if (pkt->stream_index == index && avcodec_send_packet(dec.get(), pkt.get()) >= 0) {
            drain();
        }
        av_packet_unref(pkt.get());
    }
    avcodec_send_packet(dec.get(), nullptr);
    drain();
    return frames;
}

// The engine's path: demux, decode, convert to s16 interleaved.
std::size_t engine_decode(const std::string &path) {
    orv::MediaInput input(&no_interrupt, nullptr);
    int av_error = 0;
    if (input.open(orv::InputOptions{path, "", "", ""}, &av_error) != 0) {
        std::fprintf(stderr, "engine could not open %s\n", path.c_str());
        std::exit(1);
    }
    std::vector<std::int16_t> pcm;
    std::size_t frames = 0;
    int detail = 0;
    while (input.read(pcm, &detail, &av_error) == orv::MediaInput::Read::Data) {
        frames += pcm.size() / static_cast<std::size_t>(input.channels());
        pcm.clear();
    }
    return frames;
}

template <typename F>
double best_cpu(int runs, F &&f) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const double t0 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID);
        f();
        best = std::min(best, cpu_seconds(CLOCK_THREAD_CPUTIME_ID) - t0);
    }
    return best;
}

std::atomic<int> g_errors{0};
void on_event(int what, int, int) {
    if (what == ORV_EVENT_ERROR) {
        ++g_errors;
    }
}

}  // namespace

int main() {
    if (std::getenv("ALSA_CONFIG_PATH") == nullptr) {
        setenv("ALSA_CONFIG_PATH", RV_ALSA_TEST_CONF, 1);
    }
    const auto dir = std::filesystem::temp_directory_path() / "rv-engine-bench";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "tone60.aac").string();
    const std::string capture = (dir / "capture.raw").string();
    setenv("RV_PCM_CAPTURE", capture.c_str(), 1);

    rvtone::ToneSpec tone;
    tone.frequency_hz = 440;
    tone.duration_s = 60;
    tone.sample_rate = 44100;
    tone.channels = 2;
    tone.bitrate = 64000;
    const auto bytes = rvtone::encode_tone(rvtone::Codec::Aac, tone);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    // 1. Decode + resample CPU.
    std::size_t engine_frames = 0;
    std::size_t ffmpeg_frames = 0;
    const double ffmpeg_cpu = best_cpu(5, [&] { ffmpeg_frames = ffmpeg_decode(file); });
    const double engine_cpu = best_cpu(5, [&] { engine_frames = engine_decode(file); });
    std::printf("decode+resample 60 s AAC 64 kbit/s stereo 44.1 kHz (best of 5, thread CPU):\n");
    std::printf("  ffmpeg loop  %.1f ms  (%zu frames)\n", ffmpeg_cpu * 1e3, ffmpeg_frames);
    std::printf("  engine path  %.1f ms  (%zu frames)\n", engine_cpu * 1e3, engine_frames);
    std::printf("  ratio engine/ffmpeg  %.2f\n", engine_cpu / ffmpeg_cpu);

    // 2. prepareAsync -> first PCM frame on the device.
    httplib::Server server;
    server.Get("/tone60.aac", [&](const httplib::Request &, httplib::Response &res) {
        res.set_content(std::string(bytes.begin(), bytes.end()), "audio/aac");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread http([&] { server.listen_after_bind(); });
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Register_post_event(&on_event);
    IjkMediaPlayer_native_init();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/tone60.aac";
    std::printf("prepareAsync -> first PCM frame written (median of 15):\n");
    std::printf("  local file   %.1f ms\n", bench::first_pcm_ms(file, capture, 15));
    std::printf("  local HTTP   %.1f ms\n", bench::first_pcm_ms(url, capture, 15));

    // 3. Real-time playback load, at normal speed and at 1.5 (the speed filter at work).
    double normal_cpu = 0;
    for (const float speed : {1.0f, 1.5f}) {
        IjkMediaPlayer_setPlaybackSpeed(speed);
        IjkMediaPlayer_setDataSourceAndHeaders(file.c_str());
        const double p0 = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID);
        const auto w0 = Clock::now();
        IjkMediaPlayer_prepareAsync(0, 4);
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const double wall = std::chrono::duration<double>(Clock::now() - w0).count();
        const double cpu = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID) - p0;
        IjkMediaPlayer_stop();
        normal_cpu = speed == 1.0f ? cpu : normal_cpu;
        std::printf(
            "real-time playback at %.1fx, 10 s: %.2f%% of one core (%.0f ms CPU), "
            "%d errors, CPU ratio to 1.0x %.2f\n",
            static_cast<double>(speed), 100.0 * cpu / wall, cpu * 1e3, g_errors.load(),
            cpu / normal_cpu);
    }
    IjkMediaPlayer_native_finalize();

    server.stop();
    http.join();
    std::filesystem::remove_all(dir);
    return 0;
}
