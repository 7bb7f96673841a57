#include <gtest/gtest.h>

#include "directories/icecast_parser.h"
#include "tests/directories/row_matchers.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

const QString kBase = u"http://dir.test"_s;

struct Block {
    QString name = u"Radio"_s;
    QString listeners = u"12"_s;
    QString path = u"/listen/100/radio.m3u"_s;
    QString bitRate = u"128 kbps"_s;
    QString format = u"MP3"_s;
    bool withName = true, withListeners = true, withPath = true, withBitRate = true;
};

// One result row of the directory's search page.
QString Html(const Block& b) {
    QString s =
        u"<tr class=\"row\">\n<td class=\"description\">\n<p class=\"stream-name\">"
        u"<span class=\"name\"><a href=\"http://station.example/\">"_s +
        b.name + u"</a></span>\n"_s;
    if (b.withListeners)
        s += u"<span class=\"listeners\">["_s + b.listeners + u"&nbsp;listeners]</span></p>\n"_s;
    if (b.withName)
        s += u"<p class=\"stream-description\">"_s + b.name + u"</p>\n"_s;
    s += u"</td>\n<td class=\"tune-in\">\n"_s;
    if (b.withBitRate)
        s += u"<p class=\"format\" title=\""_s + b.bitRate + u"\">\n"_s;
    if (b.withPath)
        s += u"<a href=\""_s + b.path + u"\" title=\"Listen (M3U)\">M3U</a>\n"_s;
    s += u"<a href=\"/by_format/x\" class=\"streams\">"_s + b.format + u"</a></p>\n</td>\n</tr>\n"_s;
    return s;
}

QString Page(const QString& rows) {
    return u"<html><head><title>Search</title></head><body><table class=\"servers-list\">\n"_s + rows +
           u"</table></body></html>\n"_s;
}

std::vector<Row> Parse(const QString& page, int* notified = nullptr) {
    clsSongArray list;
    int count = 0;
    ParseIcecastPage(page, kBase, list, [&](int row) {
        EXPECT_EQ(row, count);
        ++count;
    });
    if (notified)
        *notified = count;
    EXPECT_TRUE(JobFieldsZero(list));
    return Rows(list);
}

TEST(IcecastParser, OneRowPerStreamsMarker) {
    Block a;
    Block b;
    b.name = u"Ogg &amp; Friends"_s;
    b.listeners = u"3"_s;
    b.path = u"/listen/200/ogg.m3u"_s;
    b.bitRate = u"Quality 5"_s;
    b.format = u"Ogg Vorbis"_s;
    int notified = 0;
    EXPECT_EQ(
        Parse(Page(Html(a) + Html(b)), &notified),
        (std::vector<Row>{
            {kBase + u"/listen/100/radio.m3u"_s, u"Radio"_s, 0, u"MP3"_s, u"128 kbps"_s, u"12"_s},
            {kBase + u"/listen/200/ogg.m3u"_s, u"Ogg & Friends"_s, 0, u"OGG"_s, u"Quality 5"_s, u"3"_s}}));
    EXPECT_EQ(notified, 2);
}

TEST(IcecastParser, FieldsCarryOverToBlocksThatLackTheirMarker) {
    Block first;
    Block second;
    second.withBitRate = false;
    second.withName = false;
    second.listeners = u"7"_s;
    second.path = u"/listen/2/two.m3u"_s;
    const auto rows = Parse(Page(Html(first) + Html(second)));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].jobStart, u"128 kbps"_s);
    EXPECT_EQ(rows[1].title, u"Radio"_s);
    EXPECT_EQ(rows[1].jobStop, u"7"_s);
    EXPECT_EQ(rows[1].file, kBase + u"/listen/2/two.m3u"_s);
}

TEST(IcecastParser, BitRateAndFormatTexts) {
    const struct {
        QString bitRate, format, jobStart, comment;
    } cases[] = {
        {u"0 kbps"_s, u"MP3"_s, u"未知"_s, u"MP3"_s},
        {QString(), u"AAC+"_s, u"未知"_s, u"AAC+"_s},
        {u"320 kbps"_s, u"aac+"_s, u"320 kbps"_s, u"AAC+"_s},
        {u"0 Kbps"_s, u"OGG VORBIS"_s, u"0 Kbps"_s, u"OGG"_s},
        {u"64 kbps"_s, u"Unknown"_s, u"64 kbps"_s, u"MP3"_s},
        {u"64 kbps"_s, QString(), u"64 kbps"_s, u"MP3"_s},
        {u"64 kbps"_s, u"Opus"_s, u"64 kbps"_s, u"MP3"_s},
    };
    for (const auto& c : cases) {
        Block b;
        b.bitRate = c.bitRate;
        b.format = c.format;
        const auto rows = Parse(Page(Html(b)));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].jobStart, c.jobStart) << c.bitRate.toStdString();
        EXPECT_EQ(rows[0].comment, c.comment) << c.format.toStdString();
    }
    // A page without any format marker has no bit rate to show.
    Block none;
    none.withBitRate = false;
    EXPECT_EQ(Parse(Page(Html(none))).at(0).jobStart, u"未知"_s);
}

