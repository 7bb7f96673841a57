// Recording names and command lines as pure rules, and the in-place ID3v2 edit.
#include <QDir>
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
    const QString fallback = u"F"_s;
    const struct {
        QString in;
        QString out;
    } cases[] = {
        {u"Rock/Pop FM"_s, u"RockPop FM"_s},
        {u"  AC\\DC: Live?  "_s, u"ACDC Live"_s},
        {QString(), fallback},
        {u"   "_s, fallback},
        {u"."_s, fallback},
        {u".."_s, fallback},
        {u" .. "_s, fallback},  // trimmed only after cleaning
        {u"/.."_s, fallback},
        {u"?*"_s, fallback},
        {QString::fromUtf16(u"a\0b", 3), u"ab"_s},
        {u"a\tb\nc\x7f"_s, u"abc"_s},
        {u"...x"_s, u"...x"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeName(c.in, fallback), c.out) << c.in.toStdString();
    EXPECT_EQ(StationFolderName(u".."_s), u"未命名電台"_s);
    EXPECT_EQ(SongFileBase(QString()), u"未命名歌曲"_s);
}

TEST(RecordFiles, LongNamesAreCutAtACharacterBoundary) {
    // Three-byte characters, surrogate pairs and a letter with a combining accent.
    const struct {
        QString unit;
        int unitBytes;
    } cases[] = {{u"長"_s, 3}, {QString::fromUtf16(u"\U0001F3B5"), 4}, {u"e\u0301"_s, 3}};
    for (const auto& c : cases) {
        const QString name = SafeName(c.unit.repeated(200), u"F"_s, 232);
        EXPECT_EQ(name, c.unit.repeated(232 / c.unitBytes)) << c.unit.toStdString();
    }
    EXPECT_LE(SongFileBase(u"長"_s.repeated(200)).toUtf8().size() + kSongSuffixBytes, kNameMaxBytes);
    EXPECT_LE(StationFolderName(u"長"_s.repeated(200)).toUtf8().size(), kNameMaxBytes);
    // A cut that ends in a space does not leave it at the end.
    EXPECT_EQ(SafeName(u"ab cd"_s, u"F"_s, 3), u"ab"_s);
}

TEST(RecordFiles, RecordingRootFallsBackToTheDefaultFolder) {
    EXPECT_EQ(RecordingRoot(QString(), u"/p/Recode/"_s, u"/p/"_s), u"/p/Recode/"_s);
    EXPECT_EQ(RecordingRoot(u"  "_s, u"/p/Recode/"_s, u"/p/"_s), u"/p/Recode/"_s);
    EXPECT_EQ(RecordingRoot(u"/music/rec"_s, u"/p/Recode/"_s, u"/p/"_s), u"/music/rec/"_s);
    EXPECT_EQ(RecordingRoot(u"/music//rec/"_s, u"/p/Recode/"_s, u"/p/"_s), u"/music/rec/"_s);
    EXPECT_EQ(RecordingRoot(u"mine"_s, u"/p/Recode/"_s, u"/p"_s), u"/p/mine/"_s);
}

TEST(RecordFiles, AnExistingFileGetsTheDateAndNeverIsWrittenOver) {
    const QDateTime now(QDate(2026, 12, 7), QTime(2, 15, 30));
    std::set<QString> present;
    const auto exists = [&](const QString& f) { return present.count(f) > 0; };
    EXPECT_EQ(ChooseRecordingFile(u"/r/S/"_s, u"Song"_s, now, exists), u"/r/S/Song.mp3"_s);
    present.insert(u"/r/S/Song.mp3"_s);
    EXPECT_EQ(ChooseRecordingFile(u"/r/S/"_s, u"Song"_s, now, exists), u"/r/S/Song_261207_021530_.mp3"_s);
    present.insert(u"/r/S/Song_261207_021530_.mp3"_s);
    EXPECT_EQ(ChooseRecordingFile(u"/r/S/"_s, u"Song"_s, now, exists), u"/r/S/Song_261207_021530_2.mp3"_s);
}

