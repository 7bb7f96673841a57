// Any answer the directory could send, through the raw-text box steps and the parser.
#include <QString>

#include <cstddef>
#include <cstdint>

#include "core/song_array.h"
#include "directories/directory_search.h"
#include "directories/shoutcast_parser.h"
#include "fuzz/directory_fuzz_input.h"

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QString text = wavelot::fuzz::DirectoryText(0, data, size);
    wavelot::clsSongArray list;
    wavelot::ParseShoutcastAnswer(text, QString(), u"http://t"_s, list);
    if (list.ListCount() > wavelot::kShoutcastStationLimit)
        __builtin_trap();
    (void)wavelot::GetShoutcastStatus(text);
    return 0;
}
