#include "adts.h"

namespace rvmock {

AdtsStream split_adts(const std::string &bytes) {
    static const int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                 22050, 16000, 12000, 11025, 8000,  7350};
    AdtsStream stream;
    size_t at = 0;
    while (at + 7 <= bytes.size()) {
        auto b = [&](size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
        if (b(0) != 0xFF || (b(1) & 0xF0) != 0xF0) {
            break;
        }
        size_t size = (static_cast<size_t>(b(3) & 0x03) << 11) | (static_cast<size_t>(b(4)) << 3) |
                      (b(5) >> 5);
        if (size < 7 || at + size > bytes.size()) {
            break;
        }
        if (stream.frames.empty()) {
            int index = (b(2) >> 2) & 0x0F;
            stream.sample_rate = index < 13 ? kRates[index] : 0;
        }
        stream.frames.push_back({at, size});
        at += size;
    }
    return stream;
}

}  // namespace rvmock
