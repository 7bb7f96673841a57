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
constexpr int kButtonWidth = 76;
constexpr int kToolbarButtonWidth = 68;
constexpr int kTabStripHeight = 24;
constexpr int kDisplayMs = 30;
constexpr int kHiddenDisplayMs = 1000;
}  // namespace

frmMain::frmMain(Session& core, frmOption& options, QWidget* parent)
    : QWidget(parent), core_(core), options_(options), player_(core.player()), tray_(ProgramIcon()) {
    largeFonts_ = LargeFontScreen();
    controlHeight_ = ControlHeightFor(largeFonts_);
    setWindowTitle(ProgramTitle());
    setWindowIcon(ProgramIcon());
    setFont(UiFont(14));
    setFixedSize(MainClientSizeFor(largeFonts_));
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
    displayTimer_.stop();
    if (JobScheduler* scheduler = core_.Scheduler())
        scheduler->Stop();  // the job timer lives as long as the window
}

void frmMain::BuildControls() {
    tabArea_ = new QWidget(this);
    picFavorites_ = new QWidget(tabArea_);
    picRunJobs_ = new QWidget(tabArea_);
    picJobToolbar_ = new QWidget(tabArea_);
    // The panels are opaque: the play-log list lies under them and must not show through.
    for (QWidget* panel : {picFavorites_, picRunJobs_, picJobToolbar_})
        panel->setAutoFillBackground(true);
    statusBar_ = new StatusDisplay(this);
    statusBar_->setObjectName(QStringLiteral("picStatusBar"));
    trackBar_ = new VolumeSlider(this);
    trackBar_->setObjectName(QStringLiteral("PicTrackBar"));
    statusBar_->Bars().SetHighestBar(HighestSpectrumBarFor(largeFonts_));
    BuildButtons();
    searchPage_ = new SearchPage(core_.Search(), core_.settings(), buttons_[kCmdSearch], tabArea_);
    buttons_[kCmdSearch]->setParent(searchPage_);
    playLog_ = new PlayLogView(player_, tabArea_);
    MakeStationLists();

    displayTimer_.setInterval(kDisplayMs);
    connect(&displayTimer_, &QTimer::timeout, this, &frmMain::DisplayTick);
    connect(statusBar_, &StatusDisplay::Pressed, this, &frmMain::StatusBarPressed);
    connect(trackBar_, &VolumeSlider::VolumeDragged, this, [this](int v) {
        volume_ = v;
        player_.SetVolume(volume_);
    });
    connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            activateWindow();
            ToggleTray();
        } else if (reason == QSystemTrayIcon::Context) {
            ShowTrayMenu();
        }
    });
    connect(searchPage_, &SearchPage::PlayRequested, this, &frmMain::PlayRadio);
    connect(searchPage_, &SearchPage::CopyRequested, this, &frmMain::CopyToList);
    connect(searchPage_, &SearchPage::SearchRequested, this, [this] { RunCommand(kCmdSearch); });
    connect(searchPage_, &SearchPage::SearchStatusChanged, statusBar_, &StatusDisplay::ShowNotice);
    connect(&player_, &Player::iconTipChanged, this,
            [this](const QString& tip) { tray_.setToolTip(TrayTipText(tip)); });
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
        auto* b = new CommandButton(std::move(caption), parent);
        b->setObjectName(QStringLiteral("cmdPlay%1").arg(i));
        connect(b, &QAbstractButton::clicked, this, [this, i] { RunCommand(i); });
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
    if (!isMinimized() && size() != minimumSize())
        resize(minimumSize());  // the size is fixed: undo whatever a window manager tried
}

bool frmMain::event(QEvent* e) {
    const bool handled = QWidget::event(e);
    if (e->type() == QEvent::Show || e->type() == QEvent::Hide || e->type() == QEvent::WindowStateChange)
        PaceDisplayTimer();
    return handled;
}

// Shown, the display timer draws; hidden or minimised it only keeps the song timer in step with
// playback, once a second, and sleeps while nothing plays (DisplayTick). The player logs every
// connect and every stop, and a log line wakes it again (BuildControls).
void frmMain::PaceDisplayTimer() {
    if (!loaded_ || shutDown_)
        return;
    const int ms = isVisible() && !isMinimized() ? kDisplayMs : kHiddenDisplayMs;
    if (displayTimer_.interval() != ms)
        displayTimer_.setInterval(ms);
    if (!displayTimer_.isActive())
        displayTimer_.start();
}

// The client area's size is fixed, so every part is placed once, in pixels.
void frmMain::LayOut() {
    const int cw = width();
    const int ch = height();
    tabArea_->setGeometry(5, 5, cw - 10, ch - 81);
    // The row of commands: play and stop share its first place (the display timer shows one of
    // them); mute and the volume slider stand at its right end.
    const int row = ch - 73;
    Button(kCmdPlay)->setGeometry(5, row, kButtonWidth, 22);
    for (int i = kCmdStop; i <= kCmdExit; ++i)
        Button(i)->setGeometry(5 + (i - kCmdStop) * (kButtonWidth + 1), row, kButtonWidth, 22);
    Button(kCmdMute)->setGeometry(cw - 155, row, 60, 22);
    trackBar_->setGeometry(cw - 91, row, 86, 22);
    statusBar_->setGeometry(5, ch - 48, cw - 10, 45);

    // The tab area: the strip, the pages below it (the play log's list lies under the other
    // three), and the favourites' and jobs' toolbar over the lower edge of their lists.
    const int w = tabArea_->width();
    const int h = tabArea_->height();
    tabStrip_->setGeometry(0, 0, w, kTabStripHeight);
    const QRect page(0, kTabStripHeight + 2, w, h - kTabStripHeight - 2);
    for (QWidget* p : {static_cast<QWidget*>(searchPage_), picFavorites_, picRunJobs_})
        p->setGeometry(page);
    playLog_->Place(page);
    searchPage_->Layout();
    const int toolbarHeight = controlHeight_ + 1;
    for (StationListView* list : {favorites_, jobs_})
        list->Place({0, 0, w, page.height() - toolbarHeight - 4});
    picJobToolbar_->setGeometry(0, h - toolbarHeight, w, toolbarHeight);
    for (int i = kCmdAdd; i <= kCmdSortDescending; ++i)
        Button(i)->setGeometry((i - kCmdAdd) * (kToolbarButtonWidth + 1), 0, kToolbarButtonWidth,
                               toolbarHeight);
    picJobToolbar_->raise();
}

int frmMain::CurrentTab() const {
    return tabStrip_ != nullptr ? tabStrip_->currentIndex() + 1 : 0;
}

ListView& frmMain::PlayLogList() {
    return *playLog_;
}

void frmMain::ShowCurrentTab() {
    const int tab = CurrentTab();
    searchPage_->setVisible(tab == 1);
    picFavorites_->setVisible(tab == 2);
    picRunJobs_->setVisible(tab == 3);
    picJobToolbar_->setVisible(tab == 2 || tab == 3);
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
    player_.SetVolume(volume_);
}

void frmMain::ToggleTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
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
        tray_.show();
    } else {
        showNormal();
        raise();
        activateWindow();
        tray_.hide();
    }
}

}  // namespace wavelot
