#include "ui/frm_radio_edit.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

#include <algorithm>

#include "core/station_lists.h"
#include "scheduler/job_time.h"
#include "text/station_text.h"
#include "ui/controls.h"
#include "ui/list_view.h"

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

frmRadioEdit::frmRadioEdit(StationLists& lists, int tab, ListView* view, QWidget* parent)
    : QDialog(parent), lists_(lists), tab_(tab), view_(view) {}

QRect frmRadioEdit::Px(Twips at, bool input) const {
    const QRect r = at.ToPixels(twipsPerPixel_);
    return input ? QRect(r.topLeft(), QSize(r.width(), controlHeight_)) : r;
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

    ui_.cmdOK = PlaceInput<QPushButton>(this, Px(kOkAt));
    ui_.cmdCancel = PlaceInput<QPushButton>(this, Px(kCancelAt), kCancel);
    const int buttonTop = ui_.cmdOK->y();

    // The tab strip above a framed stack of the pages.
    ui_.tabStrip = PlaceInput<QTabBar>(this, QRect(kMargin, kMargin, w - 2 * kMargin, kTabBarHeight));
    auto* pages = new QStackedWidget(this);
    pages->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    pages->setGeometry(kMargin, kMargin + kTabBarHeight, w - 2 * kMargin,
                       buttonTop - 2 * kMargin - kTabBarHeight);
    pages->addWidget(ui_.page1 = new QWidget);
    pages->addWidget(ui_.page2 = new QWidget);
    BuildGeneralPage();
    BuildSchedulePage();

    connect(ui_.tabStrip, &QTabBar::currentChanged, pages, &QStackedWidget::setCurrentIndex);
    connect(ui_.optEvery, &QRadioButton::clicked, this, [this] { SetWeekly(false); });
    connect(ui_.optSpecific, &QRadioButton::clicked, this, [this] { SetWeekly(true); });
    connect(ui_.cmdOK, &QPushButton::clicked, this, &frmRadioEdit::Store);
    connect(ui_.cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmRadioEdit::BuildGeneralPage() {
    Label(ui_.page1, u"電台名稱"_s, kNameCaptionAt);
    ui_.txtRadioName = PlaceInput<QLineEdit>(ui_.page1, Px(kNameAt, true));
    Label(ui_.page1, u"電台網址"_s, kUrlCaptionAt);
    ui_.txtRadioUrl = PlaceInput<QLineEdit>(ui_.page1, Px(kUrlAt, true));
    Label(ui_.page1, u"電台說明"_s, kCommentCaptionAt);
    ui_.txtComment = PlaceInput<QLineEdit>(ui_.page1, Px(kCommentAt, true));
    Label(ui_.page1, u"字元編碼"_s, kCodeCaptionAt);
    ui_.cboCode = PlaceInput<QComboBox>(ui_.page1, Px(kCodeAt, true));
    for (int code = 0; code < kStationCodeCount; ++code)
        ui_.cboCode->addItem(StationCodeName(code));
    ui_.chkStartJob = PlaceInput<QCheckBox>(ui_.page1, Px(kStartJobAt), u"啟動排程工作"_s);
}

void frmRadioEdit::BuildSchedulePage() {
    Label(ui_.page2, u"日期設定"_s, kDaysCaptionAt);
    ui_.optEvery = PlaceInput<QRadioButton>(ui_.page2, Px(kEveryAt), u"每天"_s);
    ui_.optSpecific = PlaceInput<QRadioButton>(ui_.page2, Px(kSpecificAt), u"每週"_s);
    for (const DayBox& d : kDayBoxes)
        ui_.chkDays.at(static_cast<size_t>(d.day - 1)) = PlaceInput<QCheckBox>(
            ui_.page2, Px({d.left, d.top, kDayBoxWidth, kDayBoxHeight}), QString::fromUtf16(d.caption));

    Label(ui_.page2, u"時間 / 執行模式設定"_s, kTimesCaptionAt);
    Label(ui_.page2, u"起始時間"_s, kStartCaptionAt);
    ui_.dtpStart = PlaceInput<QTimeEdit>(ui_.page2, Px(kStartAt));
    Label(ui_.page2, u"結束時間"_s, kStopCaptionAt);
    ui_.dtpStop = PlaceInput<QTimeEdit>(ui_.page2, Px(kStopAt));
    Label(ui_.page2, u"排程模式"_s, kModeCaptionAt);
    ui_.cboMode = PlaceInput<QComboBox>(ui_.page2, Px(kModeAt, true));
    for (const QString& mode : kModes)
        ui_.cboMode->addItem(mode);
}

void frmRadioEdit::Open(QWidget* owner, bool edit) {
    const int editRow = edit && view_ != nullptr ? view_->FirstSelected() : -1;
    if (edit && editRow < 0)
        return;
    edit_.emplace(lists_, tab_, editRow);
    if (owner != nullptr)
        setParent(owner, windowFlags());
    Build();
    setWindowTitle(edit ? kTitleEdit : kTitleAdd);
    ui_.cmdOK->setText(edit ? kOkEdit : kOkAdd);
    ui_.chkStartJob->setVisible(edit_->ShowsSchedule());
    ui_.tabStrip->addTab(kTabGeneral);
    if (edit_->ShowsSchedule())
        ui_.tabStrip->addTab(kTabSchedule);
    Fill(edit_->Load(QTime::currentTime()));
    ui_.tabStrip->setCurrentIndex(0);
    ui_.txtRadioName->setFocus();
    setModal(true);
    exec();
}

void frmRadioEdit::Fill(const RadioEditFields& f) {
    ui_.txtRadioName->setText(f.name);
    ui_.txtRadioUrl->setText(f.url);
    ui_.txtComment->setText(f.comment);
    ui_.cboCode->setCurrentIndex(f.code);
    ui_.chkStartJob->setChecked(f.runJob);
    for (int day = 1; day <= 7; ++day)
        chkDay(day)->setChecked((f.dayMask & WeekDayBit(day)) != 0);
    SetWeekly(f.weekly);
    ui_.dtpStart->setTime(f.start);
    ui_.dtpStop->setTime(f.stop);
    ui_.cboMode->setCurrentIndex(f.mode);
}

RadioEditFields frmRadioEdit::Collect() const {
    RadioEditFields f{.name = ui_.txtRadioName->text(),
                      .url = ui_.txtRadioUrl->text(),
                      .comment = ui_.txtComment->text(),
                      .code = std::max(ui_.cboCode->currentIndex(), 0),
                      .runJob = ui_.chkStartJob->isChecked(),
                      .weekly = ui_.optSpecific->isChecked(),
                      .start = ui_.dtpStart->time(),
                      .stop = ui_.dtpStop->time(),
                      .mode = std::max(ui_.cboMode->currentIndex(), 0)};
    for (int day = 1; day <= 7; ++day)
        if (chkDay(day)->isChecked())
            f.dayMask |= WeekDayBit(day);
    return f;
}

// The two options are not auto-exclusive, so keeping exactly one of them chosen is done here.
// Disabled day boxes keep their check marks.
void frmRadioEdit::SetWeekly(bool weekly) {
    ui_.optEvery->setChecked(!weekly);
    ui_.optSpecific->setChecked(weekly);
    for (QCheckBox* day : ui_.chkDays)
        day->setEnabled(weekly);
}

void frmRadioEdit::Store() {
    const RadioEditFields f = Collect();
    if (!f.url.isEmpty() && f.name.isEmpty())
        ui_.txtRadioName->setText(f.url);
    const RadioEdit::Result result = edit_->Store(f);
    switch (result.outcome) {
    case RadioEdit::Outcome::Refused: return;  // no address: the dialog stays open, silently
    case RadioEdit::Outcome::Nothing:
    case RadioEdit::Outcome::Updated: break;
    case RadioEdit::Outcome::Appended:
        // The view has its new row already: it follows the lists' announcements.
        if (view_ != nullptr) {
            view_->SelectOnly(result.row);
            view_->setFocus();
        }
        break;
    }
    accept();
}

}  // namespace wavelot
