#include <gtest/gtest.h>

#include <QStringList>

#include "directories/livedoor_parser.h"
#include "tests/directories/row_matchers.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

std::vector<Row> Parse(const QString& listing, int* notified = nullptr) {
    clsSongArray list;
    int count = 0;
    ParseLiveDoorList(listing, list, [&](int row) {
        EXPECT_EQ(row, count);
        ++count;
    });
    if (notified)
        *notified = count;
    EXPECT_TRUE(JobFieldsZero(list));
    return Rows(list);
}

// The listing as the search hands it over: every LF already doubled to CR LF.
QString Lines(const QStringList& lines, const QString& eol = u"\r\n"_s) {
    return lines.join(eol) + eol;
}

TEST(LiveDoorParser, FullBlockBuildsAddressTitleAndColumns) {
    const QString listing = Lines({u"SRV=std1.ladio.example"_s, u"PRT=8080"_s, u"MNT=/live"_s,
                                   u"TYPE=application/aacp"_s, u"NAM=Radio"_s, u"DJ=Taro"_s, u"BIT=64"_s,
                                   u"CLN=3"_s, u"MAX=100"_s, u"SMPL=44100"_s, u"CHS=2"_s, u"DESC=hello"_s});
    int notified = 0;
    EXPECT_EQ(Parse(listing, &notified),
              (std::vector<Row>{{u"http://std1.ladio.example:8080/live.m3u"_s, u"Radio DJ:Taro"_s, 3,
                                 u"AACP"_s, u"64 kbps"_s, u"3"_s}}));
    EXPECT_EQ(notified, 1);
}

TEST(LiveDoorParser, TypeNames) {
    const struct {
        QString type, comment;
    } cases[] = {
        {u"application/aac"_s, u"AAC"_s}, {u"APPLICATION/AACP"_s, u"AACP"_s},
        {u"Application/Ogg"_s, u"OGG"_s}, {u"audio/aacp"_s, u"MP3"_s},
        {u"audio/mpeg"_s, u"MP3"_s},      {QString(), u"MP3"_s},
    };
    for (const auto& c : cases) {
        const auto rows = Parse(Lines({u"SRV=h"_s, u"TYPE="_s + c.type}));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].comment, c.comment) << c.type.toStdString();
    }
}

TEST(LiveDoorParser, EmptyAndMissingValues) {
    const auto rows = Parse(Lines({u"SRV=a"_s, u"NAM="_s, u"DJ="_s, u"BIT=0"_s,  // empty name and DJ
                                   u"SRV=b"_s, u"BIT="_s,                        // no name, no DJ
                                   u"SRV=c"_s, u"DJ=Hana"_s}));                  // DJ only
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].title, u"None DJ: None"_s);
    EXPECT_EQ(rows[0].jobStart, u"0 kbps"_s);
    EXPECT_EQ(rows[0].file, u"http://a"_s);
    EXPECT_EQ(rows[1].title, QString());
    EXPECT_EQ(rows[1].jobStart, u"0 kbps"_s);
    EXPECT_EQ(rows[2].title, u" DJ:Hana"_s);
    EXPECT_EQ(rows[2].jobStart, QString());  // no BIT line at all
    EXPECT_EQ(rows[2].comment, QString());   // no TYPE line: nothing to name
    EXPECT_EQ(rows[2].jobStop, QString());
}

TEST(LiveDoorParser, BlockRules) {
    const auto rows = Parse(Lines({
        u"NAM=before any server"_s,  // belongs to no station
        u"CLN=99"_s,
        u"srv=lower"_s,  // keys in any case
        u"nam=first"_s,
        u"Nam=second"_s,  // last line of a key wins
        u"UNKNOWN=x"_s, u"no equals sign here"_s,
        u"  SRV=padded  "_s,  // blanks around the line go
        u"DESC=a=b"_s,
        u"MNT=/path=with=equals"_s,  // value keeps everything after the first "="
    }));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].file, u"http://lower"_s);
    EXPECT_EQ(rows[0].title, u"second"_s);
    EXPECT_EQ(rows[0].jobStop, QString());
    EXPECT_EQ(rows[1].file, u"http://padded/path=with=equals.m3u"_s);
}

TEST(LiveDoorParser, LineEndings) {
    const QStringList block = {u"SRV=h"_s, u"PRT=1"_s, u"NAM=N"_s, u"BIT=8 "_s};
    const Row expected{u"http://h:1"_s, u"N"_s, 3, QString(), u"8 kbps"_s, QString()};
    // CR LF, bare LF, and the CR CR LF that a CR LF listing becomes in the raw-text box.
    for (const QString& eol : {u"\r\n"_s, u"\n"_s, u"\r\r\n"_s}) {
        const auto rows = Parse(Lines(block, eol));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0], expected);
    }
    // Mixed: one CR LF anywhere makes CR LF the separator, so bare LFs stay inside lines.
    const auto mixed = Parse(u"NAM=x\nSRV=a\r\nSRV=b\nNAM=y\r\n"_s);
    ASSERT_EQ(mixed.size(), 1u);
    EXPECT_EQ(mixed[0].file, u"http://b\nNAM=y"_s);
}

TEST(LiveDoorParser, TextRoundTripRules) {
    // A leading byte-order mark goes; a NUL ends the listing.
    EXPECT_EQ(Parse(u"\uFEFFSRV=a\r\nNAM=x\r\n"_s).at(0).file, u"http://a"_s);
    QString withNul = u"SRV=a\r\nNAM=x\r\n"_s;
    withNul += QChar(u'\0');
    withNul += u"SRV=b\r\nNAM=y\r\n"_s;
    EXPECT_EQ(Parse(withNul).size(), 1u);
    // Japanese text survives as it stands.
    EXPECT_EQ(Parse(u"SRV=a\r\nNAM=東京ラジオ\r\nDJ=太郎\r\n"_s).at(0).title, u"東京ラジオ DJ:太郎"_s);
}

TEST(LiveDoorParser, NothingFromEmptyOneLineOrServerlessText) {
    EXPECT_TRUE(Parse(QString()).empty());
    EXPECT_TRUE(Parse(u"SRV=only-one-line"_s).empty());
    EXPECT_TRUE(Parse(Lines({u"NAM=a"_s, u"DJ=b"_s})).empty());
}

TEST(LiveDoorParser, TruncatedInsideABlock) {
    // The answer broke off in the middle of the second block's key.
    const auto rows = Parse(u"SRV=a\r\nNAM=one\r\nSRV=b\r\nNAM=tw"_s);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].title, u"tw"_s);
    EXPECT_EQ(Parse(u"SRV=a\r\nNA"_s).size(), 1u);
}

TEST(LiveDoorParser, TenMebibytesOfBlocks) {
    const QString block =
        u"SRV=host.example\r\nPRT=8000\r\nMNT=/m\r\nNAM=Name\r\nDJ=D\r\nBIT=128\r\nCLN=5\r\n"_s;
    QString listing;
    const qsizetype repeats = (10 << 20) / block.size() / 2 + 1;  // 10 MiB of UTF-16
    listing.reserve(block.size() * repeats);
    for (qsizetype k = 0; k < repeats; ++k)
        listing += block;
    clsSongArray list;
    ParseLiveDoorList(listing, list);
    ASSERT_EQ(list.ListCount(), repeats);
    EXPECT_EQ(list.File(static_cast<int>(repeats) - 1), u"http://host.example:8000/m.m3u"_s);
}

}  // namespace
}  // namespace wavelot::test
