// INI parser and writer on arbitrary bytes: no crash, and a value written can be read back
// while every other key keeps its value.
#include "core/ini_file.h"
#include "core/text_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace Qt::Literals::StringLiterals;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    wavelot::TextFileReader reader;
    if (reader.OpenBytes(bytes)) {
        QString line;
        while (reader.ReadTextLine(line)) {
        }
    }

    wavelot::IniDocument doc;
    doc.Parse(bytes);
    const auto before = doc.Value(u"PlayList"_s, u"File1"_s);
    const int count = doc.KeyCount(u"Setting"_s);
    if (!doc.SetValue(u"Setting"_s, u"SavedVolume"_s, u"42"_s))
        std::abort();

    wavelot::IniDocument again;
    again.Parse(doc.Serialize());
    if (again.Value(u"setting"_s, u"savedvolume"_s) != u"42"_s)
        std::abort();
    if (again.Value(u"PlayList"_s, u"File1"_s) != before)
        std::abort();
    if (again.KeyCount(u"Setting"_s) < count)
        std::abort();
    return 0;
}
