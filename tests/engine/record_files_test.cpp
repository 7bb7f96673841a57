// Recording names and command lines as pure rules, and the tags of finished files.
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

#include "engine/record_files.h"
#include "tests/support/mp3_probe.h"

using namespace Qt::StringLiterals;

namespace wavelot {
namespace {

TEST(RecordFiles, SafeNamesNeverLeaveTheFolderNorComeOutEmpty) {
    const QStringList in{u"  AC\\DC: Live?  "_s, QString(), u"."_s, u" .. "_s, u"?*"_s, u"a\0b"_s,
                         u"a\tb\nc\x7f"_s,       u"...x"_s};
    const QStringList out{u"ACDC Live"_s, u"F"_s, u"F"_s, u"F"_s, u"F"_s, u"ab"_s, u"abc"_s, u"...x"_s};
    for (qsizetype i = 0; i < in.size(); ++i)
        EXPECT_EQ(SafeName(in[i], u"F"_s), out[i]) << in[i].toStdString();
    EXPECT_EQ(StationFolderName(u".."_s), u"未命名電台"_s);
    EXPECT_EQ(SongFileBase(QString()), u"未命名歌曲"_s);
    // Cut to whole characters: three-byte ones, surrogate pairs, a letter with its accent.
    const std::pair<QString, int> units[] = {{u"長"_s, 3}, {u"\U0001F3B5"_s, 4}, {u"e\u0301"_s, 3}};
    for (const auto& [unit, bytes] : units)
        EXPECT_EQ(SafeName(unit.repeated(200), u"F"_s, 232), unit.repeated(232 / bytes)) << bytes;
    EXPECT_EQ(SafeName(u"ab cd"_s, u"F"_s, 3), u"ab"_s);
}

TEST(RecordFiles, FolderAndFileChoice) {
    EXPECT_EQ(RecordingRoot(u"  "_s, u"/p/Recode/"_s, u"/p/"_s), u"/p/Recode/"_s);
    EXPECT_EQ(RecordingRoot(u"mine"_s, u"/p/Recode/"_s, u"/p"_s), u"/p/mine/"_s);

    std::set<QString> present;
    const auto choose = [&] {
        const QString f =
            ChooseRecordingFile(u"/r/"_s, u"S"_s, QDateTime(QDate(2026, 12, 7), QTime(2, 15, 30)),
                                [&](const QString& p) { return present.count(p) > 0; });
        present.insert(f);
        return f;
    };
    EXPECT_EQ(choose(), u"/r/S.mp3"_s);
    EXPECT_EQ(choose(), u"/r/S_261207_021530_.mp3"_s);
    EXPECT_EQ(choose(), u"/r/S_261207_021530_2.mp3"_s) << "never written over";
}

TEST(RecordFiles, QualityOutsideTheListRecordsAt128AndTitlesSplitAtTheFirstDash) {
    EXPECT_EQ(QualityBitrate(7), u"128"_s);
    EXPECT_EQ(QualityBitrate(-1), u"128"_s);
    EXPECT_EQ(SplitSongTitle(u"A - B - C"_s).artist, u"A"_s);
    EXPECT_EQ(SplitSongTitle(u"A - B - C"_s).title, u"B - C"_s);
}

// lame's file tagged once it is finished: every field read back by FFmpeg, texts of every code
// page the stations use intact, lame's length frame gone, and the ID3 version common players read.
TEST(RecordingTags, LameFilesReadBackWithEveryField) {
    QTemporaryDir dir;
    const QString wav = dir.filePath(u"a.wav"_s), mp3 = dir.filePath(u"a.mp3"_s);
    QProcess p;
    p.start(u"ffmpeg"_s, {u"-loglevel"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=duration=15"_s,
                          u"-ac"_s, u"2"_s, wav});
    ASSERT_TRUE(p.waitForFinished(20000) && p.exitCode() == 0);
    const QStringList lame = LameArguments(u"lame"_s, mp3, u"128"_s);
    p.setStandardInputFile(wav);
    p.start(lame[0], lame.mid(1));
    ASSERT_TRUE(p.waitForFinished(20000) && p.exitCode() == 0);
    const qint64 lameSize = QFileInfo(mp3).size();

    const std::pair<QString, QString> songs[] = {// title, artist
                                                 {u"周杰倫 - 晴天"_s, u"周杰倫"_s},
                                                 {u"王菲 - 红豆"_s, u"王菲"_s},
                                                 {u"宇多田ヒカル - First Love"_s, u"宇多田ヒカル"_s},
                                                 {u"아이유 - 좋은 날"_s, u"아이유"_s},
                                                 {u"無名曲"_s, QString()}};
    for (const auto& [song, artist] : songs) {
        const QString file = dir.filePath(song + u".mp3"_s);
        ASSERT_TRUE(QFile::copy(mp3, file));
        ASSERT_TRUE(WriteRecordingTags(
            file, SongFileTags(song, u"電台 FM"_s, u"http://h/串流"_s, QDate(2026, 3, 9))));
        const test::AudioFacts f = test::ProbeAudio(file);
        EXPECT_EQ(f.tags.value(u"artist"_s).toString(), artist) << song.toStdString();
        EXPECT_EQ(f.tags.value(u"title"_s).toString(), SplitSongTitle(song).title);
        EXPECT_EQ(f.tags.value(u"album"_s).toString(), u"電台 FM"_s);
        EXPECT_EQ(f.tags.value(u"comment"_s).toString(), u"http://h/串流"_s);
        EXPECT_TRUE(f.tags.value(u"date"_s).toString().startsWith(u"2026"_s))
            << f.tags.value(u"date"_s).toString().toStdString();
        EXPECT_FALSE(f.tags.contains(u"TLEN"_s));
        // TagLib keeps padding up to a hundredth of the file: 15 s leave room for lame's.
        EXPECT_EQ(QFileInfo(file).size(), lameSize) << "the tag fits the room lame left";
        QFile read(file);
        ASSERT_TRUE(read.open(QIODevice::ReadOnly));
        EXPECT_EQ(read.read(4), QByteArray("ID3\x03")) << "ID3v2.3";
    }
    EXPECT_FALSE(WriteRecordingTags(dir.filePath(u"missing.mp3"_s), {.title = u"x"_s}));

    // The station's logo as front cover in every container; a file that is no PNG gives none.
    const auto ffmpeg = [&p](const QString& input, const QString& out) {
        p.start(u"ffmpeg"_s, {u"-loglevel"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, input, u"-frames:v"_s,
                              u"1"_s, u"-t"_s, u"1"_s, out});
        return p.waitForFinished(20000) && p.exitCode() == 0;
    };
    const QString logo = dir.filePath(u"logo.png"_s);
    ASSERT_TRUE(ffmpeg(u"color=c=red:s=16x16"_s, logo));
    const std::pair<QString, QString> covers[] = {
        {u"c.mp3"_s, logo}, {u"c.m4a"_s, logo}, {u"c.opus"_s, logo}, {u"c.ogg"_s, logo}, {u"n.mp3"_s, wav}};
    for (const auto& [name, cover] : covers) {
        const QString file = dir.filePath(name);
        ASSERT_TRUE(name.endsWith(u".mp3"_s) ? QFile::copy(mp3, file) : ffmpeg(u"sine=duration=1"_s, file));
        ASSERT_TRUE(WriteRecordingTags(file, {.title = u"晴天"_s, .cover = cover})) << name.toStdString();
        p.start(u"ffprobe"_s, {u"-v"_s, u"error"_s, u"-of"_s, u"csv=p=0"_s, u"-show_entries"_s,
                               u"stream=codec_name:stream_disposition=attached_pic:stream_tags=title:"
                               u"format_tags=title"_s,
                               file});
        ASSERT_TRUE(p.waitForFinished(20000));
        const QString probed = QString::fromUtf8(p.readAllStandardOutput());
        EXPECT_EQ(probed.contains(u"png,1"_s), cover == logo) << name.toStdString();
        EXPECT_TRUE(probed.contains(u"晴天"_s)) << probed.toStdString();
    }
}

}  // namespace
}  // namespace wavelot
