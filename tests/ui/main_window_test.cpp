// The main window offscreen: start-up and the first-run question, the search on every
// directory against a local server, the tabs, the lists' menus and sorting, the close request
// and the exit command's saving.
#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QTranslator>

#include "core/list_files.h"
#include "core/text_file.h"
#include "engine/player.h"
#include "engine/recorder.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/frm_option.h"
#include "ui/main_window_texts.h"
#include "ui/qt_translations.h"

namespace wavelot::test {
namespace {

QString ReadUtf16File(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    if (!b.startsWith("\xFF\xFE"))
        return QString::fromUtf8(b);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(b.constData() + 2), (b.size() - 2) / 2);
}

TEST_F(MainWindowTest, FirstRunAsksOnceThenNeverAgain) {
    Write(settings::kSetRecode, u"0"_s);
    QString question, info;
    OnNextModal([&](QWidget* m) {
        question = qobject_cast<QMessageBox*>(m)->text();
        OnNextModal([&](QWidget* m2) {
            info = qobject_cast<QMessageBox*>(m2)->text();
            ClickBoxButton(m2, QMessageBox::Ok);
        });
        ClickBoxButton(m, QMessageBox::No);
    });
    frmMain& w = Open();
    EXPECT_TRUE(question.startsWith(u"您好："_s));
    EXPECT_TRUE(question.endsWith(u"\r\n這是您第一次使用 Wavelot，您是否要先指定錄音檔儲存資料夾？"_s));
    EXPECT_EQ(info, u"錄音檔儲存資料夾尚未指定，程式已經將資料夾預先指定為"_s + RecordFolder() +
                        u" 謝謝您的使用。"_s);
    EXPECT_EQ(Read(settings::kSetRecode), u"1"_s);
    EXPECT_EQ(Read(settings::kFilePath), RecordFolder());
    EXPECT_EQ(options_->Inputs().txtFilePath->text(), RecordFolder()) << "the options dialog's box too";
    EXPECT_TRUE(QDir(RecordFolder()).exists()) << "the recording folder is created at start";
    EXPECT_EQ(w.windowTitle(), u"Wavelot"_s);
    Close();

    bool asked = false;
    OnNextModal(
        [&](QWidget* m) {
            asked = true;
            m->close();
        },
        1500);
    Open();
    Pump(1600);
    EXPECT_FALSE(asked) << "SetRecode 1: no question";
}

TEST_F(MainWindowTest, FirstRunQuestionHasChineseButtons) {
    ASSERT_TRUE(InstallQtTranslations(UiApp())) << "qtbase_zh_TW.qm (qt6-translations-l10n)";
    Write(settings::kSetRecode, u"0"_s);
    QStringList captions;  // without the access key, which Chinese desktops write "是(&Y)"
    const auto read = [&](QWidget* modal, const QString& shot, QMessageBox::StandardButton answer) {
        for (QAbstractButton* b : qobject_cast<QMessageBox*>(modal)->buttons())
            captions << b->text().remove(QRegularExpression(u"\\(&.\\)$"_s));
        SaveShot(modal, shot);
        ClickBoxButton(modal, answer);
    };
    OnNextModal([&](QWidget* m) {
        OnNextModal([&](QWidget* m2) { read(m2, u"first_run_information"_s, QMessageBox::Ok); });
        read(m, u"first_run_question"_s, QMessageBox::No);
    });
    Open();
    for (QTranslator* t : UiApp().findChildren<QTranslator*>())
        delete t;  // uninstalls itself
    EXPECT_EQ(captions, (QStringList{u"是"_s, u"否"_s, u"確定"_s}));
}

TEST_F(MainWindowTest, FirstRunFolderChosenInTheBrowser) {
    Write(settings::kSetRecode, u"0"_s);
    QTemporaryDir chosen;
    QString info;
    OnNextModal([&](QWidget* m) {
        OnNextModal([&](QWidget* browser) {
            auto* dialog = qobject_cast<QFileDialog*>(browser);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), u"請選擇資料夾："_s);
            OnNextModal([&](QWidget* m3) {
                info = qobject_cast<QMessageBox*>(m3)->text();
                ClickBoxButton(m3, QMessageBox::Ok);
            });
            // Opening the folder and accepting with no name typed chooses the folder itself;
            // selecting a name in its parent would race the dialog's directory listing.
            dialog->setDirectory(chosen.path());
            QMetaObject::invokeMethod(dialog, "accept");
        });
        ClickBoxButton(m, QMessageBox::Yes);
    });
    Open();
    const QString folder = chosen.path() + u"/"_s;
    EXPECT_EQ(info, u"錄音檔儲存資料夾已經指定為 "_s + folder + u" 謝謝您的使用。"_s);
    EXPECT_EQ(Read(settings::kFilePath), folder);
    EXPECT_EQ(core_->Options().recordingFolder, folder) << "the recordings of this run go there";
    EXPECT_EQ(Read(settings::kSetRecode), u"1"_s);
}

