// Main window: the commands, the equalizer and tray menus, the status bar and the timers.
#include <QDesktopServices>
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
#include "ui/key_codes.h"
#include "ui/main_window_texts.h"
#include "ui/popup_menu.h"
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
        ApplyVolume();
        buttons_[kCmdMute]->update();
        break;
    case kCmdAdd: OpenRadioEdit(false); break;
    case kCmdEdit: OpenRadioEdit(true); break;
    case kCmdDelete:
        if (StationListView* list = CurrentStationList())
            nTypes(list->View(), list->Ops().List(), VK_DELETE);
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
    const int tab = TabStrip().TabItem();
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
    const int tab = TabStrip().TabItem();
    StationListView* list = CurrentStationList();
    clsListView* view = list != nullptr ? &list->View() : nullptr;
    if (edit && (view == nullptr || view->ListCount() == 0 || view->SelCount() == 0))
        return;
    frmRadioEdit dialog(core_.Lists(), tab, view);
    dialog.LoadMe(this, edit);
}

void frmMain::ApplyVolume() {
    player_.SetVolume(volume_);
}

void frmMain::ShowEqMenu() {
    MenuBegin();
    const int current = player_.IndexEQ();
    for (const EqPreset& p : kEqPresets)
        MenuAddItem(EqPresetCaption(p), p.command == current ? MF_CHECKED : MF_STRING, p.command);
    if (current >= kEqFirstPreset && current <= kEqLastPreset)
        MenuSetDefault(current, false);
    const int chosen = MenuShow(this);
    MenuEnd();
    if (chosen >= kEqFirstPreset && chosen <= kEqLastPreset)
        player_.SetEqPreset(chosen);
}

void frmMain::ShowTrayMenu() {
    if (!loaded_ || shutDown_)
        return;
    MenuBegin();
    MenuAddSubmenu(ui_text::kTrayVolume);
    for (int i = 0; i <= 10; ++i)
        MenuAddSubItem(QStringLiteral("%1 %").arg(i * 10), MF_STRING, i + 1);
    MenuAddSubItem(QString(), MF_SEPARATOR, 0);
    if (player_.IsMuted())
        MenuAddSubItem(ui_text::kUnmute, MF_CHECKED, 12);
    else
        MenuAddSubItem(ui_text::kCaptions[kCmdMute], MF_STRING, 12);
    MenuCheckRadio(0, 10, std::clamp(player_.VolumeLevel() - 1, 0, 10));
    MenuAddItem(QString(), MF_SEPARATOR, 0);
    AddPlaybackItems();
    MenuAddItem(QString(), MF_SEPARATOR, 0);
    MenuAddItem(ui_text::kTrayShow, MF_STRING, 13);
    MenuAddItem(ui_text::kTrayExit, MF_STRING, 14);
    const int chosen = MenuShow(this);
    MenuEnd();
    RunTrayCommand(chosen);
}

namespace {
// The playback entries' ids, after the tray menu's own; the minutes each saving entry keeps.
constexpr int kIdPause = 20;
constexpr int kIdGoLive = 21;
constexpr int kIdSaveRecent = 22;
constexpr int kSaveMinutes[] = {5, 15, 30};
}  // namespace

void frmMain::AddPlaybackItems() {
    const bool playing = player_.IsPlaying();
    const int onlyPlaying = playing ? MF_STRING : MF_GRAYED;
    MenuAddItem(player_.IsPaused() ? ui_text::kResume : ui_text::kPause, onlyPlaying, kIdPause);
    MenuAddItem(ui_text::kGoLive, playing && player_.IsBehindLive() ? MF_STRING : MF_GRAYED, kIdGoLive);
    for (int i = 0; i < 3; ++i)
        MenuAddItem(ui_text::kSaveRecent + u' ' + ui_text::kMinutes.arg(kSaveMinutes[i]), onlyPlaying,
                    kIdSaveRecent + i);
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
    MenuBegin();
    AddPlaybackItems();
    const int chosen = MenuShow(this);
    MenuEnd();
    RunTrayCommand(chosen);
}

void frmMain::RunTrayCommand(int command) {
    if (command == kIdPause) {
        if (!player_.Resume())
            player_.Pause();
        return;
    }
    if (command == kIdGoLive) {
        player_.GoLive();
        return;
    }
    if (command >= kIdSaveRecent && command < kIdSaveRecent + 3) {
        core_.recorder().SaveRecent(kSaveMinutes[command - kIdSaveRecent] * 60);
        return;
    }
    if (command >= 1 && command <= 11) {
        // The slider keeps its value: the next mute toggle or drag applies it again.
        player_.SetVolume(10 * (command - 1));
    } else if (command == 12) {
        RunCommand(kCmdMute);
        buttons_[kCmdMute]->ResetLook();
    } else if (command == 13) {
        ToggleTray();
    } else if (command == 14) {
        RunCommand(kCmdExit);
    }
}

void frmMain::picStatusBar_Pressed(int button) {
    if (shutDown_ || !player_.IsPlaying())
        return;
    const QString title = player_.SongTitle();
    if (button != 2) {
        SetClipboardText(title);
        return;
    }
    MenuBegin();
    MenuAddItem(ui_text::kGoogle, MF_STRING, 1);
    MenuAddItem(ui_text::kYouTube, MF_STRING, 2);
    MenuAddItem(QString(), MF_SEPARATOR, 0);
    MenuAddItem(ui_text::kCopySong, MF_STRING, 3);
    const int chosen = MenuShow(this);
    MenuEnd();
    const WebSearchHosts hosts = LoadWebSearchHosts(SettingFile());
    if (chosen == 1)
        QDesktopServices::openUrl(GoogleSearchUrl(hosts, title));
    else if (chosen == 2)
        QDesktopServices::openUrl(YouTubeSearchUrl(hosts, title));
    else if (chosen == 3)
        SetClipboardText(title);
}

void frmMain::tmrVis_Timer() {
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
            tmrVis_.stop();  // nothing to follow until the player logs a connect
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
