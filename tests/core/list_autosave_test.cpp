// The kept lists written a few seconds after each announced change, and never after Stop. (The
// application object is runtime_test.cpp's.)
#include "core/list_autosave.h"
#include "core/list_files.h"
#include "core/station_lists.h"
#include "core_test_util.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;

int Saved(const QString& path) {
    clsSongArray list;
    return QFileInfo::exists(path) ? ReadListIni(path, false, list) : -1;
}

void RunFor(int ms, const std::function<void()>& each = {}) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (each)
            each();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
}

TEST(ListAutosave, WritesAfterAQuietSecondOrThreeSecondsOfChangesAndNotAfterStop) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString favorites = dir.filePath(u"Favorites.ini"_s);
    StationLists lists;
    ListAutosave autosave(lists);
    autosave.SetFile(KeptList::Favorites, favorites);
    int saves = 0;
    QObject::connect(&autosave, &ListAutosave::Saved, [&](KeptList which, bool ok) {
        EXPECT_EQ(which, KeptList::Favorites);
        EXPECT_TRUE(ok);
        ++saves;
    });

    lists.favoriteList.AddItem({.file = u"http://a.test/"_s, .title = u"A"_s});
    lists.changes.Announce(KeptList::Favorites);
    lists.changes.Announce(KeptList::Jobs);  // no file for the jobs: nothing written
    EXPECT_TRUE(autosave.Waiting(KeptList::Favorites));
    EXPECT_FALSE(autosave.Waiting(KeptList::Jobs));
    RunFor(600);
    EXPECT_EQ(Saved(favorites), -1) << "a change waits for the next one";
    RunFor(1200);
    EXPECT_EQ(Saved(favorites), 1);
    EXPECT_EQ(saves, 1);

    // A change every 200 ms never leaves a quiet second, yet the list is written within three.
    QElapsedTimer since;
    since.start();
    qint64 written = -1;
    RunFor(4500, [&] {
        if (written < 0 && Saved(favorites) > 1)
            written = since.elapsed();
        lists.favoriteList.AddItem({.file = u"http://b.test/"_s, .title = u"B"_s});
        lists.changes.Announce(KeptList::Favorites);
        QThread::msleep(180);
    });
    EXPECT_GE(written, 2500);
    EXPECT_LE(written, 4000);

    autosave.Stop();
    const int before = Saved(favorites);
    lists.favoriteList.AddItem({.file = u"http://c.test/"_s, .title = u"C"_s});
    lists.changes.Announce(KeptList::Favorites);
    RunFor(3500);
    EXPECT_EQ(Saved(favorites), before) << "after Stop the caller writes";
}

// Also an announced change that changed nothing: bytes no decoding keeps (this title is not
// UTF-8) stay as they were.
TEST(ListAutosave, AListThatDidNotChangeIsNotWrittenNorAtTheExit) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"Favorites.ini"_s);
    const QByteArray odd("[PlayList]\r\nFile1=http://a/\r\nTitle1=Caf\xE9\r\nNumberOfEntries=1\r\n");
    ASSERT_TRUE(test::WriteBytes(path, odd));
    StationLists lists;
    ListAutosave autosave(lists);
    EXPECT_EQ(autosave.Load(KeptList::Favorites, path).state, ListFileRead::State::Whole);
    int saves = 0;
    QObject::connect(&autosave, &ListAutosave::Saved, [&](KeptList, bool ok) { saves += ok ? 1 : 0; });
    lists.changes.Announce(KeptList::Favorites);
    RunFor(1500);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(test::ReadBytes(path), odd);

    autosave.Stop();
    EXPECT_TRUE(autosave.WriteNow(KeptList::Favorites));
    EXPECT_EQ(test::ReadBytes(path), odd);
    lists.favoriteList.SetTitle(0, u"Café"_s);
    EXPECT_TRUE(autosave.WriteNow(KeptList::Favorites));
    EXPECT_NE(test::ReadBytes(path), odd);
}

}  // namespace
}  // namespace wavelot
