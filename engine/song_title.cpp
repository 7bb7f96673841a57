#include "engine/song_title.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

QString Join(const QString& a, const QString& sep, const QString& b) {
    return (!a.isEmpty() && !b.isEmpty()) ? a + sep + b : a + b;
}

}  // namespace

QString ComposeOggTitle(const QString& commentLines) {
    QString text = commentLines;
    text.replace(u"album artist"_s, u"albumist"_s, Qt::CaseInsensitive);

    QString album, albumArtist, artist, title, date, track;
    struct KeyField {
        QStringView key;
        QString* field;
    };
    const KeyField keys[] = {{u"album=", &album},   {u"albumist=", &albumArtist},
                             {u"artist=", &artist}, {u"title=", &title},
                             {u"date=", &date},     {u"tracknumber=", &track}};
    for (const QString& raw : text.split(u"\r\n"_s)) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        for (const KeyField& k : keys) {
            if (line.size() >= k.key.size() && line.first(k.key.size()).toLower() == k.key) {
                *k.field = line.mid(k.key.size());
            }
        }
    }

    const QString a = albumArtist + album;
    const QString d = date.isEmpty() ? u"- "_s : u"("_s + date + u") "_s;
    const QString b = Join(a, u" "_s, d);
    // With neither album nor date, the "- " that stands in for them is left out after an
    // artist, whose own separator already parts it from the title ("A - T", not "A - - T").
    const QString c =
        a.isEmpty() && date.isEmpty() && !artist.isEmpty() ? artist + u" - "_s : Join(artist, u" - "_s, b);
    const QString t = Join(track, u"."_s, title);
    return c + t;
}

QString IcyStreamTitle(const QString& metadata, const QString& stationName, const QString& current) {
    static const QString kPrefix = u"streamtitle='"_s;
    if (metadata.left(kPrefix.size()).toLower() != kPrefix)
        return current;
    const QString rest = metadata.mid(kPrefix.size());

    // The title ends at its closing quote followed by ";", so a title that itself holds a
    // semicolon ("Artist; Guest - Song") survives whole.
    const qsizetype close = rest.indexOf(u"';"_s);
    if (close >= 0)
        return close == 0 ? stationName : rest.left(close);

    // No closing quote: take the text before the first ";" less the character before it.
    const qsizetype k = rest.indexOf(u';') + 1;  // 1-based, 0 when absent
    if (k < 3)
        return stationName;
    return rest.left(k - 2);
}

}  // namespace wavelot
