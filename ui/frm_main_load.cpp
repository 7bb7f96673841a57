// Main window: the start-up sequence, the first-run question and the shutdown sequence.
#include <QMessageBox>

#include "core/app_folders.h"
#include "core/path_utils.h"
#include "core/settings.h"
#include "engine/player.h"
#include "session/session.h"
#include "ui/controls.h"
#include "ui/folder_browser.h"
#include "ui/frm_main.h"
#include "ui/frm_option.h"
#include "ui/main_window_texts.h"
#include "ui/play_log_view.h"
#include "ui/search_page.h"
#include "ui/station_list_view.h"
#include "ui/status_display.h"

namespace wavelot {

namespace {

using namespace Qt::Literals::StringLiterals;

// What the user must know of the kept lists' files after they were read: a damaged one, with
// where its copy is, or one the program may not read. Empty when both were read whole.
QString ListFileNotice(const Session& core) {
    QStringList parts;
    for (const auto& [which, tab] : {std::pair{KeptList::Favorites, 1}, std::pair{KeptList::Jobs, 2}}) {
        const KeptListFile& file = core.ListFile(which);
        QString what;
        if (file.State() == ListFileRead::State::Unreadable)
            what = ui_text::kListUnreadableKept + file.Path();
        else if (file.State() == ListFileRead::State::Damaged && file.Backup().isEmpty())
            what = ui_text::kListDamagedNoCopy + file.Path();
        else if (file.State() == ListFileRead::State::Damaged)
            what = ui_text::kListDamagedCopy + file.Backup();
        else
            continue;
        parts << u"「"_s + ui_text::kTabs[tab] + u"」"_s + what;
    }
    return parts.join(u"  "_s);
}

}  // namespace

void frmMain::BuildTabs() {
    tabStrip_ = PlaceInput<QTabBar>(tabArea_, QRect());
    for (const QString& caption : ui_text::kTabs)
        tabStrip_->addTab(caption);
    tabStrip_->setCurrentIndex(0);
    connect(tabStrip_, &QTabBar::currentChanged, this, &frmMain::ShowCurrentTab);
}

void frmMain::Form_Load() {
    if (loaded_)
        return;
    searchPage_->Build(largeFonts_, controlHeight_);
    BuildTabs();

    const Settings& settings = core_.settings();
    volume_ = settings.SavedVolume();
    tray_.setToolTip(ProgramTitle());
    setWindowTitle(ProgramTitle());

    core_.LoadLists();
    favorites_->FollowList();
    jobs_->FollowList();
    if (const QString notice = ListFileNotice(core_); !notice.isEmpty())
        statusBar_->ShowNotice(notice, true);

    CreateFolder(RecordFolder());
    LayOut();
    ShowCurrentTab();
    trackBar_->SetVolume(volume_);
    loaded_ = true;

    if (settings.SetRecode() == 0) {
        FirstRunQuestion();
        settings.WriteSetRecode(1);
    }
    player_.SetVolume(volume_);

    DisplayTick();  // play or stop button at once, not 30 ms later
    PaceDisplayTimer();
    core_.StartJobs();
}

void frmMain::FirstRunQuestion() {
    const QString title = ProgramTitle();
    const QString question =
        ui_text::kFirstRunHello + UserName() + QStringLiteral("\r\n") + ui_text::kFirstRunQuestion;
    QString folder = RecordFolder();
    if (QMessageBox::question(this, title, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
        QMessageBox::Yes) {
        const QString chosen = BrowseForFolder(this, ui_text::kChooseFolder);
        if (!chosen.isEmpty()) {
            folder = chosen;
            QMessageBox::information(this, title, ui_text::kFolderChosen + chosen + ui_text::kThanks);
        } else {
            QMessageBox::information(this, title,
                                     ui_text::kFolderCancelled + RecordFolder() + ui_text::kThanks);
        }
    } else {
        QMessageBox::information(this, title, ui_text::kFolderDeclined + RecordFolder() + ui_text::kThanks);
    }
    options_.Inputs().txtFilePath->setText(folder);  // the session's options follow the box
    core_.settings().WriteFilePath(folder);
}

void frmMain::Shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    displayTimer_.stop();
    searchPage_->SaveInputs();
    connect(&core_, &Session::shutdownFinished, this, &frmMain::FinishShutdown, Qt::SingleShotConnection);
    core_.Shutdown();  // at once, or when the files being recorded are finished
}

void frmMain::FinishShutdown() {
    tray_.hide();
    core_.Lists().ClearAll();
    for (ListView* v :
         std::initializer_list<ListView*>{searchPage_->ResultList(), favorites_, jobs_, playLog_})
        if (v != nullptr)
            v->Rows().Follow();
    Q_EMIT ShutdownDone();
}

}  // namespace wavelot
