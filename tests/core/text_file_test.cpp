#include "core/text_file.h"
#include "core/atomic_file.h"
#include "core_test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::ReadBytes;
using test::Utf16;
using test::WriteBytes;

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    bool Lines(const QByteArray& bytes, QStringList& out) {
        const QString p = Path(u"in.txt"_s);
        EXPECT_TRUE(WriteBytes(p, bytes));
        return ReadTextLines(p, out);
    }
    QTemporaryDir dir_;
};

TEST_F(TextFileTest, ReadsUtf16WithBom) {
    QStringList lines;
    ASSERT_TRUE(Lines(Utf16(u"第一\r\nsecond\r\nlast"_s), lines));
    EXPECT_EQ(lines, (QStringList{u"第一"_s, u"second"_s, u"last"_s}));
}

TEST_F(TextFileTest, TrailingCrLfYieldsEmptyLastLine) {
    QStringList lines;
    ASSERT_TRUE(Lines("a\r\nb\r\n", lines));
    EXPECT_EQ(lines, (QStringList{u"a"_s, u"b"_s, QString()}));
}

TEST_F(TextFileTest, ReadsUtf8WithoutBomAndDropsUtf8Bom) {
    QStringList lines;
    ASSERT_TRUE(Lines("\xE9\x9B\xBB\xE5\x8F\xB0\r\nx", lines));
    EXPECT_EQ(lines, (QStringList{u"電台"_s, u"x"_s}));
    ASSERT_TRUE(Lines("\xEF\xBB\xBF#EXTM3U\r\n", lines));
    EXPECT_EQ(lines.value(0), u"#EXTM3U"_s);
}

TEST_F(TextFileTest, LfOnlyAndLoneCrDoNotEndLines) {
    QStringList lines;
    ASSERT_TRUE(Lines("one\ntwo\rthree\nfour", lines));
    EXPECT_EQ(lines, QStringList{u"one\ntwo\rthree\nfour"_s});
}

TEST_F(TextFileTest, RejectsOddUtf16EmptyMissingAndTooLarge) {
    QStringList lines;
    EXPECT_FALSE(Lines(Utf16(u"abc"_s) + QByteArray("x"), lines));
    EXPECT_FALSE(Lines(QByteArray(), lines));
    EXPECT_FALSE(ReadTextLines(Path(u"missing.txt"_s), lines));
    EXPECT_FALSE(ReadTextLines(dir_.path(), lines));  // a folder

    QByteArray big(kTextFileSizeLimit, 'a');
    EXPECT_FALSE(Lines(big, lines));
    big.chop(1);  // one byte under the limit is accepted
    ASSERT_TRUE(Lines(big, lines));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].size(), kTextFileSizeLimit - 1);
}

TEST_F(TextFileTest, ReaderIsReusableAndReopeningReplacesBuffer) {
    TextFileReader r;
    QString line;
    EXPECT_FALSE(r.ReadTextLine(line));
    ASSERT_TRUE(WriteBytes(Path(u"a"_s), "1\r\n2"));
    ASSERT_TRUE(WriteBytes(Path(u"b"_s), "x"));
    ASSERT_TRUE(r.OpenTextFile(Path(u"a"_s)));
    ASSERT_TRUE(r.ReadTextLine(line));
    EXPECT_EQ(line, u"1"_s);
    ASSERT_TRUE(r.OpenTextFile(Path(u"b"_s)));
    ASSERT_TRUE(r.ReadTextLine(line));
    EXPECT_EQ(line, u"x"_s);
    EXPECT_FALSE(r.ReadTextLine(line));
    EXPECT_FALSE(r.OpenTextFile(Path(u"missing"_s)));
    EXPECT_FALSE(r.ReadTextLine(line));  // a failed open leaves nothing to read
}

TEST_F(TextFileTest, WriterWritesUtf16BomCrLfAndReplacesFile) {
    const QString p = Path(u"out.txt"_s);
    ASSERT_TRUE(WriteBytes(p, "old content that is longer than the new one"));
    TextFileWriter w;
    ASSERT_TRUE(w.CreateTextFile(p));
    w.WriteTextLine(u"播放"_s);
    w.WriteTextLine(QString());
    w.WriteTextLine(u"end"_s);
    ASSERT_TRUE(w.CloseTextFile());
    EXPECT_EQ(ReadBytes(p), Utf16(u"播放\r\n\r\nend\r\n"_s));
    EXPECT_FALSE(w.IsOpen());
    w.WriteTextLine(u"ignored"_s);  // no file open: nothing happens
    EXPECT_EQ(ReadBytes(p), Utf16(u"播放\r\n\r\nend\r\n"_s));

    // What the writer writes, the reader reads back.
    QStringList lines;
    ASSERT_TRUE(ReadTextLines(p, lines));
    EXPECT_EQ(lines, (QStringList{u"播放"_s, QString(), u"end"_s, QString()}));
}

