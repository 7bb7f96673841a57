// Main window: the favourites and job lists, and copying search results into them.
#include "core/song_array.h"
#include "engine/time_text.h"
#include "ui/app_core.h"
#include "ui/cls_control.h"
#include "ui/frm_main.h"
#include "ui/main_window_texts.h"
#include "ui/screen_metrics.h"

namespace wavelot {

namespace {
const QColor kListBack(51, 51, 51);
const QColor kOddBack(51, 51, 51);
const QColor kEvenBack(58, 58, 58);
}  // namespace

void frmMain::BuildStationLists() {
    const int style = LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER;
    struct StationView {
        clsListView* view;
        QWidget* panel;
        clsSongArray* list;
        int rowHeight;
        const char* name;
    };
    StationLists& lists = core_.Lists();
    for (const StationView& sv :
         {StationView{&favoritesView_, picFavorites_, &lists.favoriteList, 45, "clsFavorites"},
          StationView{&jobsView_, picRunJobs_, &lists.jobList, JobRowHeightFor(largeFonts_), "clsRunJobs"}}) {
        clsListView* view = sv.view;
        clsSongArray* list = sv.list;
        view->Create(sv.panel, style, 0, 0, 641, 324, 1, sv.rowHeight, WS_EX_STATICEDGE);
        view->SetLVStyle(LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
        view->BackColor(kListBack);
        view->ColumnAdd(0, 581, ui_text::kStationColumn, 0);
        view->hWnd()->setObjectName(QString::fromLatin1(sv.name));
        connect(view, &clsListView::OnData, this, [list](int item, int sub, QString& text) {
            if (sub == 0)
                text = list->Title(item);
        });
        connect(view, &clsListView::CustomDraw, this, [this, view](NMLVCustomDraw& rec, int& result) {
            clsStation_CustomDraw(*view, rec, result);
        });
        connect(view, &clsListView::DblClick, this, [this, view, list](int item, int) {
            if (view->ListCount() > 0 && view->SelCount() > 0 && item >= 0)
                PlayRadio(list->File(item), list->Title(item), list->Code(item));
        });
    }
}

// Until the favourites and job rows get their full drawing, they show the title in the search
// list's colours.
void frmMain::clsStation_CustomDraw(clsListView& view, NMLVCustomDraw& rec, int& result) {
    if (rec.dwDrawStage == CDDS_PREPAINT) {
        result = CDRF_NOTIFYITEMDRAW;
        return;
    }
    if (rec.dwDrawStage != CDDS_ITEMPREPAINT)
        return;
    rec.uItemState &= ~(CDIS_SELECTED | CDIS_FOCUS);
    const bool selected = view.Selected(rec.dwItemSpec);
    rec.clrTextBk = selected ? QColor(75, 75, 75) : rec.dwItemSpec % 2 == 0 ? kEvenBack : kOddBack;
    rec.clrText = QColor(222, 255, 255);
}

// A search result copied to the favourites keeps its address, name and code; one copied to the
// jobs gets the time of the copy as its start and stop.
void frmMain::CopyToList(const StationRow& row, int target) {
    StationLists& lists = core_.Lists();
    if (target == 0) {
        lists.favoriteList.AddItem({.file = row.file, .title = row.title, .code = row.code});
        favoritesView_.Add();
    } else {
        const QString now = ClockText(QTime::currentTime());
        lists.jobList.AddItem(
            {.file = row.file, .title = row.title, .code = row.code, .jobStart = now, .jobStop = now});
        jobsView_.Add();
    }
}

void frmMain::SortStationList(bool ascending) {
    const int tab = TabStrip().TabItem();
    clsListView* view = tab == 2 ? &favoritesView_ : tab == 3 ? &jobsView_ : nullptr;
    clsSongArray* list = tab == 2 ? &core_.Lists().favoriteList : tab == 3 ? &core_.Lists().jobList : nullptr;
    if (view == nullptr || list->ListCount() == 0)
        return;
    list->Sort(ascending, clsSongArray::kSortTitle);
    view->Refresh();
}

}  // namespace wavelot
