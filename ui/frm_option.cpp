#include "ui/frm_option.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

#include "core/settings_keys.h"
#include "engine/audio/station_loudness.h"
#include "session/session.h"
#include "ui/controls.h"
#include "ui/folder_browser.h"
#include "ui/screen_metrics.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

// The layout in twips, at 15 per pixel whatever the screen. The outer size is fixed at 6800 x
// 3500 twips; a fixed dialog's frame and title bar take about 6 x 32 pixels of it, which leaves
// the 6-pixel margin the layout was drawn with.
const QSize kClientSize = Twips{0, 0, 6800, 3500}.ToPixels().size() - QSize(6, 32);
// The two section outlines, and their captions standing on them.
const QRect kNetworkFrame = Twips{105, 195, 6510, 915}.ToPixels();
const QRect kRecordingFrame = Twips{105, 1305, 6510, 1140}.ToPixels();
const QRect kNetworkCaptionAt = Twips{180, 105, 810, 240}.ToPixels();
const QRect kRecordingCaptionAt = Twips{180, 1215, 810, 240}.ToPixels();
// The network section.
const QRect kProxyCaptionAt = Twips{270, 405, 1260, 240}.ToPixels();
const QRect kProxyAt = Twips{1545, 345, 4890, 345}.ToPixels();
const QRect kUseProxyAt = Twips{1560, 750, 2415, 240}.ToPixels();
// The recording section.
const QRect kFolderCaptionAt = Twips{270, 1575, 900, 240}.ToPixels();
const QRect kFolderAt = Twips{1230, 1515, 4635, 330}.ToPixels();
const QRect kBrowseAt = Twips{5895, 1500, 570, 345}.ToPixels();
const QRect kQualityCaptionAt = Twips{270, 1995, 900, 240}.ToPixels();
const QRect kQualityAt = Twips{1230, 1935, 1635, 345}.ToPixels();
const QRect kLoopRecAt = Twips{3015, 1980, 1740, 240}.ToPixels();
const QRect kFromSongStartAt = Twips{4815, 1980, 1800, 240}.ToPixels();
// None is in a section: one is the scheduler's, one the desktop's, one the sound's. Left of the
// buttons, the first two one above the other, the third in the column of the loop switch.
const QRect kCatchUpJobsAt = Twips{270, 2460, 2700, 240}.ToPixels();
const QRect kLevelLoudnessAt = Twips{3015, 2460, 1400, 240}.ToPixels();
const QRect kSongNotifyAt = Twips{270, 2730, 3900, 240}.ToPixels();
const QRect kApplyAt = Twips{4485, 2550, 1050, 380}.ToPixels();
const QRect kCloseAt = Twips{5565, 2550, 1050, 380}.ToPixels();

const QString kTitle = u"選項"_s;
const QString kNetworkCaption = u"網路設定"_s;
const QString kProxyCaption = u"代理伺服器："_s;
const QString kUseProxy = u"開啟代理伺服器"_s;
const QString kRecordingCaption = u"錄音設定"_s;
const QString kQualityCaption = u"輸出音質："_s;
const QString kFolderCaption = u"錄音輸出："_s;
const QString kBrowse = u"..."_s;
const QString kLoopRec = u"斷線後強制錄音"_s;
const QString kCatchUpJobs = u"補上錯過的排程工作"_s;
const QString kSongNotify = u"在系統匣時通知新歌曲"_s;
const QString kLevelLoudness = u"音量平衡"_s;
const QString kFromSongStart = u"從歌曲開頭錄音"_s;
const QString kApply = u"套 用"_s;
const QString kClose = u"關 閉"_s;
const QString kChooseFolder = u"請選擇資料夾："_s;

const QColor kWhite(255, 255, 255);

}  // namespace

frmOption::frmOption(Settings settings, SessionOptions& live, QWidget* parent)
    : QDialog(parent), settings_(std::move(settings)), live_(live) {
    setObjectName(u"frmOption"_s);
    setWindowTitle(kTitle);
    setFont(UiFont(14));
    setFixedSize(kClientSize);
    SetBackColor(this, palette().color(QPalette::Button), false);
}

void frmOption::BuildInputs() {
    for (const QRect& at : {kNetworkFrame, kRecordingFrame}) {
        auto* outline = PlaceInput<QFrame>(this, at);
        outline->setFrameStyle(QFrame::Box | QFrame::Plain);
        outline->setForegroundRole(QPalette::Highlight);
    }
    // The section captions are opaque so they sit on the outline instead of being crossed by it.
    PlaceInput<QLabel>(this, kNetworkCaptionAt, kNetworkCaption)->setAutoFillBackground(true);
    PlaceInput<QLabel>(this, kProxyCaptionAt, kProxyCaption);
    ui_.cboProxy = PlaceInput<QComboBox>(this, kProxyAt);
    ui_.cboProxy->setEditable(true);
    ui_.chkUserProxy = PlaceInput<QCheckBox>(this, kUseProxyAt, kUseProxy);
    PlaceInput<QLabel>(this, kRecordingCaptionAt, kRecordingCaption)->setAutoFillBackground(true);
    PlaceInput<QLabel>(this, kFolderCaptionAt, kFolderCaption);
    ui_.txtFilePath = PlaceInput<QLineEdit>(this, kFolderAt);
    ui_.txtFilePath->setFrame(false);
    ui_.cmdRecOut = PlaceInput<QPushButton>(this, kBrowseAt, kBrowse);
    PlaceInput<QLabel>(this, kQualityCaptionAt, kQualityCaption);
    ui_.cboQuality = PlaceInput<QComboBox>(this, kQualityAt);
    ui_.chkLoopRec = PlaceInput<QCheckBox>(this, kLoopRecAt, kLoopRec);
    ui_.chkFromSongStart = PlaceInput<QCheckBox>(this, kFromSongStartAt, kFromSongStart);
    ui_.chkCatchUpJobs = PlaceInput<QCheckBox>(this, kCatchUpJobsAt, kCatchUpJobs);
    ui_.chkLevelLoudness = PlaceInput<QCheckBox>(this, kLevelLoudnessAt, kLevelLoudness);
    ui_.chkSongNotify = PlaceInput<QCheckBox>(this, kSongNotifyAt, kSongNotify);
    ui_.cmdOK = PlaceInput<QPushButton>(this, kApplyAt, kApply);
    ui_.cmdCancel = PlaceInput<QPushButton>(this, kCloseAt, kClose);

    connect(ui_.chkUserProxy, &QCheckBox::clicked, this, &frmOption::FollowProxySwitch);
    connect(ui_.cmdRecOut, &QPushButton::clicked, this, &frmOption::BrowseRecordingFolder);
    connect(ui_.cmdOK, &QPushButton::clicked, this, &frmOption::Apply);
    connect(ui_.cmdCancel, &QPushButton::clicked, this, &QWidget::hide);
}

