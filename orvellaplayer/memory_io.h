// A seekable FFmpeg reader over bytes in memory, for opening a MediaInput without a URL
// (InputOptions::io): tests feed it encoded media, the fuzz target arbitrary bytes.
#ifndef ORV_MEMORY_IO_H
#define ORV_MEMORY_IO_H

extern "C" {
#include <libavformat/avio.h>
}

#include <cstdint>
#include <memory>
#include <span>

namespace orv {

class MemoryIo {
  public:
    // The bytes are not copied: they must outlive this reader. Any one thread at a time.
    explicit MemoryIo(std::span<const std::uint8_t> bytes);
    MemoryIo(const MemoryIo &) = delete;
    MemoryIo &operator=(const MemoryIo &) = delete;

    // The reader, or null when memory was short; owned by this object.
    AVIOContext *get() const { return io_.get(); }

  private:
    struct IoFree {
        void operator()(AVIOContext *io) const;
    };
    static int read(void *opaque, std::uint8_t *buf, int size);
    static std::int64_t seek(void *opaque, std::int64_t offset, int whence);

    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    std::unique_ptr<AVIOContext, IoFree> io_;
};

}  // namespace orv

#endif
