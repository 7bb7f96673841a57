// The real program: SIGTERM (a logout without a session manager, `kill`) runs the exit
// command's shutdown, so the lists and the search settings are saved instead of lost.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "core/ini_file.h"
#include "core/list_files.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "tests/support/child_process.h"

namespace wavelot::test {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(ProgramExit, SigtermSavesTheListsAndTheSearchSettings) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString program = QString::fromLocal8Bit(qgetenv("WAVELOT_BUILD_DIR")) + u"/app/wavelot"_s;
    ASSERT_TRUE(QFileInfo::exists(program)) << program.toStdString();
    const QString copy = dir.filePath(u"wavelot"_s);
    ASSERT_TRUE(QFile::copy(program, copy));
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"Setting"_s));
    const QString setting = dir.filePath(u"Setting/Setting.ini"_s);
    WriteIni(settings::kSectionSetting, settings::kSetRecode, 1, setting);
    WriteIni(settings::kSectionSetting, settings::kSearchName, u"before"_s, setting);
    clsSongArray favorites;
    favorites.AddItem({.file = u"http://keep.test/1"_s, .title = u"Kept FM"_s});
    const QString favFile = dir.filePath(u"Setting/Favorites.ini"_s);
    ASSERT_TRUE(WriteListIni(favFile, favorites, false));
    QFile::remove(dir.filePath(u"Setting/RunJob.ini"_s));

    ChildProcess app;
    ASSERT_TRUE(app.Start({copy.toStdString()}, false, {"QT_QPA_PLATFORM=offscreen"}));
    std::this_thread::sleep_for(std::chrono::seconds(3));  // start-up, engine, lists loaded
    ASSERT_TRUE(app.Running()) << "the program ended by itself";
    EXPECT_EQ(app.Stop(10000), 0) << "SIGTERM ends the program normally";

    EXPECT_TRUE(QFileInfo::exists(dir.filePath(u"Setting/RunJob.ini"_s)))
        << "the job list is written at exit";
    clsSongArray reloaded;
    EXPECT_EQ(ReadListIni(favFile, false, reloaded), 1);
    EXPECT_EQ(reloaded.Title(0), u"Kept FM"_s);
    EXPECT_EQ(ReadIni(settings::kSectionSetting, settings::kSearchName, setting), u"before"_s)
        << "the search box, restored at start, is saved again";
    EXPECT_EQ(ReadIni(settings::kSectionSetting, settings::kSearchGenre, setting), u"0"_s)
        << "written only by the shutdown sequence";
}

}  // namespace
}  // namespace wavelot::test