TEST_F(TextFileTest, WriterNotClosedOrFailingKeepsOldFile) {
    const QString p = Path(u"keep.txt"_s);
    ASSERT_TRUE(WriteBytes(p, "precious"));
    {
        TextFileWriter w;
        ASSERT_TRUE(w.CreateTextFile(p));
        w.WriteTextLine(u"half"_s);
    }  // destroyed without CloseTextFile, as by an error path
    EXPECT_EQ(ReadBytes(p), QByteArray("precious"));

    bool created = false, closed = true;
    {
        test::ScopedFileSizeLimit limit(4096);
        ASSERT_TRUE(limit.active());
        TextFileWriter w;
        created = w.CreateTextFile(p);
        for (int i = 0; i < 2000; ++i)
            w.WriteTextLine(u"a line that will not fit"_s);
        closed = w.CloseTextFile();
    }

    EXPECT_TRUE(created);
    EXPECT_FALSE(closed);
    EXPECT_EQ(ReadBytes(p), QByteArray("precious"));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{u"keep.txt"_s});
}

TEST_F(TextFileTest, WriterCannotCreateInMissingFolder) {
    TextFileWriter w;
    EXPECT_FALSE(w.CreateTextFile(Path(u"none/x.txt"_s)));
    EXPECT_FALSE(w.IsOpen());
    EXPECT_FALSE(w.CloseTextFile());
}

}  // namespace
}  // namespace wavelot

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(AtomicFileTest, KeepsModeAndReplacesTheLinkedFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString real = dir.filePath(u"real.ini"_s);
    const QString link = dir.filePath(u"link.ini"_s);
    ASSERT_TRUE(test::WriteBytes(real, "old"));
    ASSERT_TRUE(QFile::setPermissions(real, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    ASSERT_TRUE(QFile::link(real, link));

    ASSERT_TRUE(WriteFileAtomically(link, "new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(test::ReadBytes(real), QByteArray("new"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(AtomicFileTest, KilledWriterLeavesOldFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(u"Favorites.ini"_s);
    ASSERT_TRUE(test::WriteBytes(target, "good"));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFile f;
        if (f.Open(target))
            f.Write(QByteArray(10000, 'x'));
        _exit(0);  // dies before Commit, as a killed program would
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(test::ReadBytes(target), QByteArray("good"));
}

// A killed save leaves "<target>.tmp-XXXXXX"; the next save (and the start-up) removes it, but
// never the file a save is writing at that moment.
TEST(AtomicFileTest, StaleTemporaryFilesGoALockedOneStays) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(u"Favorites.ini"_s);
    for (const char* name : {"Favorites.ini.tmp-aaaaaa", "Favorites.ini.tmp-bbbbbb", "Favorites.ini.tmp-x",
                             "RunJob.ini.tmp-cccccc"})
        ASSERT_TRUE(test::WriteBytes(dir.filePath(QString::fromLatin1(name)), "stale"));
    AtomicFile writing;
    ASSERT_TRUE(writing.Open(target));
    EXPECT_EQ(QDir(dir.path()).entryList({u"Favorites.ini.tmp-*"_s}, QDir::Files).size(), 2)
        << "opening removed both stale files of its target; the odd name stays, and its own";
    EXPECT_EQ(RemoveStaleTempFiles(target), 0) << "the file being written is locked";
    ASSERT_TRUE(writing.Write("new"));
    ASSERT_TRUE(writing.Commit());
    EXPECT_EQ(test::ReadBytes(target), QByteArray("new"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              (QStringList{u"Favorites.ini"_s, u"Favorites.ini.tmp-x"_s, u"RunJob.ini.tmp-cccccc"_s}));
    EXPECT_EQ(RemoveStaleTempFiles(dir.filePath(u"RunJob.ini"_s)), 1);
}

}  // namespace
}  // namespace wavelot
