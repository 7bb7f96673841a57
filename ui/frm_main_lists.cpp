// Main window: the favourites and job lists' wiring, copying search results into them, and
// sorting them.
#include "core/list_files.h"
#include "core/song_array.h"
#include "core/station_lists.h"
#include "engine/time_text.h"
#include "session/session.h"
#include "ui/cls_control.h"
#include "ui/frm_main.h"
#include "ui/station_list_view.h"

namespace wavelot {

void frmMain::MakeStationLists() {
    StationListView::Host host{
        .currentTab = [this] { return TabStrip().TabItem(); },
        .runCommand = [this](int command) { RunCommand(command); },
        .playRadio = [this](const QString& url, const QString& name,
                            int code) { PlayRadio(url, name, code); },
        .dragging = [this] { return Dragging(); },
        .setDragging = [this](bool state) { SetDragging(state); },
        .drag = &drag_,
        .showNotice = [this](const QString& text) { statusBar_->ShowNotice(text, false); },
    };
    StationLists& lists = core_.Lists();
    favorites_ = new StationListView(lists, KeptList::Favorites, host, this);
    jobs_ = new StationListView(lists, KeptList::Jobs, host, this);
}

void frmMain::BuildStationLists() {
    StationLists& lists = core_.Lists();
    favorites_->Create(picFavorites_, largeFonts_);
    jobs_->Create(picRunJobs_, largeFonts_);
    connect(&favorites_->View(), &clsListView::Click, this, &frmMain::clsFavorites_Click);
    connect(&jobs_->View(), &clsListView::Click, this, &frmMain::clsRunJobs_Click);
    connect(&favorites_->View(), &clsListView::KeyUp, this,
            [this, &lists](int key, int) { nTypes(favorites_->View(), lists.favoriteList, key); });
    connect(&jobs_->View(), &clsListView::KeyUp, this,
            [this, &lists](int key, int) { nTypes(jobs_->View(), lists.jobList, key); });
}

clsListView& frmMain::clsFavorites() {
    return favorites_->View();
}

clsListView& frmMain::clsRunJobs() {
    return jobs_->View();
}

StationListView* frmMain::CurrentStationList() {
    const int tab = TabStrip().TabItem();
    return tab == kTabFavorites ? favorites_ : tab == kTabJobs ? jobs_ : nullptr;
}

void frmMain::clsFavorites_Click(int, int Button) {
    if (Button == 2)
        nRightClicks(favorites_->View(), 0);
}

void frmMain::clsRunJobs_Click(int, int Button) {
    if (Button == 2)
        nRightClicks(jobs_->View(), 1);
}

void frmMain::nRightClicks(clsListView& ListPath, int eType) {
    StationListView* list = eType == 0 ? favorites_ : jobs_;
    if (&list->View() == &ListPath)
        list->ShowMenu();
}

void frmMain::nTypes(clsListView& ListPath, clsSongArray& nArray, int iKey) {
    for (StationListView* list : {favorites_, jobs_})
        if (&list->View() == &ListPath && &list->Ops().List() == &nArray)
            list->KeyCommand(iKey);
}

// A search result copied to the favourites keeps its address, name, code and logo; one copied
// to the jobs gets the time of the copy as its start and stop.
void frmMain::CopyToList(const StationRow& row, int target) {
    StationLists& lists = core_.Lists();
    if (target == 0) {
        lists.favoriteList.AddItem(
            {.file = row.file, .title = row.title, .code = row.code, .logo = row.logo});
        lists.changes.Announce(KeptList::Favorites);
    } else {
        const QString now = ClockText(QTime::currentTime());
        lists.jobList.AddItem(
            {.file = row.file, .title = row.title, .code = row.code, .jobStart = now, .jobStop = now});
        lists.changes.Announce(KeptList::Jobs);
    }
}

void frmMain::SortStationList(bool ascending) {
    StationListView* list = CurrentStationList();
    if (list == nullptr || list->Ops().List().ListCount() == 0)
        return;
    list->Ops().List().Sort(ascending, clsSongArray::kSortTitle);
    core_.Lists().changes.Announce(list->Which());
}

}  // namespace wavelot
