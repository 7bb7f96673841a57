#include "directories/icecast_parser.h"

#include "directories/scan_util.h"
#include "text/html_entities.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

enum Field { kListeners, kDescription, kListen, kFormat, kStreams, kFieldCount };

struct Marker {
    QStringView text;       // lower case
    qsizetype valueOffset;  // from the marker's position
    QStringView terminator;
    qsizetype window;
    bool keepTerminator;
};

// Checked at every position in this order.
constexpr Marker kMarkers[kFieldCount] = {
    {u"listeners\">[", 12, u" ", 500, false}, {u"-description\">", 14, u"<", 100, false},
    {u"/listen/", 0, u".m3u", 100, true},     {u"format\" title=\"", 15, u"\"", 20, false},
    {u"streams\">", 9, u"<", 20, false},
};

QString BitRateText(const QString& value) {
    if (value.isEmpty() || value == u"0 kbps"_s)
        return u"未知"_s;
    return value;
}

QString FormatName(const QString& value) {
    const QString lower = value.toLower();
    if (lower == u"ogg vorbis"_s)
        return u"OGG"_s;
    if (lower == u"aac+"_s)
        return u"AAC+"_s;
    return u"MP3"_s;
}

}  // namespace

void ParseIcecastPage(const QString& page, const QString& siteBase, clsSongArray& searchList,
                      const RowAdded& onRow) {
    const QString decoded = DecodeHtmlEntities(page);
    const QStringView text(decoded);
    const qsizetype n = text.size();
    QString fields[kFieldCount];

    for (qsizetype i = 0; i < n; ++i) {
        const QChar first = text[i].toLower();
        for (int f = 0; f < kFieldCount; ++f) {
            const Marker& m = kMarkers[f];
            if (first != m.text[0] || !scan::MatchesLowerAt(text, i, m.text))
                continue;
            const qsizetype start = i + m.valueOffset;
            const qsizetype end = scan::FindInWindow(text, start, m.window, m.terminator);
            if (end < 0)
                continue;
            const qsizetype stop = m.keepTerminator ? end + m.terminator.size() : end;
            fields[f] = decoded.mid(start, stop - start);
            if (f == kStreams) {
                searchList.AddItem(SearchRow{.file = siteBase + scan::TrimBlanks(fields[kListen]),
                                             .title = fields[kDescription],
                                             .comment = FormatName(fields[kStreams]),
                                             .bitRate = BitRateText(fields[kFormat]),
                                             .listeners = fields[kListeners]});
                if (onRow)
                    onRow(searchList.ListCount() - 1);
            }
        }
    }
}

}  // namespace wavelot
