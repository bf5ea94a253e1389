#include "decrypt_io.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace orv {
namespace {

constexpr int kBufferSize = 16 * 1024;
constexpr std::size_t kBlock = 16;

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

bool parse_aes_block(std::string_view hex, AesBlock &out) {
    if (hex.size() != 2 * out.size()) {
        return false;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int hi = hex_digit(hex[2 * i]);
        const int lo = hex_digit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return true;
}

DecryptIo::DecryptIo(std::unique_ptr<FetchIo> source, const AesBlock &iv)
    : opaque_(io_opaque(this)), source_(std::move(source)), iv_(iv) {}

DecryptIo::~DecryptIo() {
    if (io_ != nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

std::unique_ptr<DecryptIo> DecryptIo::open(std::unique_ptr<FetchIo> source, const AesBlock &key,
                                           const AesBlock &iv) {
    std::unique_ptr<DecryptIo> self(new DecryptIo(std::move(source), iv));
    self->aes_.reset(av_aes_alloc());
    if (!self->aes_ || av_aes_init(self->aes_.get(), key.data(), 128, 1) != 0) {
        return nullptr;
    }
    auto *buffer = static_cast<unsigned char *>(av_malloc(kBufferSize));
    if (buffer == nullptr) {
        return nullptr;
    }
    self->io_ = avio_alloc_context(buffer, kBufferSize, 0, &self->opaque_, &DecryptIo::read,
                                   nullptr, nullptr);
    if (self->io_ == nullptr) {
        av_free(buffer);
        return nullptr;
    }
    self->io_->seekable = 0;
    return self;
}

int DecryptIo::fill() {
    std::uint8_t in[kBufferSize];
    const int got = avio_read_partial(source_->get(), in, sizeof in);
    if (got == AVERROR_EOF) {
        // The last block ends in its padding: 1 to 16 bytes, each holding the count.
        const std::size_t held = plain_.size() - taken_;
        const std::uint8_t pad = held >= kBlock ? plain_.back() : 0;
        if (!cipher_.empty() || held < kBlock || pad == 0 || pad > kBlock) {
            return AVERROR_INVALIDDATA;
        }
        plain_.resize(plain_.size() - pad);
        ended_ = true;
        return plain_.size() > taken_ ? 1 : AVERROR_EOF;
    }
    if (got <= 0) {
        return got == 0 ? AVERROR(EAGAIN) : got;
    }
    cipher_.insert(cipher_.end(), in, in + got);
    const std::size_t blocks = cipher_.size() / kBlock;
    if (taken_ > 0) {
        plain_.erase(plain_.begin(), plain_.begin() + static_cast<std::ptrdiff_t>(taken_));
        taken_ = 0;
    }
    const std::size_t at = plain_.size();
    plain_.resize(at + blocks * kBlock);
    av_aes_crypt(aes_.get(), plain_.data() + at, cipher_.data(), static_cast<int>(blocks),
                 iv_.data(), 1);
    cipher_.erase(cipher_.begin(), cipher_.begin() + static_cast<std::ptrdiff_t>(blocks * kBlock));
    return 1;
}

int DecryptIo::read(void *opaque, std::uint8_t *buf, int size) {
    auto *self = static_cast<DecryptIo *>(static_cast<IoOpaque *>(opaque)->self);
    for (;;) {
        const std::size_t held = self->ended_ ? 0 : kBlock;
        const std::size_t ready = self->plain_.size() - self->taken_;
        if (ready > held) {
            const std::size_t n = std::min(ready - held, static_cast<std::size_t>(size));
            std::memcpy(buf, self->plain_.data() + self->taken_, n);
            self->taken_ += n;
            return static_cast<int>(n);
        }
        if (self->ended_) {
            return AVERROR_EOF;
        }
        const int rc = self->fill();
        if (rc < 0 && rc != AVERROR(EAGAIN)) {
            return rc;
        }
    }
}

}  // namespace orv
