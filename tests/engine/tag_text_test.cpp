// Tag blocks to text, channel texts, and the play-log export file.
#include "engine/tag_text.h"
#include "engine/channel_info.h"
#include "engine/play_log_export.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/song_array.h"

using namespace Qt::StringLiterals;

namespace wavelot {
namespace {

TEST(TagSeriesText, StopsAtTheEmptyStringAndJoinsWithCrLf) {
    const QByteArray block("ICY 200 OK\0icy-name:A\0icy-genre:B\0\0icy-name:after\0", 49);
    EXPECT_EQ(TagSeriesText(block, 0), u"ICY 200 OK\r\nicy-name:A\r\nicy-genre:B"_s);
}

TEST(TagSeriesText, UnterminatedBlockKeepsItsLastString) {
    EXPECT_EQ(TagSeriesText(QByteArray("a\0b", 3), 0), u"a\r\nb"_s);
    EXPECT_EQ(TagSeriesText(QByteArray(), 0), QString());
}

TEST(TagSeriesText, DecodesByStationCode) {
    // "中文" in Big5 and "日本" in Shift-JIS.
    const QByteArray big5("icy-name:\xA4\xA4\xA4\xE5\0\0", 15);
    EXPECT_EQ(TagSeriesText(big5, 1), u"icy-name:中文"_s);
    const QByteArray sjis("icy-name:\x93\xFA\x96\x7B\0\0", 15);
    EXPECT_EQ(TagSeriesText(sjis, 3), u"icy-name:日本"_s);
}

TEST(TagSeriesText, BrokenLeadByteDoesNotMergeLines) {
    // A Big5 lead byte right before the separator: the next line still stands on its own.
    const QByteArray block("icy-name:X\xA4\0icy-genre:Jazz\0\0", 28);
    const QString text = TagSeriesText(block, 1);
    EXPECT_TRUE(text.endsWith(u"\r\nicy-genre:Jazz"_s)) << text.toStdString();
}

TEST(TagStringText, TakesUpToTheFirstNul) {
    EXPECT_EQ(TagStringText(QByteArray("StreamTitle='x';\0\0junk", 22), 0), u"StreamTitle='x';"_s);
}

TEST(ChannelTexts, CountsAndTypes) {
    EXPECT_EQ(ChannelCountText(1), u"單聲道"_s);
    EXPECT_EQ(ChannelCountText(2), u"立體聲"_s);
    EXPECT_EQ(ChannelCountText(6), u"6 聲道"_s);
    EXPECT_EQ(StreamTypeName(audio::CTYPE_STREAM_OGG), u"Ogg Vorbis Audio Streams"_s);
    EXPECT_EQ(StreamTypeName(audio::CTYPE_STREAM_MP3), u"MPEG-1 Audio Layer 3 Audio Streams"_s);
    EXPECT_EQ(StreamTypeName(audio::CTYPE_STREAM_WMA), u"Windows Media Audio Streams"_s);
    EXPECT_EQ(StreamTypeName(audio::CTYPE_STREAM_AAC), u"Advanced Audio Coding and MPEG-4 Streams"_s);
    EXPECT_EQ(StreamTypeName(audio::CTYPE_STREAM_MP4), u"Advanced Audio Coding MPEG-4 Streams"_s);
    EXPECT_EQ(StreamTypeName(audio::CTYPE_STREAM_OPUS), u"未知"_s);
    EXPECT_EQ(StreamTypeName(0), u"未知"_s);
}

TEST(PlayLogExport, FileNameFollowsTheClock) {
    EXPECT_EQ(PlayLogExportFileName(QDateTime(QDate(2026, 12, 7), QTime(2, 15, 30))),
              u"20261207_021530_Playlist.txt"_s);
}

TEST(PlayLogExport, Utf16LeWithBomAndCrLf) {
    QTemporaryDir dir;
    clsSongArray log;
    for (const QString& line : {u"12:00:00: 連線至 Radio"_s, QString(), u"12:00:05: Song 歌"_s}) {
        log.AddItem({.file = line});
    }
    const QString path = dir.filePath(u"log.txt"_s);
    ASSERT_TRUE(ExportPlayLog(log, path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const QString expected = u"12:00:00: 連線至 Radio\r\n\r\n12:00:05: Song 歌\r\n"_s;
    QByteArray want("\xFF\xFE", 2);
    want.append(reinterpret_cast<const char*>(expected.utf16()), expected.size() * 2);
    EXPECT_EQ(bytes, want);
}

TEST(PlayLogExport, AfterClearOnlyNewLinesAndAnEmptyLogGivesABareFile) {
    QTemporaryDir dir;
    clsSongArray log;
    log.AddItem({.file = u"old"_s});
    log.Clear();
    const QString empty = dir.filePath(u"empty.txt"_s);
    ASSERT_TRUE(ExportPlayLog(log, empty));
    EXPECT_EQ(QFile(empty).size(), 2);
    log.AddItem({.file = u"new"_s});
    const QString one = dir.filePath(u"one.txt"_s);
    ASSERT_TRUE(ExportPlayLog(log, one));
    EXPECT_EQ(QFile(one).size(), 2 + 5 * 2);
}

TEST(PlayLogExport, UnwritableFolderFailsAndLeavesNothing) {
    QTemporaryDir dir;
    clsSongArray log;
    log.AddItem({.file = u"x"_s});
    const QString path = dir.filePath(u"no/such/folder/log.txt"_s);
    EXPECT_FALSE(ExportPlayLog(log, path));
    EXPECT_FALSE(QFile::exists(path));
}

TEST(PlayLogExport, MessageNamesThePathOnce) {
    EXPECT_EQ(PlayLogExportMessage(u"/opt/w/20261207_021530_Playlist.txt"_s),
              u"日誌以成功輸出至 /opt/w/20261207_021530_Playlist.txt"_s);
}

}  // namespace
}  // namespace wavelot
