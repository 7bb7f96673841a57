#include "ui/frm_option.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QWindow>

#include "core/settings_keys.h"
#include "engine/audio/station_loudness.h"
#include "session/session.h"
#include "ui/controls.h"
#include "ui/folder_browser.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

// The layout, drawn in twips at 15 per pixel and converted here once.
QRect TwipsRect(int left, int top, int width, int height) {
    constexpr double kTwipsPerPixel = 15.0;
    auto px = [](int twips) { return qRound(twips / kTwipsPerPixel); };
    return QRect(px(left), px(top), px(width), px(height));
}

// The outer size is fixed at 6800 x 3500 twips; a fixed dialog's frame and title bar take about
// 6 x 32 pixels of it, which leaves the 6-pixel margin the layout was drawn with.
const QSize kClientSize = TwipsRect(0, 0, 6800, 3500).size() - QSize(6, 32);

// The two section outlines, and their captions standing on them.
const QRect kNetworkFrame = TwipsRect(105, 195, 6510, 915);
const QRect kRecordingFrame = TwipsRect(105, 1305, 6510, 1140);
const QRect kNetworkCaptionAt = TwipsRect(180, 105, 810, 240);
const QRect kRecordingCaptionAt = TwipsRect(180, 1215, 810, 240);
// The network section.
const QRect kProxyCaptionAt = TwipsRect(270, 405, 1260, 240);
const QRect kProxyAt = TwipsRect(1545, 345, 4890, 340);
const QRect kUseProxyAt = TwipsRect(1560, 750, 2415, 240);
// The recording section.
const QRect kFolderCaptionAt = TwipsRect(270, 1575, 900, 240);
const QRect kFolderAt = TwipsRect(1230, 1515, 4635, 330);
const QRect kBrowseAt = TwipsRect(5895, 1500, 570, 345);
const QRect kQualityCaptionAt = TwipsRect(270, 1995, 900, 240);
const QRect kQualityAt = TwipsRect(1230, 1935, 1635, 340);
const QRect kLoopRecAt = TwipsRect(3015, 1980, 1740, 240);
const QRect kFromSongStartAt = TwipsRect(4815, 1980, 1800, 240);
// None is in a section: one is the scheduler's, one the desktop's, one the sound's. Left of the
// buttons, the first two one above the other, the third in the column of the loop switch.
const QRect kCatchUpJobsAt = TwipsRect(270, 2460, 2700, 240);
const QRect kLevelLoudnessAt = TwipsRect(3015, 2460, 1400, 240);
const QRect kSongNotifyAt = TwipsRect(270, 2730, 3900, 240);
const QRect kApplyAt = TwipsRect(4485, 2550, 1050, 380);
const QRect kCloseAt = TwipsRect(5565, 2550, 1050, 380);

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
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);
}

frmOption::~frmOption() = default;

QCheckBox* frmOption::Check(const QRect& at, const QString& caption) {
    return PlaceInput<QCheckBox>(this, at, caption);
}

QPushButton* frmOption::Button(const QRect& at, const QString& caption) {
    return PlaceInput<QPushButton>(this, at, caption);
}

void frmOption::BuildInputs() {
    // The section captions are opaque so they sit on the outline instead of being crossed by it.
    PlaceInput<QLabel>(this, kNetworkCaptionAt, kNetworkCaption)->setAutoFillBackground(true);
    PlaceInput<QLabel>(this, kProxyCaptionAt, kProxyCaption);
    cboProxy_ = PlaceInput<QComboBox>(this, kProxyAt);
    cboProxy_->setEditable(true);
    chkUserProxy_ = Check(kUseProxyAt, kUseProxy);
    PlaceInput<QLabel>(this, kRecordingCaptionAt, kRecordingCaption)->setAutoFillBackground(true);
    PlaceInput<QLabel>(this, kFolderCaptionAt, kFolderCaption);
    txtFilePath_ = PlaceInput<QLineEdit>(this, kFolderAt);
    txtFilePath_->setFrame(false);
    cmdRecOut_ = Button(kBrowseAt, kBrowse);
    PlaceInput<QLabel>(this, kQualityCaptionAt, kQualityCaption);
    cboQuality_ = PlaceInput<QComboBox>(this, kQualityAt);
    chkLoopRec_ = Check(kLoopRecAt, kLoopRec);
    chkFromSongStart_ = Check(kFromSongStartAt, kFromSongStart);
    chkCatchUpJobs_ = Check(kCatchUpJobsAt, kCatchUpJobs);
    chkLevelLoudness_ = Check(kLevelLoudnessAt, kLevelLoudness);
    chkSongNotify_ = Check(kSongNotifyAt, kSongNotify);
    cmdOK_ = Button(kApplyAt, kApply);
    cmdCancel_ = Button(kCloseAt, kClose);

    connect(chkUserProxy_, &QCheckBox::clicked, this, &frmOption::chkUserProxy_Click);
    connect(cmdRecOut_, &QPushButton::clicked, this, &frmOption::cmdRecOut_Click);
    connect(cmdOK_, &QPushButton::clicked, this, &frmOption::cmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &frmOption::cmdCancel_Click);
}

