#include "core/list_files.h"
#include "core/ini_file.h"
#include "core/kept_list_file.h"
#include "core/song_array.h"
#include "core/text_file.h"
#include "core_test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTime>

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::ReadBytes;
using test::Utf16;
using test::WriteBytes;

class ListFilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    ImportTargets Targets() { return {&favorites_, &jobs_}; }
    QTemporaryDir dir_;
    clsSongArray favorites_;
    clsSongArray jobs_;
};

void AddJob(clsSongArray& l, const QString& file, const QString& title, int code, const QString& comment,
            int mode, int type, const QString& start, const QString& stop, int run, int week) {
    l.AddItem({.file = file,
               .title = title,
               .code = code,
               .comment = comment,
               .jobMode = mode,
               .jobType = type,
               .jobStart = start,
               .jobStop = stop,
               .runJob = run,
               .weekMark = week});
}

void ExpectSameRecords(const clsSongArray& a, const clsSongArray& b, bool jobFields) {
    ASSERT_EQ(a.ListCount(), b.ListCount());
    for (int i = 0; i < a.ListCount(); ++i) {
        EXPECT_EQ(a.File(i), b.File(i)) << i;
        EXPECT_EQ(a.Title(i), b.Title(i)) << i;
        EXPECT_EQ(a.Code(i), b.Code(i)) << i;
        EXPECT_EQ(a.Comment(i), b.Comment(i)) << i;
        if (!jobFields)
            continue;
        EXPECT_EQ(a.JobMode(i), b.JobMode(i)) << i;
        EXPECT_EQ(a.JobType(i), b.JobType(i)) << i;
        EXPECT_EQ(a.JobStart(i), b.JobStart(i)) << i;
        EXPECT_EQ(a.JobStop(i), b.JobStop(i)) << i;
        EXPECT_EQ(a.RunJob(i), b.RunJob(i)) << i;
        EXPECT_EQ(a.WeekMark(i), b.WeekMark(i)) << i;
    }
}

TEST_F(ListFilesTest, FavoritesFileIsWrittenByteForByte) {
    clsSongArray list;
    AddJob(list, u"http://a.test/"_s, u"甲台"_s, 1, u"news"_s, 1, 1, u"x"_s, u"y"_s, 1, 2);
    AddJob(list, u"mms://b.test/"_s, u"B"_s, -2, QString(), 0, 0, QString(), QString(), 0, 0);
    const QString p = Path(u"Favorites.ini"_s);
    ASSERT_TRUE(WriteListIni(p, list, false));
    EXPECT_EQ(ReadBytes(p), Utf16(u"[PlayList]\r\n"
                                  "File1=http://a.test/\r\nTitle1=甲台\r\nCode1=1\r\nComment1=news\r\n\r\n"
                                  "File2=mms://b.test/\r\nTitle2=B\r\nCode2=-2\r\nComment2=\r\n\r\n"
                                  "NumberOfEntries=2\r\n"_s));
}

// A logo address is kept under a key of its own, only where there is one, and counts as a change.
TEST_F(ListFilesTest, LogoAddressRoundTripsWhereThereIsOne) {
    clsSongArray list;
    list.AddItem({.file = u"http://a.test/"_s, .title = u"A"_s, .logo = u"https://a.test/logo.png"_s});
    list.AddItem({.file = u"http://b.test/"_s, .title = u"B"_s});
    const QString p = Path(u"Favorites.ini"_s);
    ASSERT_TRUE(WriteListIni(p, list, false));
    EXPECT_TRUE(ReadBytes(p).contains(Utf16(u"Comment1=\r\nLogo1=https://a.test/logo.png\r\n\r\n"_s).mid(2)));
    EXPECT_FALSE(ReadBytes(p).contains(Utf16(u"Logo2"_s).mid(2)));
    ASSERT_EQ(ReadListIni(p, false, favorites_), 2);
    EXPECT_EQ(favorites_.Row(0), list.Row(0));
    EXPECT_EQ(favorites_.Row(1), list.Row(1));
    const QByteArray before = ListFingerprint(list, false);
    list.SetLogo(1, u"https://b.test/b.png"_s);
    EXPECT_NE(ListFingerprint(list, false), before);
}

