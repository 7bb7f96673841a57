#include "ui/popup_menu.h"

#include <QActionGroup>
#include <QCursor>
#include <QMenu>
#include <QPointer>

namespace wavelot {

namespace {
// Owned here; deleted by MenuEnd. QPointer guards against an owner window deleting them.
QPointer<QMenu> g_menu;
QPointer<QMenu> g_sub;

QAction* AddEntry(QMenu* m, const QString& text, int flags, int id) {
    if (m == nullptr)
        return nullptr;
    if (flags & MF_SEPARATOR)
        return m->addSeparator();
    QAction* a = m->addAction(text);
    a->setData(id);
    if (flags & MF_GRAYED)
        a->setEnabled(false);
    if (flags & MF_CHECKED) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    return a;
}
}  // namespace

void MenuBegin() {
    if (g_menu.isNull())
        g_menu = new QMenu();
}

void MenuAddItem(const QString& text, int flags, int id) {
    AddEntry(g_menu, text, flags, id);
}

void MenuAddSubmenu(const QString& text) {
    if (g_menu.isNull() || !g_sub.isNull())
        return;
    g_sub = g_menu->addMenu(text);
}

void MenuAddSubItem(const QString& text, int flags, int id) {
    AddEntry(g_sub, text, flags, id);
}

void MenuCheckRadio(int first, int last, int check) {
    if (g_sub.isNull())
        return;
    const QList<QAction*> actions = g_sub->actions();
    for (int i = first; i <= last && i < actions.size(); ++i) {
        if (i < 0 || actions[i]->isSeparator())
            continue;
        actions[i]->setCheckable(true);
        actions[i]->setChecked(false);
    }
    if (check >= first && check <= last && check >= 0 && check < actions.size() &&
        !actions[check]->isSeparator()) {
        // Radio look: exclusive group so the style draws a dot, not a tick.
        auto* group = new QActionGroup(g_sub);
        group->setExclusive(true);
        for (int i = std::max(first, 0); i <= last && i < actions.size(); ++i)
            if (!actions[i]->isSeparator())
                group->addAction(actions[i]);
        actions[check]->setChecked(true);
    }
}

void MenuSetDefault(int item, bool byPosition) {
    if (g_menu.isNull())
        return;
    const QList<QAction*> actions = g_menu->actions();
    QAction* target = nullptr;
    if (byPosition) {
        if (item >= 0 && item < actions.size())
            target = actions[item];
    } else {
        for (QAction* a : actions)
            if (!a->isSeparator() && a->data().toInt() == item)
                target = a;
    }
    if (target != nullptr) {
        g_menu->setDefaultAction(target);
        QFont f = target->font();
        f.setBold(true);
        target->setFont(f);
    }
}

int MenuShow(QWidget* owner) {
    if (g_menu.isNull())
        return 0;
    if (owner != nullptr)
        g_menu->setFont(owner->font());
    QPointer<QMenu> menu = g_menu;
    QAction* chosen = menu->exec(QCursor::pos());
    if (chosen == nullptr || chosen->isSeparator() || chosen->menu() != nullptr)
        return 0;
    return chosen->data().toInt();
}

void MenuEnd() {
    delete g_menu.data();  // takes the sub-menu with it
    g_menu = nullptr;
    g_sub = nullptr;
}

QMenu* CurrentMenu() {
    return g_menu.data();
}

}  // namespace wavelot
