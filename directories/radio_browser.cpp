#include "directories/radio_browser.h"

#include <QUrl>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "directories/directory_tables.h"
#include "directories/json_array_reader.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

const QString kUnknown = u"未知"_s;

QString Encoded(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// The members of a station the list takes, in the order the reader is given them.
enum Member { kUrlResolved, kUrl, kName, kCodec, kBitRate, kClickCount, kStationUuid, kFavicon };
const std::vector<std::string_view> kMemberNames{"url_resolved", "url",        "name",        "codec",
                                                 "bitrate",      "clickcount", "stationuuid", "favicon"};

QString Text(const JsonMember& m) {
    return m.kind == JsonMember::Kind::String ? QString::fromUtf8(m.text).trimmed() : QString();
}

// A whole, non-negative number, from a JSON number or a string of digits.
std::optional<qint64> Count(const JsonMember& m) {
    if (m.kind == JsonMember::Kind::Number) {
        const double d = m.number;
        if (!std::isfinite(d) || d < 0 || d > 9.0e15 || d != std::floor(d))
            return std::nullopt;
        return static_cast<qint64>(d);
    }
    if (m.kind == JsonMember::Kind::String) {
        bool ok = false;
        const qint64 n = QByteArrayView(m.text).trimmed().toLongLong(&ok);
        if (ok && n >= 0)
            return n;
    }
    return std::nullopt;
}

bool Playable(const QString& address) {
    return address.startsWith(u"http://"_s, Qt::CaseInsensitive) ||
           address.startsWith(u"https://"_s, Qt::CaseInsensitive);
}

QString Address(std::span<const JsonMember> station) {
    const QString resolved = Text(station[kUrlResolved]);
    if (Playable(resolved))
        return resolved;
    const QString given = Text(station[kUrl]);
    return Playable(given) ? given : QString();
}

// Only a web address is fetched later; anything else (a data: URI, a file name) is dropped here.
QString LogoAddress(const JsonMember& m) {
    const QString address = Text(m);
    return Playable(address) ? address : QString();
}

QString CodecText(const JsonMember& m) {
    const QString codec = Text(m);
    if (codec.isEmpty() || codec.compare(u"UNKNOWN"_s, Qt::CaseInsensitive) == 0)
        return kUnknown;
    return codec;
}

QString BitRateText(const JsonMember& m) {
    const std::optional<qint64> kbps = Count(m);
    if (!kbps || *kbps == 0)
        return kUnknown;
    return QString::number(*kbps) + u" kbps"_s;
}

QString ClickText(const JsonMember& m) {
    const std::optional<qint64> clicks = Count(m);
    return clicks ? QString::number(*clicks) : QString();
}

}  // namespace

QString RadioBrowserSearchPath(int searchKind, int genreIndex, const QString& text) {
    QString query;
    if (searchKind == kSearchByName) {
        query = u"name="_s + Encoded(text.trimmed()) + u"&"_s;
    } else {
        const QString tag = RadioBrowserTag(genreIndex);
        if (!tag.isEmpty())
            query = u"tag="_s + Encoded(tag) + u"&"_s;
    }
    return u"/json/stations/search?"_s + query + u"hidebroken=true&order=clickcount&reverse=true&limit="_s +
           QString::number(kRadioBrowserRequestLimit);
}

QString RadioBrowserClickPath(const QString& stationUuid) {
    return u"/json/url/"_s + Encoded(stationUuid);
}

namespace {

// Adds each playable station, up to the limit, as the reader hands them over.
std::function<void(std::span<const JsonMember>)> RowTaker(clsSongArray& searchList, RadioBrowserIds* ids,
                                                          const RowAdded& onRow) {
    return [&searchList, ids, &onRow, taken = 0](std::span<const JsonMember> station) mutable {
        if (taken == kRadioBrowserStationLimit)
            return;
        const QString address = Address(station);
        if (address.isEmpty())
            return;
        const QString name = Text(station[kName]);
        searchList.AddItem(SearchRow{.file = address,
                                     .title = name.isEmpty() ? address : name,
                                     .comment = CodecText(station[kCodec]),
                                     .bitRate = BitRateText(station[kBitRate]),
                                     .listeners = ClickText(station[kClickCount]),
                                     .logo = LogoAddress(station[kFavicon])});
        ++taken;
        if (ids) {
            const QString uuid = Text(station[kStationUuid]);
            if (!uuid.isEmpty())
                ids->insert(address, uuid);
        }
        if (onRow)
            onRow(searchList.ListCount() - 1);
    };
}

}  // namespace

bool ParseRadioBrowserAnswer(const QByteArray& json, clsSongArray& searchList, RadioBrowserIds* ids,
                             const RowAdded& onRow) {
    if (json.size() > kRadioBrowserMaxAnswerBytes)
        return false;
    return ReadJsonObjectArray(json, kMemberNames, RowTaker(searchList, ids, onRow));
}

bool ParseRadioBrowserAnswer(const QString& answer, clsSongArray& searchList, RadioBrowserIds* ids,
                             const RowAdded& onRow) {
    // Every UTF-16 unit takes at least one byte of UTF-8: a text this long is too large.
    if (answer.size() > kRadioBrowserMaxAnswerBytes)
        return false;
    return ReadJsonObjectArray(QStringView(answer), kMemberNames, RowTaker(searchList, ids, onRow));
}

}  // namespace wavelot
