// Recording names and command lines as pure rules, and the in-place ID3v2 edit.
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

#include "engine/id3_tag.h"
#include "engine/record_files.h"

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

// Files the edit must leave as they are: it only takes apart what it fully understands. (That
// lame's own tags lose their length frame is shown by the recorder's tests.)
TEST(Id3Tag, FilesItCannotTakeApartSafelyAreLeftAlone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"f.mp3"_s);
    const auto tag = [](char major, char flags, const QByteArray& frames) {
        const char head[] = {'I', 'D', '3', major, 0, flags, 0, 0, 0, char(frames.size())};
        return QByteArray(head, 10) + frames;
    };
    const QByteArray tlen(
        "TLEN\0\0\0\x02\0\0\0"
        "1",
        12),
        tlenTooLong(
            "TLEN\0\0\0\x40\0\0\0"
            "1",
            12);
    for (const QByteArray& bytes :
         {QByteArray("no tag"), tag(3, char(0x80), tlen) /* unsynchronised */,
          tag(3, 0x40, tlen) /* extended header */, tag(2, 0, tlen) /* 2.2 */, tag(3, 0, tlenTooLong)}) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();
        EXPECT_FALSE(DropId3v2Frames(path, {"TLEN"}));
        f.open(QIODevice::ReadOnly);
        EXPECT_EQ(f.readAll(), bytes);
    }
}

}  // namespace
}  // namespace wavelot
