// Goertzel measurements on 16-bit mono PCM.
#include <cmath>
#include <numbers>

#include "tone.h"

namespace rvtone {
namespace {

double energy(std::span<const std::int16_t> x) {
    double e = 0;
    for (std::int16_t s : x) {
        e += static_cast<double>(s) * s;
    }
    return e;
}

// |X(f)|^2 of the window, by the Goertzel recurrence.
double goertzel(std::span<const std::int16_t> x, int sample_rate, double frequency_hz) {
    const double w = 2.0 * std::numbers::pi * frequency_hz / sample_rate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0;
    double s2 = 0;
    for (std::int16_t v : x) {
        const double s0 = v + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

}  // namespace

double tone_fraction(std::span<const std::int16_t> mono, int sample_rate, double frequency_hz) {
    const double e = energy(mono);
    if (mono.empty() || e <= 0) {
        return 0.0;
    }
    // A sine of amplitude A over N samples: |X|^2 = (NA/2)^2, energy = NA^2/2.
    const double f =
        2.0 * goertzel(mono, sample_rate, frequency_hz) / (static_cast<double>(mono.size()) * e);
    return std::min(f, 1.0);
}

double dominant_frequency(std::span<const std::int16_t> mono, int sample_rate, double lo_hz,
                          double hi_hz, double step_hz) {
    double best_f = 0;
    double best_p = -1;
    for (double f = lo_hz; f <= hi_hz; f += step_hz) {
        const double p = goertzel(mono, sample_rate, f);
        if (p > best_p) {
            best_p = p;
            best_f = f;
        }
    }
    return best_f;
}

double tone_seconds(std::span<const std::int16_t> mono, int sample_rate, double frequency_hz,
                    double window_s, double min_fraction) {
    const auto window = static_cast<std::size_t>(window_s * sample_rate);
    if (window == 0) {
        return 0.0;
    }
    // Quieter than -60 dBFS counts as silence, whatever its spectrum.
    const double silent = static_cast<double>(window) * 32.0 * 32.0;
    std::size_t hits = 0;
    for (std::size_t at = 0; at + window <= mono.size(); at += window) {
        auto w = mono.subspan(at, window);
        if (energy(w) > silent && tone_fraction(w, sample_rate, frequency_hz) >= min_fraction) {
            ++hits;
        }
    }
    return static_cast<double>(hits * window) / sample_rate;
}

}  // namespace rvtone
