// One program per settings folder: the test is the running program, copies of the built programs
// in its folder are the later starts.
#include <QProcess>
#include <map>

#include "core/list_files.h"
#include "core/single_instance.h"
#include "tests/support/child_process.h"
#include "tests/ui/main_window_fixture.h"

namespace wavelot::test {
namespace {

std::map<QString, QByteArray> FilesIn(const QString& folder) {
    std::map<QString, QByteArray> files;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile f(info.filePath());
        files[info.fileName()] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
    }
    return files;
}

class SingleProgramTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_EQ(first_.ClaimFolder(SettingFolder()), SingleInstance::Claim::First);
        const std::vector<StationRow> rows{{.file = u"http://one.test/"_s, .title = u"One FM"_s}};
        ASSERT_TRUE(WriteListIni(SettingFolder() + u"Favorites.ini"_s, rows, false));
        ASSERT_TRUE(WriteListIni(SettingFolder() + u"RunJob.ini"_s, rows, true));
    }
    QString Copy(const QString& name) {
        const QString copy = dir_.filePath(name);
        EXPECT_TRUE(QFile::copy(qEnvironmentVariable("WAVELOT_BUILD_DIR") + u"/app/"_s + name, copy));
        return copy;
    }
    SingleInstance first_;
};

TEST_F(SingleProgramTest, ASecondStartShowsTheFirstWindowAndEndsWithoutTouchingAFile) {
    frmMain& w = Open();
    QObject::connect(&first_, &SingleInstance::ShowRequested, &w, &frmMain::ShowMainWindow);
    w.close();  // minimises it where there is no tray
    ASSERT_TRUE(WaitUntil([&] { return w.isMinimized(); }, 3000));
    const std::string program = Copy(u"wavelot"_s).toStdString();
    const auto before = FilesIn(SettingFolder());
    ChildProcess second;
    ASSERT_TRUE(second.Start({program}, false, {"QT_QPA_PLATFORM=offscreen"}));
    ASSERT_TRUE(WaitUntil([&] { return !second.Running(); }, 10000)) << "a second window opened";
    int status = -1;
    ASSERT_TRUE(second.Wait(0, &status));
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(WaitUntil([&] { return w.isVisible() && !w.isMinimized(); }, 3000));
    EXPECT_EQ(FilesIn(SettingFolder()), before);
}

TEST_F(SingleProgramTest, CliJobsRefusesTheRunningProgramsJobsButRunsAListOfItsOwn) {
    const QString cli = Copy(u"wavelot-cli"_s), own = dir_.filePath(u"own.ini"_s);
    ASSERT_TRUE(QFile::copy(SettingFolder() + u"RunJob.ini"_s, own));
    QProcess run;
    for (const QStringList& jobsFile : {QStringList{}, {u"--jobs"_s, SettingFolder() + u"RunJob.ini"_s}}) {
        run.start(cli, QStringList{u"jobs"_s, u"--seconds"_s, u"0"_s} + jobsFile);
        ASSERT_TRUE(run.waitForFinished(30000));
        EXPECT_EQ(run.exitCode(), 1);
        EXPECT_TRUE(run.readAllStandardError().contains("is running")) << jobsFile.join(u' ').toStdString();
    }
    run.start(cli, {u"jobs"_s, u"--jobs"_s, own, u"--seconds"_s, u"0"_s});
    ASSERT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
}

TEST_F(SingleProgramTest, HelpAndVersionPrintWithoutADisplay) {
    const QString program = Copy(u"wavelot"_s);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        env.remove(name);
    for (const auto& [option, output] :
         {std::pair{u"--version"_s, QByteArray("Wavelot " WAVELOT_VERSION "\n")},
          std::pair{u"--help"_s, QByteArray("usage: wavelot")}}) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, {option});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_TRUE(p.readAllStandardOutput().startsWith(output)) << option.toStdString();
    }
}

}  // namespace
}  // namespace wavelot::test
