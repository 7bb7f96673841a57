// The kept list files: what the reader makes of hostile files, and what a save then does to them.
#include "core/kept_list_file.h"
#include "core/list_files.h"
#include "core_test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;
using State = ListFileRead::State;
using test::ReadBytes;
using test::Utf16;

// Takes from this thread (capabilities are per thread on Linux), while it lives, the right to
// read files its permissions forbid, so a file of mode 0000 is unreadable to root too.
class ScopedNoReadOverride {
public:
    ScopedNoReadOverride() {
        if (syscall(SYS_capget, &header_, old_) != 0)
            return;
        __user_cap_data_struct now[2] = {old_[0], old_[1]};
        now[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = syscall(SYS_capset, &header_, now) == 0;
    }
    ~ScopedNoReadOverride() {
        if (active_)
            syscall(SYS_capset, &header_, old_);
    }
    bool active() const { return active_; }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct old_[2] = {};
    bool active_ = false;
};

QByteArray Text16(const QString& s) {
    return Utf16(s).mid(2);
}

TEST(KeptListFile, HostileFilesKeepWhatCouldBeReadAndAreOnlyWrittenWhenTheyMust) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    clsSongArray five;
    for (int i = 1; i <= 5; ++i)
        five.AddItem(
            {.file = u"http://s.test/"_s + QString::number(i), .title = u"電台 "_s + QString::number(i)});
    ASSERT_TRUE(WriteListIni(dir.filePath(u"five.ini"_s), five, false));
    const QByteArray whole = ReadBytes(dir.filePath(u"five.ini"_s));
    QByteArray zeroed = whole;
    const qsizetype file4 = whole.indexOf(Text16(u"File4="_s));
    zeroed.replace(file4, whole.size() - file4, QByteArray(whole.size() - file4, '\0'));
    QByteArray countTwo = whole;
    countTwo.replace(Text16(u"NumberOfEntries=5"_s), Text16(u"NumberOfEntries=2"_s));

    const struct {
        QString name;
        QByteArray bytes;  // empty: no file; "0000": the five as a file this process may not read
        State state;
        int added;
        QString last;  // the last address read
    } cases[] = {
        {u"cut.ini"_s, whole.left(whole.indexOf(Text16(u"Title5="_s)) + 18), State::Damaged, 5,
         u"http://s.test/5"_s},
        {u"zeroed.ini"_s, zeroed, State::Damaged, 3, u"http://s.test/3"_s},
        {u"count2.ini"_s, countTwo, State::Whole, 5, u"http://s.test/5"_s},
        {u"gaps.ini"_s,
         Utf16(u"[PlayList]\r\nFile1=http://a/\r\nFile2=http://b/\r\nFile20=http://t/\r\nFile3=http://c/\r\n"
               "File2000000000=http://z/\r\nNumberOfEntries=20\r\n"_s),
         State::Damaged, 5, u"http://z/"_s},
        {u"picture.ini"_s, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), State::Damaged, 0, {}},
        {u"utf8.ini"_s, "[PlayList]\r\nFile1=http://a/\r\nTitle1=Caf\xE9 \xFF\xFE\r\nNumberOfEntries=1\r\n",
         State::Whole, 1, u"http://a/"_s},
        {u"missing.ini"_s, {}, State::Missing, 0, {}},
        {u"locked.ini"_s, "0000", State::Unreadable, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString path = dir.filePath(c.name);
        const bool locked = c.bytes == "0000";
        ASSERT_TRUE(c.bytes.isEmpty() || test::WriteBytes(path, locked ? whole : c.bytes));
        ASSERT_TRUE(!locked || chmod(QFile::encodeName(path).constData(), 0) == 0);
        KeptListFile file(path, false);
        clsSongArray list;
        ListFileRead read;
        {
            ScopedNoReadOverride noOverride;
            ASSERT_TRUE(noOverride.active() || geteuid() != 0);
            read = file.Load(list);
        }
        EXPECT_EQ(read.state, c.state);
        EXPECT_EQ(read.added, c.added);
        EXPECT_EQ(list.File(list.ListCount() - 1), c.last);

        const QStringList backups = QDir(dir.path()).entryList({c.name + u".bak-*"_s});
        ASSERT_EQ(backups.size(), c.state == State::Damaged ? 1 : 0);
        EXPECT_EQ(file.Save(list), c.state != State::Unreadable);
        if (c.state == State::Damaged) {
            EXPECT_TRUE(QRegularExpression(u"^\\Q"_s + c.name + u"\\E\\.bak-\\d{6}_\\d{6}$"_s)
                            .match(backups[0])
                            .hasMatch());
            EXPECT_EQ(ReadBytes(dir.filePath(backups[0])), c.bytes);
            clsSongArray again;
            EXPECT_EQ(ReadListFile(path, false, again).state, State::Whole) << "written whole";
            EXPECT_EQ(again.ListCount(), c.added);
        } else if (c.state != State::Missing) {
            ASSERT_TRUE(!locked || chmod(QFile::encodeName(path).constData(), 0600) == 0);
            EXPECT_EQ(ReadBytes(path), locked ? whole : c.bytes)
                << "unchanged, or not to be read: not written";
        }
    }

    // A second damage the same day is written over without a second copy.
    const QString cut = dir.filePath(u"cut.ini"_s);
    ASSERT_TRUE(test::WriteBytes(cut, zeroed));
    KeptListFile again(cut, false);
    clsSongArray list;
    EXPECT_EQ(again.Load(list).state, State::Damaged);
    list.AddItem({.file = u"http://new/"_s});
    EXPECT_TRUE(again.Save(list));
    EXPECT_EQ(QDir(dir.path()).entryList({u"cut.ini.bak-*"_s}).size(), 1);
    EXPECT_NE(ReadBytes(cut), zeroed);
}

}  // namespace
}  // namespace wavelot
