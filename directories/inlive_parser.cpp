#include "directories/inlive_parser.h"

#include "directories/scan_util.h"
#include "text/html_entities.h"
#include "text/station_text.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

enum Field { kAddress, kName, kGenre, kDj, kCount, kFieldCount };

struct Marker {
    QStringView text;  // lower case
    QStringView terminator;
    qsizetype window;
};

constexpr Marker kMarkers[kFieldCount] = {
    {u"<td><div class=\"avar\"><a href=\"", u"\"", 500},
    {u"\"bs\", \"", u"\"", 100},
    {u"<dd class=\"genre\">", u"<", 100},
    {u"target=_blank></a> <em>", u"<", 100},
    {u"<p><em>", u"<", 100},
};

QString Converted(int field, QStringView value) {
    switch (field) {
    case kAddress: return value.toString() + u"/listen.pls"_s;
    case kDj: return u" DJ:"_s + scan::TrimBlanks(value);
    case kGenre:
    case kCount: return scan::TrimBlanks(value);
    default: return value.toString();
    }
}

}  // namespace

void ParseInLivePage(const QString& page, clsSongArray& scratchList, clsSongArray& searchList,
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
            const qsizetype start = i + m.text.size();
            const qsizetype end = scan::FindInWindow(text, start, m.window, m.terminator);
            if (end < 0)
                continue;
            fields[f] = Converted(f, text.sliced(start, end - start));
            if (f == kCount) {
                scratchList.AddItem(SearchRow{.file = fields[kAddress],
                                              .title = fields[kName] + fields[kDj],
                                              .code = kStationCodeKorean,
                                              .comment = fields[kGenre],
                                              .listeners = fields[kCount]});
            }
        }
    }

    const int rows = scratchList.ListCount();
    for (int k = 0; k < rows; k += 3) {
        searchList.AddItem(SearchRow{.file = scratchList.File(k),
                                     .title = scratchList.Title(k),
                                     .code = kStationCodeKorean,
                                     .comment = scratchList.Comment(k),
                                     .listeners = scratchList.Listeners(k)});
        if (onRow)
            onRow(searchList.ListCount() - 1);
    }
}

}  // namespace wavelot
