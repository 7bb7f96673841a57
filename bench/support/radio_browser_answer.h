#pragma once
// A Radio-Browser search answer of any length, each station with every field the directory
// sends, so parsing costs what it costs on a real answer (about 1.3 KB per station).

#include <QByteArray>

namespace wavelot::bench {

inline QByteArray RadioBrowserAnswer(int stations,
                                     const QByteArray& streamBase = "http://stream.example.net") {
    QByteArray json = "[";
    for (int k = 0; k < stations; ++k) {
        const QByteArray n = QByteArray::number(k);
        const QByteArray uuid = "9617a958-0601-11e8-ae97-" + QByteArray::number(520000000000LL + k);
        json +=
            "{\"changeuuid\":\"" + uuid + "\",\"stationuuid\":\"" + uuid +
            "\",\"serveruuid\":null,\"name\":\"Station " + n + " 電台 ラジオ\",\"url\":\"" + streamBase +
            "/" + n + ".pls\",\"url_resolved\":\"" + streamBase + "/" + n +
            ".mp3\",\"homepage\":\"https://www.example.net/\",\"favicon\":\"https://www.example.net/"
            "favicon.png\","
            "\"tags\":\"jazz,smooth jazz,lounge,easy listening\",\"country\":\"Taiwan, Republic Of China\","
            "\"countrycode\":\"TW\",\"iso_3166_2\":null,\"state\":\"Taipei\",\"language\":\"chinese,"
            "english\","
            "\"languagecodes\":\"zh,en\",\"votes\":" +
            QByteArray::number(k * 7 % 1000) +
            ",\"lastchangetime\":\"2025-03-02 11:20:41\",\"lastchangetime_iso8601\":\"2025-03-02T11:20:41Z\","
            "\"codec\":\"MP3\",\"bitrate\":128,\"hls\":0,\"lastcheckok\":1,\"lastchecktime\":\"2025-06-14 "
            "07:42:10\",\"lastchecktime_iso8601\":\"2025-06-14T07:42:10Z\",\"lastcheckoktime\":\"2025-06-14 "
            "07:42:10\",\"lastcheckoktime_iso8601\":\"2025-06-14T07:42:10Z\",\"lastlocalchecktime\":\"2025-"
            "06-"
            "14 03:15:55\",\"lastlocalchecktime_iso8601\":\"2025-06-14T03:15:55Z\",\"clicktimestamp\":\"2025-"
            "06-14 08:01:33\",\"clicktimestamp_iso8601\":\"2025-06-14T08:01:33Z\",\"clickcount\":" +
            QByteArray::number(100000 - k) +
            ",\"clicktrend\":3,\"ssl_error\":0,\"geo_lat\":25.0375,\"geo_long\":121.5637,\"geo_distance\":"
            "null,"
            "\"has_extended_info\":false},";
    }
    if (stations > 0)
        json.chop(1);
    return json + "]";
}

}  // namespace wavelot::bench