TEST_F(ListFilesTest, EmptyListWritesHeaderAndCountOnly) {
    clsSongArray list;
    const QString p = Path(u"Favorites.ini"_s);
    ASSERT_TRUE(WriteListIni(p, list, false));
    EXPECT_EQ(ReadBytes(p), Utf16(u"[PlayList]\r\nNumberOfEntries=0\r\n"_s));
    EXPECT_EQ(ReadListIni(p, false, favorites_), 0);
}

TEST_F(ListFilesTest, JobListRoundTripsEveryField) {
    clsSongArray list;
    AddJob(list, u"http://a.test/stream?token="_s + QString(180, u'k'), QString(127, u'T'), 4,
           u"晨間 'news'"_s, 1, 1, u"07:00:00"_s, u"08:30:00"_s, 1, 2 + 4 + 128);
    AddJob(list, u"HTTPS://b.test/"_s, u"\"quoted\""_s, 0, u"  padded  "_s, 0, 2, u"23:59:59"_s,
           u"00:00:01"_s, 0, -1);
    const QString p = Path(u"RunJob.ini"_s);
    ASSERT_TRUE(WriteListIni(p, list, true));
    EXPECT_TRUE(QString::fromUtf16(reinterpret_cast<const char16_t*>(ReadBytes(p).constData() + 2))
                    .contains(u"JobMode1=1\r\nJobType1=1\r\nStrTime1=07:00:00\r\nStopTime1=08:30:00\r\n"
                              "RunJob1=1\r\nWeekMark1=134\r\n\r\n"_s));

    int rows = 0;
    EXPECT_EQ(ReadListIni(p, true, jobs_, [&] { ++rows; }), 2);
    EXPECT_EQ(rows, 2);
    // Values are unquoted and trimmed on reading, as the Windows program did; everything else,
    // including the 200-character address, comes back unchanged.
    list.SetTitle(1, u"quoted"_s);
    list.SetComment(1, u"padded"_s);
    ExpectSameRecords(list, jobs_, true);
}

// The settings reader cuts values at 127 characters; the list reader must not, or a long
// address or name would be damaged by every save and reload.
TEST_F(ListFilesTest, LongValuesSurviveSaveAndReload) {
    clsSongArray list;
    const QString address = u"http://a.test/"_s + QString(300, u'q');
    AddJob(list, address, QString(200, u'名'), 0, QString(150, u'c'), 0, 0, {}, {}, 0, 0);
    const QString p = Path(u"Favorites.ini"_s);
    ASSERT_TRUE(WriteListIni(p, list, false));
    ASSERT_EQ(ReadListIni(p, false, favorites_), 1);
    EXPECT_EQ(favorites_.File(0), address);
    EXPECT_EQ(favorites_.Title(0), QString(200, u'名'));
    EXPECT_EQ(favorites_.Comment(0), QString(150, u'c'));
}

TEST_F(ListFilesTest, ReaderAppendsAndSkipsNonStreamEntries) {
    const QString p = Path(u"mixed.ini"_s);
    ASSERT_TRUE(WriteBytes(p, Utf16(u"[playlist]\r\nnumberofentries=4\r\n"
                                    "FILE1=http://ok.test/\r\nTitle1=ok\r\nCode1=3\r\n"
                                    "File2=file:///etc/passwd\r\nTitle2=no\r\n"
                                    "File3=MMS://wm.test/\r\nCode3=abc\r\n"
                                    "File4=\r\n"_s)));
    favorites_.AddItem({.file = u"http://existing/"_s, .title = u"existing"_s});
    EXPECT_EQ(ReadListIni(p, false, favorites_), 2);
    ASSERT_EQ(favorites_.ListCount(), 3);
    EXPECT_EQ(favorites_.Title(0), u"existing"_s);
    EXPECT_EQ(favorites_.File(1), u"http://ok.test/"_s);
    EXPECT_EQ(favorites_.Code(1), 3);
    EXPECT_EQ(favorites_.File(2), u"MMS://wm.test/"_s);
    EXPECT_EQ(favorites_.Title(2), QString());  // missing key: empty text
    EXPECT_EQ(favorites_.Code(2), 0);           // not a number: 0, entry kept
}

