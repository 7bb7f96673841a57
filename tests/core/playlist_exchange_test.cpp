// Play lists exchanged with other programs: the encodings and line ends they write, export and
// import back without a change, and stations the list already has.
#include "core/list_files.h"
#include "core/song_array.h"
#include "core_test_util.h"

#include <gtest/gtest.h>

#include <QStringEncoder>
#include <QTemporaryDir>

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::ReadBytes;
using test::WriteBytes;

class PlaylistExchangeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    ImportTargets Targets() { return {&favorites_, &jobs_}; }
    QTemporaryDir dir_;
    clsSongArray favorites_;
    clsSongArray jobs_;
};

QByteArray Encode(const QString& text, const char* encoding) {
    const QByteArray name(encoding);
    if (name == "utf-8")
        return text.toUtf8();
    if (name == "utf-8 bom")
        return "\xEF\xBB\xBF" + text.toUtf8();
    QStringEncoder e(name == "utf-16le" ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE);
    return (name == "utf-16le" ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF")) + QByteArray(e(text));
}

TEST_F(PlaylistExchangeTest, ImportsEveryEncodingLineEndAndExtension) {
    const QString m3u = u"#EXTM3U\n#EXTINF:-1,甲台\nhttp://a.test/\n#EXTINF:-1, Radio B \nhttp://b.test/\n"_s;
    const QString pls =
        u"[playlist]\nFile1=http://a.test/\nTitle1=甲台\nFile2=http://b.test/\n"
        "Title2=Radio B\nNumberOfEntries=2\n"_s;
    for (const char* encoding : {"utf-8", "utf-8 bom", "utf-16le", "utf-16be"})
        for (const auto& [eol, eolName] : {std::pair{u"\n"_s, "LF"}, {u"\r\n"_s, "CR LF"}, {u"\r"_s, "CR"}})
            for (const QString& ext : {u"m3u"_s, u"m3u8"_s, u"pls"_s}) {
                const std::string what = std::string(encoding) + ", " + eolName + ", " + ext.toStdString();
                QString text = ext == u"pls"_s ? pls : m3u;
                text.replace(u'\n', eol);
                const QString path = Path(u"list."_s + ext);
                ASSERT_TRUE(WriteBytes(path, Encode(text, encoding)));
                favorites_.Clear();
                const ListImport r = ImportList(path, kTabFavorites, Targets());
                EXPECT_EQ(r.added, 2) << what;
                ASSERT_EQ(favorites_.ListCount(), r.added) << what;
                EXPECT_EQ(favorites_.Title(0), u"甲台"_s) << what;
                EXPECT_EQ(favorites_.File(1), u"http://b.test/"_s) << what;
                EXPECT_EQ(favorites_.Title(1), u"Radio B"_s) << what;
            }
}

TEST_F(PlaylistExchangeTest, ExportAndImportGiveTheSameStations) {
    clsSongArray list;
    list.AddItem(
        {.file = u"http://a.test/"_s, .title = u"甲台, 新聞"_s, .code = 1, .comment = u"早上 新聞"_s});
    list.AddItem({.file = u"http://b.test/"_s, .title = u"B"_s});
    for (const QString& ext : {u"m3u"_s, u"m3u8"_s, u"pls"_s, u"ini"_s}) {
        const QString path = Path(u"out."_s + ext);
        ASSERT_TRUE(ExportListFile(path, list, false));
        // Other players read UTF-8; the program's own format stays UTF-16LE.
        EXPECT_EQ(ReadBytes(path).startsWith("\xFF\xFE"), ext == u"ini"_s) << ext.toStdString();
        favorites_.Clear();
        EXPECT_EQ(ImportList(path, kTabFavorites, Targets()).added, 2);
        ASSERT_EQ(favorites_.ListCount(), 2);
        for (int i = 0; i < 2; ++i) {
            StationRow expected = list.Row(i);
            if (ext.startsWith(u"m3u"_s))
                expected.code = 0;  // M3U has no place for the code page
            EXPECT_EQ(favorites_.Row(i), expected) << ext.toStdString() << " " << i;
        }
    }
}

TEST_F(PlaylistExchangeTest, StationsAlreadyThereAreCountedNotAdded) {
    favorites_.AddItem({.file = u"http://a.test/"_s, .title = u"A"_s});
    const QString m3u = Path(u"dup.m3u"_s);
    ASSERT_TRUE(WriteBytes(m3u, "http://a.test/\nhttp://b.test/\nhttp://b.test/\nhttp://c.test/\n"));
    const ListImport r = ImportList(m3u, kTabFavorites, Targets());
    EXPECT_EQ(r.status, ListImport::Status::Imported);
    EXPECT_EQ(r.added, 2);
    EXPECT_EQ(r.already, 2);
    ASSERT_EQ(favorites_.ListCount(), 3);
    EXPECT_EQ(favorites_.File(2), u"http://c.test/"_s);

    // A job list keeps one station at two times as two jobs, but not the same job twice.
    clsSongArray jobs;
    jobs.AddItem({.file = u"http://a.test/"_s, .jobStart = u"07:00:00"_s, .jobStop = u"08:00:00"_s});
    jobs.AddItem({.file = u"http://a.test/"_s, .jobStart = u"19:00:00"_s, .jobStop = u"20:00:00"_s});
    const QString ini = Path(u"jobs.ini"_s);
    ASSERT_TRUE(ExportListFile(ini, jobs, true));
    for (const int expectAdded : {2, 0}) {
        const ListImport j = ImportList(ini, kTabJobs, Targets());
        EXPECT_EQ(j.added, expectAdded);
        EXPECT_EQ(j.already, 2 - expectAdded);
    }
    EXPECT_EQ(jobs_.ListCount(), 2);
    EXPECT_EQ(ImportList(m3u, kTabJobs, Targets()).added, 2) << "b and c; a is there at some time";
}

}  // namespace
}  // namespace wavelot
