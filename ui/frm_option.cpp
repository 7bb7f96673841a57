#include "ui/frm_option.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QWindow>

#include "core/settings_keys.h"
#include "engine/audio/station_loudness.h"
#include "session/session.h"
#include "ui/folder_browser.h"
#include "ui/mod_theme.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

// The design is in twips at 15 per pixel.
constexpr double kTwipsPerPixel = 15.0;
int Px(int twips) {
    return qRound(twips / kTwipsPerPixel);
}
QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

// The outer size is fixed at 6800 x 3500 twips; a fixed dialog's frame and title bar take about
// 6 x 32 pixels of it, which leaves the 6-pixel margin the layout was drawn with.
constexpr int kOuterWidthTwips = 6800;
constexpr int kOuterHeightTwips = 3500;
constexpr int kFrameWidth = 6;
constexpr int kFrameHeight = 32;

// The two section outlines.
const QRect kNetworkFrame = TwipsRect(105, 195, 6510, 915);
const QRect kRecordingFrame = TwipsRect(105, 1305, 6510, 1140);

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
    setFixedSize(Px(kOuterWidthTwips) - kFrameWidth, Px(kOuterHeightTwips) - kFrameHeight);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);
}

frmOption::~frmOption() = default;

QWidget* frmOption::Host(const char* name, int left, int top, int width, int height) {
    auto* host = new QWidget(this);
    host->setObjectName(QString::fromLatin1(name));
    host->setGeometry(TwipsRect(left, top, width, height));
    host->show();
    return host;
}

void frmOption::Create(clsControl& control, QWidget* host, CtrlStyle kind, const QString& caption) {
    control.SetTargetPictureBox(host);
    control.Create(kind);
    control.SetEnabled(true);
    if (!caption.isEmpty())
        control.setText(caption);
}

void frmOption::PaintHost(QWidget* host, const QColor& color) {
    QPalette p = host->palette();
    p.setColor(QPalette::Window, color);
    host->setPalette(p);
    host->setAutoFillBackground(true);
    host->update();
}

