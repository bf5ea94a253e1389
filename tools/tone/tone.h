/*
 * rv_tone: sine-tone media for tests and the local service.
 *
 * Encodes a sine tone into the bytes of an AAC (ADTS) or MP3 file with FFmpeg,
 * decodes media back to 16-bit PCM, and measures tones with the Goertzel filter.
 * Every function may be called from any thread; none keeps state between calls.
 * Failures throw std::runtime_error (this is a C++ helper library, not a C ABI).
 */
#ifndef RV_TONE_H
#define RV_TONE_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace rvtone {

// The tone that stands for an audio id: 300 Hz + (id mod 40) x 50 Hz, i.e. 300..2250 Hz.
// Neighbours are 50 Hz apart, which a Goertzel window of 40 ms or more tells apart.
double frequency_for_audio_id(std::int64_t audio_id);

// Aac: ADTS frames; Mp3: an MP3 stream; Mp4Aac: AAC in an MP4 file whose edit list names
// the encoder's delay and padding.
enum class Codec { Aac, Mp3, Mp4Aac };

struct ToneSpec {
    double frequency_hz = 440.0;
    double duration_s = 1.0;
    int sample_rate = 44100;
    int channels = 1;  // 1 or 2; both channels carry the same tone
    int bitrate = 64000;
    double amplitude = 0.5;  // of full scale
    // The tone's phase starts as at this sample, so consecutive parts encoded on their own
    // join into one continuous tone.
    std::int64_t first_sample = 0;
    // MP3: a Xing/LAME frame carrying the frame count, the encoder delay and the padding.
    bool lame_header = false;
    // Mp4Aac: no edit list; the delay, padding and length in an iTunes `iTunSMPB` tag
    // instead, as iTunes writes them.
    bool itunes_smpb = false;
};

// The complete file: ADTS frames for Aac, an MP3 stream (ID3v2 tag + frames) for Mp3, an MP4
// file for Mp4Aac.
std::vector<std::uint8_t> encode_tone(Codec codec, const ToneSpec &tone);

// MIME type a server announces for the codec's files.
const char *mime_type(Codec codec);

// Interleaved signed 16-bit PCM.
struct Pcm {
    int sample_rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;

    std::size_t frames() const { return channels > 0 ? samples.size() / channels : 0; }
    double duration_s() const {
        return sample_rate > 0 ? static_cast<double>(frames()) / sample_rate : 0.0;
    }
    // The first channel only, for the measurements below.
    std::vector<std::int16_t> mono() const;
};

// Decodes the first audio stream of a file in memory or on disk (any format FFmpeg reads).
Pcm decode(std::span<const std::uint8_t> bytes);
Pcm decode_file(const std::string &path);

// Raw interleaved s16le (as ALSA's file plugin writes with format "raw").
Pcm read_raw_s16(const std::string &path, int sample_rate, int channels);

// Share of the window's energy at `frequency_hz`, in 0..1 (a pure tone gives about 1,
// silence gives 0).
double tone_fraction(std::span<const std::int16_t> mono, int sample_rate, double frequency_hz);

// The frequency in [lo_hz, hi_hz] (steps of step_hz) holding the most energy.
double dominant_frequency(std::span<const std::int16_t> mono, int sample_rate, double lo_hz = 100,
                          double hi_hz = 4000, double step_hz = 10);

// Seconds of the signal, in windows of window_s, in which the tone holds at least
// min_fraction of the energy (and the window is not silent).
double tone_seconds(std::span<const std::int16_t> mono, int sample_rate, double frequency_hz,
                    double window_s = 0.05, double min_fraction = 0.5);

}  // namespace rvtone

#endif