TEST(IcecastParser, PlaylistPathKeepsInnerBlanks) {
    Block b;
    b.path = u" /listen/my station.m3u"_s;  // "/listen/" starts the value, so the leading blank is outside
    EXPECT_EQ(Parse(Page(Html(b))).at(0).file, kBase + u"/listen/my station.m3u"_s);
}

TEST(IcecastParser, MarkersInCapitals) {
    const QString page =
        u"<SPAN CLASS=\"LISTENERS\">[42 LISTENERS]</SPAN><P CLASS=\"STREAM-DESCRIPTION\">Loud</P>"
        u"<A HREF=\"/LISTEN/9/x.m3u\"></A><P CLASS=\"FORMAT\" TITLE=\"96 kbps\">"
        u"<A CLASS=\"STREAMS\">Ogg Vorbis</A>"_s;
    EXPECT_EQ(
        Parse(page),
        (std::vector<Row>{{kBase + u"/LISTEN/9/x.m3u"_s, u"Loud"_s, 0, u"OGG"_s, u"96 kbps"_s, u"42"_s}}));
}

TEST(IcecastParser, TerminatorsBeyondTheirWindowKeepThePreviousValue) {
    Block first;
    Block second;
    second.name = QString(101, u'x');                             // "<" at offset 101: one past the window
    second.path = u"/listen/"_s + QString(93, u'p') + u".m3u"_s;  // ".m3u" at offset 101
    second.listeners = QString(501, u'9');                        // " " at offset 501
    second.bitRate = QString(21, u'1');                           // quote at offset 21
    const auto rows = Parse(Page(Html(first) + Html(second)));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], rows[0]);
    // At exactly the window's last position the terminator still counts.
    Block edge;
    edge.name = QString(100, u'y');
    edge.path = u"/listen/"_s + QString(92, u'p') + u".m3u"_s;
    edge.listeners = QString(500, u'8');
    edge.bitRate = QString(20, u'2');
    const auto edgeRows = Parse(Page(Html(edge)));
    ASSERT_EQ(edgeRows.size(), 1u);
    EXPECT_EQ(edgeRows[0].title, edge.name);
    EXPECT_EQ(edgeRows[0].file, kBase + edge.path);
    EXPECT_EQ(edgeRows[0].jobStop, edge.listeners);
    EXPECT_EQ(edgeRows[0].jobStart, edge.bitRate);
}

TEST(IcecastParser, StreamsMarkerWithoutTerminatorAddsNothing) {
    EXPECT_TRUE(Parse(u"<a class=\"streams\">MP3 and no closing tag at all"_s).empty());
    EXPECT_TRUE(Parse(u"<a class=\"streams\">"_s).empty());
    EXPECT_TRUE(Parse(QString()).empty());
    EXPECT_TRUE(Parse(u"<html><body>No results</body></html>"_s).empty());
}

TEST(IcecastParser, TruncatedAnywhere) {
    Block a;
    Block b;
    b.name = u"Second"_s;
    const QString page = Page(Html(a) + Html(b));
    const qsizetype secondStreams = page.lastIndexOf(u"streams\">"_s);
    for (qsizetype cut = 0; cut < page.size(); ++cut) {
        const auto rows = Parse(page.left(cut));
        const size_t expected =
            cut > page.indexOf(u"streams\">"_s) + 12 ? (cut > secondStreams + 12 ? 2u : 1u) : 0u;
        ASSERT_EQ(rows.size(), expected) << cut;
    }
}

TEST(IcecastParser, TenMebibytePage) {
    const QString block = Html(Block{});
    QString page;
    const qsizetype repeats = (10 << 20) / block.size() / 2 + 1;
    page.reserve(block.size() * repeats);
    for (qsizetype k = 0; k < repeats; ++k)
        page += block;
    clsSongArray list;
    ParseIcecastPage(page, kBase, list);
    EXPECT_EQ(list.ListCount(), repeats);
}

}  // namespace
}  // namespace wavelot::test
