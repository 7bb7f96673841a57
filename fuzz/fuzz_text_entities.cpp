// Entity decoding and code-page decoding of arbitrary input: nothing may crash, and the
// properties that callers rely on must hold.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "text/code_page.h"
#include "text/html_entities.h"
#include "text/station_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QString text = QString::fromUtf8(bytes);
    const QString decoded = wavelot::DecodeHtmlEntities(text);
    // Every reference and tag is replaced by at most one character: the text never grows.
    if (decoded.size() > text.size())
        std::abort();
    // The same bytes as raw UTF-16 code units, so lone surrogates and NULs are among the inputs.
    QString units;
    units.resize(static_cast<qsizetype>(size / 2));
    std::memcpy(units.data(), data, (size / 2) * 2);
    if (wavelot::DecodeHtmlEntities(units).size() > units.size())
        std::abort();

    for (int code = 0; code < wavelot::kStationCodeCount; ++code) {
        const QString s = wavelot::DecodeStationText(bytes, code);
        // At most one code unit per byte, whatever the code page.
        if (s.size() > bytes.size())
            std::abort();
    }
    const QByteArray utf8 = wavelot::EncodeUtf8(decoded);
    if (utf8.contains('\0'))
        std::abort();
    return 0;
}
