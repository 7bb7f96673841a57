#pragma once

#include <QString>

namespace wavelot {

// Every UTF-8 byte of the text (up to its first NUL) as "%" and two upper-case hex digits;
// letters and digits included. "a b" gives "%61%20%62".
QString UrlEncode(const QString& text);

}  // namespace wavelot