TEST_F(MainWindowTest, StartUpRestoresTheSearchSettingsAndTheLists) {
    Write(settings::kSearchType, u"1"_s);
    Write(settings::kSearchGenre, u"13"_s);
    Write(settings::kSearchName, u"jazz fm"_s);
    clsSongArray favorites;
    favorites.AddItem({.file = u"http://a.test/1"_s, .title = u"Alpha"_s, .code = 1, .comment = u"c"_s});
    favorites.AddItem({.file = u"http://a.test/2"_s, .title = u"Beta"_s});
    ASSERT_TRUE(WriteListIni(SettingFolder() + u"Favorites.ini"_s, favorites, false));
    frmMain& w = Open();
    EXPECT_EQ(w.Search().cmbGenre()->currentIndex(), 13);
    EXPECT_EQ(w.Search().txtSearch()->text(), u"jazz fm"_s);
    EXPECT_TRUE(w.Search().SearchType(1)->isChecked());
    EXPECT_TRUE(w.Search().txtSearch()->isEnabled());
    EXPECT_FALSE(w.Search().cmbGenre()->isEnabled());
    EXPECT_EQ(w.Search().cmbRadioType()->currentIndex(), 0);
    EXPECT_EQ(w.Search().cmbRadioType()->itemText(4), u"韓國 - InLive "_s);
    EXPECT_EQ(w.Favorites().model()->rowCount(), 2);
    EXPECT_EQ(w.Volume(), 80);
    EXPECT_EQ(w.size(), QSize(650, 554)) << "fixed size at 96 dpi";
    w.resize(900, 700);
    EXPECT_EQ(w.size(), QSize(650, 554)) << "a resize is undone";
    EXPECT_EQ(w.Button(3)->Caption(), u"開始錄音"_s);
    EXPECT_EQ(w.Button(0)->height(), 22);
}

TEST_F(MainWindowTest, TabsShowTheirPanelsAndTheToolbar) {
    frmMain& w = Open();
    const QString names[4] = {u"tab1_search"_s, u"tab2_favorites"_s, u"tab3_jobs"_s, u"tab4_playlog"_s};
    player().Log().Add(u"12:00:00: Artist - Song"_s, true);
    for (int tab = 1; tab <= 4; ++tab) {
        w.TabStrip()->setCurrentIndex(tab - 1);
        EXPECT_EQ((&w.Search())->isVisible(), tab == 1);
        EXPECT_EQ(w.picFavorites()->isVisible(), tab == 2);
        EXPECT_EQ(w.picRunJobs()->isVisible(), tab == 3);
        EXPECT_EQ(w.picJobToolbar()->isVisible(), tab == 2 || tab == 3);
        EXPECT_EQ(w.PlayLogList().Frame()->isVisible(), true);
        SaveShot(&w, names[tab - 1]);
    }
}