TEST_F(ListFilesTest, BrokenJobFieldsReadZeroNotPreviousEntry) {
    const QString p = Path(u"jobs.ini"_s);
    ASSERT_TRUE(WriteBytes(
        p, Utf16(u"[PlayList]\r\n"
                 "File1=http://a/\r\nCode1=1\r\nJobMode1=1\r\nJobType1=1\r\nRunJob1=1\r\nWeekMark1=6\r\n"
                 "File2=http://b/\r\nCode2=x\r\nJobMode2=one\r\nWeekMark2=\r\n"
                 "NumberOfEntries=2\r\n"_s)));
    ASSERT_EQ(ReadListIni(p, true, jobs_), 2);
    EXPECT_EQ(jobs_.WeekMark(0), 6);
    EXPECT_EQ(jobs_.Code(1), 0);
    EXPECT_EQ(jobs_.JobMode(1), 0);
    EXPECT_EQ(jobs_.JobType(1), 0);
    EXPECT_EQ(jobs_.RunJob(1), 0);
    EXPECT_EQ(jobs_.WeekMark(1), 0);
}

TEST_F(ListFilesTest, HugeEntryCountDoesNotHang) {
    const QString p = Path(u"huge.ini"_s);
    ASSERT_TRUE(WriteBytes(p, "[PlayList]\r\nNumberOfEntries=2147483647\r\nFile1=http://a/\r\n"));
    EXPECT_EQ(ReadListIni(p, false, favorites_), 1);
    EXPECT_EQ(ReadListIni(Path(u"missing.ini"_s), false, favorites_), 0);
}

TEST_F(ListFilesTest, PlsFromOtherSoftwareImportsWithCodeZero) {
    const QString pls = test::CoreDataFile(u"other_software.pls"_s);
    EXPECT_EQ(ImportListFile(pls, kTabFavorites, Targets()), 2);
    ASSERT_EQ(favorites_.ListCount(), 2);
    EXPECT_EQ(favorites_.File(0), u"http://one.example.test:8000/"_s);
    EXPECT_EQ(favorites_.Title(0), u"(#1 - 12/500) One FM"_s);
    EXPECT_EQ(favorites_.Code(0), 0);
    EXPECT_EQ(favorites_.File(1), u"HTTPS://three.example.test/stream"_s);
    EXPECT_EQ(favorites_.Title(1), u"Three"_s);
    EXPECT_EQ(jobs_.ListCount(), 0);
}

TEST_F(ListFilesTest, M3uImportEdgeCases) {
    const QString m3u = test::CoreDataFile(u"playlist.m3u"_s);
    int rows = 0;
    EXPECT_EQ(ReadM3u(m3u, kTabFavorites, Targets(), [&] { ++rows; }), 4);
    EXPECT_EQ(rows, 4);
    ASSERT_EQ(favorites_.ListCount(), 4);
    EXPECT_EQ(favorites_.File(0), u"http://one.example.test/stream"_s);
    EXPECT_EQ(favorites_.Title(0), u"Radio One"_s);
    // An address without its own #EXTINF takes the most recent name.
    EXPECT_EQ(favorites_.File(1), u"http://one-backup.example.test/stream"_s);
    EXPECT_EQ(favorites_.Title(1), u"Radio One"_s);
    // Trimmed mms address; later commas kept; rtsp and drive paths ignored.
    EXPECT_EQ(favorites_.File(2), u"mms://live.example.test/wm"_s);
    EXPECT_EQ(favorites_.Title(2), u"Artist, Live"_s);
    // #EXTINF without a comma: the whole rest of the line is the name.
    EXPECT_EQ(favorites_.Title(3), u"0"_s);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(favorites_.Code(i), 0);
        EXPECT_EQ(favorites_.JobStart(i), QString());
    }
}

