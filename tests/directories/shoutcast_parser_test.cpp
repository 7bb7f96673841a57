#include <gtest/gtest.h>

#include "directories/shoutcast_parser.h"
#include "tests/directories/row_matchers.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

const QString kTuneIn = u"http://tunein.test"_s;

QString Station(const QString& name, const QString& mt, const QString& id, const QString& br,
                const QString& lc) {
    return u"<station name=\""_s + name + u"\" mt=\""_s + mt + u"\" id=\""_s + id + u"\" br=\""_s + br +
           u"\" genre=\"Jazz\" ct=\"Artist - Song\" lc=\""_s + lc + u"\"/>\n"_s;
}

QString Answer(const QString& stations) {
    return u"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<stationlist>\n"
           u"<tunein base=\"/sbin/tunein-station.pls\"/>\n"_s +
           stations + u"</stationlist>\n"_s;
}

std::vector<Row> Parse(const QString& answer, int* notified = nullptr) {
    clsSongArray list;
    int count = 0;
    ParseShoutcastAnswer(answer, u"key"_s, kTuneIn, list, [&](int row) {
        EXPECT_EQ(row, count);
        ++count;
    });
    if (notified)
        *notified = count;
    EXPECT_TRUE(JobFieldsZero(list));
    return Rows(list);
}

TEST(ShoutcastParser, StationsInAnswerOrder) {
    int notified = 0;
    const auto rows = Parse(Answer(Station(u"Smooth Jazz"_s, u"audio/mpeg"_s, u"1234"_s, u"128"_s, u"56"_s) +
                                   Station(u"Deep House"_s, u"audio/aacp"_s, u"99"_s, u"64"_s, u"0"_s)),
                            &notified);
    EXPECT_EQ(rows, (std::vector<Row>{
                        {kTuneIn + u"/sbin/tunein-station.pls?id=1234"_s, u"Smooth Jazz"_s, 0, u"MP3"_s,
                         u"128 kbps"_s, u"56"_s},
                        {kTuneIn + u"/sbin/tunein-station.pls?id=99"_s, u"Deep House"_s, 0, u"AAC+"_s,
                         u"64 kbps"_s, u"0"_s},
                    }));
    EXPECT_EQ(notified, 2);
}

TEST(ShoutcastParser, OnlyExactMpegTypeIsMp3) {
    const struct {
        QString mt, comment;
    } cases[] = {{u"audio/mpeg"_s, u"MP3"_s},
                 {u"Audio/MPEG"_s, u"AAC+"_s},
                 {u"audio/aac"_s, u"AAC+"_s},
                 {QString(), u"AAC+"_s}};
    for (const auto& c : cases) {
        const auto rows = Parse(Answer(Station(u"n"_s, c.mt, u"1"_s, u"1"_s, u"1"_s)));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].comment, c.comment) << c.mt.toStdString();
    }
}

TEST(ShoutcastParser, TakesAtMostTwoHundredStations) {
    QString stations;
    for (int k = 0; k < 250; ++k) {
        stations += Station(u"S"_s + QString::number(k), u"audio/mpeg"_s, QString::number(k), u"1"_s, u"1"_s);
    }
    int notified = 0;
    const auto rows = Parse(Answer(stations), &notified);
    ASSERT_EQ(rows.size(), 200u);
    EXPECT_EQ(rows.back().title, u"S199"_s);
    EXPECT_EQ(notified, 200);
}

TEST(ShoutcastParser, EntitiesAreDecodedBeforeTheScan) {
    const auto rows =
        Parse(Answer(Station(u"Rock &amp; Roll"_s, u"audio/mpeg"_s, u"1"_s, u"2"_s, u"3"_s) +
                     // The decoded quote ends the name early; the attributes are still found after it.
                     Station(u"The &quot;Best&quot; FM"_s, u"audio/mpeg"_s, u"4"_s, u"5"_s, u"6"_s)));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].title, u"Rock & Roll"_s);
    EXPECT_EQ(rows[1].title, u"The "_s);
    EXPECT_EQ(rows[1].file, kTuneIn + u"/sbin/tunein-station.pls?id=4"_s);
    EXPECT_EQ(rows[1].jobStop, u"6"_s);
}

