// Albums whose items are parts of one continuous tone, played through the SDK into the
// ALSA capture: the parts must come out as the one tone, of the full length, with no
// silence and no step at the joins (encoder delay and padding trimmed, the next item
// written into the same open output without a fade); with a crossfade, each join is an
// equal-power mix of the ending part's last audio and the next part's first. Downloaded
// parts join as seamlessly, from their files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <future>
#include <string>
#include <vector>

#include "player/sdk_playback_fixture.h"
#include "rv_download.h"
#include "rv_error.h"
#include "rv_player.h"
#include "support/play_bean.h"

namespace {

constexpr int kRate = 44100;
constexpr double kAmplitude = 0.5 * 32767;  // the local service's tones
constexpr double kHz = 440;
constexpr int kParts = 3;

class Gapless : public rv::test::SdkPlaybackTest {
  protected:
    // Downloads the album whole into the store; its result.
    int download(int64_t album) {
        rv_download_events events{};
        events.struct_size = sizeof events;
        events.user = &downloaded_;
        events.on_album_done = [](void *user, int64_t, int result) {
            static_cast<std::promise<int> *>(user)->set_value(result);
        };
        if (rv_downloadAlbum(album, &events) != RVE_OK) {
            return -1;
        }
        std::future<int> done = downloaded_.get_future();
        return done.wait_for(std::chrono::seconds(60)) == std::future_status::ready ? done.get()
                                                                                    : -1;
    }

    std::promise<int> downloaded_;  // told once, at the latest when the SDK stops
};

TEST_F(Gapless, AlbumOfPartsPlaysAsOneTone) {
    struct {
        const char *name;
        int64_t album;
        int crossfade_ms;
        bool downloaded;  // played from the store's files (last: they stay there)
    } const rows[] = {{"mp3_lame", 1100006, 0, false},
                      {"mp4_edit_list", 1100007, 0, false},
                      {"mp4_itunes_smpb", 1100008, 0, false},
                      {"mp3_crossfade", 1100006, 1000, false},
                      {"mp3_downloaded", 1100006, 0, true}};
    const double w = 2 * M_PI * kHz / kRate;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(rv_setCrossfade(row.crossfade_ms), RVE_OK);
        if (row.downloaded) {
            ASSERT_EQ(download(row.album), RVE_OK);
        }
        const double fade = row.crossfade_ms / 1000.0;
        // The parts overlap in phase (the tone has whole cycles in any whole second), so
        // an equal-power mix swells to sqrt(2) of the tone in the middle of a fade.
        const double peak = kAmplitude * (fade > 0 ? std::sqrt(2.0) : 1.0);
        // The largest second difference of a sine of this amplitude, plus the codecs' own
        // error at the edge of a file (about 300); one sample lost or doubled at a join,
        // where the tone crosses zero, steps by about 1000.
        const double bound = peak * 4 * std::sin(w / 2) * std::sin(w / 2) + 400;
        capture_ = std::make_unique<rvtest::Capture>(std::string("Gapless_") + row.name);
        rv::test::Ears::get().clear();
        service_.clear_reports();
        rv::test::play_bean(RV_RESOURCE_ALBUM, row.album);
        ASSERT_TRUE(rv::test::Ears::get().wait_for("end", kParts));
        rv_stop();
        EXPECT_EQ(rv::test::Ears::get().count("prepared"), kParts);
        EXPECT_EQ(wait_reports("101010", kParts).size(), static_cast<std::size_t>(kParts));

        const std::vector<std::int16_t> pcm = capture_->read(kRate, 1).mono();
        const auto loud = [](std::int16_t v) { return std::abs(v) > kAmplitude / 64; };
        const auto first = std::find_if(pcm.begin(), pcm.end(), loud);
        const auto last = std::find_if(pcm.rbegin(), pcm.rend(), loud).base();
        ASSERT_LT(first, last);
        const auto length = static_cast<double>(last - first) / kRate;
        EXPECT_NEAR(length, kParts * 4.0 - (kParts - 1) * fade, 0.020);

        // Every millisecond after the start's fade-in holds the tone, and nothing steps
        // between two samples.
        constexpr int kWindow = kRate / 1000;
        int quiet_windows = 0;
        for (auto at = first + 20 * kWindow; last - at >= kWindow; at += kWindow) {
            quiet_windows += std::none_of(
                at, at + kWindow, [](std::int16_t v) { return std::abs(v) > kAmplitude / 16; });
        }
        EXPECT_EQ(quiet_windows, 0);
        double worst = 0;
        std::ptrdiff_t worst_at = 0;
        for (auto at = first + 1; at + 1 < last; ++at) {
            const double d2 = std::abs(at[1] - 2.0 * at[0] + at[-1]);
            if (d2 > worst) {
                worst = d2;
                worst_at = at - first;
            }
        }
        EXPECT_LE(worst, bound) << "at " << static_cast<double>(worst_at) / kRate << " s";

        // Over each fade the level of every 20 ms follows cos + sin of the fade's angle
        // (two in-phase parts at powers cos^2 and sin^2, which sum to one) within 1 dB: a
        // linear mix stays flat, 3 dB under it in the middle; a cut jumps.
        const auto rms = [](auto at, int frames) {
            double sum = 0;
            for (auto p = at; p != at + frames; ++p) {
                sum += static_cast<double>(*p) * *p;
            }
            return std::sqrt(sum / frames);
        };
        constexpr int kLevelWindow = kRate / 50;
        const double steady = rms(first + kRate, kLevelWindow);
        for (int join = 1; join < kParts && fade > 0; ++join) {
            const auto start = static_cast<std::ptrdiff_t>(join * (4.0 - fade) * kRate);
            for (std::ptrdiff_t at = 0; at + kLevelWindow <= fade * kRate; at += kLevelWindow) {
                const double angle = M_PI / 2 * (at + kLevelWindow / 2.0) / (fade * kRate);
                const double db = 20 * std::log10(rms(first + start + at, kLevelWindow) /
                                                  (steady * (std::cos(angle) + std::sin(angle))));
                EXPECT_LE(std::abs(db), 1.0) << "join " << join << " at " << at << " frames";
            }
        }
    }
    EXPECT_EQ(rv_setCrossfade(-1), RVE_BAD_ARGS);
    EXPECT_EQ(rv_setCrossfade(RV_MAX_CROSSFADE_MS + 1), RVE_BAD_ARGS);
    ASSERT_EQ(rv_setCrossfade(0), RVE_OK);
}

}  // namespace