void frmOption::Form_Load() {
    if (loaded_)
        return;
    loaded_ = true;

    BuildInputs();
    ui_.chkLoopRec->setChecked(settings_.LoopRec() == 1);
    ui_.chkCatchUpJobs->setChecked(settings_.CatchUpJobs());
    ui_.chkSongNotify->setChecked(settings_.SongNotify());
    ui_.chkLevelLoudness->setChecked(settings_.LevelLoudness());
    ui_.chkFromSongStart->setChecked(settings_.RecordFromSongStart());

    for (const QString& entry : settings_.ProxyEntries(kMaxProxyEntries))
        ui_.cboProxy->addItem(entry);
    if (ui_.cboProxy->count() == 0)
        ui_.cboProxy->addItem(QString::fromUtf16(kDefaultProxyEntry));
    ui_.cboProxy->setCurrentIndex(0);

    for (const QString& text : settings::kQualityTexts)
        ui_.cboQuality->addItem(text);
    ui_.cboQuality->setCurrentIndex(settings_.Quality());

    ui_.chkUserProxy->setChecked(settings_.EnabledProxy() == 1);
    FollowProxySwitch();

    ui_.txtFilePath->setText(settings_.FilePath());
    ui_.cboProxy->setEditText(settings_.UserProxy());

    // Whoever sets the folder or the quality, the user or the first-run question, sets it for
    // the recordings of this run.
    PublishRecording();
    connect(ui_.txtFilePath, &QLineEdit::textChanged, this, &frmOption::PublishRecording);
    connect(ui_.cboQuality, &QComboBox::currentIndexChanged, this, &frmOption::PublishRecording);
}

void frmOption::PublishRecording() {
    live_.recordingFolder = ui_.txtFilePath->text();
    live_.quality = ui_.cboQuality->currentIndex();
}

void frmOption::ShowModal(QWidget* owner) {
    if (owner) {
        // Owned by the window without being its child: the dialog outlives no window and stays
        // loaded however often it is shown.
        winId();
        if (QWindow* mine = windowHandle())
            mine->setTransientParent(owner->window()->windowHandle());
        move(owner->window()->geometry().center() - rect().center());
    }
    exec();
}

void frmOption::FollowProxySwitch() {
    const bool on = ui_.chkUserProxy->isChecked();
    ui_.cboProxy->setEnabled(on);
    SetBackColor(ui_.cboProxy, on ? kWhite : palette().color(QPalette::Button), false);
}

void frmOption::BrowseRecordingFolder() {
    const QString folder = BrowseForFolder(this, kChooseFolder);
    if (!folder.isEmpty())
        ui_.txtFilePath->setText(folder);
}

void frmOption::Apply() {
    settings_.WriteFilePath(ui_.txtFilePath->text());
    settings_.WriteQuality(ui_.cboQuality->currentIndex());
    settings_.WriteUserProxy(ui_.cboProxy->currentText());
    settings_.WriteEnabledProxy(ui_.chkUserProxy->isChecked() ? 1 : 0);
    settings_.WriteLoopRec(ui_.chkLoopRec->isChecked() ? 1 : 0);
    settings_.WriteCatchUpJobs(ui_.chkCatchUpJobs->isChecked());
    live_.loopRecording = ui_.chkLoopRec->isChecked();
    live_.catchUpJobs = ui_.chkCatchUpJobs->isChecked();
    live_.songNotify = ui_.chkSongNotify->isChecked();
    live_.levelLoudness = ui_.chkLevelLoudness->isChecked();
    live_.recordFromSongStart = ui_.chkFromSongStart->isChecked();
    // These three are stored only when changed: a missing key already means their default.
    if (live_.songNotify != settings_.SongNotify())
        settings_.WriteSongNotify(live_.songNotify);
    if (live_.levelLoudness != settings_.LevelLoudness())
        settings_.WriteLevelLoudness(live_.levelLoudness);
    if (live_.recordFromSongStart != settings_.RecordFromSongStart())
        settings_.WriteRecordFromSongStart(live_.recordFromSongStart);
    audio::StationLoudness::Shared().SetEnabled(live_.levelLoudness);
    hide();
}

}  // namespace wavelot
