#include <gtest/gtest.h>

#include "directories/inlive_parser.h"
#include "tests/directories/row_matchers.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

struct Broadcast {
    QString address = u"http://bj.inlive.test/ch1"_s;
    QString name = u"방송"_s;
    QString genre = u" 발라드 "_s;
    QString dj = u" 민수 "_s;
    QString count = u" 12 "_s;
    bool withDj = true;
};

// One row of the ranking table.
QString Html(const Broadcast& b) {
    QString s = u"<tr>\n<td><div class=\"avar\"><a href=\""_s + b.address + u"\" target=_blank></a>"_s;
    if (b.withDj)
        s += u" <em>"_s + b.dj + u"</em>"_s;
    s += u"</div></td>\n<td><a href=\"javascript:listen(\"bs\", \""_s + b.name + u"\")\">listen</a>\n"_s +
         u"<dl><dd class=\"genre\">"_s + b.genre + u"</dd></dl>\n<p><em>"_s + b.count +
         u"</em>명</p></td>\n</tr>\n"_s;
    return s;
}

QString Page(const QString& rows) {
    return u"<html><body><table class=\"rank\">\n"_s + rows + u"</table></body></html>"_s;
}

struct Result {
    std::vector<Row> scratch, search;
    int notified = 0;
};

Result Parse(const QString& page) {
    clsSongArray scratch;
    clsSongArray search;
    Result r;
    ParseInLivePage(page, scratch, search, [&](int row) {
        EXPECT_EQ(row, r.notified);
        ++r.notified;
    });
    EXPECT_TRUE(JobFieldsZero(scratch));
    EXPECT_TRUE(JobFieldsZero(search));
    r.scratch = Rows(scratch);
    r.search = Rows(search);
    return r;
}

QString Numbered(int n) {
    QString rows;
    for (int k = 0; k < n; ++k) {
        Broadcast b;
        b.name = u"B"_s + QString::number(k);
        rows += Html(b);
    }
    return Page(rows);
}

TEST(InLiveParser, RowFields) {
    const Result r = Parse(Page(Html(Broadcast{})));
    const Row expected{
        u"http://bj.inlive.test/ch1/listen.pls"_s, u"방송 DJ:민수"_s, 4, u"발라드"_s, QString(), u"12"_s};
    EXPECT_EQ(r.scratch, std::vector<Row>{expected});
    EXPECT_EQ(r.search, std::vector<Row>{expected});
    EXPECT_EQ(r.notified, 1);
}

TEST(InLiveParser, KeepsOneScratchRowInThree) {
    const struct {
        int scratch;
        std::vector<QString> titles;
    } cases[] = {
        {0, {}},        {1, {u"B0"_s}},          {2, {u"B0"_s}},
        {3, {u"B0"_s}}, {4, {u"B0"_s, u"B3"_s}}, {7, {u"B0"_s, u"B3"_s, u"B6"_s}},
    };
    for (const auto& c : cases) {
        const Result r = Parse(Numbered(c.scratch));
        ASSERT_EQ(r.scratch.size(), static_cast<size_t>(c.scratch));
        ASSERT_EQ(r.search.size(), c.titles.size()) << c.scratch;
        for (size_t k = 0; k < c.titles.size(); ++k)
            EXPECT_EQ(r.search[k].title, c.titles[k] + u" DJ:민수"_s);
        EXPECT_EQ(r.notified, static_cast<int>(c.titles.size()));
    }
}

TEST(InLiveParser, BlockWithoutDjReusesThePreviousOne) {
    Broadcast first;
    Broadcast second;
    second.withDj = false;
    second.name = u"둘"_s;
    Broadcast lone;
    lone.withDj = false;
    const Result r = Parse(Page(Html(first) + Html(second)));
    ASSERT_EQ(r.scratch.size(), 2u);
    EXPECT_EQ(r.scratch[1].title, u"둘 DJ:민수"_s);
    // Before any DJ marker there is no DJ part at all.
    EXPECT_EQ(Parse(Page(Html(lone))).scratch.at(0).title, u"방송"_s);
}

TEST(InLiveParser, MarkersInCapitals) {
    const QString page =
        u"<TD><DIV CLASS=\"AVAR\"><A HREF=\"http://a.test\" TARGET=_BLANK></A> <EM>Dj</EM>"
        u"\"BS\", \"Name\" <DD CLASS=\"GENRE\">Pop</DD><P><EM>5</EM>"_s;
    EXPECT_EQ(
        Parse(page).search,
        (std::vector<Row>{{u"http://a.test/listen.pls"_s, u"Name DJ:Dj"_s, 4, u"Pop"_s, QString(), u"5"_s}}));
}

TEST(InLiveParser, EntitiesDecoded) {
    Broadcast b;
    b.name = u"Rock &amp; Roll"_s;
    b.genre = u"K&#45;Pop"_s;
    const Result r = Parse(Page(Html(b)));
    EXPECT_EQ(r.search.at(0).title, u"Rock & Roll DJ:민수"_s);
    EXPECT_EQ(r.search.at(0).comment, u"K-Pop"_s);
}

TEST(InLiveParser, TerminatorBeyondWindowKeepsPreviousValue) {
    Broadcast first;
    Broadcast second;
    second.address = QString(501, u'a');  // quote at offset 501
    second.name = QString(101, u'n');
    second.genre = QString(101, u'g');
    second.dj = QString(101, u'd');
    const Result r = Parse(Page(Html(first) + Html(second)));
    ASSERT_EQ(r.scratch.size(), 2u);
    EXPECT_EQ(r.scratch[1], r.scratch[0]);
    Broadcast third;
    third.count = QString(101, u'7');  // the row never closes
    EXPECT_EQ(Parse(Page(Html(first) + Html(third))).scratch.size(), 1u);
}

TEST(InLiveParser, EmptyTruncatedAndHugePages) {
    EXPECT_TRUE(Parse(QString()).scratch.empty());
    EXPECT_TRUE(Parse(u"<html>maintenance</html>"_s).search.empty());
    const QString page = Numbered(2);
    const qsizetype secondCount = page.lastIndexOf(u"<p><em>"_s);
    for (qsizetype cut = secondCount - 50; cut < page.size(); ++cut) {
        const Result r = Parse(page.left(cut));
        // The second row appears only once its listener text has its "<".
        ASSERT_EQ(r.scratch.size(), cut > secondCount + 7 + 4 ? 2u : 1u) << cut;
    }
    const QString block = Html(Broadcast{});
    QString huge;
    const qsizetype repeats = (10 << 20) / block.size() / 2 + 1;
    huge.reserve(block.size() * repeats);
    for (qsizetype k = 0; k < repeats; ++k)
        huge += block;
    clsSongArray scratch;
    clsSongArray search;
    ParseInLivePage(huge, scratch, search);
    EXPECT_EQ(scratch.ListCount(), repeats);
    EXPECT_EQ(search.ListCount(), (repeats + 2) / 3);
}

}  // namespace
}  // namespace wavelot::test
