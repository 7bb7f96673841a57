#include "directories/livedoor_parser.h"

#include <QByteArray>

#include "directories/scan_util.h"
#include "text/code_page.h"
#include "text/station_text.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

// One station block. MAX, SMPL, CHS and DESC are read but no row column shows them.
struct LiveDoorBlock {
    QString srv, prt, mnt, type, nam, dj, cln, max, bit, smpl, chs, desc;
};

QString TypeName(const QString& value) {
    const QString upper = value.toUpper();
    if (upper == u"APPLICATION/AAC"_s)
        return u"AAC"_s;
    if (upper == u"APPLICATION/AACP"_s)
        return u"AACP"_s;
    if (upper == u"APPLICATION/OGG"_s)
        return u"OGG"_s;
    return u"MP3"_s;
}

void SetField(LiveDoorBlock& b, const QString& key, const QString& value) {
    if (key == u"PRT"_s)
        b.prt = u":"_s + value;
    else if (key == u"MNT"_s)
        b.mnt = value + u".m3u"_s;
    else if (key == u"TYPE"_s)
        b.type = TypeName(value);
    else if (key == u"NAM"_s)
        b.nam = value.isEmpty() ? u"None"_s : value;
    else if (key == u"DJ"_s)
        b.dj = value.isEmpty() ? u" DJ: None"_s : u" DJ:"_s + value;
    else if (key == u"CLN"_s)
        b.cln = value;
    else if (key == u"MAX"_s)
        b.max = value;
    else if (key == u"BIT"_s)
        b.bit = (value.isEmpty() || value == u"0"_s) ? u"0 kbps"_s : value + u" kbps"_s;
    else if (key == u"SMPL"_s)
        b.smpl = value;
    else if (key == u"CHS"_s)
        b.chs = value;
    else if (key == u"DESC"_s)
        b.desc = value;
}

QStringView CleanLine(QStringView line) {
    qsizetype begin = 0;
    qsizetype end = line.size();
    // Blanks and CRs may interleave at the end ("NAM=x \r"); both go.
    while (end > begin && (line[end - 1] == u' ' || line[end - 1] == u'\r'))
        --end;
    while (begin < end && line[begin] == u' ')
        ++begin;
    return line.sliced(begin, end - begin);
}

}  // namespace

void ParseLiveDoorList(const QString& listing, clsSongArray& searchList, const RowAdded& onRow) {
    // The round trip through UTF-8 drops a leading byte-order mark and ends the text at a NUL.
    const QByteArray bytes = EncodeUtf8(listing);
    const QString text = DecodeBytes(bytes, 65001);
    const QString separator = bytes.contains("\r\n") ? u"\r\n"_s : u"\n"_s;
    const QStringView view(text);

    // Count lines lazily: fewer than two lines means a failed fetch, not a listing.
    if (!view.contains(separator))
        return;

    LiveDoorBlock block;
    bool inStation = false;
    auto close = [&]() {
        if (!inStation)
            return;
        searchList.AddItem(SearchRow{.file = block.srv + block.prt + block.mnt,
                                     .title = block.nam + block.dj,
                                     .code = kStationCodeShiftJis,
                                     .comment = block.type,
                                     .bitRate = block.bit,
                                     .listeners = block.cln});
        if (onRow)
            onRow(searchList.ListCount() - 1);
    };

    qsizetype pos = 0;
    while (pos <= view.size()) {
        qsizetype end = view.indexOf(separator, pos);
        if (end < 0)
            end = view.size();
        const QStringView line = CleanLine(view.sliced(pos, end - pos));
        pos = end + separator.size();

        const qsizetype eq = line.indexOf(u'=');
        const QString key = (eq < 0 ? line : line.first(eq)).toString().toUpper();
        const QString value = eq < 0 ? QString() : line.sliced(eq + 1).toString();
        if (key == u"SRV"_s) {
            close();
            block = LiveDoorBlock{};
            block.srv = u"http://"_s + value;
            inStation = true;
        } else if (inStation) {
            SetField(block, key, value);
        }
    }
    close();
}

}  // namespace wavelot
