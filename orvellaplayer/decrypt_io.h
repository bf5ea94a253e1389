// An FFmpeg reader that decrypts an HLS segment (AES-128 in CBC mode with PKCS#7 padding)
// read from our own fetch, so that encrypted segments take the same road as the others.
#ifndef ORV_DECRYPT_IO_H
#define ORV_DECRYPT_IO_H

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/aes.h>
#include <libavutil/mem.h>
}

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "fetcher.h"

namespace orv {

using AesBlock = std::array<std::uint8_t, 16>;

// 32 hex digits (as FFmpeg's HLS demuxer passes a key and an IV) into a block; false when
// the text is not that.
bool parse_aes_block(std::string_view hex, AesBlock &out);

class DecryptIo {
  public:
    // Takes the segment's reader; null when memory was short. One reader thread at a time.
    static std::unique_ptr<DecryptIo> open(std::unique_ptr<FetchIo> source, const AesBlock &key,
                                           const AesBlock &iv);
    ~DecryptIo();
    DecryptIo(const DecryptIo &) = delete;
    DecryptIo &operator=(const DecryptIo &) = delete;

    // The plain text's reader (not seekable), owned by this object.
    AVIOContext *get() const { return io_; }
    Fetcher &fetcher() const { return source_->fetcher(); }

  private:
    struct AesFree {
        void operator()(AVAES *a) const { av_free(a); }
    };
    DecryptIo(std::unique_ptr<FetchIo> source, const AesBlock &iv);
    static int read(void *opaque, std::uint8_t *buf, int size);
    int fill();  // > 0 once plain text is ready, AVERROR_EOF at the end, or an AVERROR

    IoOpaque opaque_;
    std::unique_ptr<FetchIo> source_;
    std::unique_ptr<AVAES, AesFree> aes_;
    AesBlock iv_;
    std::vector<std::uint8_t> cipher_;  // less than a block, waiting for the rest
    std::vector<std::uint8_t> plain_;   // decrypted; the last block is held until the end
    std::size_t taken_ = 0;             // of plain_, already handed out
    bool ended_ = false;                // the padding is off: all of plain_ may go
    AVIOContext *io_ = nullptr;
};

}  // namespace orv

#endif