TEST_F(ListFilesTest, M3uAddressWithoutNameNamesItselfAndJobsGetTimes) {
    const QString p = Path(u"plain.m3u"_s);
    ASSERT_TRUE(WriteBytes(p, Utf16(u"#EXTM3U\r\nhttp://bare.test/\r\n"_s)));
    const QTime before = QTime::currentTime();
    EXPECT_EQ(ImportListFile(p, kTabJobs, Targets()), 1);
    const QTime after = QTime::currentTime();
    ASSERT_EQ(jobs_.ListCount(), 1);
    EXPECT_EQ(jobs_.Title(0), u"http://bare.test/"_s);
    const QTime start = QTime::fromString(jobs_.JobStart(0), u"hh:mm:ss"_s);
    ASSERT_TRUE(start.isValid()) << jobs_.JobStart(0).toStdString();
    EXPECT_EQ(jobs_.JobStop(0), jobs_.JobStart(0));
    if (before <= after) {  // not across midnight
        EXPECT_GE(start, before.addMSecs(-before.msec()));
        EXPECT_LE(start, after);
    }
    EXPECT_EQ(favorites_.ListCount(), 0);
}

TEST_F(ListFilesTest, OtherTabsAndExtensionsImportNothing) {
    const QString m3u = test::CoreDataFile(u"playlist.m3u"_s);
    const QString pls = test::CoreDataFile(u"other_software.pls"_s);
    EXPECT_EQ(ImportListFile(m3u, kTabSearch, Targets()), 0);
    EXPECT_EQ(ImportListFile(pls, kTabPlayLog, Targets()), 0);
    const QString txt = Path(u"list.txt"_s);
    ASSERT_TRUE(WriteBytes(txt, "http://a/\r\n"));
    EXPECT_EQ(ImportListFile(txt, kTabFavorites, Targets()), 0);
    EXPECT_EQ(favorites_.ListCount() + jobs_.ListCount(), 0);
}

TEST_F(ListFilesTest, ExportImportByExtension) {
    clsSongArray favs;
    AddJob(favs, u"http://one/"_s, u"One"_s, 2, u"first"_s, 0, 0, {}, {}, 0, 0);
    AddJob(favs, u"http://two/"_s, u"Two"_s, 3, u"second"_s, 0, 0, {}, {}, 0, 0);

    const QString ini = Path(u"Export.INI"_s);
    ASSERT_TRUE(ExportListFile(ini, favs, false));
    EXPECT_EQ(ImportListFile(ini, kTabFavorites, Targets()), 2);
    ExpectSameRecords(favs, favorites_, false);

    // Jobs exported as pls carry job fields; imported on the favourites tab they are dropped.
    clsSongArray jobs;
    AddJob(jobs, u"http://j/"_s, u"J"_s, 1, u"c"_s, 1, 1, u"01:00:00"_s, u"02:00:00"_s, 1, 2);
    const QString pls = Path(u"jobs.pls"_s);
    ASSERT_TRUE(ExportListFile(pls, jobs, true));
    EXPECT_EQ(ReadIni(u"playlist"_s, u"strtime1"_s, pls), u"01:00:00"_s);
    favorites_.Clear();
    EXPECT_EQ(ImportListFile(pls, kTabFavorites, Targets()), 1);
    EXPECT_EQ(favorites_.Comment(0), u"c"_s);
    EXPECT_EQ(favorites_.JobMode(0), 0);
    EXPECT_EQ(favorites_.JobStart(0), QString());
    EXPECT_EQ(favorites_.WeekMark(0), 0);
    EXPECT_EQ(ImportListFile(pls, kTabJobs, Targets()), 1);
    ExpectSameRecords(jobs, jobs_, true);

    // M3U keeps address, name and description.
    const QString m3u = Path(u"favs.m3u"_s);
    ASSERT_TRUE(ExportListFile(m3u, favs, false));
    EXPECT_EQ(ReadBytes(m3u), QByteArray("#EXTM3U\n#EXTINF:-1,One\n#EXTDESC:first\nhttp://one/\n"
                                         "#EXTINF:-1,Two\n#EXTDESC:second\nhttp://two/\n"));
    favorites_.Clear();
    EXPECT_EQ(ImportListFile(m3u, kTabFavorites, Targets()), 2);
    EXPECT_EQ(favorites_.Title(0), u"One"_s);
    EXPECT_EQ(favorites_.File(1), u"http://two/"_s);

    const QString txt = Path(u"favs.txt"_s);
    EXPECT_FALSE(ExportListFile(txt, favs, false));
    EXPECT_FALSE(QFile::exists(txt));
}

