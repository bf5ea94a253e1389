// Any bytes opened as a media file by the engine: probed, demuxed and decoded
// through the same open and read path a played source takes, from memory. An
// input that opens must give PCM in the format it announced; at most kMaxReads
// reads (and one seek back to the start) and an interrupt after kBudget (demuxers
// such as a live playlist's wait for more) keep each run short.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "media_input.h"
#include "memory_io.h"

namespace {

constexpr int kMaxReads = 32;
constexpr std::chrono::milliseconds kBudget{250};

using Clock = std::chrono::steady_clock;

void require(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

int past_deadline(void *deadline) {
    return Clock::now() > *static_cast<const Clock::time_point *>(deadline) ? 1 : 0;
}

// Reads up to kMaxReads times; the PCM must be whole frames of the announced channels.
void drain(orv::MediaInput &input) {
    std::vector<std::int16_t> pcm;
    int detail = 0;
    int av_error = 0;
    for (int i = 0; i < kMaxReads; ++i) {
        pcm.clear();
        const orv::MediaInput::Read got = input.read(pcm, &detail, &av_error);
        if (got != orv::MediaInput::Read::Data) {
            require(got == orv::MediaInput::Read::End || (detail != 0 && av_error < 0));
            return;
        }
        require(!pcm.empty() && pcm.size() % static_cast<std::size_t>(input.channels()) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    av_log_set_level(AV_LOG_QUIET);  // FFmpeg's complaints about the input are expected
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    orv::MemoryIo io({data, size});
    require(io.get() != nullptr);
    orv::InputOptions options;
    options.url = "fuzz-input";
    options.io = io.get();
    Clock::time_point deadline = Clock::now() + kBudget;
    orv::MediaInput input(&past_deadline, &deadline);
    int av_error = 0;
    if (input.open(options, &av_error) != 0) {
        require(av_error < 0);
        return 0;
    }
    require(input.sample_rate() >= 4000 && input.sample_rate() <= 48000);
    require(input.channels() == 1 || input.channels() == 2);
    drain(input);
    if (input.seek(0)) {
        drain(input);
    }
    return 0;
}
