#pragma once
// The main window: four tabs (search, favourites, jobs, play log), fifteen command buttons,
// the volume slider, the status bar with the spectrum, the tray icon and the display timer; the
// job scheduler runs from the window's load to its shutdown. It holds the layout and wires events
// to the parts of the session: what a command does lives in those parts.
// The command numbers (0..14) are the button indexes, which the tray and the reconnect logic
// use too.

#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "ui/command_button.h"
#include "ui/list_view.h"
#include "ui/station_list_ops.h"
#include "ui/status_display.h"
#include "ui/tray_icon.h"
#include "ui/volume_slider.h"

class QMenu;
class QTabBar;

namespace wavelot {

class Player;
class Session;
class PlayLogView;
class SearchPage;
class StationListView;
class clsSongArray;
class frmOption;
struct StationRow;

class frmMain : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCommandCount = 15;
    enum Command : int {
        kCmdSearch = 0,
        kCmdPlay = 1,
        kCmdStop = 2,
        kCmdRecord = 3,
        kCmdEqualizer = 4,
        kCmdOptions = 5,
        kCmdExit = 6,
        kCmdMute = 7,
        kCmdAdd = 8,
        kCmdEdit = 9,
        kCmdDelete = 10,
        kCmdExport = 11,
        kCmdImport = 12,
        kCmdSortAscending = 13,
        kCmdSortDescending = 14,
    };

    // The session must be started; the window shows and drives it and outlives nothing of it.
    // options: the options dialog, loaded.
    frmMain(Session& core, frmOption& options, QWidget* parent = nullptr);
    ~frmMain() override;

    // The window's start-up: controls, saved settings and lists, the first-run question.
    void Form_Load();
    // Runs a command by its button index; out-of-range indexes do nothing.
    void RunCommand(int index);
    // True once the exit command ran the shutdown sequence.
    bool ShutDown() const { return shutDown_; }

    // Hides the window to the tray, or brings it back (the icon shows only while it is hidden).
    void ToggleTray();
    // The media controls' pause and play: whether the station is paused (or plays again) now;
    // false when the current stream cannot pause, or is not paused.
    bool PausePlayback();
    bool ResumePlayback();
    // Brings the window back as the tray's show command does, or raises it when it is shown.
    void ShowMainWindow();
    // Sets the volume as a drag of the slider does: the knob, the value and the stream.
    void SetSliderVolume(int volume);

    // A row drag runs (one at a time in both lists): the pointer shows the move arrows.
    bool Dragging() const { return dragging_; }
    void SetDragging(bool state);
    void PlayRadio(const QString& url, const QString& name, int code);

    // Parts, for tests.
    int Volume() const { return volume_; }
    // The command button of that number (kCmd*).
    CommandButton* Button(int command) const { return buttons_.at(static_cast<size_t>(command)); }
    QTabBar* TabStrip() const { return tabStrip_; }
    // The tab shown, 1 to 4 (0 before the tabs are made).
    int CurrentTab() const;
    SearchPage& Search() { return *searchPage_; }
    StationListView& Favorites() { return *favorites_; }
    StationListView& Jobs() { return *jobs_; }
    ListView& PlayLogList();
    StatusDisplay* picStatusBar() const { return statusBar_; }
    VolumeSlider* PicTrackBar() const { return trackBar_; }
    QSystemTrayIcon& Tray() { return tray_; }
    QWidget* picFavorites() const { return picFavorites_; }
    QWidget* picRunJobs() const { return picRunJobs_; }
    QWidget* picJobToolbar() const { return picJobToolbar_; }

Q_SIGNALS:
    // The shutdown sequence has run; the application ends its event loop on it.
    void ShutdownDone();

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    // Showing, hiding and minimising pace the display timer.
    bool event(QEvent* e) override;

private:
    void BuildControls();
    void BuildButtons();
    void MakeStationLists();
    void BuildTabs();
    void FirstRunQuestion();
    void Shutdown();
    void FinishShutdown();
    // Places every part in the fixed client area, once its parts are made.
    void LayOut();
    void ShowCurrentTab();
    void CopyToList(const StationRow& row, int target);
    void SortStationList(bool ascending);
    // The list of the current tab (2 favourites, 3 jobs); null on the others.
    StationListView* CurrentStationList();
    void StatusBarPressed(Qt::MouseButton button);
    void OpenRadioEdit(bool edit);
    void PlayChosenStation();
    void ShowEqMenu();
    void ShowTrayMenu();
    // Pause, play behind live, and saving the last minutes: in the tray menu and in the context
    // menu of the record and stop buttons.
    void AddPlaybackItems(QMenu& menu);
    void ShowPlaybackMenu();
    void DisplayTick();
    void PaceDisplayTimer();

    Session& core_;
    frmOption& options_;
    Player& player_;

    QWidget* tabArea_ = nullptr;
    QTabBar* tabStrip_ = nullptr;
    SearchPage* searchPage_ = nullptr;
    QWidget* picFavorites_ = nullptr;
    QWidget* picRunJobs_ = nullptr;
    QWidget* picJobToolbar_ = nullptr;
    StatusDisplay* statusBar_ = nullptr;
    VolumeSlider* trackBar_ = nullptr;
    PlayLogView* playLog_ = nullptr;
    std::array<CommandButton*, kCommandCount> buttons_{};
    StationListView* favorites_ = nullptr;
    StationListView* jobs_ = nullptr;
    DragRows drag_;
    QSystemTrayIcon tray_;

    QTimer displayTimer_;

    bool loaded_ = false;
    bool exitRequested_ = false;
    bool shutDown_ = false;
    bool dragging_ = false;
    bool largeFonts_ = false;
    int controlHeight_ = 22;
    int volume_ = 0;
    std::vector<float> fft_;
};

}  // namespace wavelot
