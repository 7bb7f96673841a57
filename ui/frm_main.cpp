// Main window: construction, layout, tab switching, the close request and the tray.
#include "ui/frm_main.h"

#include <QCloseEvent>
#include <QTabBar>

#include <algorithm>

#include "core/app_folders.h"
#include "engine/player.h"
#include "engine/recorder.h"
#include "scheduler/job_scheduler.h"
#include "session/session.h"
#include "ui/main_window_texts.h"
#include "ui/mod_theme.h"
#include "ui/play_log_view.h"
#include "ui/screen_metrics.h"
#include "ui/search_page.h"
#include "ui/station_list_view.h"

namespace wavelot {

namespace {
constexpr int kStatusBarHeight = 48;
constexpr int kBottomButtonWidth = 76;
constexpr int kMuteButtonWidth = 60;
constexpr int kToolbarButtonWidth = 68;
constexpr int kDisplayMs = 30;
constexpr int kHiddenDisplayMs = 1000;
}  // namespace

frmMain::frmMain(Session& core, frmOption& options, QWidget* parent)
    : QWidget(parent), core_(core), options_(options), player_(core.player()) {
    largeFonts_ = LargeFontScreen();
    controlHeight_ = ControlHeightFor(largeFonts_);
    setWindowTitle(ProgramTitle());
    setWindowIcon(ProgramIcon());
    setFont(UiFont(14));
    setFixedSize(MainClientWidthFor(largeFonts_), MainClientHeightFor(largeFonts_));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);
    BuildControls();
}

frmMain::~frmMain() {
    // Hidden while whole: hiding moves the focus, and the lists' focus handlers call back into
    // the window, which QWidget's own destructor would hide when only its QWidget part is left.
    hide();
    tmrVis_.stop();
    if (JobScheduler* scheduler = core_.Scheduler())
        scheduler->Stop();  // the job timer lives as long as the window
}

QTimer& frmMain::PlaybackPoll() {
    return core_.Poll();
}

void frmMain::BuildControls() {
    picTab_ = new QWidget(this);
    picFavorites_ = new QWidget(picTab_);
    picRunJobs_ = new QWidget(picTab_);
    picJobToolbar_ = new QWidget(picTab_);
    // The panels are opaque: the play-log list lies under them and must not show through.
    for (QWidget* panel : {picFavorites_, picRunJobs_, picJobToolbar_})
        panel->setAutoFillBackground(true);
    statusBar_ = new StatusDisplay(this);
    statusBar_->setObjectName(QStringLiteral("picStatusBar"));
    trackBar_ = new VolumeSlider(this);
    trackBar_->setObjectName(QStringLiteral("PicTrackBar"));
    statusBar_->Bars().SetHighestBar(HighestSpectrumBarFor(largeFonts_));
    BuildButtons();
    searchPage_ = new SearchPage(core_.Search(), core_.settings(), buttons_[kCmdSearch], picTab_);
    buttons_[kCmdSearch]->setParent(searchPage_);
    playLog_ = new PlayLogView(player_, this);
    MakeStationLists();

    tmrVis_.setInterval(kDisplayMs);
    connect(&tmrVis_, &QTimer::timeout, this, &frmMain::tmrVis_Timer);
    connect(statusBar_, &StatusDisplay::Pressed, this, &frmMain::picStatusBar_Pressed);
    connect(trackBar_, &VolumeSlider::VolumeDragged, this, [this](int v) {
        volume_ = v;
        ApplyVolume();
    });
    connect(&tray_, &TrayIcon::LeftClicked, this, [this] {
        activateWindow();
        ToggleTray();
    });
    connect(&tray_, &TrayIcon::RightClicked, this, &frmMain::ShowTrayMenu);
    connect(searchPage_, &SearchPage::PlayRequested, this, &frmMain::PlayRadio);
    connect(searchPage_, &SearchPage::CopyRequested, this, &frmMain::CopyToList);
    connect(searchPage_, &SearchPage::SearchRequested, this, [this] { RunCommand(kCmdSearch); });
    connect(searchPage_, &SearchPage::SearchStatusChanged, statusBar_, &StatusDisplay::ShowNotice);
    connect(&player_, &Player::iconTipChanged, this, &frmMain::IconTip);
    connect(&player_, &Player::logLineAdded, this, [this] { PaceDisplayTimer(); });
    connect(&core_.recorder(), &Recorder::recordingChanged, this, [this] { buttons_[kCmdRecord]->update(); });
}

