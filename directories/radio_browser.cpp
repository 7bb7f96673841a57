#include "directories/radio_browser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <optional>

#include "directories/directory_tables.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

const QString kUnknown = u"未知"_s;

QString Encoded(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// A whole, non-negative number, from a JSON number or a string of digits.
std::optional<qint64> Count(const QJsonValue& v) {
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (!std::isfinite(d) || d < 0 || d > 9.0e15 || d != std::floor(d))
            return std::nullopt;
        return static_cast<qint64>(d);
    }
    if (v.isString()) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (ok && n >= 0)
            return n;
    }
    return std::nullopt;
}

bool Playable(const QString& address) {
    return address.startsWith(u"http://"_s, Qt::CaseInsensitive) ||
           address.startsWith(u"https://"_s, Qt::CaseInsensitive);
}

QString Address(const QJsonObject& station) {
    const QString resolved = station.value(u"url_resolved"_s).toString().trimmed();
    if (Playable(resolved))
        return resolved;
    const QString given = station.value(u"url"_s).toString().trimmed();
    return Playable(given) ? given : QString();
}

QString CodecText(const QJsonValue& v) {
    const QString codec = v.toString().trimmed();
    if (codec.isEmpty() || codec.compare(u"UNKNOWN"_s, Qt::CaseInsensitive) == 0)
        return kUnknown;
    return codec;
}

QString BitRateText(const QJsonValue& v) {
    const std::optional<qint64> kbps = Count(v);
    if (!kbps || *kbps == 0)
        return kUnknown;
    return QString::number(*kbps) + u" kbps"_s;
}

QString ClickText(const QJsonValue& v) {
    const std::optional<qint64> clicks = Count(v);
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

bool ParseRadioBrowserAnswer(const QByteArray& json, clsSongArray& searchList, RadioBrowserIds* ids,
                             const RowAdded& onRow) {
    if (json.size() > kRadioBrowserMaxAnswerBytes)
        return false;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return false;
    const QJsonArray stations = doc.array();
    if (ids)
        ids->reserve(ids->size() + std::min<qsizetype>(stations.size(), kRadioBrowserStationLimit));
    int taken = 0;
    for (const QJsonValue& element : stations) {
        if (taken == kRadioBrowserStationLimit)
            break;
        if (!element.isObject())
            continue;
        const QJsonObject station = element.toObject();
        const QString address = Address(station);
        if (address.isEmpty())
            continue;
        const QString name = station.value(u"name"_s).toString().trimmed();
        searchList.AddItem(SearchRow{.file = address,
                                     .title = name.isEmpty() ? address : name,
                                     .comment = CodecText(station.value(u"codec"_s)),
                                     .bitRate = BitRateText(station.value(u"bitrate"_s)),
                                     .listeners = ClickText(station.value(u"clickcount"_s))});
        ++taken;
        if (ids) {
            const QString uuid = station.value(u"stationuuid"_s).toString().trimmed();
            if (!uuid.isEmpty())
                ids->insert(address, uuid);
        }
        if (onRow)
            onRow(searchList.ListCount() - 1);
    }
    return true;
}

bool ParseRadioBrowserAnswer(const QString& answer, clsSongArray& searchList, RadioBrowserIds* ids,
                             const RowAdded& onRow) {
    // Every UTF-16 unit takes at least one byte of UTF-8: a text this long is too large
    // without converting it first.
    if (answer.size() > kRadioBrowserMaxAnswerBytes)
        return false;
    return ParseRadioBrowserAnswer(answer.toUtf8(), searchList, ids, onRow);
}

}  // namespace wavelot