// The import command and file drops: a file that gives no stations leaves the list as it was
// and says why.
TEST_F(ListFilesTest, ImportIsAllOrNothingAndSaysWhy) {
    using Status = ListImport::Status;
    const QString big = Path(u"big.m3u"_s);
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(kTextFileSizeLimit));
    }
    const QString binary = Path(u"picture.pls"_s);
    ASSERT_TRUE(WriteBytes(binary, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)));
    ASSERT_TRUE(QDir(dir_.path()).mkdir(u"folder.ini"_s));
    const QString comments = Path(u"comments.m3u"_s);
    ASSERT_TRUE(WriteBytes(comments, "#EXTM3U\r\n#EXTINF:1,x\r\nrtsp://no.test/\r\n"));
    const struct {
        QString path;
        int tab;
        Status status;
        int added;
    } cases[] = {
        {Path(u"missing.ini"_s), kTabFavorites, Status::Unreadable, 0},
        {Path(u"folder.ini"_s), kTabFavorites, Status::Unreadable, 0},
        {big, kTabJobs, Status::TooLarge, 0},
        {binary, kTabFavorites, Status::NoStations, 0},
        {comments, kTabJobs, Status::NoStations, 0},
        {Path(u"list.txt"_s), kTabFavorites, Status::Ignored, 0},
        {test::CoreDataFile(u"other_software.pls"_s), kTabSearch, Status::Ignored, 0},
        {test::CoreDataFile(u"playlist.m3u"_s), kTabJobs, Status::Imported, 4},
    };
    for (const auto& c : cases) {
        int rows = 0;
        const ListImport r = ImportList(c.path, c.tab, Targets(), [&] { ++rows; });
        EXPECT_EQ(r.status, c.status) << c.path.toStdString();
        EXPECT_EQ(r.added, c.added) << c.path.toStdString();
        EXPECT_EQ(rows, c.added);
    }
    EXPECT_EQ(favorites_.ListCount(), 0);
    EXPECT_EQ(jobs_.ListCount(), 4);
}

TEST_F(ListFilesTest, FieldsWithLineBreaksCannotForgeEntries) {
    clsSongArray list;
    AddJob(list, u"http://a/"_s, u"x\r\nFile2=http://evil/\r\nNumberOfEntries=2"_s, 0, u"c\nd"_s, 0, 0, {},
           {}, 0, 0);
    const QString p = Path(u"Favorites.ini"_s);
    ASSERT_TRUE(WriteListIni(p, list, false));
    EXPECT_EQ(ReadListIni(p, false, favorites_), 1);
    EXPECT_EQ(favorites_.Comment(0), u"c d"_s);

    const QString m3u = Path(u"x.m3u"_s);
    ASSERT_TRUE(WriteM3u(m3u, list));
    favorites_.Clear();
    EXPECT_EQ(ReadM3u(m3u, kTabFavorites, Targets()), 1);
}

TEST_F(ListFilesTest, FailedListSaveKeepsOldFile) {
    const QString p = Path(u"Favorites.ini"_s);
    clsSongArray list;
    AddJob(list, u"http://a/"_s, u"A"_s, 0, {}, 0, 0, {}, {}, 0, 0);
    ASSERT_TRUE(WriteListIni(p, list, false));
    const QByteArray before = ReadBytes(p);
    for (int i = 0; i < 500; ++i)
        AddJob(list, u"http://b/"_s + QString::number(i), u"B"_s, 0, {}, 0, 0, {}, {}, 0, 0);
    {
        test::ScopedFileSizeLimit limit(2048);
        ASSERT_TRUE(limit.active());
        EXPECT_FALSE(WriteListIni(p, list, false));
        EXPECT_FALSE(WriteM3u(p, list));
    }
    EXPECT_EQ(ReadBytes(p), before);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{u"Favorites.ini"_s});
    EXPECT_FALSE(WriteListIni(Path(u"gone/Favorites.ini"_s), list, false));
}

}  // namespace
}  // namespace wavelot
