#pragma once
// Turns a fuzzer's bytes into the text a directory parser sees. The first byte picks the way:
// through the directory's code page as a fetch does, or as raw UTF-16 code units so that lone
// surrogates and NULs reach the parser; and whether the raw-text box steps run first.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "directories/directory_search.h"
#include "text/code_page.h"

namespace wavelot::fuzz {

inline QString DirectoryText(int directory, const uint8_t* data, size_t size) {
    if (size == 0)
        return QString();
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const qsizetype n = static_cast<qsizetype>(size - 1);
    QString text;
    if (data[0] & 1) {
        text.resize(n / 2);
        std::memcpy(text.data(), bytes, static_cast<size_t>(n / 2) * 2);
    } else {
        text = DecodeBytes(QByteArray(bytes, n), kDirectories[directory].codePage);
    }
    if (data[0] & 2)
        text = RawBoxText(directory, text);
    return text;
}

}  // namespace wavelot::fuzz
