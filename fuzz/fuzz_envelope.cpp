// An answer body read exactly as a pool worker reads it, once through every
// catalogue endpoint's builder; every delivery is then released.
#include <cstddef>
#include <cstdint>

#include "fuzz_log_sink.h"
#include "request/album_dao.h"
#include "request/audio_dao.h"
#include "request/request_core.h"

namespace {

using rv::req::Endpoint;
using namespace rv::json;
using namespace rv::dao;

constexpr Endpoint endpoint_with(rv::req::Builder build) {
    return Endpoint{rv::Host::OpenApiHttp, "/", "", rv::req::Method::Get, {}, build};
}

const Endpoint kEndpoints[] = {
    endpoint_with(as_list<kCategory>),          endpoint_with(as_record<kAlbumSet>),
    endpoint_with(as_first_record<kAlbumInfo>), endpoint_with(as_list<kAlbum>),
    endpoint_with(as_record<kAudioSet>),        endpoint_with(as_record<kAudio>),
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    rv_fuzz_log_everything();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *body = reinterpret_cast<const char *>(data);
    for (const Endpoint &endpoint : kEndpoints) {
        const Answer answer = rv::req::read_envelope(endpoint, body, size);
        if (answer.data != nullptr) {
            // A delivery nobody could free would leak in every caller.
            if (answer.release == nullptr || answer.code != 0) {
                __builtin_trap();
            }
            answer.release(answer.data);
        }
    }
    return 0;
}
