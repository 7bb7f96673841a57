// Any answer the directory could send, through the raw-text box steps and the parser.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/song_array.h"
#include "directories/directory_search.h"
#include "directories/icecast_parser.h"
#include "text/code_page.h"

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks how the rest becomes text: through the directory's code page as a
  // fetch does, or as raw UTF-16 code units so that lone surrogates and NULs reach the parser.
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  const qsizetype n = static_cast<qsizetype>(size - 1);
  QString text;
  if (data[0] & 1) {
    text.resize(n / 2);
    std::memcpy(text.data(), bytes, static_cast<size_t>(n / 2) * 2);
  } else {
    text = wavelot::DecodeBytes(QByteArray(bytes, n), wavelot::kDirectories[1].codePage);
  }
  if (data[0] & 2) text = wavelot::RawBoxText(1, text);
  wavelot::clsSongArray list;
  wavelot::ParseIcecastPage(text, u"http://t"_s, list);
  return 0;
}