TEST_F(MainWindowTest, SearchInputsFollowTheDirectoryAndTheOption) {
    frmMain& w = Open();
    ChooseDirectory(w, 2);
    EXPECT_FALSE(w.Search().SearchType(0)->isEnabled());
    EXPECT_FALSE(w.Search().SearchType(1)->isEnabled());
    EXPECT_FALSE(w.Search().cmbGenre()->isEnabled());
    EXPECT_FALSE(w.Search().txtSearch()->isEnabled());
    EXPECT_TRUE(w.Button(0)->isEnabled());
    ChooseDirectory(w, 0);
    EXPECT_TRUE(w.Search().cmbGenre()->isEnabled()) << "the saved option 0 selects the genre box";
    EXPECT_FALSE(w.Search().txtSearch()->isEnabled());

    server_.Handle("/legacy/genresearch", [](const HttpRequest&) {
        return HttpResponse::Ok(DataBytes(u"shoutcast_answer.xml"_s), "text/xml");
    });
    // Enter with the genre option does nothing.
    QTest::keyClick(w.Search().txtSearch(), Qt::Key_Return);
    Pump(50);
    EXPECT_EQ(server_.RequestCount(), 0u);
    QWidget* opt = w.Search().SearchType(1);
    QTest::mouseClick(opt, Qt::LeftButton);
    EXPECT_EQ(Read(settings::kSearchType), u"1"_s) << "the option is saved at once";
    ASSERT_TRUE(w.Search().txtSearch()->isEnabled());
    w.Search().txtSearch()->setText(u"smooth jazz"_s);
    QTest::keyClick(w.Search().txtSearch(), Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return w.Search().ResultList()->model()->rowCount() == 3; }, 10000));
    ASSERT_EQ(server_.RequestCount(), 1u);
    EXPECT_EQ(server_.Requests()[0].target, "/legacy/genresearch?k=KEY1KEY1KEY1KEY1&search=smooth%20jazz")
        << "the text goes out as typed; the HTTP client escapes the blank";
    EXPECT_EQ(w.Search().txtSearch()->text(), u"smooth jazz"_s) << "Enter is swallowed, the text stays";
}

struct DirectoryCase {
    int index;
    std::string path;
    QString file;
    int rows;
    QString firstTitle;
};

TEST_F(MainWindowTest, ASearchOnEveryDirectoryFillsTheResultList) {
    frmMain& w = Open();
    server_.Handle("/legacy/genresearch", [](const HttpRequest&) {
        return HttpResponse::Ok(DataBytes(u"shoutcast_answer.xml"_s), "text/xml");
    });
    server_.Handle("/search",
                   [](const HttpRequest&) { return HttpResponse::Ok(DataBytes(u"icecast_search.html"_s)); });
    server_.Handle("/stats/list.v2.zdat", [](const HttpRequest&) {
        return HttpResponse::Ok(DataBytes(u"livedoor_list.zdat"_s), "text/plain");
    });
    server_.Handle("/rank/rank_bc2.htm",
                   [](const HttpRequest&) { return HttpResponse::Ok(DataBytes(u"inlive_rank.htm"_s)); });
    QFile::copy(QString::fromLocal8Bit(qgetenv("WAVELOT_TEST_DATA")) + u"/directories/Radio.txt"_s,
                SettingFolder() + u"Radio.txt"_s);

    const char* shots[5] = {"search_shoutcast", "search_icecast", "search_livedoor", "search_local",
                            "search_inlive"};
    for (int dir = 0; dir < 5; ++dir) {
        ChooseDirectory(w, dir);
        w.RunCommand(frmMain::kCmdSearch);
        EXPECT_GT(w.Search().ResultList()->model()->rowCount(), 0) << "directory " << dir;
        EXPECT_EQ(w.Search().ResultList()->model()->rowCount(), Lists().searchList.ListCount())
            << "directory " << dir;
        EXPECT_EQ(w.Search().ResultList()->model()->index(0, 0).data().toString(),
                  Lists().searchList.Title(0));
        if (dir != 3) {
            EXPECT_FALSE(w.Search().txtRichEdit()->toPlainText().isEmpty()) << "raw answer shown for " << dir;
        }
        EXPECT_TRUE(w.Search().cmbRadioType()->isEnabled());
        EXPECT_TRUE(w.Search().ResultList()->Frame()->isEnabled());
        EXPECT_TRUE(w.Search().ResultList()->updatesEnabled());
        SaveShot(&w, QString::fromLatin1(shots[dir]));
    }
    // InLive hides the rate column (width 0) and shows the genre wide.
    EXPECT_TRUE(w.Search().ResultList()->isColumnHidden(2));
    EXPECT_EQ(w.Search().ResultList()->columnWidth(1), 165);
}

