#include "engine/id3_tag.h"

#include <QFile>

namespace wavelot {

namespace {

constexpr int kHeaderBytes = 10;
constexpr quint8 kFlagUnsynchronised = 0x80;
constexpr quint8 kFlagExtendedHeader = 0x40;

quint32 SyncSafe(const char* p) {
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 7) | (quint8(p[i]) & 0x7F);
    return v;
}

quint32 BigEndian(const char* p) {
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | quint8(p[i]);
    return v;
}

bool IsFrameId(const QByteArray& id) {
    for (char c : id)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

}  // namespace

bool DropId3v2Frames(const QString& path, const QList<QByteArray>& ids) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QByteArray header = file.read(kHeaderBytes);
    if (header.size() != kHeaderBytes || !header.startsWith("ID3"))
        return false;
    const int major = quint8(header[3]);
    const quint8 flags = quint8(header[5]);
    if ((major != 3 && major != 4) || (flags & (kFlagUnsynchronised | kFlagExtendedHeader)))
        return false;
    const quint32 tagSize = SyncSafe(header.constData() + 6);
    const QByteArray body = file.read(tagSize);
    if (body.size() != qsizetype(tagSize))
        return false;

    QByteArray kept;
    bool dropped = false;
    qsizetype pos = 0;
    while (pos + kHeaderBytes <= body.size() && body[pos] != '\0') {
        const QByteArray id = body.mid(pos, 4);
        const char* sizeBytes = body.constData() + pos + 4;
        const quint32 size = major == 4 ? SyncSafe(sizeBytes) : BigEndian(sizeBytes);
        if (!IsFrameId(id) || size > quint32(body.size() - pos - kHeaderBytes))
            return false;
        const qsizetype frameBytes = kHeaderBytes + qsizetype(size);
        if (ids.contains(id))
            dropped = true;
        else
            kept += body.mid(pos, frameBytes);
        pos += frameBytes;
    }
    if (!dropped)
        return false;
    kept.append(body.size() - kept.size(), '\0');
    return file.seek(kHeaderBytes) && file.write(kept) == kept.size() && file.flush();
}

}  // namespace wavelot
