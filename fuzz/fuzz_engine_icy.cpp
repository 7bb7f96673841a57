// Hostile stream answers: header lines, ICY metadata framing and playlist bodies.
#include "engine/audio/icy_stream.h"
#include "engine/audio/playlist.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace wavelot::audio;
    const char* p = reinterpret_cast<const char*>(data);
    const QByteArray bytes(p, qsizetype(size));

    HeaderBlock headers;
    for (const QByteArray& line : bytes.split('\n'))
        headers.AddLine(line.constData(), size_t(line.size()));
    (void)headers.Tags();
    (void)headers.Status();
    (void)headers.Value("icy-metaint");

    const int metaint = size > 0 ? 1 + data[0] % 64 : 1;
    MetaintCutter cutter(metaint);
    size_t audio = 0;
    const size_t step = size > 1 ? 1 + data[1] % 17 : 1;
    for (size_t i = 0; i < size; i += step) {
        cutter.Feed(
            p + i, std::min(step, size - i), [&](const char*, size_t n) { audio += n; },
            [&](const QByteArray& meta) {
                if (meta.contains('\0'))
                    __builtin_trap();  // padding must be gone
            });
    }
    if (audio > size)
        __builtin_trap();

    (void)LooksLikePlaylist(bytes.left(40), bytes);
    for (const QByteArray& url : ParsePlaylist(bytes)) {
        if (!url.contains("://"))
            __builtin_trap();
    }
    return 0;
}
