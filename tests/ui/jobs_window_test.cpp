// The station and job editor through the main window's add and edit commands, and a record job
// run by the window in the tray and by wavelot-cli jobs.
#include <QAbstractButton>
#include <QDirIterator>
#include <QProcess>
#include <QTabBar>
#include <QTimeEdit>

#include "core/list_files.h"
#include "engine/player.h"
#include "engine/recorder.h"
#include "engine/time_text.h"
#include "scheduler/job_time.h"
#include "tests/support/icecast_rig.h"
#include "tests/support/mp3_probe.h"
#include "tests/ui/main_window_fixture.h"
#include "text/station_text.h"
#include "ui/frm_radio_edit.h"

namespace wavelot::test {
namespace {

// Opens the editor with command (add or edit) on tab and hands it to act, which closes it.
void WithEditor(frmMain& w, int tab, int command, const std::function<void(frmRadioEdit&)>& act) {
    w.TabStrip()->setCurrentIndex(tab - 1);
    bool opened = false;
    OnNextModal([&](QWidget* m) {
        opened = true;
        act(*qobject_cast<frmRadioEdit*>(m));
    });
    w.RunCommand(command);
    EXPECT_TRUE(opened);
}
int TabCount(frmRadioEdit& d) {
    return d.Inputs().tabStrip->count();
}
// Each record as "title|file|code|comment|mode|type|start|stop|run|weekmark".
QStringList Rows(const clsSongArray& list) {
    QStringList rows;
    for (int i = 0; i < list.ListCount(); ++i) {
        const StationRow r = list.Row(i);
        rows << u"%1|%2|%3|%4|%5|%6|%7|%8|%9|%10"_s.arg(r.title, r.file, QString::number(r.code), r.comment)
                    .arg(r.jobMode)
                    .arg(r.jobType)
                    .arg(r.jobStart, r.jobStop)
                    .arg(r.runJob)
                    .arg(r.weekMark);
    }
    return rows;
}

TEST_F(MainWindowTest, EditorAddsAFavouriteAndAWeeklyJob) {
    frmMain& w = Open();
    WithEditor(w, kTabFavorites, frmMain::kCmdAdd, [](frmRadioEdit& d) {
        EXPECT_EQ(d.windowTitle(), u"新增網路電台"_s);
        EXPECT_EQ(d.Inputs().cmdOK->text(), u"新 增"_s);
        EXPECT_EQ(TabCount(d), 1);
        EXPECT_FALSE(d.Inputs().chkStartJob->isVisible());
        d.Inputs().txtRadioUrl->setText(u"http://fav.test/"_s);
        d.Inputs().txtComment->setText(u"Jazz"_s);
        d.Inputs().cboCode->setCurrentIndex(kStationCodeBig5);
        SaveShot(&d, u"radio_edit_favourite"_s);
        d.Inputs().cmdOK->click();
    });
    EXPECT_EQ(Rows(Lists().favoriteList),
              QStringList{u"http://fav.test/|http://fav.test/|1|Jazz|0|0|||0|0"_s});
    EXPECT_EQ(w.Favorites().SelectedRows(), std::vector<int>{0}) << "the new row, alone";

    WithEditor(w, kTabJobs, frmMain::kCmdAdd, [](frmRadioEdit& d) {
        EXPECT_EQ(TabCount(d), 2);
        EXPECT_TRUE(d.Inputs().chkStartJob->isVisible());
        d.Inputs().txtRadioName->setText(u"晚間新聞"_s);
        d.Inputs().txtRadioUrl->setText(u"http://job.test/"_s);
        d.Inputs().chkStartJob->click();
        SaveShot(&d, u"radio_edit_general"_s);
        d.Inputs().tabStrip->setCurrentIndex(1);
        EXPECT_TRUE(d.Inputs().page2->isVisible() && !d.Inputs().page1->isVisible());
        EXPECT_FALSE(d.chkDay(2)->isEnabled()) << "every day: no day boxes";
        d.Inputs().optSpecific->click();
        EXPECT_TRUE(!d.Inputs().optEvery->isChecked() && d.chkDay(2)->isEnabled());
        d.chkDay(2)->click();  // Monday
        d.chkDay(6)->click();  // Friday
        d.Inputs().dtpStart->setTime(QTime(19, 5, 9));
        d.Inputs().dtpStop->setTime(QTime(20, 0, 0));
        d.Inputs().cboMode->setCurrentIndex(1);
        SaveShot(&d, u"radio_edit_schedule"_s);
        d.Inputs().cmdOK->click();
    });
    EXPECT_EQ(Rows(Lists().jobList),
              QStringList{u"晚間新聞|http://job.test/|0||1|1|19:05:09|20:00:00|1|68"_s});
    EXPECT_EQ(w.Jobs().model()->rowCount(), 1);
}

TEST_F(MainWindowTest, EditorEditsOnlyTheFirstSelectedRowAndCancelChangesNothing) {
    StationRow row{.jobType = 1, .jobStart = u"7:00:00"_s, .jobStop = u"08:00:00"_s, .weekMark = 68};
    for (clsSongArray* list : {&Lists().favoriteList, &Lists().jobList})
        for (const QString& name : {u"A"_s, u"B"_s, u"C"_s}) {
            row.file = row.title = name;
            list->AddItem(row);
        }
    frmMain& w = Open();
    for (const int tab : {kTabFavorites, kTabJobs}) {
        StationListView& view = tab == kTabFavorites ? w.Favorites() : w.Jobs();
        const clsSongArray& list = tab == kTabFavorites ? Lists().favoriteList : Lists().jobList;
        for (int r : {2, 0})
            view.selectionModel()->select(view.model()->index(r, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QStringList before = Rows(list);
        WithEditor(w, tab, frmMain::kCmdEdit, [](frmRadioEdit& d) {
            EXPECT_EQ(d.windowTitle(), u"編輯網路電台"_s);
            EXPECT_EQ(d.Inputs().cmdOK->text(), u"編 輯"_s);
            EXPECT_EQ(d.Inputs().txtRadioName->text(), u"A"_s);
            d.Inputs().txtRadioName->setText(u"Changed"_s);
            d.Inputs().cmdCancel->click();
        });
        EXPECT_EQ(Rows(list), before) << "cancel";
        WithEditor(w, tab, frmMain::kCmdEdit, [tab](frmRadioEdit& d) {
            d.Inputs().txtRadioName->setText(u"Changed"_s);
            if (tab == kTabJobs) {
                EXPECT_TRUE(d.Inputs().optSpecific->isChecked());
                EXPECT_TRUE(d.chkDay(6)->isChecked());
                EXPECT_EQ(d.Inputs().dtpStart->time(), QTime(7, 0, 0));
                d.chkDay(2)->click();
                d.chkDay(6)->click();  // weekly without a day
            }
            d.Inputs().cmdOK->click();
        });
        QStringList after = before;
        after[0] = tab == kTabJobs ? u"Changed|A|0||0|0|07:00:00|08:00:00|0|0"_s
                                   : u"Changed|A|0||0|1|7:00:00|08:00:00|0|68"_s;
        EXPECT_EQ(Rows(list), after) << "tab " << tab;
    }
}

// Seconds of MP3 recorded under folder, all files together.
double RecordedSeconds(const QString& folder) {
    double seconds = 0;
    for (QDirIterator it(folder, {u"*.mp3"_s}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        seconds += ProbeAudio(it.next()).seconds;
    return seconds;
}

// One record job of a minute, run by the window hidden in the tray and at the same time by
// wavelot-cli jobs (a copy in a folder of its own) on a real Icecast server: each records about a
// minute of MP3. The window's job comes after its start, as the list commands add one: the
// scheduler learns of it from the lists' announcement.
TEST_F(MainWindowTest, ARecordJobOfAMinuteRecordsInTheTrayAndWithoutAWindow) {
    IcecastRig ice;
    ASSERT_TRUE(ice.Start() && ice.StartSource({.mount = "/job.mp3"}) && ice.SetTitle("/job.mp3", "Job Song"))
        << ice.Error();
    QTemporaryDir windowRecordings, cliRecordings, cliFolder;
    Write(settings::kFilePath, windowRecordings.path() + u"/"_s);
    frmMain& w = Open();
    w.hide();
    // The recording covers the job's 64 s less the connect: it begins at the first sound,
    // although the record command comes 3 s after it.
    const QTime start = QTime::currentTime().addSecs(4);
    StationRow job{.title = u"Job"_s, .jobMode = kJobModeRecord, .jobStart = ClockText(start), .runJob = 1};
    job.file = QString::fromStdString(ice.Url("/job.mp3"));
    job.jobStop = ClockText(start.addSecs(64));
    Lists().jobList.AddItem(job);
    Lists().changes.Announce(KeptList::Jobs);
    const QString jobsFile = cliFolder.filePath(u"jobs.ini"_s), exe = cliFolder.filePath(u"wavelot-cli"_s);
    ASSERT_TRUE(WriteListIni(jobsFile, Lists().jobList, true));
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("WAVELOT_BUILD_DIR") + u"/app/wavelot-cli"_s, exe));
    QProcess cli;
    cli.start(exe,
              {u"jobs"_s, u"--jobs"_s, jobsFile, u"--dir"_s, cliRecordings.path(), u"--seconds"_s, u"75"_s});
    EXPECT_TRUE(
        WaitUntil([&] { return player().StationName() == u"Job"_s && core_->Poll().isActive(); }, 10000))
        << "played, and its titles followed, in the tray";
    EXPECT_TRUE(WaitUntil([&] { return cli.state() == QProcess::NotRunning; }, 90000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_GE(out.indexOf(u": 連線至 Job\n"_s), 0) << out.toStdString();
    EXPECT_GT(out.indexOf(u": 停止播放\n"_s), out.indexOf(u": 連線至 Job\n"_s)) << out.toStdString();
    EXPECT_TRUE(WaitUntil([&] { return core_->recorder().UnfinishedFiles() == 0; }, 5000));
    EXPECT_NEAR(RecordedSeconds(windowRecordings.path()), 63.5, 1.0);
    EXPECT_NEAR(RecordedSeconds(cliRecordings.path()), 63.5, 1.0);
}

}  // namespace
}  // namespace wavelot::test
