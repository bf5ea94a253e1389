// Audio output: libpcmsink bound by name at run time, or a silent stand-in.
#ifndef ORV_PCM_OUTPUT_H
#define ORV_PCM_OUTPUT_H

#include <cstdint>
#include <memory>

namespace orv {

class PcmOutput {
  public:
    // Opens the device for s16 interleaved frames. When libpcmsink cannot be loaded
    // (warned once per process) or the device cannot be opened (warned), the result is
    // a silent output that accepts everything.
    static std::unique_ptr<PcmOutput> open(int sample_rate, int channels);
    virtual ~PcmOutput() = default;

    // Frames taken (0 when the device dropped them after an underrun), or a negative
    // error code when the device failed for good.
    virtual int write(const std::int16_t *frames, int count) = 0;
};

}  // namespace orv

#endif
