// Main window: the start-up sequence, the first-run question and the shutdown sequence.
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>

#include "core/app_folders.h"
#include "core/ini_file.h"
#include "core/list_files.h"
#include "core/path_utils.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "directories/directory_tables.h"
#include "engine/audio/audio_library.h"
#include "engine/engine_setup.h"
#include "engine/player.h"
#include "ui/folder_browser.h"
#include "ui/frm_main.h"
#include "ui/main_window_texts.h"
#include "ui/screen_metrics.h"

namespace wavelot {

namespace s = settings;

namespace {
const QColor kListBack(51, 51, 51);

void MakeHost(QWidget*& host, QWidget* parent, const char* name)
{
    host = new QWidget(parent);
    host->setObjectName(QString::fromLatin1(name));
    host->show();  // made after the window was shown, so it must be shown itself
}
}  // namespace

void frmMain::BuildSearchRow()
{
    MakeHost(picRadioType_, picListView_, "picRadioType");
    MakeHost(picGenre_, picListView_, "picGenre");
    MakeHost(picSearch_, picListView_, "picSearch");
    MakeHost(picOptGenre_, picListView_, "picOptGenre");
    MakeHost(picOptName_, picListView_, "picOptName");
    for (QWidget* h : {picRadioType_, picGenre_, picSearch_, static_cast<QWidget*>(buttons_[kCmdSearch])})
        h->setFixedHeight(controlHeight_);

    cmbRadioType_.SetTargetPictureBox(picRadioType_);
    cmbRadioType_.Create(CtrlStyle::DropDownList);
    for (const DirectoryInfo& d : kDirectories)
        cmbRadioType_.AddItem(QString::fromUtf16(d.shown));
    cmbRadioType_.SetListIndex(0);
    connect(&cmbRadioType_, &clsControl::Click, this, &frmMain::cmbRadioType_Click);

    cmbGenre_.SetTargetPictureBox(picGenre_);
    cmbGenre_.Create(CtrlStyle::DropDownList);
    for (const GenreInfo& g : kGenres)
        cmbGenre_.AddItem(QString::fromUtf16(g.shown));
    cmbGenre_.SetListIndex(ReadIniInt(s::kSectionSetting, s::kSearchGenre, SettingFile()));

    optGenre_.SetTargetPictureBox(picOptGenre_);
    optGenre_.Create(CtrlStyle::OptionButton);
    optName_.SetTargetPictureBox(picOptName_);
    optName_.Create(CtrlStyle::OptionButton);
    connect(&optGenre_, &clsControl::Click, this, [this] { SearchType_Click(0); });
    connect(&optName_, &clsControl::Click, this, [this] { SearchType_Click(1); });

    txtSearch_.SetTargetPictureBox(picSearch_);
    txtSearch_.BorderStyle(CtrlBorder::Static);
    txtSearch_.Create(CtrlStyle::TextBox);
    txtSearch_.setText(ReadIni(s::kSectionSetting, s::kSearchName, SettingFile()));
    connect(&txtSearch_, &clsControl::KeyDown, this, [this](int& key, int) {
        if (key != 13)
            return;
        key = 0;  // swallowed: no beep, no default action
        if (optName_.Checked())
            RunCommand(kCmdSearch);
    });
}

void frmMain::BuildLists()
{
    const int border = WS_EX_STATICEDGE;
    const int exStyle = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;

    searchView_.Create(picListView_, LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL, 0, 30, 641, 377, 1, 24, border);
    searchView_.SetLVStyle(exStyle);
    searchView_.BackColor(kListBack);
    searchView_.ColumnAdd(0, SearchTitleColumnWidthFor(largeFonts_), ui_text::kSearchColumns[0], 0);
    searchView_.ColumnAdd(1, 50, ui_text::kSearchColumns[1], 1);
    searchView_.ColumnAdd(2, 80, ui_text::kSearchColumns[2], 1);
    searchView_.ColumnAdd(3, 55, ui_text::kSearchColumns[3], 1);
    searchView_.hWnd()->setObjectName(QStringLiteral("clsListView"));
    connect(&searchView_, &clsListView::OnData, this, [](int item, int sub, QString& text) {
        clsSongArray& list = SearchList();
        switch (sub) {
        case 0: text = list.Title(item); break;
        case 1: text = list.Comment(item); break;
        case 2: text = list.JobStart(item); break;
        case 3: text = list.JobStop(item); break;
        default: break;
        }
    });
    connect(&searchView_, &clsListView::CustomDraw, this, &frmMain::clsSearch_CustomDraw);
    connect(&searchView_, &clsListView::Click, this, &frmMain::clsSearch_Click);
    connect(&searchView_, &clsListView::DblClick, this, &frmMain::clsSearch_DblClick);
    connect(&searchView_, &clsListView::ColumnClick, this, &frmMain::clsSearch_ColumnClick);

    const int multiStyle = LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER;
    struct StationView {
        clsListView* view;
        QWidget* panel;
        clsSongArray* list;
        int rowHeight;
        const char* name;
    };
    for (const StationView& sv : {StationView{&favoritesView_, picFavorites_, &FavoriteList(), 45, "clsFavorites"},
                                  StationView{&jobsView_, picRunJobs_, &JobList(), JobRowHeightFor(largeFonts_),
                                              "clsRunJobs"}}) {
        clsListView* view = sv.view;
        clsSongArray* list = sv.list;
        view->Create(sv.panel, multiStyle, 0, 0, 641, 324, 1, sv.rowHeight, border);
        view->SetLVStyle(exStyle);
        view->BackColor(kListBack);
        view->ColumnAdd(0, 581, ui_text::kStationColumn, 0);
        view->hWnd()->setObjectName(QString::fromLatin1(sv.name));
        connect(view, &clsListView::OnData, this, [list](int item, int sub, QString& text) {
            if (sub == 0)
                text = list->Title(item);
        });
        connect(view, &clsListView::CustomDraw, this,
                [this, view](NMLVCustomDraw& rec, int& result) { clsStation_CustomDraw(*view, rec, result); });
        connect(view, &clsListView::DblClick, this, [this, view, list](int item, int) {
            if (view->ListCount() > 0 && view->SelCount() > 0 && item >= 0)
                PlayRadio(list->File(item), list->Title(item), list->Code(item));
        });
    }

    logView_.Create(picTab_, LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_NOCOLUMNHEADER, 5, 25, 636, 402, 1, 20,
                    border);
    logView_.SetLVStyle(exStyle);
    logView_.BackColor(QColor(0x33, 0x33, 0x33));
    logView_.ColumnAdd(0, 350, QString(), 0);
    logView_.hWnd()->setObjectName(QStringLiteral("clsStart"));
    logView_.Container()->lower();  // under the three panels: seen only on the play-log tab
    connect(&logView_, &clsListView::OnData, this, [](int item, int sub, QString& text) {
        if (sub == 0)
            text = PlayLogList().File(item);
    });
    connect(&logView_, &clsListView::CustomDraw, this, [](NMLVCustomDraw& rec, int& result) {
        if (rec.dwDrawStage == CDDS_PREPAINT) {
            result = CDRF_NOTIFYITEMDRAW;
        } else if (rec.dwDrawStage == CDDS_ITEMPREPAINT) {
            rec.uItemState &= ~(CDIS_SELECTED | CDIS_FOCUS);
            rec.clrText = QColor(0xBB, 0xBB, 0xBB);
            rec.clrTextBk = QColor(0x33, 0x33, 0x33);
            result = CDRF_DODEFAULT;
        }
    });
    connect(&logView_, &clsListView::Click, this, &frmMain::clsStart_Click);
}

bool frmMain::Form_Load()
{
    if (loaded_)
        return true;
    audio_ = std::make_unique<AudioLibrary>();
    if (!InitAudioEngine(*audio_)) {
        audio_.reset();
        return false;
    }
    player_ = std::make_unique<Player>(SettingFile(), *audio_, PlayLogList());
    player_->SetRecordStarter(startRecord_);
    connect(player_.get(), &Player::logLineAdded, this, [this](const QString&, bool scroll) {
        logView_.Add();
        if (scroll)
            logView_.EnsureVisible(logView_.ListCount() - 1);
    });
    connect(player_.get(), &Player::playLogCleared, this, [this] { logView_.Clear(); });
    connect(player_.get(), &Player::iconTipChanged, this, &frmMain::IconTip);

    BuildSearchRow();
    BuildLists();

    tabStrip_.SetTargetPictureBox(tabStripHost_);
    tabStrip_.Create(CtrlStyle::TabStrip);
    for (int i = 0; i < 4; ++i)
        tabStrip_.TabsAdd(i, ui_text::kTabs[i]);
    tabStrip_.SetTabItem(1);
    connect(&tabStrip_, &clsControl::Click, this, &frmMain::TabStrip_Click);

    volume_ = std::clamp(ReadIniInt(s::kSectionSetting, s::kSavedVolume, SettingFile()), s::kVolumeMin, s::kVolumeMax);
    tray_.Create(ProgramTitle());
    setWindowTitle(ProgramTitle());

    const int searchType = ReadIniInt(s::kSectionSetting, s::kSearchType, SettingFile()) == 1 ? 1 : 0;
    optGenre_.SetChecked(searchType == 0);
    optName_.SetChecked(searchType == 1);
    cmbRadioType_Click();

    auto growFavorites = [this] { favoritesView_.Add(); };
    auto growJobs = [this] { jobsView_.Add(); };
    ReadListIni(SettingFolder() + QString::fromUtf16(kFavoritesFileName), false, FavoriteList(), growFavorites);
    ReadListIni(SettingFolder() + QString::fromUtf16(kRunJobFileName), true, JobList(), growJobs);

    CreateFolder(RecordFolder());
    Form_Resize();
    TabStrip_Click();
    trackBar_->SetVolume(volume_);
    loaded_ = true;

    if (ReadIniIntStrict(s::kSectionSetting, s::kSetRecode, SettingFile()) == 0) {
        FirstRunQuestion();
        WriteIni(s::kSectionSetting, s::kSetRecode, 1, SettingFile());
    }
    player_->SetVolume(volume_);

    tmrVis_Timer();  // play or stop button at once, not 30 ms later
    tmrVis_.start();
    if (jobTick_)
        tmrJob_.start();
    return true;
}

void frmMain::FirstRunQuestion()
{
    const QString title = ProgramTitle();
    const QString question = ui_text::kFirstRunHello + UserName() + QStringLiteral("\r\n") + ui_text::kFirstRunQuestion;
    QString folder = RecordFolder();
    if (QMessageBox::question(this, title, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
        QMessageBox::Yes) {
        const QString chosen = BrowseForFolder(this, ui_text::kChooseFolder);
        if (!chosen.isEmpty()) {
            folder = chosen;
            QMessageBox::information(this, title, ui_text::kFolderChosen + chosen + ui_text::kThanks);
        } else {
            QMessageBox::information(this, title, ui_text::kFolderCancelled + RecordFolder() + ui_text::kThanks);
        }
    } else {
        QMessageBox::information(this, title, ui_text::kFolderDeclined + RecordFolder() + ui_text::kThanks);
    }
    WriteIni(s::kSectionSetting, s::kFilePath, folder, SettingFile());
}

void frmMain::Shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    tmrVis_.stop();
    tmrSong_.stop();
    tmrJob_.stop();
    if (player_ && audio_ && audio_->ChannelIsActive(player_->Current()) == audio::ACTIVE_PLAYING)
        player_->StopRadio();
    WriteIni(s::kSectionSetting, s::kSearchGenre, cmbGenre_.ListIndex(), SettingFile());
    WriteIni(s::kSectionSetting, s::kSearchName, txtSearch_.text(), SettingFile());
    WriteListIni(SettingFolder() + QString::fromUtf16(kFavoritesFileName), FavoriteList(), false);
    WriteListIni(SettingFolder() + QString::fromUtf16(kRunJobFileName), JobList(), true);
    player_.reset();
    if (audio_) {
        audio_->PluginFree(0);
        ReleaseAudioEngine(*audio_);
    }
    tray_.Remove();
    for (clsListView* v : {&searchView_, &favoritesView_, &jobsView_, &logView_})
        v->Clear();
    ReleaseStationLists();
    Q_EMIT ShutdownDone();
}

}  // namespace wavelot
