#include "engine/tag_text.h"

#include <QStringList>

#include "text/station_text.h"

namespace wavelot {

QString TagSeriesText(const QByteArray& block, int code) {
    QStringList parts;
    qsizetype start = 0;
    while (start < block.size()) {
        qsizetype end = block.indexOf('\0', start);
        if (end < 0)
            end = block.size();  // a block cut short still yields its last string
        if (end == start)
            break;  // the empty string ends the series
        parts.append(DecodeStationText(block.mid(start, end - start), code));
        start = end + 1;
    }
    return parts.join(QStringLiteral("\r\n"));
}

QString TagStringText(const QByteArray& tag, int code) {
    const qsizetype end = tag.indexOf('\0');
    return DecodeStationText(end < 0 ? tag : tag.left(end), code);
}

}  // namespace wavelot
