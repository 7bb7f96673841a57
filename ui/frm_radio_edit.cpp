#include "ui/frm_radio_edit.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

#include "core/station_lists.h"
#include "scheduler/job_time.h"
#include "text/station_text.h"
#include "ui/controls.h"
#include "ui/list_view.h"
#include "ui/screen_metrics.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {
// The layout in twips, converted by frmRadioEdit::Px for the screen. The outer size; the client
// area is that less a dialog frame.
constexpr Twips kOuter{0, 0, 6960, 3240};
constexpr Twips kOkAt{4665, 2310, 1050, 380};
constexpr Twips kCancelAt{5730, 2310, 1050, 380};
// Page 1: the captions and the inputs beside them.
constexpr Twips kNameCaptionAt{120, 135, 800, 240};
constexpr Twips kNameAt{945, 90, 5550, 330};
constexpr Twips kUrlCaptionAt{120, 570, 800, 240};
constexpr Twips kUrlAt{945, 495, 5550, 330};
constexpr Twips kCommentCaptionAt{120, 975, 800, 240};
constexpr Twips kCommentAt{945, 900, 5550, 330};
constexpr Twips kCodeCaptionAt{120, 1365, 800, 240};
constexpr Twips kCodeAt{945, 1305, 1275, 0};
constexpr Twips kStartJobAt{2385, 1332, 2760, 240};
// Page 2: the days on the left (the day boxes below), the times and the mode on the right.
constexpr Twips kDaysCaptionAt{165, 135, 810, 240};
constexpr Twips kEveryAt{255, 540, 900, 240};
constexpr Twips kSpecificAt{255, 930, 900, 240};
constexpr int kDayBoxWidth = 1000;
constexpr int kDayBoxHeight = 240;
constexpr Twips kTimesCaptionAt{3615, 135, 1710, 240};
constexpr Twips kStartCaptionAt{3900, 450, 800, 240};
constexpr Twips kStartAt{4740, 405, 1600, 330};
constexpr Twips kStopCaptionAt{3900, 825, 800, 240};
constexpr Twips kStopAt{4740, 780, 1600, 330};
constexpr Twips kModeCaptionAt{3900, 1230, 800, 240};
constexpr Twips kModeAt{4740, 1170, 975, 0};
constexpr int kDialogFrameWidth = 6;
constexpr int kDialogFrameHeight = 28;
constexpr int kTabBarHeight = 24;
constexpr int kMargin = 4;

const QString kTitleAdd = u"新增網路電台"_s;
const QString kTitleEdit = u"編輯網路電台"_s;
const QString kOkAdd = u"新 增"_s;
const QString kOkEdit = u"編 輯"_s;
const QString kCancel = u"取 消"_s;
const QString kTabGeneral = u"一般設定"_s;
const QString kTabSchedule = u"排程設定"_s;
const QString kModes[] = {u"播放"_s, u"錄音"_s, u"只錄音"_s};

// Day boxes by day number (Sunday 1), and where each stands: Monday to Thursday in the first
// column, Friday to Sunday in the second.
struct DayBox {
    int day;
    const char16_t* caption;
    int left;
    int top;
};
constexpr DayBox kDayBoxes[] = {
    {2, u"星期一", 1215, 390},  {3, u"星期二", 1215, 675}, {4, u"星期三", 1215, 960},
    {5, u"星期四", 1215, 1245}, {6, u"星期五", 2295, 390}, {7, u"星期六", 2295, 675},
    {1, u"星期日", 2295, 960},
};
}  // namespace

frmRadioEdit::frmRadioEdit(StationLists& lists, int tab, clsListView* view, QWidget* parent)
    : QDialog(parent), lists_(lists), tab_(tab), view_(view) {}

frmRadioEdit::~frmRadioEdit() = default;

QRect frmRadioEdit::Px(Twips at, bool input) const {
    const int tpp = twipsPerPixel_;
    return QRect(at.left / tpp, at.top / tpp, at.width / tpp, input ? controlHeight_ : at.height / tpp);
}

