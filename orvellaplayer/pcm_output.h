// Audio output: libpcmsink bound by name at run time, or a silent stand-in.
#ifndef ORV_PCM_OUTPUT_H
#define ORV_PCM_OUTPUT_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace orv {

// The ALSA PCM chosen by the application ("" for "default") and the media role its stream
// carries where that PCM is PipeWire's: written by command threads, read by the session
// thread, which reopens its output when the device serial moves on (a new role waits for
// the next open).
class AudioDeviceSetting {
  public:
    static constexpr const char *kDefaultRole = "Music";

    void set(const char *name) {
        std::lock_guard lock(mu_);
        name_ = name != nullptr ? name : "";
        serial_.fetch_add(1);
    }
    void set_role(const char *role) {
        std::lock_guard lock(mu_);
        role_ = role != nullptr && *role != '\0' ? role : kDefaultRole;
    }
    std::string name() const {
        std::lock_guard lock(mu_);
        return name_;
    }
    std::string role() const {
        std::lock_guard lock(mu_);
        return role_;
    }
    std::uint32_t serial() const { return serial_.load(); }

  private:
    mutable std::mutex mu_;  // guards name_ and role_; any command thread and the session thread
    std::string name_;
    std::string role_ = kDefaultRole;
    std::atomic<std::uint32_t> serial_{0};
};

class PcmOutput {
  public:
    // Opens `device` ("": ALSA's "default") for s16 interleaved frames, its stream carrying
    // `role` where the device is PipeWire's (SDL_Linux_Audio_Out_new_with_role). A device the
    // application named that cannot be opened gives null: the caller reports it. For
    // "default", when libpcmsink cannot be loaded (warned once per process) or the device
    // cannot be opened (warned), the result is a silent output that accepts everything,
    // so that a machine without a sound card still plays.
    static std::unique_ptr<PcmOutput> open(int sample_rate, int channels, const std::string &device,
                                           const std::string &role);
    virtual ~PcmOutput() = default;

    // Frames taken (0 when the device dropped them after an underrun), or a negative
    // error code when the device failed for good.
    virtual int write(const std::int16_t *frames, int count) = 0;
};

}  // namespace orv

#endif
