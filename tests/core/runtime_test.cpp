// Folders, station lists, the responsive wait and the clipboard: the parts that need a running
// application object.
#include "core/app_folders.h"
#include "core/ini_file.h"
#include "core/pump_wait.h"
#include "core/song_array.h"
#include "core/station_lists.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;

// Tick counts are whole milliseconds: a wait can end up to 1 ms early on another clock.
constexpr qint64 kTickGrain = 1;

TEST(AppFolders, BesideTheProgramWhenWritable) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_TRUE(InitAppFolders(dir.path()));
    const QString base = dir.path() + u'/';
    EXPECT_EQ(ProgramFolder(), base);
    EXPECT_EQ(SettingFolder(), base + u"Setting/"_s);
    EXPECT_EQ(RecordFolder(), base + u"Recode/"_s);
    EXPECT_EQ(SettingFile(), base + u"Setting/Setting.ini"_s);
    EXPECT_TRUE(QFileInfo(SettingFolder()).isDir());
    // The first setting written creates the file where the program will look for it.
    EXPECT_TRUE(WriteIni(u"Setting"_s, u"SetRecode"_s, 1, SettingFile()));
    EXPECT_TRUE(QFile::exists(base + u"Setting/Setting.ini"_s));
    // The recording folder is created later, by the main window.
    EXPECT_FALSE(QFileInfo::exists(RecordFolder()));
    // No probe file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

TEST(AppFolders, FallsBackToUserDataFolder) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    // A path under a regular file can never be written, not even by root.
    QFile blocker(home.filePath(u"not-a-folder"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const bool ok = InitAppFolders(blocker.fileName() + u"/bin"_s);
    if (oldXdg.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", oldXdg);

    EXPECT_TRUE(ok);
    const QString base = home.path() + u"/Wavelot/"_s;
    EXPECT_EQ(SettingFolder(), base + u"Setting/"_s);
    EXPECT_EQ(RecordFolder(), base + u"Recode/"_s);
    EXPECT_EQ(SettingFile(), base + u"Setting/Setting.ini"_s);
    EXPECT_TRUE(QFileInfo(SettingFolder()).isDir());
}

TEST(AppFolders, ProgramTitle) {
    EXPECT_EQ(ProgramTitle(), u"Wavelot"_s);
}

TEST(StationLists, FiveDistinctListsClearedTogether) {
    StationLists lists;
    clsSongArray* all[] = {&lists.jobList, &lists.favoriteList, &lists.searchList, &lists.playLogList,
                           &lists.rankingScratchList};
    for (clsSongArray* l : all)
        l->AddItem({.file = u"http://f/"_s, .title = u"F"_s});
    lists.favoriteList.AddItem({.file = u"http://g/"_s});
    EXPECT_EQ(lists.favoriteList.ListCount(), 2);
    EXPECT_EQ(lists.jobList.ListCount(), 1) << "each list is a list of its own";
    lists.ClearAll();
    for (clsSongArray* l : all)
        EXPECT_EQ(l->ListCount(), 0);
}

TEST(PumpWaitTest, WaitsAndKeepsTimersRunning) {
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    QElapsedTimer clock;
    clock.start();
    PumpWait(500);
    const qint64 took = clock.elapsed();
    EXPECT_GE(took, 500 - kTickGrain);
    EXPECT_LT(took, 1500);
    EXPECT_GE(ticks, 10);  // a 10 ms timer, 500 ms: allow for a loaded machine
}

TEST(PumpWaitTest, ShortWaitWithoutStartTakesOneFullStep) {
    QElapsedTimer clock;
    clock.start();
    PumpWait(50);
    EXPECT_GE(clock.elapsed(), 100);
}

TEST(PumpWaitTest, ShortWaitWithStartTickIsOneStepOfThatLength) {
    QElapsedTimer clock;
    clock.start();
    PumpWait(30, TickCount30());
    const qint64 took = clock.elapsed();
    EXPECT_GE(took, 30);
    EXPECT_LT(took, 100);
}

TEST(PumpWaitTest, CountsFromAnEarlierStartTick) {
    QElapsedTimer clock;
    clock.start();
    const qint64 start = TickCount30();
    PumpWait(50);  // about 100 ms spent before the real wait
    PumpWait(400, start);
    const qint64 took = clock.elapsed();
    EXPECT_GE(took, 400 - kTickGrain);
    EXPECT_LT(took, 480);  // the 100 ms already spent count, at the 100 ms step granularity
}

TEST(PumpWaitTest, TickArithmeticHandlesWrap) {
    const qint64 top = (qint64(1) << 30) - 1;
    EXPECT_EQ(ElapsedTicks30(100, 250), 150);
    EXPECT_EQ(ElapsedTicks30(top - 49, 100), 150);
    EXPECT_EQ(ElapsedTicks30(top, 0), 1);
    EXPECT_EQ(ElapsedTicks30(5, 5), 0);
    EXPECT_LE(TickCount30(), top);
}

TEST(PumpWaitTest, EventsPostedDuringWaitAreHandled) {
    bool ran = false;
    QTimer::singleShot(20, [&] { ran = true; });
    PumpWait(200);
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace wavelot

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
