#include "core/path_utils.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(PathUtils, TextBefore) {
    EXPECT_EQ(TextBefore(u"128 kbps"_s, u" "_s), u"128"_s);
    EXPECT_EQ(TextBefore(u"a::b::c"_s, u"::"_s), u"a"_s);
    EXPECT_EQ(TextBefore(u"nothing"_s, u"|"_s), u"nothing"_s);
    EXPECT_EQ(TextBefore(u"Ab"_s, u"b"_s), u"A"_s);
    EXPECT_EQ(TextBefore(u"AB"_s, u"b"_s), u"AB"_s);  // code unit by code unit, not by case
}

TEST(PathUtils, WithBackslashAppendsFolderSeparator) {
    EXPECT_EQ(WithBackslash(u"/music/rec"_s), u"/music/rec/"_s);
    EXPECT_EQ(WithBackslash(u"/music/rec/"_s), u"/music/rec/"_s);
    EXPECT_EQ(WithBackslash(QString()), u"/"_s);
}

TEST(PathUtils, FileExtension) {
    EXPECT_EQ(FileExtension(u"/home/u/list.M3U"_s), u"M3U"_s);
    EXPECT_EQ(FileExtension(u"/home/u/list"_s), u"/home/u/list"_s);
    EXPECT_EQ(FileExtension(u"/home/a.b/list"_s), u"b/list"_s);
    EXPECT_EQ(FileExtension(u"x.tar.gz"_s), u"gz"_s);
    EXPECT_EQ(FileExtension(u"trailing."_s), QString());
}

TEST(PathUtils, CleanFileName) {
    EXPECT_EQ(CleanFileName(u"AC/DC: Live?"_s), u"ACDC Live"_s);
    EXPECT_EQ(CleanFileName(u"a:b/c\\d?e*f|g<h>i@j#k$l&m+n=o\"p"_s), u"abcdefghijklmnop"_s);
    EXPECT_EQ(CleanFileName(u"電台 (FM) 'x' 100%"_s), u"電台 (FM) 'x' 100%"_s);
    EXPECT_EQ(CleanFileName(u"a"_s + QChar(0) + u"b"_s), u"ab"_s);
    // Never the same or the parent folder.
    EXPECT_EQ(CleanFileName(u".."_s), QString());
    EXPECT_EQ(CleanFileName(u"./"_s), QString());
    EXPECT_EQ(CleanFileName(u"../.."_s), u"...."_s);
    EXPECT_EQ(CleanFileName(u"..."_s), u"..."_s);
}

TEST(PathUtils, CreateFolderAndPathExists) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString deep = dir.filePath(u"a/b/c"_s);
    EXPECT_FALSE(PathExists(deep));
    EXPECT_TRUE(CreateFolder(deep));
    EXPECT_TRUE(QFileInfo(deep).isDir());
    EXPECT_TRUE(PathExists(deep));
    EXPECT_TRUE(PathExists(deep + u'/'));
    EXPECT_TRUE(CreateFolder(deep + u'/'));  // existing: fine, unchanged

    const QString file = dir.filePath(u"f.txt"_s);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(PathExists(file));
    EXPECT_FALSE(CreateFolder(file));  // a file is in the way
    EXPECT_FALSE(CreateFolder(file + u"/sub"_s));
    EXPECT_FALSE(PathExists(QString()));
    EXPECT_FALSE(CreateFolder(QString()));
}

TEST(PathUtils, UserNameIsTheLoginName) {
    const QString name = UserName();
    EXPECT_FALSE(name.isEmpty());
    // Taken from the account database, not from an environment variable that may be missing.
    if (geteuid() == 0) {
        EXPECT_EQ(name, u"root"_s);
    }
}

TEST(PathUtils, WindowsPathFormsAreIdentity) {
    const QString p = u"//server/"_s + QString(300, u'x');
    EXPECT_EQ(LongPathForm(p, true), p);
    EXPECT_EQ(ShortPath(u"/tmp/a file"_s), u"/tmp/a file"_s);
}

}  // namespace
}  // namespace wavelot
