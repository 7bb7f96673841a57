// Play lists exchanged with other programs: their encodings and line ends, round trips, and
// stations the list already has.
#include "core/list_files.h"
#include "core/song_array.h"
#include "core_test_util.h"

#include <gtest/gtest.h>

#include <QStringEncoder>
#include <QTemporaryDir>

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(PlaylistExchange, ImportsEveryEncodingLineEndAndExtension) {
    QTemporaryDir dir;
    const QString m3u = u"#EXTM3U\n#EXTINF:-1,甲台\nhttp://a.test/\n#EXTINF:-1, B \nhttp://b.test/\n"_s;
    const QString pls = u"[playlist]\nFile1=http://a.test/\nTitle1=甲台\nFile2=http://b.test/\nTitle2=B\n"_s;
    for (const char* bom : {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"})
        for (const QString& eol : {u"\n"_s, u"\r\n"_s, u"\r"_s})
            for (const QString& ext : {u"m3u"_s, u"m3u8"_s, u"pls"_s}) {
                const QString text = QString(ext == u"pls"_s ? pls : m3u).replace(u'\n', eol);
                const QByteArray mark(bom);
                QStringEncoder e(mark == "\xFF\xFE"   ? QStringEncoder::Utf16LE
                                 : mark == "\xFE\xFF" ? QStringEncoder::Utf16BE
                                                      : QStringEncoder::Utf8);
                const QString path = dir.filePath(u"list."_s + ext);
                ASSERT_TRUE(test::WriteBytes(path, mark + QByteArray(e(text))));
                clsSongArray list;
                EXPECT_EQ(ImportList(path, kTabFavorites, {&list}).added, 2)
                    << path.toStdString() << mark.size();
                EXPECT_EQ(list.Title(0) + list.Title(1) + list.File(1), u"甲台Bhttp://b.test/"_s);
            }
}

TEST(PlaylistExchange, ExportThenImportGivesTheSameStations) {
    QTemporaryDir dir;
    clsSongArray list;
    list.AddItem(
        {.file = u"http://a.test/"_s, .title = u"甲台, 新聞"_s, .code = 1, .comment = u"早上 新聞"_s});
    list.AddItem({.file = u"http://b.test/"_s, .title = u"B"_s});
    for (const QString& ext : {u"m3u"_s, u"m3u8"_s, u"pls"_s, u"ini"_s}) {
        const QString path = dir.filePath(u"out."_s + ext);
        ASSERT_TRUE(ExportListFile(path, list, false));
        // Other players read UTF-8; the program's own format stays UTF-16LE.
        EXPECT_EQ(test::ReadBytes(path).startsWith("\xFF\xFE"), ext == u"ini"_s) << ext.toStdString();
        clsSongArray read;
        ASSERT_EQ(ImportList(path, kTabFavorites, {&read}).added, 2);
        for (int i = 0; i < 2; ++i) {
            StationRow expected = list.Row(i);
            expected.code = ext.startsWith(u"m3u"_s) ? 0 : expected.code;  // M3U has no code page
            EXPECT_EQ(read.Row(i), expected) << ext.toStdString() << " " << i;
        }
    }
}

TEST(PlaylistExchange, StationsAlreadyThereAreCountedNotAdded) {
    QTemporaryDir dir;
    clsSongArray favorites, jobs, jobFile;
    favorites.AddItem({.file = u"http://a.test/"_s});
    const QString m3u = dir.filePath(u"dup.m3u"_s), ini = dir.filePath(u"jobs.ini"_s);
    ASSERT_TRUE(test::WriteBytes(m3u, "http://a.test/\nhttp://b.test/\nhttp://b.test/\nhttp://c.test/\n"));
    const ListImport r = ImportList(m3u, kTabFavorites, {&favorites});
    EXPECT_EQ(std::pair(r.added, r.already), std::pair(2, 2));
    EXPECT_EQ(favorites.ListCount(), 3);
    // One station at two times stays two jobs, but the same job is not added twice.
    for (const char* start : {"07:00:00", "19:00:00"})
        jobFile.AddItem({.file = u"http://a.test/"_s, .jobStart = QString::fromLatin1(start)});
    ASSERT_TRUE(ExportListFile(ini, jobFile, true));
    for (const int added : {2, 0})
        EXPECT_EQ(ImportList(ini, kTabJobs, {nullptr, &jobs}).added, added);
    EXPECT_EQ(ImportList(m3u, kTabJobs, {nullptr, &jobs}).added, 2) << "b and c; a is there";
}

}  // namespace
}  // namespace wavelot
