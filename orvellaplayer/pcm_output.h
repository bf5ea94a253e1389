// Audio output: libpcmsink bound by name at run time, or a silent stand-in.
#ifndef ORV_PCM_OUTPUT_H
#define ORV_PCM_OUTPUT_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace orv {

// The ALSA PCM chosen by the application ("" for "default"): written by command threads,
// read by the session thread, which reopens its output when the serial moves on.
class AudioDeviceSetting {
  public:
    void set(const char *name) {
        std::lock_guard lock(mu_);
        name_ = name != nullptr ? name : "";
        serial_.fetch_add(1);
    }
    std::string name() const {
        std::lock_guard lock(mu_);
        return name_;
    }
    std::uint32_t serial() const { return serial_.load(); }

  private:
    mutable std::mutex mu_;  // guards name_; any command thread and the session thread
    std::string name_;
    std::atomic<std::uint32_t> serial_{0};
};

class PcmOutput {
  public:
    // Opens `device` ("": ALSA's "default") for s16 interleaved frames. A device the
    // application named that cannot be opened gives null: the caller reports it. For
    // "default", when libpcmsink cannot be loaded (warned once per process) or the device
    // cannot be opened (warned), the result is a silent output that accepts everything,
    // so that a machine without a sound card still plays.
    static std::unique_ptr<PcmOutput> open(int sample_rate, int channels,
                                           const std::string &device);
    virtual ~PcmOutput() = default;

    // Frames taken (0 when the device dropped them after an underrun), or a negative
    // error code when the device failed for good.
    virtual int write(const std::int16_t *frames, int count) = 0;
};

}  // namespace orv

#endif
