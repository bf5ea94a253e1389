#include "pcm_output.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

#include "log.h"

namespace orv {
namespace {

struct SinkRecord;  // SDL_Linux_Audio_Out, opaque here
using NewFn = SinkRecord *(*)(const char *, const char *, int, int, int);
using WriteFn = int (*)(SinkRecord *, const void *, int);
using FreeFn = void (*)(SinkRecord *);

struct SinkApi {
    NewFn open = nullptr;
    WriteFn write = nullptr;
    FreeFn free = nullptr;
};

// The SONAME: present wherever the runtime package is, without the -dev link name.
constexpr const char *kSinkName = "libpcmsink.so.0";
constexpr int kFormatS16 = 1;

// Next to this library first (the installed and the build layout), then the usual search.
void *load_sink_library() {
    Dl_info self{};
    if (dladdr(reinterpret_cast<void *>(&load_sink_library), &self) != 0 &&
        self.dli_fname != nullptr) {
        std::string path(self.dli_fname);
        const auto slash = path.rfind('/');
        if (slash != std::string::npos) {
            path.resize(slash + 1);
            path += kSinkName;
            if (void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                return h;
            }
        }
    }
    return dlopen(kSinkName, RTLD_NOW | RTLD_LOCAL);
}

// Loaded once and kept for the life of the process.
const SinkApi *sink_api() {
    static SinkApi api;
    static const SinkApi *loaded = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        void *lib = load_sink_library();
        if (lib == nullptr) {
            warn("cannot load %s (%s); playing into a silent output", kSinkName, dlerror());
            return;
        }
        api.open = reinterpret_cast<NewFn>(dlsym(lib, "SDL_Linux_Audio_Out_new_with_role"));
        api.write = reinterpret_cast<WriteFn>(dlsym(lib, "SDL_Linux_Audio_Out_write_byte"));
        api.free = reinterpret_cast<FreeFn>(dlsym(lib, "SDL_Linux_Audio_Out_free"));
        if (api.open == nullptr || api.write == nullptr || api.free == nullptr) {
            warn("%s lacks the SDL_Linux_Audio_Out functions; playing into a silent output",
                 kSinkName);
            return;
        }
        loaded = &api;
        // Optional: a libpcmsink without it keeps writing its own lines.
        sink_loaded(
            reinterpret_cast<SinkLogSetter>(dlsym(lib, "SDL_Linux_Audio_Out_set_log_callback")));
    });
    return loaded;
}

class NullOutput final : public PcmOutput {
  public:
    int write(const std::int16_t *, int count) override { return count; }
};

class SinkOutput final : public PcmOutput {
  public:
    SinkOutput(const SinkApi *api, SinkRecord *rec) : api_(api), rec_(rec) {}
    ~SinkOutput() override { api_->free(rec_); }
    SinkOutput(const SinkOutput &) = delete;
    SinkOutput &operator=(const SinkOutput &) = delete;

    int write(const std::int16_t *frames, int count) override {
        return api_->write(rec_, frames, count);
    }

  private:
    const SinkApi *api_;
    SinkRecord *rec_;
};

}  // namespace

std::unique_ptr<PcmOutput> PcmOutput::open(int sample_rate, int channels, const std::string &device,
                                           const std::string &role) {
    if (const SinkApi *api = sink_api()) {
        if (SinkRecord *rec =
                api->open(device.c_str(), role.c_str(), sample_rate, channels, kFormatS16)) {
            return std::make_unique<SinkOutput>(api, rec);
        }
        if (!device.empty()) {
            error("cannot open the audio device \"%s\" (%d Hz, %d channels)", device.c_str(),
                  sample_rate, channels);
            return nullptr;
        }
        warn("cannot open the audio device (%d Hz, %d channels); playing into a silent output",
             sample_rate, channels);
    } else if (!device.empty()) {
        error("cannot open the audio device \"%s\": no %s", device.c_str(), kSinkName);
        return nullptr;
    }
    return std::make_unique<NullOutput>();
}

}  // namespace orv
