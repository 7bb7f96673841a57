#include "ui/play_log_view.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "core/app_folders.h"
#include "core/song_array.h"
#include "engine/play_log_export.h"
#include "engine/player.h"
#include "ui/main_window_texts.h"
#include "ui/menus.h"

namespace wavelot {

namespace {
const QColor kLogText(0xBB, 0xBB, 0xBB);
const QColor kLogBack(0x33, 0x33, 0x33);
}  // namespace

PlayLogView::PlayLogView(Player& player, QWidget* tabArea)
    : ListView(tabArea, {.geometry = {5, 25, 636, 402}, .rowHeight = 20, .captions = false},
               new SongListModel(player.PlayLog(), {{QString(), &clsSongArray::File}})),
      player_(player) {
    // The log shows no selection: a selected line looks like the others.
    SetColors(kLogText, kLogBack);
    SetSelectionColors(kLogText, kLogBack);
    setColumnWidth(0, 350);
    setObjectName(QStringLiteral("clsStart"));
    Frame()->lower();  // under the three panels: seen only on the play-log tab
    Rows().Follow();
    connect(&player_, &Player::logLineAdded, this, [this](const QString&, bool scroll) {
        Rows().Follow();
        if (scroll)
            scrollTo(Rows().index(Rows().rowCount() - 1, 0));
    });
    connect(&player_, &Player::playLogCleared, &Rows(), &SongListModel::Follow);
    connect(this, &QWidget::customContextMenuRequested, this, &PlayLogView::ShowMenu);
}

void PlayLogView::ShowMenu() {
    if (Rows().rowCount() == 0)
        return;
    QWidget* owner = window();
    QMenu menu;
    QAction* exportLog = menu.addAction(ui_text::kExportLog);
    QAction* clear = menu.addAction(ui_text::kClearLog);
    QAction* chosen = wavelot::ShowMenu(menu, owner);
    if (chosen == exportLog) {
        const QString path = ProgramFolder() + PlayLogExportFileName(QDateTime::currentDateTime());
        if (!ExportPlayLog(player_.PlayLog(), path))
            return;
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
        QMessageBox::information(owner, ProgramTitle(), PlayLogExportMessage(path));
    } else if (chosen == clear) {
        player_.Log().Clear();
    }
}

}  // namespace wavelot