void frmOption::Form_Load() {
    if (loaded_)
        return;
    loaded_ = true;

    // The section captions are opaque so they sit on the outline instead of being crossed by it.
    QWidget* network = Host("picSaveOption1", 180, 105, 810, 240);
    QWidget* recording = Host("picSaveOption2", 180, 1215, 810, 240);
    PaintHost(network, palette().color(QPalette::Button));
    PaintHost(recording, palette().color(QPalette::Button));
    Create(labels_[0], network, CtrlStyle::Label, kNetworkCaption);
    Create(labels_[1], Host("picProxy", 270, 405, 1260, 240), CtrlStyle::Label, kProxyCaption);
    picProxy1_ = Host("picProxy1", 1545, 345, 4890, 340);
    Create(cboProxy_, picProxy1_, CtrlStyle::DropDownCombo);
    Create(chkUserProxy_, Host("picDirectConnect", 1560, 750, 2415, 240), CtrlStyle::CheckBox, kUseProxy);
    Create(labels_[2], recording, CtrlStyle::Label, kRecordingCaption);
    Create(labels_[3], Host("picRecode", 270, 1575, 900, 240), CtrlStyle::Label, kFolderCaption);
    Create(txtFilePath_, Host("picFilePath", 1230, 1515, 4635, 330), CtrlStyle::TextBox);
    Create(cmdRecOut_, Host("picRecOut", 5895, 1500, 570, 345), CtrlStyle::PushButton, kBrowse);
    Create(labels_[4], Host("picQualityer", 270, 1995, 900, 240), CtrlStyle::Label, kQualityCaption);
    Create(cboQuality_, Host("picQuality", 1230, 1935, 1635, 340), CtrlStyle::DropDownList);
    Create(chkLoopRec_, Host("picLoopRec", 3015, 1980, 1740, 240), CtrlStyle::CheckBox, kLoopRec);
    Create(chkFromSongStart_, Host("picFromSongStart", 4815, 1980, 1800, 240), CtrlStyle::CheckBox,
           kFromSongStart);
    // None is in a section: one is the scheduler's, one the desktop's, one the sound's. Left of
    // the buttons, the first two one above the other, the third in the column of the loop switch.
    Create(chkCatchUpJobs_, Host("picCatchUpJobs", 270, 2460, 2700, 240), CtrlStyle::CheckBox, kCatchUpJobs);
    Create(chkLevelLoudness_, Host("picLevelLoudness", 3015, 2460, 1400, 240), CtrlStyle::CheckBox,
           kLevelLoudness);
    Create(chkSongNotify_, Host("picSongNotify", 270, 2730, 3900, 240), CtrlStyle::CheckBox, kSongNotify);
    Create(cmdOK_, Host("picOK", 4485, 2550, 1050, 380), CtrlStyle::PushButton, kApply);
    Create(cmdCancel_, Host("picCancel", 5565, 2550, 1050, 380), CtrlStyle::PushButton, kClose);

    connect(&chkUserProxy_, &clsControl::Click, this, &frmOption::chkUserProxy_Click);
    connect(&cmdRecOut_, &clsControl::Click, this, &frmOption::cmdRecOut_Click);
    connect(&cmdOK_, &clsControl::Click, this, &frmOption::cmdOK_Click);
    connect(&cmdCancel_, &clsControl::Click, this, &frmOption::cmdCancel_Click);

    chkLoopRec_.SetChecked(settings_.LoopRec() == 1);
    chkCatchUpJobs_.SetChecked(settings_.CatchUpJobs());
    chkSongNotify_.SetChecked(settings_.SongNotify());
    chkLevelLoudness_.SetChecked(settings_.LevelLoudness());
    chkFromSongStart_.SetChecked(settings_.RecordFromSongStart());

    for (const QString& entry : settings_.ProxyEntries(kMaxProxyEntries))
        cboProxy_.AddItem(entry);
    if (cboProxy_.ListCount() == 0)
        cboProxy_.AddItem(QString::fromUtf16(kDefaultProxyEntry));
    cboProxy_.SetListIndex(0);

    for (const QString& text : settings::kQualityTexts)
        cboQuality_.AddItem(text);
    cboQuality_.SetListIndex(settings_.Quality());

    chkUserProxy_.SetChecked(settings_.EnabledProxy() == 1);
    chkUserProxy_Click();

    txtFilePath_.setText(settings_.FilePath());
    cboProxy_.setText(settings_.UserProxy());

    // Whoever sets the folder or the quality, the user or the first-run question, sets it for
    // the recordings of this run.
    PublishRecording();
    connect(qobject_cast<QLineEdit*>(txtFilePath_.hWnd()), &QLineEdit::textChanged, this,
            &frmOption::PublishRecording);
    connect(qobject_cast<QComboBox*>(cboQuality_.hWnd()), &QComboBox::currentIndexChanged, this,
            &frmOption::PublishRecording);
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
    return txtFilePath_.text();
}

int frmOption::QualityIndex() const {
    return cboQuality_.ListIndex();
}

void frmOption::chkUserProxy_Click() {
    const bool on = chkUserProxy_.Checked();
    cboProxy_.SetEnabled(on);
    PaintHost(picProxy1_, on ? kWhite : palette().color(QPalette::Button));
}

void frmOption::cmdRecOut_Click() {
    const QString folder = BrowseForFolder(this, kChooseFolder);
    if (!folder.isEmpty())
        txtFilePath_.setText(folder);
}

void frmOption::cmdOK_Click() {
    settings_.WriteFilePath(txtFilePath_.text());
    settings_.WriteQuality(cboQuality_.ListIndex());
    settings_.WriteUserProxy(cboProxy_.text());
    settings_.WriteEnabledProxy(chkUserProxy_.Checked() ? 1 : 0);
    settings_.WriteLoopRec(chkLoopRec_.Checked() ? 1 : 0);
    settings_.WriteCatchUpJobs(chkCatchUpJobs_.Checked());
    // Only a change is stored: a missing key already means on.
    if (chkSongNotify_.Checked() != settings_.SongNotify())
        settings_.WriteSongNotify(chkSongNotify_.Checked());
    // Only a change is stored: a missing key already means off.
    if (chkLevelLoudness_.Checked() != settings_.LevelLoudness())
        settings_.WriteLevelLoudness(chkLevelLoudness_.Checked());
    live_.loopRecording = chkLoopRec_.Checked();
    live_.catchUpJobs = chkCatchUpJobs_.Checked();
    live_.songNotify = chkSongNotify_.Checked();
    live_.levelLoudness = chkLevelLoudness_.Checked();
    // Only a change is stored: a missing key already means on.
    if (chkFromSongStart_.Checked() != settings_.RecordFromSongStart())
        settings_.WriteRecordFromSongStart(chkFromSongStart_.Checked());
    live_.recordFromSongStart = chkFromSongStart_.Checked();
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
