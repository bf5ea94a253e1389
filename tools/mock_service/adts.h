// Splitting an AAC (ADTS) byte stream into frames, for pacing live streams.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace rvmock {

struct AdtsFrame {
    size_t offset = 0;
    size_t size = 0;
};

struct AdtsStream {
    std::vector<AdtsFrame> frames;
    int sample_rate = 0;  // of the first frame; every frame holds 1024 samples
};

// The whole frames at the start of `bytes`; stops at the first byte that does
// not begin a frame.
AdtsStream split_adts(const std::string &bytes);

}  // namespace rvmock
