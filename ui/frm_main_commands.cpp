// Main window: the commands, the equalizer and tray menus, the status bar and the timers.
#include <QActionGroup>
#include <QDesktopServices>
#include <QMenu>
#include <QUrl>

#include <vector>

#include "core/app_folders.h"
#include "core/list_files.h"
#include "core/pump_wait.h"
#include "core/settings.h"
#include "engine/eq_presets.h"
#include "engine/player.h"
#include "engine/recorder.h"
#include "engine/time_text.h"
#include "session/session.h"
#include "ui/clipboard.h"
#include "ui/frm_main.h"
#include "ui/frm_option.h"
#include "ui/frm_radio_edit.h"
#include "ui/main_window_texts.h"
#include "ui/menus.h"
#include "ui/search_page.h"
#include "ui/station_list_view.h"
#include "ui/web_search.h"

namespace wavelot {

void frmMain::RunCommand(int index) {
    if (!loaded_ || shutDown_)
        return;
    switch (index) {
    case kCmdSearch: searchPage_->RunSearch(); break;
    case kCmdPlay: PlayChosenStation(); break;
    case kCmdStop: player_.StopRadio(); break;
    case kCmdRecord: core_.recorder().ToggleRecording(); break;
    case kCmdEqualizer: ShowEqMenu(); break;
    case kCmdOptions: options_.ShowModal(this); break;
    case kCmdExit:
        exitRequested_ = true;
        close();
        break;
    case kCmdMute:
        player_.SetMuted(!player_.IsMuted());
        player_.SetVolume(volume_);
        buttons_[kCmdMute]->update();
        break;
    case kCmdAdd: OpenRadioEdit(false); break;
    case kCmdEdit: OpenRadioEdit(true); break;
    case kCmdDelete:
        if (StationListView* list = CurrentStationList())
            list->KeyCommand(Qt::Key_Delete);
        break;
    case kCmdExport:
        if (StationListView* list = CurrentStationList())
            list->ExportList();
        break;
    case kCmdImport:
        if (StationListView* list = CurrentStationList())
            list->ImportList();
        break;
    case kCmdSortAscending:
    case kCmdSortDescending: SortStationList(index == kCmdSortAscending); break;
    default: break;
    }
}

// The station selected in the list on screen, else the one started last. A first run has
// neither: the status bar says so rather than connecting to an empty address.
void frmMain::PlayChosenStation() {
    const int tab = CurrentTab();
    if (tab == kTabSearch && searchPage_->PlaySelected())
        return;
    if (StationListView* list = CurrentStationList()) {
        if (const std::vector<int> rows = list->Ops().SelectedRows(); !rows.empty()) {
            const clsSongArray& stations = list->Ops().List();
            PlayRadio(stations.File(rows.front()), stations.Title(rows.front()), stations.Code(rows.front()));
            return;
        }
    }
    if (core_.settings().Last().url.trimmed().isEmpty()) {
        statusBar_->ShowNotice(ui_text::kNoStationToPlay, true);
        return;
    }
    player_.PlayLastStation();
}

void frmMain::PlayRadio(const QString& url, const QString& name, int code) {
    if (!shutDown_)
        player_.PlayRadio(url, name, code);
}

// Editing needs a selected row of the favourites or the jobs; adding works on every tab, though
// only those two store anything.
void frmMain::OpenRadioEdit(bool edit) {
    const int tab = CurrentTab();
    StationListView* list = CurrentStationList();
    if (edit && (list == nullptr || list->FirstSelected() < 0))
        return;
    frmRadioEdit dialog(core_.Lists(), tab, list);
    dialog.Open(this, edit);
}

void frmMain::ShowEqMenu() {
    QMenu menu;
    const int current = player_.IndexEQ();
    for (const EqPreset& p : kEqPresets) {
        const int command = p.command;
        QAction* a =
            menu.addAction(EqPresetCaption(p), this, [this, command] { player_.SetEqPreset(command); });
        if (command == current) {
            a->setCheckable(true);
            a->setChecked(true);
            SetDefaultAction(menu, a);
        }
    }
    ShowMenu(menu, this);
}

void frmMain::ShowTrayMenu() {
    if (!loaded_ || shutDown_)
        return;
    QMenu menu;
    QMenu* volume = menu.addMenu(ui_text::kTrayVolume);
    // Radio look: an exclusive group draws a dot, not a tick.
    auto* levels = new QActionGroup(volume);
    const int level = std::clamp(player_.VolumeLevel() - 1, 0, 10);
    for (int i = 0; i <= 10; ++i) {
        // The slider keeps its value: the next mute toggle or drag applies it again.
        QAction* a = volume->addAction(QStringLiteral("%1 %").arg(i * 10), this,
                                       [this, i] { player_.SetVolume(10 * i); });
        a->setCheckable(true);
        a->setChecked(i == level);
        levels->addAction(a);
    }
    volume->addSeparator();
    QAction* mute = volume->addAction(player_.IsMuted() ? ui_text::kUnmute : ui_text::kCaptions[kCmdMute],
                                      this, [this] { RunCommand(kCmdMute); });
    mute->setCheckable(player_.IsMuted());
    mute->setChecked(player_.IsMuted());
    menu.addSeparator();
    AddPlaybackItems(menu);
    menu.addSeparator();
    menu.addAction(ui_text::kTrayShow, this, &frmMain::ToggleTray);
    menu.addAction(ui_text::kTrayExit, this, [this] { RunCommand(kCmdExit); });
    ShowMenu(menu, this);
}

namespace {
// The minutes each saving entry keeps.
constexpr int kSaveMinutes[] = {5, 15, 30};
}  // namespace

void frmMain::AddPlaybackItems(QMenu& menu) {
    const bool playing = player_.IsPlaying();
    QAction* pause = menu.addAction(player_.IsPaused() ? ui_text::kResume : ui_text::kPause, this, [this] {
        if (!player_.Resume())
            player_.Pause();
    });
    pause->setEnabled(playing);
    menu.addAction(ui_text::kGoLive, this, [this] { player_.GoLive(); })
        ->setEnabled(playing && player_.IsBehindLive());
    for (int minutes : kSaveMinutes)
        menu.addAction(ui_text::kSaveRecent + u' ' + ui_text::kMinutes.arg(minutes), this,
                       [this, minutes] { core_.recorder().SaveRecent(minutes * 60); })
            ->setEnabled(playing);
}

bool frmMain::PausePlayback() {
    return !shutDown_ && (player_.IsPaused() || player_.Pause());
}

bool frmMain::ResumePlayback() {
    return !shutDown_ && player_.Resume();
}

void frmMain::ShowPlaybackMenu() {
    if (!loaded_ || shutDown_)
        return;
    QMenu menu;
    AddPlaybackItems(menu);
    ShowMenu(menu, this);
}

void frmMain::StatusBarPressed(Qt::MouseButton button) {
    if (shutDown_ || !player_.IsPlaying())
        return;
    const QString title = player_.SongTitle();
    if (button != Qt::RightButton) {
        SetClipboardText(title);
        return;
    }
    // The hosts are read when a search is chosen, so an edit of the settings file counts at once.
    QMenu menu;
    menu.addAction(ui_text::kGoogle, [&] {
        QDesktopServices::openUrl(GoogleSearchUrl(LoadWebSearchHosts(SettingFile()), title));
    });
    menu.addAction(ui_text::kYouTube, [&] {
        QDesktopServices::openUrl(YouTubeSearchUrl(LoadWebSearchHosts(SettingFile()), title));
    });
    menu.addSeparator();
    menu.addAction(ui_text::kCopySong, [&] { SetClipboardText(title); });
    ShowMenu(menu, this);
}

void frmMain::DisplayTick() {
    if (shutDown_)
        return;
    const bool playing = player_.IsPlaying();
    // While a dropped station waits for its next reconnect attempt, stop is what ends them.
    const bool wanted = playing || player_.PlaybackState() == Player::State::Dropped;
    buttons_[kCmdPlay]->setVisible(!wanted);
    buttons_[kCmdStop]->setVisible(wanted);
    core_.FollowPlayback();
    if (!isVisible() || isMinimized()) {
        if (!playing && player_.PlaybackState() == Player::State::Idle)
            displayTimer_.stop();  // nothing to follow until the player logs a connect
        return;
    }
    if (!playing) {
        statusBar_->ShowIdle();
        return;
    }
    const int bins = player_.ReadSpectrum(fft_);
    statusBar_->Bars().Tick(bins > 0 ? fft_.data() : nullptr, bins, statusBar_->InnerHeight());
    statusBar_->ShowPlaying(FormatSeconds(player_.ElapsedSeconds()) + QStringLiteral(" * ") +
                            player_.SongTitle());
}

}  // namespace wavelot