TEST_F(MainWindowTest, RadioBrowserSearchesAndTheStatusBarSaysWhyNothingCame) {
    const std::string page = DataBytes(u"radio_browser_stations.json"_s);
    std::string local = "[";
    for (const char* n : {"1", "2"})  // addresses on loopback: playing them must not leave it
        local += std::string("{\"stationuuid\":\"u-") + n + "\",\"name\":\"Loop " + n + "\",\"url\":\"" +
                 server_.Url("/gone.mp3?") + n + "\"},";
    local.back() = ']';
    server_.Handle("/json/stations/search", [page, local](const HttpRequest& r) {
        if (r.query.find("name=down") == 0)
            return HttpResponse::Status(503, "overloaded");
        if (r.query.find("name=none") == 0)
            return HttpResponse::Ok("[]", "application/json");
        return HttpResponse::Ok(r.query.find("name=loop") == 0 ? local : page, "application/json");
    });
    frmMain& w = Open();
    SearchPage& s = w.Search();
    ChooseDirectory(w, 5);
    EXPECT_EQ(s.cmbRadioType()->itemText(5), u"Radio-Browser"_s);
    EXPECT_TRUE(s.SearchType(0)->isEnabled());
    s.cmbGenre()->setCurrentIndex(13);
    QTest::mouseClick(w.Button(frmMain::kCmdSearch), Qt::LeftButton);
    ASSERT_EQ(s.ResultList()->model()->rowCount(), 5);
    EXPECT_EQ(s.ResultList()->model()->index(1, 0).data().toString(), u"爵士樂電台 台北"_s);
    EXPECT_EQ(s.ResultList()->model()->index(0, 2).data().toString(), u"128 kbps"_s);
    EXPECT_EQ(w.picStatusBar()->Text(), u"就緒 . . ."_s) << "a search that found stations leaves no line";
    SaveShot(&w, u"search_radio_browser"_s);

    QTest::mouseClick(s.SearchType(1), Qt::LeftButton);
    const struct {
        QString name;
        int rows;
        QString line;
    } cases[] = {
        {u"none"_s, 0, u"搜尋完成：沒有找到電台"_s},
        {u"down"_s, 0, u"搜尋失敗：127.0.0.1:"_s + QString::number(server_.Port()) + u" 回應 HTTP 503"_s},
        {u"loopback"_s, 2, u"就緒 . . ."_s},
    };
    for (const auto& c : cases) {
        s.txtSearch()->setText(c.name);
        QTest::keyClick(s.txtSearch(), Qt::Key_Return);
        EXPECT_EQ(s.ResultList()->model()->rowCount(), c.rows) << c.name.toStdString();
        EXPECT_EQ(w.picStatusBar()->Text(), c.line);
        if (c.rows == 0)
            SaveShot(&w, u"search_radio_browser_"_s + c.name);
    }
    // Playing a result tells the directory, beside the connect; sorted, the rows keep their stations.
    QTest::mouseClick(s.ResultList()->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(30, 5));
    ASSERT_EQ(Lists().searchList.Title(0), u"Loop 2"_s);
    // A double click comes after the press and release of a click.
    QTest::mouseClick(s.ResultList()->viewport(), Qt::LeftButton, {}, QPoint(30, 10));
    QTest::mouseDClick(s.ResultList()->viewport(), Qt::LeftButton, {}, QPoint(30, 10));
    const auto clicked = [](const HttpRequest& r) { return r.target == "/json/url/u-2"; };
    EXPECT_TRUE(WaitUntil([&] { return std::ranges::any_of(server_.Requests(), clicked); }, 10000));
}

