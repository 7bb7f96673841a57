// Entity decoding as every scraper runs it first, over any text a directory could send.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "text/html_entities.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Raw UTF-16 code units, so lone surrogates and NULs are among the inputs.
  QString text;
  text.resize(static_cast<qsizetype>(size / 2));
  std::memcpy(text.data(), data, (size / 2) * 2);
  const QString decoded = wavelot::DecodeHtmlEntities(text);
  // Every reference is at least as long as what replaces it.
  if (decoded.size() > text.size()) __builtin_trap();
  return 0;
}
