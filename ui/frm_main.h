#pragma once
// The main window: four tabs (search, favourites, jobs, play log), fifteen command buttons,
// the volume slider, the status bar with the spectrum, the tray icon and three timers. This
// class holds the layout and wires events to the routines of the other layers; the command
// numbers (0..14) are the button indexes, which the tray, the scheduler and the reconnect
// logic use too.

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "ui/cls_control.h"
#include "ui/command_button.h"
#include "ui/list_view.h"
#include "ui/status_display.h"
#include "ui/tray_icon.h"
#include "ui/volume_slider.h"

class QPlainTextEdit;

namespace wavelot {

class AudioLibrary;
class Player;

class frmMain : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCommandCount = 15;
    enum Command : int {
        kCmdSearch = 0, kCmdPlay = 1, kCmdStop = 2, kCmdRecord = 3, kCmdEqualizer = 4,
        kCmdOptions = 5, kCmdExit = 6, kCmdMute = 7, kCmdAdd = 8, kCmdEdit = 9, kCmdDelete = 10,
        kCmdExport = 11, kCmdImport = 12, kCmdSortAscending = 13, kCmdSortDescending = 14,
    };

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The window's start-up: engine, controls, saved settings and lists, the first-run
    // question. False when the audio engine cannot start; the caller then ends the program.
    bool Form_Load();
    // Runs a command by its button index; out-of-range indexes do nothing.
    void RunCommand(int index);
    // True once the exit command ran the shutdown sequence.
    bool ShutDown() const { return shutDown_; }
    bool ExitRequested() const { return exitRequested_; }

    // Tray (the icon is only shown while the window is hidden).
    void IconTip(const QString& tip);
    void IconAdd();
    void ToggleTray();
    void ShowTrayMenu();
    void RunTrayCommand(int command);

    void SetListviewWidth(int column1, int column2, int column3, int adjustment);
    void TabStrip_Click();
    void Form_Resize();
    bool Dragging() const { return dragging_; }
    void SetDragging(bool state);
    void PlayRadio(const QString& url, const QString& name, int code);

    // Hooks filled by later parts: the recorder starts a recording file, the scheduler's
    // job tick. Empty until then (recording only flips the flag; the job timer stays off).
    void SetStartRecord(std::function<void()> startRecord);
    void SetJobTick(std::function<void()> tick);

    // Parts, for the application and for tests.
    Player* player() const { return player_.get(); }
    AudioLibrary* audio() const { return audio_.get(); }
    int Volume() const { return volume_; }
    CommandButton* cmdPlay(int index) const { return buttons_.at(static_cast<size_t>(index)); }
    clsControl& TabStrip() { return tabStrip_; }
    clsControl& cmbRadioType() { return cmbRadioType_; }
    clsControl& cmbGenre() { return cmbGenre_; }
    clsControl& txtSearch() { return txtSearch_; }
    clsControl& SearchType(int index) { return index == 0 ? optGenre_ : optName_; }
    QPlainTextEdit* txtRichEdit() const { return txtRichEdit_; }
    clsListView& clsSearch() { return searchView_; }
    clsListView& clsFavorites() { return favoritesView_; }
    clsListView& clsRunJobs() { return jobsView_; }
    clsListView& clsStart() { return logView_; }
    StatusDisplay* picStatusBar() const { return statusBar_; }
    VolumeSlider* PicTrackBar() const { return trackBar_; }
    TrayIcon& Tray() { return tray_; }
    QWidget* picListView() const { return picListView_; }
    QWidget* picFavorites() const { return picFavorites_; }
    QWidget* picRunJobs() const { return picRunJobs_; }
    QWidget* picJobToolbar() const { return picJobToolbar_; }
    QTimer& tmrVis() { return tmrVis_; }
    QTimer& tmrSong() { return tmrSong_; }
    QTimer& tmrJob() { return tmrJob_; }
    bool SearchRunning() const { return searchRunning_; }

    // The tick of the display timer (also callable directly).
    void tmrVis_Timer();

Q_SIGNALS:
    // The shutdown sequence has run; the application ends its event loop on it.
    void ShutdownDone();

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void BuildControls();
    void BuildSearchRow();
    void BuildLists();
    void BuildButtons();
    void FirstRunQuestion();
    void Shutdown();
    void ApplyVolume();

    // Search inputs.
    void RunSearch();
    void cmbRadioType_Click();
    void SearchType_Click(int index);
    void EnableSearchInputs(bool enabled);
    void UpdateSearchInputs();

    // List handlers.
    void clsSearch_CustomDraw(NMLVCustomDraw& rec, int& result);
    void clsSearch_Click(int item, int button);
    void clsSearch_DblClick(int item, int button);
    void clsSearch_ColumnClick(int index);
    void clsStation_CustomDraw(clsListView& view, NMLVCustomDraw& rec, int& result);
    void clsStart_Click(int item, int button);
    void SortStationList(bool ascending);

    void picStatusBar_Pressed(int button);
    void ShowEqMenu();
    void tmrSong_Timer();
    void LayoutTabArea();

    std::unique_ptr<AudioLibrary> audio_;
    std::unique_ptr<Player> player_;
    std::function<void()> startRecord_;
    std::function<void()> jobTick_;

    QWidget* picTab_ = nullptr;
    QWidget* tabStripHost_ = nullptr;
    QWidget* picListView_ = nullptr;
    QWidget* picFavorites_ = nullptr;
    QWidget* picRunJobs_ = nullptr;
    QWidget* picJobToolbar_ = nullptr;
    QWidget* picRadioType_ = nullptr;
    QWidget* picGenre_ = nullptr;
    QWidget* picSearch_ = nullptr;
    QWidget* picOptGenre_ = nullptr;
    QWidget* picOptName_ = nullptr;
    QPlainTextEdit* txtRichEdit_ = nullptr;
    StatusDisplay* statusBar_ = nullptr;
    VolumeSlider* trackBar_ = nullptr;
    std::array<CommandButton*, kCommandCount> buttons_{};

    clsControl tabStrip_;
    clsControl cmbRadioType_;
    clsControl cmbGenre_;
    clsControl txtSearch_;
    clsControl optGenre_;
    clsControl optName_;
    clsListView searchView_;
    clsListView favoritesView_;
    clsListView jobsView_;
    clsListView logView_;
    TrayIcon tray_;

    QTimer tmrJob_;
    QTimer tmrSong_;
    QTimer tmrVis_;

    bool loaded_ = false;
    bool exitRequested_ = false;
    bool shutDown_ = false;
    bool dragging_ = false;
    bool searchRunning_ = false;
    bool largeFonts_ = false;
    int controlHeight_ = 22;
    int volume_ = 0;
    std::vector<float> fft_;
};

}  // namespace wavelot
