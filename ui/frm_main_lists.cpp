// Main window: the handlers of the search list, the station lists and the play log.
#include <QDateTime>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "core/app_folders.h"
#include "core/song_array.h"
#include "engine/play_log_export.h"
#include "engine/player.h"
#include "engine/time_text.h"
#include "ui/frm_main.h"
#include "ui/main_window_texts.h"
#include "ui/popup_menu.h"

namespace wavelot {

namespace {
const QColor kSelectedBack(102, 102, 102);
const QColor kSelectedText(238, 238, 238);
const QColor kOddBack(51, 51, 51);
const QColor kOddText(170, 170, 170);
const QColor kEvenBack(58, 58, 58);
const QColor kEvenText(153, 153, 153);
}  // namespace

void frmMain::clsSearch_CustomDraw(NMLVCustomDraw& rec, int& result)
{
    if (rec.dwDrawStage == CDDS_PREPAINT) {
        result = CDRF_NOTIFYITEMDRAW;
        return;
    }
    if (rec.dwDrawStage != CDDS_ITEMPREPAINT || !searchView_.ItemVisible(rec.dwItemSpec))
        return;
    rec.uItemState &= ~(CDIS_SELECTED | CDIS_FOCUS);
    if (searchView_.Selected(rec.dwItemSpec)) {
        rec.clrTextBk = kSelectedBack;
        rec.clrText = kSelectedText;
    } else if (rec.dwItemSpec % 2 == 1) {
        rec.clrTextBk = kOddBack;
        rec.clrText = kOddText;
    } else {
        rec.clrTextBk = kEvenBack;
        rec.clrText = kEvenText;
    }
    result = CDRF_DODEFAULT;
}

// Until the favourites and job rows get their full drawing, they show the title in the search
// list's colours.
void frmMain::clsStation_CustomDraw(clsListView& view, NMLVCustomDraw& rec, int& result)
{
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

void frmMain::clsSearch_Click(int, int button)
{
    if (button != 2 || searchView_.ListCount() == 0 || searchView_.SelCount() == 0)
        return;
    const int row = searchView_.NextSelected(-1);
    if (row < 0)
        return;
    clsSongArray& list = SearchList();
    const QString file = list.File(row);
    const QString title = list.Title(row);
    const int code = list.Code(row);
    MenuBegin();
    MenuAddItem(ui_text::kAddToFavorites, MF_STRING, 1);
    MenuAddItem(ui_text::kAddToJobs, MF_STRING, 2);
    const int chosen = MenuShow(this);
    MenuEnd();
    if (chosen == 1) {
        FavoriteList().AddItem(file, title, code, QString(), 0, 0, QString(), QString(), 0, 0);
        favoritesView_.Add();
    } else if (chosen == 2) {
        const QString now = ClockText(QTime::currentTime());
        JobList().AddItem(file, title, code, QString(), 0, 0, now, now, 0, 0);
        jobsView_.Add();
    }
}

void frmMain::clsSearch_DblClick(int item, int)
{
    if (searchView_.ListCount() == 0 || searchView_.SelCount() == 0 || item < 0)
        return;
    clsSongArray& list = SearchList();
    PlayRadio(list.File(item), list.Title(item), list.Code(item));
}

void frmMain::clsSearch_ColumnClick(int index)
{
    if (searchView_.ListCount() <= 1)
        return;
    searchView_.Block(true);
    // One order flag for the whole list, not per column: clicks alternate whatever the column.
    if (searchView_.SortOrder() == 1) {
        SearchList().Sort(true, index);
        searchView_.SetSortOrder(0);
    } else {
        SearchList().Sort(false, index);
        searchView_.SetSortOrder(1);
    }
    searchView_.Block(false);
    searchView_.Refresh();
}

void frmMain::clsStart_Click(int, int button)
{
    if (button != 2 || logView_.ListCount() == 0)
        return;
    MenuBegin();
    MenuAddItem(ui_text::kExportLog, MF_STRING, 1);
    MenuAddItem(ui_text::kClearLog, MF_STRING, 2);
    const int chosen = MenuShow(this);
    MenuEnd();
    if (chosen == 1) {
        const QString path = ProgramFolder() + PlayLogExportFileName(QDateTime::currentDateTime());
        if (!ExportPlayLog(PlayLogList(), path))
            return;
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
        QMessageBox::information(this, ProgramTitle(), PlayLogExportMessage(path));
    } else if (chosen == 2) {
        player_->ClearPlayLog();
    }
}

}  // namespace wavelot