void frmRadioEdit::Label(QWidget* page, const QString& text, Twips at) {
    PlaceInput<QLabel>(page, Px(at), text);
}

void frmRadioEdit::Build() {
    const bool large = LargeFontScreen();
    twipsPerPixel_ = TwipsPerPixelFor(large);
    controlHeight_ = ControlHeightFor(large);
    setFont(UiFont(14));
    const int w = Px(kOuter).width() - kDialogFrameWidth;
    const int h = Px(kOuter).height() - kDialogFrameHeight;
    setFixedSize(w, h);  // any resize is undone

    cmdOK_ = PlaceInput<QPushButton>(this, Px(kOkAt));
    cmdCancel_ = PlaceInput<QPushButton>(this, Px(kCancelAt), kCancel);
    const int buttonTop = cmdOK_->y();

    // The tab strip above a display area that holds the pages.
    tabStrip_ = PlaceInput<QTabBar>(this, QRect(kMargin, kMargin, w - 2 * kMargin, kTabBarHeight));
    auto* display = new QFrame(this);
    display->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    display->setGeometry(kMargin, kMargin + kTabBarHeight, w - 2 * kMargin,
                         buttonTop - 2 * kMargin - kTabBarHeight);
    page1_ = new QWidget(display);
    page2_ = new QWidget(display);
    for (QWidget* page : {page1_, page2_})
        page->setGeometry(display->contentsRect());
    BuildGeneralPage();
    BuildSchedulePage();

    connect(tabStrip_, &QTabBar::currentChanged, this, &frmRadioEdit::TabStrip_Click);
    connect(optEvery_, &QRadioButton::clicked, this, [this] { SetWeekly(false); });
    connect(optSpecific_, &QRadioButton::clicked, this, [this] { SetWeekly(true); });
    connect(cmdOK_, &QPushButton::clicked, this, &frmRadioEdit::cmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void frmRadioEdit::BuildGeneralPage() {
    Label(page1_, u"電台名稱"_s, kNameCaptionAt);
    txtRadioName_ = PlaceInput<QLineEdit>(page1_, Px(kNameAt, true));
    Label(page1_, u"電台網址"_s, kUrlCaptionAt);
    txtRadioUrl_ = PlaceInput<QLineEdit>(page1_, Px(kUrlAt, true));
    Label(page1_, u"電台說明"_s, kCommentCaptionAt);
    txtComment_ = PlaceInput<QLineEdit>(page1_, Px(kCommentAt, true));
    Label(page1_, u"字元編碼"_s, kCodeCaptionAt);
    cboCode_ = PlaceInput<QComboBox>(page1_, Px(kCodeAt, true));
    for (int code = 0; code < kStationCodeCount; ++code)
        cboCode_->addItem(StationCodeName(code));
    chkStartJob_ = PlaceInput<QCheckBox>(page1_, Px(kStartJobAt), u"啟動排程工作"_s);
}

void frmRadioEdit::BuildSchedulePage() {
    Label(page2_, u"日期設定"_s, kDaysCaptionAt);
    optEvery_ = PlaceInput<QRadioButton>(page2_, Px(kEveryAt), u"每天"_s);
    optSpecific_ = PlaceInput<QRadioButton>(page2_, Px(kSpecificAt), u"每週"_s);
    for (const DayBox& d : kDayBoxes)
        chkDays_.at(static_cast<size_t>(d.day - 1)) = PlaceInput<QCheckBox>(
            page2_, Px({d.left, d.top, kDayBoxWidth, kDayBoxHeight}), QString::fromUtf16(d.caption));

    Label(page2_, u"時間 / 執行模式設定"_s, kTimesCaptionAt);
    Label(page2_, u"起始時間"_s, kStartCaptionAt);
    dtpStart_ = PlaceInput<QTimeEdit>(page2_, Px(kStartAt));
    Label(page2_, u"結束時間"_s, kStopCaptionAt);
    dtpStop_ = PlaceInput<QTimeEdit>(page2_, Px(kStopAt));
    Label(page2_, u"排程模式"_s, kModeCaptionAt);
    cboMode_ = PlaceInput<QComboBox>(page2_, Px(kModeAt, true));
    for (const QString& mode : kModes)
        cboMode_->addItem(mode);
}

void frmRadioEdit::LoadMe(QWidget* owner, bool lEdit) {
    const int editRow = lEdit && view_ != nullptr ? view_->NextSelected(-1) : -1;
    if (lEdit && editRow < 0)
        return;
    edit_.emplace(lists_, tab_, editRow);
    if (owner != nullptr)
        setParent(owner, windowFlags());
    Build();
    setWindowTitle(lEdit ? kTitleEdit : kTitleAdd);
    cmdOK_->setText(lEdit ? kOkEdit : kOkAdd);
    chkStartJob_->setVisible(edit_->ShowsSchedule());
    tabStrip_->addTab(kTabGeneral);
    if (edit_->ShowsSchedule())
        tabStrip_->addTab(kTabSchedule);
    Fill(edit_->Load(QTime::currentTime()));
    tabStrip_->setCurrentIndex(0);
    TabStrip_Click();
    txtRadioName_->setFocus();
    setModal(true);
    exec();
}

void frmRadioEdit::Fill(const RadioEditFields& f) {
    txtRadioName_->setText(f.name);
    txtRadioUrl_->setText(f.url);
    txtComment_->setText(f.comment);
    cboCode_->setCurrentIndex(f.code);
    chkStartJob_->setChecked(f.runJob);
    for (int day = 1; day <= 7; ++day)
        chkDay(day)->setChecked((f.dayMask & WeekDayBit(day)) != 0);
    SetWeekly(f.weekly);
    dtpStart_->setTime(f.start);
    dtpStop_->setTime(f.stop);
    cboMode_->setCurrentIndex(f.mode);
}

RadioEditFields frmRadioEdit::Collect() const {
    RadioEditFields f{.name = txtRadioName_->text(),
                      .url = txtRadioUrl_->text(),
                      .comment = txtComment_->text(),
                      .code = std::max(cboCode_->currentIndex(), 0),
                      .runJob = chkStartJob_->isChecked(),
                      .weekly = optSpecific_->isChecked(),
                      .start = dtpStart_->time(),
                      .stop = dtpStop_->time(),
                      .mode = std::max(cboMode_->currentIndex(), 0)};
    for (int day = 1; day <= 7; ++day)
        if (chkDay(day)->isChecked())
            f.dayMask |= WeekDayBit(day);
    return f;
}

void frmRadioEdit::TabStrip_Click() {
    const int tab = tabStrip_->currentIndex() + 1;
    page1_->setVisible(tab == 1);
    page2_->setVisible(tab == 2);
}

// The two options are not auto-exclusive, so keeping exactly one of them chosen is done here.
// Disabled day boxes keep their check marks.
void frmRadioEdit::SetWeekly(bool weekly) {
    optEvery_->setChecked(!weekly);
    optSpecific_->setChecked(weekly);
    for (QCheckBox* day : chkDays_)
        day->setEnabled(weekly);
}

void frmRadioEdit::cmdOK_Click() {
    const RadioEditFields f = Collect();
    if (!f.url.isEmpty() && f.name.isEmpty())
        txtRadioName_->setText(f.url);
    const RadioEdit::Result result = edit_->Store(f);
    switch (result.outcome) {
    case RadioEdit::Outcome::Refused: return;  // no address: the dialog stays open, silently
    case RadioEdit::Outcome::Nothing:
    case RadioEdit::Outcome::Updated: break;
    case RadioEdit::Outcome::Appended:
        // The view has its new row already: it follows the lists' announcements.
        if (view_ != nullptr) {
            view_->SelectOnly(result.row);
            view_->SetFocus();
        }
        break;
    }
    accept();
}

}  // namespace wavelot