TEST_F(MainWindowTest, ColumnClicksAlternateTheOrderAndTheRightClickCopiesToTheLists) {
    frmMain& w = Open();
    server_.Handle("/legacy/genresearch", [](const HttpRequest&) {
        return HttpResponse::Ok(DataBytes(u"shoutcast_answer.xml"_s), "text/xml");
    });
    w.RunCommand(frmMain::kCmdSearch);
    ASSERT_EQ(w.Search().ResultList()->model()->rowCount(), 3);
    QHeaderView* header = w.Search().ResultList()->horizontalHeader();
    const int x2 = header->sectionViewportPosition(2) + 5;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x2, 5));
    QStringList rates;
    for (int i = 0; i < 3; ++i)
        rates << Lists().searchList.JobStart(i);
    EXPECT_EQ(rates, (QStringList{u"192 kbps"_s, u"128 kbps"_s, u"64 kbps"_s}))
        << "first click: descending, by number";
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x2, 5));
    EXPECT_EQ(Lists().searchList.JobStart(0), u"64 kbps"_s) << "second click: ascending";
    EXPECT_EQ(w.Search().ResultList()->model()->index(0, 2).data().toString(), u"64 kbps"_s);

    QWidget* vp = w.Search().ResultList()->viewport();
    QStringList seen;
    OnNextMenu(u"加入我的最愛"_s, &seen);
    QTest::mouseClick(vp, Qt::RightButton, {}, QPoint(30, 35));  // row 1
    EXPECT_EQ(seen, (QStringList{u"加入我的最愛"_s, u"加入排程工作"_s}));
    ASSERT_EQ(Lists().favoriteList.ListCount(), 1);
    EXPECT_EQ(Lists().favoriteList.Title(0), Lists().searchList.Title(1));
    EXPECT_EQ(w.Favorites().model()->rowCount(), 1);

    OnNextMenu(u"加入排程工作"_s);
    const QString before = QTime::currentTime().toString(u"HH:mm:ss"_s);
    QTest::mouseClick(vp, Qt::RightButton, {}, QPoint(30, 10));  // row 0
    const QString after = QTime::currentTime().toString(u"HH:mm:ss"_s);
    ASSERT_EQ(Lists().jobList.ListCount(), 1);
    EXPECT_EQ(Lists().jobList.Title(0), Lists().searchList.Title(0));
    EXPECT_TRUE(Lists().jobList.JobStart(0) == before || Lists().jobList.JobStart(0) == after);
    EXPECT_EQ(Lists().jobList.JobStart(0), Lists().jobList.JobStop(0));
    EXPECT_EQ(Lists().jobList.RunJob(0), 0);

    OnNextMenu(QString());
    QTest::mouseClick(vp, Qt::RightButton, {}, QPoint(30, 10));
    EXPECT_EQ(Lists().favoriteList.ListCount(), 1) << "dismissed: nothing added";
    EXPECT_EQ(Lists().jobList.ListCount(), 1);
}

