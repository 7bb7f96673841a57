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

PlayLogView::PlayLogView(Player& player, QObject* parent) : QObject(parent), player_(player) {
    connect(&player_, &Player::logLineAdded, this, [this](const QString&, bool scroll) {
        view_.Add();
        if (scroll)
            view_.EnsureVisible(view_.ListCount() - 1);
    });
    connect(&player_, &Player::playLogCleared, this, [this] { view_.Clear(); });
}

void PlayLogView::Create(QWidget* tabArea) {
    view_.Create(tabArea, {.geometry = {5, 25, 636, 402}, .rowHeight = 20, .captions = false});
    // The log shows no selection: a selected line looks like the others.
    view_.SetColors(kLogText, kLogBack);
    view_.SetSelectionColors(kLogText, kLogBack);
    view_.AddColumn(QString(), 350);
    view_.Table()->setObjectName(QStringLiteral("clsStart"));
    view_.Container()->lower();  // under the three panels: seen only on the play-log tab
    view_.AddRows(player_.PlayLog().ListCount());
    connect(&view_, &clsListView::OnData, this, [this](int item, int sub, QString& text) {
        if (sub == 0)
            text = player_.PlayLog().File(item);
    });
    connect(&view_, &clsListView::Click, this, &PlayLogView::clsStart_Click);
}

void PlayLogView::clsStart_Click(int, Qt::MouseButton button) {
    if (button != Qt::RightButton || view_.ListCount() == 0)
        return;
    QWidget* owner = view_.Container()->window();
    QMenu menu;
    QAction* exportLog = menu.addAction(ui_text::kExportLog);
    QAction* clear = menu.addAction(ui_text::kClearLog);
    QAction* chosen = ShowMenu(menu, owner);
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
