#include "memory_io.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace orv {
namespace {

constexpr int kBufferSize = 4096;

}  // namespace

void MemoryIo::IoFree::operator()(AVIOContext *io) const {
    av_freep(&io->buffer);  // FFmpeg may have replaced the one we gave it
    avio_context_free(&io);
}

MemoryIo::MemoryIo(std::span<const std::uint8_t> bytes) : bytes_(bytes) {
    auto *buffer = static_cast<unsigned char *>(av_malloc(kBufferSize));
    if (buffer == nullptr) {
        return;
    }
    io_.reset(avio_alloc_context(buffer, kBufferSize, 0, this, &MemoryIo::read, nullptr,
                                 &MemoryIo::seek));
    if (!io_) {
        av_free(buffer);
    }
}

int MemoryIo::read(void *opaque, std::uint8_t *buf, int size) {
    auto *self = static_cast<MemoryIo *>(opaque);
    const std::size_t n =
        std::min(static_cast<std::size_t>(std::max(size, 0)), self->bytes_.size() - self->pos_);
    if (n == 0) {
        return AVERROR_EOF;
    }
    std::memcpy(buf, self->bytes_.data() + self->pos_, n);
    self->pos_ += n;
    return static_cast<int>(n);
}

std::int64_t MemoryIo::seek(void *opaque, std::int64_t offset, int whence) {
    auto *self = static_cast<MemoryIo *>(opaque);
    const auto size = static_cast<std::int64_t>(self->bytes_.size());
    std::int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            break;
        case SEEK_CUR:
            base = static_cast<std::int64_t>(self->pos_);
            break;
        case SEEK_END:
            base = size;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (offset > size - base || offset < -base) {
        return AVERROR(EINVAL);
    }
    self->pos_ = static_cast<std::size_t>(base + offset);
    return base + offset;
}

}  // namespace orv
