#pragma once
// Tag blocks from the engine as text.

#include <QByteArray>
#include <QString>

namespace wavelot {

// A series of NUL-terminated strings ended by an empty one, decoded by the station's
// text-encoding code, joined with CR LF. Nothing after the terminating empty string is read.
// Each string is decoded on its own, so a broken multi-byte sequence cannot swallow a
// separator and merge two header lines.
QString TagSeriesText(const QByteArray& block, int code);

// One NUL-terminated string (ICY metadata), decoded by the code.
QString TagStringText(const QByteArray& tag, int code);

}  // namespace wavelot
