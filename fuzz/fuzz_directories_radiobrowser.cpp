// Any answer a Radio-Browser server (or something in its place) could send: the bytes as the
// fetch hands them over (with and without spare room behind them, which the JSON reader reads in
// place or copies), and as the raw-text box holds them.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

#include "core/song_array.h"
#include "directories/json_array_reader.h"
#include "directories/radio_browser.h"
#include "fuzz/directory_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    wavelot::clsSongArray list;
    wavelot::RadioBrowserIds ids;
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    if (data[0] & 8)
        bytes.reserve(bytes.size() + wavelot::kJsonReadPadding);
    if (data[0] & 4) {
        wavelot::ParseRadioBrowserAnswer(bytes, list, &ids);
    } else {
        const QString text =
            wavelot::fuzz::DirectoryText(static_cast<int>(wavelot::Directory::RadioBrowser), data, size);
        wavelot::ParseRadioBrowserAnswer(text, list, &ids);
    }
    if (list.ListCount() > wavelot::kRadioBrowserStationLimit || ids.size() > list.ListCount())
        __builtin_trap();
    for (int i = 0; i < list.ListCount(); ++i) {
        // Only addresses the player can open become rows.
        if (!list.File(i).startsWith(QStringLiteral("http"), Qt::CaseInsensitive))
            __builtin_trap();
    }
    return 0;
}