void frmMain::BuildButtons() {
    for (int i = 0; i < kCommandCount; ++i) {
        std::function<QString()> caption = [i] { return ui_text::kCaptions[i]; };
        if (i == kCmdRecord)
            caption = [this] {
                return !shutDown_ && core_.recorder().IsRecording() ? ui_text::kStopRecording
                                                                    : ui_text::kCaptions[kCmdRecord];
            };
        else if (i == kCmdMute)
            caption = [this] {
                return !shutDown_ && player_.IsMuted() ? ui_text::kUnmute : ui_text::kCaptions[kCmdMute];
            };
        QWidget* parent = i >= kCmdAdd ? picJobToolbar_ : static_cast<QWidget*>(this);
        auto* b = new CommandButton(i, std::move(caption), parent);
        b->setObjectName(QStringLiteral("cmdPlay%1").arg(i));
        connect(b, &CommandButton::Clicked, this, &frmMain::RunCommand);
        if (i == kCmdRecord || i == kCmdStop) {
            b->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(b, &QWidget::customContextMenuRequested, this, &frmMain::ShowPlaybackMenu);
        }
        buttons_[static_cast<size_t>(i)] = b;
    }
    // Play and stop share a place; the display timer shows the one that fits from its first tick
    // on, and until then (a first-run question comes before it) nothing plays.
    buttons_[kCmdStop]->setVisible(false);
}

void frmMain::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Form_Resize();
}

void frmMain::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    PaceDisplayTimer();
}

void frmMain::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    PaceDisplayTimer();
}

void frmMain::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange)
        PaceDisplayTimer();
}

// Shown, the display timer draws; hidden or minimised it only keeps the song timer in step with
// playback, once a second, and sleeps while nothing plays (tmrVis_Timer). The player logs every
// connect and every stop, and a log line wakes it again (BuildControls).
void frmMain::PaceDisplayTimer() {
    if (!loaded_ || shutDown_)
        return;
    const int ms = isVisible() && !isMinimized() ? kDisplayMs : kHiddenDisplayMs;
    if (tmrVis_.interval() != ms)
        tmrVis_.setInterval(ms);
    if (!tmrVis_.isActive())
        tmrVis_.start();
}

void frmMain::Form_Resize() {
    if (isMinimized())
        return;
    const QSize fixed(MainClientWidthFor(largeFonts_), MainClientHeightFor(largeFonts_));
    if (size() != fixed)
        resize(fixed);  // the size is fixed: undo whatever a window manager tried
    const int cw = width();
    const int ch = height();
    const int tabHeight = ch - kStatusBarHeight - 33;
    picTab_->setGeometry(5, 5, cw - 10, tabHeight);
    const int rowTop = tabHeight + 8;
    // Play and stop are never shown together (the display timer swaps them), so they share
    // the first place of the row instead of leaving a hole where the hidden one stands.
    buttons_[kCmdPlay]->setGeometry(5, rowTop, kBottomButtonWidth, 22);
    int x = 5;
    for (int i = kCmdStop; i <= kCmdExit; ++i) {
        buttons_[static_cast<size_t>(i)]->setGeometry(x, rowTop, kBottomButtonWidth, 22);
        x += kBottomButtonWidth + 1;
    }
    buttons_[kCmdMute]->setGeometry(cw - 155, rowTop, kMuteButtonWidth, 22);
    trackBar_->setGeometry(cw - 155 + kMuteButtonWidth + 4, rowTop,
                           cw - 5 - (cw - 155 + kMuteButtonWidth + 4), 22);
    statusBar_->setGeometry(5, rowTop + 22 + 3, cw - 10, ch - (rowTop + 22 + 3) - 3);
    LayoutTabArea();
}