TEST(ShoutcastParser, MarkerInAnyCase) {
    const auto rows = Parse(
        u"<Station Name=\"A\" mt=\"audio/mpeg\" id=\"7\" br=\"32\" lc=\"1\"/>"
        u"<STATION NAME=\"B\" mt=\"x\" id=\"8\" br=\"48\" lc=\"2\"/>"_s);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].title, u"B"_s);
}

TEST(ShoutcastParser, StationWithMissingAttributeIsSkipped) {
    // The first station has no lc; its neighbour's must not complete it.
    const QString broken = u"<station name=\"Broken\" mt=\"audio/mpeg\" id=\"1\" br=\"128\"/>\n"_s;
    const auto rows = Parse(Answer(broken + Station(u"Good"_s, u"audio/mpeg"_s, u"2"_s, u"64"_s, u"9"_s)));
    EXPECT_EQ(rows, (std::vector<Row>{{kTuneIn + u"/sbin/tunein-station.pls?id=2"_s, u"Good"_s, 0, u"MP3"_s,
                                       u"64 kbps"_s, u"9"_s}}));
    // Each attribute in turn missing from a lone station.
    for (const QString& attr : {u"mt="_s, u"id="_s, u"br="_s, u"lc="_s}) {
        QString s = Station(u"x"_s, u"audio/mpeg"_s, u"1"_s, u"1"_s, u"1"_s);
        s.replace(attr, u"zz="_s);
        EXPECT_TRUE(Parse(Answer(s)).empty()) << attr.toStdString();
    }
}

TEST(ShoutcastParser, NameContainingTheMarkerStaysOneStation) {
    const auto rows =
        Parse(Answer(Station(u"My station name radio"_s, u"audio/mpeg"_s, u"5"_s, u"1"_s, u"2"_s)));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].title, u"My station name radio"_s);
}

TEST(ShoutcastParser, EmptyErrorAndTruncatedAnswers) {
    EXPECT_TRUE(Parse(QString()).empty());
    EXPECT_TRUE(Parse(u"<response><statusCode>450</statusCode><statusText>bad key</statusText></response>"_s)
                    .empty());
    const QString full = Answer(Station(u"One"_s, u"audio/mpeg"_s, u"1"_s, u"1"_s, u"1"_s) +
                                Station(u"Two"_s, u"audio/mpeg"_s, u"2"_s, u"2"_s, u"2"_s));
    const qsizetype second = full.indexOf(u"Two"_s);
    // Cut at every point inside the second station: the first always stays, the second never
    // comes out half-read.
    for (qsizetype cut = second; cut <= full.indexOf(u"lc=\"2\""_s) + 5; ++cut) {
        const auto rows = Parse(full.left(cut));
        ASSERT_EQ(rows.size(), 1u) << cut;
        EXPECT_EQ(rows[0].title, u"One"_s);
    }
    for (qsizetype cut = 0; cut < full.size(); ++cut)
        Parse(full.left(cut));  // never reads past the end
}

TEST(ShoutcastParser, HugeAnswer) {
    const QString station = Station(u"Name"_s, u"audio/mpeg"_s, u"1"_s, u"128"_s, u"3"_s);
    QString answer;
    const qsizetype repeats = (10 << 20) / station.size() / 2 + 1;
    answer.reserve(station.size() * repeats);
    for (qsizetype k = 0; k < repeats; ++k)
        answer += station;
    EXPECT_EQ(Parse(answer).size(), 200u);
    // Ten mebibytes of markers that never become a station end in time too.
    QString hostile;
    for (int k = 0; k < 400000; ++k)
        hostile += u"station name\"a\" "_s;
    EXPECT_TRUE(Parse(hostile).empty());
}

TEST(ShoutcastStatus, ReadsTheStatusElement) {
    const struct {
        QString answer, status;
    } cases[] = {
        {u"<response><statusCode>450</statusCode></response>"_s, u"450"_s},
        {u"<response><STATUSCODE>441</STATUSCODE></response>"_s, u"441"_s},
        {u"<statuscode attr=\"1\">200</statuscode>"_s, u"200"_s},
        {u"<stationlist></stationlist>"_s, QString()},
        {u"<statusCode>450"_s, QString()},  // no closing "<"
        {u"<statusCode"_s, QString()},      // no ">"
        {QString(), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetShoutcastStatus(c.answer), c.status) << c.answer.toStdString();
}

}  // namespace
}  // namespace wavelot::test
