#include <gtest/gtest.h>

#include <QFile>

#include "directories/directory_tables.h"
#include "directories/radio_browser.h"
#include "tests/directories/row_matchers.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

QByteArray DataFile(const QString& name) {
    QFile f(QString::fromLocal8Bit(qgetenv("WAVELOT_TEST_DATA")) + u"/directories/"_s + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    return f.readAll();
}

struct Parsed {
    bool ok = false;
    std::vector<Row> rows;
    RadioBrowserIds ids;
};

Parsed Parse(const QByteArray& json) {
    Parsed p;
    clsSongArray list;
    int notified = 0;
    p.ok = ParseRadioBrowserAnswer(json, list, &p.ids, [&](int row) { EXPECT_EQ(row, notified++); });
    EXPECT_EQ(notified, list.ListCount());
    EXPECT_TRUE(JobFieldsZero(list));
    p.rows = Rows(list);
    return p;
}

TEST(RadioBrowserParser, RecordedPage) {
    const Parsed p = Parse(DataFile(u"radio_browser_stations.json"_s));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(
        p.rows,
        (std::vector<Row>{
            {u"http://stream.jazz.example.net:8000/lounge128.mp3"_s, u"Smooth Jazz Lounge"_s, 0, u"MP3"_s,
             u"128 kbps"_s, u"4512"_s, u"https://jazz.example.net/favicon.ico"_s},
            {u"https://tw.example.org/live/jazz.aac"_s, u"爵士樂電台 台北"_s, 0, u"AAC"_s, u"64 kbps"_s,
             u"812"_s},
            // url_resolved empty: the address as given; bitrate 0 is unknown.
            {u"http://jp.example.jp/jazz"_s, u"ジャズ喫茶ラジオ"_s, 0, u"MP3"_s, u"未知"_s, u"305"_s},
            {u"http://kr.example.kr/jazz.ogg"_s, u"재즈 방송 서울"_s, 0, u"OGG"_s, u"96 kbps"_s, u"120"_s},
            {u"http://fr.example.fr/etudes/aacp"_s, u"Jazz FM Études"_s, 0, u"AAC+"_s, u"48 kbps"_s, u"7"_s},
        }));
    EXPECT_EQ(p.ids.value(u"http://jp.example.jp/jazz"_s), u"a1b2c3d4-0003-4000-8000-000000000003"_s);
    EXPECT_EQ(p.ids.size(), 5);
}

TEST(RadioBrowserParser, FieldsMissingOrOdd) {
    const struct {
        const char* station;
        Row row;  // file empty: no row at all
    } cases[] = {
        {R"({"url":"http://a.test/s"})",
         {u"http://a.test/s"_s, u"http://a.test/s"_s, 0, u"未知"_s, u"未知"_s, {}}},
        {R"({"name":"N","url":" http://a.test/s ","url_resolved":"","codec":"UNKNOWN","bitrate":-1})",
         {u"http://a.test/s"_s, u"N"_s, 0, u"未知"_s, u"未知"_s, {}}},
        {R"({"name":"N","url_resolved":"https://b.test/","bitrate":"192","clickcount":"15","favicon":" http://b.test/b.png"})",
         {u"https://b.test/"_s, u"N"_s, 0, u"未知"_s, u"192 kbps"_s, u"15"_s, u"http://b.test/b.png"_s}},
        {R"({"url":"http://a.test/s","favicon":"data:image/png;base64,iVBORw0K"})",
         {u"http://a.test/s"_s, u"http://a.test/s"_s, 0, u"未知"_s, u"未知"_s, {}}},
        {R"({"name":"N","url":"http://a.test/","url_resolved":"rtsp://a.test/","bitrate":128.5,"clickcount":1e3})",
         {u"http://a.test/"_s, u"N"_s, 0, u"未知"_s, u"未知"_s, u"1000"_s}},
        {R"({"name":7,"url":["http://a.test/"],"codec":{"x":1}})", {}},
        {R"j({"name":"N","url":"file:///etc/passwd","url_resolved":"javascript:alert(1)"})j", {}},
    };
    for (const auto& c : cases) {
        const Parsed p = Parse(QByteArray("[") + c.station + "]");
        ASSERT_TRUE(p.ok) << c.station;
        EXPECT_EQ(p.rows, c.row.file.isEmpty() ? std::vector<Row>{} : std::vector<Row>{c.row}) << c.station;
        EXPECT_TRUE(p.ids.isEmpty()) << c.station;
    }
}

TEST(RadioBrowserParser, AnswersThatAreNotAStationArray) {
    const QByteArray page = DataFile(u"radio_browser_stations.json"_s);
    // The reader's own test has the rules; here whole answers as a server may send them.
    for (const QByteArray& answer : {QByteArray(), QByteArray("   "), page.left(page.size() / 2),
                                     QByteArray("<html><body>502 Bad Gateway</body></html>")}) {
        const Parsed p = Parse(answer);
        EXPECT_FALSE(p.ok) << answer.left(60).toStdString();
        EXPECT_TRUE(p.rows.empty());
    }
    EXPECT_TRUE(Parse("[]").ok);
}

TEST(RadioBrowserParser, HugeAnswers) {
    QByteArray many = "[";
    for (int k = 0; k < kRadioBrowserStationLimit + 500; ++k)
        many += "{\"name\":\"S" + QByteArray::number(k) + "\",\"url\":\"http://s.test/" +
                QByteArray::number(k) + "\",\"bitrate\":128},";
    many.back() = ']';
    const Parsed p = Parse(many);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.rows.size(), size_t(kRadioBrowserStationLimit));
    EXPECT_EQ(p.rows.back().title, u"S9999"_s);
    // Past the size limit nothing is read, however well-formed.
    QByteArray big =
        "[{\"name\":\"" + QByteArray(kRadioBrowserMaxAnswerBytes, 'x') + "\",\"url\":\"http://a/\"}]";
    EXPECT_FALSE(Parse(big).ok);
}

TEST(RadioBrowserRequests, SearchAndClickPaths) {
    const QString tail = u"hidebroken=true&order=clickcount&reverse=true&limit=200"_s;
    const struct {
        int kind, genre;
        QString text, expected;
    } cases[] = {
        {kSearchByGenre, 0, {}, u"/json/stations/search?"_s + tail},  // top: the most clicked
        {kSearchByGenre, 13, {}, u"/json/stations/search?tag=jazz&"_s + tail},
        {kSearchByGenre, 7, {}, u"/json/stations/search?tag=new%20age&"_s + tail},
        {kSearchByGenre, 18, {}, u"/json/stations/search?tag=rnb&"_s + tail},
        {kSearchByName, 13, u" Rock & Roll #1 "_s,
         u"/json/stations/search?name=Rock%20%26%20Roll%20%231&"_s + tail},
        {kSearchByName, 0, u"電台+"_s, u"/json/stations/search?name=%E9%9B%BB%E5%8F%B0%2B&"_s + tail},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RadioBrowserSearchPath(c.kind, c.genre, c.text), c.expected) << c.genre;
    EXPECT_EQ(RadioBrowserClickPath(u"a1b2-c3"_s), u"/json/url/a1b2-c3"_s);
}

}  // namespace
}  // namespace wavelot::test