TEST(RecordFiles, BitRateTagsAndCommandLine) {
    const std::pair<int, QString> rates[] = {{0, u"32"_s},  {3, u"128"_s}, {4, u"192"_s},
                                             {6, u"320"_s}, {7, u"128"_s}, {-1, u"128"_s}};
    for (const auto& [index, rate] : rates)
        EXPECT_EQ(QualityBitrate(index), rate) << index;

    const struct {
        QString title, artist, song;
    } splits[] = {{u"A - B - C"_s, u"A"_s, u"B - C"_s},
                  {u"Song"_s, QString(), u"Song"_s},
                  {u"- T"_s, QString(), u"- T"_s}};
    for (const auto& s : splits) {
        const SongTags t = SplitSongTitle(s.title);
        EXPECT_EQ(t.artist, s.artist) << s.title.toStdString();
        EXPECT_EQ(t.title, s.song) << s.title.toStdString();
    }

    EXPECT_EQ(
        LameArguments(u"/usr/bin/lame"_s, u"/r/-x.mp3"_s, u"320"_s, {u"歌手"_s, u"歌"_s}, u"台"_s),
        (QStringList{u"/usr/bin/lame"_s, u"-"_s, u"/r/-x.mp3"_s, u"-b"_s, u"320"_s, u"--id3v2-only"_s,
                     u"--id3v2-utf16"_s, u"--tt"_s, u"歌"_s, u"--ta"_s, u"歌手"_s, u"--tl"_s, u"台"_s}));
    EXPECT_FALSE(
        LameArguments(u"lame"_s, u"f"_s, u"128"_s, {QString(), u"T"_s}, QString()).contains(u"--ta"_s));
}

QByteArray Frame(const char* id, const QByteArray& body, bool syncsafe) {
    QByteArray f(id);
    const quint32 n = quint32(body.size());
    if (syncsafe)
        f += char((n >> 21) & 0x7F), f += char((n >> 14) & 0x7F), f += char((n >> 7) & 0x7F),
            f += char(n & 0x7F);
    else
        f += char(n >> 24), f += char(n >> 16), f += char(n >> 8), f += char(n);
    return f + QByteArray(2, '\0') + body;
}

QByteArray Tag(int major, quint8 flags, const QByteArray& frames, int padding) {
    const quint32 n = quint32(frames.size() + padding);
    QByteArray t("ID3");
    t += char(major), t += '\0', t += char(flags);
    t += char((n >> 21) & 0x7F), t += char((n >> 14) & 0x7F), t += char((n >> 7) & 0x7F), t += char(n & 0x7F);
    return t + frames + QByteArray(padding, '\0');
}

TEST(Id3Tag, LengthFrameIsDroppedInPlaceAndTheRestKept) {
    QTemporaryDir dir;
    const QByteArray audio("\xFF\xFB\x90\x64 audio follows", 18);
    for (const int major : {3, 4}) {
        const bool ss = major == 4;
        const QByteArray title = Frame("TIT2", "\x01\xFF\xFEx\0", ss);
        const QByteArray album = Frame("TALB", "\x01\xFF\xFEy\0", ss);
        const QByteArray length = Frame("TLEN",
                                        QByteArray("\x00"
                                                   "4294967295",
                                                   11),
                                        ss);
        const QString path = dir.filePath(u"v%1.mp3"_s.arg(major));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Tag(major, 0, title + length + album, 0) + audio);
        f.close();

        ASSERT_TRUE(DropId3v2Frames(path, {"TLEN"})) << major;
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), Tag(major, 0, title + album, int(length.size())) + audio) << major;
        f.close();
        EXPECT_FALSE(DropId3v2Frames(path, {"TLEN"})) << "nothing left to drop";
    }
}

TEST(Id3Tag, FilesItCannotTakeApartSafelyAreLeftAlone) {
    QTemporaryDir dir;
    const QByteArray length = Frame("TLEN",
                                    QByteArray("\x00"
                                               "1",
                                               2),
                                    false);
    const QByteArray cases[] = {
        QByteArray("no tag at all"),
        Tag(3, 0x80, length, 0),                                           // unsynchronised
        Tag(3, 0x40, length, 0),                                           // extended header
        Tag(2, 0, length, 0),                                              // version 2.2
        Tag(3, 0, Frame("TLEN", QByteArray(40, 'x'), false).left(20), 0),  // frame longer than the tag
    };
    int i = 0;
    for (const QByteArray& bytes : cases) {
        const QString path = dir.filePath(QString::number(i++));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        EXPECT_FALSE(DropId3v2Frames(path, {"TLEN"})) << i;
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), bytes) << i;
    }
    EXPECT_FALSE(DropId3v2Frames(dir.filePath(u"missing"_s), {"TLEN"}));
}

}  // namespace
}  // namespace wavelot
