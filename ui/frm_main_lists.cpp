// Main window: the favourites and job lists' making, copying search results into them, and
// sorting them.
#include "core/list_files.h"
#include "core/song_array.h"
#include "core/station_lists.h"
#include "engine/time_text.h"
#include "session/session.h"
#include "ui/frm_main.h"
#include "ui/station_list_view.h"

namespace wavelot {

void frmMain::MakeStationLists() {
    StationListView::Host host{
        .currentTab = [this] { return CurrentTab(); },
        .runCommand = [this](int command) { RunCommand(command); },
        .playRadio = [this](const QString& url, const QString& name,
                            int code) { PlayRadio(url, name, code); },
        .dragging = [this] { return Dragging(); },
        .setDragging = [this](bool state) { SetDragging(state); },
        .drag = &drag_,
        .showNotice = [this](const QString& text) { statusBar_->ShowNotice(text, false); },
    };
    StationLists& lists = core_.Lists();
    favorites_ = new StationListView(lists, KeptList::Favorites, host, largeFonts_, picFavorites_);
    jobs_ = new StationListView(lists, KeptList::Jobs, host, largeFonts_, picRunJobs_);
}

StationListView* frmMain::CurrentStationList() {
    const int tab = CurrentTab();
    return tab == kTabFavorites ? favorites_ : tab == kTabJobs ? jobs_ : nullptr;
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
