// Main window: construction, layout, tab switching, the close request and the tray.
#include "ui/frm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>

#include "core/app_folders.h"
#include "engine/audio/audio_library.h"
#include "engine/player.h"
#include "ui/main_window_texts.h"
#include "ui/mod_theme.h"
#include "ui/screen_metrics.h"

namespace wavelot {

namespace {
constexpr int kStatusBarHeight = 48;
constexpr int kTabStripHeight = 24;
constexpr int kBottomButtonWidth = 76;
constexpr int kMuteButtonWidth = 60;
constexpr int kToolbarButtonWidth = 68;
}  // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent)
{
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

frmMain::~frmMain()
{
    tmrVis_.stop();
    tmrSong_.stop();
    tmrJob_.stop();
    if (loaded_ && !shutDown_) {
        // Destroyed without the exit command (a test, or the application torn down): release the
        // engine all the same, but do not write the lists, which only the exit command saves.
        player_.reset();
        if (audio_)
            audio_->Free();
    }
}

void frmMain::BuildControls()
{
    picTab_ = new QWidget(this);
    tabStripHost_ = new QWidget(picTab_);
    picListView_ = new QWidget(picTab_);
    picFavorites_ = new QWidget(picTab_);
    picRunJobs_ = new QWidget(picTab_);
    picJobToolbar_ = new QWidget(picTab_);
    // The panels are opaque: the play-log list lies under them and must not show through.
    for (QWidget* panel : {picListView_, picFavorites_, picRunJobs_, picJobToolbar_})
        panel->setAutoFillBackground(true);
    statusBar_ = new StatusDisplay(this);
    statusBar_->setObjectName(QStringLiteral("picStatusBar"));
    trackBar_ = new VolumeSlider(this);
    trackBar_->setObjectName(QStringLiteral("PicTrackBar"));
    txtRichEdit_ = new QPlainTextEdit(this);
    txtRichEdit_->setObjectName(QStringLiteral("txtRichEdit"));
    // Holds the last directory answer for the parsers; it keeps its design place out of sight.
    txtRichEdit_->setGeometry(0, 0, 10, 10);
    txtRichEdit_->hide();
    statusBar_->Bars().SetHighestBar(HighestSpectrumBarFor(largeFonts_));
    BuildButtons();

    tmrVis_.setInterval(30);
    tmrSong_.setInterval(10);
    tmrJob_.setInterval(10);
    connect(&tmrVis_, &QTimer::timeout, this, &frmMain::tmrVis_Timer);
    connect(&tmrSong_, &QTimer::timeout, this, &frmMain::tmrSong_Timer);
    connect(&tmrJob_, &QTimer::timeout, this, [this] {
        if (jobTick_)
            jobTick_();
    });
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
}

void frmMain::BuildButtons()
{
    for (int i = 0; i < kCommandCount; ++i) {
        std::function<QString()> caption = [i] { return ui_text::kCaptions[i]; };
        if (i == kCmdRecord)
            caption = [this] {
                return player_ && player_->IsRecording() ? ui_text::kStopRecording : ui_text::kCaptions[kCmdRecord];
            };
        else if (i == kCmdMute)
            caption = [this] { return player_ && player_->IsMuted() ? ui_text::kUnmute : ui_text::kCaptions[kCmdMute]; };
        QWidget* parent = i == 0 ? picListView_ : i >= kCmdAdd ? picJobToolbar_ : static_cast<QWidget*>(this);
        auto* b = new CommandButton(i, std::move(caption), parent);
        b->setObjectName(QStringLiteral("cmdPlay%1").arg(i));
        connect(b, &CommandButton::Clicked, this, &frmMain::RunCommand);
        buttons_[static_cast<size_t>(i)] = b;
    }
}

void frmMain::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    Form_Resize();
}

void frmMain::Form_Resize()
{
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
    trackBar_->setGeometry(cw - 155 + kMuteButtonWidth + 4, rowTop, cw - 5 - (cw - 155 + kMuteButtonWidth + 4), 22);
    statusBar_->setGeometry(5, rowTop + 22 + 3, cw - 10, ch - (rowTop + 22 + 3) - 3);
    LayoutTabArea();
}

void frmMain::LayoutTabArea()
{
    const int w = picTab_->width();
    const int h = picTab_->height();
    tabStripHost_->setGeometry(0, 0, w, kTabStripHeight);
    const int panelTop = kTabStripHeight + 2;
    const int panelHeight = h - panelTop;
    for (QWidget* p : {picListView_, picFavorites_, picRunJobs_})
        p->setGeometry(0, panelTop, w, panelHeight);
    logView_.Move(0, panelTop, w, panelHeight);

    if (picRadioType_ == nullptr)
        return;  // the controls inside the tabs come with Form_Load
    // Search row: directory, genre option and box, name option and box, search button.
    const int ch = controlHeight_;
    picRadioType_->setGeometry(0, 3, 118, ch);
    picOptGenre_->setGeometry(124, 3, 20, ch);
    picGenre_->setGeometry(144, 3, 196, ch);
    picOptName_->setGeometry(348, 3, 20, ch);
    const int buttonLeft = w - 72;
    picSearch_->setGeometry(368, 3, buttonLeft - 6 - 368, ch);
    buttons_[kCmdSearch]->setGeometry(buttonLeft, 3, 72, ch);
    searchView_.Move(0, 30, w, panelHeight - 30);

    const int toolbarHeight = ch + 1;
    const int listHeight = panelHeight - toolbarHeight - 4;
    favoritesView_.Move(0, 0, w, listHeight);
    jobsView_.Move(0, 0, w, listHeight);
    picJobToolbar_->setGeometry(0, h - toolbarHeight, w, toolbarHeight);
    int x = 0;
    for (int i = kCmdAdd; i <= kCmdSortDescending; ++i) {
        buttons_[static_cast<size_t>(i)]->setGeometry(x, 0, kToolbarButtonWidth, toolbarHeight);
        x += kToolbarButtonWidth + 1;
    }
    // The toolbar lies over the lower edge of the two list panels.
    picJobToolbar_->raise();
}

void frmMain::TabStrip_Click()
{
    const int tab = tabStrip_.TabItem();
    picListView_->setVisible(tab == 1);
    picFavorites_->setVisible(tab == 2);
    picRunJobs_->setVisible(tab == 3);
    picJobToolbar_->setVisible(tab == 2 || tab == 3);
}

void frmMain::SetDragging(bool state)
{
    dragging_ = state;
    if (state)
        setCursor(Qt::SizeAllCursor);
    else
        unsetCursor();
}

void frmMain::SetStartRecord(std::function<void()> startRecord)
{
    startRecord_ = std::move(startRecord);
    if (player_)
        player_->SetRecordStarter(startRecord_);
}

void frmMain::SetJobTick(std::function<void()> tick)
{
    jobTick_ = std::move(tick);
    if (jobTick_ && loaded_)
        tmrJob_.start();
    else if (!jobTick_)
        tmrJob_.stop();
}

void frmMain::closeEvent(QCloseEvent* e)
{
    if (!exitRequested_) {
        e->ignore();
        ToggleTray();
        return;
    }
    if (!shutDown_)
        Shutdown();
    e->accept();
}

void frmMain::IconTip(const QString& tip) { tray_.SetTip(tip); }

void frmMain::IconAdd() { tray_.Add(); }

void frmMain::ToggleTray()
{
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
