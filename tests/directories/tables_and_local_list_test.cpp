#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "core/ini_file.h"
#include "directories/directory_config.h"
#include "directories/directory_tables.h"
#include "directories/radio_list.h"
#include "tests/directories/row_matchers.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

QByteArray Utf16LeWithBom(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

TEST(LocalStationList, LinesBecomeRows) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Radio.txt"_s);
    ASSERT_TRUE(WriteFile(path, Utf16LeWithBom(u"中廣新聞網\thttp://a.test/live.mp3\r\n"
                                               u"\r\n"  // empty: no address
                                               u"no tab on this line\r\n"
                                               u"警廣\thttp://b.test/x\tignored third field\r\n"
                                               u"last line\thttp://c.test/"_s)));  // no final CR LF
    clsSongArray list;
    int notified = 0;
    ASSERT_TRUE(LoadRadioList(path, list, [&](int row) { EXPECT_EQ(row, notified++); }));
    EXPECT_EQ(Rows(list), (std::vector<Row>{{u"http://a.test/live.mp3"_s, u"中廣新聞網"_s, 0, {}, {}, {}},
                                            {u"http://b.test/x"_s, u"警廣"_s, 0, {}, {}, {}},
                                            {u"http://c.test/"_s, u"last line"_s, 0, {}, {}, {}}}));
    EXPECT_EQ(notified, 3);
    EXPECT_TRUE(JobFieldsZero(list));
}

TEST(LocalStationList, Utf8FileAndMissingFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Radio.txt"_s);
    ASSERT_TRUE(WriteFile(path, u"飛碟電台\thttp://u.test/\r\n"_s.toUtf8()));
    clsSongArray list;
    ASSERT_TRUE(LoadRadioList(path, list));
    EXPECT_EQ(list.Title(0), u"飛碟電台"_s);
    clsSongArray none;
    EXPECT_FALSE(LoadRadioList(dir.filePath(u"missing.txt"_s), none));
    EXPECT_EQ(none.ListCount(), 0);
}

TEST(DirectoryTables, GenreKeysAndDirectories) {
    EXPECT_EQ(GenreQueryKey(0), u"top"_s);
    EXPECT_EQ(GenreQueryKey(7), u"new age"_s);
    EXPECT_EQ(GenreQueryKey(18), u"R%26B"_s);
    EXPECT_EQ(GenreQueryKey(27), u"game"_s);
    EXPECT_EQ(GenreQueryKey(-1), QString());
    EXPECT_EQ(GenreQueryKey(28), QString());
    EXPECT_EQ(QString::fromUtf16(kDirectories[4].shown), u"韓國 - InLive "_s);
    EXPECT_EQ(DirectoryFromCliName(u"inlive"_s), 4);
    EXPECT_EQ(DirectoryFromCliName(u"local"_s), 3);
    EXPECT_EQ(DirectoryFromCliName(u"SHOUTcast"_s), -1);
}

TEST(DirectoryTables, ColumnLayouts) {
    ColumnLayout l{};
    ASSERT_TRUE(ColumnLayoutFor(0, false, &l));
    EXPECT_EQ(Column0Width(641, l), 469);  // (641 - 45 - 65) / 7 * 6.1 + 6 = 468.73
    ASSERT_TRUE(ColumnLayoutFor(4, true, &l));
    EXPECT_EQ(l.column2, 0);
    EXPECT_EQ(l.adjustment, 14);
    ASSERT_TRUE(ColumnLayoutFor(4, false, &l));
    EXPECT_EQ(l.adjustment, -5);
    ASSERT_TRUE(ColumnLayoutFor(3, false, &l));
    EXPECT_EQ(l.column1 + l.column2 + l.column3, 0);
    ColumnLayout shoutcast{};
    ASSERT_TRUE(ColumnLayoutFor(0, true, &shoutcast));
    ASSERT_TRUE(ColumnLayoutFor(static_cast<int>(Directory::RadioBrowser), true, &l));
    EXPECT_EQ(l.column2, shoutcast.column2);  // Radio-Browser rows are laid out as SHOUTcast's
    EXPECT_EQ(l.adjustment, shoutcast.adjustment);
    EXPECT_FALSE(ColumnLayoutFor(kDirectoryCount, false, &l));
    EXPECT_FALSE(ColumnLayoutFor(-1, true, &l));
    // Halves go to the even neighbour.
    EXPECT_EQ(Column0Width(7, ColumnLayout{0, 0, 0, 0}), 6);     // 6.1
    EXPECT_EQ(Column0Width(35, ColumnLayout{0, 0, 0, 0}), 30);   // 30.5 -> 30
    EXPECT_EQ(Column0Width(105, ColumnLayout{0, 0, 0, 0}), 92);  // 91.5 -> 92
}

TEST(DirectoryConfig, DefaultsAndOverrides) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"Setting.ini"_s);
    const DirectoryConfig defaults = LoadDirectoryConfig(ini);
    EXPECT_EQ(defaults.shoutcastHost, directory_keys::kDefaultShoutcastHost);
    EXPECT_EQ(defaults.icecastBase, directory_keys::kDefaultIcecastBase);

    ASSERT_TRUE(
        WriteIni(directory_keys::kSection, directory_keys::kShoutcastHost, u"http://127.0.0.1:9/"_s, ini));
    ASSERT_TRUE(
        WriteIni(directory_keys::kSection, directory_keys::kShoutcastKeys[1], u"abcdefgh_1234567"_s, ini));
    ASSERT_TRUE(
        WriteIni(directory_keys::kSection, directory_keys::kInLiveHost, u"http://127.0.0.1:10"_s, ini));
    const DirectoryConfig c = LoadDirectoryConfig(ini);
    EXPECT_EQ(c.shoutcastHost, u"http://127.0.0.1:9"_s);  // trailing slash dropped
    EXPECT_EQ(c.shoutcastKeys[1], u"abcdefgh_1234567"_s);
    EXPECT_EQ(c.shoutcastKeys[0], defaults.shoutcastKeys[0]);
    EXPECT_EQ(c.inLiveHost, u"http://127.0.0.1:10"_s);
    EXPECT_EQ(c.liveDoorHost, defaults.liveDoorHost);
}

}  // namespace
}  // namespace wavelot::test