void frmOption::Form_Load() {
    if (loaded_)
        return;
    loaded_ = true;

    BuildInputs();
    chkLoopRec_->setChecked(settings_.LoopRec() == 1);
    chkCatchUpJobs_->setChecked(settings_.CatchUpJobs());
    chkSongNotify_->setChecked(settings_.SongNotify());
    chkLevelLoudness_->setChecked(settings_.LevelLoudness());
    chkFromSongStart_->setChecked(settings_.RecordFromSongStart());

    for (const QString& entry : settings_.ProxyEntries(kMaxProxyEntries))
        cboProxy_->addItem(entry);
    if (cboProxy_->count() == 0)
        cboProxy_->addItem(QString::fromUtf16(kDefaultProxyEntry));
    cboProxy_->setCurrentIndex(0);

    for (const QString& text : settings::kQualityTexts)
        cboQuality_->addItem(text);
    cboQuality_->setCurrentIndex(settings_.Quality());

    chkUserProxy_->setChecked(settings_.EnabledProxy() == 1);
    chkUserProxy_Click();

    txtFilePath_->setText(settings_.FilePath());
    cboProxy_->setEditText(settings_.UserProxy());

    // Whoever sets the folder or the quality, the user or the first-run question, sets it for
    // the recordings of this run.
    PublishRecording();
    connect(txtFilePath_, &QLineEdit::textChanged, this, &frmOption::PublishRecording);
    connect(cboQuality_, &QComboBox::currentIndexChanged, this, &frmOption::PublishRecording);
}

void frmOption::PublishRecording() {
    live_.recordingFolder = RecordingFolder();
    live_.quality = QualityIndex();
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

QString frmOption::RecordingFolder() const {
    return txtFilePath_->text();
}

int frmOption::QualityIndex() const {
    return cboQuality_->currentIndex();
}

void frmOption::chkUserProxy_Click() {
    const bool on = chkUserProxy_->isChecked();
    cboProxy_->setEnabled(on);
    SetBackColor(cboProxy_, on ? kWhite : palette().color(QPalette::Button), false);
}

void frmOption::cmdRecOut_Click() {
    const QString folder = BrowseForFolder(this, kChooseFolder);
    if (!folder.isEmpty())
        txtFilePath_->setText(folder);
}

void frmOption::cmdOK_Click() {
    settings_.WriteFilePath(txtFilePath_->text());
    settings_.WriteQuality(cboQuality_->currentIndex());
    settings_.WriteUserProxy(cboProxy_->currentText());
    settings_.WriteEnabledProxy(chkUserProxy_->isChecked() ? 1 : 0);
    settings_.WriteLoopRec(chkLoopRec_->isChecked() ? 1 : 0);
    settings_.WriteCatchUpJobs(chkCatchUpJobs_->isChecked());
    // Only a change is stored: a missing key already means on.
    if (chkSongNotify_->isChecked() != settings_.SongNotify())
        settings_.WriteSongNotify(chkSongNotify_->isChecked());
    // Only a change is stored: a missing key already means off.
    if (chkLevelLoudness_->isChecked() != settings_.LevelLoudness())
        settings_.WriteLevelLoudness(chkLevelLoudness_->isChecked());
    live_.loopRecording = chkLoopRec_->isChecked();
    live_.catchUpJobs = chkCatchUpJobs_->isChecked();
    live_.songNotify = chkSongNotify_->isChecked();
    live_.levelLoudness = chkLevelLoudness_->isChecked();
    // Only a change is stored: a missing key already means on.
    if (chkFromSongStart_->isChecked() != settings_.RecordFromSongStart())
        settings_.WriteRecordFromSongStart(chkFromSongStart_->isChecked());
    live_.recordFromSongStart = chkFromSongStart_->isChecked();
    audio::StationLoudness::Shared().SetEnabled(live_.levelLoudness);
    cmdCancel_Click();
}

void frmOption::cmdCancel_Click() {
    hide();
}

void frmOption::paintEvent(QPaintEvent* e) {
    QDialog::paintEvent(e);
    QPainter p(this);
    p.setPen(palette().color(QPalette::Highlight));
    p.setBrush(Qt::NoBrush);
    for (const QRect& r : {kNetworkFrame, kRecordingFrame})
        p.drawRect(r.adjusted(0, 0, -1, -1));
}

}  // namespace wavelot
