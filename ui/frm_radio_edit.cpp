#include "ui/frm_radio_edit.h"

#include <QFrame>

#include <algorithm>

#include "core/station_lists.h"
#include "scheduler/job_time.h"
#include "text/station_text.h"
#include "ui/list_view.h"
#include "ui/mod_theme.h"
#include "ui/screen_metrics.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {
// Outer size in twips; the client area is that less a dialog frame.
constexpr int kWidthTwips = 6960;
constexpr int kHeightTwips = 3240;
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

void frmRadioEdit::Place(clsControl& c, QWidget* parent, CtrlStyle kind, Twips at, const QString& text,
                         CtrlBorder border) {
    const int tpp = twipsPerPixel_;
    auto* host = new QWidget(parent);
    const bool inputHeight = kind == CtrlStyle::TextBox || kind == CtrlStyle::DropDownList;
    host->setGeometry(at.left / tpp, at.top / tpp, at.width / tpp,
                      inputHeight ? controlHeight_ : at.height / tpp);
    c.SetTargetPictureBox(host);
    c.BorderStyle(border);
    c.Create(kind);
    if (!text.isEmpty())
        c.setText(text);
}

void frmRadioEdit::Build() {
    const bool large = LargeFontScreen();
    twipsPerPixel_ = TwipsPerPixelFor(large);
    controlHeight_ = ControlHeightFor(large);
    setFont(UiFont(14));
    const int w = kWidthTwips / twipsPerPixel_ - kDialogFrameWidth;
    const int h = kHeightTwips / twipsPerPixel_ - kDialogFrameHeight;
    setFixedSize(w, h);  // any resize is undone

    Place(cmdOK_, this, CtrlStyle::PushButton, {4665, 2310, 1050, 380});
    Place(cmdCancel_, this, CtrlStyle::PushButton, {5730, 2310, 1050, 380}, kCancel);
    const int buttonTop = 2310 / twipsPerPixel_;

    // The tab strip above a display area that holds the pages.
    tabHost_ = new QWidget(this);
    tabHost_->setGeometry(kMargin, kMargin, w - 2 * kMargin, kTabBarHeight);
    tabStrip_.SetTargetPictureBox(tabHost_);
    tabStrip_.Create(CtrlStyle::TabStrip);
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

    connect(&tabStrip_, &clsControl::Click, this, &frmRadioEdit::TabStrip_Click);
    connect(&optEvery_, &clsControl::Click, this, [this] { SetWeekly(false); });
    connect(&optSpecific_, &clsControl::Click, this, [this] { SetWeekly(true); });
    connect(&cmdOK_, &clsControl::Click, this, &frmRadioEdit::cmdOK_Click);
    connect(&cmdCancel_, &clsControl::Click, this, &QDialog::reject);
}

void frmRadioEdit::BuildGeneralPage() {
    auto label = [this](const QString& text, Twips at) {
        labels_.push_back(std::make_unique<clsControl>());
        Place(*labels_.back(), page1_, CtrlStyle::Label, at, text);
    };
    label(u"電台名稱"_s, {120, 135, 800, 240});
    Place(txtRadioName_, page1_, CtrlStyle::TextBox, {945, 90, 5550, 330}, {}, CtrlBorder::Sunken);
    label(u"電台網址"_s, {120, 570, 800, 240});
    Place(txtRadioUrl_, page1_, CtrlStyle::TextBox, {945, 495, 5550, 330}, {}, CtrlBorder::Sunken);
    label(u"電台說明"_s, {120, 975, 800, 240});
    Place(txtComment_, page1_, CtrlStyle::TextBox, {945, 900, 5550, 330}, {}, CtrlBorder::Sunken);
    label(u"字元編碼"_s, {120, 1365, 800, 240});
    Place(cboCode_, page1_, CtrlStyle::DropDownList, {945, 1305, 1275, 0});
    for (int code = 0; code < kStationCodeCount; ++code)
        cboCode_.AddItem(StationCodeName(code));
    Place(chkStartJob_, page1_, CtrlStyle::CheckBox, {2385, 1332, 2760, 240}, u"啟動排程工作"_s);
}

