// Any answer the directory could send, through the raw-text box steps and the parser.
#include <QString>

#include <cstddef>
#include <cstdint>

#include "core/song_array.h"
#include "directories/directory_search.h"
#include "directories/livedoor_parser.h"
#include "fuzz/directory_fuzz_input.h"

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QString text = wavelot::fuzz::DirectoryText(2, data, size);
    wavelot::clsSongArray list;
    wavelot::ParseLiveDoorList(text, list);
    for (int i = 0; i < list.ListCount(); ++i) {
        if (!list.File(i).startsWith(u"http://"_s) || list.Code(i) != 3)
            __builtin_trap();
    }
    return 0;
}
