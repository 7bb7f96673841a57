// The favourites and job lists: reordering, selection on press, deleting and copying on the list
// and a selection model alone; then the window's menus, keys, export, import, drops and drags,
// the rows as drawn, and a program killed after a change.
#include <poll.h>
#include <unistd.h>
#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "core/list_files.h"
#include "tests/support/child_process.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/station_list_rows.h"
#include "ui/station_list_view.h"

namespace wavelot::test {
namespace {

using Where = PointerRow::Where;

// Rows "A".."H" of the favourites in a model with a selection over it, as a view has them.
struct OpsRig {
    StationLists lists;
    SongListModel model{lists.favoriteList, {{QString(), &clsSongArray::Title}}};
    QItemSelectionModel selection{&model};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    StationListOps ops{lists, KeptList::Favorites, model, selection};
    DragRows drag;
    int announced = 0;
    explicit OpsRig(std::initializer_list<int> selected = {}, int current = -1) {
        UiApp();
        for (char16_t c = u'A'; c <= u'H'; ++c)
            lists.favoriteList.AddItem(
                {.file = u"http://"_s + c, .title = QString(QChar(c)), .comment = u"c"_s});
        model.Follow();
        for (int r : selected)
            selection.select(model.index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        drag.current = current;
        QObject::connect(&lists.changes, &ListChanges::Changed, [this] { ++announced; });
    }
    QString Titles() const {
        QString t;
        for (int i = 0; i < lists.favoriteList.ListCount(); ++i)
            t += lists.favoriteList.Title(i);
        return t;
    }
    QString Marks() const {
        QStringList m;
        for (int r : ops.SelectedRows())
            m << QString::number(r);
        return m.join(u',');
    }
};

TEST(StationListOps, DragStepsOneRowAtATimeInJumpsAndAtTheEdges) {
    const struct {
        const char* name;
        std::initializer_list<int> selected;
        int current;
        std::vector<PointerRow> steps;
        QString titles, marks;
        int current_after;
    } cases[] = {
        {"row 3 to row 1", {3}, 3, {{Where::Over, 2}, {Where::Over, 1}}, u"ADBCEFGH"_s, u"1"_s, 1},
        {"a jump exchanges", {1}, 1, {{Where::Over, 5}}, u"AFCDEBGH"_s, u"5"_s, 5},
        {"a block down", {1, 2}, 2, {{Where::Over, 3}, {Where::Over, 4}}, u"ADEBCFGH"_s, u"3,4"_s, 4},
        {"top row stays, the row below closes up, then above ends the drag",
         {0, 3},
         3,
         {{Where::Over, 2}, {Where::Over, 1}, {Where::Over, 0}, {Where::Above}, {Where::Over, 5}},
         u"ADBCEFGH"_s,
         u"0,1"_s,
         -1},
        {"below the view: a row per move until the last",
         {5},
         5,
         {{Where::Below}, {Where::Below}, {Where::Below}, {Where::Below}},
         u"ABCDEGHF"_s,
         u"7"_s,
         7},
        {"below the rows inside the view: the last row",
         {2},
         2,
         {{Where::Over, -1}},
         u"ABHDEFGC"_s,
         u"7"_s,
         7},
        {"nothing selected", {}, 3, {{Where::Over, 1}}, u"ABCDEFGH"_s, QString(), 3},
    };
    for (const auto& c : cases) {
        OpsRig rig(c.selected, c.current);
        for (const PointerRow& step : c.steps)
            rig.ops.DragStep(rig.drag, step);
        EXPECT_EQ(rig.Titles(), c.titles) << c.name;
        EXPECT_EQ(rig.Marks(), c.marks) << c.name;
        EXPECT_EQ(rig.drag.current, c.current_after) << c.name;
        EXPECT_EQ(rig.announced > 0, rig.Titles() != u"ABCDEFGH"_s) << c.name;
    }
}

TEST(StationListOps, SelectionOnPress) {
    const struct {
        const char* name;
        std::initializer_list<int> selected;
        int current;
        PointerRow at;
        Qt::KeyboardModifiers shift;
        QString marks;
        int current_after;
    } cases[] = {
        {"plain press selects only that row", {1, 4}, 1, {Where::Over, 3}, Qt::NoModifier, u"3"_s, 3},
        {"plain press below the view", {1, 4}, 1, {Where::Below}, Qt::NoModifier, u"1,4"_s, -1},
        {"shift adds the range", {6}, 2, {Where::Over, 4}, Qt::ShiftModifier, u"2,3,4,6"_s, 4},
        {"shift above the view ranges to row 0", {6}, 2, {Where::Above}, Qt::ShiftModifier, u"0,1,2,6"_s, 0},
        {"ctrl adds a row", {1}, 1, {Where::Over, 3}, Qt::ControlModifier, u"1,3"_s, 3},
        {"ctrl removes a row", {1, 3}, 3, {Where::Over, 1}, Qt::ControlModifier, u"3"_s, 3},
        {"alt does nothing", {1}, 1, {Where::Over, 3}, Qt::AltModifier, u"1"_s, 1},
        {"nothing selected: the row pressed", {}, 5, {Where::Over, 2}, Qt::ShiftModifier, u"2"_s, 2},
    };
    for (const auto& c : cases) {
        OpsRig rig(c.selected, c.current);
        rig.ops.PressSelect(rig.drag, c.at, c.shift);
        EXPECT_EQ(rig.Marks(), c.marks) << c.name;
        EXPECT_EQ(rig.drag.current, c.current_after) << c.name;
    }
}

TEST(StationListOps, KeysDeleteAndCopyBottomUp) {
    OpsRig rig({2, 5});
    EXPECT_EQ(rig.ops.CommandForKey(Qt::Key_A), StationListOps::KeyCommand::SelectAll);
    EXPECT_EQ(rig.ops.CommandForKey(Qt::Key_Space), StationListOps::KeyCommand::Play);
    EXPECT_EQ(rig.ops.CommandForKey(Qt::Key_X), StationListOps::KeyCommand::None);
    EXPECT_EQ(rig.ops.DeleteSelected(), 2);
    EXPECT_EQ(rig.Titles(), u"ABDEGH"_s);
    EXPECT_EQ(rig.model.rowCount(), 6);
    EXPECT_EQ(rig.ops.CommandForKey(Qt::Key_Delete), StationListOps::KeyCommand::None) << "nothing selected";

    for (int r : {1, 4, 5})  // B, G, H
        rig.selection.select(rig.model.index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    rig.lists.jobList.AddItem({.title = u"existing"_s});
    EXPECT_EQ(rig.ops.CopySelectedToOtherList(u"12:34:56"_s), 3);
    QStringList jobs;
    for (int i = 0; i < rig.lists.jobList.ListCount(); ++i)
        jobs << rig.lists.jobList.Title(i) + u'|' + rig.lists.jobList.JobStart(i) + u'|' +
                    rig.lists.jobList.JobStop(i) + u'|' + QString::number(rig.lists.jobList.RunJob(i)) +
                    u'|' + rig.lists.jobList.Comment(i);
    EXPECT_EQ(jobs, (QStringList{u"existing|||0|"_s, u"H|12:34:56|12:34:56|0|c"_s,
                                 u"G|12:34:56|12:34:56|0|c"_s, u"B|12:34:56|12:34:56|0|c"_s}));
    EXPECT_EQ(rig.Marks(), u"1,4,5"_s) << "the source keeps its selection";

    StationListOps fromJobs(rig.lists, KeptList::Jobs, rig.model, rig.selection);  // rows 1, 4 of the jobs
    rig.selection.clearSelection();
    rig.selection.select(rig.model.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(fromJobs.CopySelectedToOtherList(u"12:34:56"_s), 1);
    EXPECT_EQ(rig.lists.favoriteList.Row(6),
              (StationRow{.file = u"http://H"_s, .title = u"H"_s, .comment = u"c"_s}))
        << "a favourite has no job fields";
}

TEST(StationRowLook, FavouriteAndJobTexts) {
    const QLocale c(QLocale::C);
    const StationRow fav{.title = u"新聞台"_s, .code = 1};
    const StationRowLook f = FavoriteRowLook(fav, 0, false);
    EXPECT_EQ(f.texts, (std::vector<RowText>{{u"[ 正體中文 ] 新聞台"_s, QColor(222, 255, 255), 5, -12},
                                             {u"無說明"_s, QColor(255, 255, 156), 15, 11}}));
    EXPECT_NE(f.back, FavoriteRowLook(fav, 1, false).back) << "even and odd rows";
    StationRow job{
        .title = u"T"_s, .jobMode = 1, .jobType = 1, .jobStart = u"07:00:00"_s, .jobStop = u"08:00:00"_s};
    job.runJob = 1;
    job.weekMark = 68;
    EXPECT_EQ(JobStatusText(job), u"[ 已啟動 ] "_s);
    EXPECT_EQ(JobTimeText(job), u"07:00:00 開始錄音，08:00:00 結束錄音"_s);
    EXPECT_EQ(JobDaysText(job, c),
              c.dayName(1, QLocale::ShortFormat) + u", "_s + c.dayName(5, QLocale::ShortFormat));
    const std::vector<RowText> large = JobRowLook(job, 0, true, c).texts;
    EXPECT_EQ(large[0].shift, -31) << "labels one pixel lower on a 120-dpi screen";
    EXPECT_EQ(large[4].shift, -32) << "but not the station";
    job = {.jobType = 0, .weekMark = 68};
    EXPECT_EQ(JobDaysText(job, c), u"每天"_s);
    EXPECT_EQ(JobStatusText(job), u"[ 未啟動 ] "_s);
    EXPECT_EQ(JobTimeText(job), u" 開始播放， 結束播放"_s);
}

// The window's side: rows as drawn, menus, keys, the two file dialogs, drops and a mouse drag.
void FillLists(StationLists& lists) {
    const QString longName =
        u"非常長的電台名稱 Extremely Long Station Name That Goes On And On Past The Right Edge Of The List"_s;
    lists.favoriteList.AddItem({.file = u"http://fav.test/0"_s, .title = longName, .code = 1});
    lists.favoriteList.AddItem({.file = u"http://fav.test/1"_s, .title = u"Jazz FM"_s, .comment = u"爵士"_s});
    lists.favoriteList.AddItem({.file = u"http://fav.test/2"_s, .title = u"日本の放送"_s, .code = 3});
    for (int i = 0; i < 4; ++i)  // enabled or not, play or record, weekly or every day
        lists.jobList.AddItem({.file = u"http://job.test/"_s + QString::number(i),
                               .title = i == 0 ? longName : u"Job %1"_s.arg(i),
                               .code = i,
                               .comment = i == 1 ? u"晨間新聞"_s : QString(),
                               .jobMode = i % 2,
                               .jobType = i < 2 ? 1 : 0,
                               .jobStart = u"07:00:00"_s,
                               .jobStop = u"08:30:00"_s,
                               .runJob = i < 3 ? i % 2 : 1,
                               .weekMark = 2 + 4 + 64 + 128});
}
void ChooseFile(const QString& path, std::function<void()> then = {}) {
    OnNextModal([path, then](QWidget* m) {
        if (then)
            then();
        auto* d = qobject_cast<QFileDialog*>(m);
        ASSERT_NE(d, nullptr);
        // Typed, as a user does: selecting needs the folder's listing, which comes later.
        d->setDirectory(QFileInfo(path).absolutePath());
        d->findChild<QLineEdit*>(u"fileNameEdit"_s)->setText(QFileInfo(path).fileName());
        QMetaObject::invokeMethod(d, "accept");
    });
}
void Answer(int button, QString* text = nullptr) {
    OnNextModal([button, text](QWidget* m) {
        if (text)
            *text = qobject_cast<QMessageBox*>(m)->text();
        ClickBoxButton(m, button);
    });
}
QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
QWidget* Viewport(StationListView& v) {
    return v.viewport();
}
void Select(StationListView& v, std::initializer_list<int> rows) {
    for (int r : rows)
        v.selectionModel()->select(v.model()->index(r, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

TEST_F(MainWindowTest, RowsAsDrawnFromTheModel) {
    FillLists(Lists());
    frmMain& w = Open();
    for (StationListView* v : {&w.Favorites(), &w.Jobs()}) {
        QAbstractItemModelTester tester(v->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        v->SelectOnly(0);
        const QImage shot = Viewport(*v)->grab().toImage();
        const int x = shot.width() - 3, h = v->rowHeight(0);
        EXPECT_EQ(shot.pixelColor(x, 10), QColor(75, 75, 75)) << "selected";
        EXPECT_EQ(shot.pixelColor(x, h + 10), QColor(51, 51, 51)) << "odd";
        EXPECT_EQ(shot.pixelColor(x, 2 * h + 10), QColor(58, 58, 58)) << "even";
    }
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::Taiwan));
    for (int tab : {kTabFavorites, kTabJobs}) {
        w.TabStrip()->setCurrentIndex(tab - 1);
        SaveShot(&w, tab == kTabFavorites ? u"lists_favorites"_s : u"lists_jobs"_s);
    }
    QLocale::setDefault(QLocale::system());
}

TEST_F(MainWindowTest, MenusKeysAndCopyingThroughTheWindow) {
    for (char16_t c = u'A'; c <= u'G'; ++c)
        Lists().favoriteList.AddItem({.file = u"http://"_s + c, .title = QString(QChar(c))});
    frmMain& w = Open();
    w.TabStrip()->setCurrentIndex(kTabJobs - 1);
    QStringList seen;
    QString dialog;
    OnNextMenu(u"匯入電台清單"_s, &seen);
    OnNextModal([&](QWidget* m) {
        dialog = m->objectName();
        m->close();
    });
    QTest::mouseClick(Viewport(w.Jobs()), Qt::RightButton, {}, QPoint(30, 20));
    EXPECT_EQ(seen, (QStringList{u"新增電台"_s, u"-"_s, u"匯入電台清單"_s}));
    EXPECT_TRUE(WaitUntil([&] { return dialog == u"ImportDialog"_s; }, 5000));

    w.TabStrip()->setCurrentIndex(kTabFavorites - 1);
    QWidget* vp = Viewport(w.Favorites());
    OnNextMenu(QString(), &seen);
    QTest::mouseClick(vp, Qt::RightButton, {}, QPoint(30, 400));  // below the rows, none selected
    EXPECT_EQ(seen, (QStringList{u"新增電台"_s, u"-"_s, u"匯出電台清單"_s, u"匯入電台清單"_s}));
    Select(w.Favorites(), {1, 4, 6});
    QString question;
    OnNextMenu(u"加入排程工作"_s, &seen);
    Answer(QMessageBox::Yes, &question);
    QTest::mouseClick(vp, Qt::RightButton, {}, QPoint(30, 400));
    EXPECT_EQ(seen, (QStringList{u"新增電台"_s, u"編輯電台"_s, u"刪除電台"_s, u"-"_s, u"加入排程工作"_s,
                                 u"-"_s, u"匯出電台清單"_s, u"匯入電台清單"_s}));
    EXPECT_EQ(question, u"您確定要複製指定的電台到排程工作清單上嗎？"_s);
    // The order and the job fields of the copies are the list operations' (tested above).
    EXPECT_EQ(w.Jobs().model()->rowCount(), 3) << "the job view follows the list";

    w.Favorites().clearSelection();
    Select(w.Favorites(), {2, 5});
    Answer(QMessageBox::No, &question);
    QTest::keyClick(&w.Favorites(), Qt::Key_Delete);
    EXPECT_EQ(question, u"您確定要刪除指定的清單嗎？"_s);
    EXPECT_EQ(Lists().favoriteList.ListCount(), 7) << "No keeps everything";
    Answer(QMessageBox::Yes);
    w.RunCommand(frmMain::kCmdDelete);
    EXPECT_EQ(w.Favorites().model()->rowCount(), 5);
    // A key acts on its release, and only when its press came to the list (the Enter that closes
    // a message box over the list is pressed in the box).
    QTest::keyRelease(&w.Favorites(), Qt::Key_A);
    EXPECT_EQ(w.Favorites().SelectedRows().size(), 0u);
    QTest::keyClick(&w.Favorites(), Qt::Key_A);
    EXPECT_EQ(w.Favorites().SelectedRows().size(), 5u);
    QTest::keyClick(&w.Favorites(), Qt::Key_N);
    EXPECT_EQ(w.Favorites().SelectedRows().size(), 0u);
}

TEST_F(MainWindowTest, MouseDragMovesTheRowAndItsSelection) {
    for (char16_t c = u'A'; c <= u'E'; ++c)
        Lists().favoriteList.AddItem({.file = u"http://"_s + c, .title = QString(QChar(c))});
    frmMain& w = Open();
    w.TabStrip()->setCurrentIndex(kTabFavorites - 1);
    QWidget* vp = Viewport(w.Favorites());
    const auto move = [vp](int y) {
        QMouseEvent e(QEvent::MouseMove, QPointF(30, y), vp->mapToGlobal(QPointF(30, y)), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &e);
    };
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(30, 3 * 45 + 30));
    move(3 * 45 + 5);  // the drag begins
    EXPECT_TRUE(w.Dragging());
    EXPECT_TRUE(w.Favorites().KeysBlocked());
    for (int row : {2, 1})
        move(row * 45 + 20);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(30, 65));
    EXPECT_FALSE(w.Dragging());
    EXPECT_FALSE(w.Favorites().KeysBlocked());
    QString titles;
    for (int i = 0; i < 5; ++i)
        titles += Lists().favoriteList.Title(i);
    EXPECT_EQ(titles, u"ADBCE"_s);
    EXPECT_EQ(w.Favorites().SelectedRows(), std::vector<int>{1});
}

// Export then import through the file dialogs on each tab: into the same list nothing is added
// and the status bar says how many were there; into the emptied list the stations come back.
// (Each format's fields are the list files' own tests.)
TEST_F(MainWindowTest, ExportImportRoundTripsAndDroppedFiles) {
    FillLists(Lists());
    frmMain& w = Open();
    for (int tab : {kTabFavorites, kTabJobs}) {
        w.TabStrip()->setCurrentIndex(tab - 1);
        clsSongArray& list = tab == kTabFavorites ? Lists().favoriteList : Lists().jobList;
        {
            const QString ext = tab == kTabFavorites ? u"ini"_s : u"m3u"_s;
            const QString path = dir_.filePath(u"export%1.%2"_s.arg(tab).arg(ext));
            const int n = list.ListCount();
            ChooseFile(path);
            w.RunCommand(frmMain::kCmdExport);
            ChooseFile(path);
            w.RunCommand(frmMain::kCmdImport);
            EXPECT_EQ(list.ListCount(), n) << ext.toStdString();
            EXPECT_EQ(w.picStatusBar()->Text(), u"已匯入 0 個電台，%1 個已在清單中"_s.arg(n));
            std::vector<StationRow> before;
            for (int i = 0; i < n; ++i)
                before.push_back(list.Row(i));
            list.Clear();
            Lists().changes.Announce(tab == kTabFavorites ? KeptList::Favorites : KeptList::Jobs);
            ChooseFile(path);
            w.RunCommand(frmMain::kCmdImport);
            EXPECT_EQ(w.picStatusBar()->Text(), u"已匯入 %1 個電台，0 個已在清單中"_s.arg(n));
            ASSERT_EQ(list.ListCount(), n) << ext.toStdString();
            for (int i = 0; i < n; ++i) {
                StationRow expected = before[static_cast<size_t>(i)];
                if (ext == u"m3u"_s) {
                    const QString now = list.JobStart(i);
                    expected = {.file = expected.file, .title = expected.title, .comment = expected.comment};
                    if (tab == kTabJobs)
                        expected.jobStart = expected.jobStop = now;
                }
                EXPECT_EQ(list.Row(i), expected) << ext.toStdString() << " " << i;
            }
        }
    }
    const QString path = dir_.filePath(u"export2.ini"_s);
    const QByteArray before = ReadBytes(path);
    QString asked;
    ChooseFile(path, [&] { Answer(QMessageBox::No, &asked); });
    w.RunCommand(frmMain::kCmdExport);
    EXPECT_EQ(asked, u"清單檔案已存在，您要覆蓋它嗎？"_s);
    EXPECT_EQ(ReadBytes(path), before);

    // Dropped on the favourites: each file imported; the ones that give nothing are named once.
    w.TabStrip()->setCurrentIndex(kTabFavorites - 1);
    Lists().favoriteList.Clear();
    Lists().changes.Announce(KeptList::Favorites);
    const QString data = qEnvironmentVariable("WAVELOT_TEST_DATA") + u"/core/"_s;
    const QString missing = dir_.filePath(u"missing.ini"_s), empty = dir_.filePath(u"empty.m3u"_s);
    QFile emptyFile(empty);
    ASSERT_TRUE(emptyFile.open(QIODevice::WriteOnly) && emptyFile.write("#EXTM3U\r\n") > 0);
    emptyFile.close();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(data + u"playlist.m3u"_s), QUrl::fromLocalFile(missing),
                  QUrl::fromLocalFile(data + u"other_software.pls"_s), QUrl::fromLocalFile(empty)});
    QString message;
    Answer(QMessageBox::Ok, &message);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Viewport(w.Favorites()), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Viewport(w.Favorites()), &drop);
    EXPECT_EQ(w.Favorites().model()->rowCount(), 6);
    EXPECT_TRUE(message.contains(u"無法讀取清單檔案：\n"_s + missing)) << message.toStdString();
    EXPECT_TRUE(message.contains(u"沒有可匯入的電台：\n"_s + empty)) << message.toStdString();
    // And the favourites file follows within seconds.
    clsSongArray saved;
    EXPECT_TRUE(WaitUntil(
        [&] { return ReadListIni(SettingFolder() + u"Favorites.ini"_s, false, saved) == 6; }, 8000));
}

// The program of the SIGKILL test below: a copy of this test program in the folder the test
// prepared, with the window on it; it makes a change through the list commands and runs on
// until it is killed. Only run by that test.
TEST(KilledProgram, DISABLED_Child) {
    const QString action = qEnvironmentVariable("WAVELOT_CHILD_ACTION");
    UiApp();
    InitAppFolders(qEnvironmentVariable("WAVELOT_CHILD_FOLDER"));
    Session core;
    ASSERT_TRUE(core.Start());
    frmOption options(core.settings(), core.Options());
    options.Form_Load();
    frmMain w(core, options);
    w.show();
    w.Form_Load();
    w.TabStrip()->setCurrentIndex(kTabFavorites - 1);
    std::printf("@@ready\n");
    std::fflush(stdout);
    QTimer churn;
    if (action == u"delete"_s) {
        w.Favorites().SelectOnly(0);
        Answer(QMessageBox::Yes);
        w.RunCommand(frmMain::kCmdDelete);
        std::printf("@@changed %d\n", w.Favorites().model()->rowCount());
        std::fflush(stdout);
    } else if (action == u"sort"_s) {  // a change every quarter second: saves all the time
        QObject::connect(&churn, &QTimer::timeout, [&w, up = false]() mutable {
            w.RunCommand((up = !up) ? frmMain::kCmdSortAscending : frmMain::kCmdSortDescending);
        });
        churn.start(250);
    }
    for (;;)
        Pump(1000);
}

// Reads the child's output until a line starting with marker; false after timeoutMs.
bool WaitForLine(ChildProcess& child, const std::string& marker, int timeoutMs, std::string* line = nullptr) {
    std::string text;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        pollfd p{child.StdoutFd(), POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buf[4096];
            const ssize_t n = ::read(child.StdoutFd(), buf, sizeof buf);
            if (n <= 0)
                return false;
            text.append(buf, static_cast<size_t>(n));
        }
        if (const size_t at = text.find(marker);
            at != std::string::npos && text.find('\n', at) != std::string::npos) {
            if (line)
                *line = text.substr(at, text.find('\n', at) - at);
            return true;
        }
    }
    return false;
}

// A change through the list commands is in the favourites file a few seconds later, though
// the program is then killed; saves killed half way leave at most one temporary file, and the
// next start removes it.
TEST(KilledProgram, AChangeSurvivesSigkillAndKilledSavesLeaveNoTemporaryFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"Setting"_s));
    WriteIni(settings::kSectionSetting, settings::kSetRecode, 1, dir.filePath(u"Setting/Setting.ini"_s));
    const QString favorites = dir.filePath(u"Setting/Favorites.ini"_s);
    clsSongArray list;
    for (int i = 0; i < 20000; ++i)  // a file large enough that a save takes a while
        list.AddItem({.file = u"http://station.test/%1"_s.arg(i),
                      .title = u"Station %1"_s.arg(i, 5, 10, QChar(u'0'))});
    ASSERT_TRUE(WriteListIni(favorites, list, false));
    const auto start = [&](ChildProcess& child, const char* action) {
        return child.Start({"/proc/self/exe", "--gtest_also_run_disabled_tests",
                            "--gtest_filter=KilledProgram.DISABLED_Child"},
                           true,
                           {"WAVELOT_CHILD_FOLDER=" + dir.path().toStdString(),
                            std::string("WAVELOT_CHILD_ACTION=") + action});
    };
    const auto temporaryFiles = [&] {
        return QDir(dir.filePath(u"Setting"_s)).entryList({u"*.tmp-*"_s}, QDir::Files | QDir::Hidden).size();
    };
    const auto killNow = [](ChildProcess& child) {
        ::kill(child.Pid(), SIGKILL);
        return child.Wait(10000);
    };

    {
        ChildProcess child;
        std::string changed;
        ASSERT_TRUE(start(child, "delete"));
        ASSERT_TRUE(WaitForLine(child, "@@changed", 60000, &changed));
        EXPECT_EQ(changed, "@@changed 19999");
        std::this_thread::sleep_for(std::chrono::seconds(5));
        ASSERT_TRUE(killNow(child));
        clsSongArray saved;
        EXPECT_EQ(ReadListIni(favorites, false, saved), 19999);
        EXPECT_EQ(saved.Title(0), u"Station 00001"_s);
    }
    int killedWhileSaving = 0;
    for (int round = 0; round < 6; ++round) {
        ChildProcess child;
        ASSERT_TRUE(start(child, "sort"));
        ASSERT_TRUE(WaitForLine(child, "@@ready", 60000));
        EXPECT_EQ(temporaryFiles(), 0) << "the start removed what the last kill left";
        // Killed the moment a save has its temporary file.
        ASSERT_TRUE(WaitUntil([&] { return temporaryFiles() > 0; }, 20000));
        ASSERT_TRUE(killNow(child));
        killedWhileSaving += temporaryFiles();
        EXPECT_LE(temporaryFiles(), 1);
        clsSongArray saved;
        EXPECT_EQ(ReadListIni(favorites, false, saved), 19999) << "never half a file";
    }
    EXPECT_GT(killedWhileSaving, 0);
    ChildProcess child;
    ASSERT_TRUE(start(child, "none"));
    ASSERT_TRUE(WaitForLine(child, "@@ready", 60000));
    EXPECT_EQ(temporaryFiles(), 0);
    killNow(child);
}

}  // namespace
}  // namespace wavelot::test
