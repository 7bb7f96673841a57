#include "directories/shoutcast_parser.h"

#include "directories/scan_util.h"
#include "text/html_entities.h"

using namespace Qt::StringLiterals;

namespace wavelot {

QString GetShoutcastStatus(const QString& answer) {
    const qsizetype element = answer.indexOf(u"<statusCode"_s, 0, Qt::CaseInsensitive);
    if (element < 0)
        return {};
    const qsizetype open = answer.indexOf(u'>', element);
    if (open < 0)
        return {};
    const qsizetype close = answer.indexOf(u'<', open + 1);
    if (close < 0)
        return {};
    return answer.mid(open + 1, close - open - 1);
}

namespace {

struct Attribute {
    qsizetype valueStart = -1;
    qsizetype valueEnd = -1;  // position of the closing quote
};

// `name` is searched from `from`; the value starts one past the quote after "=" (four
// characters after the match) and ends before the next quote. Both must lie before `limit`.
Attribute FindAttribute(QStringView text, QStringView name, qsizetype from, qsizetype limit) {
    Attribute a;
    const qsizetype hit = scan::FindBefore(text, name, from, limit);
    if (hit < 0)
        return a;
    const qsizetype start = hit + name.size() + 1;
    if (start > limit)
        return a;
    const qsizetype end = scan::FindBefore(text, u"\"", start, limit);
    if (end < 0)
        return a;
    a.valueStart = start;
    a.valueEnd = end;
    return a;
}

}  // namespace

void ParseShoutcastAnswer(const QString& answer, const QString& developerKey, const QString& tuneInBase,
                          clsSongArray& searchList, const RowAdded& onRow) {
    Q_UNUSED(developerKey);
    const QString decoded = DecodeHtmlEntities(answer);
    const QStringView text(decoded);
    const QString marker = u"station name"_s;
    const QString playlist = tuneInBase + u"/sbin/tunein-station.pls?id="_s;

    qsizetype pos = 0;
    int count = 0;
    while (count < kShoutcastStationLimit) {
        const qsizetype station = text.indexOf(marker, pos, Qt::CaseInsensitive);
        if (station < 0)
            break;
        const qsizetype nameOpen = text.indexOf(u'"', station);
        if (nameOpen < 0)
            break;
        const qsizetype nameClose = text.indexOf(u'"', nameOpen + 1);
        if (nameClose < 0)
            break;
        // The next station begins after this one's name, so a name that contains the marker
        // still belongs to its own station.
        qsizetype next = text.indexOf(marker, nameClose + 1, Qt::CaseInsensitive);
        const qsizetype limit = next < 0 ? text.size() : next;

        const Attribute mt = FindAttribute(text, u"mt=", nameClose, limit);
        const Attribute id = mt.valueEnd < 0 ? Attribute{} : FindAttribute(text, u"id=", mt.valueEnd, limit);
        const Attribute br =
            id.valueEnd < 0 ? Attribute{} : FindAttribute(text, u"br=", id.valueStart, limit);
        const Attribute lc =
            br.valueEnd < 0 ? Attribute{} : FindAttribute(text, u"lc=", br.valueStart, limit);
        if (lc.valueEnd < 0) {
            if (next < 0)
                break;
            pos = next;
            continue;
        }
        auto value = [&](const Attribute& a) { return decoded.mid(a.valueStart, a.valueEnd - a.valueStart); };
        const QString type = value(mt);
        searchList.AddItem(SearchRow{.file = playlist + value(id),
                                     .title = decoded.mid(nameOpen + 1, nameClose - nameOpen - 1),
                                     .comment = type == u"audio/mpeg"_s ? u"MP3"_s : u"AAC+"_s,
                                     .bitRate = value(br) + u" kbps"_s,
                                     .listeners = value(lc)});
        ++count;
        if (onRow)
            onRow(searchList.ListCount() - 1);
        pos = lc.valueEnd + 1;
    }
}

}  // namespace wavelot