TEST_F(MainWindowTest, ARightClickOnAnEmptyListShowsNoMenu) {
    frmMain& w = Open();
    bool menu = false;
    OnNextModal([&](QWidget*) { menu = true; }, 500);
    OnNextMenu(QString(), nullptr, 500);
    QTest::mouseClick(w.Search().ResultList()->viewport(), Qt::RightButton, {}, QPoint(30, 10));
    QTest::mouseClick(w.PlayLogList().viewport(), Qt::RightButton, {}, QPoint(30, 10));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_FALSE(menu);
}

TEST_F(MainWindowTest, PlayLogMenuClearsTheLog) {
    frmMain& w = Open();
    w.TabStrip()->setCurrentIndex(4 - 1);
    player().Log().Add(u"10:00:00: One"_s, true);
    player().Log().Add(u"10:00:01: Two"_s, true);
    ASSERT_EQ(w.PlayLogList().model()->rowCount(), 2);
    EXPECT_EQ(w.PlayLogList().model()->index(1, 0).data().toString(), u"10:00:01: Two"_s);
    QStringList seen;
    OnNextMenu(u"清除播放日誌"_s, &seen);
    QTest::mouseClick(w.PlayLogList().viewport(), Qt::RightButton, {}, QPoint(30, 5));
    EXPECT_EQ(seen, (QStringList{u"輸出播放日誌"_s, u"清除播放日誌"_s}));
    EXPECT_EQ(w.PlayLogList().model()->rowCount(), 0);
    EXPECT_EQ(Lists().playLogList.ListCount(), 0);
    player().Log().Add(u"10:00:02: Three"_s, true);
    EXPECT_EQ(w.PlayLogList().model()->rowCount(), 1);
}

TEST_F(MainWindowTest, RecordMuteEqualizerAndSortCommands) {
    frmMain& w = Open();
    w.RunCommand(frmMain::kCmdRecord);
    EXPECT_TRUE(core_->recorder().IsRecording());
    EXPECT_EQ(w.Button(3)->Caption(), u"停止錄音"_s);
    w.RunCommand(frmMain::kCmdRecord);
    EXPECT_FALSE(core_->recorder().IsRecording());
    EXPECT_EQ(w.Button(3)->Caption(), u"開始錄音"_s);

    QTest::mouseClick(w.Button(7), Qt::LeftButton);
    EXPECT_TRUE(player().IsMuted());
    EXPECT_EQ(w.Button(7)->Caption(), u"解除靜音"_s);
    QTest::mouseClick(w.Button(7), Qt::LeftButton);
    EXPECT_FALSE(player().IsMuted());

    player().SetEqPreset(2);
    QStringList seen;
    OnNextMenu(u"搖滾"_s, &seen);
    w.RunCommand(frmMain::kCmdEqualizer);
    EXPECT_TRUE(seen.contains(u"流行音樂 [x]"_s)) << "the preset in use is checked";
    EXPECT_EQ(player().IndexEQ(), 3);

    for (const QString& t : {u"beta"_s, u"Alpha"_s, u"gamma"_s}) {
        Lists().favoriteList.AddItem({.file = u"http://x.test/"_s + t, .title = t});
        w.Favorites().FollowList();
    }
    w.RunCommand(frmMain::kCmdSortAscending);
    EXPECT_EQ(Lists().favoriteList.Title(0), u"beta"_s) << "on tab 1 the sort commands do nothing";
    w.TabStrip()->setCurrentIndex(2 - 1);
    QTest::mouseClick(w.Button(13), Qt::LeftButton);
    EXPECT_EQ(Lists().favoriteList.Title(0), u"Alpha"_s);
    EXPECT_EQ(Lists().favoriteList.Title(2), u"gamma"_s);
    w.RunCommand(frmMain::kCmdSortDescending);
    EXPECT_EQ(Lists().favoriteList.Title(0), u"gamma"_s);
    EXPECT_EQ(w.Favorites().model()->index(0, 0).data().toString(), u"gamma"_s);
}