void frmRadioEdit::BuildSchedulePage() {
    auto label = [this](const QString& text, Twips at) {
        labels_.push_back(std::make_unique<clsControl>());
        Place(*labels_.back(), page2_, CtrlStyle::Label, at, text);
    };
    label(u"日期設定"_s, {165, 135, 810, 240});
    Place(optEvery_, page2_, CtrlStyle::OptionButton, {255, 540, 900, 240}, u"每天"_s);
    Place(optSpecific_, page2_, CtrlStyle::OptionButton, {255, 930, 900, 240}, u"每週"_s);
    for (const DayBox& d : kDayBoxes)
        Place(chkDay(d.day), page2_, CtrlStyle::CheckBox, {d.left, d.top, 1000, 240},
              QString::fromUtf16(d.caption));

    label(u"時間 / 執行模式設定"_s, {3615, 135, 1710, 240});
    label(u"起始時間"_s, {3900, 450, 800, 240});
    Place(dtpStart_, page2_, CtrlStyle::TimePicker, {4740, 405, 1600, 330});
    label(u"結束時間"_s, {3900, 825, 800, 240});
    Place(dtpStop_, page2_, CtrlStyle::TimePicker, {4740, 780, 1600, 330});
    label(u"排程模式"_s, {3900, 1230, 800, 240});
    Place(cboMode_, page2_, CtrlStyle::DropDownList, {4740, 1170, 975, 0});
    for (const QString& mode : kModes)
        cboMode_.AddItem(mode);
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
    cmdOK_.setText(lEdit ? kOkEdit : kOkAdd);
    chkStartJob_.SetVisible(edit_->ShowsSchedule());
    tabStrip_.TabsAdd(0, kTabGeneral);
    if (edit_->ShowsSchedule())
        tabStrip_.TabsAdd(1, kTabSchedule);
    Fill(edit_->Load(QTime::currentTime()));
    tabStrip_.SetTabItem(1);
    TabStrip_Click();
    txtRadioName_.hWnd()->setFocus();
    setModal(true);
    exec();
}

void frmRadioEdit::Fill(const RadioEditFields& f) {
    txtRadioName_.setText(f.name);
    txtRadioUrl_.setText(f.url);
    txtComment_.setText(f.comment);
    cboCode_.SetListIndex(f.code);
    chkStartJob_.SetChecked(f.runJob);
    for (int day = 1; day <= 7; ++day)
        chkDay(day).SetChecked((f.dayMask & WeekDayBit(day)) != 0);
    SetWeekly(f.weekly);
    const QDate today = QDate::currentDate();
    dtpStart_.SetTime(QDateTime(today, f.start));
    dtpStop_.SetTime(QDateTime(today, f.stop));
    cboMode_.SetListIndex(f.mode);
}

RadioEditFields frmRadioEdit::Collect() const {
    RadioEditFields f{.name = txtRadioName_.text(),
                      .url = txtRadioUrl_.text(),
                      .comment = txtComment_.text(),
                      .code = std::max(cboCode_.ListIndex(), 0),
                      .runJob = chkStartJob_.Checked(),
                      .weekly = optSpecific_.Checked(),
                      .start = dtpStart_.Time().time(),
                      .stop = dtpStop_.Time().time(),
                      .mode = std::max(cboMode_.ListIndex(), 0)};
    for (int day = 1; day <= 7; ++day)
        if (chkDays_.at(static_cast<size_t>(day - 1)).Checked())
            f.dayMask |= WeekDayBit(day);
    return f;
}

void frmRadioEdit::TabStrip_Click() {
    const int tab = tabStrip_.TabItem();
    page1_->setVisible(tab == 1);
    page2_->setVisible(tab == 2);
}

// The two options stand in separate hosts, so keeping exactly one of them chosen is done here.
// Disabled day boxes keep their check marks.
void frmRadioEdit::SetWeekly(bool weekly) {
    optEvery_.SetChecked(!weekly);
    optSpecific_.SetChecked(weekly);
    for (clsControl& day : chkDays_)
        day.SetEnabled(weekly);
}

void frmRadioEdit::cmdOK_Click() {
    const RadioEditFields f = Collect();
    if (!f.url.isEmpty() && f.name.isEmpty())
        txtRadioName_.setText(f.url);
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