void frmMain::LayoutTabArea() {
    const int w = picTab_->width();
    const int h = picTab_->height();
    if (tabStrip_ != nullptr)
        tabStrip_->setGeometry(0, 0, w, kTabStripHeight);
    const int panelTop = kTabStripHeight + 2;
    const int panelHeight = h - panelTop;
    for (QWidget* p : {static_cast<QWidget*>(searchPage_), picFavorites_, picRunJobs_})
        p->setGeometry(0, panelTop, w, panelHeight);
    playLog_->View().SetGeometry({0, panelTop, w, panelHeight});
    searchPage_->Layout();

    const int toolbarHeight = controlHeight_ + 1;
    const int listHeight = panelHeight - toolbarHeight - 4;
    favorites_->View().SetGeometry({0, 0, w, listHeight});
    jobs_->View().SetGeometry({0, 0, w, listHeight});
    picJobToolbar_->setGeometry(0, h - toolbarHeight, w, toolbarHeight);
    int x = 0;
    for (int i = kCmdAdd; i <= kCmdSortDescending; ++i) {
        buttons_[static_cast<size_t>(i)]->setGeometry(x, 0, kToolbarButtonWidth, toolbarHeight);
        x += kToolbarButtonWidth + 1;
    }
    // The toolbar lies over the lower edge of the two list panels.
    picJobToolbar_->raise();
}

int frmMain::CurrentTab() const {
    return tabStrip_ != nullptr ? tabStrip_->currentIndex() + 1 : 0;
}

clsListView& frmMain::PlayLogList() {
    return playLog_->View();
}

void frmMain::TabStrip_Click() {
    const int tab = CurrentTab();
    searchPage_->setVisible(tab == 1);
    picFavorites_->setVisible(tab == 2);
    picRunJobs_->setVisible(tab == 3);
    picJobToolbar_->setVisible(tab == 2 || tab == 3);
}

void frmMain::SetListviewWidth(int column1, int column2, int column3, int adjustment) {
    searchPage_->SetListviewWidth(column1, column2, column3, adjustment);
}

void frmMain::SetDragging(bool state) {
    dragging_ = state;
    if (state)
        setCursor(Qt::SizeAllCursor);
    else
        unsetCursor();
}

void frmMain::closeEvent(QCloseEvent* e) {
    if (!exitRequested_) {
        e->ignore();
        ToggleTray();
        return;
    }
    if (!shutDown_)
        Shutdown();
    e->accept();
}

void frmMain::IconTip(const QString& tip) {
    tray_.SetTip(tip);
}

void frmMain::IconAdd() {
    tray_.Add();
}

void frmMain::ShowMainWindow() {
    if (!isVisible()) {
        ToggleTray();
        return;
    }
    showNormal();
    raise();
    activateWindow();
}

void frmMain::SetSliderVolume(int volume) {
    volume_ = std::clamp(volume, 0, 100);
    trackBar_->SetVolume(volume_);
    ApplyVolume();
}

void frmMain::ToggleTray() {
    if (!TrayIcon::Available()) {
        // Nowhere to hide to: minimise instead, so the taskbar entry stays and the program can
        // always be brought back.
        if (isVisible() && !isMinimized())
            showMinimized();
        else {
            showNormal();
            activateWindow();
        }
        return;
    }
    if (isVisible()) {
        hide();
        IconAdd();
    } else {
        showNormal();
        raise();
        activateWindow();
        tray_.Remove();
    }
}

}  // namespace wavelot