TEST_F(MainWindowTest, WithoutATrayClosingMinimisesAndOnlyExitSavesTheLists) {
    frmMain& w = Open();
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "offscreen has no tray";
    w.close();
    Pump(50);
    EXPECT_FALSE(w.ShutDown());
    EXPECT_TRUE(w.isMinimized() || w.windowState().testFlag(Qt::WindowMinimized))
        << "with no tray to hide in, the window is minimised, never lost";
    w.showNormal();

    Lists().favoriteList.AddItem({.file = u"http://fav.test/1"_s, .title = u"我的電台"_s, .code = 1});
    w.Favorites().FollowList();
    Lists().jobList.AddItem({.file = u"http://job.test/1"_s,
                             .title = u"Job One"_s,
                             .jobMode = 1,
                             .jobStart = u"07:00:00"_s,
                             .jobStop = u"08:00:00"_s,
                             .runJob = 1});
    w.Jobs().FollowList();
    w.Search().cmbGenre()->setCurrentIndex(5);
    w.Search().txtSearch()->setText(u"深夜"_s);
    bool done = false;
    QObject::connect(&w, &frmMain::ShutdownDone, [&] { done = true; });
    QTest::mouseClick(w.Button(6), Qt::LeftButton);
    EXPECT_TRUE(done);
    EXPECT_TRUE(w.ShutDown());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(Read(settings::kSearchGenre), u"5"_s);
    EXPECT_EQ(Read(settings::kSearchName), u"深夜"_s);
    const QString fav = ReadUtf16File(SettingFolder() + u"Favorites.ini"_s);
    const QString job = ReadUtf16File(SettingFolder() + u"RunJob.ini"_s);
    EXPECT_TRUE(fav.contains(u"我的電台"_s)) << fav.toStdString();
    EXPECT_TRUE(fav.contains(u"http://fav.test/1"_s));
    EXPECT_TRUE(job.contains(u"Job One"_s));
    EXPECT_TRUE(job.contains(u"07:00:00"_s));
    Close();

    // And they are back at the next start.
    frmMain& again = Open();
    EXPECT_EQ(again.Favorites().model()->rowCount(), 1);
    EXPECT_EQ(Lists().favoriteList.Title(0), u"我的電台"_s);
    EXPECT_EQ(Lists().jobList.JobStart(0), u"07:00:00"_s);
}

TEST_F(MainWindowTest, TheChosenDirectoryIsBackAtTheNextStart) {
    ChooseDirectory(Open(), 5);
    Close();
    EXPECT_EQ(Open().Search().cmbRadioType()->currentIndex(), 5);
}

// The station selected on screen, else the last one, else nothing and a line saying so. Nothing
// answers the addresses: the connect line names the station tried.
TEST_F(MainWindowTest, ThePlayCommandTakesTheSelectedStationElseTheLastOne) {
    frmMain& w = Open();
    const auto log = [&] {
        QString text;
        for (int i = 0; i < Lists().playLogList.ListCount(); ++i)
            text += Lists().playLogList.File(i) + u'\n';
        return text;
    };
    w.RunCommand(frmMain::kCmdPlay);
    EXPECT_FALSE(log().contains(u"連線至"_s)) << "a first run has no station to connect to";
    EXPECT_EQ(w.picStatusBar()->Text(), ui_text::kNoStationToPlay);
    core_->settings().WriteLast({server_.UrlText("/last.mp3"), u"Last"_s, 0});
    Lists().favoriteList.AddItem({.file = server_.UrlText("/fav.mp3"), .title = u"Fav"_s});
    w.Favorites().FollowList();
    w.TabStrip()->setCurrentIndex(2 - 1);
    for (const QString& name : {u"Last"_s, u"Fav"_s}) {
        w.RunCommand(frmMain::kCmdPlay);
        EXPECT_TRUE(log().contains(u"連線至 "_s + name + u'\n')) << name.toStdString();
        w.Favorites().SelectOnly(0);
    }
}

}  // namespace
}  // namespace wavelot::test
