#pragma once
// The program's context menus are plain QMenus built for one click; these show them alike.

#include <QCursor>
#include <QMenu>

namespace wavelot {

// Shows the menu at the mouse in owner's font until an entry is chosen (its action is triggered)
// or the menu is dismissed; returns the chosen entry, null when dismissed.
inline QAction* ShowMenu(QMenu& menu, const QWidget* owner) {
    if (owner != nullptr)
        menu.setFont(owner->font());
    return menu.exec(QCursor::pos());
}

// The menu's default entry, drawn bold.
inline void SetDefaultAction(QMenu& menu, QAction* action) {
    menu.setDefaultAction(action);
    QFont f = action->font();
    f.setBold(true);
    action->setFont(f);
}

}  // namespace wavelot
